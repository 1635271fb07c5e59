// The contact-list and address-book context commands on a loaded main window
// with a real Local book and Database books on an SQLite ODBC data source.

#include "../addressbooks/booktestutil.h"
#include "addressbooks/contactedits.h"
#include "addressbooks/dbfunctions.h"
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
#include <QMouseEvent>
#include <QTreeWidget>
#include <QtTest>

using namespace booktest;
using ctxtest::DialogDriver;

namespace {

const QString kLocal = QStringLiteral("0|O|0");
const QString kDatabase = QStringLiteral("0|D|0");
const QString kReadOnly = QStringLiteral("0|D|1");
const QString kRecent = QStringLiteral("0|R|0");
const QString kLDAP = QStringLiteral("0|L|0");

QStringList boxes() {
    QStringList out;
    for (const auto& r : Prompter::records())
        out << r.text + u'/' + r.title + u'/' + QString::number(r.flags);
    return out;
}

QString box(int text, int title, int flags) {
    return loadResString(text) + u'/' + loadResString(title) + u'/' + QString::number(flags);
}

// The list's rows as "name|telephone|...|contact id".
QStringList listRows(QWidget* form) {
    auto* list = form->findChild<QTreeWidget*>(QStringLiteral("lvContactList"));
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList f;
        for (int c = 0; c < 8; ++c)
            f << list->topLevelItem(i)->text(c);
        out << f.join(u'|');
    }
    return out;
}

QString cell(const Recordset& rs, int i) {
    return rs.isNull(i) ? QStringLiteral("<null>") : rs.text(i);
}

QStringList rowsOf(Recordset rs) {
    QStringList out;
    for (; !rs.isEOF(); rs.MoveNext()) {
        QStringList row;
        for (int i = 0; i < rs.fieldCount(); ++i)
            row << cell(rs, i);
        out << row.join(u'|');
    }
    return out;
}

QStringList localRows(const QString& file) {
    return rowsOf(queryLocalBook(
        file, QStringLiteral("SELECT ID,NAME,TELEPHONE,TELEPHONE2,TELEPHONE3,EMAIL,EMAIL2,FREETEXT "
                             "FROM TAMRIVO ORDER BY ID")));
}

QStringList databaseRows(const QString& dsn) {
    DbSession s(DbSession::Kind::Odbc, QStringLiteral("DSN=") + dsn);
    return rowsOf(s.openRecordset(
        QStringLiteral("SELECT Id,Name,Phone,Mobile,Office,Mail FROM People ORDER BY Id")));
}

Contact contact(const QString& name, const QString& tel, const QString& email, const QString& id) {
    Contact c;
    c.name = name;
    c.telephone = tel;
    c.email = email;
    c.contactid = id;
    return c;
}

} // namespace

class TestContext : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void refusals_data();
    void refusals();
    void noSelectedRowDoesNothing();
    void sendEMail_data();
    void sendEMail();
    void edit_data();
    void edit();
    void editFailureIsReported();
    void remove_data();
    void remove();
    void addKeepsTheLastTexts();
    void addDoesNotBringTheBookMenuBack();
    void clearRecentBook_data();
    void clearRecentBook();
    void otherInfoFillsOneCard();
    void listAfterTheCommand_data();
    void listAfterTheCommand();

private:
    void trigger(const char* action);
    QTreeWidgetItem* chooseNode(const QString& tag, Qt::MouseButton button = Qt::LeftButton);
    void selectRow(const QString& tag, const Contact& c);

    std::unique_ptr<TestEnv> m_env;
    frmMain* m_form = nullptr;
    std::shared_ptr<LocalAddressBook> m_local;
    QStringList m_localStart;
    QStringList m_dbStart;
};

