#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QTimer;
class frmMain;
class ITTAPI;
class ITBasicCallControl;
class ITEventObject;

// The main window's telephony side: the event sink, the call state machine,
// the ring timer and the call windows. Owned by frmMain.
class CallHandler : public QObject {
    Q_OBJECT
public:
    explicit CallHandler(frmMain* form);
    // Connects the event sink and subscribes to the monitored address.
    void TAPIEventsInit();
    // The ring timer (object name "ringTimer"), a child of the main window.
    QTimer* ringTimer() const { return m_ringTimer; }
    // The main window's unload: shuts the telephony object down.
    void shutdown();
    // The line under the tracked call goes away (telephony off, another line,
    // the program's end): the call ends as if the line had ended it.
    void lineGone();

    // The event sink: every telephony event, one at a time, in order.
    void objTAPIEvents_Event(long TapiEvent, const std::shared_ptr<ITEventObject>& pEvent);
    // One tick of the ring timer: plays the ring sound of the caller's book.
    void ringTimer_Timer();
    // The contact card's corrected party, before it dials.
    void saveCorrectedCallInfo(const QString& num, const QString& str, const QString& tag);

    // Whether the event sink is connected to a telephony object.
    bool sinkConnected() const { return static_cast<bool>(m_sink); }
    // The call whose events are followed: gCall, or the call the incoming
    // window's Disconnect let go of until its end arrives.
    std::shared_ptr<ITBasicCallControl> trackedCall() const;

private:
    void setStatusText(const QString& text);
    void onAddressEvent(const std::shared_ptr<ITEventObject>& pEvent);
    void onCallNotification(const std::shared_ptr<ITEventObject>& pEvent);
    void onCallState(const std::shared_ptr<ITEventObject>& pEvent);
    void onCallInfoChange(const std::shared_ptr<ITEventObject>& pEvent);
    void recordIncoming(const QString& number, const QString& name,
                        const std::optional<QString>& foundNumber,
                        const std::optional<QString>& foundTag);
    void callEnded();
    void logFinishedCall();

    frmMain* m_form;
    QTimer* m_ringTimer;
    std::shared_ptr<ITTAPI> m_sink;
    QMetaObject::Connection m_sinkConnection;
    std::shared_ptr<ITBasicCallControl> m_tracked;
};

// Whether a call is on the line: the tracked call, or one let go of whose end
// has not arrived. No new call starts meanwhile: that end would be taken for
// the new call's, and the record would name the wrong party.
bool callOnLine();
// lineGone() of the main window's handler, when there is one.
void endCallOnLine();
