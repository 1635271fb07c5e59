// Sends one command to the simulated line of a running Tamrivo and prints
// the reply. Usage: tamrivo-simline COMMAND [ARGUMENT]
//   ring | offer [NUMBER] | callerid NUMBER | connect | hangup | status
// Exit status: 0 for an "OK" reply, 1 for "ERR", 2 when the line cannot be
// reached.

#include "platform/telephony/simline.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <QStringList>
#include <cstdio>

namespace {
constexpr int TimeoutMs = 5000;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args[0] == u"-h" || args[0] == u"--help") {
        std::fprintf(stderr,
                     "usage: tamrivo-simline COMMAND [ARGUMENT]\n"
                     "commands: ring, offer [NUMBER], callerid NUMBER, connect, hangup, status\n"
                     "socket: $TAMRIVO_SIMLINE_SOCKET, else $XDG_RUNTIME_DIR/tamrivo-simline\n");
        return args.isEmpty() ? 2 : 0;
    }
    const QString command = args.join(u' ');
    if (command.contains(u'\n') || command.contains(u'\r')) {
        std::fprintf(stderr, "tamrivo-simline: the command must be one line\n");
        return 2;
    }

    const QString path = SimLine::socketPath();
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(TimeoutMs)) {
        std::fprintf(stderr, "tamrivo-simline: cannot reach %s: %s\n", qPrintable(path),
                     qPrintable(socket.errorString()));
        return 2;
    }
    socket.write(command.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(TimeoutMs)) {
        std::fprintf(stderr, "tamrivo-simline: %s\n", qPrintable(socket.errorString()));
        return 2;
    }
    QByteArray reply;
    while (!reply.contains('\n')) {
        if (!socket.waitForReadyRead(TimeoutMs)) {
            std::fprintf(stderr, "tamrivo-simline: no reply: %s\n",
                         qPrintable(socket.errorString()));
            return 2;
        }
        reply += socket.readAll();
    }
    reply.truncate(reply.indexOf('\n'));
    if (reply.endsWith('\r'))
        reply.chop(1);
    std::printf("%s\n", reply.constData());
    socket.disconnectFromServer();
    return reply.startsWith("OK") ? 0 : 1;
}
