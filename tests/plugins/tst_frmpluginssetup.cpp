// The plug-in setup dialog driven through its named controls: the enable
// box, the list buttons, the port check and the settings written on Close.

#include "app/globals.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "plugins/frmpluginssetup.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QString kSection = QStringLiteral("plugins");

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

template <typename T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c)
        qWarning("no control %s", name);
    return c;
}

void click(QWidget* w, const char* name) {
    QTest::mouseClick(child<QAbstractButton>(w, name), Qt::LeftButton);
}

void type(QWidget* w, const char* name, const QString& text) {
    child<QLineEdit>(w, name)->setText(text);
}

std::shared_ptr<PlugIn> plugIn(const QString& name, const QString& host, int port) {
    auto p = std::make_shared<PlugIn>();
    p->name = name;
    p->description = name + QStringLiteral(" desc");
    p->remoteHost = host;
    p->remotePort = port;
    return p;
}

// Plug-ins on, port 5577, entries named as given (from 127.0.0.i, port i).
void configure(bool enabled, const QStringList& names) {
    plugInsEnabled = enabled;
    serverPort = enabled ? 5577 : 0;
    plugIns.clear();
    for (int i = 0; i < names.size(); ++i)
        plugIns.append(plugIn(names[i], QStringLiteral("127.0.0.%1").arg(i + 1), i + 1));
    noPlugIns = names.isEmpty();
}

// The list rows as "tag name|description|host|port".
QStringList rows(QWidget* w) {
    QStringList out;
    auto* list = child<QTreeWidget>(w, "lvClientPlugIns");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* r = list->topLevelItem(i);
        out.append(r->data(0, Qt::UserRole).toString() + u' ' + r->text(0) + u'|' + r->text(1) +
                   u'|' + r->text(2) + u'|' + r->text(3));
    }
    return out;
}

// The plug-in list in memory as "name|description|host|port".
QStringList memory() {
    QStringList out;
    if (noPlugIns)
        return out;
    for (const auto& p : plugIns)
        out.append(p->name + u'|' + p->description + u'|' + p->remoteHost + u'|' +
                   QString::number(p->remotePort));
    return out;
}

// The stored section as "key=value", in stored order.
QStringList stored() {
    QStringList out;
    SettingsStore& s = SettingsStore::instance();
    for (const QString& key : s.keys(kSection))
        out.append(key + u'=' + s.value(kSection, key).value_or(QString()));
    return out;
}

QStringList boxes() {
    QStringList out;
    for (const auto& r : Prompter::records())
        out.append(r.text + u'/' + r.title + u'/' + QString::number(r.flags));
    return out;
}

} // namespace

class TestPlugInsSetup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        env = std::make_unique<TestEnv>();
        Prompter::setMode(Prompter::Mode::Scripted);
    }
    void cleanup() {
        if (frmPlugInsSetup* d = frmPlugInsSetup::loadedInstance())
            d->close();
        settle();
        setLanguage(Language::English);
        env.reset();
    }

    void loadShowsTheState_data();
    void loadShowsTheState();
    void texts();
    void enableBoxActsAtOnce();
    void closeChecksThePort_data();
    void closeChecksThePort();
    void closeWithPluginsOffStoresOnlyTheFlag();
    void add_data();
    void add();
    void removeRenumbersTheRows();
    void removeTheOnlyEntryThenAdd();
    void removeWithoutSelection();
    void enterOnAListButtonPressesIt();
    void windowBoxAndEscapeSaveNothing();
    void showModalRunsUntilClose();

private:
    frmPlugInsSetup* load() {
        frmPlugInsSetup* d = frmPlugInsSetup::load(nullptr);
        d->show();
        return d;
    }
    std::unique_ptr<TestEnv> env;
};

void TestPlugInsSetup::loadShowsTheState_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("on, two entries")
        << true << QStringList{"A", "B"} << "5577"
        << QStringList{"0 A|A desc|127.0.0.1|1", "1 B|B desc|127.0.0.2|2"};
    QTest::newRow("on, no entries") << true << QStringList{} << "5577" << QStringList{};
    QTest::newRow("off") << false << QStringList{"A"} << "" << QStringList{};
}

void TestPlugInsSetup::loadShowsTheState() {
    QFETCH(bool, enabled);
    QFETCH(QStringList, names);
    QFETCH(QString, port);
    QFETCH(QStringList, shown);
    configure(enabled, names);
    frmPlugInsSetup* d = load();
    QCOMPARE(child<QCheckBox>(d, "cbEnablePlugins")->isChecked(), enabled);
    QCOMPARE(child<QLineEdit>(d, "txtServerPort")->isEnabled(), enabled);
    QCOMPARE(child<QGroupBox>(d, "fClients")->isEnabled(), enabled);
    QCOMPARE(child<QLineEdit>(d, "txtServerPort")->text(), port);
    QCOMPARE(rows(d), shown);
    QVERIFY(d->isModal());
}

