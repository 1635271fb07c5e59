// The incoming-call and outgoing-call windows driven through their named
// controls: loading, Answer, Disconnect, Dial, Hang Up, Auto Close.

#include "app/errorreport.h"
#include "app/strings.h"
#include "callfixture.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

namespace {

template <typename T> T* child(QWidget* w, const char* name) {
    return w->findChild<T*>(QLatin1String(name));
}

QStringList boxTexts() {
    QStringList out;
    for (const auto& r : Prompter::records())
        out.append(r.text + u'/' + r.title + u'/' + QString::number(r.flags));
    return out;
}

} // namespace

class TestCallWindows : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { f.reset(); }
    void windowsAreLocalised();
    void autoClose_data();
    void autoClose();
    void newCallCancelsAutoClose_data();
    void newCallCancelsAutoClose();
    void loadRunsAgainAfterUnload();
    void dialRefusals_data();
    void dialRefusals();
    void dialHandsTheNumberOverAsTyped();
    void failedConnectDropsTheCall();
    void failedCreateCallKeepsNoCall();
    void hangUp_data();
    void hangUp();
    void failedDisconnectKeepsTheCall();
    void hangUpSparesACallThatCameWhileAsking();

private:
    std::unique_ptr<CallFixture> f;
};

void TestCallWindows::windowsAreLocalised() {
    f = std::make_unique<CallFixture>();
    f->start();
    frmTelephoneRing* r = frmTelephoneRing::instance();
    QCOMPARE(r->windowTitle(), QStringLiteral("Telephone Ring"));
    QCOMPARE(r->parentWidget(), f->form());
    QCOMPARE(child<QPushButton>(r, "cmdAnswer")->text(), QStringLiteral("&Answer"));
    QCOMPARE(child<QPushButton>(r, "cmdDisconnect")->text(), QStringLiteral("&Disconnect"));
    QCOMPARE(child<QCheckBox>(r, "cbAutoClose")->text(), QStringLiteral("Auto &Close"));
    frmTelephoneCall* c = frmTelephoneCall::instance();
    QCOMPARE(c->windowTitle(), QStringLiteral("Telephone Call"));
    QCOMPARE(child<QPushButton>(c, "cmdDial")->text(), QStringLiteral("&Dial"));
    QCOMPARE(child<QPushButton>(c, "cmdHangUp")->text(), QStringLiteral("&Hang Up"));
    QCOMPARE(child<QLabel>(c, "Label1")->text(), QStringLiteral("Telephone Number :"));
    QVERIFY(!r->isVisible() && !c->isVisible()); // loading does not show them
    r->unload();
    c->unload();
    setLanguage(Language::Italian);
    r = frmTelephoneRing::instance();
    c = frmTelephoneCall::instance();
    setLanguage(Language::English);
    QCOMPARE(r->windowTitle(), QStringLiteral("Squillo telefonico"));
    QCOMPARE(child<QPushButton>(r, "cmdAnswer")->text(), QStringLiteral("&Rispondi"));
    QCOMPARE(child<QPushButton>(c, "cmdHangUp")->text(), QStringLiteral("&Riaggancia"));
    QCOMPARE(child<QLabel>(c, "Label1")->text(), QStringLiteral("Telephone Number :"));
}

void TestCallWindows::autoClose_data() {
    QTest::addColumn<bool>("incoming");
    QTest::addColumn<bool>("autoClose");
    QTest::newRow("incoming, auto close") << true << true;
    QTest::newRow("incoming, stays open") << true << false;
    QTest::newRow("outgoing, auto close") << false << true;
    QTest::newRow("outgoing, stays open") << false << false;
}

