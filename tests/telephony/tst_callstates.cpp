// The call state machine driven through the simulated line and the call
// windows' buttons, event by event: the current-call record, the direction,
// the tracked call, the status bar, the ring timer, the windows, the message
// boxes and the recent-call entries; then the ring sound's choice.

#include "addressbooks/dbfunctions.h"
#include "app/errorreport.h"
#include "callfixture.h"

#include <QFile>
#include <QTimer>
#include <QtTest>

namespace {

// Every recent-call entry as "BOOK:entry".
QStringList allEntries(const CallFixture& f) {
    QStringList out;
    for (int b = 0; b < 3; ++b)
        for (const QString& e : f.entries(b))
            out.append(QString::number(b) + u':' + e);
    return out;
}

// The loaded call windows as "ring NUMBER/NAME/STATUS; call NUMBER/NAME/STATUS".
QString windows() {
    QStringList out;
    if (auto* r = frmTelephoneRing::loadedInstance())
        out << "ring " + labelOf(r, "lblCallerIDNum") + u'/' + labelOf(r, "lblCallerIdStr") + u'/' +
                   labelOf(r, "lblStatus");
    if (auto* c = frmTelephoneCall::loadedInstance())
        out << "call " + c->number() + u'/' + labelOf(c, "lblCalledIDStr") + u'/' +
                   labelOf(c, "lblStatus");
    return out.join(QStringLiteral("; "));
}

} // namespace

class TestCallStates : public QObject {
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<CallFixture>(); }
    void cleanup() { f.reset(); }
    void roads_data();
    void roads();
    void callerFoundInLocalBook_data();
    void callerFoundInLocalBook();
    void brokenBookDoesNotHideTheCall();
    void boxDoesNotHoldUpEvents();
    void disconnectAlwaysEndsTheCall_data();
    void disconnectAlwaysEndsTheCall();
    void ringTick_data();
    void ringTick();

private:
    std::unique_ptr<CallFixture> f;
};

