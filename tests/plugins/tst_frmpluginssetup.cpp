// The plug-in setup dialog driven through its named controls: the port
// checks, the restart prompt and one add/remove round trip.

#include "app/globals.h"
#include "common/testenv.h"
#include "common/widgettest.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "plugins/frmpluginssetup.h"

#include <QLineEdit>
#include <QTreeWidget>

namespace {
frmPlugInsSetup* load() {
    plugInsEnabled = true;
    serverPort = 5577;
    plugIns.clear();
    noPlugIns = true;
    frmPlugInsSetup* d = frmPlugInsSetup::load(nullptr);
    d->show();
    return d;
}
void type(QWidget* d, const char* box, const QString& text) {
    child<QLineEdit>(d, box)->setText(text);
}
QString lastBox() {
    return Prompter::records().isEmpty() ? QString() : Prompter::records().last().text;
}
} // namespace

class TestPlugInsSetup : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup() {
        if (frmPlugInsSetup* d = frmPlugInsSetup::loadedInstance())
            d->close();
        settle();
        env.reset();
    }

    // A port above 65535 is refused and nothing stored; a good one prompts the restart.
    void closeChecksThePort() {
        frmPlugInsSetup* d = load();
        type(d, "txtServerPort", QStringLiteral("70000"));
        click(d, "cmdClose");
        QCOMPARE(lastBox(), "The port number must be between 1 and 65535");
        QCOMPARE(serverPort, 5577);
        QVERIFY(SettingsStore::instance().keys("plugins").isEmpty());
        type(d, "txtServerPort", QStringLiteral(" 8080 "));
        click(d, "cmdClose");
        QCOMPARE(lastBox(), "Restart Tamrivo to enable plugins");
        QCOMPARE(serverPort, 8080);
        QCOMPARE(SettingsStore::instance().value("plugins", "serverPort").value_or(QString()),
                 "8080");
    }

    // A remote port outside 0-65535 is refused with the entries kept; a good
    // entry goes into the list and out again.
    void addAndRemove() {
        frmPlugInsSetup* d = load();
        auto* list = child<QTreeWidget>(d, "lvClientPlugIns");
        type(d, "txtClientName", QStringLiteral("Crm"));
        type(d, "txtRemoteIP", QStringLiteral("10.0.0.7"));
        type(d, "txtRemotePort", QStringLiteral("65536"));
        click(d, "cmdClientAdd");
        QCOMPARE(Prompter::records().size(), 1);
        QVERIFY(plugIns.isEmpty());
        QCOMPARE(child<QLineEdit>(d, "txtClientName")->text(), "Crm");
        type(d, "txtRemotePort", QStringLiteral(" 4000 "));
        click(d, "cmdClientAdd");
        QCOMPARE(plugIns.size(), 1);
        QCOMPARE(plugIns[0]->remotePort, 4000);
        QCOMPARE(list->topLevelItem(0)->text(2), "10.0.0.7");
        QVERIFY(!noPlugIns);
        list->setCurrentItem(list->topLevelItem(0));
        click(d, "cmdClientRemove");
        QVERIFY(plugIns.isEmpty() && noPlugIns && list->topLevelItemCount() == 0);
    }
};

QTEST_MAIN(TestPlugInsSetup)
#include "tst_frmpluginssetup.moc"
