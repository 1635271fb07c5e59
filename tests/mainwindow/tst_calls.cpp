// The main window's call commands on the simulated line: the contact list's
// Call sub-menu, Manual Call from the Tools and tray menus, and the tray's
// recent-call sub-menus with their redial.

#include "addressbooks/searchresult.h"
#include "app/errorreport.h"
#include "platform/trayicon.h"
#include "telephony/callfixture.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>

namespace {

// One contact row: tag, name, telephone, telephone 2, telephone 3.
struct Row {
    QString tag, name, tel, tel2, tel3;
};

// Fills the contact list the way the search dialog does and selects row 0.
QTreeWidget* listRows(frmMain* form, const QList<Row>& rows, bool select = true) {
    DBSearchResult r;
    r.init();
    for (const Row& row : rows)
        r.Add(row.tag, row.name, row.tel, QStringLiteral("mail"), row.tel2, row.tel3);
    form->useSearchResult(r);
    auto* list = form->findChild<QTreeWidget*>(QStringLiteral("lvContactList"));
    if (select && list->topLevelItemCount() > 0)
        list->setCurrentItem(list->topLevelItem(0));
    return list;
}

QAction* action(QObject* form, const QString& name) {
    return form->findChild<QAction*>(name);
}

QMenu* menu(QObject* form, const char* name) {
    return form->findChild<QMenu*>(QLatin1String(name));
}

QString windowLabel(const char* name) {
    frmTelephoneCall* w = frmTelephoneCall::loadedInstance();
    return w ? w->findChild<QLabel*>(QLatin1String(name))->text() : QStringLiteral("<no window>");
}

QStringList boxes() {
    QStringList out;
    for (const auto& r : Prompter::records())
        out.append(r.text + u'/' + r.title + u'/' + QString::number(r.flags));
    return out;
}

QString record() {
    return gCallRecord.callNumber + u'|' + gCallRecord.callName;
}

void addBooks() {
    auto local = std::make_shared<LocalAddressBook>();
    local->callPrefix = QStringLiteral("0");
    gLocalBooks = {std::make_shared<LocalAddressBook>(), local};
    noLocalBooks = false;
    auto db = std::make_shared<DatabaseAddressBook>();
    db->Clear();
    db->callPrefix = QStringLiteral("9,");
    gDBBooks = {db};
    noDBBooks = false;
}

std::shared_ptr<Contact> contact(const QString& name, const QString& tel,
                                 const QString& tel2 = QString()) {
    auto c = std::make_shared<Contact>();
    c->name = name;
    c->telephone = tel;
    c->telephone2 = tel2;
    return c;
}

// Each visible item of a recent-call sub-menu as "caption|tag|enabled".
QStringList items(QObject* form, const char* name) {
    QStringList out;
    const auto actions = menu(form, name)->actions();
    for (QAction* a : actions) {
        if (a->isVisible())
            out.append(a->text() + u'|' + a->property("Tag").toString() + u'|' +
                       (a->isEnabled() ? u'1' : u'0'));
    }
    return out;
}

void rightClickTray(frmMain* form) {
    form->trayIcon()->simulateMouseEvent(TrayIcon::RightButton);
    menu(form, "SysTrayMenu")->hide();
}

} // namespace

class TestCalls : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void cleanup() {
        if (frmTelephoneCall* w = frmTelephoneCall::loadedInstance())
            w->unload();
        f.reset();
    }

    void callSubMenuCaptions_data();
    void callSubMenuCaptions();
    void callSubMenuWithoutSelectionKeepsItems();
    void dialContact_data();
    void dialContact();
    void dialledContactIsLoggedWithItsPrefix();
    void callWhileACallIsTracked();
    void callWithoutMonitoredAddress();
    void callOnABookThatIsGone();
    void callThatNeverStartsLeavesNoParty_data();
    void callThatNeverStartsLeavesNoParty();
    void manualCall_data();
    void manualCall();
    void manuallyTypedCallIsLoggedOnlyWhenReported();

    void trayFill_data();
    void trayFill();
    void trayFillAfterTheBookShrinks();
    void trayWithoutRecentBooks();
    void trayOtherButtonsFillNothing();
    void redial_data();
    void redial();
    void redialOfAClearedEntryDialsNothing();

