// The telephony layer over the simulated line: event delivery rules, object
// lifetime, the control protocol and the command-line tool.

#include "app/errors.h"
#include "common/testenv.h"
#include "platform/telephony/providers.h"
#include "platform/telephony/simline.h"
#include "platform/telephony/tapi.h"

#include <QLocalSocket>
#include <QProcess>
#include <QtTest>
#include <memory>

namespace {

struct Received {
    long code;
    std::shared_ptr<ITEventObject> ev;
};

// A telephony object ready for events, with everything it delivers kept.
struct Client {
    std::shared_ptr<ITTAPI> tapi;
    std::shared_ptr<ITAddress> address;
    QList<Received> events;

    explicit Client(long filter = TE_ALLEVENTS, bool reg = true) {
        tapi = createTelephonyObject(QStringLiteral("TAPI.TAPI.1"));
        QObject::connect(tapi.get(), &ITTAPI::Event,
                         [this](long code, const std::shared_ptr<ITEventObject>& ev) {
                             events.append({code, ev});
                         });
        tapi->Initialize();
        tapi->put_EventFilter(filter);
        address = tapi->get_Addresses()->get_Item(1);
        if (reg)
            tapi->RegisterCallNotifications(address, true, true, TAPIMEDIATYPE_AUDIO, 1);
    }
    QList<long> codes() const {
        QList<long> c;
        for (const auto& r : events)
            c.append(r.code);
        return c;
    }
    std::shared_ptr<ITBasicCallControl> notifiedCall(int i = 0) const {
        int n = 0;
        for (const auto& r : events)
            if (r.code == TE_CALLNOTIFICATION && n++ == i)
                return queryEvent<ITCallNotificationEvent>(r.ev)->get_Call();
        return {};
    }
    QList<long> states() const {
        QList<long> s;
        for (const auto& r : events)
            if (r.code == TE_CALLSTATE)
                s.append(queryEvent<ITCallStateEvent>(r.ev)->get_State());
        return s;
    }
};

void settle() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

template <typename F> long errorOf(F&& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

QString roundTrip(QLocalSocket& s, const QByteArray& line) {
    s.write(line);
    QElapsedTimer t;
    t.start();
    while (!s.canReadLine() && t.elapsed() < 5000) {
        QCoreApplication::processEvents();
        s.waitForReadyRead(10);
    }
    return QString::fromUtf8(s.readLine()).chopped(1);
}

} // namespace

class TestSimLine : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void addressesAndMedia();
    void creationFailsWhenNotAvailable();
    void eventsArePostedInOrder();
    void filterAndRegistration();
    void registeringTwiceDeliversOnce();
    void programCallsGiveStatesButNoNotification();
    void callNumbersFailWhenUnknown();
    void answerConnectDisconnectRules();
    void failOnceAffectsOneCall();
    void objectsFailAfterShutdown();
    void controlProtocol_data();
    void controlProtocol();
    void statusReportsWhatTheProgramDid();
    void socketListensWhileAnObjectLives();
    void overlongLineIsRefused();
    void clientThatNeverReadsIsCutOff();
    void toolSendsOneCommand();

private:
    std::unique_ptr<TestEnv> m_env;
};

void TestSimLine::init() {
    m_env = std::make_unique<TestEnv>();
    SimLine::instance().reset();
    TelephonyRegistry::restoreDefaults();
}

void TestSimLine::cleanup() {
    settle();
    m_env.reset();
    settle();
}

void TestSimLine::addressesAndMedia() {
    SimLine::instance().addAddress(QStringLiteral("Fax Modem"), 0x10);
    SimLine::instance().addAddress(QStringLiteral("Simulated Line"), TAPIMEDIATYPE_AUDIO);
    Client c;
    const auto coll = c.tapi->get_Addresses();
    QCOMPARE(coll->get_Count(), 3L);
    QCOMPARE(coll->get_Item(1)->get_AddressName(), QStringLiteral("Simulated Line"));
    QCOMPARE(coll->get_Item(2)->get_AddressName(), QStringLiteral("Fax Modem"));
    QVERIFY(coll->get_Item(1)->QueryMediaType(TAPIMEDIATYPE_AUDIO));
    QVERIFY(!coll->get_Item(2)->QueryMediaType(TAPIMEDIATYPE_AUDIO));
    QCOMPARE(errorOf([&] { coll->get_Item(0); }), ErrNum::SubscriptOutOfRange);
    QCOMPARE(errorOf([&] { coll->get_Item(4); }), ErrNum::SubscriptOutOfRange);
    // An audio-only registration on a line without audio is refused.
    QVERIFY(errorOf([&] {
                c.tapi->RegisterCallNotifications(coll->get_Item(2), true, true,
                                                  TAPIMEDIATYPE_AUDIO, 1);
            }) < 0);
}

