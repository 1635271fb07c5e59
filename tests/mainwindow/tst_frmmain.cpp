// The main window's rectangle in section "Settings" and its close policy.
#include "common/testenv.h"
#include "common/widgettest.h"
#include "mainwindow/frmmain.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "platform/trayicon.h"

#include <QPointer>

namespace {

const QString kSection = QStringLiteral("Settings");
const QStringList kRectKeys = {"MainLeft", "MainTop", "MainWidth", "MainHeight"};

void setPrefs(int onClose) {
    gPreferences = std::make_shared<Preferences>();
    gPreferences->onClose = static_cast<std::int16_t>(onClose);
}

QString stored(const QString& key, const QString& section = kSection) {
    return SettingsStore::instance().value(section, key).value_or(QStringLiteral("<absent>"));
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

} // namespace

class TstFrmMain : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestEnv> env;

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        env = std::make_unique<TestEnv>();
        TrayIcon::setSimulatedAvailability(std::nullopt);
        setPrefs(0);
    }

    void cleanup() {
        delete gMainForm;
        settle();
        TrayIcon::setSimulatedAvailability(std::nullopt);
        env.reset();
    }

    void savesItsRectangle_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("saved");
        QTest::newRow("moved") << "moved" << QStringList{"1800", "1200", "9600", "7200"};
        QTest::newRow("minimised keeps the stored one")
            << "minimised" << QStringList{"1500", "3000", "4500", "6000"};
        QTest::newRow("hidden to the tray") << "hidden" << QStringList{"450", "600"};
    }
    void savesItsRectangle() {
        QFETCH(QString, state);
        QFETCH(QStringList, saved);
        for (int i = 0; i < 4; ++i)
            SettingsStore::instance().write(kSection, kRectKeys[i],
                                            QString::number(1500 * (i + 1)));
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
        child(w, "mnuFileExit")->trigger();
        settle();
        QVERIFY(w.isNull());
        QCOMPARE(storedRect().mid(0, saved.size()), saved);
        // Other keys survive the save.
        QCOMPARE(stored(QStringLiteral("Other")), QStringLiteral("x"));
        QCOMPARE(stored(QStringLiteral("onClose"), QStringLiteral("prefs")), QStringLiteral("2"));
    }

    void closePolicy_data() {
        QTest::addColumn<int>("onClose");
        QTest::addColumn<QString>("how"); // box, exit, trayexit, system, taskmanager
        QTest::addColumn<bool>("tray");
        QTest::addColumn<int>("answer");      // 0: no question expected
        QTest::addColumn<QString>("outcome"); // closed, hidden, minimised, visible
        QTest::newRow("0 closes") << 0 << "box" << true << 0 << "closed";
        QTest::newRow("1 hides") << 1 << "box" << true << 0 << "hidden";
        QTest::newRow("2 yes without tray minimises")
            << 2 << "box" << false << int(Msg::Yes) << "minimised";
        QTest::newRow("2 no closes") << 2 << "box" << true << int(Msg::No) << "closed";
        QTest::newRow("2 cancel stays") << 2 << "box" << true << int(Msg::Cancel) << "visible";
        QTest::newRow("2 tray exit closes") << 2 << "trayexit" << true << 0 << "closed";
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
};

QTEST_MAIN(TstFrmMain)
#include "tst_frmmain.moc"