private:
    std::unique_ptr<CallFixture> f;
};

// ---------------------------------------------------------------- Call sub-menu

void TestCalls::callSubMenuCaptions_data() {
    QTest::addColumn<QString>("tel");
    QTest::addColumn<QString>("tel2");
    QTest::addColumn<QString>("tel3");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("three numbers") << "0221"
                                   << "333 1"
                                   << "+39 06" << QStringList{"0221|1", "333 1|1", "+39 06|1"};
    QTest::newRow("first only") << "0221"
                                << ""
                                << "" << QStringList{"0221|1", "none|0", "none|0"};
    QTest::newRow("none at all") << ""
                                 << ""
                                 << "" << QStringList{"none|0", "none|0", "none|0"};
    QTest::newRow("ampersand shown as is") << "12&3"
                                           << ""
                                           << "4" << QStringList{"12&&3|1", "none|0", "4|1"};
}

void TestCalls::callSubMenuCaptions() {
    QFETCH(QString, tel);
    QFETCH(QString, tel2);
    QFETCH(QString, tel3);
    QFETCH(QStringList, shown);
    f = std::make_unique<CallFixture>();
    f->start();
    // A row with all three numbers first, so each item has been enabled.
    listRows(f->form(), {{"0|O|0", "Full", "1", "2", "3"}});
    emit menu(f->form(), "mnuContactCtxCall")->aboutToShow();
    listRows(f->form(), {{"0|O|0", "Anna", tel, tel2, tel3}});
    emit menu(f->form(), "mnuContactCtxCall")->aboutToShow();
    QStringList actual;
    for (const char* name :
         {"mnuContactCtxCallTel", "mnuContactCtxCallTel2", "mnuContactCtxCallTel3"}) {
        QAction* a = action(f->form(), QLatin1String(name));
        actual.append(a->text() + u'|' + (a->isEnabled() ? u'1' : u'0'));
    }
    QCOMPARE(actual, shown);
}

void TestCalls::callSubMenuWithoutSelectionKeepsItems() {
    f = std::make_unique<CallFixture>();
    f->start();
    listRows(f->form(), {{"0|O|0", "Anna", "0221", "", ""}});
    emit menu(f->form(), "mnuContactCtxCall")->aboutToShow();
    listRows(f->form(), {{"0|O|0", "Bruno", "", "77", ""}}, false);
    emit menu(f->form(), "mnuContactCtxCall")->aboutToShow();
    QCOMPARE(action(f->form(), QStringLiteral("mnuContactCtxCallTel"))->text(),
             QStringLiteral("0221"));
    QVERIFY(!action(f->form(), QStringLiteral("mnuContactCtxCallTel2"))->isEnabled());
}

void TestCalls::dialContact_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("dialled");
    QTest::newRow("Local book, prefix 0") << "0|O|1"
                                          << "mnuContactCtxCallTel"
                                          << "00221 555";
    QTest::newRow("Local book without prefix, telephone 2") << "0|O|0"
                                                            << "mnuContactCtxCallTel2"
                                                            << "333";
    QTest::newRow("Database group row, telephone 3") << "2|D|0"
                                                     << "mnuContactCtxCallTel3"
                                                     << "9,+39 06";
    QTest::newRow("recent-call entry as stored") << "0|R|1"
                                                 << "mnuContactCtxCallTel"
                                                 << "0221 555";
    QTest::newRow("other kind dials an empty number") << "0|L|0"
                                                      << "mnuContactCtxCallTel"
                                                      << "";
}

