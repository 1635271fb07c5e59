#include "plugins/pluginprotocol.h"

#include <QTest>

using plugin::PlugInSession;

namespace {
const QByteArray S = QByteArrayLiteral("STATUS\r\n");
const QByteArray E = QByteArrayLiteral("201 ERROR\r\n");
const QByteArray OK = QByteArrayLiteral("200 OK\r\n");
QString fixedStatus() {
    return QStringLiteral("STATUS");
}

// Feeds the pieces in turn: the replies joined, and whether a quit came.
PlugInSession::Result feed(PlugInSession& session, const QList<QByteArray>& pieces) {
    PlugInSession::Result all;
    for (const QByteArray& p : pieces) {
        if (all.quit)
            break; // the connection is gone
        const PlugInSession::Result r = session.handlePlugInCommands(p);
        all.reply += r.reply;
        all.quit = r.quit;
    }
    return all;
}
} // namespace

class TstPlugInProtocol : public QObject {
    Q_OBJECT
private slots:
    void commands_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("quit");
        const auto row = [](const char* name, const QByteArray& in, const QByteArray& out,
                            bool quit = false) { QTest::newRow(name) << in << out << quit; };
        const QByteArray none;
        row("status", "101\r\n", S);
        row("quit", "100\r\n", OK, true);
        row("quit as exponent", "1e2\r\n", OK, true);
        row("word", "abc\r\n", E);
        row("200 silent", "200\r\n", none);
        row("201 silent", "201\r\n", none);
        row("leading blank shifts", " 101\r\n", E);
        row("fraction", "99.\r\n", E);
        row("overflowing exponent", "9e9\r\n", E);
        row("NUL inside", QByteArray("10\0001\r\n", 6), E);
        row("non-ASCII digits", "\xd9\xa1\xd9\xa0\xd9\xa1\r\n", E);
        row("empty line between", "101\r\n\r\n101\r\n", S + E + S);
        row("quit drops the rest", "100\r\n101\r\n101", OK, true);
        row("no terminator", "101", none);
        row("lone CR ends nothing", "101\r", none);
        row("lone LF kept in line", "101\n\r\n", S);
        row("lone CR inside", "1\r01\r\n", E);
        row("CR CR LF", "101\r\r\n", S);
    }
    // Whole, byte by byte, and split at every point (CR LF across two
    // packets included): the same replies. A quit leaves nothing buffered.
    void commands() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, reply);
        QFETCH(bool, quit);
        QList<QList<QByteArray>> ways{{input}, {}};
        for (char c : input)
            ways[1] << QByteArray(1, c);
        for (qsizetype cut = 1; cut < input.size(); ++cut)
            ways << QList<QByteArray>{input.left(cut), input.mid(cut)};
        for (const QList<QByteArray>& pieces : ways) {
            PlugInSession s(fixedStatus);
            const PlugInSession::Result r = feed(s, pieces);
            QVERIFY2(r.reply == reply && r.quit == quit,
                     qPrintable(QString::number(pieces.value(0).size()) + " bytes first"));
            if (quit)
                QCOMPARE(s.bufferedBytes(), 0);
        }
    }

    // Overlong lines cost at most one line's buffer, and the next line is read.
    void overlongLines() {
        const std::pair<QByteArray, QByteArray> rows[] = {
            {"101" + QByteArray(100000, 'x') + "\r\n", S}, // status head, long tail
            {QByteArray(5000, 'x') + "\r\n101\r\n", E + S},
            {"101" + QByteArray(plugin::MaxLineBytes - 3, 'x') + "\r\n101\r\n", S + S},
            {"101" + QByteArray(3000, '\r') + "\n", S}};
        for (const auto& [input, reply] : rows) {
            PlugInSession s(fixedStatus);
            QByteArray all;
            for (qsizetype at = 0; at < input.size(); at += 7) {
                all += s.handlePlugInCommands(input.mid(at, 7)).reply;
                QVERIFY(s.bufferedBytes() <= plugin::MaxLineBytes + 1);
            }
            QCOMPARE(all, reply);
            QCOMPARE(s.bufferedBytes(), 0);
        }
    }

    void statusLine() {
        const auto line = [](bool tracked, int status, const QString& number, const QString& name) {
            CallRecord r;
            r.callStatus = static_cast<std::int16_t>(status);
            r.callNumber = number;
            r.callName = name;
            return plugin::statusLine(tracked, r);
        };
        QCOMPARE(line(false, 1, "555", "Ann"), "500 DISCONNECTED"); // no call
        QCOMPARE(line(true, 0, "555", "O'Brien"), "500 RINGING '555' 'O''Brien'");
        QCOMPARE(line(true, 4, "0123", "Not Found"), "500 CALLING '0123' 'Not Found'");
        QCOMPARE(line(true, 2, "555", "Ann"), "500 DISCONNECTED");
        QCOMPARE(line(true, 0, "5'5", "''"), "500 RINGING '5'5' ''''''"); // number as it is
        QCOMPARE(line(true, 0, "55\r\n5", QStringLiteral("A\nB\rC") + QChar(0)),
                 "500 RINGING '55  5' 'A B C '");
    }

    // Latin-1 as it is; beyond it one '?' per character, outside the BMP too.
    void wireEncoding() {
        const std::pair<QString, QByteArray> rows[] = {
            {QStringLiteral("M\u00fcller \u00ff"), QByteArray("M\xfcller \xff")},
            {QStringLiteral("\u0141ukasz \u20ac"), QByteArray("?ukasz ?")},
            {QStringLiteral("a\U0001F600b"), QByteArray("a?b")}};
        for (const auto& [text, bytes] : rows) {
            QCOMPARE(plugin::toWire(text), bytes);
            PlugInSession s([t = text] { return t; });
            QCOMPARE(s.handlePlugInCommands("101\r\n").reply, bytes + "\r\n");
        }
    }
};

QTEST_GUILESS_MAIN(TstPlugInProtocol)
#include "tst_pluginprotocol.moc"
