#include "sip/sipfixture.h"
#include "telephony/callfixture.h"

#include "app/sipsettings.h"
#include "app/strings.h"
#include "platform/settingsstore.h"
#include "platform/telephony/sipline.h"

#include <QDirIterator>
#include <QSaveFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>
#include <csignal>
#include <unistd.h>
#include <optional>

// The SIP line against a real baresip, with sipp as the far end, under the
// program's own call handling.
class TstSipLine : public QObject {
    Q_OBJECT
    std::unique_ptr<CallFixture> f;

    static QString configHome() { return qEnvironmentVariable("XDG_CONFIG_HOME"); }

    // Telephony on the address "SIP desk" (or device), the fixture's books. Answers baresip's port.
    quint16 startLine(const QString& accountTail = QStringLiteral(";regint=0"), const QString& audio = {},
                      const QString& program = QStringLiteral("baresip"),
                      const QString& device = QStringLiteral("SIP desk")) {
        const quint16 port = freeUdpPort();
        const QString snd = f->file(QStringLiteral("snd"));
        QDir().mkpath(snd);
        SipLine::setConfig({"<sip:desk@127.0.0.1>" + accountTail, QStringLiteral("SIP desk"), QStringLiteral("127.0.0.1:%1")
                            .arg(port), audio.isEmpty() ? QStringLiteral("aubridge,b%1").arg(port) : audio, program, snd});
        f->step(QStringLiteral("book"));
        f->start();
        choose(device); // what the line tells from here on is kept
        return port;
    }
    // Picks the address as Preferences does; waits for baresip's account to be set up (or the
    // line lost) when that is the SIP line's.
    void choose(const QString& device) {
        QObject scope;
        bool up = device != u"SIP desk" || SipLine::config().program != u"baresip";
        connect(gTAPI.get(), &ITTAPI::Event, &scope, [&](long code) { up = up || code == TE_ADDRESS; });
        gPreferences->TAPIDevice = device, setupTAPI(), f->handler()->TAPIEventsInit();
        QVERIFY2(QTest::qWaitFor([&] { return up; }, 10000), "baresip (package baresip-core) did not come up");
    }

    static bool ringing() {
        return gCall && frmTelephoneRing::isShown() && gCallRecord.callStatus == CallStatus::Ringing;
    }
    static bool connected() { return gCallRecord.callStatus == CallStatus::Connected; }

private slots:
    void init() {
        f = std::make_unique<CallFixture>();
        SipLine::setTexts(loadResString);
    }
    void cleanup() {
        f.reset();
        SipLine::setConfig(SipConfig{});
    }

