#include "app/globals.h"
#include "common/testenv.h"
#include "platform/prompter.h"
#include "plugins/pluginserver.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port nobody listens on right now (the kernel's pick).
quint16 freePort(const QHostAddress& on = QHostAddress::AnyIPv4) {
    QTcpServer probe;
    if (!probe.listen(on, 0))
        return 0;
    const quint16 p = probe.serverPort();
    probe.close();
    return p;
}

// Runs the event loop until pred holds or the time is up.
bool waitFor(const std::function<bool()>& pred, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(2);
    }
    return true;
}

std::shared_ptr<PlugIn> entry(const QString& host, int port = 0) {
    auto p = std::make_shared<PlugIn>();
    p->name = QStringLiteral("plugin");
    p->description = QStringLiteral("plugin");
    p->remoteHost = host;
    p->remotePort = port;
    return p;
}

// A plug-in's end of the line. Everything waits through the event loop, so
// the server in the same thread keeps running.
class Client {
public:
    // Connects from the given local address (and port, 0 = any).
    void open(quint16 serverPort, const QString& from = QStringLiteral("127.0.0.1"),
              quint16 fromPort = 0) {
        sock = std::make_unique<QTcpSocket>();
        sock->bind(QHostAddress(from), fromPort);
        sock->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QObject::connect(sock.get(), &QTcpSocket::readyRead,
                         [this] { received += sock->readAll(); });
        sock->connectToHost(QHostAddress::LocalHost, serverPort);
    }
    bool closedByServer(int ms = 5000) {
        return waitFor([this] { return sock->state() == QAbstractSocket::UnconnectedState; }, ms);
    }
    void send(const QByteArray& data) {
        sock->write(data);
        sock->flush();
    }
    // The next complete line, CR LF included; empty when none came in time.
    QByteArray line(int ms = 5000) {
        if (!waitFor([this] { return received.contains("\r\n"); }, ms))
            return {};
        const qsizetype end = received.indexOf("\r\n") + 2;
        const QByteArray l = received.left(end);
        received.remove(0, end);
        return l;
    }
    QByteArray poll() {
        send("101\r\n");
        return line();
    }
    std::unique_ptr<QTcpSocket> sock;
    QByteArray received;
};

const QByteArray kIdle = QByteArrayLiteral("500 DISCONNECTED\r\n");

} // namespace

