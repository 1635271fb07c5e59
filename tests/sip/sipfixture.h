#pragma once

// Real peers for the SIP tests: sipp scenarios in tests/sip; the link seen in /proc/net/tcp.

#include "common/testenv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTcpServer>
#include <QUdpSocket>

// A loopback port free for UDP and TCP, the next for TCP (baresip's TLS) and the one after for UDP
// (sipp's video beside its media port), above baresip's RTP port range.
inline quint16 freeUdpPort() {
    for (QUdpSocket s, video; s.bind(QHostAddress::LocalHost, 0); s.close(), video.close()) {
        QTcpServer tcp, tls;
        const quint16 p = s.localPort();
        if (p > 49152 && tcp.listen(s.localAddress(), p) && tls.listen(s.localAddress(), p + 1) && video.bind(s.localAddress(), p + 2))
            return p;
    }
    return 0;
}

// The control port named in the baresip config written under configHome, or 0.
inline quint16 ctrlPort(const QString& configHome) {
    QFile cfg(configHome + QStringLiteral("/Tamrivo/baresip/config"));
    return QRegularExpression(QStringLiteral("ctrl_tcp_listen 127.0.0.1:(\\d+)"))
        .match(cfg.open(QIODevice::ReadOnly) ? QString::fromUtf8(cfg.readAll()) : QString())
        .captured(1).toUShort();
}

// Whether a TCP connection to that control port is established: the remote address
// ends with the port, then state 01.
inline bool sipLinkUp(const QString& configHome) {
    QFile net(QStringLiteral("/proc/net/tcp"));
    const quint16 port = ctrlPort(configHome);
    return port && net.open(QIODevice::ReadOnly) &&
           QString::fromLatin1(net.readAll())
               .contains(QStringLiteral(":%1 01 ").arg(port, 4, 16, QLatin1Char('0')), Qt::CaseInsensitive);
}

// One sipp run, -m 1 unless told, in its own folder; killed when the test ends.
class Sipp {
public:
    Sipp(const QString& folder, const QString& scenario, const QStringList& args) {
        QDir().mkpath(folder);
        m_p.setWorkingDirectory(folder);
        m_p.setProcessChannelMode(QProcess::MergedChannels);
        m_p.start(QStringLiteral("sipp"),
                  QStringList{QStringLiteral("-sf"), QDir(sourceDir() + "/tests/sip/").filePath(scenario)} +
                      QStringLiteral("-m 1 -timeout 30 -nostdin -trace_err").split(u' ') + args);
        if (!m_p.waitForStarted(5000))
            QTest::qFail("sipp (package sip-tester) cannot be started", __FILE__, __LINE__);
    }
    ~Sipp() { m_p.kill(), m_p.waitForFinished(3000); }
    // Waits for sipp's exit code, handling events (0: the call went as scripted; -1: time-out).
    int result(int ms = 30000) {
        if (!QTest::qWaitFor([&] { return m_p.state() == QProcess::NotRunning; }, ms))
            return -1;
        return m_p.exitStatus() == QProcess::NormalExit ? m_p.exitCode() : -1;
    }
    QString output() { return QString::fromLocal8Bit(m_p.readAll()).left(1500); }

private:
    QProcess m_p;
};

// Arguments for a sipp caller ringing baresip at sipPort (its own SIP port: no race).
inline QStringList callerArgs(quint16 sipPort, int pauseMs) {
    return QStringLiteral("-s desk -key caller 5551234 -d %1 -mp %2 127.0.0.1:%3")
        .arg(pauseMs).arg(freeUdpPort()).arg(sipPort).split(u' ');
}

// The pid of parent's child process called name, or 0.
inline int childPid(qint64 parent, const QByteArray& name) {
    for (const QString& p : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(p));
        const QList<QByteArray> f =
            stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ') : QList<QByteArray>();
        if (f.size() > 3 && f[1] == '(' + name + ')' && f[3].toLongLong() == parent)
            return p.toInt();
    }
    return 0;
}
