// Status polling under load: 50 admitted plug-ins, each sending "101" as soon
// as its previous reply arrived, for 10 seconds, against the built program.
// Reports replies per second and reply-time percentiles. Needs build/tamrivo
// (TAMRIVO_BUILD_DIR, else the folder above this program).

#include "platform/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Clients = 50;
constexpr auto RunFor = std::chrono::seconds(10);

QString buildFolder() {
    const QString env = qEnvironmentVariable("TAMRIVO_BUILD_DIR");
    if (!env.isEmpty())
        return env;
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
}

struct Poller {
    int fd = -1;
    QByteArray in;
    Clock::time_point sentAt;
    bool waiting = false;
};

int connectTo(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendRequest(Poller& p) {
    static const char req[] = "101\r\n";
    p.sentAt = Clock::now();
    p.waiting = true;
    return ::send(p.fd, req, sizeof req - 1, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof req - 1);
}

// Blocking wait for one reply line on a fresh connection (admission check).
bool firstReply(Poller& p, int ms) {
    pollfd pf{p.fd, POLLIN, 0};
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!p.in.contains("\r\n")) {
        const int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
        if (left <= 0 || ::poll(&pf, 1, left) <= 0)
            return false;
        char buf[4096];
        const ssize_t n = ::recv(p.fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        p.in.append(buf, n);
    }
    p.in.remove(0, p.in.indexOf("\r\n") + 2);
    p.waiting = false;
    return true;
}

void BM_PluginPoll(benchmark::State& state) {
    QTemporaryDir dir;
    for (const char* sub : {"config", "data", "runtime"})
        QDir(dir.path()).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(dir.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::AnyIPv4, 0);
        port = probe.serverPort();
    }
    SettingsStore& store = SettingsStore::instance();
    store.setPath(dir.filePath(QStringLiteral("config/Tamrivo/Tamrivo.ini")));
    store.replaceSection(QStringLiteral("prefs"), {{"useTAPI", "0"}, {"showTipsAtStartup", "0"}});
    SettingsStore::Entries plugins{{"enabled", "1"},
                                   {"serverPort", QString::number(port)},
                                   {"number", QString::number(Clients)}};
    for (int i = 0; i < Clients; ++i) {
        plugins.append({QStringLiteral("name%1").arg(i), QStringLiteral("poller %1").arg(i)});
        plugins.append({QStringLiteral("remoteHost%1").arg(i), QStringLiteral("127.0.0.1")});
        plugins.append({QStringLiteral("remotePort%1").arg(i), QStringLiteral("0")});
    }
    store.replaceSection(QStringLiteral("plugins"), plugins);

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TAMRIVO_PROMPTS"), QStringLiteral("stderr"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(buildFolder() + QStringLiteral("/tamrivo"), {});
    if (!program.waitForStarted(10000)) {
        state.SkipWithError("build/tamrivo did not start");
        return;
    }

    std::vector<Poller> pollers(Clients);
    bool ready = false;
    for (int attempt = 0; attempt < 200 && !ready; ++attempt) {
        ready = true;
        for (Poller& p : pollers) {
            if (p.fd >= 0)
                continue;
            p.fd = connectTo(port);
            if (p.fd < 0 || !sendRequest(p) || !firstReply(p, 2000)) {
                if (p.fd >= 0)
                    ::close(p.fd);
                p = Poller{};
                ready = false;
            }
        }
        if (!ready)
            QThread::msleep(100);
    }
    if (!ready) {
        for (Poller& p : pollers)
            if (p.fd >= 0)
                ::close(p.fd);
        program.kill();
        program.waitForFinished();
        state.SkipWithError("could not admit 50 plug-ins");
        return;
    }
    for (Poller& p : pollers)
        ::fcntl(p.fd, F_SETFL, ::fcntl(p.fd, F_GETFL) | O_NONBLOCK);

    std::vector<double> latencies; // microseconds
    latencies.reserve(1 << 22);
    long long requests = 0;
    long long errors = 0;
    for (auto _ : state) {
        std::vector<pollfd> pfds(Clients);
        for (int k = 0; k < Clients; ++k) {
            pfds[k] = {pollers[k].fd, POLLIN, 0};
            sendRequest(pollers[k]);
            ++requests;
        }
        const auto start = Clock::now();
        const auto stopSending = start + RunFor;
        bool sending = true;
        // After the run, wait a little for the replies still on their way.
        auto drainUntil = stopSending + std::chrono::seconds(2);
        for (;;) {
            const auto now = Clock::now();
            if (sending && now >= stopSending)
                sending = false;
            const bool outstanding = std::any_of(pollers.begin(), pollers.end(),
                                                 [](const Poller& p) { return p.waiting; });
            if (!sending && (!outstanding || now >= drainUntil))
                break;
            if (::poll(pfds.data(), pfds.size(), 100) < 0 && errno != EINTR)
                break;
            for (int k = 0; k < Clients; ++k) {
                if (!(pfds[k].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                Poller& p = pollers[k];
                char buf[4096];
                const ssize_t n = ::recv(p.fd, buf, sizeof buf, 0);
                if (n <= 0) {
                    ++errors;
                    pfds[k].fd = -1;
                    p.waiting = false;
                    continue;
                }
                p.in.append(buf, n);
                qsizetype end;
                while ((end = p.in.indexOf("\r\n")) >= 0) {
                    const bool good = p.in.startsWith("500 DISCONNECTED");
                    p.in.remove(0, end + 2);
                    if (!good)
                        ++errors;
                    latencies.push_back(
                        std::chrono::duration<double, std::micro>(Clock::now() - p.sentAt).count());
                    p.waiting = false;
                    if (sending) {
                        sendRequest(p);
                        ++requests;
                    }
                }
            }
        }
        const double seconds = std::chrono::duration<double>(RunFor).count();
        std::sort(latencies.begin(), latencies.end());
        auto pct = [&](double q) {
            if (latencies.empty())
                return 0.0;
            const size_t at =
                std::min(latencies.size() - 1, static_cast<size_t>(q * double(latencies.size())));
            return latencies[at] / 1000.0;
        };
        state.counters["replies_per_s"] = double(latencies.size()) / seconds;
        state.counters["p50_ms"] = pct(0.50);
        state.counters["p99_ms"] = pct(0.99);
        state.counters["max_ms"] = latencies.empty() ? 0.0 : latencies.back() / 1000.0;
        state.counters["unanswered"] = double(requests - static_cast<long long>(latencies.size()));
        state.counters["bad_replies"] = double(errors);
    }

    for (Poller& p : pollers)
        ::close(p.fd);
    program.kill();
    program.waitForFinished(5000);
    store.setPath(QString());
}

BENCHMARK(BM_PluginPoll)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