void TestCallStates::roads_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("trace"); // the snapshot after each step
    QTest::addColumn<QString>("shown");     // the call windows at the end
    QTest::addColumn<QStringList>("said");  // message boxes, "error" for a logged error
    QTest::addColumn<QStringList>("logged");
    const QString none = "0  ''  d2 - []";
    const QString ended = "2  ''  d2 - []";
    const QString oneAtATime = "Can work with only one call at a time/One call at a time/64";
    const QString ask = "Disconnect the current call?/Tamrivo/4";

    QTest::newRow("answered, caller id changed, far end hangs up")
        << QStringList{"subscribe", "ring", "offer:5551234", "callerid:5559999", "answer", "hangup"}
        << QStringList{none, "0  ''  d2 - [Ringing...] ring",
                       "0 5551234 'Not Found'  d0 call [Ringing...] ring",
                       "0 5559999 'Not Found'  d0 call [Caller ID Changed : 5559999] ring",
                       "1 5559999 'Not Found'  d0 call [Caller ID Changed : 5559999]", ended}
        << "ring 5559999/Not Found/Disconnected" << QStringList{}
        << QStringList{"1:Not Found|05559999|005559999|+395559999|||"};
    QTest::newRow("unanswered and unmatched")
        << QStringList{"ring", "offer:5551234", "ring", "hangup"}
        << QStringList{"0  ''  d2 - [Ringing...] ring",
                       "0 5551234 'Not Found'  d0 call [Ringing...] ring",
                       "0 5551234 'Not Found'  d0 call [Ringing...] ring", ended}
        << "ring 5551234/Not Found/Disconnected" << QStringList{}
        << QStringList{"2:Not Found|05551234|005551234|+395551234|||"};
    QTest::newRow("unreadable number")
        << QStringList{"offer", "hangup"}
        << QStringList{"0 Not available 'Not Found'  d0 call []", ended}
        << "ring Not available//Disconnected" << QStringList{}
        << QStringList{"2:Not Found|0Not available|00Not available|+39Not available|||"};
    QTest::newRow("empty number is not looked up")
        << QStringList{"offer:", "connect", "hangup"}
        << QStringList{"0  'Not Found'  d0 call []", "1  'Not Found'  d0 call []", ended}
        << "ring /Not Found/Disconnected" << QStringList{} << QStringList{"1:Not Found|0|00|+39|||"};
    QTest::newRow("empty caller id keeps the known number")
        << QStringList{"offer:5551234", "callerid:", "hangup"}
        << QStringList{"0 5551234 'Not Found'  d0 call []", "0 5551234 'Not Found'  d0 call []",
                       ended}
        << "ring 5551234/Not Found/Disconnected" << QStringList{}
        << QStringList{"2:Not Found|05551234|005551234|+395551234|||"};
    QTest::newRow("caller id arrives after an empty offer")
        << QStringList{"offer:", "callerid:0301", "hangup"}
        << QStringList{"0  'Not Found'  d0 call []",
                       "0 0301 'Not Found'  d0 call [Caller ID Changed : 0301]", ended}
        << "ring 0301/Not Found/Disconnected" << QStringList{}
        << QStringList{"2:Not Found|00301|000301|+390301|||"};
    // Its ring starts no ring sound, and its end is not ours.
    QTest::newRow("second caller rings and gives up during a connected call")
        << QStringList{"offer:111", "answer", "ring", "offer:222", "callerid:333", "hangup",
                       "hangup"}
        << QStringList{"0 111 'Not Found'  d0 call []", "1 111 'Not Found'  d0 call []",
                       "1 111 'Not Found'  d0 call [Ringing...]",
                       "1 111 'Not Found'  d0 call [Ringing...]",
                       "1 111 'Not Found'  d0 call [Ringing...]",
                       "1 111 'Not Found'  d0 call [Ringing...]", ended}
        << "ring 111/Not Found/Disconnected" << QStringList{oneAtATime}
        << QStringList{"1:Not Found|0111|00111|+39111|||"};
    QTest::newRow("second caller ignored silently")
        << QStringList{"quiet", "offer:111", "offer:222", "hangup", "hangup"}
        << QStringList{none, "0 111 'Not Found'  d0 call []", "0 111 'Not Found'  d0 call []",
                       "0 111 'Not Found'  d0 call []", ended}
        << "ring 111/Not Found/Disconnected" << QStringList{}
        << QStringList{"2:Not Found|0111|00111|+39111|||"};
    // Disconnect is refused until the answer; once let go, the call still
    // ends as itself and no call starts before that.
    QTest::newRow("disconnect then a quick dial")
        << QStringList{"offer:5551234", "disconnect", "answer", "disconnect!", "dial:0221"}
        << QStringList{"0 5551234 'Not Found'  d0 call []", "0 5551234 'Not Found'  d0 call []",
                       "1 5551234 'Not Found'  d0 call []", "1 5551234 'Not Found'  d0 - []",
                       ended}
        << "ring 5551234/Not Found/Disconnected; call 0221//Disconnected"
        << QStringList{"One call at a time!/Tamrivo/0"}
        << QStringList{"1:Not Found|05551234|005551234|+395551234|||"};
    // The line reports the number as typed; Manual Call then shows no old name.
    QTest::newRow("typed number, hung up after asking")
        << QStringList{"dial:+39 (02) 555*7# ", "connect", "hangupbutton:no", "hangupbutton:yes",
                       "manual"}
        << QStringList{"4 +39 (02) 555*7#  'Not Found'  d1 call [Called ID Changed : +39 (02) 555*7# ]",
                       "1 +39 (02) 555*7#  'Not Found'  d1 call [Called ID Changed : +39 (02) 555*7# ]",
                       "1 +39 (02) 555*7#  'Not Found'  d1 call [Called ID Changed : +39 (02) 555*7# ]",
                       ended, ended}
        << "call //Disconnected" << QStringList{ask, ask}
        << QStringList{"0:Not Found|+39 (02) 555*7# |||||"};
    QTest::newRow("hang up spares a call that came while asking")
        << QStringList{"dial:0221", "hangupbutton:yes,hangup,offer:5551234"}
        << QStringList{"4 0221 'Not Found'  d1 call [Called ID Changed : 0221]",
                       "0 5551234 'Not Found'  d0 call []"}
        << "ring 5551234/Not Found/Ringing...; call 0221/Not Found/Disconnected"
        << QStringList{ask} << QStringList{"0:Not Found|0221|||||"};
    QTest::newRow("a number never known is not logged")
        << QStringList{"dialnumber:", "connect", "hangup"}
        << QStringList{"4  ''  d1 call []", "1  ''  d1 call []", ended}
        << "call //" << QStringList{} << QStringList{};
    QTest::newRow("refusals, and subscribing again without an address")
        << QStringList{"dial:", "hangupbutton:yes", "noaddress", "dial:0221", "subscribe", "ring"}
        << QStringList{none, none, none, none, none, "0  ''  d2 - [Ringing...] ring"}
        << "call 0221//"
        << QStringList{"You must specify the number to Dial!/Tamrivo/0",
                       "No call to disconnect!/Tamrivo/0",
                       "TAPI required to perform this action/TAPI Error/48",
                       "Bad TAPI Interface/TAPI Device Error/16"}
        << QStringList{};
    QTest::newRow("failed dial keeps no call")
        << QStringList{"fail:CreateCall", "dial:0221", "fail:Connect", "dial:0221", "dial:0221"}
        << QStringList{none, none, none, ended,
                       "4 0221 'Not Found'  d1 call [Called ID Changed : 0221]"}
        << "call 0221/Not Found/Calling..." << QStringList{"error"} << QStringList{};
    QTest::newRow("failed answer and disconnect keep the call")
        << QStringList{"offer:5", "fail:Answer", "answer", "answer", "fail:Disconnect",
                       "disconnect", "disconnect"}
        << QStringList{"0 5 'Not Found'  d0 call []", "0 5 'Not Found'  d0 call []",
                       "0 5 'Not Found'  d0 call []", "1 5 'Not Found'  d0 call []",
                       "1 5 'Not Found'  d0 call []", "1 5 'Not Found'  d0 call []", ended}
        << "ring 5/Not Found/Disconnected" << QStringList{"error"}
        << QStringList{"1:Not Found|05|005|+395|||"};
    QTest::newRow("outgoing seen on the line")
        << QStringList{"outgoing:0331", "connect", "hangup", "outgoing", "hangup"}
        << QStringList{"0 0331 ''  d1 call []", "1 0331 ''  d1 call []", ended,
                       "2 Not available ''  d1 call []", ended}
        << "call Not available//Disconnected" << QStringList{}
        << QStringList{"0:Not Found|0331|||||", "0:Not Found|Not available|||||"};
    QTest::newRow("other events clear the status bar")
        << QStringList{"ring", "media", "ring", "offer:5", "hold", "hangup"}
        << QStringList{"0  ''  d2 - [Ringing...] ring", "0  ''  d2 - [] ring",
                       "0  ''  d2 - [Ringing...] ring", "0 5 'Not Found'  d0 call [Ringing...] ring",
                       "0 5 'Not Found'  d0 call [] ring", ended}
        << "ring 5/Not Found/Disconnected" << QStringList{}
        << QStringList{"2:Not Found|05|005|+395|||"};
    QTest::newRow("shut down: no more events")
        << QStringList{"ring", "offer:5", "shutdown", "ring"}
        << QStringList{"0  ''  d2 - [Ringing...] ring",
                       "0 5 'Not Found'  d0 call [Ringing...] ring",
                       "0 5 'Not Found'  d0 call [Ringing...]",
                       "0 5 'Not Found'  d0 call [Ringing...]"}
        << "ring 5/Not Found/Ringing..." << QStringList{} << QStringList{};
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
    for (const QString& s : steps) {
        f->step(s);
        actual.append(f->snapshot());
    }
    QCOMPARE(actual, trace);
    QCOMPARE(windows(), shown);
    QCOMPARE(promptLog() + (QFile::exists(errorLogPath()) ? QStringList{"error"} : QStringList{}),
             said);
    QCOMPARE(allEntries(*f), logged);
    // Each entry is stamped with the system's short date and the time.
    const QString date = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    const QRegularExpression stamp(QRegularExpression::escape(date) + " \\d{1,2}:\\d{2}:\\d{2}");
    for (const auto& b : gRecentBooks)
        for (std::int16_t i = 0; i < b->getContactNum(); ++i)
            QVERIFY2(stamp.match(b->getContact(i)->freetext).hasMatch(),
                     qPrintable(b->getContact(i)->freetext));
}

