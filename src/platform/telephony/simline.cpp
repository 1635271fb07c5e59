#include "platform/telephony/simline.h"

#include "platform/errors.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <map>

namespace {

// Limit for one control line; longer input is refused and the peer dropped.
constexpr qsizetype MaxCommandLine = 1024;
// Replies a client leaves unread; past this it is dropped.
constexpr qint64 MaxPendingReplies = 64 * 1024;

[[noreturn]] void fail(const QString& what) {
    raiseTelephonyError(what);
}

} // namespace

// State shared by a telephony object and every address and call it handed
// out, so those stay valid (and fail cleanly) after it is shut down or gone.
// The handles own the state, never the other way round: the state only
// remembers them weakly, so that one call or address keeps one handle while
// the program holds it.
struct SimTapiState {
    bool initialized = false;
    bool shutdown = false;
    long filter = 0;
    QSet<int> registered;
    std::map<int, std::weak_ptr<ITBasicCallControl>> calls;
    std::map<int, std::weak_ptr<ITAddress>> addresses;

    void checkUsable() const {
        if (shutdown)
            fail(QStringLiteral("The telephony object has been shut down"));
        if (!initialized)
            fail(QStringLiteral("The telephony object is not initialized"));
    }
};

class SimTapi : public ITTAPI {
public:
    SimTapi() : m_state(std::make_shared<SimTapiState>()) {}
    ~SimTapi() override { SimLine::instance().tapiGone(this); }

    void Initialize() override {
        if (m_state->shutdown)
            fail(QStringLiteral("The telephony object has been shut down"));
        SimLine::instance().checkFail(SimLine::Op::Initialize);
        m_state->initialized = true;
    }
    void put_EventFilter(long filter) override {
        m_state->checkUsable();
        SimLine::instance().checkFail(SimLine::Op::EventFilter);
        m_state->filter = filter;
    }
    std::shared_ptr<ITCollection> get_Addresses() override;
    long RegisterCallNotifications(const std::shared_ptr<ITAddress>& address, bool monitor,
                                   bool owner, long mediaTypes, long callbackInstance) override;
    void UnregisterNotifications(long cookie) override {
        m_state->registered.remove(static_cast<int>(cookie - 1));
        SimLine::instance().updateListening();
    }
    void Shutdown() override {
        if (m_state->shutdown)
            return;
        SimLine::instance().checkFail(SimLine::Op::Shutdown);
        m_state->shutdown = true;
        m_state->registered.clear();
        SimLine::instance().tapiGone(this);
    }

    bool live() const { return m_state->initialized && !m_state->shutdown; }
    bool wants(long code, int address, const SimLine::Call* call) const {
        if (!live() || !(m_state->filter & code))
            return false;
        return m_state->registered.contains(address) || (call && call->creator == this);
    }
    bool hasRegistrations() const { return live() && !m_state->registered.isEmpty(); }

    std::shared_ptr<ITAddress> addressHandle(int index);
    std::shared_ptr<ITBasicCallControl> callHandle(int id);

    // Posts the event; it is dropped when the object is shut down or gone
    // before the event loop gets to it.
    void post(long code, std::shared_ptr<ITEventObject> ev) {
        auto state = m_state;
        QMetaObject::invokeMethod(
            this,
            [this, state, code, ev] {
                if (!state->shutdown)
                    emit Event(code, ev);
            },
            Qt::QueuedConnection);
    }

    std::shared_ptr<SimTapiState> m_state;
};

class SimAddressHandle : public ITAddress {
public:
    SimAddressHandle(std::shared_ptr<SimTapiState> owner, QPointer<SimTapi> tapi, int index)
        : m_owner(std::move(owner)), m_tapi(std::move(tapi)), m_index(index) {}

