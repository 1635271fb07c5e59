// The call state machine driven through the simulated line, event by event:
// the current-call record, the direction, the tracked call, the status bar,
// the call windows and the recent-call entries.

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

// One Local book marked for caller ID that cannot be opened.
void brokenCallerIdBook() {
    auto book = std::make_shared<LocalAddressBook>();
    book->filename = QStringLiteral("/nonexistent/gone.lab");
    book->searchForCallerID = true;
    gLocalBooks = {book};
    noLocalBooks = false;
}

} // namespace

class TestCallStates : public QObject {
    Q_OBJECT
private slots:
    void init() { f = std::make_unique<CallFixture>(); }
    void cleanup() { f.reset(); }
    void incomingCall_data();
    void incomingCall();
    void matchedCallerIsLoggedWithBookPrefix_data();
    void matchedCallerIsLoggedWithBookPrefix();
    void callerFoundInLocalBook_data();
    void callerFoundInLocalBook();
    void brokenBookDoesNotHideTheCall();
    void secondCallIgnored_data();
    void secondCallIgnored();
    void boxDoesNotHoldUpEvents();
    void disconnectButtonThenFarEnd();
    void outgoingDialled_data();
    void outgoingDialled();
    void outgoingSeenOnTheLine_data();
    void outgoingSeenOnTheLine();
    void disconnectAlwaysEndsTheCall_data();
    void disconnectAlwaysEndsTheCall();
    void otherEventsClearTheStatusBar();
    void freetextHoldsDateAndTime();

private:
    std::unique_ptr<CallFixture> f;
};

void TestCallStates::incomingCall_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("trace");
    QTest::addColumn<QString>("shown");      // "NUMBER/NAME" in the incoming-call window
    QTest::addColumn<QStringList>("logged"); // "BOOK:entry"

    QTest::newRow("answered, caller id changed, far end hangs up")
        << QStringList{"ring", "offer:5551234", "callerid:5559999", "answer", "hangup"}
        << QStringList{"0  ''  d2 - [Ringing...]", "0 5551234 'Not Found'  d0 call [Ringing...]",
                       "0 5559999 'Not Found'  d0 call [Caller ID Changed : 5559999]",
                       "1 5559999 'Not Found'  d0 call [Caller ID Changed : 5559999]",
                       "2  ''  d2 - [Caller ID Changed : 5559999]"}
        << "5559999/Not Found" << QStringList{"1:Not Found|05559999|005559999|+395559999|||"};
    QTest::newRow("unanswered and unmatched")
        << QStringList{"ring", "offer:5551234", "ring", "hangup"}
        << QStringList{"0  ''  d2 - [Ringing...]", "0 5551234 'Not Found'  d0 call [Ringing...]",
                       "0 5551234 'Not Found'  d0 call [Ringing...]", "2  ''  d2 - [Ringing...]"}
        << "5551234/Not Found" << QStringList{"2:Not Found|05551234|005551234|+395551234|||"};
    QTest::newRow("unreadable number")
        << QStringList{"offer", "hangup"}
        << QStringList{"0 Not available 'Not Found'  d0 call []", "2  ''  d2 - []"}
        << "Not available/"
        << QStringList{"2:Not Found|0Not available|00Not available|+39Not available|||"};
    QTest::newRow("empty number is not looked up")
        << QStringList{"offer:", "connect", "hangup"}
        << QStringList{"0  'Not Found'  d0 call []", "1  'Not Found'  d0 call []", "2  ''  d2 - []"}
        << "/Not Found" << QStringList{"1:Not Found|0|00|+39|||"};
    QTest::newRow("empty caller id keeps the known number")
        << QStringList{"offer:5551234", "callerid:", "hangup"}
        << QStringList{"0 5551234 'Not Found'  d0 call []", "0 5551234 'Not Found'  d0 call []",
                       "2  ''  d2 - []"}
        << "5551234/Not Found" << QStringList{"2:Not Found|05551234|005551234|+395551234|||"};
    QTest::newRow("caller id arrives after an empty offer")
        << QStringList{"offer:", "callerid:0301", "hangup"}
        << QStringList{"0  'Not Found'  d0 call []",
                       "0 0301 'Not Found'  d0 call [Caller ID Changed : 0301]",
                       "2  ''  d2 - [Caller ID Changed : 0301]"}
        << "0301/Not Found" << QStringList{"2:Not Found|00301|000301|+390301|||"};
    QTest::newRow("ring during the connected call keeps it answered")
        << QStringList{"offer:77", "answer", "ring", "hangup"}
        << QStringList{"0 77 'Not Found'  d0 call []", "1 77 'Not Found'  d0 call []",
                       "1 77 'Not Found'  d0 call [Ringing...]", "2  ''  d2 - [Ringing...]"}
        << "77/Not Found" << QStringList{"1:Not Found|077|0077|+3977|||"};
    QTest::newRow("ring before the offer of a new call")
        << QStringList{"ring", "offer:5", "connect", "hangup", "ring", "offer:6", "hangup"}
        << QStringList{"0  ''  d2 - [Ringing...]",
                       "0 5 'Not Found'  d0 call [Ringing...]",
                       "1 5 'Not Found'  d0 call [Ringing...]",
                       "2  ''  d2 - [Ringing...]",
                       "0  ''  d2 - [Ringing...]",
                       "0 6 'Not Found'  d0 call [Ringing...]",
                       "2  ''  d2 - [Ringing...]"}
        << "6/Not Found" << QStringList{"1:Not Found|05|005|+395|||", "2:Not Found|06|006|+396|||"};
}

