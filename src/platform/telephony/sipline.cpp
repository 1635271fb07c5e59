#include "platform/telephony/sipline.h"

#include "platform/errors.h"
#include "platform/prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <csignal>
#include <map>
#include <sys/prctl.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int ConnectTimeoutMs = 10000;
constexpr const char* ModulePath = "/usr/lib/baresip/modules";

SipConfig& configRef() {
    static SipConfig c;
    return c;
}

SipLine::TextLookup gTexts = nullptr;

QString text(int id) {
    return gTexts ? gTexts(id) : QStringLiteral("[%1]").arg(id);
}

[[noreturn]] void fail(const QString& what) {
    raiseTelephonyError(what);
}

// Told once the current event is handled, so a message box never runs the
// line's later events inside this one.
void reportLater(const QString& what) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [what] { reportCaught(text(16278), AppError(ErrNum::SipLine, what, text(16278))); },
        Qt::QueuedConnection);
}
void tellLater(const QString& what) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [what] { Prompter::msgBox(what, Msg::OKOnly | Msg::Information, text(16278)); },
        Qt::QueuedConnection);
}

// The event types baresip 1.0 sends; anything else means the peer is not
// the program it should be.
bool knownEvent(const QString& type) {
    static const QSet<QString> known = {
        QStringLiteral("REGISTERING"),     QStringLiteral("REGISTER_OK"),
        QStringLiteral("REGISTER_FAIL"),   QStringLiteral("UNREGISTERING"),
        QStringLiteral("FALLBACK_OK"),     QStringLiteral("FALLBACK_FAIL"),
        QStringLiteral("MWI_NOTIFY"),      QStringLiteral("CREATE"),
        QStringLiteral("SHUTDOWN"),        QStringLiteral("EXIT"),
        QStringLiteral("CALL_INCOMING"),   QStringLiteral("CALL_OUTGOING"),
        QStringLiteral("CALL_RINGING"),    QStringLiteral("CALL_PROGRESS"),
        QStringLiteral("CALL_ANSWERED"),   QStringLiteral("CALL_ESTABLISHED"),
        QStringLiteral("CALL_CLOSED"),     QStringLiteral("CALL_TRANSFER"),
        QStringLiteral("CALL_TRANSFER_FAILED"), QStringLiteral("CALL_REDIRECT"),
        QStringLiteral("CALL_DTMF_START"), QStringLiteral("CALL_DTMF_END"),
        QStringLiteral("CALL_RTPESTAB"),   QStringLiteral("CALL_RTCP"),
        QStringLiteral("CALL_MENC"),       QStringLiteral("VU_TX"),
        QStringLiteral("VU_RX"),           QStringLiteral("AUDIO_ERROR"),
        QStringLiteral("CALL_LOCAL_SDP"),  QStringLiteral("CALL_REMOTE_SDP"),
        QStringLiteral("CALL_HOLD"),       QStringLiteral("CALL_RESUME"),
        QStringLiteral("REFER"),           QStringLiteral("MODULE"),
        QStringLiteral("END_OF_FILE"),     QStringLiteral("CUSTOM"),
        QStringLiteral("SIPSESS_CONN"),
    };
    return known.contains(type);
}

template <typename Base, typename Kind> class Event : public Base {
public:
    Event(Kind kind, std::shared_ptr<ITBasicCallControl> call) : m_kind(kind), m_call(std::move(call)) {}
    std::shared_ptr<ITBasicCallControl> get_Call() override { return m_call; }

protected:
    Kind m_kind;
    std::shared_ptr<ITBasicCallControl> m_call;
};

class StateEvent : public Event<ITCallStateEvent, CALL_STATE> {
public:
    using Event::Event;
    CALL_STATE get_State() override { return m_kind; }
};

class NotificationEvent : public Event<ITCallNotificationEvent, CALL_NOTIFICATION_EVENT> {
public:
    using Event::Event;
    CALL_NOTIFICATION_EVENT get_Event() override { return m_kind; }
};

