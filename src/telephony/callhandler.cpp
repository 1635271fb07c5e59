#include "telephony/callhandler.h"

#include "addressbooks/records.h"
#include "addressbooks/search.h"
#include "app/convert.h"
#include "app/globals.h"
#include "app/settingsrecords.h"
#include "app/strings.h"
#include "mainwindow/frmmain.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "platform/soundplayer.h"
#include "platform/telephony/tapi.h"
#include "telephony/frmtelephonecall.h"
#include "telephony/frmtelephonering.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QTimer>
#include <algorithm>
#include <exception>

namespace {

// Before the first ring sound.
constexpr int FirstRingMs = 1000;

const Preferences& prefs() {
    static const Preferences defaults;
    return gPreferences ? *gPreferences : defaults;
}

QString notFound() {
    return loadResString(16031);
}

// The tag split on "|" into at most three parts.
QStringList tagParts(const QString& tag) {
    QStringList parts = tag.split(u'|');
    if (parts.size() > 3)
        parts = QStringList{parts[0], parts[1], parts.mid(2).join(u'|')};
    return parts;
}

// The call prefix of the Local or Database book that a tag names; raises
// when the tag names no such book.
QString prefixOfTag(const QString& tag) {
    const QStringList parts = tagParts(tag);
    const QString kind = parts.value(1);
    if (kind == u"O")
        return localBookAt(convert::toInt16(parts.value(2)))->callPrefix;
    if (kind == u"D")
        return dbBookAt(convert::toInt16(parts.value(2)))->callPrefix;
    return QString();
}

// Ring intervals in milliseconds: 32 bits, at least one second.
std::int32_t ringIntervalMs(std::int16_t seconds) {
    return static_cast<std::int32_t>(std::max<std::int16_t>(seconds, 1)) * 1000;
}

// The system's short date and long time, as the recent-call entries show them.
QString nowText() {
    const QLocale loc = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    QString timeFormat = loc.timeFormat(QLocale::LongFormat);
    // The long format names the time zone; the entry keeps only the clock.
    timeFormat.remove(QLatin1Char('t'));
    timeFormat = timeFormat.trimmed();
    return loc.toString(now.date(), QLocale::ShortFormat) + u' ' +
           loc.toString(now.time(), timeFormat);
}

// Reports an error once the current event has been handled: a box shown in
// the middle of it would run later events of the call before this one ends.
void reportAfterEvent(std::exception_ptr error) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [error] { trapErrors([&] { std::rethrow_exception(error); }); }, Qt::QueuedConnection);
}

// The caller's name from the books, or "Not Found". An empty number is not
// looked up; a lookup that fails is reported and counts as no match, so a
// broken address book never hides a call.
QString lookupName(const QString& number, bool wantMatch, std::optional<QString>& foundNumber,
                   std::optional<QString>& foundTag) {
    foundNumber.reset();
    foundTag.reset();
    if (number.isEmpty())
        return notFound();
    std::optional<QString> n;
    std::optional<QString> t;
    if (wantMatch) {
        n = QString();
        t = QString();
    }
    QString name;
    try {
        name = lookupCallerID(number, n, t);
    } catch (...) {
        reportAfterEvent(std::current_exception());
        return notFound();
    }
    if (wantMatch && n) {
        foundNumber = n;
        foundTag = t ? t : std::optional<QString>(QString());
    }
    return name;
}

// A status in each call window that is shown.
void showAll(std::int16_t status) {
    if (frmTelephoneRing::isShown())
        frmTelephoneRing::loadedInstance()->showStatus(status);
    if (frmTelephoneCall::isShown())
        frmTelephoneCall::loadedInstance()->showStatus(status);
}

} // namespace

CallHandler::CallHandler(frmMain* form)
    : QObject(form), m_form(form), m_ringTimer(new QTimer(form)) {
    m_ringTimer->setObjectName(QStringLiteral("ringTimer"));
    connect(m_ringTimer, &QTimer::timeout, this, &CallHandler::ringTimer_Timer);
}