void TestPlugInsSetup::texts() {
    configure(true, {});
    frmPlugInsSetup* d = load();
    QCOMPARE(d->windowTitle(), QStringLiteral("Plugins Setup"));
    QCOMPARE(child<QPushButton>(d, "cmdClientAdd")->text(), QStringLiteral("&Add..."));
    QCOMPARE(child<QPushButton>(d, "cmdClientRemove")->text(), QStringLiteral("&Delete"));
    QCOMPARE(child<QPushButton>(d, "cmdClose")->text(), QStringLiteral("Close"));
    QCOMPARE(child<QGroupBox>(d, "fServer")->title(), QStringLiteral(" Server "));
    QCOMPARE(child<QCheckBox>(d, "cbEnablePlugins")->text(), QStringLiteral("Enable Plugins"));
    QCOMPARE(child<QLabel>(d, "Label6")->text(), QStringLiteral("Server Port :"));
    QCOMPARE(child<QLabel>(d, "Label4")->text(), QStringLiteral("Remote Port :"));
    QCOMPARE(child<QTreeWidget>(d, "lvClientPlugIns")->headerItem()->text(2),
             QStringLiteral("Remote IP"));
    d->close();
    settle();
    setLanguage(Language::Italian);
    d = load();
    QCOMPARE(d->windowTitle(), QStringLiteral("Configurazione plug-in"));
    QCOMPARE(child<QPushButton>(d, "cmdClientAdd")->text(), QStringLiteral("&Aggiungi..."));
    QCOMPARE(child<QPushButton>(d, "cmdClose")->text(), QStringLiteral("Chiudi"));
    QCOMPARE(child<QLabel>(d, "Label1")->text(), QStringLiteral("Name :"));
}

void TestPlugInsSetup::enableBoxActsAtOnce() {
    configure(false, {"A"});
    frmPlugInsSetup* d = load();
    click(d, "cbEnablePlugins");
    QVERIFY(plugInsEnabled);
    QVERIFY(child<QLineEdit>(d, "txtServerPort")->isEnabled());
    QVERIFY(child<QGroupBox>(d, "fClients")->isEnabled());
    // Plug-ins were off at start-up: the port is 0, which Close refuses.
    QCOMPARE(child<QLineEdit>(d, "txtServerPort")->text(), QStringLiteral("0"));
    QCOMPARE(rows(d), QStringList{"0 A|A desc|127.0.0.1|1"});
    click(d, "cmdClose");
    QCOMPARE(boxes(), QStringList{"The port number must be > 0/Port number/0"});
    QCOMPARE(frmPlugInsSetup::loadedInstance(), d);
    QCOMPARE(stored(), QStringList{});
    // Unticked: off at once, the contents stay.
    type(d, "txtServerPort", QStringLiteral("6000"));
    click(d, "cbEnablePlugins");
    QVERIFY(!plugInsEnabled);
    QVERIFY(!child<QLineEdit>(d, "txtServerPort")->isEnabled());
    QVERIFY(!child<QGroupBox>(d, "fClients")->isEnabled());
    QCOMPARE(child<QLineEdit>(d, "txtServerPort")->text(), QStringLiteral("6000"));
    QCOMPARE(rows(d).size(), 1);
}

void TestPlugInsSetup::closeChecksThePort_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("box");
    QTest::newRow("40000") << "40000"
                           << "Restart Tamrivo to enable plugins/Restart Tamrivo/0";
    QTest::newRow("blanks around") << " 8080 "
                                   << "Restart Tamrivo to enable plugins/Restart Tamrivo/0";
    QTest::newRow("highest port") << "65535"
                                  << "Restart Tamrivo to enable plugins/Restart Tamrivo/0";
    QTest::newRow("not a number") << "abc"
                                  << "The port number must be > 0/Port number/0";
    QTest::newRow("empty") << ""
                           << "The port number must be > 0/Port number/0";
    QTest::newRow("zero") << "0"
                          << "The port number must be > 0/Port number/0";
    QTest::newRow("negative") << "-5"
                              << "The port number must be > 0/Port number/0";
    QTest::newRow("beyond 16 bits") << "70000"
                                    << "The port number must be between 1 and 65535/Port number/0";
    QTest::newRow("beyond 32 bits") << "99999999999"
                                    << "The port number must be > 0/Port number/0";
}