    // One call from sipp, beside a registrar (registrar.xml) or not: answered with audio,
    // cancelled, rejected; lost after Answer (baresip killed once connected, or an audio source
    // it cannot open at 8 kHz stalling the answer past 10 s). The call ends and is logged
    // whatever the registrar or the far end's bytes; each message is told once, in order.
    void incoming_data() {
        for (const char* c : {"scenario", "registrar", "actions", "audio", "said"})
            QTest::addColumn<QString>(c);
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<int>("book");
        const auto row = [](const char* name, const QStringList& s, int pauseMs, int book) {
            QTest::newRow(name) << s[0] << s[1] << s[2] << s[3] << s[4] << pauseMs << book;
        };
        row("answered, far end hangs up", {"uac_answer.xml", "", "cmdAnswer", "", ""}, 2000, 1);
        row("rejected", {"uac_reject.xml", "", "reject", "", ""}, 0, 2);
        row("caller cancels, named in bytes not UTF-8", {"uac_cancel_latin1.xml", "", "", "", ""}, 300, 2);
        row("answer not confirmed", {"uac_answer.xml", "", "cmdAnswer", "ausine,",
                                     "did not confirm the answer within 10"}, 20000, 2);
        row("baresip killed, back by itself", {"uac_answer.xml", "registrar_refuses_then_grants.csv", "cmdAnswer,kill",
            "", "refused the account: 403 Forbidden|out of service: |back in service|registered again"}, 20000, 1);
        row("wrong password", {"uac_answer.xml", "registrar_refuses_password.csv", "cmdAnswer", "",
                               "refused the account: 403 Forbidden"}, 2000, 1);
        row("refresh refused during the call", {"uac_answer.xml", "registrar_refuses_refresh.csv", "cmdAnswer",
                                                "", "refused the account: 403 Forbidden"}, 4000, 1);
        row("registrar unreachable", {"uac_cancel.xml", "closed", "", "",
                                      "cannot reach the SIP registrar: Connection refused"}, 300, 2);
        row("Disconnect ends the call answered, not a second caller", {"uac_answer_bye.xml", "", "cmdAnswer,second,cmdDisconnect", "",
                                    "Can work with only one call at a time"}, 0, 1);
    }
    void incoming() {
        QFETCH(QString, scenario);
        QFETCH(QString, registrar);
        QFETCH(QString, actions);
        QFETCH(QString, audio);
        QFETCH(QString, said);
        QFETCH(int, pauseMs);
        QFETCH(int, book);
        const quint16 reg = freeUdpPort();
        std::optional<Sipp> registrarSipp, other;
        if (registrar.endsWith(u".csv")) // each baresip run gets the next line's answers
            registrarSipp.emplace(f->file(QStringLiteral("reg")), QStringLiteral("registrar.xml"), QStringLiteral(
                "-m 2 -p %1 -inf %2/tests/sip/%3").arg(reg).arg(sourceDir(), registrar).split(u' '));
        const quint16 port = startLine(registrar.isEmpty() ? QStringLiteral(";regint=0") : QStringLiteral(
            ";regint=2;auth_pass=wrong;outbound=\"sip:127.0.0.1:%1%2\"").arg(reg).arg(registrar == u"closed" ? ";transport=tcp" : ""), audio);
        Sipp sipp(f->file(QStringLiteral("sipp")), scenario, callerArgs(port, pauseMs));
        QVERIFY2(QTest::qWaitFor(ringing, 10000), qPrintable(promptLog().join(u'\n') + sipp.output()));
        QCOMPARE(labelOf(frmTelephoneRing::instance(), "lblCallerIDNum"), QString("5551234"));
        QCOMPARE(labelOf(frmTelephoneRing::instance(), "lblCallerIdStr"), QString("Anna Rossi"));
        for (const QString& step : actions.split(u',', Qt::SkipEmptyParts)) {
            QVERIFY(step == actions.section(u',', 0, 0) || QTest::qWaitFor(connected, 10000));
            if (step == u"reject") // the window offers it once connected
                gCall->Disconnect(DC_REJECTED);
            else if (step == u"second") // announced before the next step
                other.emplace(f->file(QStringLiteral("sipp2")), "uac_cancel.xml", callerArgs(port, 3000));
            else if (step == u"kill")
                QVERIFY(childPid(getpid(), "baresip") > 0 && ::kill(childPid(getpid(), "baresip"), SIGKILL) == 0);
            else
                click(frmTelephoneRing::instance(), qPrintable(step));
            QVERIFY(step != u"second" || QTest::qWaitFor([] { return !Prompter::records().isEmpty(); }, 10000));
        }
        QVERIFY2(actions.contains("kill") || !audio.isEmpty() || sipp.result() == 0, qPrintable(sipp.output()));
        QVERIFY2(!other || other->result() == 0, other ? qPrintable(other->output()) : "");
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
        QVERIFY2(peak > 1000 || book == 2 || !said.isEmpty(), "the decoded audio is silence");
        const QStringList expected = said.split(u'|', Qt::SkipEmptyParts);
        QVERIFY2(QTest::qWaitFor([&] { const QStringList p = promptLog(); return std::equal(p.begin(), p.end(),
                     expected.begin(), expected.end(), [](auto& a, auto& b) { return a.contains(b); }); }, 15000),
                 qPrintable(promptLog().join(u'\n')));
        QVERIFY(QTest::qWaitFor([] { return sipLinkUp(configHome()); }, 10000));
    }

    // Only the chosen address's line runs: baresip starts when the SIP address is chosen; a number
    // the line refuses is told, a call is placed; choosing the simulated line ends baresip and
    // that call.
    void outgoing() {
        const quint16 callee = freeUdpPort();
        Sipp sipp(f->file(QStringLiteral("sipp")), QStringLiteral("uas_dial.xml"),
                  QStringLiteral("-p %1 -mp %2").arg(callee).arg(freeUdpPort()).split(u' '));
        startLine(QStringLiteral(";regint=0;outbound=\"sip:127.0.0.1:%1\"").arg(callee), {}, QStringLiteral("baresip"),
                  QStringLiteral("Simulated Line"));
        QCOMPARE(childPid(getpid(), "baresip"), 0);
        choose(QStringLiteral("SIP desk"));
        f->step(QStringLiteral("dial:2001abc"));
        QCOMPARE(promptLog(), QStringList{"The line did not carry out your request: The number \"2001abc\" "
                                          "cannot be dialled: only digits, +, * and # are allowed./TAPI Error/16"});
        f->step(QStringLiteral("dial:555-98 76"));
        QVERIFY(QTest::qWaitFor(connected, 10000));
        QCOMPARE(gCallRecord.callNumber, QString("5559876")); // as sent, for the log
        choose(QStringLiteral("Simulated Line")); // baresip ends, and the call with it
        QCOMPARE(childPid(getpid(), "baresip"), 0);
        QVERIFY2(sipp.result() == 0, qPrintable(sipp.output()));
        QVERIFY(QTest::qWaitFor([] { return !gCall; }, 5000));
        QCOMPARE(Prompter::records().size(), 1);
        QCOMPARE(f->entries(0), QStringList{"Not Found|5559876|||||"});
    }