    QString get_AddressName() override {
        m_owner->checkUsable();
        SimLine::instance().checkFail(SimLine::Op::AddressName);
        return SimLine::instance().m_addresses.value(m_index).name;
    }
    bool QueryMediaType(long mediaType) override {
        m_owner->checkUsable();
        SimLine::instance().checkFail(SimLine::Op::QueryMediaType);
        return (SimLine::instance().m_addresses.value(m_index).media & mediaType) != 0;
    }
    std::shared_ptr<ITBasicCallControl> CreateCall(const QString& dest, long addressType,
                                                   long mediaTypes) override {
        m_owner->checkUsable();
        SimLine& line = SimLine::instance();
        line.checkFail(SimLine::Op::CreateCall);
        if (addressType != LINEADDRESSTYPE_PHONENUMBER)
            fail(QStringLiteral("Address type not supported"));
        if ((line.m_addresses.value(m_index).media & mediaTypes) == 0 || mediaTypes == 0)
            fail(QStringLiteral("Media type not supported"));
        if (!m_tapi)
            fail(QStringLiteral("The telephony object has been released"));
        const int id = line.createCall(m_tapi, m_index, dest);
        return m_tapi->callHandle(id);
    }
    int index() const { return m_index; }
    const SimTapiState* owner() const { return m_owner.get(); }

private:
    std::shared_ptr<SimTapiState> m_owner;
    QPointer<SimTapi> m_tapi;
    int m_index;
};

class SimCallHandle : public ITBasicCallControl {
public:
    SimCallHandle(std::shared_ptr<SimTapiState> owner, int id)
        : m_owner(std::move(owner)), m_id(id) {}

    CALL_STATE get_CallState() override {
        SimLine::Call& c = call(SimLine::Op::CallState);
        return c.state;
    }
    QString get_CallInfoString(long which) override {
        SimLine::Call& c = call(SimLine::Op::CallInfoString);
        return callInfoNumber(which, c.callerNumber, c.calledNumber);
    }
    void Connect(bool) override {
        SimLine::Call& c = call(SimLine::Op::Connect);
        if (c.state != CS_IDLE)
            fail(QStringLiteral("The call cannot be connected in its current state"));
        SimLine::instance().setState(m_id, CS_INPROGRESS);
        // The line confirms the number it dials.
        if (c.calledNumber)
            SimLine::instance().postCallInfo(c, CIC_CALLEDID);
    }
    void Answer() override {
        SimLine::Call& c = call(SimLine::Op::Answer);
        if (c.state != CS_OFFERING)
            fail(QStringLiteral("The call cannot be answered in its current state"));
        ++SimLine::instance().m_answered;
        SimLine::instance().setState(m_id, CS_CONNECTED);
    }
    void Disconnect(long) override {
        SimLine::Call& c = call(SimLine::Op::Disconnect);
        if (c.state == CS_DISCONNECTED)
            fail(QStringLiteral("The call is already disconnected"));
        SimLine::instance().setState(m_id, CS_DISCONNECTED);
    }

private:
    SimLine::Call& call(SimLine::Op op) {
        m_owner->checkUsable();
        SimLine::instance().checkFail(op);
        SimLine::Call* c = SimLine::instance().findCall(m_id);
        if (!c)
            fail(QStringLiteral("The call no longer exists"));
        return *c;
    }
    std::shared_ptr<SimTapiState> m_owner;
    int m_id;
};

namespace {

class AddressEvent : public ITAddressEvent {
public:
    AddressEvent(ADDRESS_EVENT e, std::shared_ptr<ITAddress> a)
        : m_event(e), m_address(std::move(a)) {}
    ADDRESS_EVENT get_Event() override { return m_event; }
    std::shared_ptr<ITAddress> get_Address() override { return m_address; }

private:
    ADDRESS_EVENT m_event;
    std::shared_ptr<ITAddress> m_address;
};

class NotificationEvent : public ITCallNotificationEvent {
public:
    explicit NotificationEvent(std::shared_ptr<ITBasicCallControl> c) : m_call(std::move(c)) {}
    CALL_NOTIFICATION_EVENT get_Event() override { return CNE_OWNER; }
    std::shared_ptr<ITBasicCallControl> get_Call() override { return m_call; }

private:
    std::shared_ptr<ITBasicCallControl> m_call;
};

class StateEvent : public ITCallStateEvent {
public:
    StateEvent(CALL_STATE s, std::shared_ptr<ITBasicCallControl> c)
        : m_state(s), m_call(std::move(c)) {}
    CALL_STATE get_State() override { return m_state; }
    std::shared_ptr<ITBasicCallControl> get_Call() override { return m_call; }

private:
    CALL_STATE m_state;
    std::shared_ptr<ITBasicCallControl> m_call;
};

class InfoChangeEvent : public ITCallInfoChangeEvent {
public:
    InfoChangeEvent(CALLINFOCHANGE_CAUSE cause, std::shared_ptr<ITBasicCallControl> c)
        : m_cause(cause), m_call(std::move(c)) {}
    CALLINFOCHANGE_CAUSE get_Cause() override { return m_cause; }
    std::shared_ptr<ITBasicCallControl> get_Call() override { return m_call; }

private:
    CALLINFOCHANGE_CAUSE m_cause;
    std::shared_ptr<ITBasicCallControl> m_call;
};

QString stateName(std::optional<CALL_STATE> s) {
    if (!s)
        return QStringLiteral("none");
    switch (*s) {
    case CS_IDLE:
        return QStringLiteral("idle");
    case CS_INPROGRESS:
        return QStringLiteral("inprogress");
    case CS_CONNECTED:
        return QStringLiteral("connected");
    case CS_DISCONNECTED:
        return QStringLiteral("disconnected");
    case CS_OFFERING:
        return QStringLiteral("offering");
    case CS_HOLD:
        return QStringLiteral("hold");
    case CS_QUEUED:
        return QStringLiteral("queued");
    }
    return QStringLiteral("none");
}

} // namespace