void CallHandler::TAPIEventsInit() {
    trapErrors([&] {
        if (!prefs().useTapi)
            return;
        if (!gAddress) {
            Prompter::msgBox(loadResString(16008), Msg::OKOnly | Msg::Critical,
                             loadResString(16009), m_form);
        } else {
            // Connect the sink to the telephony object in force.
            if (m_sink != gTAPI) {
                disconnect(m_sinkConnection);
                m_sink = gTAPI;
                // The end of a call on the old object will never arrive.
                m_tracked.reset();
                if (m_sink)
                    m_sinkConnection =
                        connect(m_sink.get(), &ITTAPI::Event, this,
                                [this](long code, const std::shared_ptr<ITEventObject>& ev) {
                                    objTAPIEvents_Event(code, ev);
                                });
            }
            bool subscribed = false;
            try {
                if (m_sink) {
                    m_sink->RegisterCallNotifications(gAddress, true, true, TAPIMEDIATYPE_AUDIO, 1);
                    subscribed = true;
                }
            } catch (const AppError&) {
            }
            if (!subscribed) {
                disconnect(m_sinkConnection);
                m_sink.reset();
            }
        }
        if (!m_sink)
            Prompter::msgBox(loadResString(16010), Msg::OKOnly | Msg::Critical,
                             loadResString(16011), m_form);
    });
}

void CallHandler::shutdown() {
    lineGone();
    trapErrors([] {
        if (gTAPI)
            gTAPI->Shutdown();
    });
}

void CallHandler::lineGone() {
    m_ringTimer->stop();
    setStatusText(QString());
    if (const auto call = trackedCall()) {
        // Hung up where the line still can, so that no call goes on unseen.
        try {
            call->Disconnect(DC_NORMAL);
        } catch (const AppError&) {
        }
        callEnded();
    }
}

bool callOnLine() {
    return gCall ||
           (gMainForm && gMainForm->callHandler() && gMainForm->callHandler()->trackedCall());
}

void endCallOnLine() {
    if (gMainForm && gMainForm->callHandler())
        gMainForm->callHandler()->lineGone();
}

void CallHandler::saveCorrectedCallInfo(const QString& num, const QString& str,
                                        const QString& tag) {
    // The record names the call on the line until that call has ended.
    if (callOnLine())
        return;
    gCallRecord.callNumber = num;
    gCallRecord.callName = str;
    gCallRecord.callMatchTag = tag;
}

void CallHandler::setStatusText(const QString& text) {
    if (m_form)
        m_form->setStatusText(text);
}

std::shared_ptr<ITBasicCallControl> CallHandler::trackedCall() const {
    return gCall ? gCall : m_tracked;
}

void CallHandler::objTAPIEvents_Event(long TapiEvent,
                                      const std::shared_ptr<ITEventObject>& pEvent) {
    trapErrors([&] {
        switch (TapiEvent) {
        case TE_ADDRESS:
            onAddressEvent(pEvent);
            break;
        case TE_CALLNOTIFICATION:
            onCallNotification(pEvent);
            break;
        case TE_CALLSTATE:
            onCallState(pEvent);
            break;
        case TE_CALLINFOCHANGE:
            onCallInfoChange(pEvent);
            break;
        default:
            setStatusText(QString());
            break;
        }
    });
}

void CallHandler::onAddressEvent(const std::shared_ptr<ITEventObject>& pEvent) {
    const auto ev = queryEvent<ITAddressEvent>(pEvent);
    QString text;
    if (ev->get_Event() == AE_RINGING) {
        // Unless ours is an offered call, a ring during a call is another
        // caller's: nothing would stop its sound, as that caller's end is not
        // ours, and the status panel keeps showing our call.
        if (trackedCall() && !(gCallDirection == CallDirection::Incoming &&
                               gCallRecord.callStatus == CallStatus::Ringing))
            return;
        gCallRecord.callStatus = CallStatus::Ringing;
        if (!m_ringTimer->isActive()) {
            m_ringTimer->setInterval(FirstRingMs);
            m_ringTimer->start();
        }
        text = loadResString(16018);
    }
    setStatusText(text);
}