void TestContext::init() {
    m_env = std::make_unique<TestEnv>();
    gPreferences = std::make_shared<Preferences>();
    m_local = addLocalBook(
        *m_env, QStringLiteral("People.lab"),
        {{QStringLiteral("Ann"), QStringLiteral("555"), {}, {}, QStringLiteral("ann@example.org")},
         {QStringLiteral("Bob"), QStringLiteral("666"), {}, {}, {}}});
    addDatabaseBook(*m_env, QStringLiteral("crm"),
                    {{QStringLiteral("Carl"), QStringLiteral("777"), {}, {}, {}},
                     {QStringLiteral("Dora"), QStringLiteral("888"), {}, {}, {}}})
        ->readonly = false;
    addDatabaseBook(*m_env, QStringLiteral("crmro"),
                    {{QStringLiteral("Eve"), QStringLiteral("999"), {}, {}, {}}})
        ->readonly = true;
    for (const char* n : {"Last Dialed", "Last Received", "Last Not Answered"}) {
        auto b = std::make_shared<TmpAddressBook>();
        b->addressBookName = QLatin1String(n);
        gRecentBooks.append(b);
    }
    auto logged =
        std::make_shared<Contact>(contact(QStringLiteral("Fay"), QStringLiteral("0123"), {}, {}));
    gRecentBooks[0]->addContact(logged);
    gRecentBooks[0]->addContact(logged);
    m_localStart = localRows(m_local->filename);
    m_dbStart = databaseRows(QStringLiteral("crm"));

    m_form = new frmMain;
    gMainForm = m_form;
    m_form->Form_Load();
    m_form->resize(800, 600);
    m_form->show();
    Prompter::reset();
}

void TestContext::cleanup() {
    delete m_form;
    m_form = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_env.reset();
}

void TestContext::trigger(const char* action) {
    auto* a = m_form->findChild<QAction*>(QLatin1String(action));
    QVERIFY2(a, action);
    a->trigger();
}

// A node carrying the tag, chosen by a click as the user does.
QTreeWidgetItem* TestContext::chooseNode(const QString& tag, Qt::MouseButton button) {
    auto* tree = m_form->findChild<QTreeWidget*>(QStringLiteral("tvAddressBookTree"));
    auto* node = new QTreeWidgetItem(QStringList{tag});
    node->setData(0, frmMain::TagRole, tag);
    tree->addTopLevelItem(node);
    const QPoint p = tree->visualItemRect(node).center();
    QTest::mouseClick(tree->viewport(), button, Qt::NoModifier, p);
    return node;
}

void TestContext::selectRow(const QString& tag, const Contact& c) {
    auto* list = m_form->findChild<QTreeWidget*>(QStringLiteral("lvContactList"));
    list->clear();
    auto* row = new QTreeWidgetItem(QStringList{c.name, c.telephone, c.email, c.telephone2,
                                                c.telephone3, c.email2, c.freetext, c.contactid});
    row->setData(0, frmMain::TagRole, tag);
    list->addTopLevelItem(row);
    row->setSelected(true);
}

void TestContext::refusals_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("expected");
    const QString readOnly = box(16038, 16039, Msg::Critical);
    const QString cantClear = box(16044, 16045, Msg::Critical);
    QTest::newRow("edit recent") << "mnuContactCtxEdit" << kRecent << QStringList{readOnly};
    QTest::newRow("edit read-only") << "mnuContactCtxEdit" << kReadOnly << QStringList{readOnly};
    QTest::newRow("edit LDAP") << "mnuContactCtxEdit" << kLDAP << QStringList{};
    QTest::newRow("edit unknown kind") << "mnuContactCtxEdit"
                                       << "1|X|0" << QStringList{};
    QTest::newRow("remove recent") << "mnuContactCtxRemove" << kRecent << QStringList{readOnly};
    QTest::newRow("remove read-only")
        << "mnuContactCtxRemove" << kReadOnly << QStringList{readOnly};
    QTest::newRow("remove LDAP") << "mnuContactCtxRemove" << kLDAP << QStringList{};
    QTest::newRow("add recent") << "mnuCtxAddressBookAddContact" << kRecent
                                << QStringList{box(16042, 16043, Msg::Critical)};
    QTest::newRow("add read-only")
        << "mnuCtxAddressBookAddContact" << kReadOnly << QStringList{readOnly};
    QTest::newRow("add LDAP") << "mnuCtxAddressBookAddContact" << kLDAP << QStringList{};
    QTest::newRow("add on root") << "mnuCtxAddressBookAddContact"
                                 << "" << QStringList{};
    QTest::newRow("clear Local") << "mnuCtxAddressBookClear" << kLocal << QStringList{cantClear};
    QTest::newRow("clear Database")
        << "mnuCtxAddressBookClear" << kDatabase << QStringList{cantClear};
    QTest::newRow("clear read-only")
        << "mnuCtxAddressBookClear" << kReadOnly << QStringList{cantClear};
    QTest::newRow("clear LDAP") << "mnuCtxAddressBookClear" << kLDAP << QStringList{cantClear};
    QTest::newRow("clear on root") << "mnuCtxAddressBookClear"
                                   << "" << QStringList{};
}

