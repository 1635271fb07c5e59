// The address-book tree and the contact list: fill, grouping levels read on
// expansion, node clicks, recent-call books, search results and failures,
// on real Local files and SQLite data sources through ODBC.
#include "../addressbooks/booktestutil.h"
#include "addressbooks/contactedits.h"
#include "addressbooks/searchresult.h"
#include "app/globals.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "mainwindow/frmmain.h"
#include "platform/prompter.h"
#include "platform/trayicon.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>
#include <optional>

using namespace booktest;

Q_DECLARE_METATYPE(Language)

namespace {

frmMain* loadWindow() {
    auto* w = new frmMain;
    gMainForm = w;
    w->Form_Load();
    w->show();
    return w;
}

QTreeWidget* treeOf(frmMain* w) {
    return w->findChild<QTreeWidget*>("tvAddressBookTree");
}
QTreeWidget* listOf(frmMain* w) {
    return w->findChild<QTreeWidget*>("lvContactList");
}
QTreeWidgetItem* bookNode(frmMain* w, int i) {
    return treeOf(w)->topLevelItem(0)->child(i);
}

// "text [tag]" of each child, placeholders as they are.
QStringList childrenOf(const QTreeWidgetItem* node) {
    QStringList out;
    for (int i = 0; i < node->childCount(); ++i)
        out << node->child(i)->text(0) + " [" + frmMain::itemTag(node->child(i)) + u']';
    return out;
}

// Every row as "text|the seven sub-items @tag".
QStringList rowsOf(frmMain* w) {
    QTreeWidget* list = listOf(w);
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* r = list->topLevelItem(i);
        QStringList f;
        for (int c = 0; c < 8; ++c)
            f << r->text(c);
        out << f.join(u'|') + " @" + frmMain::itemTag(r);
    }
    return out;
}

QTreeWidgetItem* childNamed(QTreeWidgetItem* n, const QString& text) {
    for (int i = 0; i < n->childCount(); ++i)
        if (n->child(i)->text(0) == text)
            return n->child(i);
    return nullptr;
}

void click(frmMain* w, QTreeWidgetItem* node, Qt::MouseButton button = Qt::LeftButton) {
    QTreeWidget* t = treeOf(w);
    t->scrollToItem(node);
    const QPoint p = t->visualItemRect(node).center();
    QTest::mousePress(t->viewport(), button, Qt::NoModifier, p);
    QTest::mouseRelease(t->viewport(), button, Qt::NoModifier, p);
}

void recentOn(bool on, bool makeBooks) {
    gPreferences = std::make_shared<Preferences>();
    gPreferences->useLastDRAddressBooks = on;
    for (int i = 0; makeBooks && i < 3; ++i) {
        gRecentBooks.append(std::make_shared<TmpAddressBook>());
        gRecentBooks.last()->addressBookName = loadResString(16035 + i);
    }
}

void addLdapBook() {
    gLDAPBooks.append(std::make_shared<LDAPAddressBook>());
    gLDAPBooks.last()->addressBookName = "dir";
    noLDAPBooks = false;
}

// A Database book on Staff (Id, Name, Phone, Mail, City, Dept) grouped by the
// given columns.
std::shared_ptr<DatabaseAddressBook> addStaffBook(const TestEnv& env, const QString& grouping,
                                                  int groupNum) {
    const QString insert = "INSERT INTO Staff (Name,Phone,Mail,City,Dept) VALUES ";
    addSqliteDataSource(env, "staff",
                        {"CREATE TABLE Staff (Id INTEGER PRIMARY KEY, Name TEXT, Phone TEXT, "
                         "Mail TEXT, City TEXT, Dept TEXT)",
                         insert + "('Ann','1','a@x','Rome','Sales')",
                         insert + "('Bob','2',NULL,'Rome','Desk')",
                         insert + "('Cy',NULL,'c@x','L''Aquila','Sales')",
                         insert + "('Di','4','d@x',NULL,'Sales')"});
    auto b = std::make_shared<DatabaseAddressBook>();
    b->Clear();
    b->addressBookName = b->tableName = "Staff";
    b->dsn = "staff";
    b->nameField = "Name";
    b->telephoneField = "Phone";
    b->emailField = "Mail";
    b->contactid = "Id";
    b->groupNum = static_cast<std::int16_t>(groupNum);
    b->setGrouping(grouping);
    gDBBooks.append(b);
    noDBBooks = false;
    return b;
}

} // namespace

