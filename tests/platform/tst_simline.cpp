// The simulated line as the control tool drives it, and what it keeps of
// the calls on it.

#include "common/testenv.h"
#include "common/widgettest.h"
#include "platform/errors.h"
#include "platform/telephony/providers.h"

#include <QtTest>

class TestSimLine : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env = std::make_unique<TestEnv>();
        SimLine::instance().reset();
        TelephonyRegistry::restoreDefaults();
    }
    void cleanup() {
        settle();
        m_env.reset();
    }
    void controlCommands_data();
    void controlCommands();
    void endedCallsAreForgotten();

private:
    std::unique_ptr<TestEnv> m_env;
};

void TestSimLine::controlCommands_data() {
    QTest::addColumn<QString>("commands"); // separated by ";"
    QTest::addColumn<QString>("replies");
    QTest::newRow("a call from start to end")
        << "ring;offer 5551234;callerid 0301;status;connect;connect;hangup;hangup;status"
        << "OK;OK call=1;OK;OK registered=1 call=offering number=0301 answered=0 dialled=;OK;"
           "ERR already connected;OK;ERR no call;OK registered=1 call=none number= answered=0 "
           "dialled=";
    QTest::newRow("bad commands")
        << "dial 5;;ring now;callerid;connect;  OFFER   12 ;offer 1 2"
        << "ERR unknown command;ERR empty command;ERR wrong arguments;ERR wrong arguments;"
           "ERR no call;OK call=1;ERR wrong arguments";
}

void TestSimLine::controlCommands() {
    QFETCH(QString, commands);
    QFETCH(QString, replies);
    auto tapi = createTelephonyObject(QStringLiteral("TAPI.TAPI.1"));
    tapi->Initialize();
    tapi->RegisterCallNotifications(tapi->get_Addresses()->get_Item(1), true, true,
                                    TAPIMEDIATYPE_AUDIO, 1);
    QStringList actual;
    for (const QString& c : commands.split(u';'))
        actual.append(SimLine::instance().handleCommand(c));
    QCOMPARE(actual.join(u';'), replies);
}

void TestSimLine::endedCallsAreForgotten() {
    SimLine& line = SimLine::instance();
    auto tapi = createTelephonyObject(QStringLiteral("TAPI.TAPI.1"));
    tapi->Initialize();
    tapi->put_EventFilter(TE_ALLEVENTS);
    auto address = tapi->get_Addresses()->get_Item(1);
    tapi->RegisterCallNotifications(address, true, true, TAPIMEDIATYPE_AUDIO, 1);
    std::shared_ptr<ITBasicCallControl> call;
    for (int i = 0; i < 3; ++i) {
        call = address->CreateCall(QStringLiteral("0221"), LINEADDRESSTYPE_PHONENUMBER,
                                   TAPIMEDIATYPE_AUDIO);
        call->Connect(false);
        QCOMPARE(
            line.status(),
            QStringLiteral("registered=1 call=inprogress number=0221 answered=0 dialled=0221"));
        call->Disconnect(DC_NORMAL);
        settle(); // its events delivered
    }
    QCOMPARE(line.currentCall(), -1);
    QVERIFY_THROWS_EXCEPTION(AppError, call->get_CallState()); // held, but gone from the line
    // Let go by the program, nothing keeps a call, an address or the object.
    const std::weak_ptr<ITBasicCallControl> weakCall = call;
    const std::weak_ptr<ITAddress> weakAddress = address;
    call.reset();
    QVERIFY(weakCall.expired());
    address.reset();
    tapi->Shutdown();
    tapi.reset();
    QVERIFY(weakAddress.expired());
}

QTEST_MAIN(TestSimLine)
#include "tst_simline.moc"
