#pragma once

// The telephony tests' set-up: the simulated line, the three recent-call books,
// a subscribed main window; the line and the call windows driven step by step.

#include "addressbooks/booktestutil.h"
#include "common/testenv.h"
#include "common/widgettest.h"
#include "mainwindow/frmcontactotherinfo.h"
#include "mainwindow/frmmain.h"
#include "platform/prompter.h"
#include "platform/soundplayer.h"
#include "platform/telephony/providers.h"
#include "telephony/callhandler.h"
#include "telephony/frmtelephonecall.h"
#include "telephony/frmtelephonering.h"
#include "telephony/tapisetup.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTimer>
#include <map>
#include <utility>

inline void pump() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

inline QString labelOf(QWidget* w, const char* name) {
    return child<QLabel>(w, name)->text();
}

// Every message box so far as "text/title/flags".
inline QStringList promptLog() {
    QStringList out;
    for (const auto& r : Prompter::records())
        out.append(r.text + u'/' + r.title + u'/' + QString::number(r.flags));
    return out;
}

class CallFixture {
public:
    CallFixture() {
        SimLine::instance().reset();
        TelephonyRegistry::restoreDefaults();
        SoundPlayer::setRecording(true);
        SoundPlayer::clearPlayed();
        gPreferences = std::make_shared<Preferences>();
        Preferences& p = *gPreferences;
        p.useTapi = p.useLastDRAddressBooks = true;
        std::tie(p.TAPIDevice, p.multipleCall, p.defaultPrefixesForDRAB1, p.defaultPrefixesForDRAB2,
                 p.defaultPrefixesForDRAB3) = std::tuple("Simulated Line", 1, "0", "00", "+39");
        for (const char* n : {"Last Dialed", "Last Received", "Last Not Answered"}) {
            gRecentBooks.append(std::make_shared<TmpAddressBook>());
            gRecentBooks.last()->addressBookName = QLatin1String(n);
        }
    }
    ~CallFixture() {
        Prompter::setHook({});
        delete m_form;
        stopTelephony();
        gCall.reset();
    }

    // Telephony on, main window subscribed; from here each box is kept with the state it came in.
    void start() {
        createForm();
        setupTAPI();
        handler()->TAPIEventsInit();
        pump();
        Prompter::reset();
        Prompter::setHook([this](const Prompter::Record& r) {
            // Error reports by the state they are told in.
            boxes.append((r.text.startsWith(u"3151") ? QString()
                                                     : r.text.left(40) + u'/' + r.title + u'/' +
                                                           QString::number(r.flags) + u' ') +
                         "@ " + snapshot());
            for (const QString& t : std::exchange(inBox, {}))
                step(t); // while the box is up
        });
    }
    void createForm() { gMainForm = m_form = new frmMain; }
    frmMain* form() const { return m_form; }
    QString file(const QString& name) const { return m_env.file(name); }
    CallHandler* handler() const { return m_form->callHandler(); }