void TestCalls::dialContact() {
    QFETCH(QString, tag);
    QFETCH(QString, item);
    QFETCH(QString, dialled);
    f = std::make_unique<CallFixture>();
    addBooks();
    f->start();
    listRows(f->form(), {{tag, "Anna & Co", "0221 555", "333", "+39 06"}});
    action(f->form(), item)->trigger();
    pump();
    QCOMPARE(SimLine::instance().dialled(), dialled);
    QVERIFY(gCall);
    frmTelephoneCall* w = frmTelephoneCall::loadedInstance();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->parentWidget(), f->form());
    QCOMPARE(w->number(), dialled);
    QCOMPARE(windowLabel("lblCalledIDStr"), QStringLiteral("Anna & Co"));
    QCOMPARE(windowLabel("lblStatus"), QStringLiteral("Calling..."));
    QCOMPARE(record(), dialled + QStringLiteral("|Anna & Co"));
    QVERIFY(boxes().isEmpty());
}

void TestCalls::dialledContactIsLoggedWithItsPrefix() {
    f = std::make_unique<CallFixture>();
    addBooks();
    f->start();
    listRows(f->form(), {{"0|O|1", "Anna", "0221", "", ""}});
    action(f->form(), QStringLiteral("mnuContactCtxCallTel"))->trigger();
    pump();
    f->step("connect");
    f->step("hangup");
    QCOMPARE(f->entries(0), QStringList{"Anna|00221|||||"});
}

void TestCalls::callWhileACallIsTracked() {
    f = std::make_unique<CallFixture>();
    addBooks();
    f->start();
    f->step("offer:777");
    listRows(f->form(), {{"0|O|1", "Bruno", "0221", "", ""}});
    action(f->form(), QStringLiteral("mnuContactCtxCallTel"))->trigger();
    pump();
    // The window takes the number, nothing is dialled or said, and the
    // ringing call keeps its own party.
    QCOMPARE(frmTelephoneCall::loadedInstance()->number(), QStringLiteral("00221"));
    QCOMPARE(windowLabel("lblCalledIDStr"), QStringLiteral("Bruno"));
    QCOMPARE(SimLine::instance().dialled(), QString());
    QVERIFY(boxes().isEmpty());
    QCOMPARE(record(), QStringLiteral("777|Not Found"));
    f->step("hangup");
    QCOMPARE(f->entries(2), QStringList{"Not Found|0777|00777|+39777|||"});
    QVERIFY(f->entries(0).isEmpty());
}

void TestCalls::callWithoutMonitoredAddress() {
    f = std::make_unique<CallFixture>();
    addBooks();
    f->start();
    gAddress.reset();
    listRows(f->form(), {{"0|O|1", "Anna", "0221", "", ""}});
    action(f->form(), QStringLiteral("mnuContactCtxCallTel"))->trigger();
    pump();
    QCOMPARE(boxes(), QStringList{"TAPI required to perform this action/TAPI Error/48"});
    QVERIFY(!gCall);
    QCOMPARE(frmTelephoneCall::loadedInstance()->number(), QStringLiteral("00221"));
}

void TestCalls::callOnABookThatIsGone() {
    f = std::make_unique<CallFixture>();
    gExtendedErrors = true;
    addBooks();
    f->start();
    listRows(f->form(), {{"0|O|5", "Anna", "0221", "", ""}});
    action(f->form(), QStringLiteral("mnuContactCtxCallTel"))->trigger();
    pump();
    QVERIFY(!frmTelephoneCall::loadedInstance());
    QCOMPARE(SimLine::instance().dialled(), QString());
    QCOMPARE(record(), QStringLiteral("|"));
    QFile log(errorLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("dontknow 9 "));
}

void TestCalls::callThatNeverStartsLeavesNoParty_data() {
    QTest::addColumn<QString>("failure");
    QTest::newRow("no monitored address") << "noaddress";
    QTest::newRow("connect fails") << "connect";
}

