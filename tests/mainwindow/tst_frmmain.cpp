#include "app/globals.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "common/widgettest.h"
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
const QStringList kRectKeys = {"MainLeft", "MainTop", "MainWidth", "MainHeight"};

void setPrefs(int onClose, int ringSeconds = 5) {
    gPreferences = std::make_shared<Preferences>();
    gPreferences->onClose = static_cast<std::int16_t>(onClose);
    gPreferences->ringTimerInterval = static_cast<std::int16_t>(ringSeconds);
}

QString stored(const QString& key, const QString& section = kSection) {
    return SettingsStore::instance().value(section, key).value_or(QStringLiteral("<absent>"));
}

void storeRect(const QStringList& v) {
    for (qsizetype i = 0; i < v.size(); ++i)
        SettingsStore::instance().write(kSection, kRectKeys[i], v[i]);
}

QStringList storedRect() {
    QStringList out;
    for (const QString& k : kRectKeys)
        out << stored(k);
    return out;
}

frmMain* loadWindow() {
    auto* w = new frmMain;
    gMainForm = w;
    w->Form_Load();
    return w;
}

void exitProgram(frmMain* w) {
    child(w, "mnuFileExit")->trigger();
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

QStringList names(const QList<QAction*>& actions) {
    QStringList out;
    for (QAction* a : actions)
        out << a->objectName();
    return out;
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
        QTest::newRow("negative edge")
            << QStringList{"-1500", "0", "7500", "9000"} << QRect(-100, 0, 500, 600);
        QTest::newRow("not numbers fall back per key")
            << QStringList{"abc", "3000", "", "9000"} << QRect(67, 200, 433, 600);
        QTest::newRow("beyond 32 bits falls back")
            << QStringList{"1e12", "3000", "7500", "-1e15"} << QRect(67, 200, 500, 433);
        QTest::newRow("below minimum size")
            << QStringList{"1500", "3000", "1500", "1500"} << QRect(100, 200, 200, 334);
        // Cut to the offscreen desktop (800 x 800).
        QTest::newRow("larger than the desktop")
            << QStringList{"1500", "3000", "1e9", "1e9"} << QRect(100, 200, 800, 800);
    }
    void restoresStoredRectangle() {
        QFETCH(QStringList, values);
        QFETCH(QRect, expected);
        storeRect(values);
        QPointer<frmMain> w = loadWindow();
        QCOMPARE(QRect(w->pos(), w->size()), expected);
        QVERIFY(w->trayIcon()->isShown()); // the load went on to its last steps
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
        storeRect(start);
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
            if (run == 0)
                first = storedRect();
            QCOMPARE(storedRect(), first);
            for (const QString& v : first)
                QCOMPARE(v.toInt() % frmMain::TwipsPerPixel, 0);
        }
    }

    void savesItsRectangle_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("saved");
        QTest::newRow("moved") << "moved" << QStringList{"1800", "1200", "9600", "7200"};
        QTest::newRow("minimised keeps the stored one")
            << "minimised" << QStringList{"1500", "3000", "7500", "9000"};
        QTest::newRow("hidden to the tray") << "hidden" << QStringList{"450", "600"};
    }
    void savesItsRectangle() {
        QFETCH(QString, state);
        QFETCH(QStringList, saved);
        storeRect({"1500", "3000", "7500", "9000"});
        SettingsStore::instance().write(kSection, QStringLiteral("Other"), QStringLiteral("x"));
        SettingsStore::instance().write(QStringLiteral("prefs"), QStringLiteral("onClose"),
                                        QStringLiteral("2"));
        const bool hidden = state == QLatin1String("hidden");
        TrayIcon::setSimulatedAvailability(hidden ? std::optional<bool>(true) : std::nullopt);
        setPrefs(hidden ? 1 : 0);
        QPointer<frmMain> w = loadWindow();
        if (state == QLatin1String("moved")) {
            w->move(120, 80);
            w->resize(640, 480);
        } else if (state == QLatin1String("minimised")) {
            w->move(300, 300);
            w->showMinimized();
            QVERIFY(w->isMinimized());
        } else {
            w->show();
            w->move(30, 40);
            w->close();
            QVERIFY(w && w->isHidden());
        }
        exitProgram(w);
        QVERIFY(w.isNull());
        QCOMPARE(storedRect().mid(0, saved.size()), saved);
        // Other keys survive the save.
        QCOMPARE(stored(QStringLiteral("Other")), QStringLiteral("x"));
        QCOMPARE(stored(QStringLiteral("onClose"), QStringLiteral("prefs")), QStringLiteral("2"));
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
        QTest::newRow("1 exit closes") << 1 << "exit" << true << 0 << "closed";
        QTest::newRow("2 tray exit closes") << 2 << "trayexit" << true << 0 << "closed";
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
        QPointer<QWidget> other = new QWidget;
        other->setAttribute(Qt::WA_DeleteOnClose);
        other->show();
        if (answer != 0)
            Prompter::pushAnswer(answer);

        if (how == QLatin1String("box"))
            w->close();
        else if (how == QLatin1String("exit"))
            child(w, "mnuFileExit")->trigger();
        else if (how == QLatin1String("trayexit"))
            child(w, "mnuSysTrayExit")->trigger();
        else
            w->systemClose(how == QLatin1String("system") ? frmMain::vbAppWindows
                                                          : frmMain::vbAppTaskManager);
        settle();

        QCOMPARE(Prompter::records().size(), answer != 0 ? 1 : 0);
        if (answer != 0) {
            const Prompter::Record& r = Prompter::records().first();
            QCOMPARE(r.text, QStringLiteral("Do you want to hide windows insted of close ?"));
            QCOMPARE(r.title, QStringLiteral("Hide or Close Window"));
            QCOMPARE(r.flags, Msg::YesNoCancel | Msg::Question);
        }
        const bool closed = outcome == QLatin1String("closed");
        QCOMPARE(w.isNull(), closed);
        QCOMPARE(other.isNull(), closed);
        QCOMPARE(stored(QStringLiteral("MainWidth")) != QLatin1String("<absent>"), closed);
        if (closed) {
            QVERIFY(!gMainForm);
            return;
        }
        delete other;
        QVERIFY(w->trayIcon()->isShown());
        QCOMPARE(w->isHidden(), outcome == QLatin1String("hidden"));
        QCOMPARE(w->isMinimized(), outcome == QLatin1String("minimised"));
        if (outcome == QLatin1String("hidden"))
            QCOMPARE(child(w, "mnuSysTrayShowHide")->text(), QStringLiteral("&Show"));
    }

    // The toolbar's Hide, and the tray's Show/Hide toggling its caption.
    void hideCommand_data() {
        QTest::addColumn<bool>("tray");
        QTest::newRow("tray") << true;
        QTest::newRow("no tray: minimises") << false;
    }
    void hideCommand() {
        QFETCH(bool, tray);
        TrayIcon::setSimulatedAvailability(tray);
        QPointer<frmMain> w = loadWindow();
        w->show();
        QAction* showHide = child(w, "mnuSysTrayShowHide");
        child(w, "tbToolBar_hide")->trigger();
        if (!tray) {
            QVERIFY(w->isVisible());
            QVERIFY(w->isMinimized());
            return;
        }
        for (const bool visible : {false, true, false}) {
            QCOMPARE(w->isVisible(), visible);
            QCOMPARE(showHide->text(), visible ? QStringLiteral("&Hide") : QStringLiteral("&Show"));
            showHide->trigger();
        }
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
        QVERIFY(w->trayIcon()->isShown());
        QCOMPARE(w->trayIcon()->toolTip(), QStringLiteral("Tamrivo"));
        QCOMPARE(w->plugInServer() != nullptr, plugins);
        QVERIFY(!w->currentNode());
        // Without a telephony object the call state stays as it was.
        QCOMPARE(gCallDirection, CallDirection::Incoming);
        QCOMPARE(child<QTreeWidget>(w, "tvAddressBookTree")->topLevelItemCount(), 1);
    }

    void trayMouseButtons() {
        TrayIcon::setSimulatedAvailability(true);
        QPointer<frmMain> w = loadWindow();
        w->show();
        auto* menu = child<QMenu>(w, "SysTrayMenu");
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
        auto* bar = child<QWidget>(w, "imgSplitter");
        auto* moving = child<QWidget>(w, "picSplitter");
        auto* tree = child<QWidget>(w, "tvAddressBookTree");
        QVERIFY(!moving->isVisible());
        const int treeWidth = tree->width();

        splitterMouse(bar, QEvent::MouseButtonPress, 1);
        QVERIFY(w->movingSplitter());
        QVERIFY(moving->isVisible());
        splitterMouse(bar, QEvent::MouseMove,
                      static_cast<int>((dragTo - w->splitterLeft()) / frmMain::TwipsPerPixel));
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
        auto* tree = child<QWidget>(w, "tvAddressBookTree");
        auto* list = child<QWidget>(w, "lvContactList");
        auto* title0 = child<QWidget>(w, "lblTitle_0");
        auto px = [](double tw) { return qRound(tw / frmMain::TwipsPerPixel); };
        QCOMPARE(QRect(tree->x(), tree->y(), tree->width(), tree->height()),
                 QRect(0, title0->y() + title0->height(), px(clamped), list->height()));
        QCOMPARE(list->geometry(),
                 QRect(px(clamped + 40), tree->y(), px(9000 - (clamped + 140)), tree->height()));
        QCOMPARE(title0->width(), tree->width());
        QCOMPARE(child<QWidget>(w, "lblTitle_1")->x(), px(clamped + 40 + 20));
        // The panes reach down to the status bar.
        QCOMPARE(tree->mapTo(w.data(), QPoint(0, tree->height())).y(), w->statusBar()->y());
    }

    void resizeKeepsMinimumSize() {
        QPointer<frmMain> w = loadWindow();
        w->show();
        w->resize(50, 50);
        QVERIFY(w->width() * frmMain::TwipsPerPixel >= 3000);
        QVERIFY(w->height() * frmMain::TwipsPerPixel >= 5000);
        QCOMPARE(w->splitterLeft(), 1500.0); // the split follows a narrower window
    }

    // ------------------------------------------------------------ status bar

    void threePanels() {
        QPointer<frmMain> w = loadWindow();
        w->show();
        QStatusBar* bar = w->statusBar();
        QList<QLabel*> panels;
        for (const char* name : {"sbStatusBar_1", "sbStatusBar_2", "sbStatusBar_3"}) {
            panels << child<QLabel>(bar, name);
            QVERIFY(panels.last()->isVisible());
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
        panels[2]->clear(); // the clock fills it again
        QTRY_VERIFY_WITH_TIMEOUT(!panels[2]->text().isEmpty(), 3000);
    }

    // ------------------------------------------------------------ structure

    // Menus, toolbar and list as built; every command is harmless on a bare
    // window (a modal window it opens is closed by its close box).
    void menusAndToolbar() {
        frmMain w;
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(names(w.menuBar()->actions()), (QStringList{"mnuFile", "mnuTools", "mnuHelp"}));
        const QList<std::pair<const char*, QStringList>> menus = {
            {"mnuFile", {"mnuFileSearch", "Sep4", "mnuFileExit"}},
            {"mnuTools",
             {"mnuToolsManualDial", "mnuSep3", "mnuToolsAddressBooks", "mnuToolsPlugIns",
              "mnuSep10", "mnuToolsPreferences"}},
            {"mnuHelp",
             {"mnuHelpHelp", "mnuHelpUpdate", "mnuHelpTipOfTheDay", "mnuSep6", "mnuHelpAbout"}},
            {"SysTrayMenu",
             {"mnuSysTrayLU", "mnuSysTrayLA", "mnuSysTrayLD", "mnuSep8", "mnuSysTrayManualCall",
              "mnuSysTrayShowHide", "mnuSysTrayExit"}},
            {"mnuSysTrayLD", {"mnuSysTrayLDItems_0"}},
            {"mnuSysTrayLA", {"mnuSysTrayLAItems_0"}},
            {"mnuSysTrayLU", {"mnuSysTrayLUItems_0"}},
            {"mnuContactCtx",
             {"mnuContactCtxCall", "mnuContactCtxSendEMail", "mnuContactCtxSep1",
              "mnuContactCtxEdit", "mnuContactCtxRemove", "mnuContactCtxSep2",
              "mnuContactCtxOtherInfo"}},
            {"mnuContactCtxCall",
             {"mnuContactCtxCallTel", "mnuContactCtxCallTel2", "mnuContactCtxCallTel3"}},
            {"mnuCtxAddressBook", {"mnuCtxAddressBookAddContact", "mnuCtxAddressBookClear"}},
        };
        for (const auto& [menu, items] : menus)
            QCOMPARE(names(child<QMenu>(&w, menu)->actions()), items);
        const QList<std::pair<const char*, Qt::Key>> keys = {{"mnuFileSearch", Qt::Key_F3},
                                                             {"mnuToolsManualDial", Qt::Key_F6},
                                                             {"mnuHelpHelp", Qt::Key_F1},
                                                             {"mnuHelpTipOfTheDay", Qt::Key_F12}};
        for (const auto& [item, key] : keys)
            QCOMPARE(child(&w, item)->shortcut(), QKeySequence(key));

        QStringList toolKeys;
        for (QAction* a : child<QToolBar>(&w, "tbToolBar")->actions())
            toolKeys << (a->isSeparator() ? QStringLiteral("-") : a->property("Key").toString());
        QCOMPARE(toolKeys,
                 (QStringList{"abook", "search", "manualcall", "prefs", "hide", "-", "help"}));
        auto* list = child<QTreeWidget>(&w, "lvContactList");
        QCOMPARE(list->columnCount(), 8);
        for (int c = 0; c < 8; ++c)
            QCOMPARE(list->columnWidth(c), 169); // 2540 twips

        ModalCloser closer;
        for (const auto& [menu, items] : menus)
            for (const QString& item : items) {
                QAction* a = child(&w, qPrintable(item));
                if (!a->isSeparator() && !a->menu() && !item.endsWith(QLatin1String("Exit")) &&
                    item != QLatin1String("mnuSysTrayShowHide"))
                    a->trigger();
            }
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
        auto text = [&](const char* name) { return child(w, name)->text(); };
        QCOMPARE(w->windowTitle(), QStringLiteral("Tamrivo"));
        QCOMPARE(text("mnuFile"), QStringLiteral("&File"));
        QCOMPARE(text("mnuHelp"), QStringLiteral("&?"));
        QCOMPARE(text("mnuSysTrayShowHide"),
                 italian ? QStringLiteral("&Mostra") : QStringLiteral("&Show"));
        QCOMPARE(text("Sep4"), QString());
        if (italian)
            return;
        const QList<std::pair<const char*, const char*>> english = {
            {"mnuFileSearch", "&Search..."},        {"mnuToolsPlugIns", "Plu&gins..."},
            {"mnuContactCtxCall", "&Call"},         {"mnuContactCtxCallTel2", "none"},
            {"mnuSysTrayLU", "Last &Not Answered"}, {"mnuCtxAddressBookClear", "&Clear"},
            {"tbToolBar_abook", "Address books"}};
        for (const auto& [name, caption] : english)
            QCOMPARE(text(name), QLatin1String(caption));
        QCOMPARE(child(w, "tbToolBar_help")->toolTip(), QStringLiteral("Help"));
        QCOMPARE(child<QLabel>(w, "lblTitle_1")->text(), QStringLiteral("Contacts"));
        auto* list = child<QTreeWidget>(w, "lvContactList");
        QCOMPARE(list->headerItem()->text(2), QStringLiteral("Email"));
        QCOMPARE(list->headerItem()->text(7), QStringLiteral("Contact ID"));
    }
};

QTEST_MAIN(TstFrmMain)
#include "tst_frmmain.moc"
