#pragma once

// The telephony tests' set-up: the simulated line chosen, the three
// recent-call books, a main window whose call handler is subscribed, and the
// line and the call windows driven step by step.

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
#include <QLabel>
#include <QLineEdit>

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
        delete m_form;
        stopTelephony();
        gCall.reset();
    }

    // Telephony on, main window built and subscribed.
    void start() {
        createForm();
        setupTAPI();
        handler()->TAPIEventsInit();
        pump();
        Prompter::reset();
    }
    void createForm() { gMainForm = m_form = new frmMain; }
    frmMain* form() const { return m_form; }
    QString file(const QString& name) const { return m_env.file(name); }
    CallHandler* handler() const { return m_form->callHandler(); }

    // One step, then its events handled (not after a trailing "!"). The far
    // end: "ring", "offer[:NUMBER]", "callerid:NUMBER", "connect", "hold",
    // "hangup", "outgoing[:NUMBER]" (a call placed elsewhere on the line),
    // "media" (an event the program does not follow). The windows: "answer",
    // "disconnect", "dial:NUMBER" (typed, then Dial), "dialnumber:NUMBER"
    // (DialNumber alone), "hangupbutton:yes|no[,STEP...]" (the steps run
    // while the question is up), "manual" (Manual Call). Else: "fail:OP" (the
    // line's next OP fails), "quiet" (multipleCall 0), "noaddress",
    // "subscribe" (TAPIEventsInit again), "shutdown".
    void step(QString s) {
        SimLine& line = SimLine::instance();
        const bool wait = !s.endsWith(u'!');
        s.remove(u'!');
        const QString cmd = s.section(u':', 0, 0), arg = s.section(u':', 1);
        const auto number = s.contains(u':') ? std::optional<QString>(arg) : std::nullopt;
        const int call = line.currentCall();
        if (cmd == "ring")
            line.ring();
        else if (cmd == "offer" || cmd == "outgoing")
            line.offer(number, cmd == "offer" ? CS_OFFERING : CS_INPROGRESS, 0,
                       cmd == "offer" ? std::nullopt : number);
        else if (cmd == "callerid")
            line.setCallerNumber(call, arg);
        else if (cmd == "connect" || cmd == "hold" || cmd == "hangup")
            line.setState(call, cmd == "connect" ? CS_CONNECTED
                                : cmd == "hold"  ? CS_HOLD
                                                 : CS_DISCONNECTED);
        else if (cmd == "media")
            handler()->objTAPIEvents_Event(TE_CALLMEDIA, nullptr);
        else if (cmd == "answer" || cmd == "disconnect")
            click(frmTelephoneRing::instance(), cmd == "answer" ? "cmdAnswer" : "cmdDisconnect");
        else if (cmd == "dial")
            dial(arg);
        else if (cmd == "dialnumber") {
            frmTelephoneCall::instance()->setNumber(arg);
            frmTelephoneCall::instance()->DialNumber();
        } else if (cmd == "hangupbutton") {
            QStringList inBox = arg.split(u',');
            Prompter::pushAnswer(inBox.takeFirst() == "yes" ? Msg::Yes : Msg::No);
            Prompter::setHook([this, inBox](const Prompter::Record&) {
                for (const QString& t : inBox)
                    step(t);
            });
            click(frmTelephoneCall::instance(), "cmdHangUp");
            Prompter::setHook({});
        } else if (cmd == "manual")
            child<QAction>(m_form, "mnuToolsManualDial")->trigger();
        else if (cmd == "fail")
            line.failOnce(static_cast<SimLine::Op>(
                QStringList{"Create", "Initialize", "EventFilter", "GetAddresses", "Register",
                            "Shutdown", "AddressName", "QueryMediaType", "CreateCall", "Connect",
                            "Answer", "Disconnect"}
                    .indexOf(arg)));
        else if (cmd == "quiet")
            gPreferences->multipleCall = 0;
        else if (cmd == "noaddress")
            gAddress.reset();
        else if (cmd == "subscribe")
            handler()->TAPIEventsInit();
        else if (cmd == "shutdown")
            handler()->shutdown();
        else
            QFAIL(qPrintable("unknown step " + s));
        if (wait)
            pump();
    }

    // Types number into the outgoing-call window and clicks Dial.
    frmTelephoneCall* dial(const QString& number) {
        frmTelephoneCall* c = frmTelephoneCall::instance();
        c->showWindow();
        child<QLineEdit>(c, "txtNumber")->setText(number);
        click(c, "cmdDial");
        return c;
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

private:
    TestEnv m_env;
    frmMain* m_form = nullptr;
};
