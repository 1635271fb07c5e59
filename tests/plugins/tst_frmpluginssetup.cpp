// The plug-in setup dialog driven through its named controls: the enable
// box, the list buttons, the port check and the settings written on Close.

#include "app/globals.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "plugins/frmpluginssetup.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

template <class T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    if (!c)
        qFatal("no control %s in %s", name, qPrintable(w->objectName()));
    return c;
}
void setText(QWidget* w, const char* box, const QString& t) {
    child<QLineEdit>(w, box)->setText(t);
}
QString text(QWidget* w, const char* box) {
    return child<QLineEdit>(w, box)->text();
}

const QString kSection = QStringLiteral("plugins");
const QString kRestart = QStringLiteral("Restart Tamrivo to enable plugins/Restart Tamrivo/0");
const QString kPortZero = QStringLiteral("The port number must be > 0/Port number/0");
const char* const kEntryBoxes[] = {"txtClientName", "txtClientDescription", "txtRemoteIP",
                                   "txtRemotePort"};

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Plug-ins on (port 5577) or off, entries named as given from 127.0.0.i, port i.
void configure(bool enabled, const QStringList& names) {
    plugInsEnabled = enabled;
    serverPort = enabled ? 5577 : 0;
    plugIns.clear();
    for (int i = 0; i < names.size(); ++i) {
        auto p = std::make_shared<PlugIn>();
        p->name = names[i];
        p->description = names[i] + QStringLiteral(" desc");
        p->remoteHost = QStringLiteral("127.0.0.%1").arg(i + 1);
        p->remotePort = i + 1;
        plugIns.append(p);
    }
    noPlugIns = names.isEmpty();
}

void click(QWidget* w, const char* name) {
    QTest::mouseClick(child<QAbstractButton>(w, name), Qt::LeftButton);
}

frmPlugInsSetup* load() {
    frmPlugInsSetup* d = frmPlugInsSetup::load(nullptr);
    d->show();
    return d;
}

QTreeWidget* list(QWidget* d) {
    return child<QTreeWidget>(d, "lvClientPlugIns");
}

// The list rows as "tag name|description|host|port".
QStringList rows(QWidget* d) {
    QStringList out;
    for (int i = 0; i < list(d)->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* r = list(d)->topLevelItem(i);
        out.append(r->data(0, Qt::UserRole).toString() + u' ' + r->text(0) + u'|' + r->text(1) +
                   u'|' + r->text(2) + u'|' + r->text(3));
    }
    return out;
}

// The plug-in list in memory as "name|description|host|port".
QStringList memory() {
    QStringList out;
    for (const auto& p : plugIns)
        out.append(p->name + u'|' + p->description + u'|' + p->remoteHost + u'|' +
                   QString::number(p->remotePort));
    return noPlugIns ? QStringList{} : out;
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

bool editable(QWidget* d) {
    return child<QLineEdit>(d, "txtServerPort")->isEnabled() &&
           child<QGroupBox>(d, "fClients")->isEnabled();
}

} // namespace

