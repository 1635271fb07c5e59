// The address-book tree, the contact list, the search dialog and the contact
// commands on a loaded main window, over Local files and SQLite through ODBC.
#include "../addressbooks/booktestutil.h"
#include "app/errorreport.h"
#include "app/strings.h"
#include "common/widgettest.h"
#include "mainwindow/frmcontact.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/frmsearch.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "platform/trayicon.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTreeWidget>

using namespace booktest;

namespace {
const QString kLocal = "0|O|0", kDatabase = "0|D|0", kReadOnly = "0|D|1", kRecent = "0|R|0";
const char* const kBoxes[] = {"txtName",       "txtTelephone",  "txtEmail",
                              "txtTelephone2", "txtTelephone3", "txtEmail2"};

QStringList localRows(const QString& file) {
    return rowsOf(
        queryLocalBook(file, "SELECT ID,NAME,TELEPHONE,EMAIL,FREETEXT FROM TAMRIVO ORDER BY ID"));
}
QStringList databaseRows() {
    return rowsOf(DbSession(DbSession::Kind::Odbc, "DSN=crm")
                      .openRecordset("SELECT Id,Name,Phone FROM People ORDER BY Id"));
}
// "N=row" replaces row N, "-N" removes it, "+row" adds one.
QStringList changed(QStringList rows, const QString& change) {
    if (change.startsWith(u'+'))
        rows << change.mid(1);
    else if (change.startsWith(u'-'))
        rows.removeAt(change.mid(1).toInt());
    else if (!change.isEmpty())
        rows[change.section(u'=', 0, 0).toInt()] = change.section(u'=', 1);
    return rows;
}
QStringList boxes() {
    QStringList out;
    for (const auto& r : Prompter::records())
        out << r.text + u'/' + r.title;
    return out;
}
QString box(int text, int title) {
    return loadResString(text) + u'/' + loadResString(title);
}
} // namespace

