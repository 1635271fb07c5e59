// The incoming-call and outgoing-call windows driven through their named
// controls: loading, Answer, Disconnect, Dial, Hang Up, Auto Close.

#include "app/errorreport.h"
#include "app/strings.h"
#include "callfixture.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

namespace {

template <typename T> T* child(QWidget* w, const char* name) {
    return w->findChild<T*>(QLatin1String(name));
}

QString lineCall() {
    return SimLine::instance().status().section(u' ', 1, 1);
}

} // namespace

class TestCallWindows : public QObject {
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<CallFixture>(); }
    void cleanup() { f.reset(); }
    void windowsAreLocalised();
    void autoClose_data();
    void autoClose();
    void loadRunsAgainAfterUnload();
    void dialRefusals_data();
    void dialRefusals();
    void dialHandsTheNumberOverAsTyped();
    void failedDialKeepsNoCall_data();
    void failedDialKeepsNoCall();
    void hangUp_data();
    void hangUp();
    void failedDisconnectKeepsTheCall();

private:
    std::unique_ptr<CallFixture> f;
};

void TestCallWindows::windowsAreLocalised() {
    f->start();
    frmTelephoneRing* r = frmTelephoneRing::instance();
    frmTelephoneCall* c = frmTelephoneCall::instance();
    QCOMPARE(r->windowTitle() + c->windowTitle(), QStringLiteral("Telephone RingTelephone Call"));
    QCOMPARE(r->parentWidget(), f->form());
    QVERIFY(!r->isVisible() && !c->isVisible()); // loading does not show them
    r->unload();
    c->unload();
    setLanguage(Language::Italian);
    r = frmTelephoneRing::instance();
    c = frmTelephoneCall::instance();
    setLanguage(Language::English);
    QCOMPARE(r->windowTitle(), QStringLiteral("Squillo telefonico"));
    QCOMPARE(child<QPushButton>(c, "cmdHangUp")->text(), QStringLiteral("&Riaggancia"));
    QCOMPARE(labelOf(c, "Label1"), QStringLiteral("Telephone Number :")); // no Tag
}

void TestCallWindows::autoClose_data() {
    QTest::addColumn<bool>("incoming");
    QTest::addColumn<bool>("autoClose");
    QTest::addColumn<bool>("nextCall"); // a new call before the window closes
    QTest::newRow("incoming, auto close") << true << true << false;
    QTest::newRow("incoming, stays open") << true << false << false;
    QTest::newRow("incoming, next call keeps it") << true << true << true;
    QTest::newRow("outgoing, auto close") << false << true << false;
    QTest::newRow("outgoing, stays open") << false << false << false;
    QTest::newRow("outgoing, next call keeps it") << false << true << true;
}

void TestCallWindows::autoClose() {
    QFETCH(bool, incoming);
    QFETCH(bool, autoClose);
    QFETCH(bool, nextCall);
    gPreferences->autoCloseOnDisconnect = autoClose;
    f->start();
    auto call = [&](const QString& number) -> QWidget* {
        if (!incoming)
            return f->dial(number);
        f->step("offer:" + number);
        return frmTelephoneRing::loadedInstance();
    };
    QPointer<QWidget> w = call(QStringLiteral("111"));
    QVERIFY(w && w->isVisible());
    QCOMPARE(child<QCheckBox>(w, "cbAutoClose")->isChecked(), autoClose);
    auto* timer = child<QTimer>(w, "CloseTimer");
    QCOMPARE(timer->interval(), 1500);
    QElapsedTimer clock;
    clock.start();
    f->step("hangup");
    QCOMPARE(labelOf(w, "lblStatus"), QStringLiteral("Disconnected"));
    QCOMPARE(timer->isActive(), autoClose);
    if (nextCall) {
        QCOMPARE(call(QStringLiteral("222")), w.data());
        QVERIFY(!timer->isActive());
    }
    QTest::qWait(1200);
    QVERIFY(w && w->isVisible()); // not before 1.5 s
    if (autoClose && !nextCall) {
        QTRY_VERIFY_WITH_TIMEOUT(!w, 2000);
        QVERIFY(clock.elapsed() >= 1450);
        QVERIFY(!frmTelephoneRing::loadedInstance() && !frmTelephoneCall::loadedInstance());
    } else {
        QTest::qWait(600);
        QVERIFY(w && w->isVisible());
    }
}

void TestCallWindows::loadRunsAgainAfterUnload() {
    gPreferences->autoCloseOnDisconnect = true;
    f->start();
    f->step("offer:1");
    f->step("answer");
    frmTelephoneRing* r = frmTelephoneRing::loadedInstance();
    child<QCheckBox>(r, "cbAutoClose")->setChecked(false); // the user's choice
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
    QCOMPARE(labelOf(r, "lblCallerIDNum"), QStringLiteral("3"));
    // The outgoing window empties its fields on a fresh load.
    frmTelephoneCall* c = frmTelephoneCall::instance();
    c->setNumber(QStringLiteral("99"));
    c->showCalledIDStr(QStringLiteral("Anna"));
    c->unload();
    pump();
    c = frmTelephoneCall::instance();
    QCOMPARE(c->number() + labelOf(c, "lblCalledIDStr"), QString());
}

