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

// Feeds the pieces one after the other; the replies joined, and whether a
// quit came.
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
        row("2e2 is 200", "2e2\r\n", none);
        row("leading blank shifts", " 101\r\n", E);
        row("fraction", "99.\r\n", E);
        row("overflowing exponent", "9e9\r\n", E);
        row("empty line", "\r\n", E);
        row("NUL inside", QByteArray("10\0001\r\n", 6), E);
        row("non-ASCII digits", "\xd9\xa1\xd9\xa0\xd9\xa1\r\n", E);
        row("two lines", "101\r\n101\r\n", S + S);
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
                     qPrintable(QStringLiteral("%1 pieces, first %2 bytes")
                                    .arg(pieces.size())
                                    .arg(pieces.value(0).size())));
            if (quit)
                QCOMPARE(s.bufferedBytes(), 0);
        }
    }

    void overlongLines_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray full = QByteArray("101") + QByteArray(plugin::MaxLineBytes - 3, 'x');
        QTest::newRow("status head, long tail") << "101" + QByteArray(100000, 'x') + "\r\n" << S;
        QTest::newRow("junk head") << QByteArray(5000, 'x') + "\r\n101\r\n" << E + S;
        QTest::newRow("exactly full") << full + "\r\n101\r\n" << S + S;
        QTest::newRow("long run of CR") << "101" + QByteArray(3000, '\r') + "\n" << S;
    }
    void overlongLines() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, reply);
        PlugInSession s(fixedStatus);
        PlugInSession::Result all;
        for (qsizetype at = 0; at < input.size(); at += 7) {
            all.reply += s.handlePlugInCommands(input.mid(at, 7)).reply;
            QVERIFY(s.bufferedBytes() <= plugin::MaxLineBytes + 1);
        }
        QCOMPARE(all.reply, reply);
        QCOMPARE(s.bufferedBytes(), 0);
    }

    void statusLine_data() {
        QTest::addColumn<bool>("tracked");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("line");
        const auto row = [](const char* tag, bool tracked, int status, const QString& number,
                            const QString& name, const char* line) {
            QTest::newRow(tag) << tracked << status << number << name << QString(line);
        };
        const char* none = "500 DISCONNECTED";
        row("no call, connected record", false, 1, "555", "Ann", none);
        row("ringing, quote doubled", true, 0, "555", "O'Brien", "500 RINGING '555' 'O''Brien'");
        row("connected", true, 1, "555", "Ann", "500 CONNECTED '555' 'Ann'");
        row("calling", true, 4, "0123", "Not Found", "500 CALLING '0123' 'Not Found'");
        row("disconnected", true, 2, "555", "Ann", none);
        row("quote in number unchanged", true, 0, "5'5", "''", "500 RINGING '5'5' ''''''");
        row("line breaks become blanks", true, 0, "55\r\n5", QStringLiteral("A\nB\rC") + QChar(0),
            "500 RINGING '55  5' 'A B C '");
    }
    void statusLine() {
        QFETCH(bool, tracked);
        QFETCH(int, status);
        QFETCH(QString, number);
        QFETCH(QString, name);
        QFETCH(QString, line);
        CallRecord r;
        r.callStatus = static_cast<std::int16_t>(status);
        r.callNumber = number;
        r.callName = name;
        QCOMPARE(plugin::statusLine(tracked, r), line);
    }

    void wireEncoding_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Latin-1") << QStringLiteral("M\u00fcller \u00ff")
                                 << QByteArray("M\xfcller \xff");
        QTest::newRow("beyond Latin-1")
            << QStringLiteral("\u0141ukasz \u20ac") << QByteArray("?ukasz ?");
        QTest::newRow("outside the BMP is one character")
            << QStringLiteral("a\U0001F600b") << QByteArray("a?b");
    }
    void wireEncoding() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(plugin::toWire(text), bytes);
        PlugInSession s([&] { return text; });
        QCOMPARE(s.handlePlugInCommands("101\r\n").reply, bytes + "\r\n");
    }
};

QTEST_GUILESS_MAIN(TstPlugInProtocol)
#include "tst_pluginprotocol.moc"