    // One step (the far end's, the user's, a setting), then its events handled but after "!".
    void step(QString s) {
        SimLine& line = SimLine::instance();
        const bool wait = !s.endsWith(u'!');
        s.remove(u'!');
        const QString cmd = s.section(u':', 0, 0), arg = s.section(u':', 1);
        const auto number = s.contains(u':') ? std::optional<QString>(arg) : std::nullopt;
        CallWindow* w = frmTelephoneRing::loadedInstance();
        w = w ? w : frmTelephoneCall::loadedInstance();
        auto out = [] { return frmTelephoneCall::instance(); };
        const std::map<QString, std::function<void()>> steps{
            {"ring", [&] { line.ring(); }},
            {"offer", [&] { line.offer(number); }},
            // A call placed elsewhere on the line.
            {"outgoing", [&] { line.offer(number, CS_INPROGRESS, 0, number); }},
            {"callerid", [&] { line.setCallerNumber(line.currentCall(), arg); }},
            {"calledid", [&] { line.setCalledNumber(line.currentCall(), arg); }},
            {"line2", [&] { line.addAddress(QStringLiteral("Second Line")); }},
            {"connect", [&] { line.setState(line.currentCall(), CS_CONNECTED); }},
            {"hold", [&] { line.setState(line.currentCall(), CS_HOLD); }},
            {"hangup", [&] { line.hangup(line.currentCall()); }},
            // An event the program does not follow.
            {"media", [&] { handler()->objTAPIEvents_Event(TE_CALLMEDIA, nullptr); }},
            {"answer", [&] { click(frmTelephoneRing::instance(), "cmdAnswer"); }},
            {"disconnect", [&] { click(frmTelephoneRing::instance(), "cmdDisconnect"); }},
            {"dial", [&] { out()->setNumber(arg), out()->showWindow(), click(out(), "cmdDial"); }},
            {"dialnumber", [&] { out()->setNumber(arg), out()->DialNumber(); }},
            {"hangupbutton",
             [&] {
                 Prompter::pushAnswer(arg == "yes" ? Msg::Yes : Msg::No);
                 click(out(), "cmdHangUp");
             }},
            // The steps run while the next message box is up.
            {"inbox", [&] { inBox = arg.split(u','); }},
            {"manual", [&] { child<QAction>(m_form, "mnuToolsManualDial")->trigger(); }},
            {"prefs", // Tools > Preferences: "on"/"off" Use TAPI, a device index, a closing button
             [&] {
                 whenModal("frmPreferences", [&](QWidget* d) {
                     for (const QString& a : arg.split(u','))
                         a.size() == 1
                             ? child<QComboBox>(d, "cbTAPIDevice")->setCurrentIndex(a.toInt())
                         : a[0] == u'o' ? child<QCheckBox>(d, "cbUseTAPI")->setChecked(a == "on")
                                        : click(d, qPrintable(a));
                 });
                 child<QAction>(m_form, "mnuToolsPreferences")->trigger();
             }},
            {"card",
             [&] {
                 frmContactOtherInfo* c = frmContactOtherInfo::instance();
                 c->setBoxes(Contact{"Card", arg, {}, {}, {}, {}, {}, {}}), click(c, "cmdCall");
             }},
            {"untick", [&] { child<QCheckBox>(w, "cbAutoClose")->setChecked(false); }},
            {"closebox", [&] { w->close(); }},
            {"closetimer",
             [&] {
                 const QPointer<CallWindow> closing = w;
                 child<QTimer>(w, "CloseTimer")->setInterval(0);
                 QVERIFY(waitUntil([&] { return !closing; }));
             }},
            {"fail", [&] { line.failOnce(static_cast<SimLine::Op>(ops.indexOf(arg))); }},
            {"autoclose", [&] { gPreferences->autoCloseOnDisconnect = true; }},
            {"quiet", [&] { gPreferences->multipleCall = 0; }},
            {"nolog", [&] { gRecentBooks.clear(); }},
            // Errors told in a box rather than logged.
            {"tell", [&] { gExtendedErrors = false; }},
            {"tag", [&] { gCallRecord.callMatchTag = arg; }},
            {"noaddress", [&] { gAddress.reset(); }},
            // Contacts in a Local book searched for caller ID, call prefix "9", no ring
            // sound (after the same in one not searched, local.wav every 15 s); Dino 0612 in
            // a Database book, prefix "00", db.wav every 3 s. "book:broken": the Local fails.
            {"book",
             [&] {
                 const QString path = m_env.file(QStringLiteral("people.lab"));
                 createLocalAddressBook(path);
                 executeLocalBook(path, QStringLiteral("INSERT INTO TAMRIVO (NAME, TELEPHONE) "
                                                       "VALUES ('Anna Rossi', '5551234'), ('Bruno',"
                                                       " '02223344'), ('Carla', '0039 555 0044')"));
                 auto a = std::make_shared<LocalAddressBook>(),
                      b = std::make_shared<LocalAddressBook>();
                 std::tie(a->filename, a->ringSound, a->ringSoundInterval) =
                     std::tuple(path, "/snd/local.wav", 15);
                 std::tie(b->filename, b->searchForCallerID, b->callPrefix, b->ringSoundInterval) =
                     std::tuple(arg.isEmpty() ? path : QStringLiteral("/none"), true, "9", 9);
                 gLocalBooks = {a, b}, gDBBooks.clear(), noLocalBooks = false;
                 const auto d = booktest::addDatabaseBook(m_env, "crm", {{"Dino", "0612"}});
                 std::tie(d->callPrefix, d->ringSound, d->ringSoundInterval) =
                     std::tuple("00", "/snd/db.wav", 3);
             }},
            {"unbook", [&] { gLocalBooks.removeFirst(); }}, // as the manager deletes Local book 0
            {"subscribe", [&] { handler()->TAPIEventsInit(); }},
            {"shutdown", [&] { handler()->shutdown(); }},
        };
        const auto it = steps.find(cmd);
        QVERIFY2(it != steps.end(), qPrintable(s));
        it->second();
        if (wait)
            pump();
    }

    // "STATUS NUMBER 'NAME' TAG dDIRECTION call|- [STATUS BAR] ring" (ring timer running).
    QString snapshot() const {
        const CallRecord& r = gCallRecord;
        return QString::number(r.callStatus) + u' ' + r.callNumber + " '" + r.callName + "' " +
               r.callMatchTag + " d" + QString::number(gCallDirection) +
               (gCall ? " call [" : " - [") + m_form->statusText() + u']' +
               (handler()->ringTimer()->isActive() ? " ring" : "");
    }

    // Recent-call book i as "name|tel|tel2|tel3|email|email2|id" lines.
    QStringList entries(int book) const {
        QStringList out;
        const auto& b = gRecentBooks.at(book);
        for (std::int16_t i = 0; i < b->getContactNum(); ++i) {
            const auto c = b->getContact(i);
            out.append(QStringList{c->name, c->telephone, c->telephone2, c->telephone3, c->email,
                                   c->email2, c->contactid}
                           .join(u'|'));
        }
        return out;
    }

    QStringList boxes; // "TEXT/TITLE/FLAGS @ snapshot"
    const QStringList ops{"Create",     "Initialize", "EventFilter", "GetAddresses", // SimLine::Op
                          "Register",   "Shutdown",   "AddressName", "QueryMediaType",
                          "CreateCall", "Connect",    "Answer",      "Disconnect"};

private:
    QStringList inBox;
    TestEnv m_env;
    frmMain* m_form = nullptr;
};