void TestCallStates::callerFoundInLocalBook_data() {
    QTest::addColumn<QString>("caller");
    QTest::addColumn<QString>("tag"); // put into the record after the lookup, when not empty
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("received");
    const QString anna = "0 5551234 'Anna Rossi' 0|O|1 d0 call []";
    QTest::newRow("same number") << "5551234" << "" << anna << "Anna Rossi|95551234|||||";
    QTest::newRow("stored with a leading 0")
        << "2223344" << "" << "0 02223344 'Bruno' 0|O|1 d0 call []" << "Bruno|902223344|||||";
    QTest::newRow("too far apart in length")
        << "44" << "" << "0 44 'Not Found'  d0 call []" << "Not Found|044|0044|+3944|||";
    QTest::newRow("database book") << "5551234" << "1|D|0" << anna << "Anna Rossi|005551234|||||";
    QTest::newRow("another kind has no number")
        << "5551234" << "0|R|1" << anna << "Anna Rossi||||||";
}

void TestCallStates::callerFoundInLocalBook() {
    QFETCH(QString, caller);
    QFETCH(QString, tag);
    QFETCH(QString, offered);
    QFETCH(QString, received);
    const QString path = f->file(QStringLiteral("people.lab"));
    createLocalAddressBook(path);
    executeLocalBook(path, QStringLiteral("INSERT INTO TAMRIVO (NAME, TELEPHONE) VALUES "
                                          "('Anna Rossi', '5551234'), ('Bruno', '02223344'), "
                                          "('Carla', '0039 555 0044')"));
    auto unmarked = std::make_shared<LocalAddressBook>();
    unmarked->filename = path; // the same contacts, not searched for caller ID
    auto book = std::make_shared<LocalAddressBook>();
    book->filename = path;
    book->searchForCallerID = true;
    book->callPrefix = QStringLiteral("9");
    gLocalBooks = {unmarked, book};
    gDBBooks = {std::make_shared<DatabaseAddressBook>()};
    gDBBooks[0]->callPrefix = QStringLiteral("00");
    noLocalBooks = noDBBooks = false;
    f->start();
    f->step("offer:" + caller);
    QCOMPARE(f->snapshot(), offered);
    QCOMPARE(labelOf(frmTelephoneRing::instance(), "lblCallerIdStr"), offered.section(u'\'', 1, 1));
    if (!tag.isEmpty())
        gCallRecord.callMatchTag = tag;
    f->step("answer");
    f->step("hangup");
    QCOMPARE(allEntries(*f), QStringList{"1:" + received});
    QVERIFY(Prompter::records().isEmpty());
}

