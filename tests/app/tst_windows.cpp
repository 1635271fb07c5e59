// The start-up in-process and the windows of the application frame, driven
// through their named controls: splash, Preferences, Tip of the day, About.

#include "app/errorreport.h"
#include "app/frmabout.h"
#include "app/frmpreferences.h"
#include "app/frmtipoftheday.h"
#include "app/startup.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "common/widgettest.h"
#include "mainwindow/frmmain.h"
#include "platform/filechooser.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "platform/soundplayer.h"
#include "platform/systeminfo.h"
#include "platform/trayicon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

template <typename T> T* c(QWidget* w, const char* n) { return child<T>(w, n); }

// The frames shown ("1"/"0" per tab) and the current tab, as "010/2".
QString clickTab(frmPreferences* d, int index) {
    auto* tabs = c<QTabBar>(d, "TabStrip1");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    QString out;
    for (int i = 0; i < 3; ++i)
        out += child<QWidget>(d, u"TabFrm_%1"_s.arg(i))->isVisibleTo(d) ? u'1' : u'0';
    return out + u'/' + QString::number(d->currentTab());
}
frmPreferences* loadPreferences(const Preferences& p) {
    gPreferences = std::make_shared<Preferences>(p);
    return frmPreferences::instance(nullptr);
}
QString tip(int n) {
    QString out;
    tryLoadResString(20000 + n, Language::English, out);
    return out;
}
QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

} // namespace