std::shared_ptr<ITCollection> SimTapi::get_Addresses() {
    m_state->checkUsable();
    SimLine::instance().checkFail(SimLine::Op::GetAddresses);
    QList<std::shared_ptr<ITAddress>> items;
    for (int i = 0; i < SimLine::instance().addressCount(); ++i)
        items.append(addressHandle(i));
    return std::make_shared<ITCollection>(items);
}

long SimTapi::RegisterCallNotifications(const std::shared_ptr<ITAddress>& address, bool monitor,
                                        bool owner, long mediaTypes, long) {
    m_state->checkUsable();
    SimLine::instance().checkFail(SimLine::Op::Register);
    auto* a = dynamic_cast<SimAddressHandle*>(address.get());
    if (!a || a->owner() != m_state.get())
        fail(QStringLiteral("The address does not belong to this telephony object"));
    if (!monitor && !owner)
        fail(QStringLiteral("Neither monitor nor owner privilege requested"));
    if ((SimLine::instance().m_addresses.value(a->index()).media & mediaTypes) == 0)
        fail(QStringLiteral("Media type not supported"));
    m_state->registered.insert(a->index());
    SimLine::instance().updateListening();
    return a->index() + 1;
}

std::shared_ptr<ITAddress> SimTapi::addressHandle(int index) {
    auto& weak = m_state->addresses[index];
    auto h = weak.lock();
    if (!h) {
        h = std::make_shared<SimAddressHandle>(m_state, QPointer<SimTapi>(this), index);
        weak = h;
    }
    return h;
}

std::shared_ptr<ITBasicCallControl> SimTapi::callHandle(int id) {
    auto& weak = m_state->calls[id];
    auto h = weak.lock();
    if (!h) {
        h = std::make_shared<SimCallHandle>(m_state, id);
        weak = h;
    }
    return h;
}

SimLine::SimLine() {
    reset();
}

SimLine& SimLine::instance() {
    static SimLine* line = new SimLine; // lives to the end of the process
    return *line;
}

void SimLine::reset() {
    m_addresses = {Address{QLatin1String(LineName), TAPIMEDIATYPE_AUDIO}};
    m_calls.clear();
    m_nextCall = 1;
    m_answered = 0;
    m_dialled.clear();
    m_failures.clear();
}

void SimLine::checkFail(Op op) {
    if (m_failures.remove(op))
        fail(QStringLiteral("Simulated failure"));
}

std::shared_ptr<ITTAPI> SimLine::createTapiObject() {
    checkFail(Op::Create);
    auto t = std::make_shared<SimTapi>();
    tapiCreated(t.get());
    return t;
}

void SimLine::tapiCreated(SimTapi* t) {
    m_tapis.append(QPointer<SimTapi>(t));
    updateListening();
}

void SimLine::tapiGone(SimTapi* t) {
    m_tapis.removeAll(QPointer<SimTapi>(t));
    m_tapis.removeAll(QPointer<SimTapi>());
    updateListening();
}

int SimLine::addAddress(const QString& name, long mediaTypes) {
    m_addresses.append(Address{name, mediaTypes});
    return static_cast<int>(m_addresses.size() - 1);
}