void TestSimLine::creationFailsWhenNotAvailable() {
    SimLine::instance().failOnce(SimLine::Op::Create);
    QCOMPARE(errorOf([] { createTelephonyObject(QStringLiteral("TAPI.TAPI.1")); }),
             ErrNum::TelephonyNotAvailable);
    QVERIFY(createTelephonyObject(QStringLiteral("TAPI.TAPI.1")));
    QCOMPARE(errorOf([] { createTelephonyObject(QStringLiteral("Other.Service.1")); }),
             ErrNum::TelephonyNotAvailable);
    TelephonyRegistry::setFactory(QStringLiteral("TAPI.TAPI.1"), {});
    QCOMPARE(errorOf([] { createTelephonyObject(QStringLiteral("TAPI.TAPI.1")); }),
             ErrNum::TelephonyNotAvailable);
}

void TestSimLine::eventsArePostedInOrder() {
    Client c;
    SimLine& line = SimLine::instance();
    line.ring();
    const int id = line.offer(QStringLiteral("5551234"));
    line.setCallerNumber(id, QStringLiteral("5559999"));
    QVERIFY(c.events.isEmpty()); // nothing arrives from inside the call
    settle();
    QCOMPARE(c.codes(), (QList<long>{TE_ADDRESS, TE_CALLNOTIFICATION, TE_CALLINFOCHANGE}));
    QCOMPARE(queryEvent<ITAddressEvent>(c.events[0].ev)->get_Event(), AE_RINGING);
    QCOMPARE(queryEvent<ITAddressEvent>(c.events[0].ev)->get_Address(), c.address);
    QCOMPARE(queryEvent<ITCallInfoChangeEvent>(c.events[2].ev)->get_Cause(), CIC_CALLERID);
    // The wrong kind of event is refused like a failed interface query.
    QVERIFY(errorOf([&] { queryEvent<ITCallStateEvent>(c.events[0].ev); }) < 0);

    const auto call = c.notifiedCall();
    QCOMPARE(call->get_CallState(), CS_OFFERING);
    QCOMPARE(call->get_CallInfoString(CIS_CALLERIDNUMBER), QStringLiteral("5559999"));
    c.events.clear();
    call->Answer();
    QVERIFY(c.events.isEmpty());
    settle();
    QCOMPARE(c.states(), QList<long>{CS_CONNECTED});
    // The same call is the same object in every event.
    QCOMPARE(queryEvent<ITCallStateEvent>(c.events[0].ev)->get_Call(), call);
}

void TestSimLine::filterAndRegistration() {
    Client unregistered(TE_ALLEVENTS, false);
    Client stateOnly(TE_CALLSTATE);
    Client all;
    SimLine& line = SimLine::instance();
    line.ring();
    const int id = line.offer(QStringLiteral("1"));
    line.hangup(id);
    settle();
    QVERIFY(unregistered.events.isEmpty());
    QCOMPARE(stateOnly.codes(), QList<long>{TE_CALLSTATE});
    QCOMPARE(all.codes(), (QList<long>{TE_ADDRESS, TE_CALLNOTIFICATION, TE_CALLSTATE}));
    // Without an event filter, nothing at all.
    auto bare = createTelephonyObject(QStringLiteral("TAPI.TAPI.1"));
    int count = 0;
    QObject::connect(bare.get(), &ITTAPI::Event, [&](long, auto) { ++count; });
    bare->Initialize();
    bare->RegisterCallNotifications(bare->get_Addresses()->get_Item(1), true, true,
                                    TAPIMEDIATYPE_AUDIO, 1);
    line.ring();
    settle();
    QCOMPARE(count, 0);
}

