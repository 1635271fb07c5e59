// The plug-in setup dialog driven through its named controls: the enable
// box, the list buttons, the port check and the settings written on Close.

#include "app/globals.h"
#include "common/testenv.h"
#include "common/widgettest.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "plugins/frmpluginssetup.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTreeWidget>

namespace {
const QString kRestart = QStringLiteral("Restart Tamrivo to enable plugins");
const QString kPortZero = QStringLiteral("The port number must be > 0");
const char* const kEntryBoxes[] = {"txtClientName", "txtClientDescription", "txtRemoteIP",
                                   "txtRemotePort"};

// Plug-ins on (port 5577) or off; entries named as given, from 127.0.0.i, port i.
frmPlugInsSetup* load(bool enabled, const QStringList& names) {
    plugInsEnabled = enabled;
    serverPort = enabled ? 5577 : 0;
    plugIns.clear();
    for (int i = 0; i < names.size(); ++i) {
        auto p = std::make_shared<PlugIn>();
        p->name = names[i];
        p->remoteHost = QStringLiteral("127.0.0.%1").arg(i + 1);
        p->remotePort = i + 1;
        plugIns.append(p);
    }
    noPlugIns = names.isEmpty();
    frmPlugInsSetup* d = frmPlugInsSetup::load(nullptr);
    d->show();
    return d;
}
void type(QWidget* d, const char* box, const QString& text) {
    child<QLineEdit>(d, box)->setText(text);
}

// The list in memory, checked against the one on screen, as "name|description|host|port".
QStringList memory(QWidget* d) {
    QStringList out, shown;
    for (const auto& p : plugIns)
        out << QStringList{p->name, p->description, p->remoteHost, QString::number(p->remotePort)}
                   .join(u'|');
    auto* list = child<QTreeWidget>(d, "lvClientPlugIns");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* r = list->topLevelItem(i);
        shown << r->text(0) + u'|' + r->text(1) + u'|' + r->text(2) + u'|' + r->text(3);
    }
    if (noPlugIns)
        out.clear();
    return plugInsEnabled && out != shown ? QStringList{"shown: " + shown.join(u',')} : out;
}
QStringList stored() {
    QStringList out;
    SettingsStore& s = SettingsStore::instance();
    for (const QString& key : s.keys("plugins"))
        out << key + u'=' + s.value("plugins", key).value_or(QString());
    return out;
}
QStringList boxes() {
    QStringList out;
    for (const auto& r : Prompter::records())
        out << r.text;
    return out;
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

    // Ticking acts at once; plug-ins off at start-up leave port 0, which Close
    // refuses. Unticked, Close looks at no port and stores only the flag.
    void enableBoxActsAtOnce() {
        frmPlugInsSetup* d = load(false, {"A"});
        QVERIFY(!child<QLineEdit>(d, "txtServerPort")->isEnabled());
        QCOMPARE(child<QTreeWidget>(d, "lvClientPlugIns")->topLevelItemCount(), 0);
        QTest::mouseClick(child<QCheckBox>(d, "cbEnablePlugins"), Qt::LeftButton);
        QVERIFY(plugInsEnabled && child<QLineEdit>(d, "txtServerPort")->isEnabled());
        QCOMPARE(memory(d), QStringList{"A||127.0.0.1|1"});
        QCOMPARE(child<QLineEdit>(d, "txtServerPort")->text(), "0");
        click(d, "cmdClose");
        QCOMPARE(boxes(), QStringList{kPortZero});
        QCOMPARE(stored(), QStringList{});
        type(d, "txtServerPort", "abc");
        QTest::mouseClick(child<QCheckBox>(d, "cbEnablePlugins"), Qt::LeftButton);
        QVERIFY(!plugInsEnabled);
        click(d, "cmdClose");
        QCOMPARE(stored(), QStringList{"enabled=0"});
        QCOMPARE(plugIns.size(), 1); // still there for this run
        settle();
        QVERIFY(!frmPlugInsSetup::loadedInstance());
    }

    void closeChecksThePort_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("box");
        const QString range = "The port number must be between 1 and 65535";
        for (const char* port : {" 8080 ", "65535", "abc", "0", "99999999999", "70000"})
            QTest::newRow(port) << port
                                << (port[0] == ' ' || port[0] == '6' ? kRestart
                                    : port[0] == '7'                 ? range
                                                                     : kPortZero);
    }
    void closeChecksThePort() {
        QFETCH(QString, port);
        QFETCH(QString, box);
        frmPlugInsSetup* d = load(true, {"A"});
        type(d, "txtServerPort", port);
        click(d, "cmdClose");
        QCOMPARE(boxes(), QStringList{box});
        if (box != kRestart) {
            QCOMPARE(serverPort, 5577);
            QCOMPARE(stored(), QStringList{});
            QVERIFY(d->isVisible());
            return;
        }
        QCOMPARE(serverPort, port.trimmed().toInt());
        QCOMPARE(stored(),
                 (QStringList{"enabled=1", "serverPort=" + port.trimmed(), "number=1", "name0=A",
                              "description0=", "remoteHost0=127.0.0.1", "remotePort0=1"}));
    }

    void add_data() {
        QTest::addColumn<QStringList>("typed"); // name, description, address, port
        QTest::addColumn<QString>("added");     // empty: refused
        QTest::newRow("all fields")
            << QStringList{"Crm", "the CRM", "10.0.0.7", " 4000 "} << "Crm|the CRM|10.0.0.7|4000";
        QTest::newRow("all empty: any port") << QStringList{"", "", "", ""} << "|||0";
        for (const char* port : {"abc", "65536"})
            QTest::newRow(port) << QStringList{"X", "", "1.2.3.4", port} << "";
    }
    void add() {
        QFETCH(QStringList, typed);
        QFETCH(QString, added);
        frmPlugInsSetup* d = load(true, {"A"});
        for (int i = 0; i < 4; ++i)
            type(d, kEntryBoxes[i], typed[i]);
        click(d, "cmdClientAdd");
        QStringList after{"A||127.0.0.1|1"};
        if (!added.isEmpty())
            after << added;
        QCOMPARE(memory(d), after);
        QCOMPARE(boxes().size(), added.isEmpty() ? 1 : 0);
        for (int i = 0; i < 4; ++i) // emptied after an add, kept after a refusal
            QCOMPARE(child<QLineEdit>(d, kEntryBoxes[i])->text(),
                     added.isEmpty() ? typed[i] : QString());
    }

    void remove() {
        frmPlugInsSetup* d = load(true, {"A", "B", "C"});
        auto* list = child<QTreeWidget>(d, "lvClientPlugIns");
        list->clearSelection();
        click(d, "cmdClientRemove");
        QCOMPARE(boxes(), QStringList{"Select the plugin to remove"});
        list->setCurrentItem(list->topLevelItem(1));
        click(d, "cmdClientRemove");
        QCOMPARE(memory(d), (QStringList{"A||127.0.0.1|1", "C||127.0.0.3|3"}));
        for (int i = 0; i < 2; ++i) {
            list->setCurrentItem(list->topLevelItem(0));
            click(d, "cmdClientRemove");
        }
        QVERIFY(noPlugIns);
        type(d, "txtClientName", "New");
        click(d, "cmdClientAdd");
        QCOMPARE(memory(d), QStringList{"New|||0"});
    }

    // Escape or the window box: nothing stored; list edits stay for this run.
    void escapeAndWindowBoxSaveNothing() {
        for (bool escape : {false, true}) {
            frmPlugInsSetup* d = load(true, {"A"});
            type(d, "txtClientName", "B");
            click(d, "cmdClientAdd");
            type(d, "txtServerPort", "6000");
            if (escape)
                QTest::keyClick(d, Qt::Key_Escape);
            else
                d->close();
            settle();
            QVERIFY(!frmPlugInsSetup::loadedInstance());
            QCOMPARE(stored(), QStringList{});
            QCOMPARE(plugIns.size(), 2);
            QCOMPARE(serverPort, 5577);
        }
    }
};

QTEST_MAIN(TestPlugInsSetup)
#include "tst_frmpluginssetup.moc"
