#include "app/globals.h"
#include "common/testenv.h"
#include "common/widgettest.h"
#include "platform/prompter.h"
#include "plugins/pluginserver.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
quint16 freePort(const QHostAddress& on = QHostAddress::AnyIPv4) {
    QTcpServer probe;
    return probe.listen(on, 0) ? probe.serverPort() : 0;
}

std::shared_ptr<PlugIn> entry(const QString& host, int port = 0) {
    auto p = std::make_shared<PlugIn>();
    p->remoteHost = host;
    p->remotePort = port;
    return p;
}
// A plug-in's end of the line, served by the event loop of the test.
struct Client {
    QTcpSocket sock;
    QByteArray received;
    void open(quint16 port, const QString& from = QStringLiteral("127.0.0.1"),
              quint16 fromPort = 0) {
        sock.bind(QHostAddress(from), fromPort);
        QObject::connect(&sock, &QTcpSocket::readyRead, [this] { received += sock.readAll(); });
        sock.connectToHost(QHostAddress::LocalHost, port);
    }
    bool closed() {
        return waitUntil([this] { return sock.state() == QAbstractSocket::UnconnectedState; });
    }
    QByteArray poll() {
        received.clear();
        sock.write("101\r\n");
        waitUntil([this] { return received.endsWith("\r\n"); });
        return received;
    }
};

const QByteArray kIdle = QByteArrayLiteral("500 DISCONNECTED\r\n");
} // namespace