void TestCallStates::incomingCall() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, trace);
    QFETCH(QString, shown);
    QFETCH(QStringList, logged);
    f->start();
    QStringList actual;
    for (const QString& s : steps) {
        f->step(s);
        actual.append(f->snapshot());
    }
    QCOMPARE(actual, trace);
    frmTelephoneRing* w = frmTelephoneRing::loadedInstance();
    QVERIFY(w && w->isVisible());
    QCOMPARE(labelOf(w, "lblCallerIDNum") + '/' + labelOf(w, "lblCallerIdStr"), shown);
    QCOMPARE(labelOf(w, "lblStatus"), QStringLiteral("Disconnected"));
    QVERIFY(!frmTelephoneCall::loadedInstance());
    QCOMPARE(allEntries(*f), logged);
    QVERIFY(!f->handler()->ringTimer()->isActive());
    QVERIFY(Prompter::records().isEmpty());
}

void TestCallStates::matchedCallerIsLoggedWithBookPrefix_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("book");
    QTest::addColumn<QString>("entry");
    QTest::newRow("local book, not answered") << "0|O|1" << false << 2 << "Anna Rossi|9|||||";
    QTest::newRow("database book") << "1|D|0" << true << 1 << "Anna Rossi|0039|||||";
    QTest::newRow("another kind has no number") << "0|R|1" << true << 1 << "Anna Rossi||||||";
}

void TestCallStates::matchedCallerIsLoggedWithBookPrefix() {
    QFETCH(QString, tag);
    QFETCH(bool, answered);
    QFETCH(int, book);
    QFETCH(QString, entry);
    for (const char* prefix : {"", "9"}) {
        gLocalBooks.append(std::make_shared<LocalAddressBook>());
        gLocalBooks.last()->callPrefix = QLatin1String(prefix);
    }
    gDBBooks.append(std::make_shared<DatabaseAddressBook>());
    gDBBooks.last()->callPrefix = QStringLiteral("00");
    noLocalBooks = noDBBooks = false;
    f->start();
    f->step("offer:+39 555");
    // The lookup's answer, as the book stores the number.
    gCallRecord.callName = QStringLiteral("Anna Rossi");
    gCallRecord.callMatchTag = tag;
    gCallRecord.callNumber = tag.contains(u'D') ? QStringLiteral("39") : QString();
    if (answered)
        f->step("answer");
    f->step("hangup");
    QCOMPARE(allEntries(*f), QStringList{QString::number(book) + u':' + entry});
}

