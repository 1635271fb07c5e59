// Calls event by event through the simulated line and the call windows; ring sounds; the address.

#include "app/errorreport.h"
#include "callfixture.h"
#include "platform/errors.h"

#include <QFile>
#include <QtTest>

namespace {

// The call windows as "ring|call NUMBER/NAME/STATUS", "-" for Answer disabled, "+" for Disconnect
// enabled, "A" for Auto Close ticked, "closing" while the close timer runs.
QString windows() {
    QStringList out;
    auto flags = [](CallWindow* w) {
        return QString(child<QCheckBox>(w, "cbAutoClose")->isChecked() ? " A" : "") +
               (child<QTimer>(w, "CloseTimer")->isActive() ? " closing" : "");
    };
    if (auto* r = frmTelephoneRing::loadedInstance())
        out << "ring " + labelOf(r, "lblCallerIDNum") + u'/' + labelOf(r, "lblCallerIdStr") + u'/' +
                   labelOf(r, "lblStatus") +
                   (child<QPushButton>(r, "cmdAnswer")->isEnabled() ? "" : " -") +
                   (child<QPushButton>(r, "cmdDisconnect")->isEnabled() ? " +" : "") + flags(r);
    if (auto* c = frmTelephoneCall::loadedInstance())
        out << "call " + c->number() + u'/' + labelOf(c, "lblCalledIDStr") + u'/' +
                   labelOf(c, "lblStatus") + flags(c);
    return out.join(QStringLiteral("; "));
}

} // namespace

class TestCallStates : public QObject {
    Q_OBJECT
    std::unique_ptr<CallFixture> f;
private slots:
    void init() { f = std::make_unique<CallFixture>(); }
    void cleanup() { f.reset(); }
    void roads_data();
    void roads();

    void ringTick_data() {
        QTest::addColumn<bool>("playSound");
        QTest::addColumn<QString>("defaultSound");
        QTest::addColumn<int>("defaultInterval");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QStringList>("played");
        QTest::addColumn<int>("interval");
        const QString def = QStringLiteral("/snd/default.wav");
        const auto row = [](const char* name, bool on, const QString& sound, int every,
                            const char* tag, const QStringList& played, int interval) {
            QTest::newRow(name) << on << sound << every << tag << played << interval;
        };
        row("unmatched: default", true, def, 2, "", {def}, 2000);
        row("local book sound", true, def, 2, "0|O|0", {"/snd/local.wav"}, 15000);
        row("database book sound, grouped", true, def, 2, "2|D|0", {"/snd/db.wav"}, 3000);
        row("book without sound: default", true, def, 4, "0|O|1", {def}, 4000);
        row("bad index: default", true, def, 2, "0|O|x", {def}, 2000);
        row("sound off", false, def, 2, "0|O|0", {}, 1000);
        row("no default sound", true, "", 2, "", {}, 1000);
        row("interval zero: one second", true, def, 0, "", {def}, 1000);
        row("longest interval", true, def, 32767, "", {def}, 32767000);
    }

    void ringTick() {
        QFETCH(bool, playSound);
        QFETCH(QString, defaultSound);
        QFETCH(int, defaultInterval);
        QFETCH(QString, tag);
        QFETCH(QStringList, played);
        QFETCH(int, interval);
        gPreferences->incomingPlaySound = playSound;
        gPreferences->defaultSound = defaultSound;
        gPreferences->ringTimerInterval = static_cast<std::int16_t>(defaultInterval);
        f->start();
        f->step("book");
        QTimer* t = f->handler()->ringTimer();
        t->setInterval(7000); // as the main window's load leaves it
        f->step("ring");
        QCOMPARE(t->interval(), 1000); // the first sound one second after the first ring
        gCallRecord.callMatchTag = tag;
        f->handler()->ringTimer_Timer();
        QCOMPARE(SoundPlayer::played(), played);
        QCOMPARE(t->interval(), interval);
        QVERIFY(t->isActive());
        f->step("ring"); // a ring while it runs does not restart it
        QCOMPARE(t->interval(), interval);
        t->stop();
        f->handler()->ringTimer_Timer(); // a tick after the stop plays nothing
        QCOMPARE(SoundPlayer::played(), played);
    }