class TstPlugInServer : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;
    std::unique_ptr<PlugInServer> server;

    quint16 startWith(QList<std::shared_ptr<PlugIn>> entries) {
        plugInsEnabled = true;
        plugIns = entries;
        noPlugIns = entries.isEmpty();
        serverPort = freePort();
        server = std::make_unique<PlugInServer>();
        server->start();
        return server->listeningPort();
    }
    bool open(Client& c, quint16 port, int element = 0) {
        c.open(port);
        return waitUntil([&] { return server->elementConnected(element); });
    }

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup() {
        server.reset();
        env.reset();
    }

    // Entry host, entry port (-1: the client's own source port), client's address, admitted.
    void admission_data() {
        QTest::addColumn<QStringList>("row");
        for (const char* r : {"127.0.0.1 0 127.0.0.1 1", "127.0.0.1 0 127.0.0.2 0",
                              "localhost 0 127.0.0.1 0", "::ffff:127.0.0.1 0 127.0.0.1 0",
                              "127.0.0.1 -1 127.0.0.1 1", "127.0.0.1 1 127.0.0.1 0"})
            QTest::newRow(r) << QString::fromLatin1(r).split(u' ');
    }
    void admission() {
        QFETCH(QStringList, row);
        const QString from = row[2];
        const int entryPort = row[1].toInt();
        const quint16 fromPort = entryPort == -1 ? freePort(QHostAddress(from)) : 0;
        const quint16 port = startWith({entry(row[0], entryPort == -1 ? fromPort : entryPort)});
        QSignalSpy refused(server.get(), &PlugInServer::connectionRefused);
        Client c;
        c.open(port, from, fromPort);
        if (row[3] == "1") {
            QVERIFY(waitUntil([&] { return server->elementConnected(0); }));
            QVERIFY(plugIns[0]->connected);
            QCOMPARE(c.poll(), kIdle);
            // A vanished peer is found by keepalive probes within about 90 s.
            const int fd = static_cast<int>(server->findChild<QTcpSocket*>()->socketDescriptor());
            const int want[][3] = {{SOL_SOCKET, SO_KEEPALIVE, 1},
                                   {IPPROTO_TCP, TCP_KEEPIDLE, 60},
                                   {IPPROTO_TCP, TCP_KEEPINTVL, 10},
                                   {IPPROTO_TCP, TCP_KEEPCNT, 3}};
            for (const auto& [level, name, value] : want) {
                int got = -1;
                socklen_t len = sizeof got;
                QVERIFY(::getsockopt(fd, level, name, &got, &len) == 0 && got == value);
            }
        } else {
            QVERIFY(c.closed() && !plugIns[0]->connected);
            QCOMPARE(refused.size() == 1 ? refused[0][0].toString() : QString(), from);
        }
        QVERIFY(Prompter::records().isEmpty());
    }

    // The next free entry of an address in list order, refused while each is
    // taken and never one added since start; a quit is answered before the
    // close; a partial line dies with its connection; an entry list emptied
    // meanwhile admits nothing and is not touched when a peer leaves.
    void entriesQuitAndListChanges() {
        const quint16 port =
            startWith({entry("127.0.0.2"), entry("127.0.0.1"), entry("127.0.0.1")});
        Client a, b, c, again, d;
        QVERIFY(open(a, port, 1) && !server->elementConnected(2));
        QVERIFY(open(b, port, 2));
        plugIns.append(entry("127.0.0.1"));
        c.open(port);
        QVERIFY(c.closed());
        b.sock.write("1\r\n100\r\n101\r\n");
        QVERIFY(b.closed());
        QCOMPARE(b.received, QByteArray("201 ERROR\r\n200 OK\r\n")); // flushed, nothing after
        a.sock.write("10");
        a.sock.disconnectFromHost();
        QVERIFY(waitUntil([&] { return !plugIns[1]->connected; }));
        QCOMPARE(server->bufferedInput(1), 0);
        QVERIFY(open(again, port, 1));
        QCOMPARE(again.poll(), kIdle);
        plugIns.clear();
        noPlugIns = true;
        d.open(port);
        QVERIFY(d.closed());
        again.sock.disconnectFromHost();
        QVERIFY(waitUntil([&] { return !server->elementConnected(1); }));
    }

    // A flood without CR LF keeps one line's buffer; a peer that never reads
    // is cut off once its replies pile up.
    void capsHold() {
        const quint16 port = startWith({entry("127.0.0.1"), entry("127.0.0.1")});
        Client c;
        QVERIFY(open(c, port));
        c.sock.write("101");
        for (int k = 0; k < 128; ++k) // 8 MiB
            c.sock.write(QByteArray(64 * 1024, 'x'));
        QVERIFY(waitUntil([&] {
            return c.sock.bytesToWrite() == 0 && server->bufferedInput(0) <= plugin::MaxLineBytes;
        }));
        c.sock.write("\r\n"); // the "101" of the first packet still decides
        QVERIFY(waitUntil([&] { return c.received == kIdle; }));

        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        QVERIFY(waitUntil([&] { return server->elementConnected(1); }));
        const QByteArray requests = QByteArray("101\r\n").repeated(2000);
        qsizetype most = 0;
        const bool cut = waitUntil(
            [&] {
                ::send(fd, requests.constData(), requests.size(), MSG_NOSIGNAL);
                most = std::max(most, server->pendingOutput(1));
                return !server->elementConnected(1);
            },
            20000);
        ::close(fd);
        QVERIFY(cut && !plugIns[1]->connected);
        QVERIFY(most <= plugin::MaxPendingOutput + 1024 * 18 / 5 + 18); // one read piece past
    }

    // Off or no entries: silently nothing. A bad port or one in use: error 10048.
    void noListener() {
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::AnyIPv4, 0));
        const int busy = occupant.serverPort(), spare = freePort();
        const int rows[][3] = {
            {0, 1, spare}, {1, 0, spare}, {1, 1, 0}, {1, 1, 65536}, {1, 1, busy}};
        for (const auto& [enabled, entries, port] : rows) {
            Prompter::reset();
            plugInsEnabled = enabled != 0;
            plugIns = entries ? QList{entry("127.0.0.1")} : QList<std::shared_ptr<PlugIn>>{};
            noPlugIns = entries == 0;
            serverPort = port;
            PlugInServer s;
            s.start();
            QVERIFY(!s.isListening());
            QCOMPARE(Prompter::records().size(), enabled && entries ? 1 : 0);
            if (enabled && entries)
                QVERIFY(Prompter::records()[0].text.startsWith(QStringLiteral("10048 ")));
        }
    }
};

QTEST_GUILESS_MAIN(TstPlugInServer)
#include "tst_pluginserver.moc"