void TestCallWindows::autoClose() {
    QFETCH(bool, incoming);
    QFETCH(bool, autoClose);
    f = std::make_unique<CallFixture>();
    gPreferences->autoCloseOnDisconnect = autoClose;
    f->start();
    QWidget* w = nullptr;
    if (incoming) {
        f->step("offer:5551234");
        w = frmTelephoneRing::loadedInstance();
    } else {
        frmTelephoneCall* c = frmTelephoneCall::instance();
        c->showWindow();
        c->setNumber(QStringLiteral("0221"));
        click(c, "cmdDial");
        pump();
        w = c;
    }
    QVERIFY(w && w->isVisible());
    QCOMPARE(child<QCheckBox>(w, "cbAutoClose")->isChecked(), autoClose);
    auto* timer = child<QTimer>(w, "CloseTimer");
    QCOMPARE(timer->interval(), 1500);
    QVERIFY(!timer->isActive());
    QPointer<QWidget> guard(w);
    QElapsedTimer clock;
    clock.start();
    f->step("hangup");
    QCOMPARE(child<QLabel>(w, "lblStatus")->text(), QStringLiteral("Disconnected"));
    QCOMPARE(timer->isActive(), autoClose);
    QTest::qWait(1200);
    QVERIFY(guard && guard->isVisible()); // not before 1.5 s
    if (autoClose) {
        QTRY_VERIFY_WITH_TIMEOUT(!guard, 2000);
        QVERIFY(clock.elapsed() >= 1450);
        QVERIFY(!frmTelephoneRing::loadedInstance() && !frmTelephoneCall::loadedInstance());
    } else {
        QTest::qWait(600);
        QVERIFY(guard && guard->isVisible());
    }
}

void TestCallWindows::newCallCancelsAutoClose_data() {
    QTest::addColumn<bool>("incoming");
    QTest::newRow("incoming") << true;
    QTest::newRow("outgoing") << false;
}

void TestCallWindows::newCallCancelsAutoClose() {
    QFETCH(bool, incoming);
    f = std::make_unique<CallFixture>();
    gPreferences->autoCloseOnDisconnect = true;
    f->start();
    auto call = [&](const QString& number) -> QWidget* {
        if (incoming) {
            f->step(QStringLiteral("offer:") + number);
            return frmTelephoneRing::loadedInstance();
        }
        frmTelephoneCall* c = frmTelephoneCall::instance();
        c->showWindow();
        c->setNumber(number);
        click(c, "cmdDial");
        pump();
        return c;
    };
    QPointer<QWidget> w = call(QStringLiteral("111"));
    QVERIFY(w);
    f->step("hangup");
    QVERIFY(child<QTimer>(w, "CloseTimer")->isActive());
    // The next call comes before the window has closed: it stays for it.
    QCOMPARE(call(QStringLiteral("222")), w.data());
    QVERIFY(!child<QTimer>(w, "CloseTimer")->isActive());
    QTest::qWait(1800);
    QVERIFY(w && w->isVisible());
    QCOMPARE(child<QLabel>(w, "lblStatus")->text(),
             incoming ? QStringLiteral("Ringing...") : QStringLiteral("Calling..."));
}

void TestCallWindows::loadRunsAgainAfterUnload() {
    f = std::make_unique<CallFixture>();
    gPreferences->autoCloseOnDisconnect = true;
    f->start();
    f->step("offer:1");
    f->step("answer");
    frmTelephoneRing* r = frmTelephoneRing::loadedInstance();
    child<QCheckBox>(r, "cbAutoClose")->setChecked(false); // the user's choice
    QVERIFY(child<QPushButton>(r, "cmdDisconnect")->isEnabled());
    f->step("hangup");
    // Left open: it keeps its state for the next call.
    f->step("offer:2");
    QCOMPARE(frmTelephoneRing::loadedInstance(), r);
    QVERIFY(!child<QCheckBox>(r, "cbAutoClose")->isChecked());
    QVERIFY(child<QPushButton>(r, "cmdDisconnect")->isEnabled());
    f->step("hangup");
    // Closed by its window box, the next call loads it afresh.
    QPointer<frmTelephoneRing> old(r);
    r->close();
    pump();
    QVERIFY(!frmTelephoneRing::loadedInstance());
    QTRY_VERIFY(!old);
    f->step("offer:3");
    r = frmTelephoneRing::loadedInstance();
    QVERIFY(r && r->isVisible());
    QVERIFY(child<QCheckBox>(r, "cbAutoClose")->isChecked());
    QVERIFY(!child<QPushButton>(r, "cmdDisconnect")->isEnabled());
    QCOMPARE(child<QLabel>(r, "lblCallerIDNum")->text(), QStringLiteral("3"));

    // The outgoing window empties its fields on a fresh load.
    frmTelephoneCall* c = frmTelephoneCall::instance();
    c->setNumber(QStringLiteral("99"));
    c->showCalledIDStr(QStringLiteral("Anna"));
    c->unload();
    pump();
    c = frmTelephoneCall::instance();
    QCOMPARE(c->number(), QString());
    QCOMPARE(child<QLabel>(c, "lblCalledIDStr")->text(), QString());
}