void TestPlugInsSetup::closeChecksThePort() {
    QFETCH(QString, port);
    QFETCH(QString, box);
    configure(true, {"A"});
    frmPlugInsSetup* d = load();
    type(d, "txtServerPort", port);
    click(d, "cmdClose");
    QCOMPARE(boxes(), QStringList{box});
    if (box.startsWith(QLatin1String("Restart"))) {
        const QString value = QString::number(port.trimmed().toInt());
        QCOMPARE(serverPort, value.toInt());
        QCOMPARE(stored(),
                 (QStringList{"enabled=1", "serverPort=" + value, "number=1", "name0=A",
                              "description0=A desc", "remoteHost0=127.0.0.1", "remotePort0=1"}));
        settle();
        QVERIFY(!frmPlugInsSetup::loadedInstance());
    } else {
        QCOMPARE(serverPort, 5577);
        QCOMPARE(stored(), QStringList{});
        QCOMPARE(frmPlugInsSetup::loadedInstance(), d);
        QVERIFY(d->isVisible());
    }
}

void TestPlugInsSetup::closeWithPluginsOffStoresOnlyTheFlag() {
    SettingsStore::instance().write(kSection, QStringLiteral("serverPort"), QStringLiteral("1"));
    configure(true, {"A", "B"});
    frmPlugInsSetup* d = load();
    click(d, "cbEnablePlugins");
    type(d, "txtServerPort", QStringLiteral("abc")); // not looked at
    click(d, "cmdClose");
    QCOMPARE(boxes(), QStringList{});
    QCOMPARE(stored(), QStringList{"enabled=0"});
    QCOMPARE(memory().size(), 2); // still there for this run
    settle();
    QVERIFY(!frmPlugInsSetup::loadedInstance());
}

void TestPlugInsSetup::add_data() {
    QTest::addColumn<QStringList>("typed"); // name, description, address, port
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QStringList>("shownBoxes");
    const QStringList existing{"A|A desc|127.0.0.1|1"};
    QTest::newRow("all fields") << QStringList{"Crm", "the CRM", "10.0.0.7", "4000"}
                                << existing + QStringList{"Crm|the CRM|10.0.0.7|4000"}
                                << QStringList{};
    QTest::newRow("all empty: any port")
        << QStringList{"", "", "", ""} << existing + QStringList{"|||0"} << QStringList{};
    QTest::newRow("host name and duplicate taken")
        << QStringList{"A", "A desc", "localhost", " 1 "}
        << existing + QStringList{"A|A desc|localhost|1"} << QStringList{};
    const QString refusal =
        "The remote port must be empty (any port) or a number from 0 to 65535/Port number/0";
    QTest::newRow("port not a number refused")
        << QStringList{"X", "", "1.2.3.4", "abc"} << existing << QStringList{refusal};
    QTest::newRow("port beyond 16 bits refused")
        << QStringList{"X", "", "1.2.3.4", "65536"} << existing << QStringList{refusal};
    QTest::newRow("negative port refused")
        << QStringList{"X", "", "1.2.3.4", "-1"} << existing << QStringList{refusal};
}

void TestPlugInsSetup::add() {
    QFETCH(QStringList, typed);
    QFETCH(QStringList, after);
    QFETCH(QStringList, shownBoxes);
    configure(true, {"A"});
    frmPlugInsSetup* d = load();
    const char* boxNames[] = {"txtClientName", "txtClientDescription", "txtRemoteIP",
                              "txtRemotePort"};
    for (int i = 0; i < 4; ++i)
        type(d, boxNames[i], typed[i]);
    click(d, "cmdClientAdd");
    QCOMPARE(memory(), after);
    QCOMPARE(boxes(), shownBoxes);
    QCOMPARE(rows(d).size(), after.size());
    QCOMPARE(rows(d).last(), QString::number(after.size() - 1) + u' ' + after.last());
    for (int i = 0; i < 4; ++i) {
        // Emptied after an add; kept after a refusal.
        QCOMPARE(child<QLineEdit>(d, boxNames[i])->text(),
                 shownBoxes.isEmpty() ? QString() : typed[i]);
    }
    QVERIFY(!plugIns.last()->connected);
}

void TestPlugInsSetup::removeRenumbersTheRows() {
    configure(true, {"A", "B", "C"});
    frmPlugInsSetup* d = load();
    auto* list = child<QTreeWidget>(d, "lvClientPlugIns");
    list->setCurrentItem(list->topLevelItem(1));
    click(d, "cmdClientRemove");
    QCOMPARE(rows(d), (QStringList{"0 A|A desc|127.0.0.1|1", "1 C|C desc|127.0.0.3|3"}));
    QCOMPARE(memory(), (QStringList{"A|A desc|127.0.0.1|1", "C|C desc|127.0.0.3|3"}));
    QVERIFY(!noPlugIns);
    QVERIFY(boxes().isEmpty()); // no confirmation
}

