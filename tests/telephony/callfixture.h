#pragma once

// Shared set-up for the telephony tests: preferences with the simulated
// line chosen, the three recent-call books, a main window whose call
// handler is subscribed, and a way to drive the line step by step.

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
#include <QPushButton>
#include <QString>
#include <QStringList>
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
        const char* names[] = {"Last Dialed", "Last Received", "Last Not Answered"};
        for (const char* n : names) {
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

    // Telephony on with the simulated line, main window built and subscribed.
    void start() {
        createForm();
        setupTAPI();
        handler()->TAPIEventsInit();
        pump();
        Prompter::reset();
    }

    // The main window alone.
    void createForm() {
        m_form = new frmMain;
        gMainForm = m_form;
    }

    frmMain* form() const { return m_form; }
    // A file inside the test's own temporary folder.
    QString file(const QString& name) const { return m_env->file(name); }
    CallHandler* handler() const { return m_form->callHandler(); }

    // One step on the line, then the events it caused are handled:
    // "ring", "offer:NUMBER", "offer" (no caller number), "callerid:NUMBER",
    // "connect" (far end answers), "hangup" (far end hangs up), "answer" and
    // "disconnect" (clicks on the incoming-call window).
    void step(const QString& s) {
        SimLine& line = SimLine::instance();
        const qsizetype colon = s.indexOf(u':');
        const QString cmd = colon < 0 ? s : s.left(colon);
        const QString arg = colon < 0 ? QString() : s.mid(colon + 1);
        if (cmd == u"ring")
            line.ring();
        else if (cmd == u"offer")
            line.offer(colon < 0 ? std::nullopt : std::optional<QString>(arg));
        else if (cmd == u"callerid")
            line.setCallerNumber(line.currentCall(), arg);
        else if (cmd == u"connect")
            line.setState(line.currentCall(), CS_CONNECTED);
        else if (cmd == u"hangup")
            line.hangup(line.currentCall());
        else if (cmd == u"answer")
            click(frmTelephoneRing::instance(), "cmdAnswer");
        else if (cmd == u"disconnect")
            click(frmTelephoneRing::instance(), "cmdDisconnect");
        else
            QTest::qFail(qPrintable(QStringLiteral("unknown step ") + s), __FILE__, __LINE__);
        pump();
    }

    // The record, the direction, the tracked call and the status bar as one
    // line: "STATUS NUMBER 'NAME' TAG dDIRECTION call|- [STATUS TEXT]".
    QString snapshot() const {
        const CallRecord& r = gCallRecord;
        return QString::number(r.callStatus) + u' ' + r.callNumber + QStringLiteral(" '") +
               r.callName + QStringLiteral("' ") + r.callMatchTag + QStringLiteral(" d") +
               QString::number(gCallDirection) +
               (gCall ? QStringLiteral(" call") : QStringLiteral(" -")) + QStringLiteral(" [") +
               m_form->statusText() + u']';
    }

    // The entries of recent-call book i as "name|tel|tel2|tel3|email|email2|id".
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
