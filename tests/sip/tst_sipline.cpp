#include "sip/sipfixture.h"
#include "telephony/callfixture.h"

#include "app/sipsettings.h"
#include "platform/settingsstore.h"
#include "platform/telephony/sipline.h"

#include <QDirIterator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>
#include <csignal>

// The SIP line against a real baresip, with sipp as the far end, under the
// program's own call handling.
class TstSipLine : public QObject {
    Q_OBJECT
    std::unique_ptr<CallFixture> f;

    static QString configHome() { return qEnvironmentVariable("XDG_CONFIG_HOME"); }

    // Telephony on the address "SIP desk" (or device), the fixture's books; waits for the
    // link to baresip. Answers baresip's port.
    quint16 startLine(const QString& accountTail = {}, const QString& audio = {},
                      const QString& program = QStringLiteral("baresip"),
                      const QString& device = QStringLiteral("SIP desk")) {
        const quint16 port = freeUdpPort();
        const QString snd = f->file(QStringLiteral("snd"));
        QDir().mkpath(snd);
        SipLine::setConfig({"<sip:desk@127.0.0.1>;regint=0" + accountTail, QStringLiteral("SIP desk"),
                            QStringLiteral("127.0.0.1:%1").arg(port),
                            audio.isEmpty() ? QStringLiteral("aubridge,b%1").arg(port) : audio, program, snd});
        f->step(QStringLiteral("book"));
        gPreferences->TAPIDevice = device;
        f->start();
        if (program == u"baresip" &&
            !QTest::qWaitFor([] { return sipLinkUp(configHome()); }, 10000))
            qWarning("baresip (package baresip-core) did not come up");
        pump(); // the program's side of the connection
        return port;
    }

    static bool ringing() {
        return gCall && frmTelephoneRing::isShown() && gCallRecord.callStatus == CallStatus::Ringing;
    }
    static bool connected() { return gCallRecord.callStatus == CallStatus::Connected; }

private slots:
    void init() { f = std::make_unique<CallFixture>(); }
    void cleanup() {
        f.reset();
        SipLine::setConfig(SipConfig{});
    }

    // Answered with audio, cancelled, rejected; or lost after Answer: baresip killed once
    // connected, or an audio source it cannot open at 8 kHz stalling the answer past 10 s.
    // The call ends and is logged, any error shown; the line comes back or stays up.
    void incoming_data() {
        for (const char* c : {"scenario", "action", "audio", "error"})
            QTest::addColumn<QString>(c);
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<int>("book");
        QTest::newRow("answered, far end hangs up") << "uac_answer.xml" << "cmdAnswer" << "" << "" << 2000 << 1;
        QTest::newRow("caller cancels") << "uac_cancel.xml" << "" << "" << "" << 300 << 2;
        QTest::newRow("rejected") << "uac_reject.xml" << "Disconnect" << "" << "" << 0 << 2;
        QTest::newRow("baresip killed") << "uac_answer.xml" << "kill" << "" << "The SIP line is out of service: "
                                        << 20000 << 1;
        QTest::newRow("answer not confirmed") << "uac_answer.xml" << "cmdAnswer" << "ausine,"
                                              << "did not confirm the answer within 10" << 20000 << 2;
    }
    void incoming() {
        QFETCH(QString, scenario);
        QFETCH(QString, action);
        QFETCH(QString, audio);
        QFETCH(QString, error);
        QFETCH(int, pauseMs);
        QFETCH(int, book);
        const quint16 port = startLine({}, audio);
        Sipp sipp(f->file(QStringLiteral("sipp")), scenario, callerArgs(port, pauseMs));
        QVERIFY2(QTest::qWaitFor(ringing, 10000), qPrintable(sipp.output()));
        QCOMPARE(labelOf(frmTelephoneRing::instance(), "lblCallerIDNum"), QString("5551234"));
        QCOMPARE(labelOf(frmTelephoneRing::instance(), "lblCallerIdStr"), QString("Anna Rossi"));
        if (action == u"Disconnect") // the window offers it once connected
            gCall->Disconnect(DC_REJECTED);
        else if (!action.isEmpty())
            click(frmTelephoneRing::instance(), "cmdAnswer");
        if (action == u"kill") {
            QVERIFY(QTest::qWaitFor(connected, 10000));
            const int child = childPid(QCoreApplication::applicationPid(), "baresip");
            QVERIFY(child > 0 && ::kill(child, SIGKILL) == 0);
        }
        QVERIFY2(!error.isEmpty() || sipp.result() == 0, qPrintable(sipp.output()));
        QVERIFY(QTest::qWaitFor([] { return !gCall; }, 12000));
        QCOMPARE(f->entries(book), QStringList{"Anna Rossi|95551234|||||"});
        QCOMPARE(f->entries(3 - book), QStringList());
        int peak = 0; // the loudest sample of the decoded audio baresip dumped (16-bit WAV)
        for (QDirIterator it(f->file(QStringLiteral("snd")), {QStringLiteral("*-dec.wav")}); it.hasNext();) {
            QFile w(it.next());
            const QByteArray pcm = w.open(QIODevice::ReadOnly) ? w.readAll().mid(44) : QByteArray();
            for (qsizetype i = 0; i + 1 < pcm.size(); i += 2)
                peak = std::max(peak, std::abs(qFromLittleEndian<qint16>(pcm.constData() + i)));
        }
        QVERIFY2(peak > 1000 || book == 2 || !error.isEmpty(), "the decoded audio is silence");
        if (error.isEmpty()) {
            QCOMPARE(promptLog(), QStringList());
            return;
        }
        QVERIFY(QTest::qWaitFor([] { return !Prompter::records().isEmpty(); }, 5000));
        QVERIFY2(promptLog().join(u'\n').contains(error), qPrintable(promptLog().join(u'\n')));
        QCOMPARE(sipLinkUp(configHome()), !audio.isEmpty());
        gTAPI->Initialize();
        QVERIFY(QTest::qWaitFor([] { return sipLinkUp(configHome()); }, 10000));
    }