class InfoChangeEvent : public Event<ITCallInfoChangeEvent, CALLINFOCHANGE_CAUSE> {
public:
    using Event::Event;
    CALLINFOCHANGE_CAUSE get_Cause() override { return m_kind; }
};

class AddressEvent : public ITAddressEvent {
public:
    AddressEvent(ADDRESS_EVENT e, std::shared_ptr<ITAddress> a) : m_event(e), m_address(std::move(a)) {}
    ADDRESS_EVENT get_Event() override { return m_event; }
    std::shared_ptr<ITAddress> get_Address() override { return m_address; }

private:
    ADDRESS_EVENT m_event;
    std::shared_ptr<ITAddress> m_address;
};

struct SipCall {
    QString sipId; // baresip's call id; empty until an event names it
    CALL_STATE state = CS_IDLE;
    std::optional<QString> callerNumber;
    std::optional<QString> calledNumber;
};

} // namespace

class SipTapi;

// Shared by the telephony object and the handles it gave out, so those stay
// valid (and fail cleanly) once it is shut down or gone.
struct SipState {
    bool initialized = false;
    bool shutdown = false;
    // The program watches the address: baresip runs and call events flow.
    // Whether a registrar accepts the account only changes what is told.
    bool subscribed = false;
    long filter = 0;
    QString addressName;
    std::map<int, SipCall> calls;
    std::map<int, std::shared_ptr<ITBasicCallControl>> handles;
    std::shared_ptr<ITAddress> address;
    QPointer<SipTapi> tapi;

    void checkUsable() const {
        if (shutdown || !initialized)
            fail(text(16272));
    }
    SipTapi& line() const {
        checkUsable();
        if (!tapi)
            fail(text(16272));
        return *tapi;
    }
    SipCall& call(int id) {
        checkUsable();
        auto it = calls.find(id);
        if (it == calls.end())
            fail(text(16273));
        return it->second;
    }
};

class SipTapi : public ITTAPI {
public:
    SipTapi();
    ~SipTapi() override { stop(); }

    void Initialize() override;
    void put_EventFilter(long filter) override {
        m_state->checkUsable();
        m_state->filter = filter;
    }
    std::shared_ptr<ITCollection> get_Addresses() override {
        m_state->checkUsable();
        return std::make_shared<ITCollection>(QList<std::shared_ptr<ITAddress>>{m_state->address});
    }
    long RegisterCallNotifications(const std::shared_ptr<ITAddress>& address, bool monitor,
                                   bool owner, long mediaTypes, long) override {
        m_state->checkUsable();
        if (address != m_state->address)
            fail(QStringLiteral("The address does not belong to this telephony object"));
        if (!monitor && !owner)
            fail(QStringLiteral("Neither monitor nor owner privilege requested"));
        if (!(mediaTypes & TAPIMEDIATYPE_AUDIO))
            fail(QStringLiteral("Media type not supported"));
        m_state->subscribed = true;
        if (!m_process && !m_restart.isActive())
            start();
        return 1;
    }
    // Another address is watched: baresip ends, and its calls with it.
    void UnregisterNotifications(long cookie) override {
        if (cookie != 1 || !m_state->subscribed)
            return;
        endCalls();
        m_state->subscribed = false;
        m_restart.stop();
        stop();
    }
    void Shutdown() override {
        if (m_state->shutdown)
            return;
        m_state->shutdown = true;
        m_restart.stop();
        stop();
    }