SimLine::Call* SimLine::findCall(int id) {
    for (Call& c : m_calls)
        if (c.id == id)
            return &c;
    return nullptr;
}

const SimLine::Call* SimLine::findCall(int id) const {
    for (const Call& c : m_calls)
        if (c.id == id)
            return &c;
    return nullptr;
}

std::optional<CALL_STATE> SimLine::callState(int call) const {
    const Call* c = findCall(call);
    if (!c)
        return std::nullopt;
    return c->state;
}

int SimLine::currentCall() const {
    return m_calls.isEmpty() ? -1 : m_calls.last().id;
}

void SimLine::ring(int address) {
    if (address < 0 || address >= m_addresses.size())
        return;
    for (const auto& t : std::as_const(m_tapis))
        if (t && t->wants(TE_ADDRESS, address, nullptr))
            t->post(TE_ADDRESS,
                    std::make_shared<AddressEvent>(AE_RINGING, t->addressHandle(address)));
}

int SimLine::offer(std::optional<QString> callerNumber, CALL_STATE state, int address,
                   std::optional<QString> calledNumber) {
    if (address < 0 || address >= m_addresses.size())
        return -1;
    Call c;
    c.id = m_nextCall++;
    c.address = address;
    c.state = state;
    c.callerNumber = std::move(callerNumber);
    c.calledNumber = std::move(calledNumber);
    c.outgoing = state == CS_INPROGRESS;
    m_calls.append(c);
    for (const auto& t : std::as_const(m_tapis))
        if (t && t->wants(TE_CALLNOTIFICATION, address, nullptr))
            t->post(TE_CALLNOTIFICATION, std::make_shared<NotificationEvent>(t->callHandle(c.id)));
    return c.id;
}

int SimLine::createCall(SimTapi* creator, int address, const QString& dest) {
    Call c;
    c.id = m_nextCall++;
    c.address = address;
    c.state = CS_IDLE;
    if (!dest.isEmpty())
        c.calledNumber = dest;
    c.creator = creator;
    c.outgoing = true;
    m_calls.append(c);
    m_dialled = dest;
    return c.id;
}

bool SimLine::setCallerNumber(int call, std::optional<QString> number) {
    Call* c = findCall(call);
    if (!c)
        return false;
    c->callerNumber = std::move(number);
    postCallInfo(*c, CIC_CALLERID);
    return true;
}

bool SimLine::setCalledNumber(int call, std::optional<QString> number) {
    Call* c = findCall(call);
    if (!c)
        return false;
    c->calledNumber = std::move(number);
    postCallInfo(*c, CIC_CALLEDID);
    return true;
}

bool SimLine::setState(int call, CALL_STATE state) {
    Call* c = findCall(call);
    if (!c)
        return false;
    c->state = state;
    postCallState(*c);
    if (state == CS_DISCONNECTED)
        forgetCall(call);
    return true;
}

void SimLine::forgetCall(int id) {
    for (const auto& t : std::as_const(m_tapis))
        if (t)
            t->m_state->calls.erase(id);
    m_calls.removeIf([id](const Call& c) { return c.id == id; });
}

void SimLine::postCallState(const Call& c) {
    for (const auto& t : std::as_const(m_tapis))
        if (t && t->wants(TE_CALLSTATE, c.address, &c))
            t->post(TE_CALLSTATE, std::make_shared<StateEvent>(c.state, t->callHandle(c.id)));
}

void SimLine::postCallInfo(const Call& c, CALLINFOCHANGE_CAUSE cause) {
    for (const auto& t : std::as_const(m_tapis))
        if (t && t->wants(TE_CALLINFOCHANGE, c.address, &c))
            t->post(TE_CALLINFOCHANGE,
                    std::make_shared<InfoChangeEvent>(cause, t->callHandle(c.id)));
}

bool SimLine::registered() const {
    for (const auto& t : m_tapis)
        if (t && t->hasRegistrations())
            return true;
    return false;
}

