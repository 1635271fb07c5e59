// Plug-in framing: the same bytes give the same replies whether they arrive
// whole or one by one; every reply is whole lines; the buffer stays bounded.
#include "fuzzcheck.h"
#include "plugins/pluginprotocol.h"

#include <QList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray in = bytes(data, size);
    auto status = [] { return QStringLiteral("500 RINGING '5551234' 'Ann O''Neil'"); };
    plugin::PlugInSession whole(status), split(status);
    const auto all = whole.handlePlugInCommands(in);
    QByteArray pieces;
    bool quit = false;
    for (qsizetype i = 0; i < in.size() && !quit; ++i) {
        const auto r = split.handlePlugInCommands(in.mid(i, 1));
        pieces += r.reply;
        quit = r.quit;
        check(split.bufferedBytes() <= plugin::MaxLineBytes + 1, "buffer bounded");
    }
    check(all.reply == pieces, "same replies whole and byte by byte");
    check(all.quit == quit, "same quit whole and byte by byte");
    check(all.reply.isEmpty() || all.reply.endsWith("\r\n"), "replies end with CR LF");
    check(all.reply.count('\n') == all.reply.count("\r\n") &&
              all.reply.count('\r') == all.reply.count("\r\n"),
          "no bare CR or LF in a reply");
    const QString text = QString::fromUtf8(in);
    check(plugin::toWire(text).size() == text.toUcs4().size(), "one byte a character on the wire");
    return 0;
}