    // Reached through the handles.
    int createCall(const QString& dest);
    void connectCall(int id);
    void answer(int id);
    void disconnect(int id);

private:
    bool linkUp() const { return m_socket && m_ready; }
    void start();
    void stop();
    bool writeFiles(const QString& dir, quint16 ctrlPort);
    void tryConnect();
    bool ownSocket(const char* state) const;
    void onReadyRead();
    bool handle(const QJsonObject& msg);
    void onResponse(const QString& token, bool ok, const QString& data);
    void onCallEvent(const QString& type, const QJsonObject& msg);
    void lineFailed(const QString& why, bool now = false);
    void endCalls();
    void send(const QString& command, const QString& params, const QString& token);
    void command(int id, const QString& action);
    std::shared_ptr<ITBasicCallControl> handle(int id);
    void post(long code, std::shared_ptr<ITEventObject> ev);
    void postAddress(ADDRESS_EVENT e);
    void setState(int id, CALL_STATE s);
    int addCall(SipCall c);
    void answerTimedOut();

    std::shared_ptr<SipState> m_state;
    QProcess* m_process = nullptr;
    QTcpSocket* m_socket = nullptr;
    QTimer m_retry;
    QTimer m_restart;
    QTimer m_answerTimer;
    QElapsedTimer m_connectClock;
    NetstringReader m_reader;
    quint16 m_ctrlPort = 0;
    bool m_linked = false; // connected to our own baresip
    bool m_ready = false;  // and the account set up
    bool m_outage = false; // the user was told that the line is out of service
    bool m_regFailTold = false;
    int m_failures = 0; // restarts in a row
    int m_nextCall = 1;
    int m_answering = -1;
    int m_dialling = -1; // placed by the program, not yet named by baresip
    QString m_log;
};

namespace {

// Handles outlive the telephony object; their operations then fail.
std::shared_ptr<SipState> lockState(const std::weak_ptr<SipState>& state) {
    auto s = state.lock();
    if (!s)
        fail(text(16272));
    return s;
}

class SipAddress : public ITAddress {
public:
    explicit SipAddress(std::weak_ptr<SipState> s) : m_state(std::move(s)) {}
    QString get_AddressName() override {
        auto s = state();
        s->checkUsable();
        return s->addressName;
    }
    bool QueryMediaType(long mediaType) override {
        state()->checkUsable();
        return (mediaType & TAPIMEDIATYPE_AUDIO) != 0;
    }
    std::shared_ptr<ITBasicCallControl> CreateCall(const QString& dest, long addressType,
                                                   long mediaTypes) override {
        auto s = state();
        SipTapi& line = s->line();
        if (addressType != LINEADDRESSTYPE_PHONENUMBER)
            fail(QStringLiteral("Address type not supported"));
        if (!(mediaTypes & TAPIMEDIATYPE_AUDIO))
            fail(QStringLiteral("Media type not supported"));
        return s->handles.at(line.createCall(dest));
    }

private:
    std::shared_ptr<SipState> state() const { return lockState(m_state); }
    std::weak_ptr<SipState> m_state;
};

class SipCallHandle : public ITBasicCallControl {
public:
    SipCallHandle(std::weak_ptr<SipState> s, int id) : m_state(std::move(s)), m_id(id) {}
    CALL_STATE get_CallState() override { return call().state; }
    QString get_CallInfoString(long which) override {
        const SipCall& c = call();
        return callInfoNumber(which, c.callerNumber, c.calledNumber);
    }
    void Connect(bool) override {
        call();
        state()->line().connectCall(m_id);
    }
    void Answer() override {
        call();
        state()->line().answer(m_id);
    }
    void Disconnect(long) override {
        call();
        state()->line().disconnect(m_id);
    }

private:
    std::shared_ptr<SipState> state() const { return lockState(m_state); }
    SipCall& call() { return state()->call(m_id); }
    // Weak: the state holds the handles.
    std::weak_ptr<SipState> m_state;
    int m_id;
};

QString configFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tamrivo/baresip");
}

bool saveFile(const QString& path, const QByteArray& data) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    f.write(data);
    if (!f.commit())
        return false;
    return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace

SipTapi::SipTapi() : m_state(std::make_shared<SipState>()) {
    m_state->tapi = this;
    m_state->address = std::make_shared<SipAddress>(m_state);
    const SipConfig& c = SipLine::config();
    m_state->addressName =
        c.addressName.isEmpty() ? SipLine::accountAddress(c.account) : c.addressName;
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] { tryConnect(); });
    m_restart.setSingleShot(true);
    connect(&m_restart, &QTimer::timeout, this, [this] { start(); });
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setInterval(SipLine::AnswerTimeoutMs);
    connect(&m_answerTimer, &QTimer::timeout, this, [this] { answerTimedOut(); });
}

void SipTapi::Initialize() {
    if (m_state->shutdown)
        fail(text(16272));
    m_state->initialized = true;
}

// Starts baresip; the link comes up later, from the event loop.
void SipTapi::start() {
    if (!m_state->subscribed || m_state->shutdown)
        return;
    const SipConfig& c = SipLine::config();
    const QString dir = configFolder();
    m_log = dir + QStringLiteral("/baresip.log");
    {
        QTcpServer probe; // a loopback port free right now
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return lineFailed(text(16252));
        m_ctrlPort = probe.serverPort();
    }
    if (!writeFiles(dir, m_ctrlPort))
        return lineFailed(text(16253).arg(dir));
    m_process = new QProcess(this);
    m_process->setStandardOutputFile(m_log);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    // baresip ends with the program, even when the program is killed.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    connect(m_process, &QProcess::errorOccurred, this,
            [this, program = c.program](QProcess::ProcessError e) {
                if (e == QProcess::FailedToStart)
                    lineFailed(text(16254).arg(program, QLatin1String(SipLine::Package)));
            });
    connect(m_process, &QProcess::finished, this,
            [this](int code) { lineFailed(text(16255).arg(code).arg(m_log)); });
    connect(m_process, &QProcess::started, this, [this] {
        m_connectClock.start();
        tryConnect();
    });
    m_process->start(c.program, {QStringLiteral("-f"), dir});
}

bool SipTapi::writeFiles(const QString& dir, quint16 ctrlPort) {
    const SipConfig& c = SipLine::config();
    if (!QDir().mkpath(dir) ||
        !QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner))
        return false;
    const QString driver = c.audioDevice.section(u',', 0, 0);
    QStringList lines = {
        QStringLiteral("# Written by Tamrivo at every start of the SIP line."),
        QStringLiteral("module_path ") + QLatin1String(ModulePath),
        QStringLiteral("module g711.so"),
        QStringLiteral("module g722.so"),
        QStringLiteral("module %1.so").arg(driver),
        QStringLiteral("audio_player ") + c.audioDevice,
        QStringLiteral("audio_source ") + c.audioDevice,
        QStringLiteral("audio_alert ") + c.audioDevice,
        QStringLiteral("module_tmp account.so"),
        QStringLiteral("module_app menu.so"),
        QStringLiteral("module_app ctrl_tcp.so"),
        QStringLiteral("ctrl_tcp_listen 127.0.0.1:%1").arg(ctrlPort),
    };
    if (!c.listen.isEmpty())
        lines << QStringLiteral("sip_listen ") + c.listen;
    if (!c.recordDir.isEmpty())
        lines << QStringLiteral("module sndfile.so") << QStringLiteral("snd_path ") + c.recordDir;
    return saveFile(dir + QStringLiteral("/config"), lines.join(u'\n').toUtf8() + '\n') &&
           saveFile(dir + QStringLiteral("/accounts"),
                    "# The account is set up over the control port.\n");
}

void SipTapi::tryConnect() {
    if (!m_process)
        return;
    delete m_socket;
    m_socket = new QTcpSocket(this);
    m_reader = NetstringReader();
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        // The port was free when probed; another program may have taken it since.
        if (!ownSocket("0A"))
            return lineFailed(text(16259));
        m_linked = true;
        // The account is set up over the link, so no registration event is lost.
        send(QStringLiteral("uanew"), SipLine::config().account, QStringLiteral("uanew"));
    });
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_linked) {
            // baresip drops this link for any newcomer on its control port.
            const bool taken = m_process->state() == QProcess::Running && ownSocket("01");
            lineFailed(taken ? text(16258) : text(16256).arg(m_socket->errorString()), taken);
        } else if (m_connectClock.elapsed() < ConnectTimeoutMs) {
            m_retry.start(50);
        } else {
            lineFailed(text(16257).arg(m_log));
        }
    });
    m_socket->connectToHost(QHostAddress::LocalHost, m_ctrlPort);
}