void TestCallWindows::dialRefusals_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("box");
    QTest::newRow("call tracked") << "incoming"
                                  << "0221"
                                  << "One call at a time!/Tamrivo/0";
    QTest::newRow("empty number") << ""
                                  << ""
                                  << "You must specify the number to Dial!/Tamrivo/0";
    QTest::newRow("no monitored address") << "noaddress"
                                          << "0221"
                                          << "TAPI required to perform this action/TAPI Error/48";
}

void TestCallWindows::dialRefusals() {
    QFETCH(QString, situation);
    QFETCH(QString, number);
    QFETCH(QString, box);
    f->start();
    if (situation == "incoming")
        f->step("offer:5");
    if (situation == "noaddress")
        gAddress.reset();
    const auto before = gCall;
    frmTelephoneCall* c = f->dial(number);
    QCOMPARE(promptLog(), QStringList{box});
    QCOMPARE(SimLine::instance().dialled(), QString());
    QCOMPARE(gCall, before);
    // DialNumber itself places nothing while a call is tracked, silently.
    if (situation == "incoming") {
        Prompter::reset();
        c->DialNumber();
        QVERIFY(Prompter::records().isEmpty());
        QCOMPARE(SimLine::instance().dialled(), QString());
    }
}

void TestCallWindows::dialHandsTheNumberOverAsTyped() {
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
}

void TestCallWindows::failedDialKeepsNoCall_data() {
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("lineState"); // of the failed call
    QTest::newRow("create call") << int(SimLine::Op::CreateCall) << "call=none";
    QTest::newRow("connect") << int(SimLine::Op::Connect) << "call=disconnected";
}

void TestCallWindows::failedDialKeepsNoCall() {
    QFETCH(int, op);
    QFETCH(QString, lineState);
    gExtendedErrors = true;
    f->start();
    SimLine::instance().failOnce(static_cast<SimLine::Op>(op));
    f->dial(QStringLiteral("0221"));
    QVERIFY(!gCall);
    QCOMPARE(lineCall(), lineState);
    QVERIFY(QFile::exists(errorLogPath()));
    QCOMPARE(gCallDirection, CallDirection::None);
    click(frmTelephoneCall::instance(), "cmdDial"); // the user can dial again
    QVERIFY(gCall);
    QCOMPARE(lineCall(), QStringLiteral("call=inprogress"));
}

void TestCallWindows::hangUp_data() {
    QTest::addColumn<bool>("callTracked");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("whileAsking"); // the line's doing while the box is up
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("lineState");
    const QString ask = "Disconnect the current call?/Tamrivo/4";
    QTest::newRow("no call") << false << 0 << ""
                             << "No call to disconnect!/Tamrivo/0"
                             << "call=none";
    QTest::newRow("answered No") << true << int(Msg::No) << "" << ask << "call=connected";
    QTest::newRow("answered Yes") << true << int(Msg::Yes) << "" << ask << "call=disconnected";
    QTest::newRow("call ended while asking")
        << true << int(Msg::Yes) << "hangup" << ask << "call=disconnected";
    // The new call is spared.
    QTest::newRow("new call came while asking")
        << true << int(Msg::Yes) << "hangup offer" << ask << "call=offering";
}

void TestCallWindows::hangUp() {
    QFETCH(bool, callTracked);
    QFETCH(int, answer);
    QFETCH(QString, whileAsking);
    QFETCH(QString, box);
    QFETCH(QString, lineState);
    gExtendedErrors = true;
    f->start();
    frmTelephoneCall* c = frmTelephoneCall::instance();
    c->showWindow();
    if (callTracked) {
        f->dial(QStringLiteral("0221"));
        f->step("connect");
    }
    if (answer)
        Prompter::pushAnswer(answer);
    Prompter::setHook([&](const Prompter::Record&) {
        for (const QString& s : whileAsking.split(u' ', Qt::SkipEmptyParts))
            f->step(s == "offer" ? QStringLiteral("offer:5551234") : s);
    });
    click(c, "cmdHangUp");
    pump();
    Prompter::setHook({});
    QCOMPARE(promptLog(), QStringList{box});
    QCOMPARE(lineCall(), lineState);
    QVERIFY(!QFile::exists(errorLogPath())); // no failed disconnect
    QCOMPARE(static_cast<bool>(gCall),
             lineState != "call=disconnected" && lineState != "call=none");
}

void TestCallWindows::failedDisconnectKeepsTheCall() {
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

QTEST_MAIN(TestCallWindows)
#include "tst_callwindows.moc"
