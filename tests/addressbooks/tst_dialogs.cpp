// The address-book manager and the book dialogs, driven through their named controls.
#include "addressbooks/frmaddressbooks.h"
#include "addressbooks/frmdatabaseaddressbook.h"
#include "addressbooks/frmldapaddressbook.h"
#include "addressbooks/frmlocaladdressbook.h"
#include "app/strings.h"
#include "booktestutil.h"
#include "common/widgettest.h"
#include "platform/filechooser.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabBar>
#include <QTreeWidget>

using namespace booktest;

static void setText(QWidget* w, const char* box, const QString& text) {
    child<QLineEdit>(w, box)->setText(text);
}
template <class Book> QStringList names(const QList<std::shared_ptr<Book>>& l, bool empty) {
    QStringList out;
    for (int i = 0; i < (empty ? 0 : l.size()); ++i)
        out << l[i]->addressBookName;
    return out;
}
// Runs act inside the manager, opened modally, then closes it.
static void inManager(const std::function<void(QWidget*)>& act) {
    whenModal("frmAddressBooks", [act](QWidget* m) {
        act(m);
        if (m->isVisible())
            m->close();
    });
    frmAddressBooks::showModal(nullptr);
    settle();
}

class TstDialogs : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;
private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        setLanguage(Language::English);
        gPreferences = std::make_shared<Preferences>();
    }
    void cleanup() {
        for (BookDialog* d : std::initializer_list<BookDialog*>{
                 frmDatabaseAddressBook::loadedInstance(), frmLocalAddressBook::loadedInstance(),
                 frmLDAPAddressBook::loadedInstance()})
            if (d)
                d->unload();
        settle();
        env.reset();
    }
    // Every kind, every way out: only OK stores the book.
    void addBook_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("how");
        for (const char* kind : {"LDAP", "Database", "Local"}) // box: the window's close box
            for (const char* how : {"OKButton", "CancelButton", "Escape", "box"})
                QTest::addRow("%s %s", kind, how) << QString(kind) << QString(how);
    }
    void addBook() {
        QFETCH(QString, kind);
        QFETCH(QString, how);
        QStringList shown;
        inManager([&](QWidget* m) {
            whenModal("frm" + kind + "AddressBook", [how](QWidget* w) {
                setText(w, "txtAddressBookName", "New");
                how == "box"      ? void(w->close())
                : how == "Escape" ? QTest::keyClick(w, Qt::Key_Escape)
                                  : click(w, qPrintable(how));
            });
            child(m, qPrintable("mnuAddAddressBook" + (kind == "LDAP" ? "LDAPServer" : kind)))
                ->trigger();
            auto* list = child<QTreeWidget>(m, "AddressBooksList");
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                shown << list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1);
        });
        const QString row = "New|" + (kind == "LDAP" ? "LDAP Server" : kind);
        QCOMPARE(shown, how == "OKButton" ? QStringList{row} : QStringList());
        QCOMPARE(names(gLDAPBooks, noLDAPBooks) + names(gDBBooks, noDBBooks) +
                     names(gLocalBooks, noLocalBooks),
                 how == "OKButton" ? QStringList{"New"} : QStringList());
    }
    // An edit keeps its slot; Delete takes the first of the name; only Close saves.
    void editDeleteAndClose() {
        for (const char* n : {"A", "B", "A"}) {
            auto b = std::make_shared<LocalAddressBook>();
            b->addressBookName = n;
            b->filename = QString(n) + ".lab";
            gLocalBooks.append(b);
        }
        noLocalBooks = false;
        const auto second = gLocalBooks[1];
        inManager([&](QWidget* m) {
            auto* list = child<QTreeWidget>(m, "AddressBooksList");
            list->setCurrentItem(list->topLevelItem(1));
            whenModal("frmLocalAddressBook", [](QWidget* w) {
                QCOMPARE(child<QLineEdit>(w, "txtFileName")->text(), QStringLiteral("B.lab"));
                setText(w, "txtAddressBookName", "A");
                click(w, "OKButton");
            });
            click(m, "cmdProperties");
            QVERIFY(gLocalBooks[1] == second && second->addressBookName == "A");
            list->setCurrentItem(list->topLevelItem(0)); // the first "A"
            click(m, "cmdDelete");
            QVERIFY(gLocalBooks[0] == second);
        });
        QVERIFY(!SettingsStore::instance().hasSection("lab"));
        inManager([](QWidget* m) { click(m, "cmdClose"); });
        QCOMPARE(SettingsStore::instance().read("lab", "FileName0", ""), QStringLiteral("B.lab"));
        QCOMPARE(SettingsStore::instance().read("lab", "number", ""), QStringLiteral("2"));
    }
    // Mapped from the real table; a name that is no plain SQL name keeps it open.
    void databaseBookMappedAndChecked() {
        addSqliteDataSource(*env, "staffdb",
                            {"CREATE TABLE Staff (Id INTEGER PRIMARY KEY, FullName TEXT, "
                             "Office TEXT, Mobile TEXT, Mail TEXT, Dept TEXT)"});
        bool keptOpen = false;
        inManager([&](QWidget* m) {
            whenModal("frmDatabaseAddressBook", [&](QWidget* w) {
                setText(w, "txtAddressBookName", "Office");
                setText(w, "txtDSN", "staffdb");
                setText(w, "txtTableName", "Staff");
                click(w, "cmdGetTableInfo");
                auto* fields = child<QListWidget>(w, "lbFields");
                auto* fields2 = child<QListWidget>(w, "lbFields2");
                QCOMPARE(fields->count(), 6);
                const QList<std::tuple<QListWidget*, int, const char*>> clicks{
                    {fields, 1, "cmdName"},     {fields, 2, "cmdTelephone"},
                    {fields, 4, "cmdEmail"},    {fields, 5, "cmdGroupAdd"},
                    {fields, 1, "cmdGroupAdd"}, {fields2, 0, "cmdID"},
                    {fields2, 3, "cmdTel2"}};
                for (const auto& [list, row, button] : clicks) {
                    list->setCurrentRow(row);
                    click(w, button);
                }
                child<QListWidget>(w, "lbGrouping")->setCurrentRow(1);
                click(w, "cmdGroupRemove");
                child<QCheckBox>(w, "cbReadOnly")->setChecked(false);
                setText(w, "txtFreeText", "Notes; DROP TABLE Staff");
                click(w, "OKButton");
                keptOpen = w->isVisible();
                QVERIFY(
                    Prompter::records().value(0).text.startsWith("3146 The address book 'Office'"));
                setText(w, "txtFreeText", "");
                // Reading the columns again fails: what was mapped stays.
                setText(w, "txtTableName", "Nothing");
                click(w, "cmdGetTableInfo");
                QCOMPARE(Prompter::records().value(1).text,
                         QStringLiteral("Error retrieving table information"));
                setText(w, "txtTableName", "Staff");
                click(w, "OKButton");
            });
            child(m, "mnuAddAddressBookDatabase")->trigger();
            click(m, "cmdClose");
        });
        QVERIFY(keptOpen);
        const QString stored =
            "number=1;AddressBookName0=Office;DSN0=staffdb;Tablename0=Staff;ReadOnly0=F;"
            "GroupNum0=1;Group0=Dept;NameField0=FullName;TelephoneField0=Office;"
            "EmailField0=Mail;contactID0=Id;2ndtelephone0=Mobile;3rdtelephone0=;freetext0=";
        for (const QString& kv : stored.split(';')) {
            const QString key = kv.section('=', 0, 0);
            QCOMPARE(key + '=' + SettingsStore::instance().read("dbab", key, "<absent>"), kv);
        }
    }
    // A stored book shows the grouping levels in use only, its password hidden.
    void directDialogs() {
        auto b = std::make_shared<DatabaseAddressBook>(people());
        b->setGrouping("Dept,City");
        b->groupNum = 1;
        frmDatabaseAddressBook* d = frmDatabaseAddressBook::instance();
        QCOMPARE(child<QLabel>(d, "lblRingInterval")->text(), "1 Secs"); // before any book
        d->setValues(b);
        const auto* levels = child<QListWidget>(d, "lbGrouping");
        QVERIFY(levels->count() == 1 && levels->item(0)->text() == "Dept");
        QCOMPARE(child<QLineEdit>(d, "txtPassword")->echoMode(), QLineEdit::Password);
        QList<QSize> sizes; // every opening at one size, whichever tab was shown last
        for (int tab : {2, 0}) {
            whenModal("frmDatabaseAddressBook", [&](QWidget* w) {
                sizes << w->size();
                child<QTabBar>(w, "TabStrip1")->setCurrentIndex(tab), click(w, "OKButton");
            });
            d->showModal(nullptr);
        }
        QCOMPARE(sizes[1], sizes[0]);
        // Create New: ".lab" added unless there exactly; a real book; never over a file.
        frmLocalAddressBook* l = frmLocalAddressBook::instance();
        for (const char* name : {"x.LAB", "x.LAB.lab", "x.LAB"}) {
            FileChooser::pushAnswer(env->file(name));
            click(l, "cmdNew");
        }
        QCOMPARE(child<QLineEdit>(l, "txtFileName")->text(), env->file("x.LAB.lab"));
        QCOMPARE(queryLocalBook(env->file("x.LAB.lab"), "SELECT * FROM TAMRIVO").RecordCount(), 0);
        QCOMPARE(Prompter::records().size(), 2); // the second and third: it exists
        QVERIFY(Prompter::records().value(1).text.contains("already exists"));
    }
};

QTEST_MAIN(TstDialogs)
#include "tst_dialogs.moc"