// Whether our baresip holds the socket that /proc/net/tcp lists on
// 127.0.0.1 at the control port in that state ("0A" listening, "01" linked).
bool SipTapi::ownSocket(const char* state) const {
    QFile net(QStringLiteral("/proc/net/tcp"));
    if (!m_process || !net.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local =
        "0100007F:" + QByteArray::number(m_ctrlPort, 16).toUpper().rightJustified(4, '0');
    QSet<QByteArray> sockets;
    for (const QByteArray& line : net.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 9 && f[1] == local && f[3] == state)
            sockets.insert("socket:[" + f[9] + ']');
    }
    const QString fds = QStringLiteral("/proc/%1/fd/").arg(m_process->processId());
    for (const QString& fd : QDir(fds).entryList(QDir::AllEntries | QDir::System)) {
        char target[64];
        const ssize_t n =
            ::readlink(QFile::encodeName(fds + fd).constData(), target, sizeof target);
        if (n > 0 && sockets.contains(QByteArray(target, n)))
            return true;
    }
    return false;
}

void SipTapi::stop() {
    m_retry.stop();
    m_answerTimer.stop();
    m_linked = m_ready = false;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    if (m_process) {
        m_process->disconnect(this);
        m_process->terminate();
        if (!m_process->waitForFinished(2000))
            m_process->kill();
        m_process->waitForFinished(1000);
        m_process->deleteLater(); // may be inside its own signal
        m_process = nullptr;
    }
}

void SipTapi::endCalls() {
    for (auto& [id, c] : m_state->calls)
        if (c.state != CS_DISCONNECTED)
            setState(id, CS_DISCONNECTED);
    m_answering = m_dialling = -1;
    m_answerTimer.stop();
}

// The line is gone: its calls end, the address is out of service, and
// baresip starts again after a pause (at once when another program took
// its link). The user hears of it once, and again when it is back.
void SipTapi::lineFailed(const QString& why, bool now) {
    stop();
    endCalls();
    postAddress(AE_STATE);
    if (!std::exchange(m_outage, true))
        reportLater(text(16250).arg(why));
    if (m_state->subscribed && !m_state->shutdown)
        m_restart.start(now ? 0 : SipLine::restartPauseMs(m_failures));
    m_failures = std::min(m_failures + 1, 30);
}

void SipTapi::send(const QString& command, const QString& params, const QString& token) {
    const QJsonObject o{{QStringLiteral("command"), command},
                        {QStringLiteral("params"), params},
                        {QStringLiteral("token"), token}};
    m_socket->write(NetstringReader::frame(QJsonDocument(o).toJson(QJsonDocument::Compact)));
}

// baresip's accept and hangup act on its current call: ours is chosen first.
void SipTapi::command(int id, const QString& action) {
    const QString& sipId = m_state->calls[id].sipId;
    if (sipId.isEmpty()) // a dial not named yet: baresip's newest call
        send(action, QString(), QStringLiteral("%1:%2").arg(action).arg(id));
    else
        send(QStringLiteral("callfind"), sipId, QStringLiteral("find:%1:%2").arg(id).arg(action));
}

void SipTapi::onReadyRead() {
    const QList<QByteArray> messages = m_reader.feed(m_socket->readAll());
    for (const QByteArray& m : messages) {
        // Names from the far end are copied byte for byte: bad UTF-8 is
        // replaced, it does not make the message unreadable.
        const QJsonDocument doc = QJsonDocument::fromJson(QString::fromUtf8(m).toUtf8());
        if (!doc.isObject())
            return lineFailed(text(16263));
        if (!handle(doc.object()) || !m_socket)
            return;
    }
    if (!m_reader.error().isEmpty())
        lineFailed(m_reader.error());
}

