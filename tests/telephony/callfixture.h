#pragma once

// The telephony tests' set-up: the simulated line chosen, the three
// recent-call books, a main window whose call handler is subscribed, and the
// line and the call windows driven step by step.

#include "addressbooks/dbfunctions.h"
#include "addressbooks/records.h"
#include "common/testenv.h"
#include "common/widgettest.h"
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
#include <QLabel>
#include <QTimer>
#include <functional>
#include <map>
#include <utility>

// Lets posted events run.
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
        gPreferences->useTapi = gPreferences->useLastDRAddressBooks = true;
        gPreferences->TAPIDevice = QStringLiteral("Simulated Line");
        gPreferences->multipleCall = 1;
        gPreferences->defaultPrefixesForDRAB1 = QStringLiteral("0");
        gPreferences->defaultPrefixesForDRAB2 = QStringLiteral("00");
        gPreferences->defaultPrefixesForDRAB3 = QStringLiteral("+39");
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

    // Telephony on, main window built and subscribed; from here every message
    // box is kept with the state it was shown in.
    void start() {
        createForm();
        setupTAPI();
        handler()->TAPIEventsInit();
        pump();
        Prompter::reset();
        Prompter::setHook([this](const Prompter::Record& r) {
            boxes.append(r.text.left(40) + u'/' + r.title + u'/' + QString::number(r.flags) +
                         " @ " + snapshot());
            for (const QString& t : std::exchange(inBox, {}))
                step(t); // while the box is up
        });
    }
    void createForm() { gMainForm = m_form = new frmMain; }
    frmMain* form() const { return m_form; }
    QString file(const QString& name) const { return m_env.file(name); }
    // Typed into the outgoing-call window, then Dial.
    frmTelephoneCall* dial(const QString& number) {
        step(QStringLiteral("dial:") + number);
        return frmTelephoneCall::instance();
    }
    CallHandler* handler() const { return m_form->callHandler(); }

    // One step, then its events handled (not after a trailing "!"): the far
    // end's doings, the user's on the call windows, and a few settings.
    void step(QString s) {
        SimLine& line = SimLine::instance();
        const bool wait = !s.endsWith(u'!');
        s.remove(u'!');
        const QString cmd = s.section(u':', 0, 0), arg = s.section(u':', 1);
        const auto number = s.contains(u':') ? std::optional<QString>(arg) : std::nullopt;
        const int call = line.currentCall();
        CallWindow* w = frmTelephoneRing::loadedInstance();
        if (!w)
            w = frmTelephoneCall::loadedInstance();
        auto out = [] { return frmTelephoneCall::instance(); };
        const std::map<QString, std::function<void()>> steps{
            {"ring", [&] { line.ring(); }},
            {"offer", [&] { line.offer(number); }},
            // A call placed elsewhere on the line.
            {"outgoing", [&] { line.offer(number, CS_INPROGRESS, 0, number); }},
            {"callerid", [&] { line.setCallerNumber(call, arg); }},
            {"connect", [&] { line.setState(call, CS_CONNECTED); }},
            {"hold", [&] { line.setState(call, CS_HOLD); }},
            {"hangup", [&] { line.hangup(call); }},
            // An event the program does not follow.
            {"media", [&] { handler()->objTAPIEvents_Event(TE_CALLMEDIA, nullptr); }},
            {"answer", [&] { click(frmTelephoneRing::instance(), "cmdAnswer"); }},
            {"disconnect", [&] { click(frmTelephoneRing::instance(), "cmdDisconnect"); }},
            // Typed, then Dial.
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
            {"untick", [&] { child<QCheckBox>(w, "cbAutoClose")->setChecked(false); }},
            {"closebox", [&] { w->close(); }},
            // The close timer's time has come.
            {"closetimer",
             [&] {
                 const QPointer<CallWindow> closing = w;
                 child<QTimer>(w, "CloseTimer")->setInterval(0);
                 QVERIFY(waitUntil([&] { return !closing; }));
             }},
            // The line's next operation fails.
            {"fail", [&] { line.failOnce(static_cast<SimLine::Op>(ops.indexOf(arg))); }},
            {"autoclose", [&] { gPreferences->autoCloseOnDisconnect = true; }},
            {"quiet", [&] { gPreferences->multipleCall = 0; }},
            {"nolog", [&] { gRecentBooks.clear(); }},
            // Errors told in a box rather than logged.
            {"tell", [&] { gExtendedErrors = false; }},
            {"tag", [&] { gCallRecord.callMatchTag = arg; }},
            {"noaddress", [&] { gAddress.reset(); }},
            // Contacts in a Local book searched for caller ID, with call prefix
            // "9" and no ring sound of its own (after the same in a book not
            // searched, ringing local.wav every 15 s); a Database book with call
            // prefix "00" ringing db.wav every 3 s. "book:broken": the searched
            // one cannot be opened.
            {"book",
             [&] {
                 const QString path = m_env.file(QStringLiteral("people.lab"));
                 createLocalAddressBook(path);
                 executeLocalBook(path, QStringLiteral("INSERT INTO TAMRIVO (NAME, TELEPHONE) "
                                                       "VALUES ('Anna Rossi', '5551234'), ('Bruno',"
                                                       " '02223344'), ('Carla', '0039 555 0044')"));
                 gLocalBooks = {std::make_shared<LocalAddressBook>(),
                                std::make_shared<LocalAddressBook>()};
                 gLocalBooks[0]->filename = path;
                 gLocalBooks[1]->filename = arg.isEmpty() ? path : QStringLiteral("/nonexistent");
                 gLocalBooks[1]->searchForCallerID = true;
                 gLocalBooks[1]->callPrefix = QStringLiteral("9");
                 gLocalBooks[0]->ringSound = QStringLiteral("/snd/local.wav");
                 gLocalBooks[0]->ringSoundInterval = 15;
                 gLocalBooks[1]->ringSoundInterval = 9;
                 gDBBooks = {std::make_shared<DatabaseAddressBook>()};
                 gDBBooks[0]->callPrefix = QStringLiteral("00");
                 gDBBooks[0]->ringSound = QStringLiteral("/snd/db.wav");
                 gDBBooks[0]->ringSoundInterval = 3;
                 noLocalBooks = noDBBooks = false;
             }},
            {"subscribe", [&] { handler()->TAPIEventsInit(); }},
            {"shutdown", [&] { handler()->shutdown(); }},
        };
        const auto it = steps.find(cmd);
        QVERIFY2(it != steps.end(), qPrintable(s));
        it->second();
        if (wait)
            pump();
    }

    // "STATUS NUMBER 'NAME' TAG dDIRECTION call|- [STATUS BAR]", and " ring"
    // while the ring timer runs.
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
    // SimLine::Op in order.
    const QStringList ops{"Create",     "Initialize", "EventFilter", "GetAddresses",
                          "Register",   "Shutdown",   "AddressName", "QueryMediaType",
                          "CreateCall", "Connect",    "Answer",      "Disconnect"};

private:
    QStringList inBox;
    TestEnv m_env;
    frmMain* m_form = nullptr;
};