void TestCallWindows::dialRefusals_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("call tracked") << "incoming"
                                  << "0221" << QStringList{"One call at a time!/Tamrivo/0"};
    QTest::newRow("empty number") << ""
                                  << ""
                                  << QStringList{"You must specify the number to Dial!/Tamrivo/0"};
    QTest::newRow("no monitored address")
        << "noaddress"
        << "0221" << QStringList{"TAPI required to perform this action/TAPI Error/48"};
}

void TestCallWindows::dialRefusals() {
    QFETCH(QString, situation);
    QFETCH(QString, number);
    QFETCH(QStringList, boxes);
    f = std::make_unique<CallFixture>();
    f->start();
    if (situation == u"incoming")
        f->step("offer:5");
    if (situation == u"noaddress")
        gAddress.reset();
    const auto before = gCall;
    frmTelephoneCall* c = frmTelephoneCall::instance();
    c->showWindow();
    c->setNumber(number);
    click(c, "cmdDial");
    pump();
    QCOMPARE(boxTexts(), boxes);
    QCOMPARE(SimLine::instance().dialled(), QString());
    QCOMPARE(gCall, before);
    // DialNumber itself places nothing while a call is tracked, silently.
    if (situation == u"incoming") {
        Prompter::reset();
        c->DialNumber();
        QVERIFY(Prompter::records().isEmpty());
        QCOMPARE(SimLine::instance().dialled(), QString());
    }
}

void TestCallWindows::dialHandsTheNumberOverAsTyped() {
    f = std::make_unique<CallFixture>();
    f->start();
    frmTelephoneCall* c = frmTelephoneCall::instance();
    c->showWindow();
    QTest::keyClicks(child<QLineEdit>(c, "txtNumber"), QStringLiteral(" +39 (02) 555-12*34# "));
    click(c, "cmdDial");
    QCOMPARE(SimLine::instance().dialled(), QStringLiteral(" +39 (02) 555-12*34# "));
    QVERIFY(gCall);
    QCOMPARE(gCallDirection, CallDirection::None); // outgoing once in progress
    pump();
    QCOMPARE(gCallDirection, CallDirection::Outgoing);
    QCOMPARE(SimLine::instance().status(),
             QStringLiteral("registered=1 call=inprogress number= +39 (02) 555-12*34#  "
                            "answered=0 dialled= +39 (02) 555-12*34# "));
}

void TestCallWindows::failedConnectDropsTheCall() {
    f = std::make_unique<CallFixture>();
    gExtendedErrors = true;
    f->start();
    SimLine::instance().failOnce(SimLine::Op::Connect);
    frmTelephoneCall* c = frmTelephoneCall::instance();
    c->setNumber(QStringLiteral("0221"));
    c->DialNumber();
    QVERIFY(!gCall);
    QCOMPARE(SimLine::instance().callState(1), CS_DISCONNECTED);
    QVERIFY(QFile::exists(errorLogPath()));
    pump();
    QCOMPARE(gCallDirection, CallDirection::None);
    // The user can dial again.
    c->DialNumber();
    QVERIFY(gCall);
    QCOMPARE(SimLine::instance().callState(2), CS_INPROGRESS);
}