// A Call item whose dialling places no call must not leave its party in the
// record: the next call typed by hand would be logged as that contact.
void TestCalls::callThatNeverStartsLeavesNoParty() {
    QFETCH(QString, failure);
    f = std::make_unique<CallFixture>();
    addBooks();
    f->start();
    const auto address = gAddress;
    if (failure == u"noaddress")
        gAddress.reset();
    else
        SimLine::instance().failOnce(SimLine::Op::Connect);
    listRows(f->form(), {{"0|O|1", "Anna", "0221", "", ""}});
    action(f->form(), QStringLiteral("mnuContactCtxCallTel"))->trigger();
    pump();
    QVERIFY(!gCall);
    QCOMPARE(frmTelephoneCall::loadedInstance()->number(), QStringLiteral("00221"));
    QCOMPARE(record(), QStringLiteral("|"));

    gAddress = address;
    action(f->form(), QStringLiteral("mnuToolsManualDial"))->trigger();
    frmTelephoneCall* w = frmTelephoneCall::loadedInstance();
    w->findChild<QLineEdit*>(QStringLiteral("txtNumber"))->setText(QStringLiteral("0555"));
    click(w, "cmdDial");
    pump();
    QCOMPARE(SimLine::instance().dialled(), QStringLiteral("0555"));
    f->step("hangup");
    QCOMPARE(f->entries(0), QStringList{});
}

// ---------------------------------------------------------------- Manual Call

void TestCalls::manualCall_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QStringList>("shown");
    for (const char* item : {"mnuToolsManualDial", "mnuSysTrayManualCall"}) {
        const QString i = QLatin1String(item);
        QTest::newRow(qPrintable(i + QStringLiteral(", idle"))) << i << "idle" << QStringList{};
        QTest::newRow(qPrintable(i + QStringLiteral(", no address")))
            << i << "noaddress"
            << QStringList{"TAPI required to perform this action/TAPI Error/16"};
        QTest::newRow(qPrintable(i + QStringLiteral(", call tracked")))
            << i << "tracked" << QStringList{"One call at a time!/Tamrivo/0"};
    }
}

void TestCalls::manualCall() {
    QFETCH(QString, item);
    QFETCH(QString, situation);
    QFETCH(QStringList, shown);
    f = std::make_unique<CallFixture>();
    f->start();
    if (situation == u"noaddress")
        gAddress.reset();
    if (situation == u"tracked")
        f->step("offer:555");
    const QString before = record();
    frmTelephoneCall::instance()->setNumber(QStringLiteral("99"));
    action(f->form(), item)->trigger();
    pump();
    QCOMPARE(record(), before);
    frmTelephoneCall* w = frmTelephoneCall::loadedInstance();
    if (situation == u"noaddress") {
        QCOMPARE(boxes(), shown);
        QVERIFY(!w->isVisible());
        QCOMPARE(w->number(), QStringLiteral("99"));
        return;
    }
    QVERIFY(w->isVisible());
    QCOMPARE(w->parentWidget(), f->form());
    QCOMPARE(w->number(), QString());
    QVERIFY(boxes().isEmpty());
    w->findChild<QLineEdit*>(QStringLiteral("txtNumber"))->setText(QStringLiteral("0221"));
    click(w, "cmdDial");
    pump();
    QCOMPARE(boxes(), shown);
    QCOMPARE(SimLine::instance().dialled(), situation == u"idle" ? QStringLiteral("0221") : "");
}

void TestCalls::manuallyTypedCallIsLoggedOnlyWhenReported() {
    for (bool reported : {false, true}) {
        f = std::make_unique<CallFixture>();
        f->start();
        action(f->form(), QStringLiteral("mnuToolsManualDial"))->trigger();
        frmTelephoneCall* w = frmTelephoneCall::loadedInstance();
        w->findChild<QLineEdit*>(QStringLiteral("txtNumber"))->setText(QStringLiteral("0221"));
        click(w, "cmdDial");
        pump();
        QCOMPARE(record(), QStringLiteral("|"));
        SimLine& line = SimLine::instance();
        if (reported) {
            line.setCalledNumber(line.currentCall(), QStringLiteral("0221"));
            pump();
        }
        f->step("hangup");
        QCOMPARE(f->entries(0), reported ? QStringList{"Not Found|0221|||||"} : QStringList{});
        w->unload();
        f.reset();
    }
}