// Refusals come before any dialog and write nothing.
void TestContext::refusals() {
    QFETCH(QString, command);
    QFETCH(QString, tag);
    QFETCH(QStringList, expected);
    chooseNode(tag);
    selectRow(tag, contact(QStringLiteral("Eve"), QStringLiteral("999"), {}, QStringLiteral("1")));
    Prompter::reset();
    DialogDriver dialog;
    Trace trace;
    trigger(command.toLatin1().constData());
    QCOMPARE(boxes(), expected);
    QCOMPARE(dialog.shown(), 0);
    QVERIFY(!trace.sent.join(u'\n').contains(QLatin1String("INSERT")));
    QVERIFY(!trace.sent.join(u'\n').contains(QLatin1String("UPDATE")));
    QVERIFY(!trace.sent.join(u'\n').contains(QLatin1String("DELETE")));
    QCOMPARE(gRecentBooks[0]->getContactNum(), std::int16_t(2));
    QCOMPARE(localRows(m_local->filename), m_localStart);
    QCOMPARE(databaseRows(QStringLiteral("crm")), m_dbStart);
}

void TestContext::noSelectedRowDoesNothing() {
    chooseNode(kLocal);
    auto* list = m_form->findChild<QTreeWidget*>(QStringLiteral("lvContactList"));
    selectRow(kLocal, contact(QStringLiteral("Ann"), QStringLiteral("555"),
                              QStringLiteral("ann@example.org"), QStringLiteral("1")));
    list->clearSelection();
    Prompter::reset();
    DialogDriver dialog;
    for (const char* a : {"mnuContactCtxEdit", "mnuContactCtxRemove", "mnuContactCtxOtherInfo",
                          "mnuContactCtxSendEMail"})
        trigger(a);
    QVERIFY(Prompter::records().isEmpty());
    QCOMPARE(dialog.shown(), 0);
    QVERIFY(Shell::opened().isEmpty());
    QVERIFY(!frmContactOtherInfo::loadedInstance());
    QCOMPARE(localRows(m_local->filename), m_localStart);
}

void TestContext::sendEMail_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("email");
    QTest::newRow("Local") << kLocal << "ann@example.org";
    QTest::newRow("recent, blanks kept") << kRecent << " ann @example.org ";
    QTest::newRow("LDAP") << kLDAP << "x@y.z";
    QTest::newRow("read-only") << kReadOnly << "eve@example.org";
    QTest::newRow("empty") << kLocal << "";
}

void TestContext::sendEMail() {
    QFETCH(QString, tag);
    QFETCH(QString, email);
    Contact c = contact(QStringLiteral("Ann"), QStringLiteral("555"), email, QStringLiteral("1"));
    c.email2 = QStringLiteral("second@example.org");
    selectRow(tag, c);
    trigger("mnuContactCtxSendEMail");
    if (email.isEmpty()) {
        QVERIFY(Shell::opened().isEmpty());
        return;
    }
    QCOMPARE(Shell::opened().size(), 1);
    QCOMPARE(Shell::opened().first(), Shell::mailto(email));
    QCOMPARE(Shell::opened().first().path(QUrl::FullyDecoded), email);
    QVERIFY(Prompter::records().isEmpty());
}