QString SimLine::status() const {
    const Call* c = findCall(currentCall());
    QString number;
    if (c)
        number = (c->outgoing ? c->calledNumber : c->callerNumber).value_or(QString());
    return QStringLiteral("registered=") + (registered() ? u'1' : u'0') + QStringLiteral(" call=") +
           stateName(c ? std::optional<CALL_STATE>(c->state) : std::nullopt) +
           QStringLiteral(" number=") + number + QStringLiteral(" answered=") +
           QString::number(m_answered) + QStringLiteral(" dialled=") + m_dialled;
}

QString SimLine::handleCommand(const QString& line) {
    const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QStringLiteral("ERR empty command");
    const QString cmd = words[0].toLower();
    const QStringList args = words.mid(1);
    auto noArgs = [&] { return args.isEmpty(); };
    const int current = currentCall();
    const Call* c = findCall(current);
    const bool live = c && c->state != CS_DISCONNECTED;

    if (cmd == u"status" && noArgs())
        return QStringLiteral("OK ") + status();
    if (cmd == u"ring" && noArgs()) {
        ring(0);
        return QStringLiteral("OK");
    }
    if (cmd == u"offer" && args.size() <= 1) {
        const int id = offer(args.isEmpty() ? std::nullopt : std::optional<QString>(args[0]));
        return QStringLiteral("OK call=%1").arg(id);
    }
    if (cmd == u"callerid" && args.size() == 1) {
        if (!live)
            return QStringLiteral("ERR no call");
        setCallerNumber(current, args[0]);
        return QStringLiteral("OK");
    }
    if (cmd == u"connect" && noArgs()) {
        if (!live)
            return QStringLiteral("ERR no call");
        if (c->state == CS_CONNECTED)
            return QStringLiteral("ERR already connected");
        setState(current, CS_CONNECTED);
        return QStringLiteral("OK");
    }
    if (cmd == u"hangup" && noArgs()) {
        if (!live)
            return QStringLiteral("ERR no call");
        hangup(current);
        return QStringLiteral("OK");
    }
    if (cmd == u"status" || cmd == u"ring" || cmd == u"offer" || cmd == u"callerid" ||
        cmd == u"connect" || cmd == u"hangup")
        return QStringLiteral("ERR wrong arguments");
    return QStringLiteral("ERR unknown command");
}

QString SimLine::socketPath() {
    const QString env = qEnvironmentVariable("TAMRIVO_SIMLINE_SOCKET");
    if (!env.isEmpty())
        return env;
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(dir).filePath(QStringLiteral("tamrivo-simline"));
}

bool SimLine::isListening() const {
    return m_server && m_server->isListening();
}

void SimLine::updateListening() {
    bool anyLive = false;
    for (const auto& t : std::as_const(m_tapis))
        if (t && !t->m_state->shutdown)
            anyLive = true;
    if (anyLive && !m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        const QString path = socketPath();
        QLocalServer::removeServer(path); // a socket left by a killed run
        if (!m_server->listen(path)) {
            qWarning("tamrivo: simulated line cannot listen on %s: %s", qPrintable(path),
                     qPrintable(m_server->errorString()));
            delete m_server;
            m_server = nullptr;
            return;
        }
        connect(m_server, &QLocalServer::newConnection, this, &SimLine::onNewConnection);
    } else if (!anyLive && m_server) {
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
    }
}

void SimLine::onNewConnection() {
    while (m_server && m_server->hasPendingConnections()) {
        QLocalSocket* s = m_server->nextPendingConnection();
        connect(s, &QLocalSocket::readyRead, this, [this, s] { onReadyRead(s); });
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    }
}

void SimLine::onReadyRead(QLocalSocket* s) {
    while (s->canReadLine()) {
        QByteArray raw = s->readLine(MaxCommandLine + 2);
        if (!raw.endsWith('\n')) {
            s->write("ERR line too long\n");
            s->disconnectFromServer();
            return;
        }
        raw.chop(1);
        if (raw.endsWith('\r'))
            raw.chop(1);
        QString reply;
        trapErrors([&] { reply = handleCommand(QString::fromUtf8(raw)); });
        if (reply.isEmpty())
            reply = QStringLiteral("ERR failed");
        s->write(reply.toUtf8() + '\n');
        if (s->bytesToWrite() > MaxPendingReplies) {
            s->abort(); // it sends commands but does not read the replies
            return;
        }
    }
    if (s->bytesAvailable() > MaxCommandLine) {
        s->write("ERR line too long\n");
        s->disconnectFromServer();
    }
}