void TestCallStates::brokenBookDoesNotHideTheCall() {
    auto book = std::make_shared<LocalAddressBook>();
    book->filename = QStringLiteral("/nonexistent/gone.lab");
    book->searchForCallerID = true;
    gLocalBooks = {book};
    noLocalBooks = false;
    f->start();
    // Data-access errors are told. Each error box runs its own event loop:
    // the call is shown before it, and the caller hanging up during the
    // second one (after a caller-ID change looks up again) ends it in order.
    QStringList seenInBox;
    Prompter::setHook([&](const Prompter::Record& r) {
        seenInBox.append(r.text.left(5) + f->snapshot() + " " + windows());
        if (seenInBox.size() == 2)
            f->step("hangup");
    });
    f->step("offer:5551234");
    f->step("callerid:5559999");
    Prompter::setHook({});
    QCOMPARE(seenInBox,
             (QStringList{"3151 0 5551234 'Not Found'  d0 call [] ring 5551234/Not Found/Ringing...",
                          "3151 0 5559999 'Not Found'  d0 call [Caller ID Changed : 5559999] "
                          "ring 5559999/Not Found/Ringing..."}));
    QCOMPARE(f->snapshot(), QStringLiteral("2  ''  d2 - []"));
    QCOMPARE(allEntries(*f), QStringList{"2:Not Found|05559999|005559999|+395559999|||"});
}

void TestCallStates::boxDoesNotHoldUpEvents() {
    f->start();
    f->step("offer:111");
    // While the box is up the first call is answered and ends; the box is
    // shown after the handler has finished with the notification.
    QString seenInBox;
    Prompter::setHook([&](const Prompter::Record&) {
        seenInBox = f->snapshot();
        f->step("answer");
        f->step("hangup");
        f->step("hangup");
    });
    f->step("offer:222");
    QCOMPARE(seenInBox, QStringLiteral("0 111 'Not Found'  d0 call []"));
    QCOMPARE(f->snapshot(), QStringLiteral("2  ''  d2 - []"));
    QCOMPARE(allEntries(*f), QStringList{"1:Not Found|0111|00111|+39111|||"});
}

void TestCallStates::disconnectAlwaysEndsTheCall_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("reported");
    QTest::newRow("recent-call books missing") << "nobooks" << false;
    QTest::newRow("logging off") << "off" << false;
    QTest::newRow("matched book removed since") << "removed" << true;
    QTest::newRow("recent book full") << "full" << true;
}