    void stopShutsDown() {
        setupTAPI();
        const auto tapi = gTAPI;
        const auto address = gAddress;
        startTAPI(); // already there: the same object
        QCOMPARE(gTAPI, tapi);
        f->step("fail:Shutdown");
        QVERIFY_THROWS_EXCEPTION(AppError, stopTAPI()); // a failing shut-down reaches the caller
        gCallDirection = CallDirection::Incoming;
        gPreferences->useTapi = false;
        setupTAPI();
        QVERIFY(!gTAPI && !gAddress && !SimLine::instance().isListening());
        QCOMPARE(gCallDirection, CallDirection::None);
        QVERIFY_THROWS_EXCEPTION(AppError, address->get_AddressName());
        stopTAPI(); // nothing to stop
    }

    // Nothing keeps an ended call the program let go of, nor an address it no longer holds.
    void lineForgetsEndedCalls() {
        f->start();
        f->step("dial:0221");
        QCOMPARE(SimLine::instance().handleCommand(QStringLiteral("status")),
                 "OK registered=1 call=inprogress number=0221 answered=0 dialled=0221");
        const std::weak_ptr<ITBasicCallControl> call = gCall;
        const std::weak_ptr<ITAddress> address = gAddress;
        f->step("hangup");
        gAddress.reset();
        QVERIFY(call.expired() && address.expired());
        QCOMPARE(SimLine::instance().currentCall(), -1);
    }

    // A failing start is silent; TAPIEventsInit tells what is missing.
    void eventsInitBoxes_data() {
        QTest::addColumn<bool>("useTapi"); // turned off after the set-up
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("fail");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("said");
        const QString bad = "Bad TAPI Interface", cant = "Can't monitor TAPI device";
        const QString line = "Simulated Line";
        const auto row = [](const char* name, bool on, const QString& device, const char* fail,
                            const char* state, const QStringList& said) {
            QTest::newRow(name) << on << device << fail << state << said;
        };
        row("monitoring", true, line, "", "tapi address", {});
        row("name differs in case", true, "simulated line", "", "tapi", {bad, cant});
        row("no device", true, "", "", "tapi", {bad, cant});
        row("subscription refused", true, line, "Register", "tapi address", {cant});
        row("telephony off", false, line, "", "tapi address", {});
        for (const char* op :
             {"Create", "Initialize", "EventFilter", "GetAddresses", "AddressName"})
            row(op, true, line, op, op[0] == 'G' || op[0] == 'A' ? "tapi" : "", {bad, cant});
    }

    void eventsInitBoxes() {
        QFETCH(bool, useTapi);
        QFETCH(QString, device);
        QFETCH(QString, fail);
        QFETCH(QString, state);
        QFETCH(QStringList, said);
        gPreferences->TAPIDevice = device;
        if (fail != "Register" && !fail.isEmpty())
            f->step("fail:" + fail);
        setupTAPI();
        QCOMPARE(QString(gTAPI ? "tapi" : "") + (gAddress ? " address" : ""), state);
        gPreferences->useTapi = useTapi;
        if (fail == "Register")
            f->step("fail:Register");
        f->createForm();
        f->handler()->TAPIEventsInit();
        QStringList boxes;
        for (const auto& r : Prompter::records())
            boxes << r.text +
                         (r.title == "TAPI Device Error" && r.flags == Msg::Critical ? "" : "?");
        QCOMPARE(boxes, said);
        QCOMPARE(f->handler()->sinkConnected(), useTapi && said.isEmpty());
        QCOMPARE(SimLine::instance().registered(), useTapi && said.isEmpty());
        QCOMPARE(SimLine::instance().isListening(), !state.isEmpty());
    }
};

