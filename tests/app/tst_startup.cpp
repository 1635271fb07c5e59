#include "app/errorreport.h"
#include "app/frmtipoftheday.h"
#include "app/globals.h"
#include "app/startup.h"
#include "common/testenv.h"
#include "mainwindow/frmmain.h"
#include "platform/instancelock.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "platform/trayicon.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTest>

namespace {

void put(const QString& key, const QString& value) {
    SettingsStore::instance().write(QStringLiteral("prefs"), key, value);
}

QStringList commandLine(const QStringList& args) {
    return QStringList{QStringLiteral("tamrivo")} + args;
}

bool splashLeft() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmSplash"))
            return true;
    return false;
}

// Undoes a start-up: closes its windows and gives up the lock.
void tearDown() {
    delete frmTipOfTheDay::current();
    delete gMainForm;
    releaseInstanceLock();
    QCoreApplication::processEvents();
}

} // namespace

class TstStartup : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> m_env;

private slots:
    void init() { m_env = std::make_unique<TestEnv>(); }
    // The windows and the lock go before the temporary folders do.
    void cleanup() {
        tearDown();
        m_env.reset();
    }

    void freshStart() {
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Main(commandLine({})), StartResult::Running);
        QVERIFY(clock.elapsed() >= 1000); // the pause on the splash
        QVERIFY(noLDAPBooks && noDBBooks && noLocalBooks && noPlugIns);
        QCOMPARE(plugInsEnabled, false);
        QCOMPARE(serverPort, 0);
        QCOMPARE(gCallerIDMaxLengthDiff, 2);
        QCOMPARE(gExtendedErrors, false);
        QCOMPARE(gExitRequested, false);
        QVERIFY(gPreferences);
        QVERIFY(recentBooksExist());
        QVERIFY(gMainForm);
        QVERIFY(gMainForm->isVisible());
        QVERIFY(!splashLeft());
        // No tip setting stored: the tip window opens.
        QVERIFY(frmTipOfTheDay::current());
        QVERIFY(frmTipOfTheDay::current()->isVisible());
        QVERIFY(Prompter::records().isEmpty());
        auto* item = gMainForm->findChild<QAction*>(QStringLiteral("mnuSysTrayShowHide"));
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("&Hide"));
    }

    void startMinimized() {
        put(QStringLiteral("startMinimized"), QStringLiteral("1"));
        put(QStringLiteral("showTipsAtStartup"), QStringLiteral("1"));
        QCOMPARE(Main(commandLine({})), StartResult::Running);
        QVERIFY(gMainForm);
        QVERIFY(!frmTipOfTheDay::current());
        if (TrayIcon::isSystemTrayAvailable())
            QVERIFY(!gMainForm->isVisible());
        else
            QVERIFY(gMainForm->isMinimized());
        if (auto* item = gMainForm->findChild<QAction*>(QStringLiteral("mnuSysTrayShowHide")))
            QCOMPARE(item->text(), QStringLiteral("&Show"));
    }

    void startMinimizedIntoTheTray() {
        TrayIcon::setSimulatedAvailability(true);
        put(QStringLiteral("startMinimized"), QStringLiteral("1"));
        const StartResult r = Main(commandLine({}));
        TrayIcon::setSimulatedAvailability(std::nullopt);
        QCOMPARE(r, StartResult::Running);
        QVERIFY(!gMainForm->isVisible());
        QVERIFY(!frmTipOfTheDay::current());
        auto* item = gMainForm->findChild<QAction*>(QStringLiteral("mnuSysTrayShowHide"));
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("&Show"));
    }

    void tipsAtStartup_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("opens");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("exponent") << "1e0" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("2") << "2" << false;
        QTest::newRow("one and a half") << "1.5" << false;
    }
    void tipsAtStartup() {
        QFETCH(QString, stored);
        QFETCH(bool, opens);
        put(QStringLiteral("showTipsAtStartup"), stored);
        QCOMPARE(Main(commandLine({})), StartResult::Running);
        QCOMPARE(frmTipOfTheDay::current() != nullptr, opens);
        QVERIFY(Prompter::records().isEmpty());
    }

    void badTipSettingKeepsTheMainWindow() {
        put(QStringLiteral("showTipsAtStartup"), QStringLiteral("often"));
        QCOMPARE(Main(commandLine({})), StartResult::Running);
        QVERIFY(gMainForm && gMainForm->isVisible());
        QVERIFY(!frmTipOfTheDay::current());
        QCOMPARE(Prompter::records().size(), 1);
        QVERIFY(Prompter::records().first().text.startsWith(QStringLiteral("13 ")));
    }

    void commandLineSwitch_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("logOn");
        QTest::newRow("EXTERR") << QStringList{"EXTERR"} << true;
        QTest::newRow("lower case") << QStringList{"exterr"} << false;
        QTest::newRow("further argument") << QStringList{"EXTERR", "x"} << false;
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("other") << QStringList{"-v"} << false;
    }
    void commandLineSwitch() {
        QFETCH(QStringList, args);
        QFETCH(bool, logOn);
        put(QStringLiteral("showTipsAtStartup"), QStringLiteral("0"));
        gExtendedErrors = !logOn;
        QCOMPARE(Main(commandLine(args)), StartResult::Running);
        QCOMPARE(gExtendedErrors, logOn);
    }

    void badPreferenceEndsStartUp_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("log off") << QStringList{};
        QTest::newRow("log on") << QStringList{"EXTERR"};
    }
    void badPreferenceEndsStartUp() {
        QFETCH(QStringList, args);
        put(QStringLiteral("useTAPI"), QStringLiteral("maybe"));
        QCOMPARE(Main(commandLine(args)), StartResult::Failed);
        QVERIFY(!gMainForm);
        QVERIFY(!splashLeft());
        QVERIFY(!frmTipOfTheDay::current());
        // Shown whatever its number, and logged when the log is on.
        QCOMPARE(Prompter::records().size(), 1);
        const auto& r = Prompter::records().first();
        QCOMPARE(r.title, QStringLiteral("Tamrivo Error"));
        QCOMPARE(r.flags, int(Msg::OKOnly | Msg::Critical));
        QVERIFY2(r.text.startsWith(QStringLiteral("13 ")) &&
                     r.text.contains(QStringLiteral("useTAPI")),
                 qPrintable(r.text));
        QFile log(errorLogPath());
        if (args.isEmpty()) {
            QVERIFY(!log.exists());
        } else {
            QVERIFY(log.open(QIODevice::ReadOnly));
            QVERIFY(log.readAll().contains(" dontknow 13 Type mismatch"));
        }
    }

    void secondInstanceIsRefused() {
        InstanceLock first;
        QVERIFY(first.tryAcquire());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Main(commandLine({})), StartResult::AlreadyRunning);
        QVERIFY(clock.elapsed() < 1000); // no splash pause
        QVERIFY(!gMainForm);
        QVERIFY(!gPreferences); // nothing loaded
        QCOMPARE(Prompter::records().size(), 1);
        const auto& r = Prompter::records().first();
        QCOMPARE(r.text, QStringLiteral("The program is already running"));
        QCOMPARE(r.title, QStringLiteral("Already Running"));
        QCOMPARE(r.flags, int(Msg::OKOnly | Msg::Critical));
        first.release();
        QCOMPARE(Main(commandLine({})), StartResult::Running);
    }

    void tipCheckBoxWritesAtOnce() {
        QCOMPARE(Main(commandLine({})), StartResult::Running);
        auto* tip = frmTipOfTheDay::current();
        QVERIFY(tip);
        QCOMPARE(tip->property("Tag").toString(), QStringLiteral("15019"));
        auto* box = tip->findChild<QCheckBox*>(QStringLiteral("chkLoadTipsAtStartup"));
        QVERIFY(box);
        QVERIFY(box->isChecked());
        // The load's own tick stores nothing.
        QVERIFY(!QFile::exists(m_env->settingsPath()));
        box->click();
        SettingsStore::instance().reload();
        QCOMPARE(SettingsStore::instance().value(QStringLiteral("prefs"),
                                                 QStringLiteral("showTipsAtStartup")),
                 std::optional<QString>(QStringLiteral("0")));
        box->click();
        SettingsStore::instance().reload();
        QCOMPARE(SettingsStore::instance().value(QStringLiteral("prefs"),
                                                 QStringLiteral("showTipsAtStartup")),
                 std::optional<QString>(QStringLiteral("1")));
        QVERIFY(!tip->findChild<QLabel*>(QStringLiteral("lblTipText"))->text().isEmpty());
    }

    void tipWindowLeavesAnOddValueAlone() {
        put(QStringLiteral("showTipsAtStartup"), QStringLiteral("2"));
        auto* tip = frmTipOfTheDay::showWindow(nullptr);
        QVERIFY(!tip->findChild<QCheckBox*>(QStringLiteral("chkLoadTipsAtStartup"))->isChecked());
        QCOMPARE(frmTipOfTheDay::showWindow(nullptr), tip); // one window
        SettingsStore::instance().reload();
        QCOMPARE(SettingsStore::instance().read(QStringLiteral("prefs"),
                                                QStringLiteral("showTipsAtStartup"), {}),
                 QStringLiteral("2"));
    }

    void pluginSettingsLoadedBeforeTheMainWindow() {
        SettingsStore::instance().write(QStringLiteral("plugins"), QStringLiteral("enabled"),
                                        QStringLiteral("1"));
        put(QStringLiteral("showTipsAtStartup"), QStringLiteral("0"));
        QCOMPARE(Main(commandLine({})), StartResult::Running);
        QVERIFY(plugInsEnabled);
        QCOMPARE(serverPort, 5577);
        QVERIFY(noPlugIns);
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
