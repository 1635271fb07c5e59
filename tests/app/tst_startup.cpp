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
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void put(const QString& key, const QString& value) {
    SettingsStore::instance().write(u"prefs"_s, key, value);
}

QStringList commandLine(const QStringList& args) {
    return QStringList{u"tamrivo"_s} + args;
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
        QVERIFY(!plugInsEnabled && !gExtendedErrors && !gExitRequested);
        QCOMPARE(serverPort, 0);
        QCOMPARE(gCallerIDMaxLengthDiff, 2);
        QVERIFY(gPreferences && recentBooksExist());
        QVERIFY(gMainForm && gMainForm->isVisible());
        QVERIFY(!splashLeft());
        // No tip setting stored: the tip window opens.
        QVERIFY(frmTipOfTheDay::current() && frmTipOfTheDay::current()->isVisible());
        QCOMPARE(frmTipOfTheDay::showWindow(nullptr), frmTipOfTheDay::current()); // one window
        QVERIFY(!QFile::exists(m_env->settingsPath())); // starting writes nothing
        QVERIFY(Prompter::records().isEmpty());
        QCOMPARE(gMainForm->findChild<QAction*>(u"mnuSysTrayShowHide"_s)->text(), u"&Hide"_s);
    }

    // Minimised with no tray the window is minimised, with one it is hidden;
    // the tips never open.
    void startMinimized_data() {
        QTest::addColumn<bool>("tray");
        QTest::newRow("platform tray") << false;
        QTest::newRow("tray") << true;
    }
    void startMinimized() {
        QFETCH(bool, tray);
        if (tray)
            TrayIcon::setSimulatedAvailability(true);
        put(u"startMinimized"_s, u"1"_s);
        put(u"showTipsAtStartup"_s, u"1"_s);
        const StartResult r = Main(commandLine({}));
        TrayIcon::setSimulatedAvailability(std::nullopt);
        QCOMPARE(r, StartResult::Running);
        QVERIFY(!frmTipOfTheDay::current());
        if (tray || TrayIcon::isSystemTrayAvailable())
            QVERIFY(!gMainForm->isVisible());
        else
            QVERIFY(gMainForm->isMinimized());
        auto* item = gMainForm->findChild<QAction*>(u"mnuSysTrayShowHide"_s);
        QVERIFY(item || !tray);
        if (item)
            QCOMPARE(item->text(), u"&Show"_s);
    }

    void tipsAtStartup_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<bool>("error"); // shown, and the main window stays
        for (const char* s : {"1", "1e0"})
            QTest::newRow(s) << QString(s) << true << false;
        for (const char* s : {"0", "2", "1.5"})
            QTest::newRow(s) << QString(s) << false << false;
        QTest::newRow("word") << u"often"_s << false << true;
    }
    void tipsAtStartup() {
        QFETCH(QString, stored);
        QFETCH(bool, opens);
        QFETCH(bool, error);
        put(u"showTipsAtStartup"_s, stored);
        QCOMPARE(Main(commandLine({})), StartResult::Running);
        QVERIFY(gMainForm && gMainForm->isVisible());
        QCOMPARE(frmTipOfTheDay::current() != nullptr, opens);
        QCOMPARE(Prompter::records().size(), error ? 1 : 0);
        if (error)
            QVERIFY(Prompter::records().first().text.startsWith(u"13 "_s));
    }

    // The process-level cases (status, the log with EXTERR) are in e2e.
    void badPreferenceEndsStartUp() {
        put(u"useTAPI"_s, u"maybe"_s);
        QCOMPARE(Main(commandLine({})), StartResult::Failed);
        QVERIFY(!gMainForm && !splashLeft() && !frmTipOfTheDay::current());
        QCOMPARE(Prompter::records().size(), 1);
        const auto& r = Prompter::records().first();
        QCOMPARE(r.title, u"Tamrivo Error"_s);
        QCOMPARE(r.flags, int(Msg::OKOnly | Msg::Critical));
        QVERIFY2(r.text.startsWith(u"13 "_s) && r.text.contains(u"useTAPI"_s), qPrintable(r.text));
        QVERIFY(!QFile::exists(errorLogPath()));
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
        QCOMPARE(r.text, u"The program is already running"_s);
        QCOMPARE(r.title, u"Already Running"_s);
        QCOMPARE(r.flags, int(Msg::OKOnly | Msg::Critical));
        first.release();
        QCOMPARE(Main(commandLine({})), StartResult::Running);
    }

    void pluginSettingsLoadedBeforeTheMainWindow() {
        SettingsStore::instance().write(u"plugins"_s, u"enabled"_s, u"1"_s);
        put(u"showTipsAtStartup"_s, u"0"_s);
        QCOMPARE(Main(commandLine({})), StartResult::Running);
        QVERIFY(plugInsEnabled);
        QCOMPARE(serverPort, 5577);
        QVERIFY(noPlugIns);
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