void TestCallStates::callerFoundInLocalBook_data() {
    QTest::addColumn<QString>("caller");
    QTest::addColumn<QStringList>("trace");
    QTest::addColumn<QString>("shownName");
    QTest::addColumn<QString>("received");
    QTest::newRow("same number") << "5551234"
                                 << QStringList{"0 5551234 'Anna Rossi' 0|O|1 d0 call []",
                                                "1 5551234 'Anna Rossi' 0|O|1 d0 call []"}
                                 << "Anna Rossi"
                                 << "Anna Rossi|95551234|||||";
    QTest::newRow("stored with a leading 0")
        << "2223344"
        << QStringList{"0 02223344 'Bruno' 0|O|1 d0 call []", "1 02223344 'Bruno' 0|O|1 d0 call []"}
        << "Bruno"
        << "Bruno|902223344|||||";
    QTest::newRow("too far apart in length")
        << "44" << QStringList{"0 44 'Not Found'  d0 call []", "1 44 'Not Found'  d0 call []"}
        << "Not Found"
        << "Not Found|044|0044|+3944|||";
}

void TestCallStates::callerFoundInLocalBook() {
    QFETCH(QString, caller);
    QFETCH(QStringList, trace);
    QFETCH(QString, shownName);
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
    noLocalBooks = false;
    f->start();
    f->step("offer:" + caller);
    QStringList actual{f->snapshot()};
    QCOMPARE(labelOf(frmTelephoneRing::instance(), "lblCallerIDNum"), caller);
    QCOMPARE(labelOf(frmTelephoneRing::instance(), "lblCallerIdStr"), shownName);
    f->step("answer");
    actual.append(f->snapshot());
    f->step("hangup");
    QCOMPARE(actual, trace);
    QCOMPARE(allEntries(*f), QStringList{"1:" + received});
    QVERIFY(Prompter::records().isEmpty());
}

void TestCallStates::brokenBookDoesNotHideTheCall() {
    brokenCallerIdBook();
    f->start();
    // Data-access errors are told. Each error box runs its own event loop:
    // the call is shown before it, and the caller hanging up during the
    // second one (after a caller-ID change looks up again) ends it in order.
    QStringList seenInBox;
    Prompter::setHook([&](const Prompter::Record& r) {
        seenInBox.append(r.text.left(5) + f->snapshot() +
                         (frmTelephoneRing::isShown() ? " shown" : ""));
        if (seenInBox.size() == 2) {
            SimLine::instance().hangup(SimLine::instance().currentCall());
            pump();
        }
    });
    f->step("ring");
    f->step("offer:5551234");
    frmTelephoneRing* w = frmTelephoneRing::loadedInstance();
    QVERIFY(w && w->isVisible());
    QCOMPARE(labelOf(w, "lblCallerIdStr"), QStringLiteral("Not Found"));
    QCOMPARE(labelOf(w, "lblStatus"), QStringLiteral("Ringing..."));
    f->step("callerid:5559999");
    Prompter::setHook({});
    QCOMPARE(
        seenInBox,
        (QStringList{"3151 0 5551234 'Not Found'  d0 call [Ringing...] shown",
                     "3151 0 5559999 'Not Found'  d0 call [Caller ID Changed : 5559999] shown"}));
    QCOMPARE(f->snapshot(), QStringLiteral("2  ''  d2 - [Caller ID Changed : 5559999]"));
    QCOMPARE(labelOf(w, "lblStatus"), QStringLiteral("Disconnected"));
    QCOMPARE(allEntries(*f), QStringList{"2:Not Found|05559999|005559999|+395559999|||"});
}

void TestCallStates::secondCallIgnored_data() {
    QTest::addColumn<int>("multipleCall");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("alert") << 1
                           << QStringList{"Can work with only one call at a time/"
                                          "One call at a time/" +
                                          QString::number(Msg::Information)};
    QTest::newRow("ignore silently") << 0 << QStringList{};
}

void TestCallStates::secondCallIgnored() {
    QFETCH(int, multipleCall);
    QFETCH(QStringList, boxes);
    gPreferences->multipleCall = static_cast<std::int16_t>(multipleCall);
    f->start();
    SimLine& line = SimLine::instance();
    f->step("offer:111");
    f->step("answer");
    const QString during = f->snapshot();
    const int second = line.offer(QStringLiteral("222"));
    pump();
    QCOMPARE(promptLog(), boxes);
    QCOMPARE(f->snapshot(), during);
    QCOMPARE(labelOf(frmTelephoneRing::instance(), "lblCallerIDNum"), QStringLiteral("111"));
    // The second caller's number, answer and hang-up do not touch the first call.
    line.setCallerNumber(second, QStringLiteral("333"));
    line.setState(second, CS_CONNECTED);
    line.hangup(second);
    pump();
    QCOMPARE(f->snapshot(), during);
    QVERIFY(allEntries(*f).isEmpty());
    QCOMPARE(labelOf(frmTelephoneRing::instance(), "lblStatus"), QStringLiteral("Connected"));
    f->step("hangup"); // the current call on the line is the first one again
    QCOMPARE(allEntries(*f), QStringList{"1:Not Found|0111|00111|+39111|||"});
}

