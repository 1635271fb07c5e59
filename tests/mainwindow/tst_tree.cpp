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
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>
#include <optional>

using namespace booktest;

Q_DECLARE_METATYPE(Language)

namespace {

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

frmMain* loadWindow() {
    auto* w = new frmMain;
    gMainForm = w;
    w->Form_Load();
    w->show();
    return w;
}

QTreeWidget* treeOf(frmMain* w) {
    return w->findChild<QTreeWidget*>(QStringLiteral("tvAddressBookTree"));
}
QTreeWidget* listOf(frmMain* w) {
    return w->findChild<QTreeWidget*>(QStringLiteral("lvContactList"));
}

// "text [tag]" of each child, placeholders as they are.
QStringList childrenOf(const QTreeWidgetItem* node) {
    QStringList out;
    for (int i = 0; i < node->childCount(); ++i)
        out << node->child(i)->text(0) + QStringLiteral(" [") + frmMain::itemTag(node->child(i)) +
                   u']';
    return out;
}

// Every row: the text, the seven sub-items and the Tag, "|"-joined.
QStringList rowsOf(QTreeWidget* list) {
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* r = list->topLevelItem(i);
        QStringList f;
        for (int c = 0; c < 8; ++c)
            f << r->text(c);
        out << f.join(u'|') + QStringLiteral(" @") + frmMain::itemTag(r);
    }
    return out;
}

// An expected row: the eight fields, then the Tag.
QString row(const QStringList& fields, const QString& tag) {
    return fields.join(u'|') + QStringLiteral(" @") + tag;
}

QTreeWidgetItem* bookNode(frmMain* w, int i) {
    return treeOf(w)->topLevelItem(0)->child(i);
}

void click(frmMain* w, QTreeWidgetItem* node, Qt::MouseButton button = Qt::LeftButton) {
    QTreeWidget* t = treeOf(w);
    t->scrollToItem(node);
    const QPoint p = t->visualItemRect(node).center();
    QTest::mousePress(t->viewport(), button, Qt::NoModifier, p);
    QTest::mouseRelease(t->viewport(), button, Qt::NoModifier, p);
}

void makeRecentBooks() {
    for (int i = 0; i < 3; ++i) {
        auto b = std::make_shared<TmpAddressBook>();
        b->addressBookName = loadResString(16035 + i);
        gRecentBooks.append(b);
    }
}

void recentOn(bool on) {
    gPreferences = std::make_shared<Preferences>();
    gPreferences->useLastDRAddressBooks = on;
}

