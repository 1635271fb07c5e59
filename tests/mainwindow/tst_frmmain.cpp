#include "app/globals.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "mainwindow/frmmain.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "platform/trayicon.h"
#include "telephony/callhandler.h"

#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <memory>
#include <optional>

namespace {

const QString kSection = QStringLiteral("Settings");

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void setPrefs(int onClose, int ringSeconds = 5) {
    gPreferences = std::make_shared<Preferences>();
    gPreferences->onClose = static_cast<std::int16_t>(onClose);
    gPreferences->ringTimerInterval = static_cast<std::int16_t>(ringSeconds);
}

QString stored(const QString& key) {
    return SettingsStore::instance().value(kSection, key).value_or(QStringLiteral("<absent>"));
}

void storeRect(const QString& l, const QString& t, const QString& w, const QString& h) {
    SettingsStore& s = SettingsStore::instance();
    s.write(kSection, QStringLiteral("MainLeft"), l);
    s.write(kSection, QStringLiteral("MainTop"), t);
    s.write(kSection, QStringLiteral("MainWidth"), w);
    s.write(kSection, QStringLiteral("MainHeight"), h);
}

QStringList storedRect() {
    return {stored(QStringLiteral("MainLeft")), stored(QStringLiteral("MainTop")),
            stored(QStringLiteral("MainWidth")), stored(QStringLiteral("MainHeight"))};
}

frmMain* loadWindow() {
    auto* w = new frmMain;
    gMainForm = w;
    w->Form_Load();
    return w;
}

void exitProgram(frmMain* w) {
    QAction* exitItem = w->findChild<QAction*>(QStringLiteral("mnuFileExit"));
    QVERIFY(exitItem);
    exitItem->trigger();
    settle();
}

// Mouse event on the splitter bar at x pixels within the bar.
void splitterMouse(QWidget* bar, QEvent::Type type, int x) {
    const QPointF pos(x, 2);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent e(type, pos, bar->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(bar, &e);
}

} // namespace

class TstFrmMain : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestEnv> env;

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        env = std::make_unique<TestEnv>();
        setLanguage(Language::English);
        TrayIcon::setSimulatedAvailability(std::nullopt);
        setPrefs(0);
    }

    void cleanup() {
        delete gMainForm;
        settle();
        TrayIcon::setSimulatedAvailability(std::nullopt);
        env.reset();
    }

    // ------------------------------------------------------------ rectangle

    void restoresStoredRectangle_data() {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("none stored") << QStringList() << QRect(67, 67, 433, 433);
        QTest::newRow("whole pixels")
            << QStringList{"1500", "3000", "7500", "9000"} << QRect(100, 200, 500, 600);
        QTest::newRow("blanks and fraction")
            << QStringList{" 1500 ", "3000.4", "7.5e3", "9000"} << QRect(100, 200, 500, 600);
        QTest::newRow("negative edge")
            << QStringList{"-1500", "0", "7500", "9000"} << QRect(-100, 0, 500, 600);
        QTest::newRow("not numbers fall back per key")
            << QStringList{"abc", "3000", "", "9000"} << QRect(67, 200, 433, 600);
        QTest::newRow("beyond 32 bits falls back")
            << QStringList{"1e12", "3000", "7500", "-1e15"} << QRect(67, 200, 500, 433);
        QTest::newRow("below minimum size")
            << QStringList{"1500", "3000", "1500", "1500"} << QRect(100, 200, 200, 334);
        // Sizes past the desktop are cut to it (offscreen desktop: 800 x 800).
        QTest::newRow("larger than the desktop")
            << QStringList{"1500", "3000", "1e9", "1e9"} << QRect(100, 200, 800, 800);
    }
    void restoresStoredRectangle() {
        QFETCH(QStringList, values);
        QFETCH(QRect, expected);
        if (!values.isEmpty())
            storeRect(values[0], values[1], values[2], values[3]);
        QPointer<frmMain> w = loadWindow();
        QCOMPARE(QRect(w->pos(), w->size()), expected);
        // The load went on to its last steps.
        QVERIFY(w->trayIcon()->isShown());
    }

    void rectangleRoundTripDoesNotDrift_data() {
        QTest::addColumn<QStringList>("start");
        QTest::addColumn<bool>("shown");
        QTest::newRow("defaults, hidden") << QStringList() << false;
        QTest::newRow("defaults, shown") << QStringList() << true;
        QTest::newRow("odd twips, shown") << QStringList{"1007", "1999", "7777", "6001"} << true;
    }
    void rectangleRoundTripDoesNotDrift() {
        QFETCH(QStringList, start);
        QFETCH(bool, shown);
        if (!start.isEmpty())
            storeRect(start[0], start[1], start[2], start[3]);
        QStringList first;
        for (int run = 0; run < 4; ++run) {
            QPointer<frmMain> w = loadWindow();
            if (shown) {
                w->show();
                QVERIFY(QTest::qWaitForWindowExposed(w));
            }
            exitProgram(w);
            QVERIFY(w.isNull());
            QVERIFY(!gMainForm);
            if (run == 0) {
                first = storedRect();
                for (const QString& v : first)
                    QCOMPARE(v.toInt() % frmMain::TwipsPerPixel, 0);
            } else {
                QCOMPARE(storedRect(), first);
            }
        }
    }

    void movedWindowSavesItsRectangleInTwips() {
        QPointer<frmMain> w = loadWindow();
        w->move(120, 80);
        w->resize(640, 480);
        exitProgram(w);
        QCOMPARE(storedRect(), (QStringList{"1800", "1200", "9600", "7200"}));
    }

    void minimisedWindowKeepsStoredRectangle() {
        storeRect("1500", "3000", "7500", "9000");
        QPointer<frmMain> w = loadWindow();
        w->move(300, 300);
        w->showMinimized();
        QVERIFY(w->isMinimized());
        exitProgram(w);
        QVERIFY(w.isNull());
        QCOMPARE(storedRect(), (QStringList{"1500", "3000", "7500", "9000"}));
    }

    void hiddenWindowSavesItsRectangle() {
        TrayIcon::setSimulatedAvailability(true);
        setPrefs(1);
        QPointer<frmMain> w = loadWindow();
        w->show();
        w->move(30, 40);
        w->close();
        QVERIFY(w && w->isHidden());
        exitProgram(w);
        QCOMPARE(stored(QStringLiteral("MainLeft")), QStringLiteral("450"));
        QCOMPARE(stored(QStringLiteral("MainTop")), QStringLiteral("600"));
    }

    void otherSettingsKeysSurviveTheSave() {
        SettingsStore::instance().write(kSection, QStringLiteral("Other"), QStringLiteral("x"));
        SettingsStore::instance().write(QStringLiteral("prefs"), QStringLiteral("onClose"),
                                        QStringLiteral("2"));
        QPointer<frmMain> w = loadWindow();
        exitProgram(w);
        QCOMPARE(stored(QStringLiteral("Other")), QStringLiteral("x"));
        QCOMPARE(
            SettingsStore::instance().value(QStringLiteral("prefs"), QStringLiteral("onClose")),
            std::optional<QString>(QStringLiteral("2")));
    }

    // ------------------------------------------------------------ close policy

    void closePolicy_data() {
        QTest::addColumn<int>("onClose");
        QTest::addColumn<QString>("how"); // box, exit, trayexit, system, taskmanager
        QTest::addColumn<bool>("tray");
        QTest::addColumn<int>("answer");      // 0: no question expected
        QTest::addColumn<QString>("outcome"); // closed, hidden, minimised, visible

        QTest::newRow("0 closes") << 0 << "box" << true << 0 << "closed";
        QTest::newRow("1 hides") << 1 << "box" << true << 0 << "hidden";
        QTest::newRow("1 without tray minimises") << 1 << "box" << false << 0 << "minimised";
        QTest::newRow("2 yes hides") << 2 << "box" << true << int(Msg::Yes) << "hidden";
        QTest::newRow("2 yes without tray minimises")
            << 2 << "box" << false << int(Msg::Yes) << "minimised";
        QTest::newRow("2 no closes") << 2 << "box" << true << int(Msg::No) << "closed";
        QTest::newRow("2 cancel stays") << 2 << "box" << true << int(Msg::Cancel) << "visible";
        QTest::newRow("5 closes") << 5 << "box" << true << 0 << "closed";
        QTest::newRow("-1 closes") << -1 << "box" << true << 0 << "closed";
        QTest::newRow("1 exit closes") << 1 << "exit" << true << 0 << "closed";
        QTest::newRow("2 exit closes") << 2 << "exit" << true << 0 << "closed";
        QTest::newRow("2 tray exit closes") << 2 << "trayexit" << true << 0 << "closed";
        QTest::newRow("1 session end closes") << 1 << "system" << true << 0 << "closed";
        QTest::newRow("2 session end closes") << 2 << "system" << true << 0 << "closed";
        QTest::newRow("2 task manager closes") << 2 << "taskmanager" << true << 0 << "closed";
    }
    void closePolicy() {
        QFETCH(int, onClose);
        QFETCH(QString, how);
        QFETCH(bool, tray);
        QFETCH(int, answer);
        QFETCH(QString, outcome);
        TrayIcon::setSimulatedAvailability(tray);
        setPrefs(onClose);
        QPointer<frmMain> w = loadWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // Another window of the program goes with the main window.
        auto* other = new QWidget;
        other->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<QWidget> otherGuard = other;
        other->show();
        if (answer != 0)
            Prompter::pushAnswer(answer);

        if (how == QLatin1String("box"))
            w->close();
        else if (how == QLatin1String("exit"))
            w->findChild<QAction*>(QStringLiteral("mnuFileExit"))->trigger();
        else if (how == QLatin1String("trayexit"))
            w->findChild<QAction*>(QStringLiteral("mnuSysTrayExit"))->trigger();
        else if (how == QLatin1String("system"))
            w->systemClose(frmMain::vbAppWindows);
        else
            w->systemClose(frmMain::vbAppTaskManager);
        settle();

        if (answer != 0) {
            QCOMPARE(Prompter::records().size(), 1);
            const Prompter::Record& r = Prompter::records().first();
            QCOMPARE(r.text, QStringLiteral("Do you want to hide windows insted of close ?"));
            QCOMPARE(r.title, QStringLiteral("Hide or Close Window"));
            QCOMPARE(r.flags, Msg::YesNoCancel | Msg::Question);
        } else {
            QVERIFY(Prompter::records().isEmpty());
        }

        if (outcome == QLatin1String("closed")) {
            QVERIFY(w.isNull());
            QVERIFY(!gMainForm);
            QVERIFY(otherGuard.isNull());
            QVERIFY(stored(QStringLiteral("MainWidth")) != QLatin1String("<absent>"));
            return;
        }
        QVERIFY(!w.isNull());
        QVERIFY(otherGuard && otherGuard->isVisible());
        delete other;
        QVERIFY(w->trayIcon()->isShown());
        QCOMPARE(stored(QStringLiteral("MainWidth")), QStringLiteral("<absent>"));
        QAction* showHide = w->findChild<QAction*>(QStringLiteral("mnuSysTrayShowHide"));
        if (outcome == QLatin1String("hidden")) {
            QVERIFY(w->isHidden());
            QCOMPARE(showHide->text(), QStringLiteral("&Show"));
        } else if (outcome == QLatin1String("minimised")) {
            QVERIFY(w->isVisible());
            QVERIFY(w->isMinimized());
        } else {
            QVERIFY(w->isVisible());
            QVERIFY(!w->isMinimized());
        }
    }

    void trayShowHideAndToolbarHide() {
        TrayIcon::setSimulatedAvailability(true);
        QPointer<frmMain> w = loadWindow();
        w->show();
        QAction* showHide = w->findChild<QAction*>(QStringLiteral("mnuSysTrayShowHide"));
        QAction* hide = w->findChild<QAction*>(QStringLiteral("tbToolBar_hide"));
        hide->trigger();
        QVERIFY(w->isHidden());
        QCOMPARE(showHide->text(), QStringLiteral("&Show"));
        showHide->trigger();
        QVERIFY(w->isVisible());
        QCOMPARE(showHide->text(), QStringLiteral("&Hide"));
        showHide->trigger();
        QVERIFY(w->isHidden());
        QCOMPARE(showHide->text(), QStringLiteral("&Show"));
    }

    void hideWithoutTrayMinimises() {
        QVERIFY(!TrayIcon::isSystemTrayAvailable()); // offscreen has no tray
        QPointer<frmMain> w = loadWindow();
        w->show();
        w->findChild<QAction*>(QStringLiteral("tbToolBar_hide"))->trigger();
        QVERIFY(w->isVisible());
        QVERIFY(w->isMinimized());
        w->hideToTray();
        QVERIFY(w->isVisible());
    }

    // ------------------------------------------------------------ load

    void loadSetsRingIntervalAndTray_data() {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<bool>("plugins");
        QTest::newRow("5 s") << 5 << false;
        QTest::newRow("33 s, past 16 bits") << 33 << true;
        QTest::newRow("largest") << 32767 << false;
    }
    void loadSetsRingIntervalAndTray() {
        QFETCH(int, seconds);
        QFETCH(bool, plugins);
        setPrefs(0, seconds);
        plugInsEnabled = plugins;
        gCallDirection = CallDirection::Incoming;
        QPointer<frmMain> w = loadWindow();
        QCOMPARE(w->callHandler()->ringTimer()->interval(), seconds * 1000);
        QCOMPARE(w->callHandler()->ringTimer()->objectName(), QStringLiteral("ringTimer"));
        QVERIFY(w->trayIcon()->isShown());
        QCOMPARE(w->trayIcon()->toolTip(), QStringLiteral("Tamrivo"));
        QCOMPARE(w->plugInServer() != nullptr, plugins);
        QVERIFY(!w->currentNode());
        // Without a telephony object the call state stays as it was.
        QCOMPARE(gCallDirection, CallDirection::Incoming);
        QCOMPARE(
            w->findChild<QTreeWidget*>(QStringLiteral("tvAddressBookTree"))->topLevelItemCount(),
            1);
    }

    void trayMouseButtons() {
        TrayIcon::setSimulatedAvailability(true);
        QPointer<frmMain> w = loadWindow();
        w->show();
        auto* menu = w->findChild<QMenu*>(QStringLiteral("SysTrayMenu"));
        QVERIFY(menu);
        w->trayIcon()->simulateMouseEvent(TrayIcon::LeftButton);
        w->trayIcon()->simulateMouseEvent(TrayIcon::MiddleButton);
        QVERIFY(!menu->isVisible());
        w->trayIcon()->simulateMouseEvent(TrayIcon::RightButton);
        QVERIFY(menu->isVisible());
        menu->hide();
    }

    // ------------------------------------------------------------ layout

    void splitterDragClamps_data() {
        QTest::addColumn<int>("windowWidth"); // pixels
        QTest::addColumn<double>("dragTo");   // twips from the left edge
        QTest::addColumn<double>("barDuringDrag");
        QTest::addColumn<double>("split");
        QTest::newRow("narrow window, bar to 600") << 200 << 600.0 << 600.0 << 1500.0;
        QTest::newRow("free position") << 600 << 4000.0 << 4000.0 << 4000.0;
        QTest::newRow("below drag limit") << 600 << 150.0 << 500.0 << 1500.0;
        QTest::newRow("close to right edge") << 600 << 8700.0 << 8500.0 << 7500.0;
        QTest::newRow("past right edge") << 600 << 9900.0 << 8500.0 << 7500.0;
    }
    void splitterDragClamps() {
        QFETCH(int, windowWidth);
        QFETCH(double, dragTo);
        QFETCH(double, barDuringDrag);
        QFETCH(double, split);
        QPointer<frmMain> w = loadWindow();
        w->resize(windowWidth, 500);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto* bar = w->findChild<QWidget*>(QStringLiteral("imgSplitter"));
        auto* moving = w->findChild<QWidget*>(QStringLiteral("picSplitter"));
        auto* tree = w->findChild<QTreeWidget*>(QStringLiteral("tvAddressBookTree"));
        QVERIFY(bar && moving && tree);
        QVERIFY(!moving->isVisible());
        const double barLeft = w->splitterLeft();
        const int treeWidth = tree->width();

        splitterMouse(bar, QEvent::MouseButtonPress, 1);
        QVERIFY(w->movingSplitter());
        QVERIFY(moving->isVisible());
        splitterMouse(bar, QEvent::MouseMove,
                      static_cast<int>((dragTo - barLeft) / frmMain::TwipsPerPixel));
        QCOMPARE(moving->x(), qRound(barDuringDrag / frmMain::TwipsPerPixel));
        QCOMPARE(tree->width(), treeWidth); // the panes wait for the release
        splitterMouse(bar, QEvent::MouseButtonRelease, 0);
        QVERIFY(!w->movingSplitter());
        QVERIFY(!moving->isVisible());
        QCOMPARE(w->splitterLeft(), split);
        QCOMPARE(tree->width(), qRound(split / frmMain::TwipsPerPixel));
        QCOMPARE(bar->x(), tree->width());
    }

    void sizeControlsClampsAndPlacesPanes_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("clamped");
        QTest::newRow("too small") << 100.0 << 1500.0;
        QTest::newRow("inside") << 3000.0 << 3000.0;
        QTest::newRow("too large") << 8000.0 << 7500.0;
    }
    void sizeControlsClampsAndPlacesPanes() {
        QFETCH(double, x);
        QFETCH(double, clamped);
        QPointer<frmMain> w = loadWindow();
        w->resize(600, 500); // 9000 twips wide
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->SizeControls(x);
        QCOMPARE(x, clamped);
        auto* tree = w->findChild<QWidget*>(QStringLiteral("tvAddressBookTree"));
        auto* list = w->findChild<QWidget*>(QStringLiteral("lvContactList"));
        auto* title0 = w->findChild<QWidget*>(QStringLiteral("lblTitle_0"));
        auto* title1 = w->findChild<QWidget*>(QStringLiteral("lblTitle_1"));
        auto px = [](double tw) { return qRound(tw / frmMain::TwipsPerPixel); };
        QCOMPARE(tree->x(), 0);
        QCOMPARE(tree->width(), px(clamped));
        QCOMPARE(list->x(), px(clamped + 40));
        QCOMPARE(list->width(), px(9000 - (clamped + 140)));
        QCOMPARE(title0->width(), tree->width());
        QCOMPARE(title1->x(), px(clamped + 40 + 20));
        QCOMPARE(list->y(), tree->y());
        QCOMPARE(list->height(), tree->height());
        QCOMPARE(tree->y(), title0->y() + title0->height());
        // The panes reach down to the status bar.
        const QPoint bottom = tree->mapTo(w.data(), QPoint(0, tree->height()));
        QCOMPARE(bottom.y(), w->statusBar()->y());
    }

    void resizeKeepsMinimumSize() {
        QPointer<frmMain> w = loadWindow();
        w->show();
        w->resize(50, 50);
        QVERIFY(w->width() * frmMain::TwipsPerPixel >= 3000);
        QVERIFY(w->height() * frmMain::TwipsPerPixel >= 5000);
        double x = w->splitterLeft();
        QCOMPARE(x, 1500.0); // the split follows a narrower window
    }

    // ------------------------------------------------------------ status bar

    void threePanels() {
        QPointer<frmMain> w = loadWindow();
        w->show();
        QStatusBar* bar = w->statusBar();
        QList<QLabel*> panels;
        for (int i = 1; i <= 3; ++i) {
            auto* l = bar->findChild<QLabel*>(QStringLiteral("sbStatusBar_%1").arg(i));
            QVERIFY(l);
            QVERIFY(l->isVisible());
            panels << l;
        }
        QVERIFY(panels[0]->x() < panels[1]->x());
        QVERIFY(panels[1]->x() < panels[2]->x());
        w->setStatusText(QStringLiteral("Ringing..."));
        QCOMPARE(panels[0]->text(), QStringLiteral("Ringing..."));
        QCOMPARE(w->statusText(), QStringLiteral("Ringing..."));
        QVERIFY(bar->currentMessage().isEmpty());
        const QLocale locale;
        QCOMPARE(panels[1]->text(), locale.toString(QDate::currentDate(), QLocale::ShortFormat));
        const QStringList times = {
            locale.toString(QTime::currentTime().addSecs(-60), QLocale::ShortFormat),
            locale.toString(QTime::currentTime(), QLocale::ShortFormat)};
        QVERIFY2(times.contains(panels[2]->text()), qPrintable(panels[2]->text()));
        auto* clock = w->findChild<QTimer*>(QStringLiteral("clockTimer"));
        QVERIFY(clock && clock->isActive());
        panels[2]->clear();
        QTRY_VERIFY_WITH_TIMEOUT(!panels[2]->text().isEmpty(), 3000);
    }

    // ------------------------------------------------------------ structure

    void menuItems_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("shortcut");
        auto row = [](const char* name, const char* menu, const char* caption,
                      QKeySequence key = QKeySequence()) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(menu)
                                << QString::fromLatin1(caption) << key;
        };
        row("mnuFileSearch", "mnuFile", "11003", QKeySequence(Qt::Key_F3));
        row("mnuFileExit", "mnuFile", "11002");
        row("mnuToolsManualDial", "mnuTools", "11024", QKeySequence(Qt::Key_F6));
        row("mnuToolsAddressBooks", "mnuTools", "11022");
        row("mnuToolsPlugIns", "mnuTools", "11025");
        row("mnuToolsPreferences", "mnuTools", "11023");
        row("mnuHelpHelp", "mnuHelp", "11101", QKeySequence(Qt::Key_F1));
        row("mnuHelpUpdate", "mnuHelp", "11102");
        row("mnuHelpTipOfTheDay", "mnuHelp", "11105", QKeySequence(Qt::Key_F12));
        row("mnuHelpAbout", "mnuHelp", "11103");
        row("mnuContactCtxCallTel", "mnuContactCtxCall", "16032");
        row("mnuContactCtxCallTel2", "mnuContactCtxCall", "16032");
        row("mnuContactCtxCallTel3", "mnuContactCtxCall", "16032");
        row("mnuContactCtxSendEMail", "mnuContactCtx", "11062");
        row("mnuContactCtxEdit", "mnuContactCtx", "11063");
        row("mnuContactCtxRemove", "mnuContactCtx", "11064");
        row("mnuContactCtxOtherInfo", "mnuContactCtx", "11065");
        row("mnuSysTrayLDItems_0", "mnuSysTrayLD", "");
        row("mnuSysTrayLAItems_0", "mnuSysTrayLA", "");
        row("mnuSysTrayLUItems_0", "mnuSysTrayLU", "");
        row("mnuSysTrayManualCall", "SysTrayMenu", "11087");
        row("mnuSysTrayShowHide", "SysTrayMenu", "11081");
        row("mnuSysTrayExit", "SysTrayMenu", "11082");
        row("mnuCtxAddressBookAddContact", "mnuCtxAddressBook", "11121");
        row("mnuCtxAddressBookClear", "mnuCtxAddressBook", "11122");
    }
    void menuItems() {
        QFETCH(QString, name);
        QFETCH(QString, menu);
        QFETCH(QString, caption);
        QFETCH(QKeySequence, shortcut);
        // The design-time captions, before the window is localised.
        frmMain w;
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        auto* m = w.findChild<QMenu*>(menu);
        QVERIFY(m);
        auto* a = w.findChild<QAction*>(name);
        QVERIFY(a);
        QVERIFY(m->actions().contains(a));
        QCOMPARE(a->text(), caption);
        QCOMPARE(a->shortcut(), shortcut);
        // Every command is harmless here; a modal window it opens is closed
        // by its close box.
        QTimer closer;
        closer.setInterval(20);
        connect(&closer, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        closer.start();
        if (!name.endsWith(QLatin1String("Exit")) && name != QLatin1String("mnuSysTrayShowHide"))
            a->trigger();
    }

    void menuOrder() {
        frmMain w;
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        auto names = [](const QList<QAction*>& actions) {
            QStringList out;
            for (QAction* a : actions)
                out << a->objectName();
            return out;
        };
        QCOMPARE(names(w.menuBar()->actions()), (QStringList{"mnuFile", "mnuTools", "mnuHelp"}));
        QCOMPARE(w.findChild<QMenu*>(QStringLiteral("mnuFile"))->title(), QStringLiteral("11001"));
        QCOMPARE(w.findChild<QMenu*>(QStringLiteral("mnuTools"))->title(), QStringLiteral("11021"));
        QCOMPARE(w.findChild<QMenu*>(QStringLiteral("mnuHelp"))->title(), QStringLiteral("&?"));
        QCOMPARE(names(w.findChild<QMenu*>(QStringLiteral("mnuFile"))->actions()),
                 (QStringList{"mnuFileSearch", "Sep4", "mnuFileExit"}));
        QCOMPARE(names(w.findChild<QMenu*>(QStringLiteral("mnuTools"))->actions()),
                 (QStringList{"mnuToolsManualDial", "mnuSep3", "mnuToolsAddressBooks",
                              "mnuToolsPlugIns", "mnuSep10", "mnuToolsPreferences"}));
        QCOMPARE(names(w.findChild<QMenu*>(QStringLiteral("mnuHelp"))->actions()),
                 (QStringList{"mnuHelpHelp", "mnuHelpUpdate", "mnuHelpTipOfTheDay", "mnuSep6",
                              "mnuHelpAbout"}));
        QCOMPARE(names(w.findChild<QMenu*>(QStringLiteral("SysTrayMenu"))->actions()),
                 (QStringList{"mnuSysTrayLU", "mnuSysTrayLA", "mnuSysTrayLD", "mnuSep8",
                              "mnuSysTrayManualCall", "mnuSysTrayShowHide", "mnuSysTrayExit"}));
        const QStringList ctx =
            names(w.findChild<QMenu*>(QStringLiteral("mnuContactCtx"))->actions());
        QCOMPARE(ctx.size(), 7);
        QCOMPARE(ctx[0], QStringLiteral("mnuContactCtxCall"));
        QCOMPARE(ctx[1], QStringLiteral("mnuContactCtxSendEMail"));
        QVERIFY(w.findChild<QMenu*>(QStringLiteral("mnuContactCtx"))->actions()[2]->isSeparator());
        QCOMPARE(ctx.mid(3, 2), (QStringList{"mnuContactCtxEdit", "mnuContactCtxRemove"}));
        QVERIFY(w.findChild<QMenu*>(QStringLiteral("mnuContactCtx"))->actions()[5]->isSeparator());
        QCOMPARE(ctx[6], QStringLiteral("mnuContactCtxOtherInfo"));
        QCOMPARE(w.findChild<QMenu*>(QStringLiteral("mnuContactCtxCall"))->title(),
                 QStringLiteral("11061"));
        QCOMPARE(w.findChild<QMenu*>(QStringLiteral("mnuSysTrayLD"))->title(),
                 QStringLiteral("11084"));
        QCOMPARE(w.findChild<QMenu*>(QStringLiteral("mnuSysTrayLA"))->title(),
                 QStringLiteral("11085"));
        QCOMPARE(w.findChild<QMenu*>(QStringLiteral("mnuSysTrayLU"))->title(),
                 QStringLiteral("11086"));
        for (const char* popup : {"mnuContactCtx", "SysTrayMenu", "mnuCtxAddressBook"})
            QVERIFY(!w.menuBar()->actions().contains(
                w.findChild<QMenu*>(QString::fromLatin1(popup))->menuAction()));
    }

    void toolbarAndPanes() {
        frmMain w;
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(w.property("Tag").toString(), QStringLiteral("15005"));
        auto* bar = w.findChild<QToolBar*>(QStringLiteral("tbToolBar"));
        QVERIFY(bar);
        QStringList keys, tips, tags;
        for (QAction* a : bar->actions()) {
            keys << (a->isSeparator() ? QStringLiteral("-") : a->property("Key").toString());
            tips << (a->isSeparator() ? QString() : a->toolTip());
            tags << a->property("Tag").toString();
        }
        QCOMPARE(keys,
                 (QStringList{"abook", "search", "manualcall", "prefs", "hide", "-", "help"}));
        QCOMPARE(tips, (QStringList{"17001", "17002", "17003", "17004", "17005", "", "17006"}));
        QCOMPARE(tags, (QStringList{"17001", "17002", "17003", "17004", "17005", "", "17006"}));

        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("lblTitle_0"))->property("Tag").toString(),
                 QStringLiteral("13015"));
        QCOMPARE(w.findChild<QLabel*>(QStringLiteral("lblTitle_1"))->property("Tag").toString(),
                 QStringLiteral("13016"));
        QVERIFY(w.findChild<QWidget*>(QStringLiteral("picTitles")));
        auto* list = w.findChild<QTreeWidget*>(QStringLiteral("lvContactList"));
        QVERIFY(list);
        QCOMPARE(list->columnCount(), 8);
        QCOMPARE(
            list->property("ColumnTags").toStringList(),
            (QStringList{"13010", "13011", "13014", "13050", "13051", "13052", "13053", "13054"}));
        for (int c = 0; c < 8; ++c)
            QCOMPARE(list->columnWidth(c), 169); // 2540 twips
    }

    void loadLocalisesTheWindow_data() {
        QTest::addColumn<bool>("italian");
        QTest::newRow("English") << false;
        QTest::newRow("Italian") << true;
    }
    void loadLocalisesTheWindow() {
        QFETCH(bool, italian);
        setLanguage(italian ? Language::Italian : Language::English);
        QPointer<frmMain> w = loadWindow();
        auto text = [&](const char* name) {
            QAction* a = w->findChild<QAction*>(QString::fromLatin1(name));
            return a ? a->text() : QStringLiteral("<missing>");
        };
        QCOMPARE(w->windowTitle(), QStringLiteral("Tamrivo"));
        QCOMPARE(text("mnuFile"), QStringLiteral("&File"));
        QCOMPARE(text("mnuHelp"), QStringLiteral("&?"));
        QCOMPARE(text("mnuSysTrayShowHide"),
                 italian ? QStringLiteral("&Mostra") : QStringLiteral("&Show"));
        QCOMPARE(text("Sep4"), QString());
        if (italian)
            return;
        QCOMPARE(text("mnuFileSearch"), QStringLiteral("&Search..."));
        QCOMPARE(text("mnuToolsPlugIns"), QStringLiteral("Plu&gins..."));
        QCOMPARE(text("mnuContactCtxCall"), QStringLiteral("&Call"));
        QCOMPARE(text("mnuContactCtxCallTel2"), QStringLiteral("none"));
        QCOMPARE(text("mnuSysTrayLU"), QStringLiteral("Last &Not Answered"));
        QCOMPARE(text("mnuCtxAddressBookClear"), QStringLiteral("&Clear"));
        QCOMPARE(text("tbToolBar_abook"), QStringLiteral("Address books"));
        QCOMPARE(w->findChild<QAction*>(QStringLiteral("tbToolBar_help"))->toolTip(),
                 QStringLiteral("Help"));
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("lblTitle_1"))->text(),
                 QStringLiteral("Contacts"));
        auto* list = w->findChild<QTreeWidget*>(QStringLiteral("lvContactList"));
        QCOMPARE(list->headerItem()->text(2), QStringLiteral("Email"));
        QCOMPARE(list->headerItem()->text(7), QStringLiteral("Contact ID"));
    }
};

QTEST_MAIN(TstFrmMain)
#include "tst_frmmain.moc"
