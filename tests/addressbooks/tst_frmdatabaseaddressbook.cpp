// The Database property dialog: its fields, tabs and the column mapping read
// from a real ODBC data source (an SQLite file through the SQLite3 driver).
#include "addressbooks/frmaddressbooks.h"
#include "addressbooks/frmdatabaseaddressbook.h"
#include "app/globals.h"
#include "app/strings.h"
#include "booktestutil.h"
#include "common/testenv.h"
#include "dialogdriver.h"
#include "platform/dbconnection.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QListWidget>
#include <QSlider>
#include <QTabBar>
#include <QTest>

using namespace dialogtest;
using namespace booktest;

namespace {

const QStringList kTables{
    "CREATE TABLE Staff (Id INTEGER PRIMARY KEY, FullName TEXT, Office TEXT, Mobile TEXT, "
    "Mail TEXT, Dept TEXT, City TEXT)",
    "CREATE TABLE Other (A TEXT, B TEXT)",
};
const QStringList kStaffColumns{"Id", "FullName", "Office", "Mobile", "Mail", "Dept", "City"};

std::shared_ptr<DatabaseAddressBook> sample() {
    auto b = std::make_shared<DatabaseAddressBook>();
    b->init();
    b->addressBookName = "Staff";
    b->dsn = "staffdb";
    b->User = "bob";
    b->password = "s;cr}t";
    b->tableName = "Staff";
    b->nameField = "FullName";
    b->telephoneField = "Office";
    b->emailField = "Mail";
    b->readonly = false;
    b->setGrouping("Dept,City");
    b->groupNum = 2;
    b->searchForCallerID = true;
    b->ringSound = "/snd/ring.wav";
    b->ringSoundInterval = 4;
    b->callPrefix = "9";
    b->contactid = "Id";
    b->telephone2 = "Mobile";
    b->telephone3 = "Fax";
    b->email2 = "Mail2";
    b->freetext = "Notes";
    return b;
}

QStringList items(QListWidget* l) {
    QStringList out;
    for (int i = 0; i < l->count(); ++i)
        out << l->item(i)->text();
    return out;
}

QStringList fieldsOf(const DatabaseAddressBook& b) {
    QStringList out;
    out << b.addressBookName << b.dsn << b.User << b.password << QString::number(b.groupNum)
        << b.Grouping() << b.tableName << b.telephoneField << b.emailField
        << QString::number(b.readonly) << b.nameField << QString::number(b.searchForCallerID)
        << b.ringSound << QString::number(b.ringSoundInterval) << b.callPrefix << b.contactid
        << b.telephone2 << b.telephone3 << b.email2 << b.freetext;
    return out;
}

const QStringList kMappingBoxes{"txtName", "txtTelephone", "txtEmail",  "txtContactID",
                                "txtTel2", "txtTel3",      "txtEmail2", "txtFreeText"};

} // namespace

class TstFrmDatabaseAddressBook : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;

    frmDatabaseAddressBook* dlg() { return frmDatabaseAddressBook::instance(); }
    QListWidget* list(const char* name) { return dlg()->findChild<QListWidget*>(name); }
    QPushButton* button(const char* name) { return dlg()->findChild<QPushButton*>(name); }
    QSlider* slider() { return dlg()->findChild<QSlider*>("sdRingInterval"); }

    // The dialog on book "Staff" with the columns read from the data source:
    // both lists filled, the mapping and grouping emptied.
    void readColumns() {
        addSqliteDataSource(*env, "staffdb", kTables);
        dlg()->setValues(sample());
        click(dlg(), "cmdGetTableInfo");
        QCOMPARE(items(list("lbFields")), kStaffColumns);
        QCOMPARE(items(list("lbFields2")), kStaffColumns);
        for (const QString& box : kMappingBoxes)
            QCOMPARE(text(dlg(), box), QString());
        QVERIFY(items(list("lbGrouping")).isEmpty());
        QVERIFY(Prompter::records().isEmpty());
    }

