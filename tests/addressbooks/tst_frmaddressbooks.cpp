// The address-book manager driven through its controls, with the property
// dialogs answered from inside their modal loops.
#include "addressbooks/frmaddressbooks.h"
#include "addressbooks/frmdatabaseaddressbook.h"
#include "addressbooks/frmldapaddressbook.h"
#include "addressbooks/frmlocaladdressbook.h"
#include "app/globals.h"
#include "app/settings.h"
#include "app/strings.h"
#include "booktestutil.h"
#include "common/testenv.h"
#include "dialogdriver.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace dialogtest;

namespace {

void unloadDialogs() {
    if (auto* d = frmLDAPAddressBook::loadedInstance())
        d->unload();
    if (auto* d = frmLocalAddressBook::loadedInstance())
        d->unload();
    if (auto* d = frmDatabaseAddressBook::loadedInstance())
        d->unload();
    settle();
}

std::shared_ptr<LocalAddressBook> local(const QString& name, const QString& file = QString()) {
    auto b = std::make_shared<LocalAddressBook>();
    b->addressBookName = name;
    b->filename = file.isNull() ? name + QStringLiteral(".lab") : file;
    b->ringSoundInterval = 3;
    b->callPrefix = QStringLiteral("0");
    return b;
}

std::shared_ptr<LDAPAddressBook> ldap(const QString& name) {
    auto b = std::make_shared<LDAPAddressBook>();
    b->addressBookName = name;
    b->Server = QStringLiteral("ldap.example");
    return b;
}

std::shared_ptr<DatabaseAddressBook> database(const QString& name) {
    auto b = std::make_shared<DatabaseAddressBook>();
    b->init();
    b->addressBookName = name;
    b->dsn = QStringLiteral("crm");
    return b;
}

template <class Book> QStringList names(const QList<std::shared_ptr<Book>>& l) {
    QStringList out;
    for (const auto& b : l)
        out << b->addressBookName;
    return out;
}

// The names of the books of a kind, as the list's type column spells it.
QStringList names(const QString& type) {
    return type == "Local"      ? names(gLocalBooks)
           : type == "Database" ? names(gDBBooks)
                                : names(gLDAPBooks);
}

// Makes l the list of books of its kind.
void use(const QList<std::shared_ptr<LocalAddressBook>>& l) {
    gLocalBooks = l;
    noLocalBooks = false;
}
void use(const QList<std::shared_ptr<DatabaseAddressBook>>& l) {
    gDBBooks = l;
    noDBBooks = false;
}
void use(const QList<std::shared_ptr<LDAPAddressBook>>& l) {
    gLDAPBooks = l;
    noLDAPBooks = false;
}

} // namespace

class TstFrmAddressBooks : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    frmAddressBooks* manager = nullptr;

    frmAddressBooks* open() {
        manager = new frmAddressBooks;
        manager->Form_Load();
        manager->show();
        return manager;
    }
    QTreeWidget* list() { return manager->findChild<QTreeWidget*>("AddressBooksList"); }
    QStringList rows() {
        QStringList out;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            out << list()->topLevelItem(i)->text(0) + "|" + list()->topLevelItem(i)->text(1);
        return out;
    }
    // Adds a book of kind ("LDAP", "Database", "Local") through the Add menu.
    void add(const QString& kind, const QString& name, const QString& file = QString()) {
        whenModal("frm" + kind + "AddressBook", [=](QWidget* w) {
            setText(w, "txtAddressBookName", name);
            if (!file.isNull())
                setText(w, "txtFileName", file);
            finish(w, "OK");
        });
        trigger(kind == "LDAP" ? "mnuAddAddressBookLDAPServer"
                               : qPrintable("mnuAddAddressBook" + kind));
    }
    void select(int row) { list()->setCurrentItem(list()->topLevelItem(row)); }
    void trigger(const char* item) { manager->findChild<QAction*>(item)->trigger(); }
    bool enabled(const char* button) {
        return manager->findChild<QPushButton*>(button)->isEnabled();
    }

