// The simulated line's control commands: every line gets one reply line
// starting with OK or ERR, whatever came before it.
#include "fuzzcheck.h"
#include "platform/telephony/simline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SimLine& line = SimLine::instance();
    for (const QByteArray& command : bytes(data, size).split('\n')) {
        const QString reply = line.handleCommand(QString::fromUtf8(command));
        check(reply.startsWith(u"OK") || reply.startsWith(u"ERR"), "reply starts OK or ERR");
        check(!reply.contains(u'\n') && !reply.contains(u'\r'), "reply is one line");
    }
    line.reset();
    return 0;
}