class TstWindows : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;
    void restart() { cleanup(), init(); }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        env = std::make_unique<TestEnv>();
        SoundPlayer::setRecording(true);
        SoundPlayer::clearPlayed();
    }
    void cleanup() {
        delete frmPreferences::current();
        delete frmTipOfTheDay::current();
        delete gMainForm;
        releaseInstanceLock();
        stopTelephony();
        frmTipOfTheDay::setRandomDraws({});
        setLanguage(Language::English);
        installToolkitTranslations();
        env.reset();
    }

    // The splash is on screen and exposed during its pause (the event loop
    // runs), then goes; the main window and the tips come up.
    void freshStart() {
        // Still exposed well into the pause: the event loop runs while it waits.
        bool exposedDuringPause = false;
        QElapsedTimer shown;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == u"frmSplash" && w->isVisible() && w->windowHandle()) {
                    if (!shown.isValid())
                        shown.start();
                    exposedDuringPause |= w->windowHandle()->isExposed() && shown.elapsed() > 500 &&
                                          !child<QLabel>(w, "lblProduct")->text().isEmpty();
                }
        });
        look.start(20);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Main({u"tamrivo"_s}), StartResult::Running);
        QVERIFY(clock.elapsed() >= 1000 && exposedDuringPause);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(w->objectName() != u"frmSplash");
        QVERIFY(gMainForm && gMainForm->isVisible() && recentBooksExist());
        QVERIFY(frmTipOfTheDay::current() && frmTipOfTheDay::current()->isVisible());
        QVERIFY(!QFile::exists(env->settingsPath())); // starting writes nothing
    }

    // Stored preference, start result, start of the one message, tips shown.
    void startupPreferences() {
        const std::tuple<const char*, const char*, StartResult, const char*, bool> rows[] = {
            {"showTipsAtStartup", "1e0", StartResult::Running, "", true},
            {"showTipsAtStartup", "often", StartResult::Running, "13 ", false}, // window stays
            {"useTAPI", "maybe", StartResult::Failed, "13 ", false},
            {"startMinimized", "1", StartResult::Running, "", false}};
        for (const auto& [key, stored, result, said, tips] : rows) {
            restart();
            SettingsStore::instance().write(u"prefs"_s, QString::fromLatin1(key), QString::fromLatin1(stored));
            TrayIcon::setSimulatedAvailability(true);
            const StartResult r = Main({u"tamrivo"_s});
            TrayIcon::setSimulatedAvailability(std::nullopt);
            QVERIFY2(r == result && (frmTipOfTheDay::current() != nullptr) == tips, stored);
            QCOMPARE(Prompter::records().value(0).text.left(3), QString::fromLatin1(said));
            QCOMPARE(gMainForm != nullptr, r == StartResult::Running);
        }
        QVERIFY(!gMainForm->isVisible()); // minimised into the tray
        QCOMPARE(gMainForm->findChild<QAction*>(u"mnuSysTrayShowHide"_s)->text(), u"&Show"_s);
    }

    // Italian reaches the toolkit's own buttons and dialogs too; the
    // command line is taken before the toolkit removes its options.
    void toolkitTranslationsAndCommandLine() {
        setLanguage(Language::Italian);
        QVERIFY(installToolkitTranslations());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"Annulla"_s);
        setLanguage(Language::English);
        QVERIFY(!installToolkitTranslations());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"Cancel"_s);
        char a0[] = "tamrivo", a1[] = "EXTERR", a2[] = "-style";
        char* argv[] = {a0, a1, a2};
        QCOMPARE(commandLine(3, argv), (QStringList{a0, a1, a2}));
    }

    // Stored values, radios ticked, slider; OK at once gives the record back
    // but for what the controls cannot hold.
    void preferencesLoadAndOk() {
        const std::tuple<int, int, bool, int, const char*, int> rows[] = {
            {2, 1, true, 7, "rbOnCloseAsk rbMCAlert", 7},
            {1, 0, false, 0, "rbOnCloseHide rbMCIgnore", 1},
            {5, 7, true, 40, "", 15}}; // unknown values select nothing
        for (const auto& [onClose, multipleCall, flags, interval, checked, slider] : rows) {
            restart();
            const Preferences p{u"Line"_s, false, std::int16_t(onClose), std::int16_t(multipleCall),
                                flags, flags, flags, "/ring.wav", std::int16_t(interval), flags,
                                flags, true, "0", "00", "+39", flags};
            frmPreferences* d = loadPreferences(p);
            QStringList ticked;
            for (const char* n : {"rbOnCloseClose", "rbOnCloseHide", "rbOnCloseAsk", "rbMCIgnore", "rbMCAlert"})
                if (c<QRadioButton>(d, n)->isChecked())
                    ticked << QString::fromLatin1(n);
            QCOMPARE(ticked.join(u' '), QString::fromLatin1(checked));
            QCOMPARE(c<QLineEdit>(d, "defaultPrefix2")->isEnabled(), flags);
            QCOMPARE(c<QLabel>(d, "lblRingTimerInterval")->text(), u"%1 Secs"_s.arg(slider));
            QVERIFY(!gTAPI && !c<QComboBox>(d, "cbTAPIDevice")->isEnabled() && d->currentTab() == 1);
            Preferences expected = p;
            expected.TAPIDevice.clear();
            expected.clearDRABOnExit = false;
            expected.onClose = *checked ? p.onClose : 0;
            expected.multipleCall = *checked ? p.multipleCall : 0;
            expected.ringTimerInterval = std::int16_t(slider);
            QCOMPARE(fields(*d->getValues()), fields(expected));
        }
    }

    // One size for every tab and every opening, every frame whole; the
    // sound buttons (the rest of the controls: the Preferences command's test).
    void preferencesSizeAndSound_data() {
        QTest::addColumn<bool>("italian");
        QTest::newRow("English") << false;
        QTest::newRow("Italian") << true;
    }
    void preferencesSizeAndSound() {
        QFETCH(bool, italian);
        setLanguage(italian ? Language::Italian : Language::English);
        frmPreferences* d = loadPreferences(Preferences());
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        const QSize size = d->size();
        for (int i : {1, 2, 0, 2, 1}) {
            if (i == 1 && d->currentTab() == 3)
                d->hide(); // opened again on another tab
            clickTab(d, i);
            d->show();
            settle();
            QCOMPARE(d->size(), size);
            auto* frame = child<QWidget>(d, u"TabFrm_%1"_s.arg(i));
            QVERIFY(frame->width() >= frame->minimumSizeHint().width() &&
                    frame->height() >= frame->minimumSizeHint().height());
        }
        QCOMPARE(clickTab(d, 2), u"001/3"_s);
        FileChooser::pushAnswer(u"/x/bell.wav"_s);
        click(d, "cmdChoseDefaultSound");
        QCOMPARE(FileChooser::requests().first().filter, loadResString(16021));
        click(d, "cmdTestSound");
        QCOMPARE(SoundPlayer::played(), QStringList{u"/x/bell.wav"_s});
        QCOMPARE(d->getValues()->defaultSound, u"/x/bell.wav"_s);
    }

    // OK and Cancel hide the dialog, which keeps its edits for the next opening.
    void preferencesKeepEdits() {
        gPreferences = std::make_shared<Preferences>();
        QString seen;
        for (const char* button : {"cmdOK", "cmdCancel", "cmdCancel"}) {
            whenModal([&](QWidget* m) {
                auto* sound = c<QLineEdit>(m, "txtDefaultSound");
                seen += sound->text() + u'|';
                sound->setText(QString::fromLatin1(button));
                click(m, button);
            });
            frmPreferences::showModal(nullptr);
            gPreferences->defaultSound = u"/changed meanwhile.wav"_s;
        }
        QCOMPARE(seen, u"|cmdOK|cmdCancel|"_s);
        QCOMPARE(frmPreferences::current()->closeMode(), u"Cancel"_s);
    }

    // Next goes round every tip, each shown whole, in either language; the
    // box shows the stored choice (none: ticked).
    void everyTipWhole_data() { preferencesSizeAndSound_data(); }
    void everyTipWhole() {
        QFETCH(bool, italian);
        setLanguage(italian ? Language::Italian : Language::English);
        frmTipOfTheDay::setRandomDraws({0.0});
        frmTipOfTheDay* w = frmTipOfTheDay::showWindow(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto* label = c<QLabel>(w, "lblTipText");
        QVERIFY(c<QCheckBox>(w, "chkLoadTipsAtStartup")->isChecked());
        for (int i : {2, 3, 4, 5, 6, 7, 8, 9, 10, 1, 2}) {
            QCOMPARE(label->text(), tip(i));
            QVERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(tip(i)));
            click(w, "cmdNextTip");
        }
        // The start-up box writes only its key, at once; OK unloads the window.
        SettingsStore::instance().write(u"prefs"_s, u"onClose"_s, u"2"_s);
        c<QAbstractButton>(w, "chkLoadTipsAtStartup")->click();
        SettingsStore::instance().reload();
        QCOMPARE(SettingsStore::instance().keys(u"prefs"_s).join(u' ') +
                     SettingsStore::instance().read(u"prefs"_s, u"showTipsAtStartup"_s, {}),
                 u"onClose showTipsAtStartup0"_s);
        click(w, "cmdOK");
        settle();
        QVERIFY(!frmTipOfTheDay::current());
    }

    // System Info starts the first tool found; none, or one that cannot
    // start, is told to the user (and logged, the log being on).
    void systemInfo() {
        const QStringList known = SystemInfo::programs();
        const std::tuple<QStringList, QByteArray, QString, const char*> rows[] = {
            {{known[3], known[1]}, "#!/bin/sh\necho $0 > \"$STARTED\"\n", known[1], ""},
            {{known[0]}, "", "", " dontknow 0 \""}, // not executable
            {{known[0]}, "\x7f" "ELF x", "", " dontknow 53 File not found"}};
        const QByteArray savedPath = qgetenv("PATH");
        for (const auto& [onPath, body, started, logged] : rows) {
            restart();
            const QString dir = env->file(u"bin"_s);
            QDir().mkpath(dir);
            for (const QString& n : onPath) {
                QFile f(dir + u'/' + n);
                QVERIFY(f.open(QIODevice::WriteOnly) && f.write(body) >= 0);
                if (!body.isEmpty())
                    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
            }
            qputenv("PATH", dir.toLocal8Bit());
            qputenv("STARTED", env->file(u"started"_s).toLocal8Bit());
            gExtendedErrors = true;
            frmAbout about;
            about.Form_Load();
            click(&about, "cmdSysInfo");
            qputenv("PATH", savedPath);
            if (!started.isEmpty())
                QTRY_COMPARE(QFileInfo(readText(env->file(u"started"_s))).fileName(), started);
            QCOMPARE(Prompter::records().size(), started.isEmpty() ? 1 : 0);
            QVERIFY(readText(errorLogPath()).contains(QLatin1String(logged)));
            QCOMPARE(readText(errorLogPath()).isEmpty(), !*logged);
        }
    }
};

QTEST_MAIN(TstWindows)
#include "tst_windows.moc"
