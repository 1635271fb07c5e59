// Ring latency on the SIP line: sipp sends an INVITE to the built program's
// baresip; a plug-in client polls until the status line shows RINGING with the
// caller's name, found in a Local book of 10,000 contacts. 50 calls, one at a
// time; prints p50 and p99, from the INVITE leaving sipp to the RINGING line.
// Needs build/tamrivo (TAMRIVO_BUILD_DIR), the sources (TAMRIVO_SOURCE_DIR),
// baresip and sipp.

#include "addressbooks/dbfunctions.h"
#include "platform/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Calls = 50;

quint16 freeUdpPort() {
    QUdpSocket s;
    return s.bind(QHostAddress::LocalHost, 0) ? s.localPort() : 0;
}

QByteArray poll(QTcpSocket& s) {
    s.write("101\r\n");
    s.waitForBytesWritten(3000);
    while (!s.canReadLine())
        if (!s.waitForReadyRead(3000))
            return {};
    return s.readLine().trimmed();
}

int fail(const char* what) {
    std::fprintf(stderr, "sip_ring: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString build = qEnvironmentVariable("TAMRIVO_BUILD_DIR");
    if (build.isEmpty())
        build = QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
    QString source = qEnvironmentVariable("TAMRIVO_SOURCE_DIR");
    if (source.isEmpty())
        source = build + QStringLiteral("/..");
    QTemporaryDir tmp;
    for (const char* d : {"config", "data", "runtime"})
        QDir(tmp.path()).mkpath(QLatin1String(d));
    qputenv("XDG_CONFIG_HOME", (tmp.path() + QStringLiteral("/config")).toUtf8());
    const QString book = tmp.filePath(QStringLiteral("data/people.lab"));
    createLocalAddressBook(book);
    executeLocalBook(book, QStringLiteral(
                               "INSERT INTO TAMRIVO (name, telephone) WITH RECURSIVE n(i) AS "
                               "(SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
                               "SELECT 'Contact ' || i, '555' || (10000 + i) FROM n"));
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::AnyIPv4, 0);
        port = probe.serverPort();
    }
    const quint16 sipPort = freeUdpPort();
    SettingsStore& s = SettingsStore::instance();
    s.setPath(tmp.filePath(QStringLiteral("config/Tamrivo/Tamrivo.ini")));
    s.replaceSection(QStringLiteral("prefs"), {{"useTAPI", "1"},
                                               {"TAPIDevice", "SIP desk"},
                                               {"showTipsAtStartup", "0"},
                                               {"useLastDRAddressBooks", "0"}});
    s.replaceSection(QStringLiteral("lab"), {{"number", "1"},
                                             {"AddressBookName0", "People"},
                                             {"FileName0", book},
                                             {"searchForCallerID0", "T"},
                                             {"callPrefix0", ""}});
    s.replaceSection(QStringLiteral("plugins"), {{"enabled", "1"},
                                                 {"serverPort", QString::number(port)},
                                                 {"number", "1"},
                                                 {"name0", "bench"},
                                                 {"remoteHost0", "127.0.0.1"},
                                                 {"remotePort0", "0"}});
    s.replaceSection(QStringLiteral("sip"),
                     {{"account", "<sip:desk@127.0.0.1>;regint=0"},
                      {"addressName", "SIP desk"},
                      {"listen", QStringLiteral("127.0.0.1:%1").arg(sipPort)},
                      {"audioDevice", QStringLiteral("aubridge,bench")}});

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), tmp.path() + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp.path() + QStringLiteral("/runtime"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TAMRIVO_PROMPTS"), QStringLiteral("stderr"));
    program.setProcessEnvironment(env);
    program.start(build + QStringLiteral("/tamrivo"), {});
    if (!program.waitForStarted(10000))
        return fail("the program does not start");
    QTcpSocket plugin;
    QElapsedTimer up;
    up.start();
    while (true) {
        plugin.abort();
        plugin.connectToHost(QHostAddress::LocalHost, port);
        if (plugin.waitForConnected(500) && poll(plugin) == "500 DISCONNECTED")
            break;
        if (up.elapsed() > 20000)
            return fail("the plug-in server does not answer");
        QThread::msleep(50);
    }
    // Ready once the program's link to baresip's control port is established.
    QFile cfg(tmp.filePath(QStringLiteral("config/Tamrivo/baresip/config")));
    QByteArray ctrl;
    if (cfg.open(QIODevice::ReadOnly))
        for (const QByteArray& line : cfg.readAll().split('\n'))
            if (line.startsWith("ctrl_tcp_listen"))
                ctrl = line;
    const QString hexPort =
        QStringLiteral(":%1").arg(ctrl.split(':').value(1).toUInt(), 4, 16, QLatin1Char('0')).toUpper();
    while (true) {
        QFile net(QStringLiteral("/proc/net/tcp"));
        net.open(QIODevice::ReadOnly);
        const QString all = QString::fromLatin1(net.readAll());
        if (all.contains(QRegularExpression(hexPort + QStringLiteral(" 01 "))))
            break;
        if (up.elapsed() > 30000)
            return fail("no link to baresip");
        QThread::msleep(20);
    }

    // sipp sends to this relay, which passes each datagram on to baresip:
    // the INVITE's arrival starts the clock (sipp's own start-up is ~0.1 s).
    // Replies go from baresip to sipp directly, as its Via says.
    QUdpSocket relay;
    if (!relay.bind(QHostAddress::LocalHost, 0))
        return fail("no relay port");
    auto forward = [&] {
        while (relay.hasPendingDatagrams())
            relay.writeDatagram(relay.receiveDatagram().data(), QHostAddress::LocalHost, sipPort);
    };
    plugin.setSocketOption(QAbstractSocket::LowDelayOption, 1);

    std::vector<double> ms;
    for (int i = 0; i < Calls; ++i) {
        const QString caller = QString::number(55510000 + 1 + (i * 197) % 10000);
        const QByteArray want = "500 RINGING '" + caller.toUtf8() + "' 'Contact " +
                                QByteArray::number(1 + (i * 197) % 10000) + "'";
        QProcess sipp;
        sipp.setWorkingDirectory(tmp.path());
        QElapsedTimer t;
        t.start();
        sipp.start(QStringLiteral("sipp"),
                   {QStringLiteral("-sf"), source + QStringLiteral("/tests/sip/uac_cancel.xml"),
                    QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-nostdin"),
                    QStringLiteral("-timeout"), QStringLiteral("20"), QStringLiteral("-s"),
                    QStringLiteral("desk"), QStringLiteral("-key"), QStringLiteral("caller"), caller,
                    QStringLiteral("-p"), QString::number(freeUdpPort()), QStringLiteral("-mp"),
                    QString::number(freeUdpPort()), QStringLiteral("-d"), QStringLiteral("300"),
                    QStringLiteral("127.0.0.1:%1").arg(relay.localPort())});
        // The clock starts at this call's INVITE (the last call's ACK may
        // still be on its way).
        QByteArray invite;
        while (!invite.startsWith("INVITE ")) {
            if (!relay.hasPendingDatagrams() && !relay.waitForReadyRead(10000))
                return fail("sipp sends no INVITE");
            invite = relay.receiveDatagram().data();
            t.restart();
            relay.writeDatagram(invite, QHostAddress::LocalHost, sipPort);
        }
        QByteArray last;
        while ((last = poll(plugin)) != want && t.elapsed() < 10000)
            forward();
        if (last != want)
            return fail(("no RINGING, last " + last).constData());
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        while (!sipp.waitForFinished(10) && t.elapsed() < 20000)
            forward();
        while (poll(plugin) != "500 DISCONNECTED" && t.elapsed() < 20000) {
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("sip_ring: %d calls, 10000 contacts: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n",
                Calls, ms[ms.size() / 2], ms[(ms.size() * 99) / 100], ms.back());
    program.kill();
    program.waitForFinished(5000);
    return 0;
}