bool SipTapi::handle(const QJsonObject& msg) {
    if (msg.value(QStringLiteral("response")).toBool()) {
        onResponse(msg.value(QStringLiteral("token")).toString(),
                   msg.value(QStringLiteral("ok")).toBool(),
                   msg.value(QStringLiteral("data")).toString());
        return true;
    }
    const QString type = msg.value(QStringLiteral("type")).toString();
    if (!msg.value(QStringLiteral("event")).toBool() || !knownEvent(type)) {
        lineFailed(text(16264).arg(type));
        return false;
    }
    const QString param = msg.value(QStringLiteral("param")).toString();
    // A refusal carries the registrar's status ("403 Forbidden"); anything
    // else (a time-out, a network error) means it was not reached.
    static const QRegularExpression refusal(QStringLiteral("^[1-6][0-9][0-9] "));
    if (type == u"REGISTER_OK" && std::exchange(m_regFailTold, false))
        tellLater(text(16268));
    else if (type == u"REGISTER_FAIL" && !std::exchange(m_regFailTold, true))
        reportLater(text(refusal.match(param).hasMatch() ? 16266 : 16267).arg(param));
    else if (msg.value(QStringLiteral("class")).toString() == u"call")
        onCallEvent(type, msg);
    return true;
}

void SipTapi::onResponse(const QString& token, bool ok, const QString& data) {
    const QString kind = token.section(u':', 0, 0);
    const int id = token.section(u':', 1, 1).toInt();
    if (kind == u"uanew") {
        if (!ok || data.contains(QLatin1String("User Agents (0)")))
            return lineFailed(text(16265).arg(data.trimmed().section(u'\n', -1), m_log));
        m_ready = true;
        m_failures = 0;
        postAddress(AE_STATE);
        if (std::exchange(m_outage, false))
            tellLater(text(16251));
        return;
    }
    auto it = m_state->calls.find(id);
    if (it == m_state->calls.end())
        return;
    const bool ended = it->second.state == CS_DISCONNECTED;
    if (kind == u"find") {
        if (ok && data.contains(QLatin1String("setting current call"))) {
            const QString action = token.section(u':', 2);
            send(action, QString(), QStringLiteral("%1:%2").arg(action).arg(id));
        } else if (!ended) {
            setState(id, CS_DISCONNECTED); // baresip no longer has it
        }
        return;
    }
    if (ok || ended)
        return;
    if (kind == u"dial" || kind == u"accept")
        reportLater(text(16269).arg(data.trimmed()));
    if (id == m_dialling)
        m_dialling = -1;
    setState(id, CS_DISCONNECTED);
}