// ---------------------------------------------------------------- tray menus

void TestCalls::trayFill_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("unmatched"); // every entry carries a second number
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("empty book") << 0 << false << QStringList{"none||0"};
    QTest::newRow("two entries, newest first")
        << 2 << false << QStringList{"101 (Name 1)|1|1", "100 (Name 0)|0|1"};
    QStringList eleven;
    for (int i = 19; i >= 9; --i)
        eleven.append(QStringLiteral("%1 (Name %2)|%2|1").arg(100 + i).arg(i));
    QTest::newRow("twenty entries, eleven newest") << 20 << false << eleven;
    QTest::newRow("only unmatched callers") << 3 << true << QStringList{"none||0"};
}

void TestCalls::trayFill() {
    QFETCH(int, count);
    QFETCH(bool, unmatched);
    QFETCH(QStringList, shown);
    f = std::make_unique<CallFixture>();
    f->start();
    // Each book gets its own entries, with an unmatched caller between them.
    for (int b = 0; b < 3; ++b) {
        for (int i = 0; i < count; ++i) {
            gRecentBooks[b]->addContact(contact(QStringLiteral("Name %1").arg(i),
                                                QString::number(100 + i),
                                                unmatched ? QStringLiteral("00") : QString()));
        }
    }
    gRecentBooks[2]->addContact(
        contact(QStringLiteral("Stranger"), QStringLiteral("7"), QStringLiteral("007")));
    rightClickTray(f->form());
    QCOMPARE(items(f->form(), "mnuSysTrayLD"), shown);
    QCOMPARE(items(f->form(), "mnuSysTrayLA"), shown);
    QCOMPARE(items(f->form(), "mnuSysTrayLU"), shown);
    // Item names follow the array: name_index.
    const auto ld = menu(f->form(), "mnuSysTrayLD")->actions();
    for (int k = 0; k < ld.size(); ++k)
        QCOMPARE(ld[k]->objectName(), QStringLiteral("mnuSysTrayLDItems_%1").arg(k));
}

void TestCalls::trayFillAfterTheBookShrinks() {
    f = std::make_unique<CallFixture>();
    f->start();
    auto& book = gRecentBooks[0];
    for (int i = 0; i < 20; ++i)
        book->addContact(contact(QStringLiteral("Old %1").arg(i), QString::number(i)));
    rightClickTray(f->form());
    QCOMPARE(menu(f->form(), "mnuSysTrayLD")->actions().size(), 11);
    // Cleared, then ten new calls: item 10 of the earlier fill must not stay
    // on show, since its index now belongs to a different call.
    book->init();
    for (int i = 0; i < 10; ++i)
        book->addContact(contact(QStringLiteral("New %1").arg(i), QStringLiteral("5%1").arg(i)));
    rightClickTray(f->form());
    const QStringList shown = items(f->form(), "mnuSysTrayLD");
    QCOMPARE(shown.size(), 10);
    QCOMPARE(shown.first(), QStringLiteral("59 (New 9)|9|1"));
    QCOMPARE(shown.last(), QStringLiteral("50 (New 0)|0|1"));
    QCOMPARE(menu(f->form(), "mnuSysTrayLD")->actions().size(), 11); // never removed
    // Emptied: "none", and nothing below it.
    book->init();
    rightClickTray(f->form());
    QCOMPARE(items(f->form(), "mnuSysTrayLD"), QStringList{"none||0"});
    // Names with "&" show it as is.
    book->addContact(contact(QStringLiteral("Smith & Sons"), QStringLiteral("1")));
    rightClickTray(f->form());
    QCOMPARE(items(f->form(), "mnuSysTrayLD"), QStringList{"1 (Smith && Sons)|0|1"});
}

