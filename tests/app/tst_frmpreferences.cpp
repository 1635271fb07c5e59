// The Preferences dialog driven through its named controls.

#include "app/frmpreferences.h"
#include "app/globals.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "common/widgettest.h"
#include "platform/filechooser.h"
#include "platform/prompter.h"
#include "platform/soundplayer.h"
#include "platform/telephony/providers.h"
#include "platform/telephony/simline.h"
#include "telephony/tapisetup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

const auto box = [](QWidget* w, const char* n) { return child<QCheckBox>(w, n); };
const auto radio = [](QWidget* w, const char* n) { return child<QRadioButton>(w, n); };
const auto edit = [](QWidget* w, const char* n) { return child<QLineEdit>(w, n); };
const auto button = [](QWidget* w, const char* n) { return child<QPushButton>(w, n); };
const auto devices = [](QWidget* w) { return child<QComboBox>(w, "cbTAPIDevice"); };
QStringList items(QComboBox* c) {
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

// The frames shown ("1" / "0" per tab) and the current tab, as "010/2".
QString tabState(frmPreferences* d) {
    QString out;
    for (int i = 0; i < 3; ++i)
        out += child<QWidget>(d, QStringLiteral("TabFrm_%1").arg(i))->isVisibleTo(d) ? u'1' : u'0';
    return out + u'/' + QString::number(d->currentTab());
}

QString clickTab(frmPreferences* d, int index) {
    auto* tabs = child<QTabBar>(d, "TabStrip1");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    return tabState(d);
}

Preferences sample() {
    return Preferences{"Simulated Line", false, 2, 1, true, true, true, "/sounds/ring it.wav", 7,
                       true, true, true, "0", "00", "+39", true};
}

} // namespace

