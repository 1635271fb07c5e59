#pragma once

#include "plugins/pluginprotocol.h"

#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace plugin {
// Keepalive on admitted connections: a silent peer is probed after this idle
// time, then at this interval, and given up after this many unanswered probes.
constexpr int KeepAliveIdleSecs = 60;
constexpr int KeepAliveIntervalSecs = 10;
constexpr int KeepAliveProbes = 3;
} // namespace plugin

// The plug-in server: listens on serverPort and answers the configured
// plug-ins. Owned by the main window.
//
// Entry i of plugIns (as the list stood at start) owns connection element i:
// at most one connection at a time, admitted only from the entry's address
// and, when its remotePort is not 0, from that source port.
class PlugInServer : public QObject {
    Q_OBJECT
public:
    explicit PlugInServer(QObject* parent = nullptr);
    ~PlugInServer() override;

    // Starts listening from the plug-in list as it stands now. Failures are
    // reported to the user; the program then runs without a listener.
    void start();
    // Stops listening and drops every connection.
    void stop();

    bool isListening() const;
    // The port listened on, 0 when not listening.
    quint16 listeningPort() const;
    // Number of connection elements (entries at start).
    int elementCount() const { return static_cast<int>(m_elements.size()); }
    // Whether element i holds a connection.
    bool elementConnected(int i) const;
    // Received bytes of element i not yet taken as a line.
    qsizetype bufferedInput(int i) const;
    // Replies of element i not yet handed to the network.
    qsizetype pendingOutput(int i) const;

signals:
    // Element i admitted a connection / lost it (quit, peer close, error).
    void connectionAccepted(int i);
    void connectionClosed(int i);
    // A connection matched no free entry and was closed at once.
    void connectionRefused(const QString& host, quint16 port);

private:
    struct Element {
        QPointer<QTcpSocket> socket;
        plugin::PlugInSession session;
    };

    void plugInConn_ConnectionRequest();
    void admit(QTcpSocket* socket);
    void plugInConn_DataArrival(int i, QTcpSocket* socket);
    void plugInConn_Close(int i, QTcpSocket* socket);
    void handlePlugInCommands(int i);
    // Frees element i; graceful sends what is queued before closing.
    void endConnection(int i, bool graceful);
    PlugIn* entry(int i) const;
    bool holds(int i, QTcpSocket* socket) const;

    QTcpServer* m_listener;
    std::vector<std::unique_ptr<Element>> m_elements;
};
