#pragma once

// Shared set-up for the telephony tests: the simulated line chosen, the
// three recent-call books, a main window whose call handler is subscribed,
// and a way to drive the line step by step.

#include "addressbooks/records.h"
#include "app/globals.h"
#include "app/settingsrecords.h"
#include "common/testenv.h"
#include "mainwindow/frmmain.h"
#include "platform/prompter.h"
#include "platform/soundplayer.h"
#include "platform/telephony/providers.h"
#include "platform/telephony/simline.h"
#include "telephony/callhandler.h"
#include "telephony/frmtelephonecall.h"
#include "telephony/frmtelephonering.h"
#include "telephony/tapisetup.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

// Lets posted events run.
inline void pump() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

inline void click(QWidget* w, const char* name) {
    auto* b = w->findChild<QPushButton*>(QLatin1String(name));
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

inline QString labelOf(QWidget* w, const char* name) {
    auto* l = w ? w->findChild<QLabel*>(QLatin1String(name)) : nullptr;
    return l ? l->text() : QStringLiteral("<missing>");
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
    CallFixture() : m_env(std::make_unique<TestEnv>()) {
        SimLine::instance().reset();
        TelephonyRegistry::restoreDefaults();
        SoundPlayer::setRecording(true);
        SoundPlayer::clearPlayed();
        auto p = std::make_shared<Preferences>();
        p->useTapi = true;
        p->TAPIDevice = QStringLiteral("Simulated Line");
        p->multipleCall = 1;
        p->useLastDRAddressBooks = true;
        p->defaultPrefixesForDRAB1 = QStringLiteral("0");
        p->defaultPrefixesForDRAB2 = QStringLiteral("00");
        p->defaultPrefixesForDRAB3 = QStringLiteral("+39");
        p->ringTimerInterval = 2;
        gPreferences = p;
        for (const char* n : {"Last Dialed", "Last Received", "Last Not Answered"}) {
            auto b = std::make_shared<TmpAddressBook>();
            b->addressBookName = QLatin1String(n);
            gRecentBooks.append(b);
        }
    }

    ~CallFixture() {
        delete m_form;
        pump();
        gTAPI.reset();
        gAddress.reset();
        gCall.reset();
        pump();
        m_env.reset();
    }

    // Telephony on, main window built and subscribed.
    void start() {
        createForm();
        setupTAPI();
        handler()->TAPIEventsInit();
        pump();
        Prompter::reset();
    }

    void createForm() {
        m_form = new frmMain;
        gMainForm = m_form;
    }

    frmMain* form() const { return m_form; }
    QString file(const QString& name) const { return m_env->file(name); }
    CallHandler* handler() const { return m_form->callHandler(); }

    // Dials number through the outgoing-call window's Dial button.
    frmTelephoneCall* dial(const QString& number) {
        frmTelephoneCall* c = frmTelephoneCall::instance();
        c->showWindow();
        c->setNumber(number);
        click(c, "cmdDial");
        pump();
        return c;
    }

    // One step on the line, then its events handled: "ring", "offer:NUMBER",
    // "offer" (no number), "callerid:NUMBER", "connect" and "hangup" (far
    // end), "answer" and "disconnect" (the incoming-call window's buttons).
    void step(const QString& s) {
        SimLine& line = SimLine::instance();
        const qsizetype colon = s.indexOf(u':');
        const QString cmd = colon < 0 ? s : s.left(colon);
        const QString arg = colon < 0 ? QString() : s.mid(colon + 1);
        if (cmd == "ring")
            line.ring();
        else if (cmd == "offer")
            line.offer(colon < 0 ? std::nullopt : std::optional<QString>(arg));
        else if (cmd == "callerid")
            line.setCallerNumber(line.currentCall(), arg);
        else if (cmd == "connect")
            line.setState(line.currentCall(), CS_CONNECTED);
        else if (cmd == "hangup")
            line.hangup(line.currentCall());
        else if (cmd == "answer" || cmd == "disconnect")
            click(frmTelephoneRing::instance(), cmd == "answer" ? "cmdAnswer" : "cmdDisconnect");
        else
            QTest::qFail(qPrintable("unknown step " + s), __FILE__, __LINE__);
        pump();
    }

    // "STATUS NUMBER 'NAME' TAG dDIRECTION call|- [STATUS BAR]".
    QString snapshot() const {
        const CallRecord& r = gCallRecord;
        return QString::number(r.callStatus) + u' ' + r.callNumber + " '" + r.callName + "' " +
               r.callMatchTag + " d" + QString::number(gCallDirection) +
               (gCall ? " call [" : " - [") + m_form->statusText() + u']';
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
    QString lastFreetext(int book) const {
        const auto& b = gRecentBooks.at(book);
        return b->getContact(static_cast<std::int16_t>(b->getContactNum() - 1))->freetext;
    }

private:
    std::unique_ptr<TestEnv> m_env;
    frmMain* m_form = nullptr;
};
