#include "plugins/pluginserver.h"

#include "app/globals.h"
#include "platform/errors.h"
#include "platform/strings.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {
// Input is taken in small pieces so that the replies to one piece stay small
// next to the output cap, even for a peer that sends many lines at once.
constexpr qint64 ReadChunk = 1024;
// How long a closing connection may take to hand over its last reply.
constexpr int CloseGraceMs = 5000;

// A peer that vanishes without a FIN or RST (cable pulled, host powered off)
// would hold its entry for ever: probe an idle connection so that a dead one
// ends within about a minute and a half.
void keepAlive(qintptr fd) {
    const int on = 1;
    const int options[][2] = {{SOL_SOCKET, SO_KEEPALIVE},
                              {IPPROTO_TCP, TCP_KEEPIDLE},
                              {IPPROTO_TCP, TCP_KEEPINTVL},
                              {IPPROTO_TCP, TCP_KEEPCNT}};
    const int values[] = {on, plugin::KeepAliveIdleSecs, plugin::KeepAliveIntervalSecs,
                          plugin::KeepAliveProbes};
    for (std::size_t k = 0; k < std::size(values); ++k)
        ::setsockopt(static_cast<int>(fd), options[k][0], options[k][1], &values[k],
                     sizeof(values[k]));
}
} // namespace

PlugInServer::PlugInServer(QObject* parent) : QObject(parent), m_listener(new QTcpServer(this)) {
    connect(m_listener, &QTcpServer::newConnection, this,
            [this] { trapErrors([this] { plugInConn_ConnectionRequest(); }); });
}

PlugInServer::~PlugInServer() {
    for (int i = 0; i < elementCount(); ++i) {
        if (QTcpSocket* s = m_elements[i]->socket) {
            s->disconnect(this);
            if (PlugIn* e = entry(i))
                e->connected = false;
        }
    }
}

void PlugInServer::start() {
    trapErrors([this] {
        if (!plugInsEnabled)
            return;
        if (noPlugIns || plugIns.isEmpty())
            return;
        stop();
        m_elements.clear();
        for (qsizetype i = 0; i < plugIns.size(); ++i) {
            m_elements.push_back(std::make_unique<Element>());
            if (plugIns[i])
                plugIns[i]->connected = false;
        }
        if (serverPort < 1 || serverPort > 65535) {
            raiseError(ErrNum::Network, loadResString(16292).arg(serverPort));
        }
        if (!m_listener->listen(QHostAddress::AnyIPv4, static_cast<quint16>(serverPort))) {
            raiseError(ErrNum::Network, loadResString(16293).arg(QString::number(serverPort),
                                                                 m_listener->errorString()));
        }
    });
}

void PlugInServer::stop() {
    m_listener->close();
    for (int i = 0; i < elementCount(); ++i) {
        if (m_elements[i]->socket)
            endConnection(i, false);
    }
}

bool PlugInServer::isListening() const {
    return m_listener->isListening();
}

quint16 PlugInServer::listeningPort() const {
    return m_listener->isListening() ? m_listener->serverPort() : 0;
}

bool PlugInServer::elementConnected(int i) const {
    return i >= 0 && i < elementCount() && m_elements[i]->socket;
}

qsizetype PlugInServer::bufferedInput(int i) const {
    if (i < 0 || i >= elementCount())
        return 0;
    qsizetype n = m_elements[i]->session.bufferedBytes();
    if (QTcpSocket* s = m_elements[i]->socket)
        n += s->bytesAvailable();
    return n;
}

qsizetype PlugInServer::pendingOutput(int i) const {
    if (i < 0 || i >= elementCount())
        return 0;
    QTcpSocket* s = m_elements[i]->socket;
    return s ? s->bytesToWrite() : 0;
}

PlugIn* PlugInServer::entry(int i) const {
    // The setup dialog may have shortened the list since start.
    if (i < 0 || i >= plugIns.size())
        return nullptr;
    return plugIns[i].get();
}