    // Another peer on baresip's control port: a stand-in for baresip (standin.py) sending a bad
    // frame after a call, another program listening there in baresip's place, a local program
    // taking baresip's link during a call; no baresip at all. The call ends and is logged, the
    // line is out of service (told once, naming what went wrong), and where baresip runs it comes
    // back by itself at once.
    void controlPort_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("error");
        QTest::newRow("bad length") << QByteArray("x2:{},") << "a bad frame: the length is missing or not a number";
        QTest::newRow("missing comma") << QByteArray("2:{}.") << "a bad frame: the frame does not end with a comma";
        QTest::newRow("not JSON") << QByteArray("3:{x},") << "a message that is not a JSON object";
        QTest::newRow("over 64 KiB") << QByteArray("65537:{") << "a bad frame: the frame is longer than 64 KiB";
        QTest::newRow("unknown event") << NetstringReader::frame(R"({"event":true,"type":"BOGUS"})")
                                       << "an unknown message (BOGUS)";
        QTest::newRow("port taken") << QByteArray() << "Another program listens on baresip's control port.";
        QTest::newRow("link taken") << QByteArray("take") << "Another local program connected to baresip's";
        QTest::newRow("no baresip") << QByteArray("missing") << "\"/nonexistent/baresip\" (not found or not "
                                                               "runnable). Install the package baresip-core.";
    }
    void controlPort() {
        QFETCH(QByteArray, frame);
        QFETCH(QString, error);
        const QString dir = configHome() + QStringLiteral("/Tamrivo/baresip/");
        const bool real = frame == "take", call = !frame.isEmpty() && frame != "missing", standingIn = call && !real;
        QVERIFY(!standingIn || (QDir().mkpath(dir) && QFile(dir + "serve").open(QIODevice::WriteOnly)));
        const quint16 port = startLine(QStringLiteral(";regint=0"), {}, real ? QStringLiteral("baresip")
            : frame == "missing" ? QStringLiteral("/nonexistent/baresip") : sourceDir() + "/tests/sip/standin.py");
        QTcpServer other;
        QProcess intruder; // a second local process
        std::optional<Sipp> sipp;
        QVERIFY(!frame.isEmpty() || other.listen(QHostAddress::LocalHost, ctrlPort(configHome())));
        if (real)
            sipp.emplace(f->file(QStringLiteral("sipp")), QStringLiteral("uac_cancel.xml"), callerArgs(port, 10000));
        QVERIFY(!call || QTest::qWaitFor(ringing, 10000));
        if (real)
            intruder.start("bash", {"-c", QStringLiteral("exec 3<>/dev/tcp/127.0.0.1/%1; sleep 9").arg(ctrlPort(configHome()))});
        QSaveFile bad(dir + "frame");
        QVERIFY(!standingIn || (bad.open(QIODevice::WriteOnly) && bad.write(frame) && bad.commit()));
        QVERIFY2(QTest::qWaitFor([&] { return promptLog().value(0).contains("The SIP line is out of service: ") &&
                                              promptLog().value(0).contains(error); }, 10000), qPrintable(promptLog().join(u'\n')));
        QVERIFY(QTest::qWaitFor([] { return !gCall; }, 5000));
        QCOMPARE(f->entries(2), call ? QStringList{"Anna Rossi|95551234|||||"} : QStringList());
        QSet<quint16> ports; // a new control port at each start: told once over two restarts
        QVERIFY(frame != "missing" || QTest::qWaitFor([&] { return ports.insert(ctrlPort(configHome())), ports.size() == 3
                                                               && promptLog().size() == 1; }, 10000));
        QVERIFY(!real || QTest::qWaitFor([] { return promptLog().size() == 2 && promptLog()[1].contains("back in service")
                                                      && sipLinkUp(configHome()); }, 10000));
    }

    // The number taken from a caller's URI ("uri:") or sent for a typed one ("dial:"); "-": refused.
    // "pause:": the milliseconds before restart N of a line out of service.
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
        QTest::newRow("pause: first") << "0" << "1000";
        QTest::newRow("pause: doubled") << "5" << "32000";
        QTest::newRow("pause: a minute at most") << "6" << "60000";
    }
    void numbers() {
        QFETCH(QString, in);
        QFETCH(QString, out);
        const QByteArray tag = QTest::currentDataTag();
        QCOMPARE(tag.startsWith("pause:") ? QString::number(SipLine::restartPauseMs(in.toInt()))
                 : (tag.startsWith("uri:") ? SipLine::numberFromUri(in) : SipLine::dialString(in))
                       .value_or(QStringLiteral("-")), out);
    }

    // Chunks as they arrive ("|" between them); the messages, then the error.
    void netstrings_data() {
        QTest::addColumn<QByteArray>("chunks");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("split anywhere") << QByteArray("3:a|bc,0:,1|0:0123456789,") << QByteArray("abc||0123456789|");
        const QByteArray big(65536, 'x');
        QTest::newRow("largest") << "65536:" + big + ',' << big + '|';
        QTest::newRow("endless length") << QByteArray("0000000") << QByteArray("baresip sent a bad frame: the frame is longer than 64 KiB.");
        QTest::newRow("no length") << QByteArray("2:ok,:x,") << QByteArray("ok|baresip sent a bad frame: the length is missing or not a number.");
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
        QTest::newRow("bad listen") << QStringList{"account", "<sip:a@h>", "listen", "pbx:99999"} << "Setting listen in [sip] must look like 127.0.0.1:5070;";
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