void TestCallStates::roads_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("trace"); // the snapshot after each step, "=" when unchanged
    QTest::addColumn<QString>("shown");     // the call windows at the end
    QTest::addColumn<QStringList>("said");  // message boxes, "error" for a logged error
    QTest::addColumn<QStringList>("logged");
    const QString none = "0  ''  d2 - []", end = "2  ''  d2 - []",
                  rung = "0  ''  d2 - [Ringing...] ring";
    const QString ask = "Disconnect the current call?/Tamrivo/4 @ ";
    const QString oneAtATime = "Can work with only one call at a time/One call at a time/64 @ ";
    const QString refused = "The line did not carry out your request:/TAPI Error/16 @ ";
    const QString typed =
        "1 +39 (02) 555*7#  'Not Found'  d1 call [Called ID Changed : +39 (02) 555*7# ]";
    auto row = [](const char* name, QStringList steps, QStringList trace, QString shown,
                  QStringList said, QStringList logged) {
        QTest::newRow(name) << steps << trace << shown << said << logged;
    };
    row("answered, caller id changed, far end hangs up",
        {"subscribe", "ring", "offer:5551234", "callerid:5559999", "answer", "hangup"},
        {none, rung, "0 5551234 'Not Found'  d0 call [Ringing...] ring",
         "0 5559999 'Not Found'  d0 call [Caller ID Changed : 5559999] ring",
         "1 5559999 'Not Found'  d0 call [Caller ID Changed : 5559999]", end},
        "ring 5559999/Not Found/Disconnected - +", {},
        {"1:Not Found|05559999|005559999|+395559999|||"});
    row("unanswered, unmatched, unreadable",
        {"ring", "offer:5551234", "ring", "hangup", "offer", "hangup"},
        {rung, "0 5551234 'Not Found'  d0 call [Ringing...] ring", "=", end,
         "0 Not available 'Not Found'  d0 call []", end},
        "ring Not available//Disconnected -", {},
        {"2:Not Found|05551234|005551234|+395551234|||", "2:Not Found||||||"});
    // The number as the book stores it, logged behind the book's call prefix.
    row("callers found in a book",
        {"book", "offer:5551234", "answer", "hangup", "offer:2223344", "hangup", "offer:44",
         "hangup"},
        {none, "0 5551234 'Anna Rossi' 0|O|1 d0 call []", "1 5551234 'Anna Rossi' 0|O|1 d0 call []",
         end, "0 02223344 'Bruno' 0|O|1 d0 call []", end, "0 44 'Not Found'  d0 call []", end},
        "ring 44/Not Found/Disconnected - +", {},
        {"1:Anna Rossi|95551234|||||", "2:Bruno|902223344|||||", "2:Not Found|044|0044|+3944|||"});
    row("matched in any book, the books changed meanwhile (prefix kept), and dialled",
        {"book", "offer:5551234", "unbook", "answer", "hangup", "offer:0612", "hangup",
         "offer:5551234", "tag:0|R|1", "hangup", "dial:5551234"},
        {none, "0 5551234 'Anna Rossi' 0|O|1 d0 call []", "=",
         "1 5551234 'Anna Rossi' 0|O|1 d0 call []", end, "0 0612 'Dino' 0|D|0 d0 call []", end,
         "0 5551234 'Anna Rossi' 0|O|0 d0 call []", "0 5551234 'Anna Rossi' 0|R|1 d0 call []", end,
         "4 5551234 'Anna Rossi'  d1 call [Called ID Changed : 5551234]"},
        "ring 5551234/Anna Rossi/Disconnected - +; call 5551234/Anna Rossi/Calling...", {},
        {"1:Anna Rossi|95551234|||||", "2:Dino|000612|||||", "2:Anna Rossi||||||"});
    // An empty number is not looked up, and does not wipe out a known one.
    row("empty numbers", {"offer:", "callerid:0301", "callerid:", "connect", "hangup"},
        {"0  'Not Found'  d0 call []", "0 0301 'Not Found'  d0 call [Caller ID Changed : 0301]",
         "0 0301 'Not Found'  d0 call []", "1 0301 'Not Found'  d0 call []", end},
        "ring 0301/Not Found/Disconnected - +", {}, {"1:Not Found|00301|000301|+390301|||"});
    // A failing book is told once, when the call is shown; events go on in order.
    row("a book that cannot be opened",
        {"tell", "book:broken", "offer:5551234", "callerid:5559999", "hangup"},
        {none, none, "0 5551234 'Not Found'  d0 call []",
         "0 5559999 'Not Found'  d0 call [Caller ID Changed : 5559999]", end},
        "ring 5559999/Not Found/Disconnected -", {"@ 0 5551234 'Not Found'  d0 call []"},
        {"2:Not Found|05559999|005559999|+395559999|||"});
    // Its ring starts no ring sound, and its end is not ours.
    row("second caller rings and gives up during a connected call",
        {"offer:111", "answer", "ring", "offer:222", "callerid:333", "hangup", "hangup"},
        {"0 111 'Not Found'  d0 call []", "1 111 'Not Found'  d0 call []", "=", "=", "=", "=", end},
        "ring 111/Not Found/Disconnected - +", {oneAtATime + "1 111 'Not Found'  d0 call []"},
        {"1:Not Found|0111|00111|+39111|||"});
    // The box comes once the notification is handled; events go on in order.
    row("second caller while the box is up",
        {"offer:111", "inbox:answer,hangup,hangup", "offer:222", "quiet", "offer:3", "offer:4"},
        {"0 111 'Not Found'  d0 call []", "=", end, end, "0 3 'Not Found'  d0 call []", "="},
        "ring 3/Not Found/Ringing... +", {oneAtATime + "0 111 'Not Found'  d0 call []"},
        {"1:Not Found|0111|00111|+39111|||"});
    // Once let go, the call still ends as itself, and no call starts before.
    row("disconnect then a quick dial",
        {"offer:5551234", "disconnect", "answer", "disconnect!", "card:0333!", "dial:0221"},
        {"0 5551234 'Not Found'  d0 call []", "=", "1 5551234 'Not Found'  d0 call []",
         "1 5551234 'Not Found'  d0 - []", "=", end},
        "ring 5551234/Not Found/Disconnected - +; call 0221//Disconnected",
        {oneAtATime + "1 5551234 'Not Found'  d0 - []",
         "One call at a time!/Tamrivo/0 @ 1 5551234 'Not Found'  d0 - []"},
        {"1:Not Found|05551234|005551234|+395551234|||"});
    // The line reports the number as typed; Manual Call then shows no old name.
    row("typed number, hung up after asking",
        {"dial:+39 (02) 555*7# ", "connect", "hangupbutton:no", "hangupbutton:yes", "manual"},
        {"4 +39 (02) 555*7#  'Not Found'  d1 call [Called ID Changed : +39 (02) 555*7# ]", typed,
         "=", end, "="},
        "call //Disconnected", {ask + typed, ask + typed}, {"0:Not Found|+39 (02) 555*7# |||||"});
    row("hang up spares a call that came while asking",
        {"dial:0221", "ring", "inbox:hangup,offer:5551234", "hangupbutton:yes"},
        {"4 0221 'Not Found'  d1 call [Called ID Changed : 0221]", "=", "=",
         "0 5551234 'Not Found'  d0 call []"},
        "ring 5551234/Not Found/Ringing...; call 0221/Not Found/Disconnected",
        {ask + "4 0221 'Not Found'  d1 call [Called ID Changed : 0221]"},
        {"0:Not Found|0221|||||"});
    row("refusals, and subscribing again without an address",
        {"dial:", "hangupbutton:yes", "noaddress", "dial:0221", "subscribe", "ring"},
        {none, "=", "=", "=", "=", rung}, "call 0221//",
        {"You must specify the number to Dial!/Tamrivo/0 @ " + none,
         "No call to disconnect!/Tamrivo/0 @ " + none,
         "TAPI required to perform this action/TAPI Error/48 @ " + none,
         "Bad TAPI Interface/TAPI Device Error/16 @ " + none},
        {});
    row("other events clear the status bar; shut down ends the call, no more events",
        {"ring", "media", "ring", "offer:5", "hold", "shutdown", "ring"},
        {rung, "0  ''  d2 - [] ring", rung, "0 5 'Not Found'  d0 call [Ringing...] ring",
         "0 5 'Not Found'  d0 call [] ring", end, "="},
        "ring 5/Not Found/Disconnected -", {}, {"2:Not Found|05|005|+395|||"});
    // Telephony off (then Cancel) or another line: the call ends as the line would end it.
    row("preferences during calls: kept on the same line",
        {"line2", "ring", "offer:1", "prefs:off,cmdCancel", "prefs:on,cmdOK", "offer:2", "answer",
         "prefs:cmdOK", "hangup", "offer:3", "prefs:1,cmdOK"},
        {none, rung, "0 1 'Not Found'  d0 call [Ringing...] ring", end, "=",
         "0 2 'Not Found'  d0 call []", "1 2 'Not Found'  d0 call []", "=", end,
         "0 3 'Not Found'  d0 call []", end},
        "ring 3/Not Found/Disconnected - +", {},
        {"1:Not Found|02|002|+392|||", "2:Not Found|01|001|+391|||", "2:Not Found|03|003|+393|||"});
    row("failed dial, answer and disconnect are told, keep no call or the call",
        {"fail:CreateCall", "dial:0221", "fail:Connect", "dial:0221", "dial:0221", "hangup",
         "offer:5", "fail:Answer", "answer", "answer", "fail:Disconnect", "disconnect",
         "disconnect"},
        {none, "=", "=", end, "4 0221 'Not Found'  d1 call [Called ID Changed : 0221]", end,
         "0 5 'Not Found'  d0 call []", "=", "=", "1 5 'Not Found'  d0 call []", "=", "=", end},
        "ring 5/Not Found/Disconnected - +; call 0221/Not Found/Disconnected",
        {refused + none, refused + none, refused + "0 5 'Not Found'  d0 call []",
         refused + "1 5 'Not Found'  d0 call []", "error"},
        {"0:Not Found|0221|||||", "1:Not Found|05|005|+395|||"});
    // A number never known is not logged.
    row("outgoing seen on the line",
        {"outgoing:0331", "hangup", "outgoing", "hangup", "outgoing", "calledid:0444", "hangup",
         "dialnumber:", "hangup"},
        {"0 0331 ''  d1 call []", end, "2 Not available ''  d1 call []", end,
         "2 Not available ''  d1 call []", "2 0444 'Not Found'  d1 call [Called ID Changed : 0444]",
         end, "4  ''  d1 call []", end},
        "call //Disconnected", {}, {"0:Not Found|0331|||||", "0:Not Found|0444|||||"});
    // A call ends whatever happens to its entry, and the next one is handled.
    row("no recent-call book", {"nolog", "ring", "offer:6", "hangup", "offer:1"},
        {none, rung, "0 6 'Not Found'  d0 call [Ringing...] ring", end,
         "0 1 'Not Found'  d0 call []"},
        "ring 1/Not Found/Ringing...", {}, {});
    // The call windows' Auto Close; a new call cancels a pending close.
    row("auto close cancelled by the next call",
        {"autoclose", "offer:1", "hangup", "offer:2", "quiet", "dial:3", "hangup", "dial:4"},
        {none, "0 1 'Not Found'  d0 call []", end, "0 2 'Not Found'  d0 call []", "=", "=", end,
         "4 4 'Not Found'  d1 call [Called ID Changed : 4]"},
        "ring 2/Not Found/Disconnected - A closing; call 4/Not Found/Calling... A",
        {"One call at a time!/Tamrivo/0 @ 0 2 'Not Found'  d0 call []"},
        {"2:Not Found|01|001|+391|||", "2:Not Found|02|002|+392|||"});
    // A window left open keeps its state; one closed by its box loads afresh.
    row("left open", {"autoclose", "offer:1", "answer", "untick", "hangup", "offer:2"},
        {none, "0 1 'Not Found'  d0 call []", "1 1 'Not Found'  d0 call []", "=", end,
         "0 2 'Not Found'  d0 call []"},
        "ring 2/Not Found/Ringing... +", {}, {"1:Not Found|01|001|+391|||"});
    row("closed by its timer, then by its box",
        {"autoclose", "dial:1", "hangup", "closetimer", "offer:1", "answer", "hangup", "closebox",
         "offer:2"},
        {none, "4 1 'Not Found'  d1 call [Called ID Changed : 1]", end, "=",
         "0 1 'Not Found'  d0 call []", "1 1 'Not Found'  d0 call []", end, "=",
         "0 2 'Not Found'  d0 call []"},
        "ring 2/Not Found/Ringing... A", {}, {"0:Not Found|1|||||", "1:Not Found|01|001|+391|||"});
}