class TstBooks : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;
    QPointer<frmMain> w;

    void load() {
        w = new frmMain;
        gMainForm = w;
        w->Form_Load();
        w->resize(800, 600);
        w->show();
        Prompter::reset();
    }
    QTreeWidget* tree() { return child<QTreeWidget>(w, "tvAddressBookTree"); }
    QTreeWidget* list() { return child<QTreeWidget>(w, "lvContactList"); }
    QTreeWidgetItem* book(int i) { return tree()->topLevelItem(0)->child(i); }
    QTreeWidgetItem* childNamed(QTreeWidgetItem* n, const QString& text) {
        for (int i = 0;; ++i)
            if (n->child(i)->text(0) == text)
                return n->child(i);
    }
    void clickNode(QTreeWidgetItem* node) {
        tree()->scrollToItem(node);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree()->visualItemRect(node).center());
    }
    // "text [tag]" of each child.
    QStringList childrenOf(const QTreeWidgetItem* node) {
        QStringList out;
        for (int i = 0; i < node->childCount(); ++i)
            out << node->child(i)->text(0) + " [" + frmMain::itemTag(node->child(i)) + u']';
        return out;
    }
    // Every row as "name|telephone|email|...|id @tag".
    QStringList listed() {
        QStringList out;
        for (int i = 0; i < list()->topLevelItemCount(); ++i) {
            QStringList f;
            for (int c = 0; c < 8; ++c)
                f << list()->topLevelItem(i)->text(c);
            out << f.join(u'|') + " @" + frmMain::itemTag(list()->topLevelItem(i));
        }
        return out;
    }
    void selectRow(const QString& tag, const QStringList& fields) {
        list()->clear();
        auto* row = new QTreeWidgetItem(fields);
        frmMain::setItemTag(row, tag);
        list()->addTopLevelItem(row);
        row->setSelected(true);
    }
    // A node carrying the tag, chosen by a click as the user does.
    void chooseNode(const QString& tag) {
        auto* node = new QTreeWidgetItem(QStringList{tag});
        frmMain::setItemTag(node, tag);
        tree()->addTopLevelItem(node);
        clickNode(node);
    }
    // The usual books: Local a.lab (Ann, Bob), writable Database crm (Carl,
    // Dora), read-only crmro (Eve) and a recent-call book with two calls.
    std::shared_ptr<LocalAddressBook> usualBooks() {
        auto local = addLocalBook(*env, "a.lab",
                                  {{"Ann", "555", {}, {}, "ann@x"}, {"Bob", "666", {}, {}, {}}});
        addDatabaseBook(*env, "crm", {{"Carl", "777", {}, {}, {}}, {"Dora", "888", {}, {}, {}}})
            ->readonly = false;
        addDatabaseBook(*env, "crmro", {{"Eve", "999", {}, {}, {}}})->readonly = true;
        for (int i = 0; i < 3; ++i) {
            gRecentBooks.append(std::make_shared<TmpAddressBook>());
            gRecentBooks.last()->addressBookName = loadResString(16035 + i);
        }
        auto fay = std::make_shared<Contact>(Contact{"Fay", "0123", {}, {}, {}, {}, {}, {}});
        gRecentBooks[0]->addContact(fay);
        gRecentBooks[0]->addContact(fay);
        gPreferences->useLastDRAddressBooks = true;
        return local;
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        env = std::make_unique<TestEnv>();
        gPreferences = std::make_shared<Preferences>();
        TrayIcon::setSimulatedAvailability(false);
    }
    void cleanup() {
        delete w;
        settle();
        TrayIcon::setSimulatedAvailability(std::nullopt);
        env.reset();
    }

    // One node per book in kind order, each with a placeholder; the whole
    // name in the tooltip (a narrow tree cuts it); two books of one name
    // both; recent-call books only when they exist.
    void fill() {
        gLDAPBooks.append(std::make_shared<LDAPAddressBook>());
        gLDAPBooks.last()->addressBookName = "dir";
        noLDAPBooks = false;
        usualBooks();
        addLocalBook(*env, "b.lab", {})->addressBookName = "a.lab";
        load();
        QTreeWidgetItem* root = tree()->topLevelItem(0);
        QVERIFY(root->isExpanded() && frmMain::itemTag(root).isEmpty());
        QCOMPARE(childrenOf(root),
                 (QStringList{"dir (LDAP Server) [0|L|0]", "crm (Database) [0|D|0]",
                              "crmro (Database) [0|D|1]", "a.lab (Local) [0|O|0]",
                              "a.lab (Local) [0|O|1]", "Last Dialed [0|R|0]",
                              "Last Received [0|R|1]", "Last Not Answered [0|R|2]"}));
        for (int i = 0; i < root->childCount(); ++i) {
            QCOMPARE(root->child(i)->toolTip(0), root->child(i)->text(0));
            QCOMPARE(childrenOf(root->child(i)), QStringList{"<Dummy> []"});
        }
        Trace trace;
        book(3)->setExpanded(true);
        QCOMPARE(trace.sent.last(), "SELECT NAME,TELEPHONE,EMAIL,TELEPHONE2,TELEPHONE3,EMAIL2,"
                                    "FREETEXT,ID FROM TAMRIVO");
        QCOMPARE(listed(), (QStringList{"Ann|555|ann@x|||||1 @0|O|0", "Bob|666||||||2 @0|O|0"}));
        QCOMPARE(book(3)->childCount(), 0);
        gDBBooks[0]->contactid = QString();
        clickNode(book(1));
        QCOMPARE(trace.sent.last(), "SELECT Name,Phone,Mail,Mobile,Office FROM People");
        QCOMPARE(listed(), (QStringList{"Carl|777|||||| @0|D|0", "Dora|888|||||| @0|D|0"}));
        QCOMPARE(w->currentNode(), book(1));
    }

    void databaseGroupedByTwoColumns() {
        auto b = addDatabaseBook(*env, "staff",
                                 {{"Ann", "1", "Sales", "Rome", "a@x"},
                                  {"Bob", "2", "Desk", "Rome", {}},
                                  {"Cy", {}, "Sales", "L'Aquila", "c@x"},
                                  {"Di", "4", "Sales", {}, "d@x"},
                                  {"Ed", "5", "Desk", "C:\\x", {}},
                                  {"Flo", "6", "Desk", "", {}}});
        b->telephone2 = b->telephone3 = QString();
        b->readonly = false;
        b->groupNum = 2;
        b->setGrouping("Office,Mobile");
        load();
        Trace trace;
        QTreeWidgetItem* staff = book(0);
        staff->setExpanded(true);
        QCOMPARE(trace.sent, QStringList{"SELECT DISTINCT Office FROM People"});
        QCOMPARE(staff->childCount(), 5);
        childNamed(staff, "Rome")->setExpanded(true);
        QCOMPARE(trace.sent.last(), "SELECT DISTINCT Mobile FROM People WHERE Office='Rome'");
        childNamed(childNamed(staff, "Rome"), "Sales")->setExpanded(true);
        QCOMPARE(trace.sent.last(),
                 "SELECT Name,Phone,Mail,Id FROM People WHERE Mobile='Sales' AND Office='Rome'");
        QCOMPARE(listed(), QStringList{"Ann|1|a@x|||||1 @2|D|0"});
        childNamed(staff, "L'Aquila")->setExpanded(true);
        QCOMPARE(trace.sent.last(), "SELECT DISTINCT Mobile FROM People WHERE Office='L''Aquila'");
        // Null has a node apart from "": a write lists the node again, a contact gone is told.
        childNamed(staff, "(no value)")->setExpanded(true);
        childNamed(staff, "(no value)")->child(0)->setExpanded(true);
        QCOMPARE(trace.sent.last(),
                 "SELECT Name,Phone,Mail,Id FROM People WHERE Mobile='Sales' AND Office IS NULL");
        QCOMPARE(listed(), QStringList{"Di|4|d@x|||||4 @2|D|0"});
        list()->topLevelItem(0)->setSelected(true);
        child(w, "mnuContactCtxRemove")->trigger(); // Yes, the default
        QCOMPARE(list()->topLevelItemCount(), 0);
        selectRow("2|D|0", {"Di", "4", "", "", "", "", "", "4"});
        whenModal("frmContact", [](QWidget* d) { click(d, "cmdSave"); });
        child(w, "mnuContactCtxEdit")->trigger();
        QVERIFY(trace.sent.contains("SELECT Id FROM People WHERE Id=4"));
        QCOMPARE(boxes().mid(1), (QStringList{box(16322, 16323)}));
        childNamed(staff, "")->setExpanded(true);
        QCOMPARE(trace.sent.last(), "SELECT DISTINCT Mobile FROM People WHERE Office=''");
        // A backslash is not quoted alike by every driver: refused, nothing sent.
        childNamed(staff, "C:\\x")->setExpanded(true);
        QCOMPARE(trace.sent.last(), "SELECT DISTINCT Mobile FROM People WHERE Office=''");
        QCOMPARE(Prompter::records().size(), 3);
        QVERIFY(Prompter::records()[2].text.contains("C:\\x' holds a backslash"));
    }

    // A failed read is reported once; the node keeps its placeholder and is
    // read again on the next expansion.
    void queryFailureLeavesTheNodeRetryable() {
        auto db = addDatabaseBook(*env, "crm", {{"Ann", "1", {}, {}, {}}});
        db->telephoneField = "NoSuchColumn";
        const QString path = addLocalBook(*env, "gone.lab", {{"Bob", "2", {}, {}, {}}})->filename;
        QVERIFY(QFile::rename(path, path + ".bak"));
        load();
        for (int i : {0, 1}) {
            selectRow(kLocal, {"stale"});
            book(i)->setExpanded(true);
            if (i == 0) // not left beside a failed Database node
                QCOMPARE(list()->topLevelItemCount(), 0);
            QCOMPARE(Prompter::records().size(), i + 1);
            QCOMPARE(childrenOf(book(i)), QStringList{"<Dummy> []"});
            QVERIFY(!book(i)->isExpanded());
        }
        QCOMPARE(boxes()[0].section(':', 0, 0) + boxes()[0].section('/', -1),
                 loadResString(16005) + "\nAddress book \"crm\"" + loadResString(16013));
        db->telephoneField = "Phone";
        QVERIFY(QFile::rename(path + ".bak", path));
        book(0)->setExpanded(true);
        QCOMPARE(listed(), QStringList{"Ann|1||||||1 @0|D|0"});
        book(1)->setExpanded(true);
        QCOMPARE(listed(), QStringList{"Bob|2||||||1 @0|O|0"});
        QCOMPARE(Prompter::records().size(), 2);
    }

    // A clicked placeholder that an expansion removes leaves no dangling
    // current node; the manager's refill leaves no row naming a moved book.
    void rebuildsLeaveNothingStale() {
        addLocalBook(*env, "a.lab", {{"Ann", "1", {}, {}, {}}});
        addLocalBook(*env, "b.lab", {{"Bob", "2", {}, {}, {}}});
        auto c = addLocalBook(*env, "c.lab", {{"Cid", "3", {}, {}, {}}});
        load();
        {
            const QSignalBlocker quiet(tree());
            book(0)->setExpanded(true);
        }
        clickNode(book(0)->child(0));
        book(0)->setExpanded(false);
        book(0)->setExpanded(true);
        QCOMPARE(w->currentNode(), nullptr);
        clickNode(book(1));
        list()->topLevelItem(0)->setSelected(true);
        whenModal([](QWidget* m) {
            gLocalBooks.removeFirst(); // c.lab is now at 1
            m->close();
        });
        child(w, "mnuToolsAddressBooks")->trigger();
        QCOMPARE(list()->topLevelItemCount(), 0);
        QCOMPARE(w->currentNode(), nullptr);
        Prompter::pushAnswer(Msg::Yes);
        child(w, "mnuContactCtxRemove")->trigger();
        QCOMPARE(localRows(c->filename).size(), 1);
    }

    // Enter in the text box searches; the hits replace the list; nothing
    // found (the last row) keeps it.
    void search() {
        addLocalBook(*env, "a.lab", {{"O'Hara", "555123", {}, {}, "anne@x"}});
        load();
        frmSearch::showWindow(w);
        frmSearch* s = frmSearch::loadedInstance();
        auto* text = child<QLineEdit>(s, "txtSearchStr");
        const QStringList rows[] = {
            {"", "", "O'Hara", "NAME ='O''Hara'"}, // as loaded
            {"rbSearchNumber", "rbSearchSuffix", "123",
             "TELEPHONE LIKE '%123' OR TELEPHONE2 LIKE '%123' OR TELEPHONE3 LIKE '%123'"},
            {"rbSearchName", "rbSearchContains", " a ", "NAME LIKE '% a %'"}};
        for (const QStringList& row : rows) {
            for (const QString& name : row.mid(0, 2))
                if (!name.isEmpty())
                    QTest::mouseClick(child<QRadioButton>(s, qPrintable(name)), Qt::LeftButton);
            text->setText(row[2]);
            Trace trace;
            QTest::keyClick(text, Qt::Key_Return);
            QCOMPARE(
                trace.sent.filter("FROM TAMRIVO"),
                QStringList{"SELECT NAME,TELEPHONE,TELEPHONE2,TELEPHONE3,EMAIL,EMAIL2,FREETEXT,"
                            "ID FROM TAMRIVO WHERE " +
                            row[3]});
            QCOMPARE(list()->topLevelItemCount(), 1);
        }
        // As many hits as a result holds are listed; one more empties the list and is told.
        executeLocalBook(addLocalBook(*env, "b.lab", {})->filename,
                         "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i+1 FROM n WHERE "
                         "i<32767) INSERT INTO TAMRIVO (NAME) SELECT 'Hara' FROM n");
        text->setText("Hara");
        for (int hits : {32767, 0}) {
            QTest::keyClick(text, Qt::Key_Return);
            QCOMPARE(list()->topLevelItemCount(), hits);
            executeLocalBook(env->file("a.lab"), "INSERT INTO TAMRIVO (NAME) VALUES ('Hara')");
        }
        QVERIFY(boxes() == QStringList{box(16320, 15014)} && s->isVisible());
    }

    // The command, the chosen node, the book of the selected row (Bob or
    // Dora, id 2), the answer, the boxes asked, each book's change and the
    // list after: a write lists the node again, Add always does; a refusal
    // comes before any dialog and writes nothing.
    void commands_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("prompts");
        QTest::addColumn<QString>("localChange");
        QTest::addColumn<QString>("dbChange");
        QTest::addColumn<QStringList>("list");
        const QString edit = "mnuContactCtxEdit", remove = "mnuContactCtxRemove",
                      add = "mnuCtxAddressBookAddContact", clear = "mnuCtxAddressBookClear";
        const QString ann = "Ann|555|ann@x|||||1 @0|O|0", bob = "Bob|666|||||note|2 @",
                      dora = "Dora|888|||||note|2 @";
        const QStringList none, local{ann, "Bob|666||||||2 @0|O|0"}, readOnly{box(16038, 16039)};
        const auto row = [](const char* name, const QString& command, const QString& node,
                            const QString& tag, const char* answer, const QStringList& prompts,
                            const char* localChange, const char* dbChange,
                            const QStringList& list) {
            QTest::newRow(name) << command << node << tag << QString(answer) << prompts
                                << QString(localChange) << QString(dbChange) << list;
        };
        row("edit Local", edit, kLocal, kLocal, "save", none, "1=2|Bob|+39|~|note", "",
            {ann, "Bob|+39|||||note|2 @0|O|0"});
        row("edit recent", edit, kRecent, kRecent, "", readOnly, "", "", {dora + kRecent});
        row("remove Database", remove, kDatabase, kDatabase, "yes", {box(16040, 16041)}, "", "-1",
            {"Carl|777||||||1 @0|D|0"});
        row("remove read-only", remove, kReadOnly, kReadOnly, "", readOnly, "", "",
            {dora + kReadOnly});
        row("add Local", add, kLocal, kLocal, "save", none, "+3||+39|~|~", "",
            local + QStringList{"|+39||||||3 @0|O|0"});
        row("add on recent", add, kRecent, kLocal, "", {box(16042, 16043)}, "", "",
            {"Fay|0123|||||| @0|R|0", "Fay|0123|||||| @0|R|0"});
        row("clear recent", clear, kRecent, kLocal, "yes", {box(16046, 16047)}, "", "",
            {bob + kLocal});
        row("clear Local", clear, kLocal, kLocal, "", {box(16044, 16045)}, "", "", {bob + kLocal});
    }
    void commands() {
        QFETCH(QString, command);
        QFETCH(QString, node);
        QFETCH(QString, tag);
        QFETCH(QString, answer);
        QFETCH(QStringList, prompts);
        QFETCH(QString, localChange);
        QFETCH(QString, dbChange);
        QFETCH(QStringList, list);
        const auto local = usualBooks();
        const QStringList localStart = localRows(local->filename), dbStart = databaseRows();
        load();
        chooseNode(node);
        const bool isLocal = tag == kLocal;
        selectRow(tag,
                  {isLocal ? "Bob" : "Dora", isLocal ? "666" : "888", {}, {}, {}, {}, "note", "2"});
        Prompter::reset();
        if (answer == "yes")
            Prompter::pushAnswer(Msg::Yes);
        QString shown;
        QTimer closer; // a dialog that should not come up: closed by its box
        connect(&closer, &QTimer::timeout, [] {
            if (QWidget* m = QApplication::activeModalWidget())
                m->close();
        });
        if (answer.isEmpty())
            closer.start(10);
        if (answer == "save")
            whenModal("frmContact", [&](QWidget* d) {
                shown = child<QLineEdit>(d, "txtName")->text();
                child<QLineEdit>(d, "txtTelephone")->setText("+39");
                click(d, "cmdSave");
            });
        child(w, command)->trigger();
        QCOMPARE(boxes(), prompts);
        if (command == "mnuContactCtxEdit" && answer == "save")
            QCOMPARE(shown, "Bob");
        QCOMPARE(localRows(local->filename), changed(localStart, localChange));
        QCOMPARE(databaseRows(), changed(dbStart, dbChange));
        QCOMPARE(listed(), list);
    }

    // A Local book's columns hold name 40, telephones 20, e-mails 100, free
    // text 250: the boxes take no more, so the write never fails on length.
    void localBoxesTakeWhatTheColumnsHold() {
        usualBooks();
        load();
        chooseNode(kLocal);
        const QString sql = localTableDefinition();
        whenModal("frmContact", [&](QWidget* d) {
            for (const char* b : kBoxes) {
                const QString column = ", " + QString::fromLatin1(b + 3).toLower() + " VARCHAR(";
                QCOMPARE(child<QLineEdit>(d, b)->maxLength(),
                         sql.section(column, 1).section(u')', 0, 0).toInt());
            }
            QTest::keyClicks(child<QPlainTextEdit>(d, "txtFreeText"), QString(300, u'x'));
            QCOMPARE(child<QPlainTextEdit>(d, "txtFreeText")->toPlainText().size(), 250);
            click(d, "cmdCancel");
        });
        child(w, "mnuCtxAddressBookAddContact")->trigger();
    }

    // A Database book that refuses the write: its message is shown and the
    // dialog comes back with what was typed.
    void refusedWriteKeepsTheTypedContact() {
        usualBooks();
        load();
        chooseNode(kDatabase);
        gDBBooks[0]->tableName = "Missing";
        Prompter::reset();
        whenModal("frmContact", [](QWidget* d) {
            child<QLineEdit>(d, "txtName")->setText("Gus");
            child<QLineEdit>(d, "txtTelephone")->setText("111");
            click(d, "cmdSave");
            whenModal("frmContact", [](QWidget* again) {
                QCOMPARE(child<QLineEdit>(again, "txtName")->text(), "Gus");
                QCOMPARE(Prompter::records().size(), 1);
                QVERIFY(Prompter::records()[0].text.contains("Missing"));
                gDBBooks[0]->tableName = "People";
                click(again, "cmdSave");
            });
        });
        child(w, "mnuCtxAddressBookAddContact")->trigger();
        QCOMPARE(databaseRows().last(), "3|Gus|111");
    }

    // A rectangle kept mostly off every screen opens on the primary one, one mostly on stays;
    // the split keeps 1500 twips from either edge; panel 2 shows the date.
    void splitAndPanels() {
        QRect centred(0, 0, 6500 / 15, 6500 / 15);
        centred.moveCenter(QGuiApplication::primaryScreen()->availableGeometry().center());
        for (auto [left, want] : {std::pair{"150000", centred.topLeft()}, {"6000", {400, 67}}}) {
            SettingsStore::instance().replaceSection("Settings", {{"MainLeft", left}});
            delete w;
            load();
            QCOMPARE(w->pos(), want);
        }
        w->resize(600, 500); // 9000 twips wide
        for (auto [x, want] : {std::pair{100.0, 1500.0}, {3000.0, 3000.0}, {8000.0, 7500.0}})
            QCOMPARE((w->SizeControls(x), x), want);
        QCOMPARE(child<QLabel>(w, "sbStatusBar_2")->text(),
                 QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    }

    // onClose, how the window is closed, tray present, the answer (0: no
    // question expected), the outcome.
    void closePolicy_data() {
        QTest::addColumn<QStringList>("row");
        for (const char* r :
             {"0 box 1 0 closed", "1 box 1 0 hidden", "2 box 0 6 minimised", "2 box 1 7 closed",
              "2 box 1 2 visible", "2 trayexit 1 0 closed", "2 taskmanager 1 0 closed"})
            QTest::newRow(r) << QString::fromLatin1(r).split(u' ');
    }
    void closePolicy() {
        QFETCH(QStringList, row);
        const QString how = row[1], outcome = row[4];
        const int answer = row[3].toInt();
        gPreferences->onClose = static_cast<std::int16_t>(row[0].toInt());
        TrayIcon::setSimulatedAvailability(row[2] == "1");
        load();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // Another window of the program, a box telling of an error, goes with the main window.
        Prompter::setMode(Prompter::Mode::Dialog);
        reportError("dontknow", AppError(3146, "Broke"));
        Prompter::setMode(Prompter::Mode::Scripted), Prompter::reset();
        QPointer<QWidget> other;
        for (QWidget* t : QApplication::topLevelWidgets())
            other = qobject_cast<QMessageBox*>(t) ? t : other.data();
        if (answer != 0)
            Prompter::pushAnswer(answer);
        if (how == "box")
            w->close();
        else if (how == "trayexit")
            child(w, "mnuSysTrayExit")->trigger();
        else
            w->systemClose(frmMain::vbAppTaskManager);
        settle();
        QCOMPARE(boxes(), answer != 0 ? QStringList{box(16014, 16015)} : QStringList{});
        const bool closed = outcome == "closed";
        QCOMPARE(w.isNull() && other.isNull() && !gMainForm, closed);
        QCOMPARE(SettingsStore::instance().value("Settings", "MainWidth").has_value(), closed);
        if (closed)
            return;
        QVERIFY(other);
        delete other;
        QVERIFY(w->trayIcon()->isShown());
        QCOMPARE(w->isHidden(), outcome == "hidden");
        QCOMPARE(w->isMinimized(), outcome == "minimised");
        if (outcome == "hidden")
            QCOMPARE(child(w, "mnuSysTrayShowHide")->text(), "&Show");
    }
};

QTEST_MAIN(TstBooks)
#include "tst_books.moc"