void SipTapi::onCallEvent(const QString& type, const QJsonObject& msg) {
    const QString sipId = msg.value(QStringLiteral("id")).toString();
    if (sipId.isEmpty())
        return;
    int id = -1;
    for (const auto& [k, c] : m_state->calls)
        if (c.sipId == sipId)
            id = k;
    const bool incoming = msg.value(QStringLiteral("direction")).toString() == u"incoming";
    const QString peer = msg.value(QStringLiteral("peeruri")).toString();
    if (id < 0 && type == u"CALL_INCOMING") {
        SipCall c;
        c.sipId = sipId;
        c.state = CS_OFFERING;
        c.callerNumber = SipLine::numberFromUri(peer);
        id = addCall(c);
        postAddress(AE_RINGING);
        post(TE_CALLNOTIFICATION, std::make_shared<NotificationEvent>(CNE_OWNER, handle(id)));
    } else if (id < 0 && m_dialling >= 0 && !incoming) {
        id = std::exchange(m_dialling, -1);
        m_state->calls[id].sipId = sipId;
    } else if (id < 0 && !incoming && type != u"CALL_CLOSED") {
        // Placed on baresip itself.
        SipCall c;
        c.sipId = sipId;
        c.state = CS_INPROGRESS;
        c.calledNumber = SipLine::numberFromUri(peer);
        id = addCall(c);
        post(TE_CALLNOTIFICATION, std::make_shared<NotificationEvent>(CNE_OWNER, handle(id)));
    } else if (id < 0) {
        return; // the end, or news, of a call never offered
    }
    const CALL_STATE now = m_state->calls[id].state;
    if (type == u"CALL_ESTABLISHED" && now != CS_CONNECTED && now != CS_DISCONNECTED) {
        if (id == m_answering)
            m_answerTimer.stop();
        setState(id, CS_CONNECTED);
    } else if (type == u"CALL_CLOSED" && now != CS_DISCONNECTED) {
        if (id == m_answering)
            m_answerTimer.stop();
        setState(id, CS_DISCONNECTED);
    }
}

void SipTapi::answerTimedOut() {
    const int id = std::exchange(m_answering, -1);
    auto it = m_state->calls.find(id);
    if (it == m_state->calls.end() || it->second.state != CS_OFFERING)
        return;
    if (linkUp())
        command(id, QStringLiteral("hangup"));
    setState(id, CS_DISCONNECTED);
    reportLater(text(16270));
}

int SipTapi::addCall(SipCall c) {
    const int id = m_nextCall++;
    m_state->calls[id] = std::move(c);
    m_state->handles[id] = std::make_shared<SipCallHandle>(m_state, id);
    return id;
}

std::shared_ptr<ITBasicCallControl> SipTapi::handle(int id) {
    return m_state->handles.at(id);
}

int SipTapi::createCall(const QString& dest) {
    const std::optional<QString> number = SipLine::dialString(dest);
    if (!number)
        fail(text(16271).arg(dest));
    if (!linkUp())
        fail(text(16272));
    SipCall c;
    c.calledNumber = number;
    return addCall(c);
}

void SipTapi::connectCall(int id) {
    SipCall& c = m_state->call(id);
    if (c.state != CS_IDLE)
        fail(text(16273));
    if (!linkUp())
        fail(text(16272));
    m_dialling = id;
    send(QStringLiteral("dial"), *c.calledNumber, QStringLiteral("dial:%1").arg(id));
    setState(id, CS_INPROGRESS);
    // The number as sent, for the call window and the log.
    post(TE_CALLINFOCHANGE, std::make_shared<InfoChangeEvent>(CIC_CALLEDID, handle(id)));
}

void SipTapi::answer(int id) {
    if (m_state->call(id).state != CS_OFFERING)
        fail(text(16273));
    if (!linkUp())
        fail(text(16272));
    m_answering = id;
    m_answerTimer.start();
    command(id, QStringLiteral("accept"));
}

void SipTapi::disconnect(int id) {
    const SipCall& c = m_state->call(id);
    if (c.state == CS_DISCONNECTED)
        fail(text(16273));
    if (linkUp() && c.state != CS_IDLE)
        command(id, QStringLiteral("hangup"));
    else
        setState(id, CS_DISCONNECTED);
}

void SipTapi::setState(int id, CALL_STATE s) {
    m_state->calls[id].state = s;
    post(TE_CALLSTATE, std::make_shared<StateEvent>(s, handle(id)));
}

void SipTapi::postAddress(ADDRESS_EVENT e) {
    post(TE_ADDRESS, std::make_shared<AddressEvent>(e, m_state->address));
}

// Posted so that events never arrive inside a call into the layer, and
// dropped when the object is shut down before the loop gets to them.
void SipTapi::post(long code, std::shared_ptr<ITEventObject> ev) {
    if (!(m_state->filter & code) || !m_state->subscribed)
        return;
    auto state = m_state;
    QMetaObject::invokeMethod(
        this,
        [this, state, code, ev] {
            if (!state->shutdown)
                emit Event(code, ev);
        },
        Qt::QueuedConnection);
}