// A Database book on Staff (Id, Name, Phone, Mail, City, Dept) grouped by the
// given columns.
std::shared_ptr<DatabaseAddressBook> addStaffBook(const TestEnv& env, const QString& grouping,
                                                  int groupNum) {
    addSqliteDataSource(
        env, "staff",
        {"CREATE TABLE Staff (Id INTEGER PRIMARY KEY, Name TEXT, Phone TEXT, Mail TEXT, City "
         "TEXT, Dept TEXT)",
         "INSERT INTO Staff (Name,Phone,Mail,City,Dept) VALUES ('Ann','1','a@x','Rome','Sales')",
         "INSERT INTO Staff (Name,Phone,Mail,City,Dept) VALUES ('Bob','2',NULL,'Rome','Desk')",
         "INSERT INTO Staff (Name,Phone,Mail,City,Dept) VALUES "
         "('Cy',NULL,'c@x','L''Aquila','Sales')",
         "INSERT INTO Staff (Name,Phone,Mail,City,Dept) VALUES ('Di','4','d@x',NULL,'Sales')"});
    auto b = std::make_shared<DatabaseAddressBook>();
    b->Clear();
    b->addressBookName = "Staff";
    b->dsn = "staff";
    b->tableName = "Staff";
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
private:
    std::unique_ptr<TestEnv> env;
    frmMain* w = nullptr;

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init() {
        env = std::make_unique<TestEnv>();
        setLanguage(Language::English);
        TrayIcon::setSimulatedAvailability(false);
        recentOn(false);
        Prompter::setMode(Prompter::Mode::Scripted);
    }

    void cleanup() {
        delete w;
        w = nullptr;
        settle();
        TrayIcon::setSimulatedAvailability(std::nullopt);
        env.reset();
    }

    // ------------------------------------------------------------ fill

    void onlyTheRoot() {
        w = loadWindow();
        QTreeWidget* t = treeOf(w);
        QCOMPARE(t->topLevelItemCount(), 1);
        QTreeWidgetItem* root = t->topLevelItem(0);
        QCOMPARE(root->text(0), "Address Books");
        QCOMPARE(frmMain::itemTag(root), QString());
        QCOMPARE(root->childCount(), 0);
        QVERIFY(root->isExpanded());
        QVERIFY(!root->icon(0).isNull());
        QCOMPARE(w->currentNode(), nullptr);
    }

    void oneBookOfEachKind_data() {
        QTest::addColumn<Language>("language");
        QTest::addColumn<QStringList>("children");
        QTest::newRow("English") << Language::English
                                 << QStringList{
                                        "dir (LDAP Server) [0|L|0]", "crm (Database) [0|D|0]",
                                        "a.lab (Local) [0|O|0]",     "Last Dialed [0|R|0]",
                                        "Last Received [0|R|1]",     "Last Not Answered [0|R|2]"};
        QTest::newRow("Italian") << Language::Italian
                                 << QStringList{"dir (Server LDAP) [0|L|0]",
                                                "crm (Database) [0|D|0]", "a.lab (Locale) [0|O|0]"};
    }
    void oneBookOfEachKind() {
        QFETCH(Language, language);
        QFETCH(QStringList, children);
        setLanguage(language);
        auto ldap = std::make_shared<LDAPAddressBook>();
        ldap->addressBookName = "dir";
        gLDAPBooks.append(ldap);
        noLDAPBooks = false;
        addDatabaseBook(*env, "crm", {});
        addLocalBook(*env, "a.lab", {});
        makeRecentBooks();
        recentOn(true);
        w = loadWindow();
        QTreeWidgetItem* root = treeOf(w)->topLevelItem(0);
        QCOMPARE(root->text(0), "Address Books");
        QVERIFY(root->isExpanded());
        QCOMPARE(childrenOf(root).mid(0, children.size()), children);
        for (int i = 0; i < root->childCount(); ++i) {
            QCOMPARE(childrenOf(root->child(i)), QStringList{"<Dummy> []"});
            QVERIFY(!root->child(i)->icon(0).isNull());
            QVERIFY(!root->child(i)->isExpanded());
        }
    }

    // Recent-call books turned on after start-up do not exist yet: the other
    // books are shown and the tree stays usable, with nothing to report.
    void recentBooksMissing() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        recentOn(true);
        w = loadWindow();
        QTreeWidgetItem* root = treeOf(w)->topLevelItem(0);
        QCOMPARE(childrenOf(root), QStringList{"a.lab (Local) [0|O|0]"});
        QVERIFY(root->isExpanded());
        QVERIFY(Prompter::records().isEmpty());
    }

    // Two books of one kind with one name: both are shown, later books too.
    void sameNameTwice() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        auto second = addLocalBook(*env, "b.lab", {{"Bob", "2", {}, {}, {}}});
        second->addressBookName = "a.lab";
        addLocalBook(*env, "c.lab", {});
        w = loadWindow();
        QCOMPARE(childrenOf(treeOf(w)->topLevelItem(0)),
                 (QStringList{"a.lab (Local) [0|O|0]", "a.lab (Local) [0|O|1]",
                              "c.lab (Local) [0|O|2]"}));
        bookNode(w, 1)->setExpanded(true);
        QCOMPARE(rowsOf(listOf(w)),
                 QStringList{row({"Bob", "2", "", "", "", "", "", "1"}, "0|O|1")});
    }

    // ------------------------------------------------------------ LDAP and inert nodes

    void ldapAndRootDoNothing() {
        auto ldap = std::make_shared<LDAPAddressBook>();
        ldap->addressBookName = "dir";
        gLDAPBooks.append(ldap);
        noLDAPBooks = false;
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        w = loadWindow();
        bookNode(w, 1)->setExpanded(true);
        const QStringList rows = rowsOf(listOf(w));
        QCOMPARE(rows.size(), 1);

        Trace trace;
        bookNode(w, 0)->setExpanded(true);
        QCOMPARE(childrenOf(bookNode(w, 0)), QStringList{"<Dummy> []"});
        click(w, bookNode(w, 0));
        QCOMPARE(w->currentNode(), bookNode(w, 0));
        click(w, treeOf(w)->topLevelItem(0));
        QCOMPARE(w->currentNode(), treeOf(w)->topLevelItem(0));
        QCOMPARE(rowsOf(listOf(w)), rows);
        QVERIFY(trace.sent.isEmpty());
    }

    // ------------------------------------------------------------ Database books

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
        QCOMPARE(rowsOf(listOf(w)),
                 (QStringList{row({"Ann", "1", "a@x", "m1", "", "a@x", "", "1"}, "0|D|0"),
                              row({"Bob", "", "", "", "o2", "", "", "2"}, "0|D|0")}));
        QCOMPARE(node->childCount(), 0);
        QCOMPARE(frmMain::itemTag(node), "0|D|0");

        // A click reads the book again; only the three fixed columns mapped
        // still gives seven sub-items.
        b->telephone2.clear();
        b->telephone3.clear();
        b->email2.clear();
        b->contactid.clear();
        trace.sent.clear();
        click(w, node);
        QCOMPARE(trace.sent, QStringList{"SELECT Name,Phone,Mail FROM People"});
        QCOMPARE(rowsOf(listOf(w)),
                 (QStringList{row({"Ann", "1", "a@x", "", "", "", "", ""}, "0|D|0"),
                              row({"Bob", "", "", "", "", "", "", ""}, "0|D|0")}));
        QCOMPARE(listOf(w)->topLevelItem(0)->columnCount(), 8);
    }

    void databaseGroupedByTwoColumns() {
        auto b = addStaffBook(*env, "City,Dept", 2);
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

        auto child = [](QTreeWidgetItem* n, const QString& text) -> QTreeWidgetItem* {
            for (int i = 0; i < n->childCount(); ++i)
                if (n->child(i)->text(0) == text)
                    return n->child(i);
            return nullptr;
        };
        // A group above the last level: a click lists nothing.
        QTreeWidgetItem* rome = child(book, "Rome");
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
        QTreeWidgetItem* sales = child(rome, "Sales");
        sales->setExpanded(true);
        QCOMPARE(trace.sent,
                 QStringList{"SELECT Name,Phone,Mail,Id FROM Staff WHERE Dept='Sales' AND "
                             "City='Rome'"});
        QCOMPARE(rowsOf(listOf(w)),
                 QStringList{row({"Ann", "1", "a@x", "", "", "", "", "1"}, "2|D|0")});
        QCOMPARE(sales->childCount(), 0);
        QCOMPARE(frmMain::itemTag(sales), "2|D|0");

        // A quote in a grouping value is doubled in the condition.
        QTreeWidgetItem* aquila = child(book, "L'Aquila");
        aquila->setExpanded(true);
        child(aquila, "Sales")->setExpanded(true);
        QCOMPARE(trace.sent.last(), "SELECT Name,Phone,Mail,Id FROM Staff WHERE Dept='Sales' AND "
                                    "City='L''Aquila'");
        QCOMPARE(rowsOf(listOf(w)),
                 QStringList{row({"Cy", "", "c@x", "", "", "", "", "3"}, "2|D|0")});

        // A Null city shows as "" and finds no Null rows below it.
        QTreeWidgetItem* none = child(book, "");
        none->setExpanded(true);
        QCOMPARE(trace.sent.last(), "SELECT DISTINCT Dept FROM Staff WHERE City=''");
        QCOMPARE(none->childCount(), 0);

        // Clicking the listed group again reloads it; clicking the inert book
        // node changes nothing.
        click(w, sales);
        QCOMPARE(rowsOf(listOf(w)),
                 QStringList{row({"Ann", "1", "a@x", "", "", "", "", "1"}, "2|D|0")});
        trace.sent.clear();
        click(w, book);
        QVERIFY(trace.sent.isEmpty());
        QCOMPARE(w->currentNode(), book);
        QCOMPARE(rowsOf(listOf(w)),
                 QStringList{row({"Ann", "1", "a@x", "", "", "", "", "1"}, "2|D|0")});
        QCOMPARE(b->groupNum, 2);
    }

    // A failed group query is reported; the node stays as it was and can be
    // expanded again once the data source answers.
    void groupQueryFailure() {
        auto b = addStaffBook(*env, "Town", 1);
        w = loadWindow();
        QTreeWidgetItem* book = bookNode(w, 0);
        book->setExpanded(true);
        QCOMPARE(Prompter::records().size(), 1);
        const Prompter::Record r = Prompter::records().first();
        QCOMPARE(r.text, "Error accessing the database");
        QCOMPARE(r.title, "Database Error");
        QCOMPARE(r.flags, Msg::OKOnly | Msg::Critical);
        QCOMPARE(frmMain::itemTag(book), "0|D|0");
        QCOMPARE(childrenOf(book), QStringList{"<Dummy> []"});
        QVERIFY(!book->isExpanded());

        b->setGrouping("City");
        book->setExpanded(true);
        QCOMPARE(book->childCount(), 3);
        QCOMPARE(Prompter::records().size(), 1);
    }

    void contactQueryFailure() {
        auto b = addDatabaseBook(*env, "crm", {{"Ann", "1", {}, {}, {}}});
        addLocalBook(*env, "a.lab", {{"Zed", "9", {}, {}, {}}});
        w = loadWindow();
        bookNode(w, 1)->setExpanded(true);
        QCOMPARE(listOf(w)->topLevelItemCount(), 1);

        b->telephoneField = "NoSuchColumn";
        QTreeWidgetItem* node = bookNode(w, 0);
        node->setExpanded(true);
        QCOMPARE(Prompter::records().size(), 1);
        QCOMPARE(Prompter::records().first().text, "Error accessing the database");
        QCOMPARE(listOf(w)->topLevelItemCount(), 0);
        QCOMPARE(childrenOf(node), QStringList{"<Dummy> []"});
        QVERIFY(!node->isExpanded());

        b->telephoneField = "Phone";
        node->setExpanded(true);
        QCOMPARE(rowsOf(listOf(w)),
                 QStringList{row({"Ann", "1", "", "", "", "", "", "1"}, "0|D|0")});
        QCOMPARE(node->childCount(), 0);
    }

    // ------------------------------------------------------------ Local books

    void localBook() {
        auto book = addLocalBook(*env, "a.lab",
                                 {{"Ann", "1", "2", {}, "a@x"}, {"O'Hara", {}, {}, "3", {}}});
        addLocalBook(*env, "empty.lab", {});
        w = loadWindow();
        Trace trace;
        QTreeWidgetItem* node = bookNode(w, 0);
        node->setExpanded(true);
        QCOMPARE(
            trace.sent.last(),
            "SELECT NAME,TELEPHONE,EMAIL,TELEPHONE2,TELEPHONE3,EMAIL2,FREETEXT,ID FROM TAMRIVO");
        QCOMPARE(rowsOf(listOf(w)),
                 (QStringList{row({"Ann", "1", "a@x", "2", "", "", "", "1"}, "0|O|0"),
                              row({"O'Hara", "", "", "", "3", "", "", "2"}, "0|O|0")}));
        QCOMPARE(node->childCount(), 0);
        QCOMPARE(frmMain::itemTag(node), "0|O|0");

        // A click reads the file again.
        addLocalContact(*book, Contact{"New", "5", "", "", "", "", "note", ""});
        click(w, node);
        QCOMPARE(w->currentNode(), node);
        QCOMPARE(rowsOf(listOf(w)).last(), row({"New", "5", "", "", "", "", "note", "3"}, "0|O|0"));

        // An empty book empties the list.
        bookNode(w, 1)->setExpanded(true);
        QCOMPARE(listOf(w)->topLevelItemCount(), 0);
    }

    // A file that cannot be read is reported; the list keeps its rows and
    // the node keeps its placeholder, so it can be expanded again.
    void localFileMissing() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        auto gone = addLocalBook(*env, "gone.lab", {{"Bob", "2", {}, {}, {}}});
        const QString path = gone->filename;
        QVERIFY(QFile::rename(path, path + ".bak"));
        w = loadWindow();
        bookNode(w, 0)->setExpanded(true);
        const QStringList rows = rowsOf(listOf(w));
        QTreeWidgetItem* node = bookNode(w, 1);
        node->setExpanded(true);
        QCOMPARE(Prompter::records().size(), 1);
        QVERIFY(Prompter::records().first().text.contains("gone.lab"));
        QCOMPARE(rowsOf(listOf(w)), rows);
        QCOMPARE(childrenOf(node), QStringList{"<Dummy> []"});
        QVERIFY(!node->isExpanded());

        QVERIFY(QFile::rename(path + ".bak", path));
        node->setExpanded(true);
        QCOMPARE(rowsOf(listOf(w)),
                 QStringList{row({"Bob", "2", "", "", "", "", "", "1"}, "0|O|1")});
        QCOMPARE(node->childCount(), 0);
    }

    // ------------------------------------------------------------ recent-call books

    void recentCallBook() {
        makeRecentBooks();
        recentOn(true);
        for (const char* n : {"111", "222"})
            gRecentBooks[1]->addContact(std::make_shared<Contact>(
                Contact{"Name " + QString(n), n, "", "", "", "", "2026-12-06 10:00", ""}));
        w = loadWindow();
        QTreeWidgetItem* node = bookNode(w, 1);
        QCOMPARE(node->text(0), "Last Received");
        node->setExpanded(true);
        const QStringList expected{
            row({"Name 111", "111", "", "", "", "", "2026-12-06 10:00", ""}, "0|R|1"),
            row({"Name 222", "222", "", "", "", "", "2026-12-06 10:00", ""}, "0|R|1")};
        QCOMPARE(rowsOf(listOf(w)), expected);
        QCOMPARE(node->childCount(), 0);
        listOf(w)->clear();
        click(w, node);
        QCOMPARE(rowsOf(listOf(w)), expected);
    }

    // ------------------------------------------------------------ clicks

    void rightClickOpensBookMenu() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        addLocalBook(*env, "b.lab", {{"Bob", "2", {}, {}, {}}});
        w = loadWindow();
        click(w, bookNode(w, 0));
        QCOMPARE(listOf(w)->topLevelItemCount(), 1);
        auto* menu = w->findChild<QMenu*>(QStringLiteral("mnuCtxAddressBook"));
        QVERIFY(menu);
        QVERIFY(!menu->isVisible());

        click(w, bookNode(w, 1), Qt::RightButton);
        QCOMPARE(w->currentNode(), bookNode(w, 1));
        QVERIFY(menu->isVisible());
        QCOMPARE(rowsOf(listOf(w)).first(), row({"Ann", "1", "", "", "", "", "", "1"}, "0|O|0"));
        menu->hide();

        click(w, bookNode(w, 1));
        QCOMPARE(rowsOf(listOf(w)).first(), row({"Bob", "2", "", "", "", "", "", "1"}, "0|O|1"));
        QVERIFY(!menu->isVisible());
    }

    // Expanding does not move currentNode; only a click does.
    void expandKeepsCurrentNode() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        addLocalBook(*env, "b.lab", {{"Bob", "2", {}, {}, {}}});
        w = loadWindow();
        click(w, bookNode(w, 0));
        bookNode(w, 1)->setExpanded(true);
        QCOMPARE(w->currentNode(), bookNode(w, 0));
        QCOMPARE(rowsOf(listOf(w)).first(), row({"Bob", "2", "", "", "", "", "", "1"}, "0|O|1"));
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
        QCOMPARE(rowsOf(listOf(w)),
                 (QStringList{row({"Bob", "2", "", "", "", "", "", "1"}, "0|O|1")}));
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
        w->findChild<QAction*>(QStringLiteral("mnuToolsAddressBooks"))->trigger();
        QCOMPARE(gLocalBooks.size(), 2);
        QCOMPARE(listOf(w)->topLevelItemCount(), 0);
        // So Remove has no row to act on, and c.lab keeps its contact.
        Prompter::pushAnswer(Msg::Yes);
        w->findChild<QAction*>(QStringLiteral("mnuContactCtxRemove"))->trigger();
        Recordset rs = queryLocalBook(c->filename, QStringLiteral("SELECT NAME FROM TAMRIVO"));
        QVERIFY(!rs.isEOF());
        QCOMPARE(rs.text(0), QStringLiteral("Cid"));
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
        auto* menu = w->findChild<QMenu*>(QStringLiteral("mnuContactCtx"));
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

    // ------------------------------------------------------------ search results

    void searchResultFromCursorOn() {
        w = loadWindow();
        listOf(w)->addTopLevelItem(new QTreeWidgetItem({"old"}));
        DBSearchResult r;
        r.Add("0|D|1", "Skipped", "0", "");
        r.Add("0|D|1", "Ann", "1", "a@x", "2", "3", "a2@x", "free", "17");
        r.Add("0|O|0", "Bob", "9", "");
        r.MoveNext();
        w->useSearchResult(r);
        QCOMPARE(rowsOf(listOf(w)),
                 (QStringList{row({"Ann", "1", "a@x", "2", "3", "a2@x", "free", "17"}, "0|D|1"),
                              row({"Bob", "9", "", "", "", "", "", ""}, "0|O|0")}));
        QVERIFY(r.isEOF());

        DBSearchResult none;
        w->useSearchResult(none, true, "ignored");
        QCOMPARE(listOf(w)->topLevelItemCount(), 0);
    }
};

QTEST_MAIN(TstTree)
#include "tst_tree.moc"
