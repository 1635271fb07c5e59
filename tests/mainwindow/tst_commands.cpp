// The main window's commands, from the menus and from the toolbar.

#include "app/errorreport.h"
#include "app/frmabout.h"
#include "app/frmpreferences.h"
#include "app/frmtipoftheday.h"
#include "app/globals.h"
#include "app/settings.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "common/widgettest.h"
#include "mainwindow/frmmain.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"
#include "platform/telephony/providers.h"
#include "platform/telephony/simline.h"
#include "platform/trayicon.h"
#include "telephony/callhandler.h"
#include "telephony/tapisetup.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <optional>

namespace {

std::optional<QString> storedPref(const QString& key) {
    SettingsStore::instance().reload();
    return SettingsStore::instance().value(QStringLiteral("prefs"), key);
}

QByteArray errorLog() {
    QFile log(errorLogPath());
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

QStringList visibleWindows(QWidget* except) {
    QStringList out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != except && w->isVisible() && !w->objectName().isEmpty())
            out << w->objectName();
    out.sort();
    return out;
}

} // namespace

class TstCommands : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestEnv> env;
    QPointer<frmMain> form;

    QAction* menu(const char* name) { return child(form, name); }
    QAction* toolButton(const char* key) {
        return child(form, QStringLiteral("tbToolBar_") + QLatin1String(key));
    }
    // The command from the menu or from the toolbar.
    void run(bool fromToolbar, const char* menuItem, const char* key) {
        if (fromToolbar)
            toolButton(key)->trigger();
        else
            menu(menuItem)->trigger();
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        env = std::make_unique<TestEnv>();
        setLanguage(Language::English);
        SimLine::instance().reset();
        TelephonyRegistry::restoreDefaults();
        TrayIcon::setSimulatedAvailability(true);
        gPreferences = std::make_shared<Preferences>();
        gPreferences->ringTimerInterval = 3;
        form = new frmMain;
        gMainForm = form;
        form->Form_Load();
        form->show();
    }

    void cleanup() {
        delete form;
        stopTelephony();
        TrayIcon::setSimulatedAvailability(std::nullopt);
        env.reset();
    }

    // ------------------------------------------------------------ preferences

    void preferencesOk_data() {
        QTest::addColumn<bool>("fromToolbar");
        QTest::newRow("menu") << false;
        QTest::newRow("toolbar") << true;
    }
    // OK: a new record from every control, telephony set up for the chosen
    // device, and saved so that the next start reads the same back.
    void preferencesOk() {
        QFETCH(bool, fromToolbar);
        SettingsStore::instance().write(QStringLiteral("prefs"),
                                        QStringLiteral("showTipsAtStartup"), QStringLiteral("0"));
        const auto before = gPreferences;
        QVERIFY(!gTAPI);
        QPointer<QWidget> dialog;
        whenModal([&](QWidget* m) {
            dialog = m;
            QCOMPARE(m->objectName(), QStringLiteral("frmPreferences"));
            QCOMPARE(m->parentWidget(), form.data());
            auto* tabs = child<QTabBar>(m, "TabStrip1");
            QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
            child<QCheckBox>(m, "cbUseTAPI")->click();
            auto* list = child<QComboBox>(m, "cbTAPIDevice");
            list->setCurrentIndex(list->findText(QStringLiteral("Simulated Line")));
            for (const char* n : {"cbStartMinimized", "cbUseLastDialAB", "cbAutoClose",
                                  "cbShowRingWindow", "cbPlaySound", "cbShowTooltip"})
                child<QCheckBox>(m, n)->click();
            child<QRadioButton>(m, "rbMCAlert")->click();
            child<QRadioButton>(m, "rbOnCloseAsk")->click();
            child<QLineEdit>(m, "defaultPrefix1")->setText(QStringLiteral("0"));
            child<QLineEdit>(m, "defaultPrefix2")->setText(QString());
            child<QLineEdit>(m, "defaultPrefix3")->setText(QStringLiteral("+39 06"));
            child<QLineEdit>(m, "txtDefaultSound")->setText(QStringLiteral("/home/u/my ring.wav"));
            child<QSlider>(m, "slRingTimerInterval")->setValue(12);
            child<QPushButton>(m, "cmdOK")->click();
        });
        run(fromToolbar, "mnuToolsPreferences", "prefs");
        QVERIFY(dialog && dialog->isHidden()); // stays loaded
        QVERIFY(gPreferences != before);
        const QStringList expected = {"Simulated Line",
                                      "1",
                                      "2",
                                      "1",
                                      "1",
                                      "1",
                                      "1",
                                      "/home/u/my ring.wav",
                                      "12",
                                      "1",
                                      "1",
                                      "0",
                                      "0",
                                      "",
                                      "+39 06",
                                      "1"};
        QCOMPARE(fields(*gPreferences), expected);
        // Telephony set up for the chosen device, and the window subscribed.
        QVERIFY(gTAPI);
        QVERIFY(gAddress);
        QCOMPARE(gAddress->get_AddressName(), QStringLiteral("Simulated Line"));
        QVERIFY(form->callHandler()->sinkConnected());
        QVERIFY(SimLine::instance().registered());
        QVERIFY(Prompter::records().isEmpty());
        // An incoming call now reaches the window.
        SimLine::instance().ring();
        QTRY_COMPARE(form->statusText(), loadResString(16018));

        // Saved: the next start reads the same back, the tip key kept.
        QCOMPARE(storedPref(QStringLiteral("useTAPI")), std::optional<QString>("1"));
        QCOMPARE(storedPref(QStringLiteral("showTipsAtStartup")), std::optional<QString>("0"));
        gPreferences.reset();
        loadSettings();
        QVERIFY(gPreferences);
        QCOMPARE(fields(*gPreferences), expected);
    }

    // Cancel, Escape or the close box change nothing, and an earlier OK is
    // not taken as the verdict of a later opening.
    void preferencesNotConfirmedChangesNothing_data() {
        QTest::addColumn<bool>("fromToolbar");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("earlierOk");
        QTest::newRow("menu, cancel") << false << "cancel" << false;
        QTest::newRow("menu, close box") << false << "close" << false;
        QTest::newRow("toolbar, Escape") << true << "escape" << false;
        QTest::newRow("after OK, close box") << true << "close" << true;
        QTest::newRow("after OK, Escape") << false << "escape" << true;
        QTest::newRow("after OK, cancel") << true << "cancel" << true;
    }
    void preferencesNotConfirmedChangesNothing() {
        QFETCH(bool, fromToolbar);
        QFETCH(QString, how);
        QFETCH(bool, earlierOk);
        if (earlierOk) {
            whenModal([](QWidget* m) { child<QPushButton>(m, "cmdOK")->click(); });
            menu("mnuToolsPreferences")->trigger();
            QVERIFY(QFile::remove(env->settingsPath()));
        }
        const auto before = gPreferences;
        whenModal([&](QWidget* m) {
            child<QCheckBox>(m, "cbStartMinimized")->click();
            if (how == QLatin1String("close"))
                m->close();
            else if (how == QLatin1String("escape"))
                QTest::keyClick(m, Qt::Key_Escape);
            else
                child<QPushButton>(m, "cmdCancel")->click();
        });
        run(fromToolbar, "mnuToolsPreferences", "prefs");
        settle();
        QCOMPARE(gPreferences, before);
        QVERIFY(!gPreferences->startMinimized);
        QVERIFY(!QFile::exists(env->settingsPath()));
        QVERIFY(!gTAPI);
        QVERIFY(frmPreferences::current()); // loaded again for the verdict after a close
        QVERIFY(!frmPreferences::current()->isVisible());
        QVERIFY(Prompter::records().isEmpty());
    }

    void preferencesAfterUntickingTelephony() {
        gPreferences->useTapi = true;
        gPreferences->TAPIDevice = QStringLiteral("Simulated Line");
        setupTAPI();
        form->TAPIEventsInit();
        QVERIFY(gAddress);
        whenModal([&](QWidget* m) {
            child<QCheckBox>(m, "cbUseTAPI")->click();
            child<QPushButton>(m, "cmdOK")->click();
        });
        menu("mnuToolsPreferences")->trigger();
        QVERIFY(!gTAPI);
        QVERIFY(!gAddress);
        QVERIFY(!gPreferences->useTapi);
        // The device stays chosen for when telephony is turned on again.
        QCOMPARE(gPreferences->TAPIDevice, QStringLiteral("Simulated Line"));
        QCOMPARE(storedPref(QStringLiteral("useTAPI")),
                 std::optional<QString>(QStringLiteral("0")));
        QVERIFY(Prompter::records().isEmpty());
    }

    // From the menu a failing step ends the command; from the toolbar the
    // steps after it still run (here: the save).
    void preferencesFailingStep_data() {
        QTest::addColumn<bool>("fromToolbar");
        QTest::addColumn<bool>("saved");
        QTest::newRow("menu") << false << false;
        QTest::newRow("toolbar") << true << true;
    }
    void preferencesFailingStep() {
        QFETCH(bool, fromToolbar);
        QFETCH(bool, saved);
        gExtendedErrors = true;
        gPreferences->useTapi = true;
        gPreferences->TAPIDevice = QStringLiteral("Simulated Line");
        whenModal([&](QWidget* m) {
            child<QCheckBox>(m, "cbUseTAPI")->click();
            // Telephony back behind the dialog's back, with a shutdown that
            // fails: the set-up after OK raises.
            startTAPI();
            SimLine::instance().failOnce(SimLine::Op::Shutdown);
            child<QPushButton>(m, "cmdOK")->click();
        });
        run(fromToolbar, "mnuToolsPreferences", "prefs");
        QVERIFY(!gPreferences->useTapi); // the step before the failure was done
        QCOMPARE(QFile::exists(env->settingsPath()), saved);
        QVERIFY(errorLog().contains(" dontknow -"));
    }

    // ------------------------------------------------------------ other windows

    void addressBooksRefillsTheTree_data() {
        QTest::addColumn<bool>("fromToolbar");
        QTest::newRow("menu") << false;
        QTest::newRow("toolbar") << true;
    }
    void addressBooksRefillsTheTree() {
        QFETCH(bool, fromToolbar);
        auto* tree = child<QTreeWidget>(form, "tvAddressBookTree");
        new QTreeWidgetItem(tree, QStringList{QStringLiteral("stale node")});
        ModalCloser closer; // the manager closed by its close box, without changes
        run(fromToolbar, "mnuToolsAddressBooks", "abook");
        QVERIFY(tree->findItems(QStringLiteral("stale node"), Qt::MatchRecursive).isEmpty());
    }

    void helpAndUpdateGoToTheShell_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QUrl>("expected");
        QTest::newRow("help menu") << "mnuHelpHelp" << frmMain::helpPage();
        QTest::newRow("help button") << "help" << frmMain::helpPage();
        QTest::newRow("update") << "mnuHelpUpdate" << frmMain::updatePage();
    }
    void helpAndUpdateGoToTheShell() {
        QFETCH(QString, how);
        QFETCH(QUrl, expected);
        if (how.startsWith(QLatin1String("mnu")))
            menu(qPrintable(how))->trigger();
        else
            toolButton(qPrintable(how))->trigger();
        QCOMPARE(Shell::opened(), QList<QUrl>{expected});
        QVERIFY(Prompter::records().isEmpty());
    }

    // The help page is shipped beside the program; updates are looked up on the web.
    void helpPageAndUpdateAddress() {
        QCOMPARE(frmMain::helpPage(),
                 QUrl::fromLocalFile(QDir(QCoreApplication::applicationDirPath())
                                         .filePath(QStringLiteral("Tamrivo.html"))));
        QFile page(QDir(buildDir()).filePath(QStringLiteral("Tamrivo.html")));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        for (const char* topic : {"<title>Tamrivo Help</title>", "id=\"prefs\"", "id=\"books\"",
                                  "id=\"plugins\"", "F12"})
            QVERIFY2(html.contains(topic), topic);
        QCOMPARE(frmMain::updatePage().scheme(), QStringLiteral("https"));
        QVERIFY(frmMain::updatePage().host().endsWith(QLatin1String(".example")));
    }

    void aboutIsModalAndGoesOnOk() {
        QPointer<QWidget> about;
        bool modal = false;
        whenModal([&](QWidget* m) {
            about = m;
            modal = m->isModal();
            child<QPushButton>(m, "cmdOK")->click();
        });
        menu("mnuHelpAbout")->trigger();
        settle();
        QVERIFY(modal);
        QVERIFY(about.isNull()); // unloaded
        QVERIFY(!frmAbout::current());
    }

    void tipOfTheDayOpensBesideTheWindow() {
        menu("mnuHelpTipOfTheDay")->trigger();
        frmTipOfTheDay* tip = frmTipOfTheDay::current();
        QVERIFY(tip);
        QVERIFY(tip->isVisible());
        QVERIFY(!tip->isModal());
        QCOMPARE(tip->parentWidget(), form.data());
        menu("mnuHelpTipOfTheDay")->trigger();
        QCOMPARE(frmTipOfTheDay::current(), tip); // one window
    }

    void tipOfTheDayWithABadSettingReportsAndGoesOn() {
        gExtendedErrors = true;
        SettingsStore::instance().write(QStringLiteral("prefs"),
                                        QStringLiteral("showTipsAtStartup"), QStringLiteral("yes"));
        menu("mnuHelpTipOfTheDay")->trigger();
        QVERIFY(!frmTipOfTheDay::current());
        QVERIFY(errorLog().contains(" dontknow 13 Type mismatch"));
        QVERIFY(form->isVisible());
    }

    void toolbarMatchesMenu_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("item");
        QTest::newRow("search") << QStringLiteral("search") << QStringLiteral("mnuFileSearch");
        QTest::newRow("manual call")
            << QStringLiteral("manualcall") << QStringLiteral("mnuToolsManualDial");
    }
    void toolbarMatchesMenu() {
        QFETCH(QString, key);
        QFETCH(QString, item);
        ModalCloser closer;
        menu(qPrintable(item))->trigger();
        settle();
        const QStringList fromMenu = visibleWindows(form);
        const QList<Prompter::Record> boxesFromMenu = Prompter::records();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != form && w->isWindow())
                w->hide();
        Prompter::reset();
        toolButton(qPrintable(key))->trigger();
        settle();
        QCOMPARE(visibleWindows(form), fromMenu);
        QCOMPARE(Prompter::records().size(), boxesFromMenu.size());
        for (qsizetype i = 0; i < boxesFromMenu.size(); ++i) {
            QCOMPARE(Prompter::records()[i].text, boxesFromMenu[i].text);
            QCOMPARE(Prompter::records()[i].flags, boxesFromMenu[i].flags);
        }
    }
};

QTEST_MAIN(TstCommands)
#include "tst_commands.moc"