void TestContext::edit_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("written");
    for (const QString& tag : {kLocal, kDatabase}) {
        const char* book = tag == kLocal ? "Local" : "Database";
        QTest::addRow("%s saved", book) << tag << "save" << true;
        QTest::addRow("%s cancelled", book) << tag << "cancel" << false;
        QTest::addRow("%s escape", book) << tag << "escape" << false;
        QTest::addRow("%s closed by its frame", book) << tag << "close" << false;
    }
}

// The dialog comes up with the row; only Save writes, by the row's id.
void TestContext::edit() {
    QFETCH(QString, tag);
    QFETCH(QString, answer);
    QFETCH(bool, written);
    // The Local node is the chosen one: a Database row (as from a search) is
    // still edited in its own book.
    chooseNode(kLocal);
    // The second row of each book (id 2), tagged with its book.
    const bool local = tag == kLocal;
    Contact row =
        local ? contact(QStringLiteral("Bob"), QStringLiteral("666"), {}, QStringLiteral("2"))
              : contact(QStringLiteral("Dora"), QStringLiteral("888"), {}, QStringLiteral("2"));
    row.freetext = QStringLiteral("note");
    selectRow(tag, row);
    Prompter::reset();
    DialogDriver dialog;
    if (answer == u"save")
        dialog.push(DialogDriver::save(QStringLiteral("txtTelephone"), QStringLiteral("+39 02")));
    else if (answer == u"cancel")
        dialog.push(DialogDriver::cancel());
    else if (answer == u"escape")
        dialog.push(DialogDriver::escape());
    else
        dialog.push(DialogDriver::closeBox());
    Trace trace;
    trigger("mnuContactCtxEdit");
    QCOMPARE(dialog.shown(), 1);
    QCOMPARE(dialog.shownBoxes().first(), ctxtest::fields(row));
    QVERIFY(Prompter::records().isEmpty());
    const QString dialogMode = frmContact::instance()->closeMode();
    QCOMPARE(dialogMode, answer == u"save"    ? QStringLiteral("OK")
                         : answer == u"close" ? QString()
                                              : QStringLiteral("Cancel"));
    if (!written) {
        QVERIFY(trace.sent.isEmpty());
        QCOMPARE(localRows(m_local->filename), m_localStart);
        QCOMPARE(databaseRows(QStringLiteral("crm")), m_dbStart);
        return;
    }
    QStringList expected = local ? m_localStart : m_dbStart;
    expected[1] = local ? QStringLiteral("2|Bob|+39 02|<null>|<null>|<null>|<null>|note")
                        : QStringLiteral("2|Dora|+39 02|<null>|<null>|<null>");
    QCOMPARE(local ? localRows(m_local->filename) : databaseRows(QStringLiteral("crm")), expected);
    // The other kind of book is untouched.
    QCOMPARE(local ? databaseRows(QStringLiteral("crm")) : localRows(m_local->filename),
             local ? m_dbStart : m_localStart);
}

// A book that cannot be written: the error is told, nothing else happens.
void TestContext::editFailureIsReported() {
    chooseNode(kLocal);
    selectRow(kLocal,
              contact(QStringLiteral("Bob"), QStringLiteral("666"), {}, QStringLiteral("2")));
    QVERIFY(QFile::remove(m_local->filename));
    Prompter::reset();
    DialogDriver dialog;
    dialog.push(DialogDriver::save());
    trigger("mnuContactCtxEdit");
    QCOMPARE(dialog.shown(), 1);
    QCOMPARE(Prompter::records().size(), 1);
}

