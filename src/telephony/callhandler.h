#pragma once

#include <QObject>

class QTimer;
class frmMain;

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

private:
    frmMain* m_form;
    QTimer* m_ringTimer;
};