void TestPlugInsSetup::removeTheOnlyEntryThenAdd() {
    configure(true, {"A"});
    frmPlugInsSetup* d = load();
    auto* list = child<QTreeWidget>(d, "lvClientPlugIns");
    list->setCurrentItem(list->topLevelItem(0));
    click(d, "cmdClientRemove");
    QVERIFY(noPlugIns);
    QCOMPARE(rows(d), QStringList{});
    type(d, "txtClientName", QStringLiteral("New"));
    click(d, "cmdClientAdd");
    QVERIFY(!noPlugIns);
    QCOMPARE(rows(d), QStringList{"0 New|||0"});
    list->setCurrentItem(list->topLevelItem(0));
    click(d, "cmdClientRemove");
    click(d, "cmdClose");
    QCOMPARE(stored(), (QStringList{"enabled=1", "serverPort=5577", "number=0"}));
}

void TestPlugInsSetup::enterOnAListButtonPressesIt() {
    configure(true, {"A"});
    frmPlugInsSetup* d = load();
    type(d, "txtClientName", QStringLiteral("Crm"));
    // Enter on the focused Add button adds; it must not close and save
    // without the entry typed.
    QTest::keyClick(child<QPushButton>(d, "cmdClientAdd"), Qt::Key_Return);
    QCOMPARE(memory(), (QStringList{"A|A desc|127.0.0.1|1", "Crm|||0"}));
    QCOMPARE(boxes(), QStringList{});
    QCOMPARE(stored(), QStringList{});
    QCOMPARE(frmPlugInsSetup::loadedInstance(), d);
    auto* list = child<QTreeWidget>(d, "lvClientPlugIns");
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(child<QPushButton>(d, "cmdClientRemove"), Qt::Key_Return);
    QCOMPARE(memory(), QStringList{"Crm|||0"});
    QCOMPARE(frmPlugInsSetup::loadedInstance(), d);
    // Enter in an entry box neither closes nor saves.
    type(d, "txtClientName", QStringLiteral("Half typed"));
    QTest::keyClick(child<QLineEdit>(d, "txtClientName"), Qt::Key_Return);
    QCOMPARE(frmPlugInsSetup::loadedInstance(), d);
    QVERIFY(d->isVisible());
    QCOMPARE(stored(), QStringList{});
    QCOMPARE(boxes(), QStringList{});
}

void TestPlugInsSetup::removeWithoutSelection() {
    configure(true, {"A", "B"});
    frmPlugInsSetup* d = load();
    child<QTreeWidget>(d, "lvClientPlugIns")->clearSelection();
    click(d, "cmdClientRemove");
    QCOMPARE(boxes(), QStringList{"Select the plugin to remove/Remove plugin/0"});
    QCOMPARE(memory().size(), 2);
    QCOMPARE(rows(d).size(), 2);
}

void TestPlugInsSetup::windowBoxAndEscapeSaveNothing() {
    for (bool escape : {false, true}) {
        configure(true, {"A"});
        frmPlugInsSetup* d = load();
        type(d, "txtClientName", QStringLiteral("B"));
        click(d, "cmdClientAdd");
        type(d, "txtServerPort", QStringLiteral("6000"));
        if (escape)
            QTest::keyClick(d, Qt::Key_Escape);
        else
            d->close();
        settle();
        QVERIFY(!frmPlugInsSetup::loadedInstance());
        QCOMPARE(stored(), QStringList{});
        QCOMPARE(memory().size(), 2); // the list edit stays for this run
        QCOMPARE(serverPort, 5577);
        QVERIFY(boxes().isEmpty());
    }
}

void TestPlugInsSetup::showModalRunsUntilClose() {
    configure(true, {});
    QWidget owner;
    bool ranInside = false;
    QTimer::singleShot(0, [&] {
        frmPlugInsSetup* d = frmPlugInsSetup::loadedInstance();
        ranInside = d && d->isVisible() && d->parentWidget() == &owner;
        if (d)
            click(d, "cmdClose");
    });
    frmPlugInsSetup::showModal(&owner);
    QVERIFY(ranInside);
    QCOMPARE(boxes(), QStringList{"Restart Tamrivo to enable plugins/Restart Tamrivo/0"});
    QCOMPARE(stored(), (QStringList{"enabled=1", "serverPort=5577", "number=0"}));
}

QTEST_MAIN(TestPlugInsSetup)
#include "tst_frmpluginssetup.moc"
