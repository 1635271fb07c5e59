#pragma once

#include "platform/telephony/tapi.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;
class SimTapi;

// The simulated line: a telephony provider that is always installed. It
// offers one audio address, "Simulated Line" (tests may add more), and plays
// the far end of calls on it: rings, offers calls with or without a caller
// number, changes numbers and states, hangs up. What the program asks of it
// (answers, dialled numbers) is counted so that tests and people can check.
//
// Every telephony object created over the line delivers the events of the
// addresses it registered, filtered by its event filter, each event once.
// Calls that the program creates give state events (to the objects that
// registered the address, and to the creating object) but no notification;
// once connecting, the line reports their called number as a real line does.
//
// Control socket: while at least one telephony object created over the line
// is alive and not shut down, the line listens on socketPath() for one-line
// commands (see handleCommand). It stops listening when the last such object
// is shut down or released.
class SimLine : public QObject {
    Q_OBJECT
public:
    static constexpr const char* LineName = "Simulated Line";

    // Operations that tests can make fail once (the next call raises).
    enum class Op {
        Create,
        Initialize,
        EventFilter,
        GetAddresses,
        Register,
        Shutdown,
        AddressName,
        QueryMediaType,
        CreateCall,
        Connect,
        Answer,
        Disconnect,
        CallState,
        CallInfoString,
    };

    static SimLine& instance();

    // Back to one "Simulated Line" address, no calls, no counts, no pending
    // failures. Telephony objects already created keep working.
    void reset();

    // A new telephony object over the line (the installed provider's factory).
    std::shared_ptr<ITTAPI> createTapiObject();

    // Addresses, numbered from 0 in collection order.
    int addAddress(const QString& name, long mediaTypes = TAPIMEDIATYPE_AUDIO);
    int addressCount() const { return static_cast<int>(m_addresses.size()); }

    // Far end. Calls are numbered from 1; -1 means none.
    void ring(int address = 0);
    // A call that appears on the line: by default an incoming call offered.
    int offer(std::optional<QString> callerNumber, CALL_STATE state = CS_OFFERING, int address = 0,
              std::optional<QString> calledNumber = std::nullopt);
    // The caller (or called) number changes; a call-info change follows.
    bool setCallerNumber(int call, std::optional<QString> number);
    bool setCalledNumber(int call, std::optional<QString> number);
    // The call changes state; a call-state event follows.
    bool setState(int call, CALL_STATE state);
    bool hangup(int call) { return setState(call, CS_DISCONNECTED); }
    // The latest call still going on, else -1. Ended calls are forgotten.
    int currentCall() const;
    std::optional<CALL_STATE> callState(int call) const;

    void failOnce(Op op) { m_failures.insert(op); }

    // What the program did.
    bool registered() const;
    int answered() const { return m_answered; }
    QString dialled() const { return m_dialled; }
    // "registered=0|1 call=... number=N answered=K dialled=NUMBER"
    QString status() const;

    // One control command, without its line end; answers the reply line:
    //   ring | offer [NUMBER] | callerid NUMBER | connect | hangup | status
    // Replies start with "OK" or "ERR".
    QString handleCommand(const QString& line);

    // $TAMRIVO_SIMLINE_SOCKET, else $XDG_RUNTIME_DIR/tamrivo-simline.
    static QString socketPath();
    bool isListening() const;

private:
    friend class SimTapi;
    friend class SimAddressHandle;
    friend class SimCallHandle;

    struct Address {
        QString name;
        long media = 0;
    };
    struct Call {
        int id = 0;
        int address = 0;
        CALL_STATE state = CS_IDLE;
        std::optional<QString> callerNumber;
        std::optional<QString> calledNumber;
        bool outgoing = false;
        QPointer<SimTapi> creator;
    };

    SimLine();
    void checkFail(Op op);
    Call* findCall(int id);
    const Call* findCall(int id) const;
    void tapiCreated(SimTapi* t);
    void tapiGone(SimTapi* t);
    void updateListening();
    void onNewConnection();
    void onReadyRead(QLocalSocket* s);

    // Program side, reached through the handles.
    int createCall(SimTapi* creator, int address, const QString& dest);
    void postCallState(const Call& c);
    void postCallInfo(const Call& c, CALLINFOCHANGE_CAUSE cause);
    void forgetCall(int id);

    QList<Address> m_addresses;
    QList<Call> m_calls;
    int m_nextCall = 1;
    int m_answered = 0;
    QString m_dialled;
    QSet<Op> m_failures;
    QList<QPointer<SimTapi>> m_tapis;
    QLocalServer* m_server = nullptr;
};