void TestCallWindows::failedCreateCallKeepsNoCall() {
    f = std::make_unique<CallFixture>();
    f->start();
    SimLine::instance().failOnce(SimLine::Op::CreateCall);
    frmTelephoneCall* c = frmTelephoneCall::instance();
    c->setNumber(QStringLiteral("0221"));
    click(c, "cmdDial");
    QVERIFY(!gCall);
    click(c, "cmdDial");
    QVERIFY(gCall);
}

void TestCallWindows::hangUp_data() {
    QTest::addColumn<bool>("callTracked");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("endsWhileAsking");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("lineState");
    QTest::newRow("no call") << false << 0 << false
                             << QStringList{"No call to disconnect!/Tamrivo/0"} << "none";
    QTest::newRow("answered No") << true << int(Msg::No) << false
                                 << QStringList{"Disconnect the current call?/Tamrivo/4"}
                                 << "connected";
    QTest::newRow("answered Yes") << true << int(Msg::Yes) << false
                                  << QStringList{"Disconnect the current call?/Tamrivo/4"}
                                  << "disconnected";
    QTest::newRow("call ended while asking")
        << true << int(Msg::Yes) << true << QStringList{"Disconnect the current call?/Tamrivo/4"}
        << "disconnected";
}

void TestCallWindows::hangUp() {
    QFETCH(bool, callTracked);
    QFETCH(int, answer);
    QFETCH(bool, endsWhileAsking);
    QFETCH(QStringList, boxes);
    QFETCH(QString, lineState);
    f = std::make_unique<CallFixture>();
    gExtendedErrors = true;
    f->start();
    frmTelephoneCall* c = frmTelephoneCall::instance();
    c->showWindow();
    if (callTracked) {
        c->setNumber(QStringLiteral("0221"));
        c->DialNumber();
        pump();
        f->step("connect");
    }
    if (answer)
        Prompter::pushAnswer(answer);
    if (endsWhileAsking)
        Prompter::setHook([](const Prompter::Record&) {
            SimLine::instance().hangup(SimLine::instance().currentCall());
            pump();
        });
    click(c, "cmdHangUp");
    pump();
    QCOMPARE(boxTexts(), boxes);
    QCOMPARE(SimLine::instance().status().section(u' ', 1, 1), QStringLiteral("call=") + lineState);
    QVERIFY(!QFile::exists(errorLogPath())); // no failed disconnect
    QCOMPARE(static_cast<bool>(gCall), lineState == u"connected");
}

void TestCallWindows::failedDisconnectKeepsTheCall() {
    f = std::make_unique<CallFixture>();
    gExtendedErrors = true;
    f->start();
    f->step("offer:5");
    f->step("answer");
    SimLine::instance().failOnce(SimLine::Op::Disconnect);
    f->step("disconnect");
    QVERIFY(gCall);
    QVERIFY(QFile::exists(errorLogPath()));
    SimLine::instance().failOnce(SimLine::Op::Answer);
    f->step("answer"); // reported, nothing changes
    QVERIFY(gCall);
    f->step("disconnect");
    QVERIFY(!gCall);
    QCOMPARE(SimLine::instance().callState(1), CS_DISCONNECTED);
}

void TestCallWindows::hangUpSparesACallThatCameWhileAsking() {
    f = std::make_unique<CallFixture>();
    f->start();
    frmTelephoneCall* c = frmTelephoneCall::instance();
    c->showWindow();
    c->setNumber(QStringLiteral("0221"));
    c->DialNumber();
    pump();
    f->step("connect");
    // While the question is open the dialled call ends and a caller rings in.
    Prompter::pushAnswer(Msg::Yes);
    Prompter::setHook([](const Prompter::Record&) {
        SimLine& line = SimLine::instance();
        line.hangup(line.currentCall());
        pump();
        line.offer(QStringLiteral("5551234"));
        pump();
    });
    click(c, "cmdHangUp");
    pump();
    Prompter::setHook({});
    QVERIFY(gCall);
    QCOMPARE(SimLine::instance().status().section(u' ', 1, 1), QStringLiteral("call=offering"));
}

QTEST_MAIN(TestCallWindows)
#include "tst_callwindows.moc"