void TestSimLine::registeringTwiceDeliversOnce() {
    Client c;
    c.tapi->RegisterCallNotifications(c.address, true, true, TAPIMEDIATYPE_AUDIO, 1);
    c.tapi->RegisterCallNotifications(c.tapi->get_Addresses()->get_Item(1), true, true,
                                      TAPIMEDIATYPE_AUDIO, 1);
    SimLine::instance().ring();
    settle();
    QCOMPARE(c.codes(), QList<long>{TE_ADDRESS});
}

void TestSimLine::programCallsGiveStatesButNoNotification() {
    Client c;
    Client other;
    SimLine& line = SimLine::instance();
    const auto call = c.address->CreateCall(QStringLiteral("0 555-12#34"),
                                            LINEADDRESSTYPE_PHONENUMBER, TAPIMEDIATYPE_AUDIO);
    QCOMPARE(line.dialled(), QStringLiteral("0 555-12#34")); // exactly as given
    QCOMPARE(call->get_CallState(), CS_IDLE);
    call->Connect(false);
    line.setState(line.currentCall(), CS_CONNECTED);
    call->Disconnect(DC_NORMAL);
    settle();
    QCOMPARE(c.codes(), (QList<long>{TE_CALLSTATE, TE_CALLSTATE, TE_CALLSTATE}));
    QCOMPARE(c.states(), (QList<long>{CS_INPROGRESS, CS_CONNECTED, CS_DISCONNECTED}));
    QCOMPARE(queryEvent<ITCallStateEvent>(c.events[0].ev)->get_Call(), call);
    // Another object monitoring the same address sees the states too.
    QCOMPARE(other.states(), (QList<long>{CS_INPROGRESS, CS_CONNECTED, CS_DISCONNECTED}));
    QCOMPARE(call->get_CallInfoString(CIS_CALLEDIDNUMBER), QStringLiteral("0 555-12#34"));
}

void TestSimLine::callNumbersFailWhenUnknown() {
    Client c;
    SimLine& line = SimLine::instance();
    line.offer(std::nullopt);
    line.offer(QStringLiteral(""));
    settle();
    QVERIFY(errorOf([&] { c.notifiedCall(0)->get_CallInfoString(CIS_CALLERIDNUMBER); }) < 0);
    QCOMPARE(c.notifiedCall(1)->get_CallInfoString(CIS_CALLERIDNUMBER), QString());
    QVERIFY(errorOf([&] { c.notifiedCall(1)->get_CallInfoString(CIS_CALLEDIDNUMBER); }) < 0);
    const auto dialled =
        c.address->CreateCall(QString(), LINEADDRESSTYPE_PHONENUMBER, TAPIMEDIATYPE_AUDIO);
    QVERIFY(errorOf([&] { dialled->get_CallInfoString(CIS_CALLEDIDNUMBER); }) < 0);
}

void TestSimLine::answerConnectDisconnectRules() {
    Client c;
    SimLine& line = SimLine::instance();
    line.offer(QStringLiteral("7"));
    settle();
    const auto call = c.notifiedCall();
    QVERIFY(errorOf([&] { call->Connect(false); }) < 0); // an offered call is answered
    call->Answer();
    QCOMPARE(line.answered(), 1);
    QVERIFY(errorOf([&] { call->Answer(); }) < 0);
    call->Disconnect(DC_NORMAL);
    QVERIFY(errorOf([&] { call->Disconnect(DC_NORMAL); }) < 0);
    QCOMPARE(line.answered(), 1);
}

void TestSimLine::failOnceAffectsOneCall() {
    Client c;
    SimLine::instance().failOnce(SimLine::Op::CreateCall);
    QVERIFY(errorOf([&] {
                c.address->CreateCall(QStringLiteral("1"), LINEADDRESSTYPE_PHONENUMBER,
                                      TAPIMEDIATYPE_AUDIO);
            }) < 0);
    const auto call = c.address->CreateCall(QStringLiteral("1"), LINEADDRESSTYPE_PHONENUMBER,
                                            TAPIMEDIATYPE_AUDIO);
    SimLine::instance().failOnce(SimLine::Op::Connect);
    QVERIFY(errorOf([&] { call->Connect(false); }) < 0);
    call->Connect(false);
    QCOMPARE(*SimLine::instance().callState(SimLine::instance().currentCall()), CS_INPROGRESS);
}

