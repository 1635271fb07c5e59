// The start-up in-process and the windows of the application frame, driven
// through their named controls: splash, Preferences, Tip of the day, About.

#include "app/appversion.h"
#include "app/errorreport.h"
#include "app/frmabout.h"
#include "app/frmpreferences.h"
#include "app/frmsplash.h"
#include "app/frmtipoftheday.h"
#include "app/startup.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "common/widgettest.h"
#include "mainwindow/frmmain.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "platform/soundplayer.h"
#include "platform/filechooser.h"
#include "platform/systeminfo.h"
#include "platform/telephony/providers.h"
#include "platform/trayicon.h"
#include "telephony/tapisetup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

template <typename T> T* c(QWidget* w, const char* n) { return child<T>(w, n); }

// The frames shown ("1"/"0" per tab), the current tab and the window's size.
QString tabState(frmPreferences* d) {
    QString out;
    for (int i = 0; i < 3; ++i)
        out += child<QWidget>(d, u"TabFrm_%1"_s.arg(i))->isVisibleTo(d) ? u'1' : u'0';
    return out + u'/' + QString::number(d->currentTab());
}
QString clickTab(frmPreferences* d, int index) {
    auto* tabs = c<QTabBar>(d, "TabStrip1");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    return tabState(d);
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
QString shownTip(QWidget* w) { return c<QLabel>(w, "lblTipText")->text(); }
QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

} // namespace