void TestContext::remove_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");
    const QString local = QStringLiteral("ok/Tamrivo/4");
    const QString database = box(16040, 16041, Msg::YesNo);
    QTest::newRow("Local yes") << kLocal << int(Msg::Yes) << local;
    QTest::newRow("Local no") << kLocal << int(Msg::No) << local;
    QTest::newRow("Database yes") << kDatabase << int(Msg::Yes) << database;
    QTest::newRow("Database no") << kDatabase << int(Msg::No) << database;
}

void TestContext::remove() {
    QFETCH(QString, tag);
    QFETCH(int, answer);
    QFETCH(QString, question);
    chooseNode(tag);
    const bool local = tag == kLocal;
    selectRow(tag, contact(local ? QStringLiteral("Ann") : QStringLiteral("Carl"), {}, {},
                           QStringLiteral("1")));
    Prompter::reset();
    Prompter::pushAnswer(answer);
    Trace trace;
    DialogDriver dialog;
    trigger("mnuContactCtxRemove");
    QCOMPARE(boxes(), QStringList{question});
    QCOMPARE(dialog.shown(), 0);
    if (answer == Msg::No) {
        QVERIFY(trace.sent.isEmpty());
        QCOMPARE(localRows(m_local->filename), m_localStart);
        QCOMPARE(databaseRows(QStringLiteral("crm")), m_dbStart);
        return;
    }
    QStringList expected = local ? m_localStart : m_dbStart;
    expected.removeFirst();
    QCOMPARE(local ? localRows(m_local->filename) : databaseRows(QStringLiteral("crm")), expected);
}

// Add contact opens the dialog as it was left: after an edit, with the
// edited contact's texts; saving adds a new row with them.
void TestContext::addKeepsTheLastTexts() {
    chooseNode(kLocal);
    Contact ann = contact(QStringLiteral("Ann"), QStringLiteral("555"),
                          QStringLiteral("ann@example.org"), QStringLiteral("1"));
    selectRow(kLocal, ann);
    DialogDriver dialog;
    dialog.push(DialogDriver::cancel());
    dialog.push(DialogDriver::save());
    trigger("mnuContactCtxEdit");
    trigger("mnuCtxAddressBookAddContact");
    QCOMPARE(dialog.shown(), 2);
    QCOMPARE(dialog.shownBoxes().at(1), ctxtest::fields(ann));
    QVERIFY(Prompter::records().isEmpty());
    QStringList expected = m_localStart;
    expected << QStringLiteral("3|Ann|555|<null>|<null>|ann@example.org|<null>|<null>");
    QCOMPARE(localRows(m_local->filename), expected);

    // Into the writable Database book, a contact typed afresh.
    chooseNode(kDatabase);
    dialog.push([](frmContact* d) {
        d->setValues(contact(QStringLiteral("Gus"), QStringLiteral("111"), {}, {}));
        DialogDriver::save()(d);
    });
    trigger("mnuCtxAddressBookAddContact");
    QStringList db = m_dbStart;
    db << QStringLiteral("3|Gus|111|<null>|<null>|<null>");
    QCOMPARE(databaseRows(QStringLiteral("crm")), db);
}

// The book menu pops up on a right click; after the add it stays closed.
void TestContext::addDoesNotBringTheBookMenuBack() {
    chooseNode(kLocal, Qt::RightButton);
    auto* menu = m_form->findChild<QMenu*>(QStringLiteral("mnuCtxAddressBook"));
    QVERIFY(menu->isVisible());
    menu->hide();
    DialogDriver dialog;
    dialog.push(DialogDriver::save(QStringLiteral("txtName"), QStringLiteral("Hal")));
    trigger("mnuCtxAddressBookAddContact");
    QCOMPARE(dialog.shown(), 1);
    QVERIFY(!menu->isVisible());
}

void TestContext::clearRecentBook_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("left");
    QTest::newRow("yes") << int(Msg::Yes) << 0;
    QTest::newRow("no") << int(Msg::No) << 2;
}

