// Choosing the telephony object and the monitored address and subscribing the
// main window, with the message boxes on the way; the call windows' life.

#include "platform/errors.h"
#include "callfixture.h"

#include <QCheckBox>
#include <QTimer>
#include <QtTest>

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
    void autoClose_data();
    void autoClose();
    void windowKeepsItsStateUntilUnloaded();

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
    QTest::newRow("telephony off") << QStringList{} << "Simulated Line" << false << 0;
    QTest::newRow("same name twice: the first")
        << QStringList{"Modem", "Twin", "Twin"} << "Twin" << true << 3;
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
    QTest::addColumn<QString>("op");
    QTest::addColumn<bool>("tapiSet");
    QTest::newRow("not available") << "Create" << false;
    QTest::newRow("initialize") << "Initialize" << false;
    QTest::newRow("event filter") << "EventFilter" << false;
    QTest::newRow("address list") << "GetAddresses" << true;
    QTest::newRow("address name") << "AddressName" << true;
}

void TestTapiSetup::startFailuresAreSilent() {
    QFETCH(QString, op);
    QFETCH(bool, tapiSet);
    f->step("fail:" + op);
    setupTAPI();
    QCOMPARE(static_cast<bool>(gTAPI), tapiSet);
    QVERIFY(!gAddress);
    QVERIFY(Prompter::records().isEmpty());
    QCOMPARE(SimLine::instance().isListening(), tapiSet);
    setupTAPI(); // trying again works
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
    gPreferences->useTapi = true;
    setupTAPI();
    f->step("fail:Shutdown");
    QVERIFY_THROWS_EXCEPTION(AppError, stopTAPI()); // a failing shut-down reaches the caller
}

void TestTapiSetup::eventsInitBoxes_data() {
    QTest::addColumn<bool>("useTapi");
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("failRegister");
    QTest::addColumn<QStringList>("expected");
    const QString bad = "Bad TAPI Interface/TAPI Device Error/16";
    const QString cant = "Can't monitor TAPI device/TAPI Device Error/16";
    QTest::newRow("monitoring") << true << "Simulated Line" << false << QStringList{};
    QTest::newRow("no such address") << true << "Nothing" << false << QStringList{bad, cant};
    QTest::newRow("subscription refused") << true << "Simulated Line" << true << QStringList{cant};
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
    gPreferences->useTapi = useTapi; // turned off after an address was chosen
    if (failRegister)
        f->step("fail:Register");
    f->createForm();
    f->handler()->TAPIEventsInit();
    QCOMPARE(promptLog(), expected);
    QCOMPARE(f->handler()->sinkConnected(), monitoring);
    QCOMPARE(SimLine::instance().registered(), monitoring);
}

void TestTapiSetup::autoClose_data() {
    QTest::addColumn<QString>("call"); // "offer:" or "dial:"
    QTest::addColumn<bool>("autoClose");
    QTest::addColumn<bool>("nextCall"); // a new call before the window closes
    QTest::newRow("incoming, auto close") << "offer:" << true << false;
    QTest::newRow("incoming, next call cancels it") << "offer:" << true << true;
    QTest::newRow("outgoing, stays open") << "dial:" << false << false;
    QTest::newRow("outgoing, next call cancels it") << "dial:" << true << true;
}

void TestTapiSetup::autoClose() {
    QFETCH(QString, call);
    QFETCH(bool, autoClose);
    QFETCH(bool, nextCall);
    gPreferences->autoCloseOnDisconnect = autoClose;
    f->start();
    f->step(call + "111");
    QPointer<CallWindow> w = frmTelephoneRing::loadedInstance();
    if (!w)
        w = frmTelephoneCall::loadedInstance();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->parentWidget(), f->form());
    QCOMPARE(child<QCheckBox>(w, "cbAutoClose")->isChecked(), autoClose);
    auto* timer = child<QTimer>(w, "CloseTimer");
    f->step("hangup");
    QCOMPARE(labelOf(w, "lblStatus"), QStringLiteral("Disconnected"));
    QCOMPARE(timer->isActive(), autoClose);
    QCOMPARE(timer->interval(), 1500);
    if (nextCall)
        f->step(call + "222");
    QCOMPARE(timer->isActive(), autoClose && !nextCall);
    if (timer->isActive()) {
        timer->setInterval(0); // its time has come
        QVERIFY(waitUntil([&] { return !w; }));
        QVERIFY(!frmTelephoneRing::loadedInstance() && !frmTelephoneCall::loadedInstance());
    }
}

void TestTapiSetup::windowKeepsItsStateUntilUnloaded() {
    gPreferences->autoCloseOnDisconnect = true;
    f->start();
    f->step("offer:1");
    f->step("answer");
    frmTelephoneRing* r = frmTelephoneRing::loadedInstance();
    child<QCheckBox>(r, "cbAutoClose")->setChecked(false); // the user's choice
    f->step("hangup");
    f->step("offer:2"); // left open: it keeps its state for the next call
    QCOMPARE(frmTelephoneRing::loadedInstance(), r);
    QVERIFY(!child<QCheckBox>(r, "cbAutoClose")->isChecked());
    QVERIFY(child<QPushButton>(r, "cmdDisconnect")->isEnabled());
    f->step("hangup");
    QPointer<frmTelephoneRing> old(r);
    r->close(); // by its window box: the next call loads it afresh
    QVERIFY(!frmTelephoneRing::loadedInstance());
    QVERIFY(waitUntil([&] { return !old; }));
    f->step("offer:3");
    r = frmTelephoneRing::loadedInstance();
    QVERIFY(r && r->isVisible());
    QVERIFY(child<QCheckBox>(r, "cbAutoClose")->isChecked());
    QVERIFY(!child<QPushButton>(r, "cmdDisconnect")->isEnabled());
    frmTelephoneCall* c = frmTelephoneCall::instance();
    c->setNumber(QStringLiteral("99"));
    c->showCalledIDStr(QStringLiteral("Anna"));
    c->unload();
    pump();
    c = frmTelephoneCall::instance(); // the outgoing window empties its fields
    QCOMPARE(c->number() + labelOf(c, "lblCalledIDStr"), QString());
}

QTEST_MAIN(TestTapiSetup)
#include "tst_tapisetup.moc"