    void outgoing() {
        const quint16 callee = freeUdpPort();
        Sipp sipp(f->file(QStringLiteral("sipp")), QStringLiteral("uas_dial.xml"),
                  QStringLiteral("-p %1 -mp %2").arg(callee).arg(freeUdpPort()).split(u' '));
        startLine(QStringLiteral(";outbound=\"sip:127.0.0.1:%1\"").arg(callee));
        f->step(QStringLiteral("dial:555-98 76"));
        frmTelephoneCall* w = frmTelephoneCall::instance();
        QVERIFY(QTest::qWaitFor(connected, 10000));
        Prompter::pushAnswer(Msg::Yes);
        click(w, "cmdHangUp");
        QVERIFY2(sipp.result() == 0, qPrintable(sipp.output()));
        QVERIFY(QTest::qWaitFor([] { return !gCall; }, 5000));
        QCOMPARE(f->entries(0), QStringList{"Not Found|5559876|||||"});
        QCOMPARE(Prompter::records().size(), 1); // "Disconnect the current call?"
    }

    // A control peer sending garbage: the link is dropped and reported, the
    // ringing call ends and is logged.
    void hostilePeer_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("error");
        QTest::newRow("bad length") << QByteArray("x2:{},") << "a bad frame: the length is not a number";
        QTest::newRow("missing comma") << QByteArray("2:{}.") << "a bad frame: the frame does not end with a comma";
        QTest::newRow("not JSON") << QByteArray("3:{x},") << "a message that is not a JSON object";
        QTest::newRow("JSON array") << QByteArray("2:[],") << "a message that is not a JSON object";
        QTest::newRow("over 64 KiB") << QByteArray("65537:{") << "a bad frame: the frame is longer than 64 KiB";
        QTest::newRow("unknown event") << NetstringReader::frame(R"({"event":true,"type":"BOGUS"})")
                                       << "an unknown message (BOGUS)";
    }
    void hostilePeer() {
        QFETCH(QByteArray, frame);
        QFETCH(QString, error);
        QFile standIn(f->file(QStringLiteral("standin"))); // stays up, speaks nothing
        QVERIFY(standIn.open(QIODevice::WriteOnly) && standIn.write("#!/bin/sh\nexec sleep 30\n") &&
                standIn.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        standIn.close();
        startLine({}, {}, standIn.fileName());
        QTcpServer peer;
        QVERIFY(peer.listen(QHostAddress::LocalHost, ctrlPort(configHome())));
        QVERIFY(QTest::qWaitFor([&] { return peer.hasPendingConnections(); }, 5000));
        QTcpSocket* link = peer.nextPendingConnection();
        link->write(NetstringReader::frame(R"({"event":true,"type":"CALL_INCOMING","class":"call",)"
                                           R"("direction":"incoming","peeruri":"sip:5551234@h","id":"1"})"));
        QVERIFY(QTest::qWaitFor(ringing, 5000));
        link->write(frame);
        QVERIFY(QTest::qWaitFor([&] { return !gCall && link->state() == QTcpSocket::UnconnectedState; }, 5000));
        QCOMPARE(f->entries(2), QStringList{"Anna Rossi|95551234|||||"});
        QVERIFY(QTest::qWaitFor([] { return !Prompter::records().isEmpty(); }, 5000));
        QVERIFY2(promptLog()[0].contains("The SIP line is out of service: baresip sent " + error),
                 qPrintable(promptLog()[0]));
    }

    // No baresip: one message naming the program and the package; the
    // simulated line still rings.
    void programMissing() {
        startLine({}, {}, QStringLiteral("/nonexistent/baresip"), QStringLiteral("Simulated Line"));
        gTAPI->Initialize(); // tries again, as after Preferences
        QVERIFY(QTest::qWaitFor([] { return !Prompter::records().isEmpty(); }, 5000));
        QCOMPARE(promptLog().size(), 1);
        QVERIFY(promptLog()[0].contains("\"/nonexistent/baresip\" (not found or not runnable). "
                                        "Install the package baresip-core."));
        f->step(QStringLiteral("offer:5551234"));
        QCOMPARE(labelOf(frmTelephoneRing::instance(), "lblCallerIdStr"), QString("Anna Rossi"));
    }

    // The number taken from a caller's URI ("uri:") or sent for a typed one ("dial:"); "-": refused.
    void numbers_data() {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("uri: sip") << "sip:5551234@127.0.0.1:5080" << "5551234";
        QTest::newRow("uri: angle, params, password") << "<sip:555%201;user=phone:pw@h>" << "555 1";
        QTest::newRow("uri: tel") << "tel:+39-02-555;phone-context=x" << "+39-02-555";
        QTest::newRow("uri: sips, headers") << "SIPS:%2B1555@h?subject=x" << "+1555";
        QTest::newRow("uri: anonymous") << "sip:Anonymous@anonymous.invalid" << "-";
        QTest::newRow("uri: unknown") << "tel:unknown" << "-";
        QTest::newRow("uri: no user part") << "sip:pbx.example.org" << "-";
        QTest::newRow("uri: empty user") << "sip:@h" << "-";
        QTest::newRow("uri: control character") << "sip:55%0A5@h" << "-";
        QTest::newRow("uri: other scheme") << "mailto:555@h" << "-";
        QTest::newRow("dial: separators dropped") << "(555) 98-76.5" << "55598765";
        QTest::newRow("dial: plus star hash") << "+39*21#" << "+39*21#";
        QTest::newRow("dial: line break, letters refused") << "5\n hangup" << "-";
        QTest::newRow("dial: non-ASCII digit refused") << "55\u0665" << "-";
        QTest::newRow("dial: nothing left") << " - " << "-";
    }
    void numbers() {
        QFETCH(QString, in);
        QFETCH(QString, out);
        const bool uri = QByteArray(QTest::currentDataTag()).startsWith("uri:");
        QCOMPARE((uri ? SipLine::numberFromUri(in) : SipLine::dialString(in)).value_or(QStringLiteral("-")), out);
    }

    // Chunks as they arrive ("|" between them); the messages, then the error.
    void netstrings_data() {
        QTest::addColumn<QByteArray>("chunks");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("split anywhere") << QByteArray("3:a|bc,0:,1|0:0123456789,") << QByteArray("abc||0123456789|");
        const QByteArray big(65536, 'x');
        QTest::newRow("largest") << "65536:" + big + ',' << big + '|';
        QTest::newRow("endless length") << QByteArray("0000000") << QByteArray("the frame is longer than 64 KiB");
        QTest::newRow("no length") << QByteArray("2:ok,:x,") << QByteArray("ok|the length is missing");
    }
    void netstrings() {
        QFETCH(QByteArray, chunks);
        QFETCH(QByteArray, expected);
        NetstringReader r;
        QByteArrayList got;
        for (const QByteArray& c : chunks.split('|'))
            got += r.feed(c);
        QCOMPARE((got << r.error().toUtf8()).join('|'), expected);
    }

    // [sip] as written in the file; the config handed on, or the error.
    void settings_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("result");
        QTest::newRow("defaults") << QStringList{"account", "<sip:a@pbx>;auth_pass=x"}
                                  << "<sip:a@pbx>;auth_pass=x|||alsa,default|baresip";
        QTest::newRow("all set")
            << QStringList{"ACCOUNT", " <sip:d@127.0.0.1>;regint=0 ", "addressName", "Desk",
                           "listen",  "127.0.0.1:5070", "audioDevice", "pulse,", "program", "/b"}
            << "<sip:d@127.0.0.1>;regint=0|Desk|127.0.0.1:5070|pulse,|/b";
        QTest::newRow("no account") << QStringList{} << "|||alsa,default|baresip";
        QTest::newRow("bad account") << QStringList{"account", "alice@pbx"} << "Setting account in [sip]";
        QTest::newRow("bad listen") << QStringList{"account", "<sip:a@h>", "listen", "pbx:99999"} << "Setting listen in [sip]";
        QTest::newRow("bad device") << QStringList{"account", "<sip:a@h>", "audioDevice", "alsa"} << "Setting audioDevice in [sip]";
        QTest::newRow("line break") << QStringList{"account", "<sip:a@h>", "addressName", "a\nb"} << "Setting addressName in [sip]";
    }
    void settings() {
        QFETCH(QStringList, entries);
        QFETCH(QString, result);
        SettingsStore::Entries e;
        for (qsizetype i = 0; i + 1 < entries.size(); i += 2)
            e.append({entries[i], entries[i + 1]});
        SettingsStore::instance().replaceSection(QStringLiteral("sip"), e);
        loadSipSettings();
        const SipConfig& c = SipLine::config();
        const QString got = Prompter::records().isEmpty()
                                ? QStringList{c.account, c.addressName, c.listen, c.audioDevice,
                                              c.program}.join(u'|')
                                : Prompter::records().first().text;
        QVERIFY2(got.contains(result), qPrintable(got));
        QCOMPARE(c.account.isEmpty(), !Prompter::records().isEmpty() || entries.isEmpty());
    }
};

QTEST_MAIN(TstSipLine)
#include "tst_sipline.moc"