void TestSimLine::objectsFailAfterShutdown() {
    Client c;
    SimLine& line = SimLine::instance();
    line.offer(QStringLiteral("42"));
    settle();
    const auto call = c.notifiedCall();
    line.ring(); // posted before the shut-down: dropped
    c.events.clear();
    c.tapi->Shutdown();
    c.tapi->Shutdown(); // a second shut-down does nothing
    settle();
    QVERIFY(c.events.isEmpty());
    QVERIFY(errorOf([&] { c.address->get_AddressName(); }) < 0);
    QVERIFY(errorOf([&] { call->Answer(); }) < 0);
    QVERIFY(errorOf([&] { call->get_CallState(); }) < 0);
    QVERIFY(errorOf([&] { c.tapi->get_Addresses(); }) < 0);
    QVERIFY(!line.registered());
    // Released altogether, the handles still answer with an error.
    const auto address = c.address;
    c.tapi.reset();
    QVERIFY(errorOf([&] {
                address->CreateCall(QStringLiteral("1"), LINEADDRESSTYPE_PHONENUMBER,
                                    TAPIMEDIATYPE_AUDIO);
            }) < 0);
}

void TestSimLine::controlProtocol_data() {
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QString>("status");
    const QString idle = QStringLiteral("OK registered=1 call=none number= answered=0 dialled=");
    QTest::newRow("idle") << QStringList{} << QStringList{} << idle;
    QTest::newRow("offer with number")
        << QStringList{QStringLiteral("ring"), QStringLiteral("offer 5551234")}
        << QStringList{QStringLiteral("OK"), QStringLiteral("OK call=1")}
        << QStringLiteral("OK registered=1 call=offering number=5551234 answered=0 dialled=");
    QTest::newRow("offer without number then caller id")
        << QStringList{QStringLiteral("offer"), QStringLiteral("callerid 0301")}
        << QStringList{QStringLiteral("OK call=1"), QStringLiteral("OK")}
        << QStringLiteral("OK registered=1 call=offering number=0301 answered=0 dialled=");
    QTest::newRow("connect then hang up")
        << QStringList{QStringLiteral("offer 9"), QStringLiteral("connect"),
                       QStringLiteral("connect"), QStringLiteral("hangup"),
                       QStringLiteral("hangup")}
        << QStringList{QStringLiteral("OK call=1"), QStringLiteral("OK"),
                       QStringLiteral("ERR already connected"), QStringLiteral("OK"),
                       QStringLiteral("ERR no call")}
        << QStringLiteral("OK registered=1 call=disconnected number=9 answered=0 dialled=");
    QTest::newRow("no call") << QStringList{QStringLiteral("connect"), QStringLiteral("callerid 1"),
                                            QStringLiteral("hangup")}
                             << QStringList{QStringLiteral("ERR no call"),
                                            QStringLiteral("ERR no call"),
                                            QStringLiteral("ERR no call")}
                             << idle;
    QTest::newRow("bad commands")
        << QStringList{QStringLiteral("dial 5"),    QStringLiteral(""),
                       QStringLiteral("ring now"),  QStringLiteral("callerid"),
                       QStringLiteral("offer 1 2"), QStringLiteral("status x")}
        << QStringList{QStringLiteral("ERR unknown command"), QStringLiteral("ERR empty command"),
                       QStringLiteral("ERR wrong arguments"), QStringLiteral("ERR wrong arguments"),
                       QStringLiteral("ERR wrong arguments"), QStringLiteral("ERR wrong arguments")}
        << idle;
    QTest::newRow("case and blanks")
        << QStringList{QStringLiteral("  OFFER   12 \r")}
        << QStringList{QStringLiteral("OK call=1")}
        << QStringLiteral("OK registered=1 call=offering number=12 answered=0 dialled=");
}

void TestSimLine::controlProtocol() {
    QFETCH(QStringList, commands);
    QFETCH(QStringList, replies);
    QFETCH(QString, status);
    Client c;
    QVERIFY(SimLine::instance().isListening());
    QLocalSocket s;
    s.connectToServer(SimLine::socketPath());
    QVERIFY(s.waitForConnected(2000));
    for (int i = 0; i < commands.size(); ++i)
        QCOMPARE(roundTrip(s, commands[i].toUtf8() + '\n'), replies[i]);
    QCOMPARE(roundTrip(s, "status\n"), status);
}

