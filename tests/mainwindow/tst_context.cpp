// The contact-list and address-book context commands on a loaded main window
// with a real Local book and Database books on an SQLite ODBC data source.

#include "../addressbooks/booktestutil.h"
#include "addressbooks/contactedits.h"
#include "app/globals.h"
#include "app/strings.h"
#include "contexttestutil.h"
#include "mainwindow/frmcontactotherinfo.h"
#include "mainwindow/frmmain.h"
#include "platform/dbsession.h"
#include "platform/prompter.h"
#include "platform/shell.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>

using namespace booktest;
using ctxtest::DialogDriver;

namespace {

const QString kLocal = "0|O|0", kDatabase = "0|D|0", kReadOnly = "0|D|1", kRecent = "0|R|0",
              kLDAP = "0|L|0";
const Contact kBob{"Bob", "666", {}, {}, {}, {}, {}, "2"};

QStringList boxes() {
    QStringList out;
    for (const auto& r : Prompter::records())
        out << r.text + u'/' + r.title + u'/' + QString::number(r.flags);
    return out;
}

QString box(int text, int title, int flags) {
    return loadResString(text) + u'/' + loadResString(title) + u'/' + QString::number(flags);
}

QStringList rowsOf(Recordset rs) {
    QStringList out;
    for (; !rs.isEOF(); rs.MoveNext()) {
        QStringList row;
        for (int i = 0; i < rs.fieldCount(); ++i)
            row << (rs.isNull(i) ? QStringLiteral("<null>") : rs.text(i));
        out << row.join(u'|');
    }
    return out;
}

QStringList localRows(const QString& file) {
    return rowsOf(queryLocalBook(file, "SELECT ID,NAME,TELEPHONE,TELEPHONE2,TELEPHONE3,EMAIL,"
                                       "EMAIL2,FREETEXT FROM TAMRIVO ORDER BY ID"));
}

QStringList databaseRows() {
    DbSession s(DbSession::Kind::Odbc, "DSN=crm");
    return rowsOf(
        s.openRecordset("SELECT Id,Name,Phone,Mobile,Office,Mail FROM People ORDER BY Id"));
}

// Scripts the dialog or the question: "save" types "+39" into the telephone
// box, "yes"/"no" answer the message box, anything else dismisses.
// The rows after one change: "N=row" replaces row N, "-N" removes it, "+row"
// adds one.
QStringList changed(QStringList rows, const QString& change) {
    if (change.startsWith(u'+'))
        rows << change.mid(1);
    else if (change.startsWith(u'-'))
        rows.removeAt(change.mid(1).toInt());
    else if (!change.isEmpty())
        rows[change.section(u'=', 0, 0).toInt()] = change.section(u'=', 1);
    return rows;
}

void script(DialogDriver& dialog, const QString& answer) {
    if (answer == u"save")
        dialog.push(DialogDriver::save("txtTelephone", "+39"));
    else if (answer == u"yes" || answer == u"no")
        Prompter::pushAnswer(answer == u"yes" ? Msg::Yes : Msg::No);
    else if (!answer.isEmpty())
        dialog.push(DialogDriver::dismiss(answer));
}

} // namespace

class TestContext : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> m_env;
    frmMain* m_form = nullptr;
    std::shared_ptr<LocalAddressBook> m_local;
    QStringList m_localStart, m_dbStart;

    void trigger(const QString& action) {
        auto* a = m_form->findChild<QAction*>(action);
        QVERIFY2(a, qPrintable(action));
        a->trigger();
    }
    QTreeWidget* list() { return m_form->findChild<QTreeWidget*>("lvContactList"); }
    QStringList listRows() {
        QStringList out;
        for (int i = 0; i < list()->topLevelItemCount(); ++i) {
            QStringList f;
            for (int c = 0; c < 8; ++c)
                f << list()->topLevelItem(i)->text(c);
            out << f.join(u'|');
        }
        return out;
    }
    // A node carrying the tag, chosen by a click as the user does.
    void chooseNode(const QString& tag, Qt::MouseButton button = Qt::LeftButton) {
        auto* tree = m_form->findChild<QTreeWidget*>("tvAddressBookTree");
        auto* node = new QTreeWidgetItem(QStringList{tag});
        node->setData(0, frmMain::TagRole, tag);
        tree->addTopLevelItem(node);
        QTest::mouseClick(tree->viewport(), button, Qt::NoModifier,
                          tree->visualItemRect(node).center());
    }
    void selectRow(const QString& tag, const Contact& c) {
        list()->clear();
        auto* row = new QTreeWidgetItem(ctxtest::fields(c));
        row->setData(0, frmMain::TagRole, tag);
        list()->addTopLevelItem(row);
        row->setSelected(true);
        Prompter::reset();
    }
    void expectUnchanged() {
        QCOMPARE(localRows(m_local->filename), m_localStart);
        QCOMPARE(databaseRows(), m_dbStart);
    }

