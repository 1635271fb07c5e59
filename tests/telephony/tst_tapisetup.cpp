// Choosing the telephony object and the monitored address, and subscribing
// the main window to it, with the message boxes on the way.

#include "platform/errors.h"
#include "callfixture.h"

#include <QtTest>

namespace {

const QString BadInterface = QStringLiteral("Bad TAPI Interface/TAPI Device Error/16");
const QString CantMonitor = QStringLiteral("Can't monitor TAPI device/TAPI Device Error/16");

} // namespace

class TestTapiSetup : public QObject {
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<CallFixture>(); }
    void cleanup() { f.reset(); }
    void chooseAddress_data();
    void chooseAddress();
    void startFailuresAreSilent_data();
    void startFailuresAreSilent();
    void stopShutsDown();
    void eventsInitBoxes_data();
    void eventsInitBoxes();
    void eventsInitAgain();
    void shutdownStopsEvents();

private:
    std::unique_ptr<CallFixture> f;
};

void TestTapiSetup::chooseAddress_data() {
    QTest::addColumn<QStringList>("extraAddresses");
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("useTapi");
    QTest::addColumn<int>("chosen"); // index in the collection from 1, 0 for none
    QTest::newRow("simulated line") << QStringList{} << "Simulated Line" << true << 1;
    QTest::newRow("case differs") << QStringList{} << "simulated line" << true << 0;
    QTest::newRow("trailing blank") << QStringList{} << "Simulated Line " << true << 0;
    QTest::newRow("no device") << QStringList{} << "" << true << 0;
    QTest::newRow("telephony off") << QStringList{} << "Simulated Line" << false << 0;
    QTest::newRow("another address") << QStringList{"Modem", "ISDN 2"} << "ISDN 2" << true << 3;
    QTest::newRow("same name twice: the first")
        << QStringList{"Twin", "Twin"} << "Twin" << true << 2;
}

void TestTapiSetup::chooseAddress() {
    QFETCH(QStringList, extraAddresses);
    QFETCH(QString, device);
    QFETCH(bool, useTapi);
    QFETCH(int, chosen);
    for (const QString& a : extraAddresses)
        SimLine::instance().addAddress(a);
    gPreferences->TAPIDevice = device;
    gPreferences->useTapi = useTapi;
    gCallDirection = CallDirection::Incoming;
    setupTAPI();
    QCOMPARE(gCallDirection, CallDirection::None);
    QCOMPARE(static_cast<bool>(gTAPI), useTapi);
    QCOMPARE(gAddress, chosen ? gTAPI->get_Addresses()->get_Item(chosen) : nullptr);
    QVERIFY(Prompter::records().isEmpty());
}

void TestTapiSetup::startFailuresAreSilent_data() {
    QTest::addColumn<int>("op");
    QTest::addColumn<bool>("tapiSet");
    QTest::addColumn<bool>("addressSet");
    QTest::newRow("not available") << int(SimLine::Op::Create) << false << false;
    QTest::newRow("initialize") << int(SimLine::Op::Initialize) << false << false;
    QTest::newRow("event filter") << int(SimLine::Op::EventFilter) << false << false;
    QTest::newRow("address list") << int(SimLine::Op::GetAddresses) << true << false;
    QTest::newRow("address name") << int(SimLine::Op::AddressName) << true << false;
}

void TestTapiSetup::startFailuresAreSilent() {
    QFETCH(int, op);
    QFETCH(bool, tapiSet);
    QFETCH(bool, addressSet);
    SimLine::instance().failOnce(static_cast<SimLine::Op>(op));
    setupTAPI();
    QCOMPARE(static_cast<bool>(gTAPI), tapiSet);
    QCOMPARE(static_cast<bool>(gAddress), addressSet);
    QVERIFY(Prompter::records().isEmpty());
    if (!tapiSet)
        QVERIFY(!SimLine::instance().isListening());
    // Trying again works.
    setupTAPI();
    QVERIFY(gTAPI && gAddress);
}

void TestTapiSetup::stopShutsDown() {
    setupTAPI();
    const auto tapi = gTAPI;
    const auto address = gAddress;
    startTAPI(); // already there: the same object
    QCOMPARE(gTAPI, tapi);
    gPreferences->useTapi = false;
    setupTAPI();
    QVERIFY(!gTAPI && !gAddress);
    QVERIFY_THROWS_EXCEPTION(AppError, address->get_AddressName());
    QVERIFY(!SimLine::instance().isListening());
    stopTAPI(); // nothing to stop
    // A failing shut-down reaches the caller.
    gPreferences->useTapi = true;
    setupTAPI();
    SimLine::instance().failOnce(SimLine::Op::Shutdown);
    QVERIFY_THROWS_EXCEPTION(AppError, stopTAPI());
}

void TestTapiSetup::eventsInitBoxes_data() {
    QTest::addColumn<bool>("useTapi");
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("failRegister");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("monitoring") << true << "Simulated Line" << false << QStringList{};
    QTest::newRow("no such address")
        << true << "Nothing" << false << QStringList{BadInterface, CantMonitor};
    QTest::newRow("subscription refused")
        << true << "Simulated Line" << true << QStringList{CantMonitor};
    QTest::newRow("telephony off") << false << "Simulated Line" << false << QStringList{};
}

void TestTapiSetup::eventsInitBoxes() {
    QFETCH(bool, useTapi);
    QFETCH(QString, device);
    QFETCH(bool, failRegister);
    QFETCH(QStringList, expected);
    const bool monitoring = useTapi && expected.isEmpty();
    gPreferences->TAPIDevice = device;
    setupTAPI();
    // Turned off after an address was chosen: nothing is subscribed.
    gPreferences->useTapi = useTapi;
    if (failRegister)
        SimLine::instance().failOnce(SimLine::Op::Register);
    f->createForm();
    f->handler()->TAPIEventsInit();
    QCOMPARE(promptLog(), expected);
    QCOMPARE(f->handler()->sinkConnected(), monitoring);
    QCOMPARE(SimLine::instance().registered(), monitoring);
}

void TestTapiSetup::eventsInitAgain() {
    f->start();
    // Subscribing again (as after Preferences OK) still delivers each event
    // once: no "one call at a time" box from a duplicate.
    f->handler()->TAPIEventsInit();
    f->step("offer:5");
    QVERIFY(Prompter::records().isEmpty());
    QCOMPARE(f->snapshot(), QStringLiteral("0 5 'Not Found'  d0 call []"));
    f->step("hangup");
    // A later run without an address tells so but keeps the subscription.
    gAddress.reset();
    f->handler()->TAPIEventsInit();
    QCOMPARE(promptLog(), QStringList{BadInterface});
    QVERIFY(f->handler()->sinkConnected());
    f->step("ring");
    QCOMPARE(f->form()->statusText(), QStringLiteral("Ringing..."));
}

void TestTapiSetup::shutdownStopsEvents() {
    f->start();
    f->step("ring");
    QVERIFY(f->handler()->ringTimer()->isActive());
    f->handler()->shutdown();
    QVERIFY(!f->handler()->ringTimer()->isActive());
    QVERIFY(!SimLine::instance().isListening());
    f->form()->setStatusText(QString());
    SimLine::instance().ring();
    pump();
    QCOMPARE(f->form()->statusText(), QString());
}

QTEST_MAIN(TestTapiSetup)
#include "tst_tapisetup.moc"
