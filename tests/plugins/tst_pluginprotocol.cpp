#include "app/globals.h"
#include "common/testenv.h"
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
        QTest::newRow("status") << QByteArray("101\r\n") << S << false;
        QTest::newRow("status with text after") << QByteArray("101xyz\r\n") << S << false;
        QTest::newRow("quit") << QByteArray("100\r\n") << OK << true;
        QTest::newRow("quit as exponent") << QByteArray("1e2\r\n") << OK << true;
        QTest::newRow("quit with text after") << QByteArray("100 bye\r\n") << OK << true;
        QTest::newRow("two digits") << QByteArray("10\r\n") << E << false;
        QTest::newRow("word") << QByteArray("abc\r\n") << E << false;
        QTest::newRow("200 silent") << QByteArray("200\r\n") << QByteArray() << false;
        QTest::newRow("201 silent") << QByteArray("201\r\n") << QByteArray() << false;
        QTest::newRow("400 silent") << QByteArray("400\r\n") << QByteArray() << false;
        QTest::newRow("2e2 is 200") << QByteArray("2e2\r\n") << QByteArray() << false;
        QTest::newRow("4e2 is 400") << QByteArray("4e2\r\n") << QByteArray() << false;
        QTest::newRow("leading blank shifts") << QByteArray(" 101\r\n") << E << false;
        QTest::newRow("other number") << QByteArray("102\r\n") << E << false;
        QTest::newRow("fraction") << QByteArray("99.\r\n") << E << false;
        QTest::newRow("overflowing exponent") << QByteArray("9e9\r\n") << E << false;
        QTest::newRow("sign only") << QByteArray("+1e2\r\n") << E << false;
        QTest::newRow("empty line") << QByteArray("\r\n") << E << false;
        QTest::newRow("NUL inside") << QByteArray("10\0"
                                                  "1\r\n",
                                                  6)
                                    << E << false;
        QTest::newRow("non-ASCII digits")
            << QByteArray("\xd9\xa1\xd9\xa0\xd9\xa1\r\n") << E << false;
        QTest::newRow("high bytes") << QByteArray("\xff\xfe\xfd\r\n") << E << false;
        QTest::newRow("two lines") << QByteArray("101\r\n101\r\n") << S + S << false;
        QTest::newRow("empty line between")
            << QByteArray("101\r\n\r\n101\r\n") << S + E + S << false;
        QTest::newRow("empty line first") << QByteArray("\r\n101\r\n") << E + S << false;
        QTest::newRow("quit drops the rest") << QByteArray("100\r\n101\r\n") << OK << true;
        QTest::newRow("status then quit") << QByteArray("101\r\n100\r\n101\r\n") << S + OK << true;
        QTest::newRow("silent then status") << QByteArray("200\r\n101\r\n") << S << false;
        QTest::newRow("no terminator") << QByteArray("101") << QByteArray() << false;
        QTest::newRow("lone CR ends nothing") << QByteArray("101\r") << QByteArray() << false;
        QTest::newRow("lone LF ends nothing") << QByteArray("101\n") << QByteArray() << false;
        QTest::newRow("lone LF kept in line") << QByteArray("101\n\r\n") << S << false;
        QTest::newRow("lone LF first") << QByteArray("\n101\r\n") << E << false;
        QTest::newRow("lone CR inside") << QByteArray("1\r01\r\n") << E << false;
        QTest::newRow("CR CR LF") << QByteArray("101\r\r\n") << S << false;
        QTest::newRow("LF CR") << QByteArray("101\n\r") << QByteArray() << false;
    }
    // Whole, byte by byte, and split at every point: the same replies.
    void commands() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, reply);
        QFETCH(bool, quit);

        PlugInSession whole(fixedStatus);
        const PlugInSession::Result w = whole.handlePlugInCommands(input);
        QCOMPARE(w.reply, reply);
        QCOMPARE(w.quit, quit);
        if (quit)
            QCOMPARE(whole.bufferedBytes(), 0);

        QList<QByteArray> bytes;
        for (char c : input)
            bytes << QByteArray(1, c);
        PlugInSession single(fixedStatus);
        const PlugInSession::Result b = feed(single, bytes);
        QCOMPARE(b.reply, reply);
        QCOMPARE(b.quit, quit);

        for (qsizetype cut = 1; cut < input.size(); ++cut) {
            PlugInSession split(fixedStatus);
            const PlugInSession::Result r = feed(split, {input.left(cut), input.mid(cut)});
            QVERIFY2(r.reply == reply, qPrintable(QStringLiteral("cut at %1").arg(cut)));
            QCOMPARE(r.quit, quit);
        }
    }

    void partialCommandAcrossPackets() {
        // "10" first and "1 CR LF" later is one status request.
        PlugInSession s(fixedStatus);
        QCOMPARE(s.handlePlugInCommands("10").reply, QByteArray());
        QCOMPARE(s.bufferedBytes(), 2);
        QCOMPARE(s.handlePlugInCommands("1\r").reply, QByteArray());
        QCOMPARE(s.handlePlugInCommands("\n").reply, S);
        QCOMPARE(s.bufferedBytes(), 0);
    }

    void quitClearsTheBuffer() {
        PlugInSession s(fixedStatus);
        const auto r = s.handlePlugInCommands("100\r\n101");
        QVERIFY(r.quit);
        QCOMPARE(s.bufferedBytes(), 0);
    }

    void overlongLines_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("status head, long tail")
            << QByteArray("101") + QByteArray(100000, 'x') + "\r\n"
            << S;
        QTest::newRow("junk head") << QByteArray(5000, 'x') + "\r\n101\r\n" << E + S;
        QTest::newRow("exactly full")
            << QByteArray("101") + QByteArray(plugin::MaxLineBytes - 3, 'x') + "\r\n101\r\n"
            << S + S;
        QTest::newRow("CR right after a full line")
            << QByteArray("101") + QByteArray(plugin::MaxLineBytes - 3, 'x') + "\r\r\n"
            << S;
        QTest::newRow("long run of CR") << QByteArray("101") + QByteArray(3000, '\r') + "\n" << S;
        QTest::newRow("long run of LF")
            << QByteArray("101") + QByteArray(3000, '\n') + "\r\n200\r\n"
            << S;
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
        const QString none = QStringLiteral("500 DISCONNECTED");
        QTest::newRow("no call, ringing record") << false << 0 << "555"
                                                 << "Ann" << none;
        QTest::newRow("no call, connected record") << false << 1 << "555"
                                                   << "Ann" << none;
        QTest::newRow("ringing, quote doubled") << true << 0 << "555"
                                                << "O'Brien"
                                                << "500 RINGING '555' 'O''Brien'";
        QTest::newRow("connected") << true << 1 << "555"
                                   << "Ann"
                                   << "500 CONNECTED '555' 'Ann'";
        QTest::newRow("calling") << true << 4 << "0123"
                                 << "Not Found"
                                 << "500 CALLING '0123' 'Not Found'";
        QTest::newRow("disconnected") << true << 2 << "555"
                                      << "Ann" << none;
        QTest::newRow("unused code") << true << 3 << "555"
                                     << "Ann" << none;
        QTest::newRow("quote in number unchanged") << true << 0 << "5'5"
                                                   << "''"
                                                   << "500 RINGING '5'5' ''''''";
        QTest::newRow("empty fields") << true << 1 << ""
                                      << ""
                                      << "500 CONNECTED '' ''";
        QTest::newRow("line breaks become blanks")
            << true << 0 << QStringLiteral("55\r\n5") << QStringLiteral("A\nB\rC") + QChar(0)
            << "500 RINGING '55  5' 'A B C '";
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
        r.callMatchTag = QStringLiteral("0|O|0");
        QCOMPARE(plugin::statusLine(tracked, r), line);
    }

    void statusFromGlobalsWithoutCall() {
        TestEnv env;
        gCallRecord.callStatus = CallStatus::Connected;
        gCallRecord.callNumber = QStringLiteral("555");
        QCOMPARE(plugin::getCallStatusLine(), QStringLiteral("500 DISCONNECTED"));
        PlugInSession s; // reads the globals
        QCOMPARE(s.handlePlugInCommands("101\r\n").reply, QByteArray("500 DISCONNECTED\r\n"));
    }

    void wireEncoding_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ASCII") << "Ann" << QByteArray("Ann");
        QTest::newRow("Latin-1") << QStringLiteral("M\u00fcller \u00e9")
                                 << QByteArray("M\xfcller \xe9");
        QTest::newRow("beyond Latin-1")
            << QStringLiteral("\u0141ukasz \u20ac") << QByteArray("?ukasz ?");
        QTest::newRow("outside the BMP is one character")
            << QStringLiteral("a\U0001F600b") << QByteArray("a?b");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?");
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