private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        setLanguage(Language::English);
    }
    void cleanup() {
        if (auto* d = frmDatabaseAddressBook::loadedInstance())
            d->unload();
        settle();
        env.reset();
    }

    void loadState() {
        auto shown = [this] {
            QString out;
            for (const char* f : {"TabFrm_0", "TabFrm_1", "TabFrm_2", "TabFrm_3"})
                out += dlg()->findChild<QFrame*>(f)->isHidden() ? '-' : '+';
            return out;
        };
        QCOMPARE(shown(), QStringLiteral("+---"));
        dlg()->findChild<QTabBar*>("TabStrip1")->setCurrentIndex(2);
        QCOMPARE(shown(), QStringLiteral("--+-"));
        QCOMPARE(dlg()->findChild<QLineEdit*>("txtPassword")->echoMode(), QLineEdit::Password);

        // Get Table Info only with a table name.
        QVERIFY(!button("cmdGetTableInfo")->isEnabled());
        setText(dlg(), "txtTableName", "T");
        QVERIFY(button("cmdGetTableInfo")->isEnabled());
        dlg()->Clear();
        QVERIFY(!button("cmdGetTableInfo")->isEnabled());
    }

    // OK without touching anything gives every field back unchanged.
    void valuesRoundTrip() {
        auto book = sample();
        dlg()->setValues(book);
        QCOMPARE(items(list("lbGrouping")), (QStringList{"Dept", "City"}));
        QVERIFY(items(list("lbFields")).isEmpty());
        QCOMPARE(text(dlg(), "txtTel3"), QStringLiteral("Fax"));
        QCOMPARE(slider()->value(), 4);
        QVERIFY(dlg()->getValues() == book);
        QCOMPARE(fieldsOf(*book), fieldsOf(*sample()));

        // A book whose list holds more names than levels in use shows only those.
        book->groupNum = 1;
        dlg()->setValues(book);
        QCOMPARE(items(list("lbGrouping")), QStringList{"Dept"});
        dlg()->getValues();
        QCOMPARE(book->groupNum, std::int16_t(1));
        QCOMPARE(book->Grouping().value(0), QStringLiteral("Dept"));
    }

    void readingColumnsFails_data() {
        QTest::addColumn<QString>("dsn");
        QTest::addColumn<QString>("table");
        for (const auto& [tag, dsn, table] :
             {std::tuple{"no such data source", "nosuchdsn", "Staff"},
              {"no such table", "staffdb", "Nothing"},
              {"a second statement", "staffdb", "Staff; DROP TABLE Other"}})
            QTest::newRow(tag) << QString(dsn) << QString(table);
    }
    void readingColumnsFails() {
        QFETCH(QString, dsn);
        QFETCH(QString, table);
        readColumns();
        list("lbFields")->setCurrentRow(1);
        click(dlg(), "cmdName");
        click(dlg(), "cmdGroupAdd");
        setText(dlg(), "txtDSN", dsn);
        setText(dlg(), "txtTableName", table);
        click(dlg(), "cmdGetTableInfo");
        QCOMPARE(Prompter::records().size(), 1);
        const auto box = Prompter::records().first();
        QCOMPARE(box.text, QStringLiteral("Error retrieving table information"));
        QCOMPARE(box.title, QStringLiteral("Error accessing the database"));
        QCOMPARE(box.flags, 0);
        QCOMPARE(items(list("lbFields")), kStaffColumns);
        QCOMPARE(text(dlg(), "txtName"), QStringLiteral("FullName"));
        QCOMPARE(items(list("lbGrouping")), QStringList{"FullName"});
        DBConnection c;
        c.dsn = "staffdb";
        QCOMPARE(c.getTableFields("Other"), (QStringList{"A", "B"}));
    }

    void mappingButtons_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("box");
        const char* buttons[] = {"cmdName", "cmdTelephone", "cmdEmail",  "cmdID",
                                 "cmdTel2", "CmdTel3",      "cmdEmail2", "cmdFreeText"};
        for (int i = 0; i < 8; ++i)
            QTest::newRow(buttons[i])
                << QString(buttons[i]) << (i < 3 ? "lbFields" : "lbFields2") << kMappingBoxes[i];
    }
    void mappingButtons() {
        QFETCH(QString, button);
        QFETCH(QString, list);
        QFETCH(QString, box);
        readColumns();
        // Nothing selected: nothing changes.
        setText(dlg(), box, "typed");
        click(dlg(), button);
        QCOMPARE(text(dlg(), box), QStringLiteral("typed"));
        // The other list's selection does not count.
        const QString other = list == "lbFields" ? "lbFields2" : "lbFields";
        dlg()->findChild<QListWidget*>(other)->setCurrentRow(2);
        click(dlg(), button);
        QCOMPARE(text(dlg(), box), QStringLiteral("typed"));
        dlg()->findChild<QListWidget*>(list)->setCurrentRow(4);
        click(dlg(), button);
        QCOMPARE(text(dlg(), box), QStringLiteral("Mail"));
        for (const QString& b : kMappingBoxes)
            QCOMPARE(text(dlg(), b).isEmpty(), b != box);
    }

    void grouping() {
        readColumns();
        click(dlg(), "cmdGroupAdd"); // nothing selected
        QVERIFY(items(list("lbGrouping")).isEmpty());
        for (int row : {6, 5, 6}) {
            list("lbFields")->setCurrentRow(row);
            click(dlg(), "cmdGroupAdd");
        }
        QCOMPARE(items(list("lbGrouping")), (QStringList{"City", "Dept", "City"}));
        click(dlg(), "cmdGroupRemove"); // nothing selected
        QCOMPARE(list("lbGrouping")->count(), 3);
        list("lbGrouping")->setCurrentRow(0);
        click(dlg(), "cmdGroupRemove");
        QCOMPARE(items(list("lbGrouping")), (QStringList{"Dept", "City"}));
        auto book = dlg()->getValues();
        QCOMPARE(book->groupNum, std::int16_t(2));
        QCOMPARE(book->Grouping(), (QStringList{"Dept", "City"}));

        // Every row removed: no levels, the names handed on as "".
        while (list("lbGrouping")->count() > 0) {
            list("lbGrouping")->setCurrentRow(0);
            click(dlg(), "cmdGroupRemove");
        }
        dlg()->getValues();
        QCOMPARE(book->groupNum, std::int16_t(0));
        QCOMPARE(book->Grouping(), (QStringList{"Dept", "City"}));
    }

    // Adding a book through the manager, mapped from the real table, then Close.
    void addMappedBookAndClose() {
        addSqliteDataSource(*env, "staffdb", kTables);
        gPreferences = std::make_shared<Preferences>();
        auto ran = whenModal("frmAddressBooks", [](QWidget* m) {
            whenModal("frmDatabaseAddressBook", [](QWidget* w) {
                setText(w, "txtAddressBookName", "Office");
                setText(w, "txtDSN", "staffdb");
                setText(w, "txtTableName", "Staff");
                click(w, "cmdGetTableInfo");
                auto* fields = w->findChild<QListWidget*>("lbFields");
                auto* fields2 = w->findChild<QListWidget*>("lbFields2");
                const QList<std::tuple<QListWidget*, int, QString>> clicks{
                    {fields, 1, "cmdName"},  {fields, 2, "cmdTelephone"},
                    {fields, 4, "cmdEmail"}, {fields, 5, "cmdGroupAdd"},
                    {fields2, 0, "cmdID"},   {fields2, 3, "cmdTel2"}};
                for (const auto& [list, row, b] : clicks) {
                    list->setCurrentRow(row);
                    click(w, b);
                }
                auto* readOnly = w->findChild<QCheckBox*>("cbReadOnly");
                QVERIFY(readOnly->isChecked()); // a new book starts read-only
                readOnly->setChecked(false);
                finish(w, "OK");
            });
            m->findChild<QAction*>("mnuAddAddressBookDatabase")->trigger();
            click(m, "cmdClose");
        });
        frmAddressBooks::showModal(nullptr);
        QVERIFY(*ran);
        QCOMPARE(gDBBooks.size(), 1);
        QVERIFY(!noDBBooks);
        // What the dialog mapped, as Close stored it.
        const QString stored =
            "number=1;AddressBookName0=Office;DSN0=staffdb;Tablename0=Staff;ReadOnly0=F;"
            "GroupNum0=1;Group0=Dept;NameField0=FullName;TelephoneField0=Office;"
            "EmailField0=Mail;contactID0=Id;2ndtelephone0=Mobile;3rdtelephone0=;"
            "ringSoundInterval0=1;callPrefix0=0";
        for (const QString& kv : stored.split(';')) {
            const QString key = kv.section('=', 0, 0);
            QCOMPARE(key + '=' + SettingsStore::instance().read("dbab", key, "<absent>"), kv);
        }
    }
};

QTEST_MAIN(TstFrmDatabaseAddressBook)
#include "tst_frmdatabaseaddressbook.moc"