class TstPlugInServer : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<PlugInServer> server;

    // Starts a server for these entries on a free port; returns the port.
    quint16 startWith(QList<std::shared_ptr<PlugIn>> entries) {
        plugInsEnabled = true;
        plugIns = entries;
        noPlugIns = entries.isEmpty();
        serverPort = freePort();
        server = std::make_unique<PlugInServer>();
        server->start();
        return server->listeningPort();
    }

    // Connects from 127.0.0.1; whether the given entry took it.
    bool open(Client& c, quint16 port, int element = 0) {
        c.open(port);
        return admitted(c, element);
    }
    bool admitted(Client& c, int element) {
        return waitFor([&] {
            return server->elementConnected(element) &&
                   c.sock->state() == QAbstractSocket::ConnectedState;
        });
    }

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup() {
        server.reset();
        env.reset();
    }

    void admission_data() {
        QTest::addColumn<QString>("entryHost");
        QTest::addColumn<int>("entryPort"); // -1: the client's own source port
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("admit");
        QTest::newRow("host, any port") << "127.0.0.1" << 0 << "127.0.0.1" << true;
        QTest::newRow("other host") << "127.0.0.1" << 0 << "127.0.0.2" << false;
        QTest::newRow("second loopback") << "127.0.0.2" << 0 << "127.0.0.2" << true;
        QTest::newRow("host name never matches") << "localhost" << 0 << "127.0.0.1" << false;
        QTest::newRow("blank before address") << " 127.0.0.1" << 0 << "127.0.0.1" << false;
        QTest::newRow("mapped IPv6 form") << "::ffff:127.0.0.1" << 0 << "127.0.0.1" << false;
        QTest::newRow("source port matches") << "127.0.0.1" << -1 << "127.0.0.1" << true;
        QTest::newRow("source port differs") << "127.0.0.1" << 1 << "127.0.0.1" << false;
    }
    void admission() {
        QFETCH(QString, entryHost);
        QFETCH(int, entryPort);
        QFETCH(QString, from);
        QFETCH(bool, admit);
        const quint16 fromPort = entryPort == -1 ? freePort(QHostAddress(from)) : 0;
        const quint16 port = startWith({entry(entryHost, entryPort == -1 ? fromPort : entryPort)});
        QVERIFY(port != 0);
        QSignalSpy refused(server.get(), &PlugInServer::connectionRefused);

        Client c;
        c.open(port, from, fromPort);
        if (admit) {
            QVERIFY(admitted(c, 0));
            QVERIFY(plugIns[0]->connected);
            QCOMPARE(c.poll(), kIdle);
        } else {
            QVERIFY(c.closedByServer());
            QCOMPARE(refused.size(), 1);
            QCOMPARE(refused[0][0].toString(), from);
            QVERIFY(!server->elementConnected(0));
            QVERIFY(!plugIns[0]->connected);
        }
        QVERIFY(Prompter::records().isEmpty());
    }

    // A second connection takes the next free entry of its address in list
    // order, or is refused while each is connected.
    void entriesWithSameAddressUsedInOrder() {
        const quint16 port =
            startWith({entry("127.0.0.2"), entry("127.0.0.1"), entry("127.0.0.1")});
        Client a, b, c;
        QVERIFY(open(a, port, 1));
        QVERIFY(!server->elementConnected(2));
        QVERIFY(open(b, port, 2));
        c.open(port);
        QVERIFY(c.closedByServer());
        QVERIFY(!server->elementConnected(0));
        QCOMPARE(a.poll(), kIdle);
    }

    void reconnectAfterPeerCloseAndQuit() {
        const quint16 port = startWith({entry("127.0.0.1")});
        QSignalSpy closed(server.get(), &PlugInServer::connectionClosed);
        for (int round = 0; round < 3; ++round) {
            Client c;
            QVERIFY(open(c, port, 0));
            c.send("10"); // a partial line must not survive the connection
            c.sock->disconnectFromHost();
            QVERIFY(waitFor([&] { return closed.size() == round + 1; }));
            QVERIFY(!plugIns[0]->connected);
            QCOMPARE(server->bufferedInput(0), 0);
        }
        // A fresh line; then "100" answers, closes and frees the entry.
        Client c;
        QVERIFY(open(c, port, 0));
        c.send("1\r\n100\r\n101\r\n");
        QVERIFY(c.closedByServer());
        QCOMPARE(c.received, QByteArray("201 ERROR\r\n200 OK\r\n")); // flushed, nothing after
        QVERIFY(!plugIns[0]->connected);
        Client again;
        QVERIFY(open(again, port, 0));
        QCOMPARE(again.poll(), kIdle);
    }

    void refusedConnectionsDoNotBlockAdmission() {
        const quint16 port = startWith({entry("127.0.0.1")});
        QSignalSpy refused(server.get(), &PlugInServer::connectionRefused);
        std::vector<std::unique_ptr<Client>> strangers;
        for (int k = 0; k < 100; ++k) {
            strangers.push_back(std::make_unique<Client>());
            strangers.back()->open(port, QStringLiteral("127.0.0.2"));
        }
        QVERIFY(waitFor([&] { return refused.size() == 100; }, 10000));
        Client c;
        QVERIFY(open(c, port, 0));
        QCOMPARE(c.poll(), kIdle);
    }

    void floodWithoutLineEndStaysBounded() {
        const quint16 port = startWith({entry("127.0.0.1")});
        Client c;
        QVERIFY(open(c, port, 0));
        const QByteArray junk(64 * 1024, 'x');
        c.send("101");
        qsizetype most = 0;
        for (int k = 0; k < 128; ++k) { // 8 MiB
            c.send(junk);
            QTest::qWait(0);
            most = std::max(most, server->bufferedInput(0));
        }
        QVERIFY(waitFor([&] { return c.sock->bytesToWrite() == 0; }));
        QVERIFY(waitFor([&] { return server->bufferedInput(0) <= plugin::MaxLineBytes; }));
        QVERIFY2(most <= plugin::MaxLineBytes + plugin::MaxPendingOutput,
                 qPrintable(QString::number(most)));
        qInfo("most buffered input %lld", qlonglong(most));
        // The "101" of the first packet still decides the reply.
        c.send("\r\n101\r\n");
        QCOMPARE(c.line(), kIdle);
        QCOMPARE(c.line(), kIdle);
    }

    void peerThatNeverReadsIsCutOff() {
        const quint16 port = startWith({entry("127.0.0.1")});
        QSignalSpy closed(server.get(), &PlugInServer::connectionClosed);
        // A raw socket with a tiny receive window that never reads.
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        const int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        QVERIFY(waitFor([&] { return server->elementConnected(0); }));

        QByteArray requests;
        for (int k = 0; k < 2000; ++k)
            requests += "101\r\n";
        qsizetype most = 0;
        QElapsedTimer t;
        t.start();
        while (closed.isEmpty() && t.elapsed() < 20000) {
            const ssize_t sent = ::send(fd, requests.constData(), requests.size(), MSG_NOSIGNAL);
            if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                break; // the server cut us off
            QTest::qWait(1);
            most = std::max(most, server->pendingOutput(0));
        }
        qInfo("most pending output %lld after %lld ms", qlonglong(most), qlonglong(t.elapsed()));
        ::close(fd);
        QVERIFY2(!closed.isEmpty(), "the connection was not closed");
        QVERIFY(!plugIns[0]->connected);
        // At most one read piece's replies past the cap.
        QVERIFY2(most <= plugin::MaxPendingOutput + 1024 * 18 / 5 + 18,
                 qPrintable(QString::number(most)));

        Client c;
        QVERIFY(open(c, port, 0));
    }

    void entryAddedAfterStartNeverAdmitted() {
        const quint16 port = startWith({entry("127.0.0.2")});
        plugIns.append(entry("127.0.0.1"));
        Client c;
        c.open(port);
        QVERIFY(c.closedByServer());
    }

    void entryRemovedAfterStart() {
        const quint16 port = startWith({entry("127.0.0.1"), entry("127.0.0.1")});
        Client a;
        QVERIFY(open(a, port, 0));
        plugIns.clear();
        noPlugIns = true;
        Client b;
        b.open(port);
        QVERIFY(b.closedByServer());
        a.sock->disconnectFromHost(); // freeing an entry that is gone must not crash
        QVERIFY(waitFor([&] { return !server->elementConnected(0); }));
    }

    // Plug-ins off or no entries: silently nothing. A bad port or one in
    // use: a visible error and no listener.
    void noListener_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("entries");
        QTest::addColumn<int>("port"); // -1: a free port, -2: one already in use
        QTest::addColumn<bool>("reported");
        QTest::newRow("disabled") << false << true << -1 << false;
        QTest::newRow("enabled, no entries") << true << false << -1 << false;
        QTest::newRow("port zero") << true << true << 0 << true;
        QTest::newRow("negative port") << true << true << -5 << true;
        QTest::newRow("port too high") << true << true << 65536 << true;
        QTest::newRow("port in use") << true << true << -2 << true;
    }
    void noListener() {
        QFETCH(bool, enabled);
        QFETCH(bool, entries);
        QFETCH(int, port);
        QFETCH(bool, reported);
        QTcpServer occupant;
        if (port == -2) {
            QVERIFY(occupant.listen(QHostAddress::AnyIPv4, 0));
            port = occupant.serverPort();
        } else if (port == -1) {
            port = freePort();
        }
        plugInsEnabled = enabled;
        if (entries)
            plugIns = {entry("127.0.0.1")};
        noPlugIns = !entries;
        serverPort = port;
        PlugInServer s;
        s.start();
        QVERIFY(!s.isListening());
        QCOMPARE(Prompter::records().size(), reported ? 1 : 0);
        if (reported) {
            const QString text = Prompter::records()[0].text;
            QVERIFY2(text.startsWith(QStringLiteral("10048 ")), qPrintable(text));
            QVERIFY2(text.contains(QString::number(port)), qPrintable(text));
            return;
        }
        QCOMPARE(s.elementCount(), 0);
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        QVERIFY(!probe.waitForConnected(2000));
    }
};

QTEST_GUILESS_MAIN(TstPlugInServer)
#include "tst_pluginserver.moc"