private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        setLanguage(Language::English);
    }
    void cleanup() {
        delete manager;
        manager = nullptr;
        unloadDialogs();
        env.reset();
    }

    // Each row goes in at the top; an empty flag hides a stale element.
    void listOrderAndEmptyFlags() {
        use({ldap("l0"), ldap("l1")});
        use({database("d0")});
        use({local("o0"), local("o1")});
        open();
        QCOMPARE(rows(), (QStringList{"o1|Local", "o0|Local", "d0|Database", "l1|LDAP Server",
                                      "l0|LDAP Server"}));
        QVERIFY(!enabled("cmdProperties") && !enabled("cmdDelete") && enabled("cmdAdd"));
        select(2);
        QVERIFY(enabled("cmdProperties"));
        QVERIFY(enabled("cmdDelete"));
        manager->deleteLater();
        manager = nullptr;
        settle();

        noDBBooks = true; // gDBBooks still holds d0
        open();
        QCOMPARE(rows(), (QStringList{"o1|Local", "o0|Local", "l1|LDAP Server", "l0|LDAP Server"}));
    }

    void addMenuPopsUpAtTheAddButton() {
        open();
        click(manager, "cmdAdd");
        auto* menu = manager->findChild<QMenu*>("mnuAddAddressBook");
        QTRY_VERIFY(menu->isVisible());
        // Its top-left corner at the Add button's top-right corner.
        auto* add = manager->findChild<QPushButton*>("cmdAdd");
        QCOMPARE(menu->pos(), add->mapToGlobal(QPoint(add->width(), 0)));
        menu->hide();
    }

    // Every kind, every way of ending the dialog: only OK stores the book.
    void addBook_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("stored");
        const QList<QPair<QString, QString>> kinds{
            {"mnuAddAddressBookLDAPServer", "frmLDAPAddressBook"},
            {"mnuAddAddressBookDatabase", "frmDatabaseAddressBook"},
            {"mnuAddAddressBookLocal", "frmLocalAddressBook"}};
        for (const auto& k : kinds) {
            for (const QString how : {"OK", "Enter", "Cancel", "Escape", "box"}) {
                const bool ok = how == "OK" || how == "Enter";
                QTest::addRow("%s %s", qPrintable(k.second), qPrintable(how))
                    << k.first << k.second << how << ok;
            }
        }
    }
    void addBook() {
        QFETCH(QString, item);
        QFETCH(QString, dialog);
        QFETCH(QString, how);
        QFETCH(bool, stored);
        open();
        auto ran = whenModal(dialog, [how](QWidget* w) {
            setText(w, "txtAddressBookName", "New");
            finish(w, how);
        });
        trigger(item.toLatin1().constData());
        QVERIFY(*ran);
        const QString type = dialog == "frmLDAPAddressBook"    ? "LDAP Server"
                             : dialog == "frmLocalAddressBook" ? "Local"
                                                               : "Database";
        QCOMPARE(rows(), stored ? QStringList{"New|" + type} : QStringList());
        QCOMPARE(noLDAPBooks, !(stored && type == "LDAP Server"));
        QCOMPARE(noDBBooks, !(stored && type == "Database"));
        QCOMPARE(noLocalBooks, !(stored && type == "Local"));
        if (stored)
            QCOMPARE(names(type), QStringList{"New"});
        // The window box unloads the dialog; the others only hide it.
        const bool loaded = frmLDAPAddressBook::loadedInstance() ||
                            frmLocalAddressBook::loadedInstance() ||
                            frmDatabaseAddressBook::loadedInstance();
        QCOMPARE(loaded, how != "box");
    }

    void addWithAnExistingNameReplacesThatBook() {
        auto a = local("A");
        use({a, local("B")});
        use({ldap("A")});
        open();
        add("Local", "A", "other.lab");
        QCOMPARE(names(gLocalBooks), (QStringList{"A", "B"}));
        QVERIFY(gLocalBooks[0] != a);
        QCOMPARE(gLocalBooks[0]->filename, QStringLiteral("other.lab"));
        QCOMPARE(rows(), (QStringList{"B|Local", "A|Local", "A|LDAP Server"}));

        // The same name in another kind is another book.
        add("Database", "A");
        QCOMPARE(rows(), (QStringList{"B|Local", "A|Local", "A|Database", "A|LDAP Server"}));
    }

    // Each Local add makes a new record, even after an edit.
    void localAddAfterEditMakesANewRecord() {
        auto a = local("A");
        use({a});
        open();
        select(0);
        whenModal("frmLocalAddressBook", [](QWidget* w) {
            QCOMPARE(text(w, "txtAddressBookName"), QStringLiteral("A"));
            finish(w, "OK");
        });
        click(manager, "cmdProperties");
        whenModal("frmLocalAddressBook", [](QWidget* w) {
            QCOMPARE(text(w, "txtAddressBookName"), QString());
            QCOMPARE(text(w, "txtFileName"), QString());
            setText(w, "txtAddressBookName", "C");
            finish(w, "OK");
        });
        trigger("mnuAddAddressBookLocal");
        QCOMPARE(names(gLocalBooks), (QStringList{"A", "C"}));
        QVERIFY(gLocalBooks[0] == a);
        QCOMPARE(a->filename, QStringLiteral("A.lab"));
    }

    void deleteRemovesTheFirstBookOfThatKindAndName() {
        auto first = local("A"), second = local("A", "second.lab"), b = local("B");
        use({first, second, b});
        use({database("A")});
        open();
        QCOMPARE(rows().at(1), QStringLiteral("A|Local"));
        select(1);
        click(manager, "cmdDelete");
        QCOMPARE(gLocalBooks, (QList<std::shared_ptr<LocalAddressBook>>{second, b}));
        QCOMPARE(names(gDBBooks), QStringList{"A"});
        QCOMPARE(rows(), (QStringList{"B|Local", "A|Local", "A|Database"}));
        // No row selected after the rebuild: Delete does nothing.
        click(manager, "cmdDelete");
        QCOMPARE(gLocalBooks.size(), 2);

        // The last book of a kind only sets the flag; the next add becomes index 0.
        select(2);
        click(manager, "cmdDelete");
        QVERIFY(noDBBooks);
        add("Database", "C");
        QVERIFY(!noDBBooks);
        QCOMPARE(names(gDBBooks), QStringList{"C"});
    }

    // Edits change the book in its own slot, whatever its new name.
    void editKeepsTheBookInItsSlot_data() {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"LDAP", "Database", "Local"})
            QTest::newRow(kind) << QString(kind);
    }
    void editKeepsTheBookInItsSlot() {
        QFETCH(QString, kind);
        gLDAPBooks = {ldap("X"), ldap("Y")};
        gDBBooks = {database("X"), database("Y")};
        gLocalBooks = {local("X"), local("Y")};
        noLDAPBooks = noDBBooks = noLocalBooks = false;
        const auto ldapX = gLDAPBooks[0];
        const auto localX = gLocalBooks[0];
        const auto dbX = gDBBooks[0];
        const QString type = kind == "LDAP" ? QString("LDAP Server") : kind;
        const QString dialog = "frm" + kind + "AddressBook";
        open();
        select(rows().indexOf("Y|" + type));
        // Renamed onto the other book's name: both books stay, X untouched.
        whenModal(dialog, [](QWidget* w) {
            QCOMPARE(text(w, "txtAddressBookName"), QStringLiteral("Y"));
            setText(w, "txtAddressBookName", "X");
            finish(w, "OK");
        });
        click(manager, "cmdProperties");
        QCOMPARE(names(type), (QStringList{"X", "X"}));
        QVERIFY(gLDAPBooks[0] == ldapX && gLocalBooks[0] == localX && gDBBooks[0] == dbX);
        QCOMPARE(gLDAPBooks[1]->Server, QStringLiteral("ldap.example"));
        QCOMPARE(gLocalBooks[1]->filename, QStringLiteral("Y.lab"));

        // Both books named X are offered, in list order, each renamed in place.
        select(rows().indexOf("X|" + type));
        int shown = 0;
        auto rename = [&shown](QWidget* w) {
            setText(w, "txtAddressBookName", ++shown == 1 ? "Z" : "W");
            finish(w, "OK");
        };
        whenModal(dialog, [=](QWidget* w) {
            rename(w);
            whenModal(dialog, rename);
        });
        click(manager, "cmdProperties");
        QCOMPARE(shown, 2);
        QCOMPARE(names(type), (QStringList{"Z", "W"}));
    }

    void editCancelledChangesNothing_data() {
        QTest::addColumn<QString>("how");
        for (const char* how : {"Cancel", "Escape", "box"})
            QTest::newRow(how) << QString(how);
    }
    void editCancelledChangesNothing() {
        QFETCH(QString, how);
        auto a = local("A");
        use({a});
        open();
        select(0);
        whenModal("frmLocalAddressBook", [how](QWidget* w) {
            setText(w, "txtAddressBookName", "Changed");
            setText(w, "txtFileName", "changed.lab");
            finish(w, how);
        });
        click(manager, "cmdProperties");
        QCOMPARE(gLocalBooks.size(), 1);
        QVERIFY(gLocalBooks[0] == a);
        QCOMPARE(a->addressBookName, QStringLiteral("A"));
        QCOMPARE(a->filename, QStringLiteral("A.lab"));
        QCOMPARE(rows(), QStringList{"A|Local"});
    }

    void doubleClickEdits() {
        auto d = database("D");
        use({d});
        open();
        // A real double click: the rows are rebuilt under the mouse.
        QVERIFY(QTest::qWaitForWindowExposed(manager));
        const QPoint at = list()->visualItemRect(list()->topLevelItem(0)).center();
        auto ran = whenModal("frmDatabaseAddressBook", [](QWidget* w) {
            setText(w, "txtTableName", "Staff");
            finish(w, "OK");
        });
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(*ran);
        QCOMPARE(d->tableName, QStringLiteral("Staff"));
        QCOMPARE(rows(), QStringList{"D|Database"});
    }

    // Rows keep working in the other language: the type texts come from the table.
    void italianTypeTexts() {
        setLanguage(Language::Italian);
        use({local("A")});
        open();
        QCOMPARE(rows(), QStringList{"A|Locale"});
        select(0);
        click(manager, "cmdDelete");
        QVERIFY(noLocalBooks);
        setLanguage(Language::English);
    }

    // Changes are in memory at once; only Close writes them, the window box doesn't.
    void settingsWrittenOnlyOnClose() {
        gPreferences = std::make_shared<Preferences>();
        SettingsStore& store = SettingsStore::instance();
        auto ran = whenModal("frmAddressBooks", [](QWidget* m) {
            whenModal("frmLocalAddressBook", [](QWidget* w) {
                setText(w, "txtAddressBookName", "Home");
                setText(w, "txtFileName", "/tmp/home.lab");
                finish(w, "OK");
            });
            m->findChild<QAction*>("mnuAddAddressBookLocal")->trigger();
            QVERIFY(!SettingsStore::instance().hasSection("lab"));
            m->close();
        });
        frmAddressBooks::showModal(nullptr);
        QVERIFY(*ran);
        QVERIFY(!frmAddressBooks::current());
        QCOMPARE(names(gLocalBooks), QStringList{"Home"});
        QVERIFY(!store.hasSection("lab"));

        ran = whenModal("frmAddressBooks", [](QWidget* m) {
            // A second request while open only brings the window forward.
            QCOMPARE(frmAddressBooks::current(), m);
            frmAddressBooks::showModal(nullptr);
            // No Cancel button: Escape neither closes the window nor skips the save.
            QTest::keyClick(m->findChild<QTreeWidget*>("AddressBooksList"), Qt::Key_Escape);
            QTest::keyClick(m, Qt::Key_Escape);
            QVERIFY(m->isVisible());
            click(m, "cmdClose");
        });
        frmAddressBooks::showModal(nullptr);
        QVERIFY(*ran);
        QCOMPARE(store.read("lab", "number", ""), QStringLiteral("1"));
        QCOMPARE(store.read("lab", "AddressBookName0", ""), QStringLiteral("Home"));
        QCOMPARE(store.read("lab", "FileName0", ""), QStringLiteral("/tmp/home.lab"));
        QCOMPARE(store.read("dbab", "number", ""), QStringLiteral("0"));
    }

    // A failed save is reported and the window stays open.
    void failedSaveKeepsTheWindowOpen() {
        gPreferences = std::make_shared<Preferences>();
        QFile blocker(env->file("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        SettingsStore::instance().setPath(env->file("blocker/Tamrivo.ini"));
        bool stillOpen = false;
        auto ran = whenModal("frmAddressBooks", [&stillOpen](QWidget* m) {
            click(m, "cmdClose");
            stillOpen = m->isVisible();
            m->close();
        });
        frmAddressBooks::showModal(nullptr);
        QVERIFY(*ran);
        QVERIFY(stillOpen);
        QCOMPARE(Prompter::records().size(), 1);
        SettingsStore::instance().setPath(env->settingsPath());
    }
};

QTEST_MAIN(TstFrmAddressBooks)
#include "tst_frmaddressbooks.moc"