void CallHandler::onCallNotification(const std::shared_ptr<ITEventObject>& pEvent) {
    const auto ev = queryEvent<ITCallNotificationEvent>(pEvent);
    if (trackedCall()) {
        if (prefs().multipleCall == 1) {
            // Told after this event, so that the box does not hold up the
            // events behind it.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    trapErrors([this] {
                        Prompter::msgBox(loadResString(16016), Msg::OKOnly | Msg::Information,
                                         loadResString(16017), m_form);
                    });
                },
                Qt::QueuedConnection);
        }
        return;
    }
    const auto call = ev->get_Call();
    gCall = call;
    m_tracked = call;
    const CALL_STATE state = call->get_CallState();
    QString number;
    bool known = true;
    if (state == CS_INPROGRESS) {
        gCallDirection = CallDirection::Outgoing;
        try {
            number = call->get_CallInfoString(CIS_CALLEDIDNUMBER);
        } catch (const AppError&) {
            number = loadResString(16049);
            known = false;
        }
        if (gCallRecord.callNumber.isEmpty()) {
            gCallRecord.callNumber = number;
            gCallRecord.numberUnavailable = !known;
        }
        frmTelephoneCall* w = frmTelephoneCall::instance();
        w->showStatus(CallStatus::Calling);
        w->showCalledIDNum(number);
        w->showWindow();
    } else if (state == CS_OFFERING) {
        gCallDirection = CallDirection::Incoming;
        gCallRecord.callStatus = CallStatus::Ringing;
        try {
            number = call->get_CallInfoString(CIS_CALLERIDNUMBER);
        } catch (const AppError&) {
            number = loadResString(16049);
            known = false;
        }
        std::optional<QString> foundNumber;
        std::optional<QString> foundTag;
        const QString name = known ? lookupName(number, true, foundNumber, foundTag) : QString();
        frmTelephoneRing* w = frmTelephoneRing::instance();
        w->showStatus(CallStatus::Ringing);
        w->showCallerIDNum(number);
        w->showCallerIDStr(name);
        w->showWindow();
        recordIncoming(number, name, foundNumber, foundTag);
        gCallRecord.numberUnavailable = !known;
    }
}

void CallHandler::recordIncoming(const QString& number, const QString& name,
                                 const std::optional<QString>& foundNumber,
                                 const std::optional<QString>& foundTag) {
    CallRecord& r = gCallRecord;
    r.numberUnavailable = false;
    if (!foundNumber) {
        r.callNumber = number;
        r.callMatchTag.clear();
        r.callName = notFound();
        r.callPrefix.clear();
    } else {
        r.callNumber = *foundNumber;
        r.callMatchTag = foundTag.value_or(QString());
        r.callName = name;
        r.callPrefix = prefixOfTag(r.callMatchTag);
    }
}

void CallHandler::onCallState(const std::shared_ptr<ITEventObject>& pEvent) {
    const auto ev = queryEvent<ITCallStateEvent>(pEvent);
    const auto tracked = trackedCall();
    if (tracked && ev->get_Call() != tracked)
        return; // another caller on the line: not ours
    switch (ev->get_State()) {
    case CS_INPROGRESS:
        gCallRecord.callStatus = CallStatus::Calling;
        gCallDirection = CallDirection::Outgoing;
        showAll(CallStatus::Calling);
        break;
    case CS_CONNECTED:
        gCallRecord.callStatus = CallStatus::Connected;
        showAll(CallStatus::Connected);
        m_ringTimer->stop();
        break;
    case CS_DISCONNECTED:
        callEnded();
        break;
    default:
        setStatusText(QString());
        break;
    }
}

void CallHandler::callEnded() {
    showAll(CallStatus::Disconnected);
    // The call ends whatever happens to its log entry.
    trapErrors([this] { logFinishedCall(); });
    gCall.reset();
    m_tracked.reset();
    gCallDirection = CallDirection::None;
    m_ringTimer->stop();
    gCallRecord = CallRecord{};
    gCallRecord.callStatus = CallStatus::Disconnected;
    setStatusText(QString());
}