private slots:
    void init() {
        m_env = std::make_unique<TestEnv>();
        gPreferences = std::make_shared<Preferences>();
        m_local =
            addLocalBook(*m_env, "People.lab",
                         {{"Ann", "555", {}, {}, "ann@example.org"}, {"Bob", "666", {}, {}, {}}});
        addDatabaseBook(*m_env, "crm", {{"Carl", "777", {}, {}, {}}, {"Dora", "888", {}, {}, {}}})
            ->readonly = false;
        addDatabaseBook(*m_env, "crmro", {{"Eve", "999", {}, {}, {}}})->readonly = true;
        for (const char* n : {"Last Dialed", "Last Received", "Last Not Answered"}) {
            gRecentBooks.append(std::make_shared<TmpAddressBook>());
            gRecentBooks.last()->addressBookName = n;
        }
        auto logged = std::make_shared<Contact>(ctxtest::contactOf({"Fay", "0123"}));
        gRecentBooks[0]->addContact(logged);
        gRecentBooks[0]->addContact(logged);
        m_localStart = localRows(m_local->filename);
        m_dbStart = databaseRows();
        m_form = new frmMain;
        gMainForm = m_form;
        m_form->Form_Load();
        m_form->resize(800, 600);
        m_form->show();
        Prompter::reset();
    }

    void cleanup() {
        delete m_form;
        m_form = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_env.reset();
    }

    void refusals_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QStringList>("expected");
        const QStringList readOnly{box(16038, 16039, Msg::Critical)};
        const QStringList cantClear{box(16044, 16045, Msg::Critical)};
        const QString edit = "mnuContactCtxEdit", remove = "mnuContactCtxRemove",
                      add = "mnuCtxAddressBookAddContact", clear = "mnuCtxAddressBookClear";
        QTest::newRow("edit recent") << edit << kRecent << readOnly;
        QTest::newRow("edit read-only") << edit << kReadOnly << readOnly;
        QTest::newRow("edit LDAP") << edit << kLDAP << QStringList{};
        QTest::newRow("edit unknown kind") << edit << "1|X|0" << QStringList{};
        QTest::newRow("remove recent") << remove << kRecent << readOnly;
        QTest::newRow("remove read-only") << remove << kReadOnly << readOnly;
        QTest::newRow("remove LDAP") << remove << kLDAP << QStringList{};
        QTest::newRow("add read-only") << add << kReadOnly << readOnly;
        QTest::newRow("add LDAP") << add << kLDAP << QStringList{};
        QTest::newRow("add on root") << add << "" << QStringList{};
        QTest::newRow("clear Local") << clear << kLocal << cantClear;
        QTest::newRow("clear Database") << clear << kDatabase << cantClear;
        QTest::newRow("clear read-only") << clear << kReadOnly << cantClear;
        QTest::newRow("clear LDAP") << clear << kLDAP << cantClear;
        QTest::newRow("clear on root") << clear << "" << QStringList{};
    }
    // Refusals come before any dialog and write nothing.
    void refusals() {
        QFETCH(QString, command);
        QFETCH(QString, tag);
        QFETCH(QStringList, expected);
        chooseNode(tag);
        selectRow(tag, Contact{"Eve", "999", {}, {}, {}, {}, {}, "1"});
        DialogDriver dialog;
        Trace trace;
        trigger(command);
        QCOMPARE(boxes(), expected);
        QCOMPARE(dialog.shown(), 0);
        for (const QString& s : trace.sent)
            QVERIFY2(!s.contains(QRegularExpression("INSERT|UPDATE|DELETE")), qPrintable(s));
        QCOMPARE(gRecentBooks[0]->getContactNum(), std::int16_t(2));
        expectUnchanged();
    }

    void noSelectedRowDoesNothing() {
        chooseNode(kLocal);
        selectRow(kLocal, Contact{"Ann", "555", "ann@example.org", {}, {}, {}, {}, "1"});
        list()->clearSelection();
        DialogDriver dialog;
        for (const char* a : {"mnuContactCtxEdit", "mnuContactCtxRemove", "mnuContactCtxOtherInfo",
                              "mnuContactCtxSendEMail"})
            trigger(a);
        QVERIFY(Prompter::records().isEmpty());
        QCOMPARE(dialog.shown(), 0);
        QVERIFY(Shell::opened().isEmpty());
        QVERIFY(!frmContactOtherInfo::loadedInstance());
        expectUnchanged();
    }

    void sendEMail_data() {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("email");
        QTest::newRow("Local") << kLocal << "ann@example.org";
        QTest::newRow("recent, blanks kept") << kRecent << " ann @example.org ";
        QTest::newRow("LDAP") << kLDAP << "x@y.z";
        QTest::newRow("read-only") << kReadOnly << "eve@example.org";
        QTest::newRow("empty") << kLocal << "";
    }
    void sendEMail() {
        QFETCH(QString, tag);
        QFETCH(QString, email);
        selectRow(tag, Contact{"Ann", "555", email, {}, {}, "second@example.org", {}, "1"});
        trigger("mnuContactCtxSendEMail");
        QCOMPARE(Shell::opened(), email.isEmpty() ? QList<QUrl>{} : QList{Shell::mailto(email)});
        if (!email.isEmpty())
            QCOMPARE(Shell::opened().first().path(QUrl::FullyDecoded), email);
        QVERIFY(Prompter::records().isEmpty());
    }

    // A book that cannot be written: the error is told, nothing else happens.
    void editFailureIsReported() {
        chooseNode(kLocal);
        selectRow(kLocal, kBob);
        QVERIFY(QFile::remove(m_local->filename));
        DialogDriver dialog;
        dialog.push(DialogDriver::save());
        trigger("mnuContactCtxEdit");
        QCOMPARE(dialog.shown(), 1);
        QCOMPARE(Prompter::records().size(), 1);
    }

    // Add contact opens the dialog as it was left: after an edit, with the
    // edited contact's texts; saving adds a new row with them.
    void addKeepsTheLastTexts() {
        chooseNode(kLocal);
        const Contact ann{"Ann", "555", "ann@example.org", {}, {}, {}, {}, "1"};
        selectRow(kLocal, ann);
        DialogDriver dialog;
        dialog.push(DialogDriver::dismiss("cancel"));
        dialog.push(DialogDriver::save());
        trigger("mnuContactCtxEdit");
        trigger("mnuCtxAddressBookAddContact");
        QCOMPARE(dialog.shownBoxes().value(1), ctxtest::fields(ann));
        QVERIFY(Prompter::records().isEmpty());
        QCOMPARE(localRows(m_local->filename),
                 m_localStart +
                     QStringList{"3|Ann|555|<null>|<null>|ann@example.org|<null>|<null>"});

        // Into the writable Database book, a contact typed afresh.
        chooseNode(kDatabase);
        dialog.push([](frmContact* d) {
            d->setValues(ctxtest::contactOf({"Gus", "111"}));
            DialogDriver::save()(d);
        });
        trigger("mnuCtxAddressBookAddContact");
        QCOMPARE(databaseRows(), m_dbStart + QStringList{"3|Gus|111|<null>|<null>|<null>"});
    }

    // The book menu pops up on a right click; after the add it stays closed.
    void addDoesNotBringTheBookMenuBack() {
        chooseNode(kLocal, Qt::RightButton);
        auto* menu = m_form->findChild<QMenu*>("mnuCtxAddressBook");
        QVERIFY(menu->isVisible());
        menu->hide();
        DialogDriver dialog;
        dialog.push(DialogDriver::save("txtName", "Hal"));
        trigger("mnuCtxAddressBookAddContact");
        QCOMPARE(dialog.shown(), 1);
        QVERIFY(!menu->isVisible());
    }

    void clearRecentBook_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("left");
        QTest::newRow("yes") << int(Msg::Yes) << 0;
        QTest::newRow("no") << int(Msg::No) << 2;
    }
    void clearRecentBook() {
        QFETCH(int, answer);
        QFETCH(int, left);
        chooseNode(kRecent);
        Prompter::reset();
        Prompter::pushAnswer(answer);
        trigger("mnuCtxAddressBookClear");
        QCOMPARE(boxes(), QStringList{box(16046, 16047, Msg::YesNo | Msg::Question)});
        QCOMPARE(gRecentBooks[0]->getContactNum(), std::int16_t(left));
        QCOMPARE(gRecentBooks[1]->getContactNum(), std::int16_t(0));
    }

    // A second Other info refills the same card; nothing of the first stays.
    void otherInfoFillsOneCard() {
        frmContactOtherInfo* card = nullptr;
        for (const auto& [tag, c] :
             {std::pair{kRecent, Contact{"Fay", "0123", {}, {}, {}, {}, "06/12/2026 21:40:00", {}}},
              std::pair{kLocal, Contact{"Ann", {}, "ann@example.org", {}, {}, {}, {}, "1"}}}) {
            selectRow(tag, c);
            trigger("mnuContactCtxOtherInfo");
            if (!card)
                card = frmContactOtherInfo::loadedInstance();
            QVERIFY(card && card->isVisible());
            QCOMPARE(frmContactOtherInfo::loadedInstance(), card);
            QCOMPARE(card->parentWidget(), m_form);
            QCOMPARE(card->abTag, tag);
            QCOMPARE(ctxtest::boxTexts(card), ctxtest::fields(c));
        }
        QVERIFY(Prompter::records().isEmpty());
    }

    // Each row: the command, the chosen node, the book of the selected row
    // (Bob or Dora, id 2), the answer, the boxes asked, each book's change
    // ("N=row" replaced, "-N" removed, "+row" added) and the list after.
    // A write lists the chosen node again; anything else leaves the list
    // alone, except Add contact, which always lists the chosen node.
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
                      add = "mnuCtxAddressBookAddContact";
        const QString ann = "Ann|555|ann@example.org|||||1", bob = "Bob|666|||||note|2";
        const QStringList none, local{ann, "Bob|666||||||2"}, askLocal{"ok/Tamrivo/4"},
            askDb{box(16040, 16041, Msg::YesNo)};
        QTest::newRow("edit Local saved") << edit << kLocal << kLocal << "save" << none
                                          << "1=2|Bob|+39|<null>|<null>|<null>|<null>|note"
                                          << "" << QStringList{ann, "Bob|+39|||||note|2"};
        // A Database row (as from a search) is edited in its own book.
        QTest::newRow("edit Database saved") << edit << kLocal << kDatabase << "save" << none << ""
                                             << "1=2|Dora|+39|<null>|<null>|<null>" << local;
        for (const char* how : {"cancel", "escape", "close"})
            for (const QString& tag : {kLocal, kDatabase})
                QTest::addRow("edit %s %s", tag == kLocal ? "Local" : "Database", how)
                    << edit << kLocal << tag << how << none << ""
                    << "" << QStringList{tag == kLocal ? bob : "Dora|888|||||note|2"};
        QTest::newRow("remove Local yes") << remove << kLocal << kLocal << "yes" << askLocal << "-1"
                                          << "" << QStringList{ann};
        QTest::newRow("remove Local no") << remove << kLocal << kLocal << "no" << askLocal << ""
                                         << "" << QStringList{bob};
        QTest::newRow("remove Database yes")
            << remove << kDatabase << kDatabase << "yes" << askDb << ""
            << "-1" << QStringList{"Carl|777||||||1"};
        QTest::newRow("remove Database no")
            << remove << kDatabase << kDatabase << "no" << askDb << ""
            << "" << QStringList{"Dora|888|||||note|2"};
        QTest::newRow("add saved") << add << kLocal << kLocal << "save" << none
                                   << "+3||+39|<null>|<null>|<null>|<null>|<null>"
                                   << "" << local + QStringList{"|+39||||||3"};
        QTest::newRow("add cancelled") << add << kLocal << kLocal << "cancel" << none << ""
                                       << "" << local;
        QTest::newRow("add refused")
            << add << kRecent << kLocal << "" << QStringList{box(16042, 16043, Msg::Critical)} << ""
            << "" << QStringList{"Fay|0123||||||", "Fay|0123||||||"};
        QTest::newRow("clear yes")
            << "mnuCtxAddressBookClear" << kRecent << kLocal << "yes"
            << QStringList{box(16046, 16047, Msg::YesNo | Msg::Question)} << ""
            << "" << QStringList{bob};
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
        chooseNode(node);
        const Contact row{tag == kLocal ? "Bob" : "Dora",
                          tag == kLocal ? "666" : "888",
                          {},
                          {},
                          {},
                          {},
                          "note",
                          "2"};
        selectRow(tag, row);
        DialogDriver dialog;
        script(dialog, answer);
        Trace trace;
        trigger(command);
        QCOMPARE(boxes(), prompts);
        const bool dialogShown = command != "mnuContactCtxRemove" && node != kRecent;
        QCOMPARE(dialog.shown(), dialogShown ? 1 : 0);
        if (command == "mnuContactCtxEdit")
            QCOMPARE(dialog.shownBoxes().value(0), ctxtest::fields(row));
        if (localChange.isEmpty() && dbChange.isEmpty())
            QVERIFY(trace.sent.filter(QRegularExpression("^(INSERT|UPDATE|DELETE)")).isEmpty());
        QCOMPARE(localRows(m_local->filename), changed(m_localStart, localChange));
        QCOMPARE(databaseRows(), changed(m_dbStart, dbChange));
        QCOMPARE(listRows(), list);
    }
};

QTEST_MAIN(TestContext)
#include "tst_context.moc"