class TstFrmPreferences : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestEnv> env;

    frmPreferences* load(const Preferences& p) {
        gPreferences = std::make_shared<Preferences>(p);
        return frmPreferences::instance(nullptr);
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        env = std::make_unique<TestEnv>();
        setLanguage(Language::English);
        SimLine::instance().reset();
        TelephonyRegistry::restoreDefaults();
        SoundPlayer::setRecording(true);
        SoundPlayer::clearPlayed();
    }

    void cleanup() {
        delete frmPreferences::current();
        stopTelephony();
        setLanguage(Language::English);
        env.reset();
    }

    // ------------------------------------------------------------ load

    void loadShowsThePreferences_data() {
        QTest::addColumn<int>("onClose");
        QTest::addColumn<QString>("onCloseButton");
        QTest::addColumn<int>("multipleCall");
        QTest::addColumn<QString>("mcButton");
        QTest::addColumn<bool>("flags");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("slider");
        QTest::newRow("ask, alert, all on")
            << 2 << "rbOnCloseAsk" << 1 << "rbMCAlert" << true << 7 << 7;
        QTest::newRow("close, ignore, all off")
            << 0 << "rbOnCloseClose" << 0 << "rbMCIgnore" << false << 1 << 1;
        QTest::newRow("hide") << 1 << "rbOnCloseHide" << 0 << "rbMCIgnore" << true << 15 << 15;
        QTest::newRow("unknown values select nothing") << 5 << "" << 7 << "" << false << 3 << 3;
        QTest::newRow("interval below the slider")
            << 0 << "rbOnCloseClose" << 0 << "rbMCIgnore" << true << 0 << 1;
        QTest::newRow("interval above the slider")
            << 0 << "rbOnCloseClose" << 0 << "rbMCIgnore" << true << 40 << 15;
    }
    void loadShowsThePreferences() {
        QFETCH(int, onClose);
        QFETCH(QString, onCloseButton);
        QFETCH(int, multipleCall);
        QFETCH(QString, mcButton);
        QFETCH(bool, flags);
        QFETCH(int, interval);
        QFETCH(int, slider);
        Preferences p = sample();
        p.onClose = static_cast<std::int16_t>(onClose);
        p.multipleCall = static_cast<std::int16_t>(multipleCall);
        p.incomingShowWindow = p.incomingPlaySound = p.incomingShowTooltip = flags;
        p.autoCloseOnDisconnect = p.useLastDRAddressBooks = p.startMinimized = flags;
        p.ringTimerInterval = static_cast<std::int16_t>(interval);
        frmPreferences* d = load(p);

        for (const char* name : {"rbOnCloseClose", "rbOnCloseHide", "rbOnCloseAsk"})
            QCOMPARE(radio(d, name)->isChecked(), onCloseButton == QLatin1String(name));
        for (const char* name : {"rbMCIgnore", "rbMCAlert"})
            QCOMPARE(radio(d, name)->isChecked(), mcButton == QLatin1String(name));
        // The rest shows through what OK gives back, below.
        for (const char* name : {"defaultPrefix1", "defaultPrefix2", "defaultPrefix3"})
            QCOMPARE(edit(d, name)->isEnabled(), flags);
        QCOMPARE(child<QSlider>(d, "slRingTimerInterval")->value(), slider);
        QCOMPARE(child<QLabel>(d, "lblRingTimerInterval")->text(),
                 QStringLiteral("%1 Secs").arg(slider));
        // Telephony off: the box unticked, the device controls disabled, nothing started.
        QVERIFY(!box(d, "cbUseTAPI")->isChecked());
        QVERIFY(!devices(d)->isEnabled());
        QVERIFY(!child<QGroupBox>(d, "fMultipleCall")->isEnabled());
        QVERIFY(!gTAPI);
        QCOMPARE(devices(d)->count(), 0);
        // First tab in front; loaded hidden; the verdict not yet given.
        QCOMPARE(tabState(d), QStringLiteral("100/1"));
        QVERIFY(!d->isVisible());
        QVERIFY(d->closeMode() != QLatin1String("OK"));

        // OK straight away gives the same record back, but for what the
        // controls cannot hold.
        Preferences expected = p;
        expected.TAPIDevice.clear(); // no device listed
        expected.clearDRABOnExit = false;
        if (onCloseButton.isEmpty())
            expected.onClose = 0;
        if (mcButton.isEmpty())
            expected.multipleCall = 0;
        expected.ringTimerInterval = static_cast<std::int16_t>(slider);
        QCOMPARE(fields(*d->getValues()), fields(expected));
        QVERIFY(Prompter::records().isEmpty());
    }

    void everyControlToItsField() {
        frmPreferences* d = load(Preferences());
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));

        // General
        box(d, "cbStartMinimized")->click();
        radio(d, "rbOnCloseHide")->click();
        QVERIFY(!edit(d, "defaultPrefix1")->isEnabled());
        box(d, "cbUseLastDialAB")->click();
        QVERIFY(edit(d, "defaultPrefix1")->isEnabled());
        QTest::keyClicks(edit(d, "defaultPrefix1"), QStringLiteral("9"));
        QTest::keyClicks(edit(d, "defaultPrefix2"), QStringLiteral("0|1")); // no "|"
        QTest::keyClicks(edit(d, "defaultPrefix3"), QStringLiteral("+41 "));
        QCOMPARE(clickTab(d, 1), QStringLiteral("010/2")); // TAPI
        box(d, "cbAutoClose")->click();
        QCOMPARE(clickTab(d, 2), QStringLiteral("001/3")); // Incoming call
        QCOMPARE(clickTab(d, 2), QStringLiteral("001/3"));
        box(d, "cbShowRingWindow")->click();
        box(d, "cbPlaySound")->click();
        box(d, "cbShowTooltip")->click();
        QTest::keyClicks(edit(d, "txtDefaultSound"), QStringLiteral("/x/bell.wav"));
        auto* sl = child<QSlider>(d, "slRingTimerInterval");
        sl->setFocus();
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(sl, Qt::Key_PageUp);
        QCOMPARE(child<QLabel>(d, "lblRingTimerInterval")->text(), QStringLiteral("5 Secs"));

        const Preferences expected{"", false, 1, 0, true, true, true, "/x/bell.wav", 5, true, true,
                                   false, "9", "01", "+41 ", true};
        QCOMPARE(fields(*d->getValues()), fields(expected));

        // Back again: unticked boxes give False, the last radio chosen wins.
        QCOMPARE(clickTab(d, 0), QStringLiteral("100/1"));
        box(d, "cbStartMinimized")->click();
        box(d, "cbUseLastDialAB")->click();
        QVERIFY(!edit(d, "defaultPrefix3")->isEnabled());
        radio(d, "rbOnCloseAsk")->click();
        QCOMPARE(clickTab(d, 1), QStringLiteral("010/2"));
        QVERIFY(!radio(d, "rbMCAlert")->isEnabled()); // telephony off
        const auto values = d->getValues();
        QVERIFY(!values->startMinimized);
        QVERIFY(!values->useLastDRAddressBooks);
        QCOMPARE(values->defaultPrefixesForDRAB3, QStringLiteral("+41 ")); // kept though disabled
        QCOMPARE(values->onClose, std::int16_t(2));
        // The dialog stored nothing and changed no global.
        QVERIFY(!QFile::exists(env->settingsPath()));
        QCOMPARE(fields(*gPreferences), fields(Preferences()));
    }

    void texts_data() {
        QTest::addColumn<bool>("italian");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("English") << false
                                 << QStringList{"Preferences", "&General",  "Incoming call",
                                                "Cancel",      "On Close ", "4 Secs"};
        QTest::newRow("Italian") << true
                                 << QStringList{"Opzioni", "&Generale", "Chiamata in arrivo",
                                                "Annulla", "On Close ", "4 Sec"};
    }
    void texts() {
        QFETCH(bool, italian);
        QFETCH(QStringList, expected);
        setLanguage(italian ? Language::Italian : Language::English);
        Preferences p;
        p.ringTimerInterval = 4;
        frmPreferences* d = load(p);
        auto* tabs = child<QTabBar>(d, "TabStrip1");
        const QStringList seen = {
            d->windowTitle(),
            tabs->tabText(0),
            tabs->tabText(2),
            button(d, "cmdCancel")->text(),
            child<QGroupBox>(d, "Frame3")->title(),
            child<QLabel>(d, "lblRingTimerInterval")->text(),
        };
        QCOMPARE(seen, expected);
        QVERIFY(button(d, "cmdOK")->isDefault());
        QVERIFY(box(d, "cbAutoClose")->text().isEmpty());
    }

    // ------------------------------------------------------------ devices

    void deviceList_data() {
        QTest::addColumn<QStringList>("extra"); // "name" or "name:media"
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<int>("selected");
        QTest::newRow("the simulated line")
            << QStringList{} << "Simulated Line" << QStringList{"Simulated Line"} << 0;
        QTest::newRow("exact name only")
            << QStringList{} << "simulated line" << QStringList{"Simulated Line"} << -1;
        QTest::newRow("same name twice: the later")
            << QStringList{"Twin", "Twin"} << "Twin"
            << QStringList{"Simulated Line", "Twin", "Twin"} << 2;
        QTest::newRow("no audio, not listed though named")
            << QStringList{"Fax:16", "ISDN"} << "Fax" << QStringList{"Simulated Line", "ISDN"}
            << -1;
        QTest::newRow("no device chosen")
            << QStringList{"ISDN"} << "" << QStringList{"Simulated Line", "ISDN"} << -1;
    }
    void deviceList() {
        QFETCH(QStringList, extra);
        QFETCH(QString, device);
        QFETCH(QStringList, listed);
        QFETCH(int, selected);
        for (const QString& a : extra) {
            const QStringList parts = a.split(u':');
            SimLine::instance().addAddress(parts[0], parts.size() > 1 ? parts[1].toLong()
                                                                      : TAPIMEDIATYPE_AUDIO);
        }
        Preferences p;
        p.useTapi = true;
        p.TAPIDevice = device;
        // The load's tick of "Use TAPI" starts telephony.
        QVERIFY(!gTAPI);
        frmPreferences* d = load(p);
        QVERIFY(gTAPI);
        QVERIFY(box(d, "cbUseTAPI")->isChecked());
        QVERIFY(devices(d)->isEnabled());
        QVERIFY(child<QGroupBox>(d, "fMultipleCall")->isEnabled());
        QCOMPARE(items(devices(d)), listed);
        QCOMPARE(devices(d)->currentIndex(), selected);
        QCOMPARE(d->getValues()->TAPIDevice, selected < 0 ? QString() : listed[selected]);
        QVERIFY(d->getValues()->useTapi);
        // Choosing another entry is what OK gives.
        devices(d)->setCurrentIndex(0);
        QCOMPARE(d->getValues()->TAPIDevice, QStringLiteral("Simulated Line"));
    }

    void deviceThatCannotBeAskedIsLeftOut() {
        SimLine::instance().addAddress(QStringLiteral("ISDN"));
        Preferences p;
        p.useTapi = true;
        p.TAPIDevice = QStringLiteral("ISDN");
        frmPreferences* d = load(p);
        SimLine::instance().failOnce(SimLine::Op::QueryMediaType);
        d->fillTAPIDevices();
        QCOMPARE(items(devices(d)), QStringList{QStringLiteral("ISDN")});
        QCOMPARE(devices(d)->currentIndex(), 0);
        SimLine::instance().failOnce(SimLine::Op::GetAddresses);
        d->fillTAPIDevices();
        QCOMPARE(devices(d)->count(), 0);
        QVERIFY(Prompter::records().isEmpty());
    }

    void useTapiActsAtOnce() {
        gPreferences = std::make_shared<Preferences>();
        gPreferences->useTapi = true;
        gPreferences->TAPIDevice = QStringLiteral("Simulated Line");
        setupTAPI();
        const auto before = gPreferences;
        const auto tapi = gTAPI;
        const auto address = gAddress;
        QVERIFY(tapi && address);
        // Telephony already running is kept by the load.
        frmPreferences* d = frmPreferences::instance(nullptr);
        QCOMPARE(gTAPI, tapi);
        QCOMPARE(gAddress, address);
        QCOMPARE(devices(d)->currentText(), QStringLiteral("Simulated Line"));
        d->show();
        clickTab(d, 1);

        // Unticked: telephony stops at once, the list keeps its entries.
        box(d, "cbUseTAPI")->click();
        QVERIFY(!gTAPI);
        QVERIFY(!gAddress); // nothing left to dial through
        QVERIFY(!SimLine::instance().isListening());
        QVERIFY(!devices(d)->isEnabled());
        QVERIFY(!child<QGroupBox>(d, "fMultipleCall")->isEnabled());
        QCOMPARE(items(devices(d)), QStringList{QStringLiteral("Simulated Line")});
        QCOMPARE(devices(d)->currentIndex(), 0);

        // Cancel leaves it stopped and changes nothing else.
        button(d, "cmdCancel")->click();
        QCOMPARE(d->closeMode(), QStringLiteral("Cancel"));
        QVERIFY(!gTAPI);
        QCOMPARE(gPreferences, before);
        QVERIFY(gPreferences->useTapi);
        QVERIFY(!QFile::exists(env->settingsPath()));

        // Ticked again: a new telephony object and the list filled anew.
        d->show();
        SimLine::instance().addAddress(QStringLiteral("ISDN"));
        box(d, "cbUseTAPI")->click();
        QVERIFY(gTAPI);
        QVERIFY(devices(d)->isEnabled());
        QCOMPARE(items(devices(d)), (QStringList{"Simulated Line", "ISDN"}));
        QCOMPARE(devices(d)->currentIndex(), 0);
    }

    void telephonyThatFailsLeavesTheListEmpty() {
        SimLine::instance().failOnce(SimLine::Op::Create);
        Preferences p;
        p.useTapi = true;
        p.TAPIDevice = QStringLiteral("Simulated Line");
        frmPreferences* d = load(p);
        QVERIFY(!gTAPI);
        QVERIFY(box(d, "cbUseTAPI")->isChecked());
        QCOMPARE(devices(d)->count(), 0);
        QCOMPARE(d->getValues()->TAPIDevice, QString());
        QVERIFY(Prompter::records().isEmpty());
    }

    // ------------------------------------------------------------ sounds

    void chooseDefaultSound_data() {
        QTest::addColumn<bool>("italian");
        QTest::addColumn<bool>("choose");
        QTest::newRow("chosen") << false << true;
        QTest::newRow("cancelled") << false << false;
        QTest::newRow("chosen, Italian") << true << true;
    }
    void chooseDefaultSound() {
        QFETCH(bool, italian);
        QFETCH(bool, choose);
        setLanguage(italian ? Language::Italian : Language::English);
        Preferences p;
        p.defaultSound = QStringLiteral("/old/ring.wav");
        frmPreferences* d = load(p);
        const QString chosen = env->file(QStringLiteral("new ring.wav"));
        FileChooser::pushAnswer(choose ? chosen : QString()); // empty: Cancel
        button(d, "cmdChoseDefaultSound")->click();
        QCOMPARE(edit(d, "txtDefaultSound")->text(),
                 choose ? chosen : QStringLiteral("/old/ring.wav"));
        QCOMPARE(FileChooser::requests().size(), 1);
        const auto& r = FileChooser::requests().first();
        QCOMPARE(r.mode, FileChooser::Mode::Open);
        QCOMPARE(r.filterIndex, 1);
        QCOMPARE(r.title, italian ? QStringLiteral("File wav") : QStringLiteral("Wav files"));
        QCOMPARE(r.filter, italian ? QStringLiteral("File wav (*.wav)|*.wav")
                                   : QStringLiteral("Wav files (*.wav)|*.wav"));
        // Cancel is not an error.
        QVERIFY(Prompter::records().isEmpty());
        QVERIFY(!QFile::exists(env->file(QStringLiteral("data/Tamrivo.Err"))));
    }

    void testSound_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("played");
        QTest::newRow("empty: nothing") << "" << QStringList{};
        QTest::newRow("a file") << "/sounds/ring.wav" << QStringList{"/sounds/ring.wav"};
        QTest::newRow("missing file: still asked, plays nothing")
            << "/no/such.wav" << QStringList{"/no/such.wav"};
    }
    void testSound() {
        QFETCH(QString, text);
        QFETCH(QStringList, played);
        Preferences p;
        p.defaultSound = text;
        frmPreferences* d = load(p);
        button(d, "cmdTestSound")->click();
        QCOMPARE(SoundPlayer::played(), played);
    }

    // ------------------------------------------------------------ lifecycle

    // OK and Cancel hide the dialog and keep its edits; the close box unloads it.
    void lifecycle() {
        gPreferences = std::make_shared<Preferences>(sample());
        QPointer<frmPreferences> first;
        whenModal([&](QWidget* m) {
            first = qobject_cast<frmPreferences*>(m);
            QVERIFY(first);
            edit(m, "txtDefaultSound")->setText(QStringLiteral("/edited.wav"));
            button(m, "cmdOK")->click();
        });
        frmPreferences::showModal(nullptr);
        QVERIFY(first);
        QCOMPARE(frmPreferences::current(), first.data());
        QVERIFY(first->isHidden());
        QCOMPARE(first->closeMode(), QStringLiteral("OK"));

        // Opened again: the edits are there, not the stored preferences.
        gPreferences->defaultSound = QStringLiteral("/changed meanwhile.wav");
        QString seen;
        whenModal([&](QWidget* m) {
            seen = edit(m, "txtDefaultSound")->text();
            edit(m, "txtDefaultSound")->setText(QStringLiteral("/cancelled.wav"));
            button(m, "cmdCancel")->click();
        });
        frmPreferences::showModal(nullptr);
        QCOMPARE(seen, QStringLiteral("/edited.wav"));
        QCOMPARE(frmPreferences::current(), first.data());
        QCOMPARE(first->closeMode(), QStringLiteral("Cancel"));

        // Reopened after Cancel: the cancelled edit shows; Escape is Cancel.
        whenModal([&](QWidget* m) {
            seen = edit(m, "txtDefaultSound")->text();
            QTest::keyClick(m, Qt::Key_Escape);
        });
        frmPreferences::showModal(nullptr);
        QCOMPARE(seen, QStringLiteral("/cancelled.wav"));
        settle();
        QCOMPARE(frmPreferences::current(), first.data());
        QCOMPARE(first->closeMode(), QStringLiteral("Cancel"));

        // The close box unloads it; asked again, it loads afresh without an OK.
        whenModal([&](QWidget* m) {
            edit(m, "txtDefaultSound")->setText(QStringLiteral("/closed.wav"));
            m->close();
        });
        frmPreferences::showModal(nullptr);
        settle();
        QVERIFY(first.isNull());
        QVERIFY(!frmPreferences::current());
        frmPreferences* again = frmPreferences::instance(nullptr);
        QVERIFY(again->isHidden());
        QVERIFY(again->closeMode() != QLatin1String("OK"));
        QCOMPARE(edit(again, "txtDefaultSound")->text(), QStringLiteral("/changed meanwhile.wav"));
        // The dialog wrote nothing.
        QVERIFY(!QFile::exists(env->settingsPath()));
    }
};

QTEST_MAIN(TstFrmPreferences)
#include "tst_frmpreferences.moc"