void CallHandler::onCallInfoChange(const std::shared_ptr<ITEventObject>& pEvent) {
    const auto ev = queryEvent<ITCallInfoChangeEvent>(pEvent);
    if (!gCall || ev->get_Call() != gCall)
        return;
    QString text;
    if (ev->get_Cause() == CIC_CALLERID && gCallDirection == CallDirection::Incoming) {
        const QString number = gCall->get_CallInfoString(CIS_CALLERIDNUMBER);
        // An empty number does not wipe out one already known.
        if (!(number.isEmpty() && !gCallRecord.callNumber.isEmpty())) {
            frmTelephoneRing* w = frmTelephoneRing::instance();
            w->showWindow();
            std::optional<QString> foundNumber;
            std::optional<QString> foundTag;
            const QString name = lookupName(number, true, foundNumber, foundTag);
            w->showCallerIDNum(number);
            w->showCallerIDStr(name);
            text = loadResString(16026) + u' ' + number;
            recordIncoming(number, name, foundNumber, foundTag);
        }
    }
    if (gCallDirection == CallDirection::Outgoing) {
        const QString number = gCall->get_CallInfoString(CIS_CALLEDIDNUMBER);
        if (!number.isEmpty()) {
            if (gCallRecord.callNumber.isEmpty() || gCallRecord.numberUnavailable) {
                gCallRecord.callNumber = number;
                gCallRecord.numberUnavailable = false;
            }
            frmTelephoneCall* w = frmTelephoneCall::instance();
            w->showWindow();
            w->showCalledIDNum(number);
            std::optional<QString> foundNumber;
            std::optional<QString> foundTag;
            const QString name = lookupName(number, true, foundNumber, foundTag);
            // A party named by the dialling command keeps its name when no
            // caller-ID book knows the number.
            if (foundNumber || gCallRecord.callName.isEmpty())
                gCallRecord.callName = name;
            w->showCalledIDStr(gCallRecord.callName);
            text = loadResString(16027) + u' ' + number;
        }
    }
    setStatusText(text);
}

void CallHandler::logFinishedCall() {
    const Preferences& p = prefs();
    if (!p.useLastDRAddressBooks || !recentBooksExist())
        return;
    const CallRecord& r = gCallRecord;
    // Without a number there is nothing to dial back: no prefix is glued to
    // an empty or "Not available" text.
    const bool noNumber = r.callNumber.isEmpty() || r.numberUnavailable;
    auto entry = std::make_shared<Contact>();
    if (gCallDirection == CallDirection::Incoming) {
        if (!r.callMatchTag.isEmpty()) {
            entry->name = r.callName;
            const QString kind = tagParts(r.callMatchTag).value(1);
            if (kind == u"O" || kind == u"D")
                entry->telephone = r.callPrefix + r.callNumber;
        } else {
            entry->name = notFound();
            if (!noNumber) {
                entry->telephone = p.defaultPrefixesForDRAB1 + r.callNumber;
                entry->telephone2 = p.defaultPrefixesForDRAB2 + r.callNumber;
                entry->telephone3 = p.defaultPrefixesForDRAB3 + r.callNumber;
            }
        }
        entry->freetext = nowText();
        recentBookAt(r.callStatus == CallStatus::Ringing ? 2 : 1)->addContact(entry);
    } else if (gCallDirection == CallDirection::Outgoing && !noNumber) {
        entry->name = r.callName.isEmpty() ? notFound() : r.callName;
        entry->freetext = nowText();
        entry->telephone = r.callNumber;
        recentBookAt(0)->addContact(entry);
    }
}

void CallHandler::ringTimer_Timer() {
    trapErrors([&] {
        if (!m_ringTimer->isActive())
            return;
        QString sound;
        std::int16_t interval = 0;
        const QString& tag = gCallRecord.callMatchTag;
        if (!tag.isEmpty()) {
            const QStringList parts = tagParts(tag);
            const QString kind = parts.value(1);
            // A book removed since the match leaves the default sound.
            try {
                if (kind == u"O") {
                    const auto book = localBookAt(convert::toInt16(parts.value(2)));
                    sound = book->ringSound;
                    interval = book->ringSoundInterval;
                } else if (kind == u"D") {
                    const auto book = dbBookAt(convert::toInt16(parts.value(2)));
                    sound = book->ringSound;
                    interval = book->ringSoundInterval;
                }
            } catch (const AppError&) {
                sound.clear();
            }
        }
        const Preferences& p = prefs();
        if (!sound.isEmpty() && p.incomingPlaySound) {
            m_ringTimer->stop();
            m_ringTimer->setInterval(ringIntervalMs(interval));
            SoundPlayer::play(sound);
            m_ringTimer->start();
        } else if (p.incomingPlaySound && !p.defaultSound.isEmpty()) {
            m_ringTimer->stop();
            m_ringTimer->setInterval(ringIntervalMs(p.ringTimerInterval));
            SoundPlayer::play(p.defaultSound);
            m_ringTimer->start();
        }
    });
}