namespace SipLine {

void setConfig(const SipConfig& config) {
    configRef() = config;
}

const SipConfig& config() {
    return configRef();
}

void setTexts(TextLookup lookup) {
    gTexts = lookup;
}

int restartPauseMs(int failures) {
    return failures >= 6 ? 60000 : 1000 << std::max(failures, 0);
}

QString accountAddress(const QString& account) {
    static const QRegularExpression re(QStringLiteral("^\\s*<((?:sips?):[^>\\s]+)>"));
    const auto m = re.match(account);
    return m.hasMatch() ? m.captured(1) : QString();
}

std::optional<QString> numberFromUri(const QString& uri) {
    QString rest = uri.trimmed();
    if (rest.startsWith(u'<'))
        rest = rest.mid(1).section(u'>', 0, 0);
    const QString scheme = rest.section(u':', 0, 0).toLower();
    rest = rest.section(u':', 1);
    if (scheme == u"sip" || scheme == u"sips") {
        if (!rest.contains(u'@'))
            return std::nullopt;
        rest = rest.section(u'@', 0, 0).section(u':', 0, 0); // no password
    } else if (scheme != u"tel") {
        return std::nullopt;
    }
    rest = rest.section(u';', 0, 0).section(u'?', 0, 0);
    const QString user = QString::fromUtf8(QByteArray::fromPercentEncoding(rest.toUtf8()));
    for (const QChar ch : user)
        if (ch.category() == QChar::Other_Control)
            return std::nullopt;
    if (user.isEmpty() || user.compare(u"anonymous", Qt::CaseInsensitive) == 0 ||
        user.compare(u"unknown", Qt::CaseInsensitive) == 0)
        return std::nullopt;
    return user;
}

std::optional<QString> dialString(const QString& number) {
    QString out;
    for (const QChar ch : number) {
        if (ch.isDigit() && ch.unicode() < 128)
            out += ch;
        else if (ch == u'+' || ch == u'*' || ch == u'#')
            out += ch;
        else if (!QStringView(u" -.()").contains(ch))
            return std::nullopt;
    }
    if (out.isEmpty())
        return std::nullopt;
    return out;
}

std::shared_ptr<ITTAPI> createTapiObject() {
    return std::make_shared<SipTapi>();
}

} // namespace SipLine

QList<QByteArray> NetstringReader::feed(const QByteArray& data) {
    QList<QByteArray> out;
    if (!m_error.isEmpty())
        return out;
    m_buffer += data;
    const qsizetype maxDigits = QByteArray::number(SipLine::MaxMessage).size();
    while (!m_buffer.isEmpty()) {
        const qsizetype colon = m_buffer.indexOf(':');
        const qsizetype digits = colon < 0 ? m_buffer.size() : colon;
        for (qsizetype i = 0; i < digits; ++i)
            if (m_buffer[i] < '0' || m_buffer[i] > '9') {
                m_error = text(16260);
                return out;
            }
        if (digits > maxDigits) {
            m_error = text(16261);
            return out;
        }
        if (colon < 0)
            return out;
        if (colon == 0) {
            m_error = text(16260);
            return out;
        }
        const qsizetype len = m_buffer.left(colon).toLongLong();
        if (len > SipLine::MaxMessage) {
            m_error = text(16261);
            return out;
        }
        if (m_buffer.size() < colon + 1 + len + 1)
            return out;
        if (m_buffer[colon + 1 + len] != ',') {
            m_error = text(16262);
            return out;
        }
        out.append(m_buffer.mid(colon + 1, len));
        m_buffer.remove(0, colon + 1 + len + 1);
    }
    return out;
}

QByteArray NetstringReader::frame(const QByteArray& payload) {
    return QByteArray::number(payload.size()) + ':' + payload + ',';
}