class TstWindows : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;

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

    // ---- start-up

    // The splash is on screen and exposed during its pause (the event loop
    // runs), then goes; the main window and the tips come up.
    void freshStart() {
        bool exposedDuringPause = false;
        QTimer::singleShot(300, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == u"frmSplash" && w->isVisible())
                    exposedDuringPause = w->windowHandle() && w->windowHandle()->isExposed();
        });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Main({u"tamrivo"_s}), StartResult::Running);
        QVERIFY(clock.elapsed() >= 1000);
        QVERIFY(exposedDuringPause);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(w->objectName() != u"frmSplash");
        QVERIFY(gMainForm && gMainForm->isVisible() && recentBooksExist());
        QCOMPARE(gCallerIDMaxLengthDiff, 2);
        QVERIFY(frmTipOfTheDay::current() && frmTipOfTheDay::current()->isVisible());
        QVERIFY(!QFile::exists(env->settingsPath())); // starting writes nothing
        QCOMPARE(gMainForm->findChild<QAction*>(u"mnuSysTrayShowHide"_s)->text(), u"&Hide"_s);
    }

    void tipsAndBadValuesAtStartup_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("result"); // StartResult
        QTest::addColumn<QString>("said"); // start of the one message, "" none
        QTest::addColumn<bool>("tips");
        QTest::newRow("tips 1e0") << "showTipsAtStartup" << "1e0" << 0 << "" << true;
        QTest::newRow("tips 1.5") << "showTipsAtStartup" << "1.5" << 0 << "" << false;
        QTest::newRow("tips word: shown, the window stays")
            << "showTipsAtStartup" << "often" << 0 << "13 " << false;
        QTest::newRow("minimised: no tips") << "startMinimized" << "1" << 0 << "" << false;
        QTest::newRow("bad preference ends it") << "useTAPI" << "maybe" << 2 << "13 " << false;
    }
    void tipsAndBadValuesAtStartup() {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(int, result);
        QFETCH(QString, said);
        QFETCH(bool, tips);
        SettingsStore::instance().write(u"prefs"_s, key, stored);
        TrayIcon::setSimulatedAvailability(true);
        const int started = int(Main({u"tamrivo"_s}));
        TrayIcon::setSimulatedAvailability(std::nullopt);
        QCOMPARE(started, result);
        QCOMPARE(frmTipOfTheDay::current() != nullptr, tips);
        QCOMPARE(Prompter::records().size(), said.isEmpty() ? 0 : 1);
        if (!said.isEmpty())
            QVERIFY(Prompter::records().first().text.startsWith(said));
        QCOMPARE(gMainForm != nullptr, result == 0);
        if (key == u"startMinimized") {
            QVERIFY(!gMainForm->isVisible());
            QCOMPARE(gMainForm->findChild<QAction*>(u"mnuSysTrayShowHide"_s)->text(), u"&Show"_s);
        }
    }

    // Italian reaches the toolkit's own buttons and dialogs too.
    void toolkitTranslations() {
        setLanguage(Language::Italian);
        QVERIFY(installToolkitTranslations());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"Annulla"_s);
        setLanguage(Language::English);
        QVERIFY(!installToolkitTranslations());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"Cancel"_s);
        char a0[] = "tamrivo", a1[] = "EXTERR", a2[] = "-style", a3[] = "Fusion";
        char* argv[] = {a0, a1, a2, a3};
        QCOMPARE(commandLine(4, argv), (QStringList{a0, a1, a2, a3}));
    }

    // ---- Preferences

    void preferencesLoadAndOk_data() {
        QTest::addColumn<int>("onClose");
        QTest::addColumn<int>("multipleCall");
        QTest::addColumn<bool>("flags");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("checked"); // radios ticked, by name
        QTest::addColumn<int>("slider");
        QTest::newRow("ask, alert, all on") << 2 << 1 << true << 7 << "rbOnCloseAsk rbMCAlert" << 7;
        QTest::newRow("hide, ignore, all off") << 1 << 0 << false << 0 << "rbOnCloseHide rbMCIgnore" << 1;
        QTest::newRow("unknown values select nothing") << 5 << 7 << true << 40 << "" << 15;
    }
    void preferencesLoadAndOk() {
        QFETCH(int, onClose);
        QFETCH(int, multipleCall);
        QFETCH(bool, flags);
        QFETCH(int, interval);
        QFETCH(QString, checked);
        QFETCH(int, slider);
        Preferences p("Simulated Line", false, std::int16_t(onClose), std::int16_t(multipleCall),
                      flags, flags, flags, "/sounds/ring it.wav", std::int16_t(interval), flags,
                      flags, true, "0", "00", "+39", flags);
        frmPreferences* d = loadPreferences(p);
        QStringList ticked;
        for (const char* n : {"rbOnCloseClose", "rbOnCloseHide", "rbOnCloseAsk", "rbMCIgnore", "rbMCAlert"})
            if (c<QRadioButton>(d, n)->isChecked())
                ticked << QString::fromLatin1(n);
        QCOMPARE(ticked.join(u' '), checked);
        QCOMPARE(c<QLineEdit>(d, "defaultPrefix2")->isEnabled(), flags);
        QCOMPARE(c<QLabel>(d, "lblRingTimerInterval")->text(), u"%1 Secs"_s.arg(slider));
        QVERIFY(!gTAPI && !c<QComboBox>(d, "cbTAPIDevice")->isEnabled());
        QCOMPARE(tabState(d), u"100/1"_s);
        // OK at once gives the record back, but for what the controls cannot hold.
        Preferences expected = p;
        expected.TAPIDevice.clear();
        expected.clearDRABOnExit = false;
        expected.onClose = checked.isEmpty() ? 0 : p.onClose;
        expected.multipleCall = checked.isEmpty() ? 0 : p.multipleCall;
        expected.ringTimerInterval = std::int16_t(slider);
        QCOMPARE(fields(*d->getValues()), fields(expected));
    }

    // Every control to its field; one size for every tab, every label whole.
    void preferencesEveryControl_data() {
        QTest::addColumn<bool>("italian");
        QTest::newRow("English") << false;
        QTest::newRow("Italian") << true;
    }
    void preferencesEveryControl() {
        QFETCH(bool, italian);
        setLanguage(italian ? Language::Italian : Language::English);
        frmPreferences* d = loadPreferences(Preferences());
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        const QSize size = d->size();
        c<QCheckBox>(d, "cbStartMinimized")->click();
        c<QRadioButton>(d, "rbOnCloseHide")->click();
        c<QCheckBox>(d, "cbUseLastDialAB")->click();
        QTest::keyClicks(c<QLineEdit>(d, "defaultPrefix1"), u"9"_s);
        QTest::keyClicks(c<QLineEdit>(d, "defaultPrefix2"), u"0|1"_s); // no "|"
        QCOMPARE(clickTab(d, 1), u"010/2"_s);
        c<QCheckBox>(d, "cbAutoClose")->click();
        QCOMPARE(clickTab(d, 2), u"001/3"_s);
        QCOMPARE(clickTab(d, 2), u"001/3"_s);
        for (const char* n : {"cbShowRingWindow", "cbPlaySound", "cbShowTooltip"})
            c<QCheckBox>(d, n)->click();
        FileChooser::pushAnswer(u"/x/bell.wav"_s);
        click(d, "cmdChoseDefaultSound");
        QCOMPARE(FileChooser::requests().first().filter, loadResString(16021));
        click(d, "cmdTestSound");
        QCOMPARE(SoundPlayer::played(), QStringList{u"/x/bell.wav"_s});
        c<QSlider>(d, "slRingTimerInterval")->setFocus();
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(c<QSlider>(d, "slRingTimerInterval"), Qt::Key_PageUp);
        const Preferences expected("", false, 1, 0, true, true, true, "/x/bell.wav", 5, true, true,
                                   false, "9", "01", "", true);
        QCOMPARE(fields(*d->getValues()), fields(expected));
        QCOMPARE(d->size(), size);
        for (int i = 0; i < 3; ++i) {
            clickTab(d, i);
            settle();
            QCOMPARE(d->size(), size);
            auto* frame = child<QWidget>(d, u"TabFrm_%1"_s.arg(i));
            QVERIFY(frame->width() >= frame->minimumSizeHint().width());
            QVERIFY(frame->height() >= frame->minimumSizeHint().height());
        }
        d->hide(); // opened again on another tab
        clickTab(d, 1);
        d->show();
        settle();
        QCOMPARE(d->size(), size);
        QVERIFY(!QFile::exists(env->settingsPath())); // the dialog stores nothing
    }

    void preferencesDevices_data() {
        QTest::addColumn<QStringList>("extra"); // "name" or "name:media"
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<int>("selected");
        QTest::newRow("exact name only") << QStringList{} << "simulated line" << "Simulated Line" << -1;
        QTest::newRow("same name twice: the later")
            << QStringList{"Twin", "Twin"} << "Twin" << "Simulated Line|Twin|Twin" << 2;
        QTest::newRow("no audio, not listed") << QStringList{"Fax:16", "ISDN"} << "Fax" << "Simulated Line|ISDN" << -1;
    }
    void preferencesDevices() {
        QFETCH(QStringList, extra);
        QFETCH(QString, device);
        QFETCH(QString, listed);
        QFETCH(int, selected);
        SimLine::instance().reset();
        TelephonyRegistry::restoreDefaults();
        for (const QString& a : extra)
            SimLine::instance().addAddress(a.section(u':', 0, 0),
                                           a.contains(u':') ? a.section(u':', 1).toLong() : TAPIMEDIATYPE_AUDIO);
        Preferences p;
        p.useTapi = true;
        p.TAPIDevice = device;
        frmPreferences* d = loadPreferences(p); // the load's tick of "Use TAPI" starts telephony
        QVERIFY(gTAPI);
        auto* list = c<QComboBox>(d, "cbTAPIDevice");
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        QCOMPARE(items.join(u'|'), listed);
        QCOMPARE(list->currentIndex(), selected);
        QCOMPARE(d->getValues()->TAPIDevice, selected < 0 ? QString() : items[selected]);
        // Unticked: telephony stops at once; Cancel leaves it stopped.
        d->show();
        clickTab(d, 1);
        c<QCheckBox>(d, "cbUseTAPI")->click();
        QVERIFY(!gTAPI && !gAddress && !list->isEnabled());
        QCOMPARE(list->count(), items.size());
        click(d, "cmdCancel");
        QCOMPARE(d->closeMode(), u"Cancel"_s);
        QVERIFY(!gTAPI && gPreferences->useTapi);
        d->show();
        c<QCheckBox>(d, "cbUseTAPI")->click();
        QVERIFY(gTAPI && list->isEnabled());
    }

    // OK and Cancel hide the dialog and keep its edits (and its size); the
    // close box unloads it.
    void preferencesLifecycle() {
        gPreferences = std::make_shared<Preferences>();
        QPointer<frmPreferences> first;
        QSize size;
        whenModal([&](QWidget* m) {
            first = qobject_cast<frmPreferences*>(m);
            size = m->size();
            c<QLineEdit>(m, "txtDefaultSound")->setText(u"/edited.wav"_s);
            clickTab(first, 2);
            click(m, "cmdOK");
        });
        frmPreferences::showModal(nullptr);
        QCOMPARE(first->closeMode(), u"OK"_s);
        gPreferences->defaultSound = u"/changed meanwhile.wav"_s;
        QString seen;
        whenModal([&](QWidget* m) {
            seen = c<QLineEdit>(m, "txtDefaultSound")->text();
            QCOMPARE(m->size(), size);
            QTest::keyClick(m, Qt::Key_Escape);
        });
        frmPreferences::showModal(nullptr);
        QCOMPARE(seen, u"/edited.wav"_s);
        QCOMPARE(first->closeMode(), u"Cancel"_s);
        whenModal([&](QWidget* m) { m->close(); });
        frmPreferences::showModal(nullptr);
        settle();
        QVERIFY(first.isNull());
        QCOMPARE(c<QLineEdit>(frmPreferences::instance(nullptr), "txtDefaultSound")->text(),
                 u"/changed meanwhile.wav"_s);
    }

    // ---- Tip of the day

    // Start = draw x count + 1, rounded half to even; the tip after it shows.
    void firstTipFromTheDraw_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("draw");
        QTest::addColumn<int>("first");
        QTest::newRow("10 tips, 0") << 10 << 0.0 << 2;
        QTest::newRow("10 tips, 0.875: last drawn, first shown") << 10 << 0.875 << 1;
        QTest::newRow("4 tips, 2.5 to 2 (even)") << 4 << 0.375 << 3;
        QTest::newRow("4 tips, 3.5 to 4 (even)") << 4 << 0.625 << 1;
        QTest::newRow("4 tips, 3.25 to 3") << 4 << 0.5625 << 4;
        QTest::newRow("none") << 0 << 0.0 << 0;
    }
    void firstTipFromTheDraw() {
        QFETCH(int, count);
        QFETCH(double, draw);
        QFETCH(int, first);
        frmTipOfTheDay w;
        frmTipOfTheDay::setRandomDraws({draw});
        QCOMPARE(w.LoadTips(count ? 1 : 11, count ? count : 20), count > 0);
        QCOMPARE(shownTip(&w), first ? tip(first) : QString());
    }

    // Next goes round every tip, each shown whole, in either language.
    void everyTipWhole_data() { preferencesEveryControl_data(); }
    void everyTipWhole() {
        QFETCH(bool, italian);
        setLanguage(italian ? Language::Italian : Language::English);
        frmTipOfTheDay::setRandomDraws({0.0});
        frmTipOfTheDay* w = frmTipOfTheDay::showWindow(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto* label = c<QLabel>(w, "lblTipText");
        for (int i : {2, 3, 4, 5, 6, 7, 8, 9, 10, 1, 2}) {
            QCOMPARE(label->text(), tip(i));
            QVERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(tip(i)));
            click(w, "cmdNextTip");
        }
    }

    void tipCheckBoxWritesAtOnce_data() {
        QTest::addColumn<QString>("stored"); // null: absent
        QTest::addColumn<bool>("ticked");
        QTest::newRow("absent") << QString() << true;
        QTest::newRow("1.0") << u"1.0"_s << true;
        QTest::newRow("2") << u"2"_s << false;
    }
    void tipCheckBoxWritesAtOnce() {
        QFETCH(QString, stored);
        QFETCH(bool, ticked);
        SettingsStore& s = SettingsStore::instance();
        s.write(u"prefs"_s, u"onClose"_s, u"2"_s);
        if (!stored.isNull())
            s.write(u"prefs"_s, u"showTipsAtStartup"_s, stored);
        QPointer<frmTipOfTheDay> w = frmTipOfTheDay::showWindow(nullptr);
        auto* box = c<QCheckBox>(w, "chkLoadTipsAtStartup");
        QCOMPARE(box->isChecked(), ticked);
        box->click();
        s.reload();
        QCOMPARE(s.read(u"prefs"_s, u"showTipsAtStartup"_s, {}) + s.read(u"prefs"_s, u"onClose"_s, {}),
                 ticked ? u"02"_s : u"12"_s);
        click(w, "cmdOK");
        settle();
        QVERIFY(w.isNull() && !frmTipOfTheDay::current());
    }

    // ---- About

    // System Info starts the first tool found; none, or one that cannot
    // start, is told to the user (and logged when the log is on).
    void systemInfo_data() {
        QTest::addColumn<QStringList>("onPath");
        QTest::addColumn<QByteArray>("body"); // "": not executable
        QTest::addColumn<QString>("started");
        QTest::addColumn<QString>("logged");
        const QStringList known = SystemInfo::programs();
        const QByteArray script = "#!/bin/sh\necho $0 > \"$STARTED\"\n";
        QTest::newRow("the earlier of two") << QStringList{known[3], known[1]} << script << known[1] << "";
        QTest::newRow("not a program") << QStringList{known[0]} << QByteArray() << "" << " dontknow 0 \"";
        QTest::newRow("cannot start") << QStringList{known[0]} << QByteArray("\x7f" "ELF x") << ""
                                      << " dontknow 53 File not found";
    }
    void systemInfo() {
        QFETCH(QStringList, onPath);
        QFETCH(QByteArray, body);
        QFETCH(QString, started);
        QFETCH(QString, logged);
        const QByteArray savedPath = qgetenv("PATH");
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
        QVERIFY(AppVersion::productLine().startsWith(u"Tamrivo version 1.0\r\n"_s));
        QCOMPARE(c<QLabel>(&about, "lblProduct")->text(), AppVersion::productLine());
        QCOMPARE(c<QLabel>(&about, "lblDisclaimer")->text(), loadResString(16054));
        click(&about, "cmdSysInfo");
        qputenv("PATH", savedPath);
        if (!started.isEmpty())
            QTRY_COMPARE(QFileInfo(readText(env->file(u"started"_s))).fileName(), started);
        QCOMPARE(Prompter::records().size(), started.isEmpty() ? 1 : 0);
        QVERIFY(readText(errorLogPath()).contains(logged));
        QCOMPARE(readText(errorLogPath()).isEmpty(), logged.isEmpty());
    }
};

QTEST_MAIN(TstWindows)
#include "tst_windows.moc"
