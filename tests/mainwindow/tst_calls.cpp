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

QAction* action(QObject* form, const QString& name) {
    return form->findChild<QAction*>(name);
}

QMenu* menu(QObject* form, const QString& name) {
    return form->findChild<QMenu*>(name);
}

// Fills the contact list the way the search dialog does and selects row 0.
void listRow(frmMain* form, const Row& row, bool select = true) {
    DBSearchResult r;
    r.init();
    r.Add(row.tag, row.name, row.tel, QStringLiteral("mail"), row.tel2, row.tel3);
    form->useSearchResult(r);
    auto* list = form->findChild<QTreeWidget*>(QStringLiteral("lvContactList"));
    if (select)
        list->setCurrentItem(list->topLevelItem(0));
}

// Lists the row and picks the given Call sub-menu item.
void callFromList(frmMain* form, const Row& row, const QString& item = "mnuContactCtxCallTel") {
    listRow(form, row);
    action(form, item)->trigger();
    pump();
}

void dialByHand(frmMain* form, const QString& item, const QString& number) {
    action(form, item)->trigger();
    frmTelephoneCall* w = frmTelephoneCall::loadedInstance();
    w->findChild<QLineEdit*>(QStringLiteral("txtNumber"))->setText(number);
    click(w, "cmdDial");
    pump();
}

QString calledName() {
    frmTelephoneCall* w = frmTelephoneCall::loadedInstance();
    return w ? w->findChild<QLabel*>(QStringLiteral("lblCalledIDStr"))->text() : "<no window>";
}

