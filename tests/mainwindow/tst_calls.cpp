// Call commands on the simulated line: the list's Call sub-menu, the card's
// Call buttons and the tray's recent-call sub-menus.

#include "addressbooks/searchresult.h"
#include "app/errorreport.h"
#include "mainwindow/frmcontactotherinfo.h"
#include "platform/trayicon.h"
#include "telephony/callfixture.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTreeWidget>

namespace {
QString record() {
    return gCallRecord.callNumber + u'|' + gCallRecord.callName;
}

std::shared_ptr<Contact> contact(const QString& name, const QString& tel,
                                 const QString& tel2 = QString()) {
    return std::make_shared<Contact>(Contact{name, tel, {}, tel2, {}, {}, {}, {}});
}
// Lists one row the way the search dialog does (telephone 3 only when it is
// called), selects it and picks the Call item.
void callFromList(frmMain* form, const QString& tag, const char* item = "mnuContactCtxCallTel") {
    const bool third = QByteArray(item).endsWith("3");
    DBSearchResult r;
    r.init();
    r.Add(tag, "Anna & Co", "0221 555", "mail", "333", third ? "+39 06" : "");
    form->useSearchResult(r);
    auto* list = child<QTreeWidget>(form, "lvContactList");
    list->setCurrentItem(list->topLevelItem(0));
    emit child<QMenu>(form, "mnuContactCtxCall")->aboutToShow(); // no number: no item
    QCOMPARE(child<QAction>(form, "mnuContactCtxCallTel3")->isEnabled(), third);
    child<QAction>(form, item)->trigger();
    pump();
}
// Visible items of a recent-call sub-menu as "caption|tag|enabled".
QStringList items(QWidget* form, const char* name) {
    QStringList out;
    for (QAction* a : child<QMenu>(form, name)->actions())
        if (a->isVisible())
            out << a->text() + u'|' + a->property("Tag").toString() + u'|' +
                       (a->isEnabled() ? u'1' : u'0');
    return out;
}
void rightClickTray(frmMain* form) {
    form->trayIcon()->simulateMouseEvent(TrayIcon::RightButton);
    child<QMenu>(form, "SysTrayMenu")->hide();
}
} // namespace

class TestCalls : public QObject {
    Q_OBJECT
    std::unique_ptr<CallFixture> f;