void TestSimLine::statusReportsWhatTheProgramDid() {
    Client c;
    SimLine& line = SimLine::instance();
    line.offer(QStringLiteral("5551234"));
    settle();
    c.notifiedCall()->Answer();
    QCOMPARE(line.status(),
             QStringLiteral("registered=1 call=connected number=5551234 answered=1 dialled="));
    c.notifiedCall()->Disconnect(DC_NORMAL);
    const auto out = c.address->CreateCall(QStringLiteral("0221"), LINEADDRESSTYPE_PHONENUMBER,
                                           TAPIMEDIATYPE_AUDIO);
    out->Connect(false);
    QCOMPARE(line.status(),
             QStringLiteral("registered=1 call=inprogress number=0221 answered=1 dialled=0221"));
    QCOMPARE(line.handleCommand(QStringLiteral("connect")), QStringLiteral("OK"));
    QCOMPARE(line.status(),
             QStringLiteral("registered=1 call=connected number=0221 answered=1 dialled=0221"));
}

void TestSimLine::socketListensWhileAnObjectLives() {
    SimLine& line = SimLine::instance();
    QVERIFY(!line.isListening());
    auto a = createTelephonyObject(QStringLiteral("TAPI.TAPI.1"));
    QVERIFY(line.isListening());
    QVERIFY(QFileInfo::exists(SimLine::socketPath()));
    QCOMPARE(line.handleCommand(QStringLiteral("status")),
             QStringLiteral("OK registered=0 call=none number= answered=0 dialled="));
    auto b = createTelephonyObject(QStringLiteral("TAPI.TAPI.1"));
    a->Shutdown();
    QVERIFY(line.isListening());
    b.reset(); // released without a shut-down
    QVERIFY(!line.isListening());
}

void TestSimLine::overlongLineIsRefused() {
    Client c;
    QLocalSocket s;
    s.connectToServer(SimLine::socketPath());
    QVERIFY(s.waitForConnected(2000));
    QCOMPARE(roundTrip(s, QByteArray(5000, 'x')), QStringLiteral("ERR line too long"));
    QTRY_COMPARE(s.state(), QLocalSocket::UnconnectedState);
}

void TestSimLine::clientThatNeverReadsIsCutOff() {
    Client c;
    QLocalSocket s;
    s.connectToServer(SimLine::socketPath());
    QVERIFY(s.waitForConnected(2000));
    // Far more replies than any buffer should hold, none of them read.
    QByteArray flood;
    for (int i = 0; i < 200000; ++i)
        flood += "status\n";
    s.write(flood);
    QTRY_COMPARE_WITH_TIMEOUT(s.state(), QLocalSocket::UnconnectedState, 20000);
    QLocalSocket next;
    next.connectToServer(SimLine::socketPath());
    QVERIFY(next.waitForConnected(2000));
    QVERIFY(roundTrip(next, "status\n").startsWith(QStringLiteral("OK ")));
}

void TestSimLine::toolSendsOneCommand() {
    const QString tool = buildDir() + QStringLiteral("/tamrivo-simline");
    if (!QFileInfo::exists(tool))
        QSKIP("tamrivo-simline not built");
    auto run = [&](const QStringList& args, int& exitCode) {
        QProcess p;
        p.start(tool, args);
        if (!p.waitForStarted(5000))
            return QString();
        QElapsedTimer t;
        t.start();
        while (p.state() != QProcess::NotRunning && t.elapsed() < 10000)
            QTest::qWait(10);
        exitCode = p.exitCode();
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    int code = -1;
    run({QStringLiteral("status")}, code);
    QCOMPARE(code, 2); // nothing listens yet
    Client c;
    QCOMPARE(run({QStringLiteral("offer"), QStringLiteral("5551234")}, code),
             QStringLiteral("OK call=1\n"));
    QCOMPARE(code, 0);
    QCOMPARE(run({QStringLiteral("hangup"), QStringLiteral("now")}, code),
             QStringLiteral("ERR wrong arguments\n"));
    QCOMPARE(code, 1);
    QCOMPARE(run({QStringLiteral("status")}, code),
             QStringLiteral("OK registered=1 call=offering number=5551234 answered=0 dialled=\n"));
    settle();
    QCOMPARE(c.codes(), QList<long>{TE_CALLNOTIFICATION});
}

QTEST_MAIN(TestSimLine)
#include "tst_simline.moc"
