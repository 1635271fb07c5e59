#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

// The telephony service as the program sees it: the telephony object, its
// addresses, calls and events, with the service's published constants.
// Every operation that fails raises an AppError with a negative number.
// Objects handed out stay valid after the telephony object is shut down;
// their operations then fail.

// Event codes (also the bits of the event filter).
enum TAPI_EVENT : long {
    TE_TAPIOBJECT = 0x1,
    TE_ADDRESS = 0x2,
    TE_CALLNOTIFICATION = 0x4,
    TE_CALLSTATE = 0x8,
    TE_CALLMEDIA = 0x10,
    TE_CALLHUB = 0x20,
    TE_CALLINFOCHANGE = 0x40,
    TE_PRIVATE = 0x80,
    TE_REQUEST = 0x100,
    TE_AGENT = 0x200,
    TE_AGENTSESSION = 0x400,
    TE_QOSEVENT = 0x800,
    TE_AGENTHANDLER = 0x1000,
    TE_ACDGROUP = 0x2000,
    TE_QUEUE = 0x4000,
    TE_DIGITEVENT = 0x8000,
    TE_GENERATEEVENT = 0x10000,
};
// Every event kind from TE_TAPIOBJECT to TE_GENERATEEVENT.
constexpr long TE_ALLEVENTS = 0x1FFFF;

enum ADDRESS_EVENT : long {
    AE_STATE = 0,
    AE_CAPSCHANGE = 1,
    AE_RINGING = 2,
    AE_CONFIGCHANGE = 3,
    AE_FORWARD = 4,
    AE_NEWTERMINAL = 5,
    AE_REMOVETERMINAL = 6,
    AE_MSGWAITON = 7,
    AE_MSGWAITOFF = 8,
};

enum CALL_STATE : long {
    CS_IDLE = 0,
    CS_INPROGRESS = 1,
    CS_CONNECTED = 2,
    CS_DISCONNECTED = 3,
    CS_OFFERING = 4,
    CS_HOLD = 5,
    CS_QUEUED = 6,
};

enum CALLINFOCHANGE_CAUSE : long {
    CIC_OTHER = 0,
    CIC_CALLERID = 14,
    CIC_CALLEDID = 15,
};

enum CALLINFO_STRING : long {
    CIS_CALLERIDNAME = 0,
    CIS_CALLERIDNUMBER = 1,
    CIS_CALLEDIDNAME = 2,
    CIS_CALLEDIDNUMBER = 3,
};

enum CALL_NOTIFICATION_EVENT : long {
    CNE_OWNER = 0,
    CNE_MONITOR = 1,
};

enum DISCONNECT_CODE : long {
    DC_NORMAL = 0,
    DC_NOANSWER = 1,
    DC_REJECTED = 2,
};

constexpr long LINEADDRESSTYPE_PHONENUMBER = 1;
constexpr long TAPIMEDIATYPE_AUDIO = 8;

// A call. Also answers the call-info queries.
class ITBasicCallControl {
public:
    virtual ~ITBasicCallControl() = default;
    virtual CALL_STATE get_CallState() = 0;
    // CIS_CALLERIDNUMBER or CIS_CALLEDIDNUMBER; raises when the service has
    // no such number for the call.
    virtual QString get_CallInfoString(long which) = 0;
    // Asynchronous when sync is false: progress arrives as call-state events.
    virtual void Connect(bool sync) = 0;
    virtual void Answer() = 0;
    virtual void Disconnect(long code) = 0;
};

// One address of the service (a line or a phone).
class ITAddress {
public:
    virtual ~ITAddress() = default;
    virtual QString get_AddressName() = 0;
    virtual bool QueryMediaType(long mediaType) = 0;
    virtual std::shared_ptr<ITBasicCallControl> CreateCall(const QString& destAddress,
                                                           long addressType, long mediaTypes) = 0;
};

// The address collection: items numbered from 1.
class ITCollection {
public:
    explicit ITCollection(QList<std::shared_ptr<ITAddress>> items) : m_items(std::move(items)) {}
    long get_Count() const { return static_cast<long>(m_items.size()); }
    // Raises 9 outside 1..count.
    std::shared_ptr<ITAddress> get_Item(long index) const;

private:
    QList<std::shared_ptr<ITAddress>> m_items;
};

// Event objects. The handler asks for the kind it expects with
// queryEvent<T>(), which raises a telephony error when the object is of
// another kind (the failed interface query).
class ITEventObject {
public:
    virtual ~ITEventObject() = default;
};

class ITAddressEvent : public ITEventObject {
public:
    virtual ADDRESS_EVENT get_Event() = 0;
    virtual std::shared_ptr<ITAddress> get_Address() = 0;
};

class ITCallNotificationEvent : public ITEventObject {
public:
    virtual CALL_NOTIFICATION_EVENT get_Event() = 0;
    virtual std::shared_ptr<ITBasicCallControl> get_Call() = 0;
};

class ITCallStateEvent : public ITEventObject {
public:
    virtual CALL_STATE get_State() = 0;
    virtual std::shared_ptr<ITBasicCallControl> get_Call() = 0;
};

class ITCallInfoChangeEvent : public ITEventObject {
public:
    virtual CALLINFOCHANGE_CAUSE get_Cause() = 0;
    virtual std::shared_ptr<ITBasicCallControl> get_Call() = 0;
};

// The telephony object. Events are posted onto the Qt event loop in the
// order they happen and are never emitted from inside a call into the layer.
class ITTAPI : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~ITTAPI() override = default;

    virtual void Initialize() = 0;
    virtual void put_EventFilter(long filter) = 0;
    virtual std::shared_ptr<ITCollection> get_Addresses() = 0;
    // Answers a registration cookie. Registering the same address again
    // does not duplicate its events.
    virtual long RegisterCallNotifications(const std::shared_ptr<ITAddress>& address, bool monitor,
                                           bool owner, long mediaTypes, long callbackInstance) = 0;
    // Withdraws the registration of that cookie; an unknown cookie does nothing.
    virtual void UnregisterNotifications(long cookie) = 0;
    // Shutting down an object that is already shut down does nothing.
    virtual void Shutdown() = 0;

signals:
    void Event(long tapiEvent, std::shared_ptr<ITEventObject> event);
};

[[noreturn]] void raiseTelephonyError(const QString& description);

// The caller or called number asked for by get_CallInfoString; raises when the
// line has none (or for any other item).
QString callInfoNumber(long which, const std::optional<QString>& caller,
                       const std::optional<QString>& called);

template <typename T> std::shared_ptr<T> queryEvent(const std::shared_ptr<ITEventObject>& ev) {
    auto p = std::dynamic_pointer_cast<T>(ev);
    if (!p)
        raiseTelephonyError(QStringLiteral("No such interface supported"));
    return p;
}