void TestCallStates::disconnectAlwaysEndsTheCall() {
    QFETCH(QString, setup);
    QFETCH(bool, reported);
    gExtendedErrors = true;
    if (setup == "nobooks")
        gRecentBooks.clear();
    if (setup == "off")
        gPreferences->useLastDRAddressBooks = false;
    for (int i = 0; setup == "full" && i < 32767; ++i)
        gRecentBooks[1]->addContact(std::make_shared<Contact>());
    f->start();
    f->step("ring");
    f->step("offer:5551234");
    if (setup == "removed")
        gCallRecord.callMatchTag = QStringLiteral("0|O|3");
    f->step("answer");
    f->step("hangup");
    QCOMPARE(f->snapshot(), QStringLiteral("2  ''  d2 - []"));
    QCOMPARE(QFile::exists(errorLogPath()), reported);
    f->step("offer:1"); // the next call is handled normally
    QCOMPARE(f->snapshot(), QStringLiteral("0 1 'Not Found'  d0 call []"));
}

void TestCallStates::ringTick_data() {
    QTest::addColumn<bool>("playSound");
    QTest::addColumn<QString>("defaultSound");
    QTest::addColumn<int>("defaultInterval");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("played");
    QTest::addColumn<int>("interval");
    const QString def = QStringLiteral("/snd/default.wav");
    QTest::newRow("unmatched: default") << true << def << 2 << "" << def << 2000;
    QTest::newRow("local book sound") << true << def << 2 << "0|O|0" << "/snd/local.wav" << 15000;
    QTest::newRow("database book sound at a grouping level")
        << true << def << 2 << "2|D|0" << "/snd/db.wav" << 3000;
    QTest::newRow("book without sound: default") << true << def << 4 << "0|O|1" << def << 4000;
    QTest::newRow("LDAP tag: default") << true << def << 2 << "0|L|0" << def << 2000;
    QTest::newRow("book removed since: default") << true << def << 2 << "0|O|7" << def << 2000;
    QTest::newRow("bad index: default") << true << def << 2 << "0|O|x" << def << 2000;
    QTest::newRow("sound off") << false << def << 2 << "0|O|0" << "" << 1000;
    QTest::newRow("no default sound") << true << "" << 2 << "" << "" << 1000;
    QTest::newRow("interval zero: one second") << true << def << 0 << "" << def << 1000;
    QTest::newRow("longest interval") << true << def << 32767 << "" << def << 32767000;
}

void TestCallStates::ringTick() {
    QFETCH(bool, playSound);
    QFETCH(QString, defaultSound);
    QFETCH(int, defaultInterval);
    QFETCH(QString, tag);
    QFETCH(QString, played);
    QFETCH(int, interval);
    gPreferences->incomingPlaySound = playSound;
    gPreferences->defaultSound = defaultSound;
    gPreferences->ringTimerInterval = static_cast<std::int16_t>(defaultInterval);
    gLocalBooks = {std::make_shared<LocalAddressBook>(), std::make_shared<LocalAddressBook>()};
    gLocalBooks[0]->ringSound = QStringLiteral("/snd/local.wav");
    gLocalBooks[0]->ringSoundInterval = 15;
    gLocalBooks[1]->ringSoundInterval = 9; // no sound of its own
    gDBBooks = {std::make_shared<DatabaseAddressBook>()};
    gDBBooks[0]->ringSound = QStringLiteral("/snd/db.wav");
    gDBBooks[0]->ringSoundInterval = 3;
    noLocalBooks = noDBBooks = false;
    f->start();
    QTimer* t = f->handler()->ringTimer();
    t->setInterval(7000); // as the main window's load leaves it
    f->step("ring");
    QCOMPARE(t->interval(), 1000); // the first sound one second after the first ring
    gCallRecord.callMatchTag = tag;
    f->handler()->ringTimer_Timer();
    const QStringList once = played.isEmpty() ? QStringList{} : QStringList{played};
    QCOMPARE(SoundPlayer::played(), once);
    QCOMPARE(t->interval(), interval);
    QVERIFY(t->isActive());
    f->step("ring"); // a ring while it runs does not restart it
    QCOMPARE(t->interval(), interval);
    t->stop();
    f->handler()->ringTimer_Timer(); // a tick after the stop plays nothing
    QCOMPARE(SoundPlayer::played(), once);
}

QTEST_MAIN(TestCallStates)
#include "tst_callstates.moc"