// The call window as "shown|number|called name".
QString callWindow() {
    frmTelephoneCall* w = frmTelephoneCall::loadedInstance();
    return w ? (w->isVisible() ? "shown|" : "hidden|") + w->number() + u'|' + calledName() : "";
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

bool errorLogged() {
    QFile log(errorLogPath());
    return log.open(QIODevice::ReadOnly) && log.readAll().contains("dontknow 9 ");
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
QStringList items(QObject* form, const QString& name) {
    QStringList out;
    for (QAction* a : menu(form, name)->actions()) {
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

Q_DECLARE_METATYPE(Row)

class TestCalls : public QObject {
    Q_OBJECT
    std::unique_ptr<CallFixture> f;

    // A started fixture; with books, Local book 1 has prefix "0" and
    // Database book 0 has "9,".
    frmMain* start(bool books = false) {
        f = std::make_unique<CallFixture>();
        if (books) {
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
        f->start();
        return f->form();
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void cleanup() {
        if (frmTelephoneCall* w = frmTelephoneCall::loadedInstance())
            w->unload();
        f.reset();
    }

    // ------------------------------------------------------------ Call sub-menu

    void callSubMenuCaptions_data() {
        QTest::addColumn<Row>("row");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QStringList>("shown");
        const auto row = [](const char* tag, Row r, bool selected, const QStringList& shown) {
            QTest::newRow(tag) << r << selected << shown;
        };
        row("three numbers", {"0|O|0", "A", "0221", "333 1", "+39 06"}, true,
            {"0221|1", "333 1|1", "+39 06|1"});
        row("first only", {"0|O|0", "A", "0221", "", ""}, true, {"0221|1", "none|0", "none|0"});
        row("none at all", {"0|O|0", "A", "", "", ""}, true, {"none|0", "none|0", "none|0"});
        row("ampersand shown as is", {"0|O|0", "A", "12&3", "", "4"}, true,
            {"12&&3|1", "none|0", "4|1"});
        row("no selection keeps the items", {"0|O|0", "A", "", "77", ""}, false,
            {"1|1", "2|1", "3|1"});
    }
    void callSubMenuCaptions() {
        QFETCH(Row, row);
        QFETCH(bool, selected);
        QFETCH(QStringList, shown);
        frmMain* form = start();
        // A row with all three numbers first, so each item has been enabled.
        listRow(form, {"0|O|0", "Full", "1", "2", "3"});
        emit menu(form, "mnuContactCtxCall")->aboutToShow();
        listRow(form, row, selected);
        emit menu(form, "mnuContactCtxCall")->aboutToShow();
        QStringList actual;
        for (const char* name :
             {"mnuContactCtxCallTel", "mnuContactCtxCallTel2", "mnuContactCtxCallTel3"}) {
            QAction* a = action(form, QLatin1String(name));
            actual.append(a->text() + u'|' + (a->isEnabled() ? u'1' : u'0'));
        }
        QCOMPARE(actual, shown);
    }

    void dialContact_data() {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("dialled");
        const auto row = [](const char* name, const char* tag, const char* item,
                            const char* dialled) {
            QTest::newRow(name) << tag << QStringLiteral("mnuContactCtxCall") + item << dialled;
        };
        row("Local book, prefix 0", "0|O|1", "Tel", "00221 555");
        row("Local book without prefix, telephone 2", "0|O|0", "Tel2", "333");
        row("Database group row, telephone 3", "2|D|0", "Tel3", "9,+39 06");
        row("recent-call entry as stored", "0|R|1", "Tel", "0221 555");
        row("other kind dials an empty number", "0|L|0", "Tel", "");
    }
    void dialContact() {
        QFETCH(QString, tag);
        QFETCH(QString, item);
        QFETCH(QString, dialled);
        frmMain* form = start(true);
        callFromList(form, {tag, "Anna & Co", "0221 555", "333", "+39 06"}, item);
        QCOMPARE(SimLine::instance().dialled(), dialled);
        QVERIFY(gCall);
        frmTelephoneCall* w = frmTelephoneCall::loadedInstance();
        QCOMPARE(callWindow(), "shown|" + dialled + "|Anna & Co");
        QCOMPARE(w->parentWidget(), form);
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("lblStatus"))->text(), "Calling...");
        QCOMPARE(record(), dialled + QStringLiteral("|Anna & Co"));
        QVERIFY(boxes().isEmpty());
        if (dialled.isEmpty())
            return;
        f->step("connect");
        f->step("hangup");
        QCOMPARE(f->entries(0), QStringList{"Anna & Co|" + dialled + "|||||"});
    }

    void callWhileACallIsTracked() {
        frmMain* form = start(true);
        f->step("offer:777");
        callFromList(form, {"0|O|1", "Bruno", "0221", "", ""});
        // The window takes the number, nothing is dialled or said, and the
        // ringing call keeps its own party.
        QCOMPARE(callWindow(), QStringLiteral("shown|00221|Bruno"));
        QCOMPARE(SimLine::instance().dialled(), QString());
        QVERIFY(boxes().isEmpty());
        QCOMPARE(record(), QStringLiteral("777|Not Found"));
        f->step("hangup");
        QCOMPARE(f->entries(2), QStringList{"Not Found|0777|00777|+39777|||"});
        QVERIFY(f->entries(0).isEmpty());
    }

    // A list row naming a book that is gone, or a tray item whose entry was
    // cleared: nothing is dialled and the error is logged.
    void staleEntryDialsNothing_data() {
        QTest::addColumn<bool>("tray");
        QTest::newRow("list row, book gone") << false;
        QTest::newRow("tray item, entry cleared") << true;
    }
    void staleEntryDialsNothing() {
        QFETCH(bool, tray);
        frmMain* form = start(true);
        gExtendedErrors = true;
        if (tray) {
            gRecentBooks[1]->addContact(contact(QStringLiteral("Aldo"), QStringLiteral("1")));
            gRecentBooks[1]->addContact(contact(QStringLiteral("Bea"), QStringLiteral("2")));
            rightClickTray(form);
            gRecentBooks[1]->init();
            menu(form, "mnuSysTrayLA")->actions().at(0)->trigger();
            pump();
        } else {
            callFromList(form, {"0|O|5", "Anna", "0221", "", ""});
        }
        QVERIFY(!frmTelephoneCall::loadedInstance());
        QCOMPARE(SimLine::instance().dialled(), QString());
        QCOMPARE(record(), QStringLiteral("|"));
        QVERIFY(errorLogged());
    }

    // A Call item whose dialling places no call must not leave its party in
    // the record: the next call typed by hand would be logged as that contact.
    void callThatNeverStartsLeavesNoParty_data() {
        QTest::addColumn<bool>("noAddress");
        QTest::newRow("no monitored address") << true;
        QTest::newRow("connect fails") << false;
    }
    void callThatNeverStartsLeavesNoParty() {
        QFETCH(bool, noAddress);
        frmMain* form = start(true);
        const auto address = gAddress;
        if (noAddress)
            gAddress.reset();
        else
            SimLine::instance().failOnce(SimLine::Op::Connect);
        callFromList(form, {"0|O|1", "Anna", "0221", "", ""});
        if (noAddress)
            QCOMPARE(boxes(), QStringList{"TAPI required to perform this action/TAPI Error/48"});
        QVERIFY(!gCall);
        QCOMPARE(frmTelephoneCall::loadedInstance()->number(), QStringLiteral("00221"));
        QCOMPARE(record(), QStringLiteral("|"));

        gAddress = address;
        dialByHand(form, "mnuToolsManualDial", "0555");
        QCOMPARE(SimLine::instance().dialled(), QStringLiteral("0555"));
        f->step("hangup");
        QCOMPARE(f->entries(0), QStringList{"Not Found|0555|||||"});
    }

    // ------------------------------------------------------------ Manual Call

    void manualCall_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QStringList>("shown");
        for (const char* item : {"mnuToolsManualDial", "mnuSysTrayManualCall"}) {
            const QString i = QLatin1String(item);
            QTest::addRow("%s, idle", item) << i << "idle" << QStringList{};
            QTest::addRow("%s, no address", item)
                << i << "noaddress"
                << QStringList{"TAPI required to perform this action/TAPI Error/16"};
            QTest::addRow("%s, call tracked", item)
                << i << "tracked" << QStringList{"One call at a time!/Tamrivo/0"};
        }
    }
    void manualCall() {
        QFETCH(QString, item);
        QFETCH(QString, situation);
        QFETCH(QStringList, shown);
        frmMain* form = start();
        if (situation == u"noaddress")
            gAddress.reset();
        if (situation == u"tracked")
            f->step("offer:555");
        const QString before = record();
        frmTelephoneCall::instance()->setNumber(QStringLiteral("99"));
        action(form, item)->trigger();
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
        QCOMPARE(w->parentWidget(), form);
        QCOMPARE(w->number(), QString());
        QVERIFY(boxes().isEmpty());
        w->findChild<QLineEdit*>(QStringLiteral("txtNumber"))->setText(QStringLiteral("0221"));
        click(w, "cmdDial");
        pump();
        QCOMPARE(boxes(), shown);
        QCOMPARE(SimLine::instance().dialled(), situation == u"idle" ? QStringLiteral("0221") : "");
    }

    // The line reports the number dialled, so a typed number is logged.
    void manuallyTypedCallIsLogged() {
        frmMain* form = start();
        dialByHand(form, "mnuToolsManualDial", "0221");
        QCOMPARE(record(), QStringLiteral("0221|Not Found"));
        f->step("hangup");
        QCOMPARE(f->entries(0), QStringList{"Not Found|0221|||||"});
    }

    // ------------------------------------------------------------ tray menus

    void trayFill_data() {
        QTest::addColumn<int>("count");      // -1: no recent-call books at all
        QTest::addColumn<bool>("unmatched"); // every entry carries a second number
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("no books") << -1 << false << QStringList{"none||0"};
        QTest::newRow("empty book") << 0 << false << QStringList{"none||0"};
        QTest::newRow("two entries, newest first")
            << 2 << false << QStringList{"101 (Name 1)|1|1", "100 (Name 0)|0|1"};
        QStringList eleven;
        for (int i = 19; i >= 9; --i)
            eleven.append(QStringLiteral("%1 (Name %2)|%2|1").arg(100 + i).arg(i));
        QTest::newRow("twenty entries, eleven newest") << 20 << false << eleven;
        QTest::newRow("only unmatched callers") << 3 << true << QStringList{"none||0"};
    }
    void trayFill() {
        QFETCH(int, count);
        QFETCH(bool, unmatched);
        QFETCH(QStringList, shown);
        frmMain* form = start();
        // Each book gets its own entries, with an unmatched caller between them.
        for (int b = 0; b < 3; ++b) {
            for (int i = 0; i < count; ++i)
                gRecentBooks[b]->addContact(contact(QStringLiteral("Name %1").arg(i),
                                                    QString::number(100 + i),
                                                    unmatched ? QStringLiteral("00") : QString()));
        }
        if (count < 0)
            gRecentBooks.clear();
        else
            gRecentBooks[2]->addContact(contact("Stranger", "7", "007"));
        rightClickTray(form);
        for (const char* m : {"mnuSysTrayLD", "mnuSysTrayLA", "mnuSysTrayLU"})
            QCOMPARE(items(form, m), shown);
        QVERIFY(boxes().isEmpty());
    }

    void trayFillAfterTheBookShrinks() {
        frmMain* form = start();
        auto& book = gRecentBooks[0];
        for (int i = 0; i < 20; ++i)
            book->addContact(contact(QStringLiteral("Old %1").arg(i), QString::number(i)));
        rightClickTray(form);
        QCOMPARE(menu(form, "mnuSysTrayLD")->actions().size(), 11);
        // Cleared, then ten new calls: item 10 of the earlier fill must not
        // stay on show, since its index now belongs to a different call.
        book->init();
        for (int i = 0; i < 10; ++i)
            book->addContact(
                contact(QStringLiteral("New %1").arg(i), QStringLiteral("5%1").arg(i)));
        rightClickTray(form);
        const QStringList shown = items(form, "mnuSysTrayLD");
        QCOMPARE(shown.size(), 10);
        QCOMPARE(shown.first(), QStringLiteral("59 (New 9)|9|1"));
        QCOMPARE(shown.last(), QStringLiteral("50 (New 0)|0|1"));
        QCOMPARE(menu(form, "mnuSysTrayLD")->actions().size(), 11); // never removed
        // Emptied: "none", and nothing below it; then "&" shown as is.
        book->init();
        rightClickTray(form);
        QCOMPARE(items(form, "mnuSysTrayLD"), QStringList{"none||0"});
        book->addContact(contact(QStringLiteral("Smith & Sons"), QStringLiteral("1")));
        rightClickTray(form);
        QCOMPARE(items(form, "mnuSysTrayLD"), QStringList{"1 (Smith && Sons)|0|1"});
    }

    void trayOtherButtonsFillNothing() {
        frmMain* form = start();
        gRecentBooks[0]->addContact(contact(QStringLiteral("Anna"), QStringLiteral("1")));
        form->trayIcon()->simulateMouseEvent(TrayIcon::LeftButton);
        form->trayIcon()->simulateMouseEvent(TrayIcon::MiddleButton);
        QCOMPARE(items(form, "mnuSysTrayLD"), QStringList{"||1"});
        QVERIFY(!menu(form, "SysTrayMenu")->isVisible());
    }

    void redial_data() {
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
    void redial() {
        QFETCH(QString, menuName);
        QFETCH(int, item);
        QFETCH(QString, dialled);
        QFETCH(QString, name);
        frmMain* form = start();
        const char* names[] = {"Dina", "Aldo", "Ugo"};
        for (int b = 0; b < 3; ++b) {
            const QString n = QString::fromLatin1(names[b]);
            for (int i = 0; i < 3; ++i) {
                // Unmatched callers in "Last Not Answered" are not listed.
                const bool unmatched = b == 2 && i == 1;
                gRecentBooks[b]->addContact(contact(n + u' ' + QString::number(i),
                                                    n.left(1) + QString::number(i),
                                                    unmatched ? QStringLiteral("00") : QString()));
            }
        }
        rightClickTray(form);
        menu(form, menuName)->actions().at(item)->trigger();
        pump();
        QCOMPARE(SimLine::instance().dialled(), dialled);
        QCOMPARE(callWindow(), "shown|" + dialled + u'|' + name);
        QCOMPARE(record(), dialled + u'|' + name);
        f->step("connect");
        f->step("hangup");
        QCOMPARE(f->entries(0).last(), name + u'|' + dialled + QStringLiteral("|||||"));
    }
};

QTEST_MAIN(TestCalls)
#include "tst_calls.moc"
