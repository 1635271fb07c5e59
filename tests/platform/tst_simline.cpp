// The telephony layer over the simulated line: event delivery rules, object
// lifetime and the control protocol.

#include "platform/errors.h"
#include "common/testenv.h"
#include "platform/telephony/providers.h"
#include "platform/telephony/simline.h"
#include "platform/telephony/tapi.h"

#include <QLocalSocket>
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

std::shared_ptr<ITBasicCallControl> dial(const std::shared_ptr<ITAddress>& a, const QString& n) {
    return a->CreateCall(n, LINEADDRESSTYPE_PHONENUMBER, TAPIMEDIATYPE_AUDIO);
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
    void programCallsGiveStatesButNoNotification();
    void callNumbersFailWhenUnknown();
    void answerConnectDisconnectRules();
    void objectsFailAfterShutdown();
    void controlProtocol_data();
    void controlProtocol();
    void statusReportsWhatTheProgramDid();
    void socketListensWhileAnObjectLives();
    void badClientIsCutOff_data();
    void badClientIsCutOff();

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
    // Registered again, also through another handle: still each event once.
    all.tapi->RegisterCallNotifications(all.address, true, true, TAPIMEDIATYPE_AUDIO, 1);
    all.tapi->RegisterCallNotifications(all.tapi->get_Addresses()->get_Item(1), true, true,
                                        TAPIMEDIATYPE_AUDIO, 1);
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

void TestSimLine::programCallsGiveStatesButNoNotification() {
    Client c;
    Client other;
    SimLine& line = SimLine::instance();
    const auto call = dial(c.address, QStringLiteral("0 555-12#34"));
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
    const auto dialled = dial(c.address, QString());
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
    // An operation made to fail once fails that one time only.
    line.failOnce(SimLine::Op::CreateCall);
    QVERIFY(errorOf([&] { dial(c.address, QStringLiteral("1")); }) < 0);
    const auto out = dial(c.address, QStringLiteral("1"));
    line.failOnce(SimLine::Op::Connect);
    QVERIFY(errorOf([&] { out->Connect(false); }) < 0);
    out->Connect(false);
    QCOMPARE(*line.callState(line.currentCall()), CS_INPROGRESS);
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
    QVERIFY(errorOf([&] { dial(address, QStringLiteral("1")); }) < 0);
}

void TestSimLine::controlProtocol_data() {
    QTest::addColumn<QString>("commands"); // separated by ";"
    QTest::addColumn<QString>("replies");
    QTest::addColumn<QString>("status");
    const QString idle = "OK registered=1 call=none number= answered=0 dialled=";
    QTest::newRow("idle") << ""
                          << "" << idle;
    QTest::newRow("offer with number")
        << "ring;offer 5551234"
        << "OK;OK call=1"
        << "OK registered=1 call=offering number=5551234 answered=0 dialled=";
    QTest::newRow("offer without number then caller id")
        << "offer;callerid 0301"
        << "OK call=1;OK"
        << "OK registered=1 call=offering number=0301 answered=0 dialled=";
    QTest::newRow("connect then hang up")
        << "offer 9;connect;connect;hangup;hangup"
        << "OK call=1;OK;ERR already connected;OK;ERR no call"
        << "OK registered=1 call=disconnected number=9 answered=0 dialled=";
    QTest::newRow("no call") << "connect;callerid 1;hangup"
                             << "ERR no call;ERR no call;ERR no call" << idle;
    QTest::newRow("bad commands")
        << "dial 5;;ring now;callerid;offer 1 2;status x"
        << "ERR unknown command;ERR empty command;ERR wrong arguments;ERR wrong arguments;"
           "ERR wrong arguments;ERR wrong arguments"
        << idle;
    QTest::newRow("case and blanks")
        << "  OFFER   12 \r"
        << "OK call=1"
        << "OK registered=1 call=offering number=12 answered=0 dialled=";
}

void TestSimLine::controlProtocol() {
    QFETCH(QString, commands);
    QFETCH(QString, replies);
    QFETCH(QString, status);
    Client c;
    QVERIFY(SimLine::instance().isListening());
    QLocalSocket s;
    s.connectToServer(SimLine::socketPath());
    QVERIFY(s.waitForConnected(2000));
    const QStringList cmds = commands.split(u';'), expected = replies.split(u';');
    for (int i = 0; !commands.isEmpty() && i < cmds.size(); ++i)
        QCOMPARE(roundTrip(s, cmds[i].toUtf8() + '\n'), expected[i]);
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
    const auto out = dial(c.address, QStringLiteral("0221"));
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

void TestSimLine::badClientIsCutOff_data() {
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("reply");
    QTest::newRow("overlong line") << QByteArray(5000, 'x') << "ERR line too long";
    // Far more replies than any buffer should hold, none of them read.
    QTest::newRow("never reads") << QByteArray("status\n").repeated(200000) << "";
}

void TestSimLine::badClientIsCutOff() {
    QFETCH(QByteArray, sent);
    QFETCH(QString, reply);
    Client c;
    QLocalSocket s;
    s.connectToServer(SimLine::socketPath());
    QVERIFY(s.waitForConnected(2000));
    if (reply.isEmpty())
        s.write(sent);
    else
        QCOMPARE(roundTrip(s, sent), reply);
    QTRY_COMPARE_WITH_TIMEOUT(s.state(), QLocalSocket::UnconnectedState, 20000);
    QLocalSocket next; // others are still served
    next.connectToServer(SimLine::socketPath());
    QVERIFY(next.waitForConnected(2000));
    QVERIFY(roundTrip(next, "status\n").startsWith(QStringLiteral("OK ")));
}

QTEST_MAIN(TestSimLine)
#include "tst_simline.moc"