class TestPlugInsSetup : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;

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

    void loadShowsTheState_data() {
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
    void loadShowsTheState() {
        QFETCH(bool, enabled);
        QFETCH(QStringList, names);
        QFETCH(QString, port);
        QFETCH(QStringList, shown);
        configure(enabled, names);
        frmPlugInsSetup* d = load();
        QCOMPARE(child<QCheckBox>(d, "cbEnablePlugins")->isChecked(), enabled);
        QCOMPARE(editable(d), enabled);
        QCOMPARE(text(d, "txtServerPort"), port);
        QCOMPARE(rows(d), shown);
        QVERIFY(d->isModal());
        QCOMPARE(d->windowTitle(), QStringLiteral("Plugins Setup"));
    }

    void italianTexts() {
        setLanguage(Language::Italian);
        configure(true, {});
        frmPlugInsSetup* d = load();
        QCOMPARE(d->windowTitle(), QStringLiteral("Configurazione plug-in"));
        QCOMPARE(child<QPushButton>(d, "cmdClientAdd")->text(), QStringLiteral("&Aggiungi..."));
    }

    void enableBoxActsAtOnce() {
        const QStringList before{"serverPort=1"};
        SettingsStore::instance().write(kSection, QStringLiteral("serverPort"),
                                        QStringLiteral("1"));
        configure(false, {"A"});
        frmPlugInsSetup* d = load();
        click(d, "cbEnablePlugins");
        QVERIFY(plugInsEnabled);
        QVERIFY(editable(d));
        QCOMPARE(rows(d), QStringList{"0 A|A desc|127.0.0.1|1"});
        // Plug-ins were off at start-up: the port is 0, which Close refuses.
        QCOMPARE(text(d, "txtServerPort"), QStringLiteral("0"));
        click(d, "cmdClose");
        QCOMPARE(boxes(), QStringList{kPortZero});
        QCOMPARE(frmPlugInsSetup::loadedInstance(), d);
        QCOMPARE(stored(), before);
        // Unticked: off at once, the contents stay; Close then looks at no
        // port and stores only the flag.
        setText(d, "txtServerPort", QStringLiteral("abc"));
        click(d, "cbEnablePlugins");
        QVERIFY(!plugInsEnabled);
        QVERIFY(!editable(d));
        QCOMPARE(text(d, "txtServerPort"), QStringLiteral("abc"));
        QCOMPARE(rows(d).size(), 1);
        click(d, "cmdClose");
        QCOMPARE(boxes(), QStringList{kPortZero});
        QCOMPARE(stored(), QStringList{"enabled=0"});
        QCOMPARE(memory().size(), 1); // still there for this run
        settle();
        QVERIFY(!frmPlugInsSetup::loadedInstance());
    }

    void closeChecksThePort_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("box");
        const auto row = [](const char* port, const QString& box) {
            QTest::newRow(*port ? port : "empty") << QString::fromLatin1(port) << box;
        };
        row("40000", kRestart);
        row(" 8080 ", kRestart);
        row("65535", kRestart);
        for (const char* bad : {"abc", "", "0", "-5", "99999999999"})
            row(bad, kPortZero);
        row("70000", QStringLiteral("The port number must be between 1 and 65535/Port number/0"));
    }
    void closeChecksThePort() {
        QFETCH(QString, port);
        QFETCH(QString, box);
        configure(true, {"A"});
        frmPlugInsSetup* d = load();
        setText(d, "txtServerPort", port);
        click(d, "cmdClose");
        QCOMPARE(boxes(), QStringList{box});
        if (box != kRestart) {
            QCOMPARE(serverPort, 5577);
            QCOMPARE(stored(), QStringList{});
            QVERIFY(frmPlugInsSetup::loadedInstance() == d && d->isVisible());
            return;
        }
        const QString value = port.trimmed();
        QCOMPARE(serverPort, value.toInt());
        QCOMPARE(stored(),
                 (QStringList{"enabled=1", "serverPort=" + value, "number=1", "name0=A",
                              "description0=A desc", "remoteHost0=127.0.0.1", "remotePort0=1"}));
        settle();
        QVERIFY(!frmPlugInsSetup::loadedInstance());
    }

    void add_data() {
        QTest::addColumn<QStringList>("typed"); // name, description, address, port
        QTest::addColumn<QString>("added");     // empty: refused
        QTest::newRow("all fields")
            << QStringList{"Crm", "the CRM", "10.0.0.7", "4000"} << "Crm|the CRM|10.0.0.7|4000";
        QTest::newRow("all empty: any port") << QStringList{"", "", "", ""} << "|||0";
        QTest::newRow("host name and duplicate taken")
            << QStringList{"A", "A desc", "localhost", " 1 "} << "A|A desc|localhost|1";
        for (const char* port : {"abc", "65536", "-1"})
            QTest::newRow(port) << QStringList{"X", "", "1.2.3.4", port} << "";
    }
    void add() {
        QFETCH(QStringList, typed);
        QFETCH(QString, added);
        configure(true, {"A"});
        frmPlugInsSetup* d = load();
        for (int i = 0; i < 4; ++i)
            setText(d, kEntryBoxes[i], typed[i]);
        click(d, "cmdClientAdd");
        QStringList after{"A|A desc|127.0.0.1|1"};
        if (!added.isEmpty())
            after.append(added);
        QCOMPARE(memory(), after);
        QCOMPARE(rows(d).last(), QString::number(after.size() - 1) + u' ' + after.last());
        QCOMPARE(boxes(), added.isEmpty() ? QStringList{"The remote port must be empty (any port) "
                                                        "or a number from 0 to 65535/Port number/0"}
                                          : QStringList{});
        // Emptied after an add; kept after a refusal.
        for (int i = 0; i < 4; ++i)
            QCOMPARE(text(d, kEntryBoxes[i]), added.isEmpty() ? typed[i] : QString());
        QVERIFY(!plugIns.last()->connected);
    }

    void remove_data() {
        QTest::addColumn<int>("selected"); // -1: none
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QStringList>("shownBoxes");
        QTest::newRow("middle, renumbered, no confirmation")
            << 1 << QStringList{"A|A desc|127.0.0.1|1", "C|C desc|127.0.0.3|3"} << QStringList{};
        QTest::newRow("no selection")
            << -1
            << QStringList{"A|A desc|127.0.0.1|1", "B|B desc|127.0.0.2|2", "C|C desc|127.0.0.3|3"}
            << QStringList{"Select the plugin to remove/Remove plugin/0"};
    }
    void remove() {
        QFETCH(int, selected);
        QFETCH(QStringList, after);
        QFETCH(QStringList, shownBoxes);
        configure(true, {"A", "B", "C"});
        frmPlugInsSetup* d = load();
        list(d)->clearSelection();
        if (selected >= 0)
            list(d)->setCurrentItem(list(d)->topLevelItem(selected));
        click(d, "cmdClientRemove");
        QCOMPARE(memory(), after);
        QCOMPARE(boxes(), shownBoxes);
        QCOMPARE(rows(d).size(), after.size());
        QCOMPARE(rows(d).last(), QString::number(after.size() - 1) + u' ' + after.last());
    }

    void removeTheOnlyEntryThenAdd() {
        configure(true, {"A"});
        frmPlugInsSetup* d = load();
        list(d)->setCurrentItem(list(d)->topLevelItem(0));
        click(d, "cmdClientRemove");
        QVERIFY(noPlugIns);
        QCOMPARE(rows(d), QStringList{});
        setText(d, "txtClientName", QStringLiteral("New"));
        click(d, "cmdClientAdd");
        QVERIFY(!noPlugIns);
        QCOMPARE(rows(d), QStringList{"0 New|||0"});
    }

    // Enter presses the focused list button; in an entry box it must not
    // close and save without the entry typed.
    void enterNeverClosesTheDialog() {
        configure(true, {"A"});
        frmPlugInsSetup* d = load();
        setText(d, "txtClientName", QStringLiteral("Crm"));
        QTest::keyClick(child<QPushButton>(d, "cmdClientAdd"), Qt::Key_Return);
        QCOMPARE(memory(), (QStringList{"A|A desc|127.0.0.1|1", "Crm|||0"}));
        list(d)->setCurrentItem(list(d)->topLevelItem(0));
        QTest::keyClick(child<QPushButton>(d, "cmdClientRemove"), Qt::Key_Return);
        QCOMPARE(memory(), QStringList{"Crm|||0"});
        setText(d, "txtClientName", QStringLiteral("Half typed"));
        QTest::keyClick(child<QLineEdit>(d, "txtClientName"), Qt::Key_Return);
        QVERIFY(frmPlugInsSetup::loadedInstance() == d && d->isVisible());
        QCOMPARE(stored(), QStringList{});
        QCOMPARE(boxes(), QStringList{});
    }

    void windowBoxAndEscapeSaveNothing_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("window box") << false;
        QTest::newRow("Escape") << true;
    }
    void windowBoxAndEscapeSaveNothing() {
        QFETCH(bool, escape);
        configure(true, {"A"});
        frmPlugInsSetup* d = load();
        setText(d, "txtClientName", QStringLiteral("B"));
        click(d, "cmdClientAdd");
        setText(d, "txtServerPort", QStringLiteral("6000"));
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

    void showModalRunsUntilClose() {
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
        QCOMPARE(boxes(), QStringList{kRestart});
        QCOMPARE(stored(), (QStringList{"enabled=1", "serverPort=5577", "number=0"}));
    }
};

QTEST_MAIN(TestPlugInsSetup)
#include "tst_frmpluginssetup.moc"