void TestCallStates::boxDoesNotHoldUpEvents() {
    f->start();
    SimLine& line = SimLine::instance();
    f->step("offer:111");
    const int first = line.currentCall();
    QString seenInBox;
    // While the box is up the first call is answered and ends; the box is
    // shown after the handler has finished with the notification.
    Prompter::setHook([&](const Prompter::Record&) {
        seenInBox = f->snapshot();
        line.setState(first, CS_CONNECTED);
        line.hangup(first);
    });
    line.offer(QStringLiteral("222"));
    pump();
    QCOMPARE(seenInBox, QStringLiteral("0 111 'Not Found'  d0 call []"));
    QCOMPARE(f->snapshot(), QStringLiteral("2  ''  d2 - []"));
    QCOMPARE(allEntries(*f), QStringList{"1:Not Found|0111|00111|+39111|||"});
}

void TestCallStates::disconnectButtonThenFarEnd() {
    f->start();
    f->step("offer:5551234");
    frmTelephoneRing* w = frmTelephoneRing::instance();
    auto* disc = w->findChild<QPushButton*>(QStringLiteral("cmdDisconnect"));
    QVERIFY(!disc->isEnabled()); // an offered call cannot be refused here
    f->step("disconnect");
    QCOMPARE(SimLine::instance().callState(1), CS_OFFERING);
    f->step("answer");
    QVERIFY(disc->isEnabled());
    QCOMPARE(SimLine::instance().answered(), 1);
    QTest::mouseClick(disc, Qt::LeftButton);
    QVERIFY(!gCall); // let go at once
    QCOMPARE(gCallDirection, CallDirection::Incoming);
    pump(); // the end arrives from the line and is logged then
    QCOMPARE(f->snapshot(), QStringLiteral("2  ''  d2 - []"));
    QCOMPARE(allEntries(*f), QStringList{"1:Not Found|05551234|005551234|+395551234|||"});
    QCOMPARE(labelOf(w, "lblStatus"), QStringLiteral("Disconnected"));
    f->step("answer"); // without a tracked call: nothing
    QCOMPARE(SimLine::instance().answered(), 1);
}