void TestCallStates::roads() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, trace);
    QFETCH(QString, shown);
    QFETCH(QStringList, said);
    QFETCH(QStringList, logged);
    gExtendedErrors = true; // errors go to the log file
    f->start();
    QStringList actual;
    for (const QString& s : steps)
        f->step(s), actual.append(f->snapshot());
    for (int i = 1; i < trace.size(); ++i)
        trace[i] = trace[i] == "=" ? trace[i - 1] : trace[i];
    QCOMPARE(actual, trace);
    QCOMPARE(windows(), shown);
    QCOMPARE(f->boxes + (QFile::exists(errorLogPath()) ? QStringList{"error"} : QStringList{}),
             said);
    // Each entry as "BOOK:entry", stamped with the system's short date and the time.
    const QString date = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    const QRegularExpression stamp(QRegularExpression::escape(date) + " \\d{1,2}:\\d{2}:\\d{2}");
    QStringList got;
    for (int b = 0; b < gRecentBooks.size(); ++b)
        for (std::int16_t i = 0; i < gRecentBooks[b]->getContactNum(); ++i) {
            QVERIFY(stamp.match(gRecentBooks[b]->getContact(i)->freetext).hasMatch());
            got.append(QString::number(b) + u':' + f->entries(b)[i]);
        }
    QCOMPARE(got, logged);
}

QTEST_MAIN(TestCallStates)
#include "tst_callstates.moc"