void TestCalls::trayWithoutRecentBooks() {
    f = std::make_unique<CallFixture>();
    f->start();
    gRecentBooks.clear();
    rightClickTray(f->form());
    for (const char* m : {"mnuSysTrayLD", "mnuSysTrayLA", "mnuSysTrayLU"})
        QCOMPARE(items(f->form(), m), QStringList{"none||0"});
    QVERIFY(boxes().isEmpty());
}

void TestCalls::trayOtherButtonsFillNothing() {
    f = std::make_unique<CallFixture>();
    f->start();
    gRecentBooks[0]->addContact(contact(QStringLiteral("Anna"), QStringLiteral("1")));
    f->form()->trayIcon()->simulateMouseEvent(TrayIcon::LeftButton);
    f->form()->trayIcon()->simulateMouseEvent(TrayIcon::MiddleButton);
    QCOMPARE(items(f->form(), "mnuSysTrayLD"), QStringList{"||1"});
    QVERIFY(!menu(f->form(), "SysTrayMenu")->isVisible());
}

void TestCalls::redial_data() {
    QTest::addColumn<QString>("menuName");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("dialled");
    QTest::addColumn<QString>("name");
    QTest::newRow("Last Dialed, newest") << "mnuSysTrayLD" << 0 << "D2"
                                         << "Dina 2";
    QTest::newRow("Last Dialed, oldest") << "mnuSysTrayLD" << 2 << "D0"
                                         << "Dina 0";
    QTest::newRow("Last Answered") << "mnuSysTrayLA" << 1 << "A1"
                                   << "Aldo 1";
    QTest::newRow("Last Not Answered, past an unmatched caller") << "mnuSysTrayLU" << 1 << "U0"
                                                                 << "Ugo 0";
}

void TestCalls::redial() {
    QFETCH(QString, menuName);
    QFETCH(int, item);
    QFETCH(QString, dialled);
    QFETCH(QString, name);
    f = std::make_unique<CallFixture>();
    f->start();
    const char* names[] = {"Dina", "Aldo", "Ugo"};
    for (int b = 0; b < 3; ++b) {
        for (int i = 0; i < 3; ++i) {
            const QString n = QString::fromLatin1(names[b]);
            // Unmatched callers in "Last Not Answered" are not listed.
            const bool unmatched = b == 2 && i == 1;
            gRecentBooks[b]->addContact(contact(n + u' ' + QString::number(i),
                                                n.left(1) + QString::number(i),
                                                unmatched ? QStringLiteral("00") : QString()));
        }
    }
    rightClickTray(f->form());
    menu(f->form(), qPrintable(menuName))->actions().at(item)->trigger();
    pump();
    QCOMPARE(SimLine::instance().dialled(), dialled);
    frmTelephoneCall* w = frmTelephoneCall::loadedInstance();
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->number(), dialled);
    QCOMPARE(windowLabel("lblCalledIDStr"), name);
    QCOMPARE(record(), dialled + u'|' + name);
    f->step("connect");
    f->step("hangup");
    QCOMPARE(f->entries(0).last(), name + u'|' + dialled + QStringLiteral("|||||"));
}

void TestCalls::redialOfAClearedEntryDialsNothing() {
    f = std::make_unique<CallFixture>();
    gExtendedErrors = true;
    f->start();
    gRecentBooks[1]->addContact(contact(QStringLiteral("Aldo"), QStringLiteral("1")));
    gRecentBooks[1]->addContact(contact(QStringLiteral("Bea"), QStringLiteral("2")));
    rightClickTray(f->form());
    gRecentBooks[1]->init();
    menu(f->form(), "mnuSysTrayLA")->actions().at(0)->trigger();
    pump();
    QCOMPARE(SimLine::instance().dialled(), QString());
    QVERIFY(!frmTelephoneCall::loadedInstance());
    QFile log(errorLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("dontknow 9 "));
}

QTEST_MAIN(TestCalls)
#include "tst_calls.moc"