void TestCallStates::outgoingDialled_data() {
    QTest::addColumn<QString>("presetNumber");
    QTest::addColumn<QString>("presetName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("calledIdReported");
    QTest::addColumn<QStringList>("trace");
    QTest::addColumn<QStringList>("logged");
    QTest::newRow("from a contact")
        << "00221"
        << "Anna"
        << "00221" << false
        << QStringList{"0 00221 'Anna'  d2 call []", "4 00221 'Anna'  d1 call []",
                       "1 00221 'Anna'  d1 call []", "2  ''  d2 - []"}
        << QStringList{"Anna|00221|||||"};
    QTest::newRow("typed, no called number reported")
        << ""
        << ""
        << "0221 #7" << false
        << QStringList{"0  ''  d2 call []", "4  ''  d1 call []", "1  ''  d1 call []",
                       "2  ''  d2 - []"}
        << QStringList{};
    QTest::newRow("typed, called number reported")
        << ""
        << ""
        << "0221" << true
        << QStringList{"0  ''  d2 call []",
                       "4 0221 'Not Found'  d1 call [Called ID Changed : 0221]",
                       "1 0221 'Not Found'  d1 call [Called ID Changed : 0221]",
                       "2  ''  d2 - [Called ID Changed : 0221]"}
        << QStringList{"Not Found|0221|||||"};
}

void TestCallStates::outgoingDialled() {
    QFETCH(QString, presetNumber);
    QFETCH(QString, presetName);
    QFETCH(QString, typed);
    QFETCH(bool, calledIdReported);
    QFETCH(QStringList, trace);
    QFETCH(QStringList, logged);
    f->start();
    SimLine& line = SimLine::instance();
    frmTelephoneCall* w = frmTelephoneCall::instance();
    w->showWindow();
    w->setNumber(typed);
    gCallRecord.callNumber = presetNumber;
    gCallRecord.callName = presetName;
    w->DialNumber();
    QStringList actual{f->snapshot()};
    QCOMPARE(line.dialled(), typed);
    pump();
    if (calledIdReported) {
        line.setCalledNumber(line.currentCall(), typed);
        pump();
    }
    actual.append(f->snapshot());
    QCOMPARE(labelOf(w, "lblStatus"), QStringLiteral("Calling..."));
    f->step("connect");
    actual.append(f->snapshot());
    QCOMPARE(labelOf(w, "lblStatus"), QStringLiteral("Connected"));
    Prompter::pushAnswer(Msg::Yes);
    click(w, "cmdHangUp");
    pump();
    actual.append(f->snapshot());
    QCOMPARE(actual, trace);
    QCOMPARE(labelOf(w, "lblStatus"), QStringLiteral("Disconnected"));
    QCOMPARE(promptLog(),
             QStringList{"Disconnect the current call?/Tamrivo/" + QString::number(Msg::YesNo)});
    QCOMPARE(f->entries(0), logged);
    QVERIFY(!frmTelephoneRing::loadedInstance());
}

void TestCallStates::outgoingSeenOnTheLine_data() {
    QTest::addColumn<bool>("numberKnown");
    QTest::addColumn<QString>("shown");
    QTest::newRow("called number known") << true << "0331";
    QTest::newRow("called number unknown") << false << "Not available";
}

void TestCallStates::outgoingSeenOnTheLine() {
    QFETCH(bool, numberKnown);
    QFETCH(QString, shown);
    f->start();
    SimLine& line = SimLine::instance();
    const int id =
        line.offer(std::nullopt, CS_INPROGRESS, 0,
                   numberKnown ? std::optional<QString>(QStringLiteral("0331")) : std::nullopt);
    pump();
    QCOMPARE(f->snapshot(), "0 " + shown + " ''  d1 call []");
    frmTelephoneCall* w = frmTelephoneCall::loadedInstance();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->number(), shown);
    QCOMPARE(labelOf(w, "lblStatus"), QStringLiteral("Calling..."));
    line.setState(id, CS_CONNECTED);
    line.hangup(id);
    pump();
    QCOMPARE(f->entries(0), QStringList{"Not Found|" + shown + "|||||"});
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
    gExtendedErrors = true; // errors go to the log file
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
    QCOMPARE(f->snapshot(), QStringLiteral("2  ''  d2 - [Ringing...]"));
    QVERIFY(!f->handler()->ringTimer()->isActive());
    QFile log(errorLogPath());
    QCOMPARE(log.open(QIODevice::ReadOnly) && log.readAll().contains("dontknow"), reported);
    f->step("offer:1"); // the next call is handled normally
    QCOMPARE(f->snapshot(), QStringLiteral("0 1 'Not Found'  d0 call [Ringing...]"));
}

void TestCallStates::otherEventsClearTheStatusBar() {
    f->start();
    f->step("ring");
    QCOMPARE(f->form()->statusText(), QStringLiteral("Ringing..."));
    f->handler()->objTAPIEvents_Event(TE_CALLMEDIA, nullptr);
    QCOMPARE(f->form()->statusText(), QString());
    f->step("ring");
    // A call state the program does not follow clears it too.
    f->step("offer:5");
    SimLine::instance().setState(SimLine::instance().currentCall(), CS_HOLD);
    pump();
    QCOMPARE(f->snapshot(), QStringLiteral("0 5 'Not Found'  d0 call []"));
}

void TestCallStates::freetextHoldsDateAndTime() {
    f->start();
    f->step("offer:5");
    f->step("hangup");
    const QString text = f->lastFreetext(2);
    const QString date = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    QVERIFY2(text.startsWith(date + u' '), qPrintable(text));
    QVERIFY2(QRegularExpression(QStringLiteral("\\d{1,2}:\\d{2}:\\d{2}")).match(text).hasMatch(),
             qPrintable(text));
}

QTEST_MAIN(TestCallStates)
#include "tst_callstates.moc"