    // Local book 1 has prefix "0", Database book 0 has "9,".
    frmMain* start() {
        f = std::make_unique<CallFixture>();
        gLocalBooks = {std::make_shared<LocalAddressBook>(), std::make_shared<LocalAddressBook>()};
        gLocalBooks[1]->callPrefix = QStringLiteral("0");
        noLocalBooks = false;
        gDBBooks = {std::make_shared<DatabaseAddressBook>()};
        gDBBooks[0]->Clear();
        gDBBooks[0]->callPrefix = QStringLiteral("9,");
        noDBBooks = false;
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

    // From the list (Call item) or the card (Call button): the book's prefix
    // in front; the window, the record and the log name the contact.
    void dial_data() {
        QTest::addColumn<bool>("card");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("dialled");
        const auto row = [](bool card, const char* tag, const char* item, const char* dialled) {
            QTest::addRow("%s %s %s", card ? "card" : "list", tag, item)
                << card << tag << item << dialled;
        };
        row(false, "0|O|1", "Tel", "00221 555"); // Local, prefix 0
        row(false, "0|O|0", "Tel2", "333");      // no prefix
        row(false, "2|D|0", "Tel3", "9,+39 06"); // Database group row
        row(false, "0|R|1", "Tel", "0221 555");  // recent entry as stored
        row(true, "0|O|1", "Tel", "00221 555");
        row(true, "2|D|0", "Tel3", "9,+39 06");
        row(true, "0|O|5", "Tel", "0221 555"); // book gone: no prefix
    }
    void dial() {
        QFETCH(bool, card);
        QFETCH(QString, tag);
        QFETCH(QString, item);
        QFETCH(QString, dialled);
        frmMain* form = start();
        if (card) {
            // First a prefixed call, so a prefix left over would show.
            frmContactOtherInfo* c = frmContactOtherInfo::instance();
            const QStringList tags = tag == "0|O|1" ? QStringList{tag} : QStringList{"0|O|1", tag};
            for (const QString& t : tags) {
                c->Clear();
                c->abTag = t;
                c->setBoxes(Contact{"Anna & Co", "0221 555", "mail", "333", "+39 06", {}, {}, {}});
                c->lockValues();
                c->showWindow();
                click(c, item == "Tel" ? "cmdCall" : item == "Tel2" ? "cmdCall2" : "cmdCall3");
                pump();
                if (t != tag)
                    f->step("hangup");
            }
        } else {
            callFromList(form, tag, qPrintable("mnuContactCtxCall" + item));
        }
        QCOMPARE(SimLine::instance().dialled(), dialled);
        frmTelephoneCall* w = frmTelephoneCall::loadedInstance();
        QVERIFY(gCall && w->isVisible());
        QCOMPARE(w->number(), dialled);
        QCOMPARE(labelOf(w, "lblCalledIDStr"), "Anna & Co");
        QCOMPARE(record(), dialled + "|Anna & Co");
        if (card)
            QCOMPARE(gCallRecord.callMatchTag, tag);
        QCOMPARE(promptLog().join(u';'), QString());
        f->step("connect");
        f->step("hangup");
        QCOMPARE(f->entries(0).last(), "Anna & Co|" + dialled + "|||||");
    }

    // A Call whose dialling places no call is told, and leaves no party in the record:
    // the next call typed by hand would be logged as that contact.
    void callThatNeverStartsLeavesNoParty() {
        frmMain* form = start();
        SimLine::instance().failOnce(SimLine::Op::Connect);
        callFromList(form, "0|O|1");
        QVERIFY(!gCall && promptLog().join(u';').startsWith("The line did not carry out your request: "));
        QCOMPARE(record(), "|");
        f->step("dial:0555");
        f->step("hangup");
        QCOMPARE(f->entries(0), QStringList{"Not Found|0555|||||"}); // not under the earlier party
    }

    // A list row naming a book that is gone, or a tray item whose entry was
    // cleared: nothing is dialled and the error is logged.
    void staleEntryDialsNothing() {
        for (bool tray : {false, true}) {
            frmMain* form = start();
            gExtendedErrors = true;
            if (tray) {
                gRecentBooks[1]->addContact(contact("Aldo", "1"));
                rightClickTray(form);
                gRecentBooks[1]->init();
                child<QMenu>(form, "mnuSysTrayLA")->actions().at(0)->trigger();
                pump();
            } else {
                callFromList(form, "0|O|5");
            }
            QVERIFY(!frmTelephoneCall::loadedInstance());
            QCOMPARE(SimLine::instance().dialled(), QString());
            QCOMPARE(record(), "|");
            QFile log(errorLogPath());
            QVERIFY(log.open(QIODevice::ReadOnly) && log.readAll().contains("dontknow 9 "));
            cleanup();
        }
    }

    // Eleven newest first, unmatched callers and entries without number left out; items of an
    // earlier, longer fill are hidden; an empty book shows "none"; an item redials.
    void trayMenus() {
        frmMain* form = start();
        for (int i = 0; i < 20; ++i)
            gRecentBooks[0]->addContact(
                contact(QStringLiteral("Old %1").arg(i), QString::number(i)));
        for (auto c : {contact("Ugo", "U0"), contact("Stranger", "7", "007"), contact("?", "")})
            gRecentBooks[2]->addContact(c);
        rightClickTray(form);
        QCOMPARE(items(form, "mnuSysTrayLD").size(), 11);
        QCOMPARE(items(form, "mnuSysTrayLD").first(), "19 (Old 19)|19|1");
        QCOMPARE(items(form, "mnuSysTrayLA"), QStringList{"none||0"});
        QCOMPARE(items(form, "mnuSysTrayLU"), QStringList{"U0 (Ugo)|0|1"});
        gRecentBooks[0]->init();
        for (int i = 0; i < 9; ++i)
            gRecentBooks[0]->addContact(
                contact(QStringLiteral("New %1").arg(i), QStringLiteral("5%1").arg(i)));
        gRecentBooks[0]->addContact(contact("Smith & Sons", "1"));
        rightClickTray(form);
        const QStringList shown = items(form, "mnuSysTrayLD");
        QCOMPARE(shown.size(), 10);
        QCOMPARE(shown.first(), "1 (Smith && Sons)|9|1");
        QCOMPARE(shown.last(), "50 (New 0)|0|1");
        child<QMenu>(form, "mnuSysTrayLU")->actions().at(0)->trigger();
        pump();
        QCOMPARE(SimLine::instance().dialled(), "U0");
        QCOMPARE(record(), "U0|Ugo");
    }
};

QTEST_MAIN(TestCalls)
#include "tst_calls.moc"