class TstTree : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;
    frmMain* w = nullptr;

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        env = std::make_unique<TestEnv>();
        setLanguage(Language::English);
        TrayIcon::setSimulatedAvailability(false);
        recentOn(false, false);
        Prompter::setMode(Prompter::Mode::Scripted);
    }

    void cleanup() {
        delete w;
        w = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        TrayIcon::setSimulatedAvailability(std::nullopt);
        env.reset();
    }

    void fill_data() {
        QTest::addColumn<Language>("language");
        QTest::addColumn<QStringList>("children");
        QTest::newRow("no books") << Language::English << QStringList{};
        QTest::newRow("English") << Language::English
                                 << QStringList{
                                        "dir (LDAP Server) [0|L|0]", "crm (Database) [0|D|0]",
                                        "a.lab (Local) [0|O|0]",     "Last Dialed [0|R|0]",
                                        "Last Received [0|R|1]",     "Last Not Answered [0|R|2]"};
        QTest::newRow("Italian") << Language::Italian
                                 << QStringList{"dir (Server LDAP) [0|L|0]",
                                                "crm (Database) [0|D|0]", "a.lab (Locale) [0|O|0]"};
    }
    // The root, then one placeholder-holding node per book in kind order.
    void fill() {
        QFETCH(Language, language);
        QFETCH(QStringList, children);
        setLanguage(language);
        if (!children.isEmpty()) {
            addLdapBook();
            addDatabaseBook(*env, "crm", {});
            addLocalBook(*env, "a.lab", {});
            recentOn(true, true);
        }
        w = loadWindow();
        QCOMPARE(treeOf(w)->topLevelItemCount(), 1);
        QTreeWidgetItem* root = treeOf(w)->topLevelItem(0);
        QCOMPARE(root->text(0), "Address Books");
        QCOMPARE(frmMain::itemTag(root), QString());
        QVERIFY(root->isExpanded());
        QCOMPARE(w->currentNode(), nullptr);
        QCOMPARE(childrenOf(root).mid(0, children.size()), children);
        QCOMPARE(root->childCount() == 0, children.isEmpty());
        for (int i = 0; i < root->childCount(); ++i) {
            QCOMPARE(childrenOf(root->child(i)), QStringList{"<Dummy> []"});
            QVERIFY(!root->child(i)->isExpanded());
        }
    }

    // Recent-call books turned on after start-up do not exist yet: the other
    // books are shown and the tree stays usable, with nothing to report.
    void recentBooksMissing() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        recentOn(true, false);
        w = loadWindow();
        QCOMPARE(childrenOf(treeOf(w)->topLevelItem(0)), QStringList{"a.lab (Local) [0|O|0]"});
        QVERIFY(Prompter::records().isEmpty());
    }

    // Two books of one kind with one name: both are shown, later books too.
    void sameNameTwice() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        addLocalBook(*env, "b.lab", {{"Bob", "2", {}, {}, {}}})->addressBookName = "a.lab";
        addLocalBook(*env, "c.lab", {});
        w = loadWindow();
        QCOMPARE(childrenOf(treeOf(w)->topLevelItem(0)),
                 (QStringList{"a.lab (Local) [0|O|0]", "a.lab (Local) [0|O|1]",
                              "c.lab (Local) [0|O|2]"}));
        bookNode(w, 1)->setExpanded(true);
        QCOMPARE(rowsOf(w), QStringList{"Bob|2||||||1 @0|O|1"});
    }

    void ldapAndRootDoNothing() {
        addLdapBook();
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        w = loadWindow();
        bookNode(w, 1)->setExpanded(true);
        Trace trace;
        bookNode(w, 0)->setExpanded(true);
        QCOMPARE(childrenOf(bookNode(w, 0)), QStringList{"<Dummy> []"});
        click(w, bookNode(w, 0));
        QCOMPARE(w->currentNode(), bookNode(w, 0));
        click(w, treeOf(w)->topLevelItem(0));
        QCOMPARE(w->currentNode(), treeOf(w)->topLevelItem(0));
        QCOMPARE(rowsOf(w), QStringList{"Ann|1||||||1 @0|O|0"});
        QVERIFY(trace.sent.isEmpty());
    }

    void databaseWithoutGrouping() {
        auto b = addDatabaseBook(*env, "crm",
                                 {{"Ann", "1", "m1", {}, "a@x"}, {"Bob", {}, {}, "o2", {}}});
        b->email2 = "Mail";
        w = loadWindow();
        Trace trace;
        QTreeWidgetItem* node = bookNode(w, 0);
        node->setExpanded(true);
        QCOMPARE(trace.sent,
                 QStringList{"SELECT Name,Phone,Mail,Mobile,Office,Mail,Id FROM People"});
        QCOMPARE(rowsOf(w), (QStringList{"Ann|1|a@x|m1||a@x||1 @0|D|0", "Bob||||o2|||2 @0|D|0"}));
        QCOMPARE(node->childCount(), 0);
        QCOMPARE(frmMain::itemTag(node), "0|D|0");

        // A click reads the book again; only the three fixed columns mapped
        // still gives seven sub-items.
        b->telephone2 = b->telephone3 = b->email2 = b->contactid = QString();
        trace.sent.clear();
        click(w, node);
        QCOMPARE(trace.sent, QStringList{"SELECT Name,Phone,Mail FROM People"});
        QCOMPARE(rowsOf(w), (QStringList{"Ann|1|a@x||||| @0|D|0", "Bob||||||| @0|D|0"}));
        QCOMPARE(listOf(w)->topLevelItem(0)->columnCount(), 8);
    }

    void databaseGroupedByTwoColumns() {
        addStaffBook(*env, "City,Dept", 2);
        w = loadWindow();
        Trace trace;
        QTreeWidgetItem* book = bookNode(w, 0);
        book->setExpanded(true);
        QCOMPARE(trace.sent, QStringList{"SELECT DISTINCT City FROM Staff"});
        QCOMPARE(frmMain::itemTag(book), QString());
        QStringList cities = childrenOf(book);
        cities.sort();
        QCOMPARE(cities, (QStringList{" [1|D|0]", "L'Aquila [1|D|0]", "Rome [1|D|0]"}));
        QCOMPARE(listOf(w)->topLevelItemCount(), 0);
        for (int i = 0; i < book->childCount(); ++i)
            QCOMPARE(childrenOf(book->child(i)), QStringList{" []"});

        // A group above the last level: a click lists nothing.
        QTreeWidgetItem* rome = childNamed(book, "Rome");
        trace.sent.clear();
        click(w, rome);
        QVERIFY(trace.sent.isEmpty());
        rome->setExpanded(true);
        QCOMPARE(trace.sent, QStringList{"SELECT DISTINCT Dept FROM Staff WHERE City='Rome'"});
        QStringList depts = childrenOf(rome);
        depts.sort();
        QCOMPARE(depts, (QStringList{"Desk [2|D|0]", "Sales [2|D|0]"}));

        // The last level lists its contacts, tagged with the group's level.
        trace.sent.clear();
        QTreeWidgetItem* sales = childNamed(rome, "Sales");
        sales->setExpanded(true);
        QCOMPARE(trace.sent, QStringList{"SELECT Name,Phone,Mail,Id FROM Staff WHERE Dept='Sales' "
                                         "AND City='Rome'"});
        QCOMPARE(rowsOf(w), QStringList{"Ann|1|a@x|||||1 @2|D|0"});
        QCOMPARE(sales->childCount(), 0);
        QCOMPARE(frmMain::itemTag(sales), "2|D|0");

        // A quote in a grouping value is doubled in the condition.
        QTreeWidgetItem* aquila = childNamed(book, "L'Aquila");
        aquila->setExpanded(true);
        childNamed(aquila, "Sales")->setExpanded(true);
        QCOMPARE(trace.sent.last(), "SELECT Name,Phone,Mail,Id FROM Staff WHERE Dept='Sales' AND "
                                    "City='L''Aquila'");
        QCOMPARE(rowsOf(w), QStringList{"Cy||c@x|||||3 @2|D|0"});

        // A Null city shows as "" and finds no Null rows below it.
        QTreeWidgetItem* none = childNamed(book, "");
        none->setExpanded(true);
        QCOMPARE(trace.sent.last(), "SELECT DISTINCT Dept FROM Staff WHERE City=''");
        QCOMPARE(none->childCount(), 0);

        // A click on the last level reads it again; on the inert book node
        // it changes nothing.
        click(w, sales);
        const QStringList ann{"Ann|1|a@x|||||1 @2|D|0"};
        QCOMPARE(rowsOf(w), ann);
        trace.sent.clear();
        click(w, book);
        QVERIFY(trace.sent.isEmpty());
        QCOMPARE(w->currentNode(), book);
        QCOMPARE(rowsOf(w), ann);
    }

    void queryFailure_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("rowsAfter");
        QTest::addColumn<QStringList>("rowsFixed");
        const QStringList zed{"Zed|9||||||1 @0|O|0"};
        QTest::newRow("group query") << "group"
                                     << "Error accessing the database" << zed << zed;
        QTest::newRow("contact query") << "contacts"
                                       << "Error accessing the database" << QStringList{}
                                       << QStringList{"Ann|1||||||1 @0|D|0"};
        QTest::newRow("Local file missing")
            << "file"
            << "gone.lab" << zed << QStringList{"Bob|2||||||1 @0|O|1"};
    }
    // A failed read is reported once; the node keeps its placeholder and can
    // be expanded again once the source answers.
    void queryFailure() {
        QFETCH(QString, what);
        QFETCH(QString, message);
        QFETCH(QStringList, rowsAfter);
        QFETCH(QStringList, rowsFixed);
        addLocalBook(*env, "a.lab", {{"Zed", "9", {}, {}, {}}});
        std::shared_ptr<DatabaseAddressBook> db;
        QString path;
        if (what == u"group") {
            db = addStaffBook(*env, "Town", 1);
        } else if (what == u"contacts") {
            db = addDatabaseBook(*env, "crm", {{"Ann", "1", {}, {}, {}}});
            db->telephoneField = "NoSuchColumn";
        } else {
            path = addLocalBook(*env, "gone.lab", {{"Bob", "2", {}, {}, {}}})->filename;
            QVERIFY(QFile::rename(path, path + ".bak"));
        }
        w = loadWindow();
        bookNode(w, db ? 1 : 0)->setExpanded(true);
        QTreeWidgetItem* node = bookNode(w, db ? 0 : 1);
        node->setExpanded(true);
        QCOMPARE(Prompter::records().size(), 1);
        const Prompter::Record r = Prompter::records().first();
        QVERIFY2(r.text.contains(message), qPrintable(r.text));
        if (db) {
            QCOMPARE(r.title, "Database Error");
            QCOMPARE(r.flags, Msg::OKOnly | Msg::Critical);
        }
        QCOMPARE(rowsOf(w), rowsAfter);
        QCOMPARE(childrenOf(node), QStringList{"<Dummy> []"});
        QVERIFY(!node->isExpanded());

        if (what == u"group")
            db->setGrouping("City");
        else if (db)
            db->telephoneField = "Phone";
        else
            QVERIFY(QFile::rename(path + ".bak", path));
        node->setExpanded(true);
        QCOMPARE(Prompter::records().size(), 1);
        QCOMPARE(node->childCount(), what == u"group" ? 3 : 0);
        QCOMPARE(rowsOf(w), rowsFixed);
    }

    void localBook() {
        auto book = addLocalBook(*env, "a.lab",
                                 {{"Ann", "1", "2", {}, "a@x"}, {"O'Hara", {}, {}, "3", {}}});
        addLocalBook(*env, "empty.lab", {});
        w = loadWindow();
        Trace trace;
        QTreeWidgetItem* node = bookNode(w, 0);
        node->setExpanded(true);
        QCOMPARE(trace.sent.last(), "SELECT NAME,TELEPHONE,EMAIL,TELEPHONE2,TELEPHONE3,EMAIL2,"
                                    "FREETEXT,ID FROM TAMRIVO");
        QCOMPARE(rowsOf(w), (QStringList{"Ann|1|a@x|2||||1 @0|O|0", "O'Hara||||3|||2 @0|O|0"}));
        QCOMPARE(node->childCount(), 0);
        QCOMPARE(frmMain::itemTag(node), "0|O|0");

        // A click reads the file again.
        addLocalContact(*book, Contact{"New", "5", "", "", "", "", "note", ""});
        click(w, node);
        QCOMPARE(w->currentNode(), node);
        QCOMPARE(rowsOf(w).last(), "New|5|||||note|3 @0|O|0");

        // An empty book empties the list.
        bookNode(w, 1)->setExpanded(true);
        QCOMPARE(listOf(w)->topLevelItemCount(), 0);
    }

    void recentCallBook() {
        recentOn(true, true);
        for (const char* n : {"111", "222"})
            gRecentBooks[1]->addContact(std::make_shared<Contact>(
                Contact{"Name " + QString(n), n, "", "", "", "", "2026-12-06 10:00", ""}));
        w = loadWindow();
        QTreeWidgetItem* node = bookNode(w, 1);
        QCOMPARE(node->text(0), "Last Received");
        node->setExpanded(true);
        const QStringList expected{"Name 111|111|||||2026-12-06 10:00| @0|R|1",
                                   "Name 222|222|||||2026-12-06 10:00| @0|R|1"};
        QCOMPARE(rowsOf(w), expected);
        QCOMPARE(node->childCount(), 0);
        listOf(w)->clear();
        click(w, node);
        QCOMPARE(rowsOf(w), expected);
    }

    // A right click chooses the node and opens the book menu without
    // listing; a left click lists. Expanding lists but does not choose.
    void clicksAndExpansion() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        addLocalBook(*env, "b.lab", {{"Bob", "2", {}, {}, {}}});
        w = loadWindow();
        click(w, bookNode(w, 0));
        auto* menu = w->findChild<QMenu*>("mnuCtxAddressBook");
        QVERIFY(menu && !menu->isVisible());

        click(w, bookNode(w, 1), Qt::RightButton);
        QCOMPARE(w->currentNode(), bookNode(w, 1));
        QVERIFY(menu->isVisible());
        QCOMPARE(rowsOf(w), QStringList{"Ann|1||||||1 @0|O|0"});
        menu->hide();

        click(w, bookNode(w, 1));
        QCOMPARE(rowsOf(w), QStringList{"Bob|2||||||1 @0|O|1"});
        QVERIFY(!menu->isVisible());

        bookNode(w, 0)->setExpanded(true);
        QCOMPARE(w->currentNode(), bookNode(w, 1));
        QCOMPARE(rowsOf(w), QStringList{"Ann|1||||||1 @0|O|0"});
    }

    // A clicked placeholder that a later expansion removes leaves no
    // dangling current node behind.
    void clickedPlaceholderRemoved() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        w = loadWindow();
        QTreeWidgetItem* node = bookNode(w, 0);
        {
            const QSignalBlocker quiet(treeOf(w));
            node->setExpanded(true);
        }
        click(w, node->child(0));
        QCOMPARE(w->currentNode(), node->child(0));
        QCOMPARE(listOf(w)->topLevelItemCount(), 0);
        node->setExpanded(false);
        node->setExpanded(true);
        QCOMPARE(node->childCount(), 0);
        QCOMPARE(w->currentNode(), nullptr);
        QCOMPARE(listOf(w)->topLevelItemCount(), 1);
    }

    // After the address-book manager the books may sit at other indexes:
    // no row may stay behind whose tag now names another book.
    void managerClosedDropsTheRows() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        addLocalBook(*env, "b.lab", {{"Bob", "2", {}, {}, {}}});
        auto c = addLocalBook(*env, "c.lab", {{"Cid", "3", {}, {}, {}}});
        w = loadWindow();
        click(w, bookNode(w, 1));
        QCOMPARE(rowsOf(w), QStringList{"Bob|2||||||1 @0|O|1"});
        listOf(w)->topLevelItem(0)->setSelected(true);
        // The manager removes the first book and is closed: c.lab is now at 1.
        QTimer closer;
        closer.setInterval(10);
        QObject::connect(&closer, &QTimer::timeout, [] {
            if (QWidget* m = QApplication::activeModalWidget()) {
                if (gLocalBooks.size() == 3)
                    gLocalBooks.removeFirst();
                m->close();
            }
        });
        closer.start();
        w->findChild<QAction*>("mnuToolsAddressBooks")->trigger();
        QCOMPARE(gLocalBooks.size(), 2);
        QCOMPARE(listOf(w)->topLevelItemCount(), 0);
        // So Remove has no row to act on, and c.lab keeps its contact.
        Prompter::pushAnswer(Msg::Yes);
        w->findChild<QAction*>("mnuContactCtxRemove")->trigger();
        Recordset rs = queryLocalBook(c->filename, "SELECT NAME FROM TAMRIVO");
        QVERIFY(!rs.isEOF());
        QCOMPARE(rs.text(0), "Cid");
    }

    // A node whose book has gone from the list fails quietly and stays as
    // it was.
    void bookGoneFromList() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        w = loadWindow();
        gLocalBooks.clear();
        noLocalBooks = true;
        QTreeWidgetItem* node = bookNode(w, 0);
        node->setExpanded(true);
        QVERIFY(!node->isExpanded());
        click(w, node);
        QCOMPARE(childrenOf(node), QStringList{"<Dummy> []"});
        QCOMPARE(listOf(w)->topLevelItemCount(), 0);
        QVERIFY(Prompter::records().isEmpty());
    }

    // A right release over the list opens the contact menu only while a row
    // is selected.
    void listRightRelease() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}, {"Bob", "2", {}, {}, {}}});
        w = loadWindow();
        bookNode(w, 0)->setExpanded(true);
        QTreeWidget* list = listOf(w);
        auto* menu = w->findChild<QMenu*>("mnuContactCtx");
        QVERIFY(menu);
        const QPoint below(10, list->viewport()->height() - 2);
        QTest::mouseRelease(list->viewport(), Qt::RightButton, Qt::NoModifier, below);
        QVERIFY(!menu->isVisible());
        list->topLevelItem(1)->setSelected(true);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, below);
        QVERIFY(!menu->isVisible());
        QTest::mouseRelease(list->viewport(), Qt::RightButton, Qt::NoModifier, below);
        QVERIFY(menu->isVisible());
        menu->hide();
    }

    void searchResultFromCursorOn() {
        w = loadWindow();
        listOf(w)->addTopLevelItem(new QTreeWidgetItem({"old"}));
        DBSearchResult r;
        r.Add("0|D|1", "Skipped", "0", "");
        r.Add("0|D|1", "Ann", "1", "a@x", "2", "3", "a2@x", "free", "17");
        r.Add("0|O|0", "Bob", "9", "");
        r.MoveNext();
        w->useSearchResult(r);
        QCOMPARE(rowsOf(w),
                 (QStringList{"Ann|1|a@x|2|3|a2@x|free|17 @0|D|1", "Bob|9|||||| @0|O|0"}));
        QVERIFY(r.isEOF());
        DBSearchResult none;
        w->useSearchResult(none, true, "ignored");
        QCOMPARE(listOf(w)->topLevelItemCount(), 0);
    }
};

QTEST_MAIN(TstTree)
#include "tst_tree.moc"