bool PlugInServer::holds(int i, QTcpSocket* socket) const {
    return i >= 0 && i < elementCount() && socket && m_elements[i]->socket == socket;
}

void PlugInServer::plugInConn_ConnectionRequest() {
    while (QTcpSocket* s = m_listener->nextPendingConnection()) {
        trapErrors([this, s] { admit(s); });
    }
}

void PlugInServer::admit(QTcpSocket* s) {
    const QString host = s->peerAddress().toString();
    const quint16 port = s->peerPort();

    int chosen = -1;
    if (!noPlugIns) {
        // Entries added since start have no element and are never admitted.
        const int limit = std::min(elementCount(), static_cast<int>(plugIns.size()));
        for (int i = 0; i < limit; ++i) {
            const PlugIn* e = plugIns[i].get();
            if (!e || e->connected || m_elements[i]->socket)
                continue;
            if (e->remoteHost == host && (e->remotePort == 0 || e->remotePort == port)) {
                chosen = i;
                break;
            }
        }
    }

    if (chosen < 0) {
        // Accepted only to be closed, so refused peers never fill the queue.
        s->abort();
        s->deleteLater();
        emit connectionRefused(host, port);
        return;
    }

    Element& el = *m_elements[chosen];
    s->setParent(this);
    s->setReadBufferSize(plugin::MaxPendingOutput);
    el.socket = s;
    el.session.clear();
    keepAlive(s->socketDescriptor());
    plugIns[chosen]->connected = true;

    const int i = chosen;
    connect(s, &QTcpSocket::readyRead, this,
            [this, i, s] { trapErrors([&] { plugInConn_DataArrival(i, s); }); });
    connect(s, &QTcpSocket::disconnected, this,
            [this, i, s] { trapErrors([&] { plugInConn_Close(i, s); }); });
    connect(s, &QTcpSocket::errorOccurred, this,
            [this, i, s] { trapErrors([&] { plugInConn_Close(i, s); }); });
    emit connectionAccepted(i);
}

void PlugInServer::plugInConn_DataArrival(int i, QTcpSocket* s) {
    if (holds(i, s))
        handlePlugInCommands(i);
}

void PlugInServer::plugInConn_Close(int i, QTcpSocket* s) {
    // A peer close and a socket error end the connection alike.
    if (holds(i, s))
        endConnection(i, false);
}

void PlugInServer::handlePlugInCommands(int i) {
    Element& el = *m_elements[i];
    QTcpSocket* s = el.socket;
    while (holds(i, s) && s->bytesAvailable() > 0) {
        const QByteArray data = s->read(ReadChunk);
        if (data.isEmpty())
            break;
        const plugin::PlugInSession::Result r = el.session.handlePlugInCommands(data);
        if (!r.reply.isEmpty() && s->write(r.reply) != r.reply.size()) {
            endConnection(i, false);
            return;
        }
        if (r.quit) {
            endConnection(i, true);
            return;
        }
        s->flush(); // may report an error and end the connection at once
        if (holds(i, s) && s->bytesToWrite() > plugin::MaxPendingOutput) {
            // The peer does not read its replies.
            endConnection(i, false);
            return;
        }
    }
}

void PlugInServer::endConnection(int i, bool graceful) {
    Element& el = *m_elements[i];
    QTcpSocket* s = el.socket;
    el.socket = nullptr;
    el.session.clear();
    if (PlugIn* e = entry(i))
        e->connected = false;
    if (s) {
        s->disconnect(this);
        if (graceful && s->state() == QAbstractSocket::ConnectedState) {
            // Let the last reply go out, but not wait forever for a peer that
            // does not read it.
            connect(s, &QAbstractSocket::disconnected, s, &QObject::deleteLater);
            QTimer::singleShot(CloseGraceMs, s, [s] {
                s->abort();
                s->deleteLater();
            });
            s->disconnectFromHost();
        } else {
            s->abort();
            s->deleteLater();
        }
    }
    emit connectionClosed(i);
}