void TestContext::clearRecentBook() {
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

void TestContext::otherInfoFillsOneCard() {
    Contact c = contact(QStringLiteral("Fay"), QStringLiteral("0123"), {}, {});
    c.freetext = QStringLiteral("06/12/2026 21:40:00");
    selectRow(kRecent, c);
    trigger("mnuContactCtxOtherInfo");
    frmContactOtherInfo* card = frmContactOtherInfo::loadedInstance();
    QVERIFY(card);
    QVERIFY(card->isVisible());
    QCOMPARE(card->parentWidget(), m_form);
    QCOMPARE(card->abTag, kRecent);
    QCOMPARE(ctxtest::boxTexts(card), ctxtest::fields(c));
    QVERIFY(card->findChild<QLineEdit*>(QStringLiteral("txtName"))->isReadOnly());

    // A second Other info refills the same card; nothing of the first stays.
    Contact d =
        contact(QStringLiteral("Ann"), {}, QStringLiteral("ann@example.org"), QStringLiteral("1"));
    selectRow(kLocal, d);
    trigger("mnuContactCtxOtherInfo");
    QCOMPARE(frmContactOtherInfo::loadedInstance(), card);
    QCOMPARE(card->abTag, kLocal);
    QCOMPARE(ctxtest::boxTexts(card), ctxtest::fields(d));
    QVERIFY(Prompter::records().isEmpty());
}

// A write lists the chosen node again; anything else leaves the list alone,
// except Add contact, which always lists the chosen node.
void TestContext::listAfterTheCommand_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("node");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("rows");
    const QStringList selected{QStringLiteral("Bob|666||||||2")};
    const QStringList local{QStringLiteral("Ann|555|ann@example.org|||||1"),
                            QStringLiteral("Bob|666||||||2")};
    QTest::newRow("edit saved") << "mnuContactCtxEdit" << kLocal << "save"
                                << QStringList{local[0], QStringLiteral("Bob|+39||||||2")};
    QTest::newRow("edit cancelled") << "mnuContactCtxEdit" << kLocal << "cancel" << selected;
    QTest::newRow("remove yes") << "mnuContactCtxRemove" << kLocal << "yes"
                                << QStringList{local[0]};
    QTest::newRow("remove no") << "mnuContactCtxRemove" << kLocal << "no" << selected;
    QTest::newRow("add saved") << "mnuCtxAddressBookAddContact" << kLocal << "save"
                               << QStringList{local[0], local[1], QStringLiteral("|+39||||||3")};
    QTest::newRow("add cancelled") << "mnuCtxAddressBookAddContact" << kLocal << "cancel" << local;
    QTest::newRow("add refused") << "mnuCtxAddressBookAddContact" << kRecent << ""
                                 << QStringList{QStringLiteral("Fay|0123||||||"),
                                                QStringLiteral("Fay|0123||||||")};
    QTest::newRow("clear yes") << "mnuCtxAddressBookClear" << kRecent << "yes" << selected;
}

void TestContext::listAfterTheCommand() {
    QFETCH(QString, command);
    QFETCH(QString, node);
    QFETCH(QString, answer);
    QFETCH(QStringList, rows);
    chooseNode(node);
    selectRow(kLocal,
              contact(QStringLiteral("Bob"), QStringLiteral("666"), {}, QStringLiteral("2")));
    Prompter::reset();
    DialogDriver dialog;
    if (answer == u"save")
        dialog.push(DialogDriver::save(QStringLiteral("txtTelephone"), QStringLiteral("+39")));
    else if (answer == u"cancel")
        dialog.push(DialogDriver::cancel());
    else if (answer == u"yes")
        Prompter::pushAnswer(Msg::Yes);
    else if (answer == u"no")
        Prompter::pushAnswer(Msg::No);
    trigger(command.toLatin1().constData());
    QCOMPARE(listRows(m_form), rows);
}

QTEST_MAIN(TestContext)
#include "tst_context.moc"
