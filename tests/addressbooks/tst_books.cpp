// Search, caller-ID lookup and edits on real Local files and SQLite via ODBC.
#include "addressbooks/contactedits.h"
#include "addressbooks/search.h"
#include "app/strings.h"
#include "booktestutil.h"
#include "platform/prompter.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QSqlDatabase>
#include <QTest>

using namespace booktest;

// "name number tag" of a lookup; a number or tag left Empty shows as "-".
static QString lookup(const QString& number, std::optional<QString> found = QString("")) {
    std::optional<QString> tag = QString("");
    const QString name = lookupCallerID(number, found, tag);
    return name + ' ' + found.value_or("-") + ' ' + tag.value_or("-");
}
static QStringList rowsOf(DBSearchResult r) {
    QStringList out;
    for (; !r.isEOF(); r.MoveNext())
        out << r.abTagStr() + ' ' + r.NameStr();
    return out;
}

class TstBooks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setLanguage(Language::English); }
    // A name is required; each column holds exactly its size, in characters. Never overwrites
    // or leaves half a file; a file that is no book is left as it was.
    void localFile() {
        TestEnv env;
        const QString path = env.file("a.lab");
        createLocalAddressBook(path);
        QCOMPARE(QFile::permissions(path), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ReadUser | QFileDevice::WriteUser);
        QCOMPARE(errNum([&] { executeLocalBook(path, "INSERT INTO TAMRIVO (EMAIL) VALUES ('')"); }),
                 ErrNum::DataAccess);
        const QList<std::pair<QString, int>> sizes{
            {"NAME", 40},       {"TELEPHONE", 20}, {"EMAIL", 100},   {"TELEPHONE2", 20},
            {"TELEPHONE3", 20}, {"EMAIL2", 100},   {"FREETEXT", 250}};
        for (const auto& [column, size] : sizes) {
            const QString sql =
                column == "NAME"
                    ? QString("INSERT INTO TAMRIVO (NAME) VALUES ('%1')")
                    : QString("INSERT INTO TAMRIVO (NAME,%1) VALUES ('n','%2')").arg(column);
            executeLocalBook(path, sql.arg(QString(size, QChar(0xe8))));
            const QString over = sql.arg(QString(size + 1, 'x'));
            QCOMPARE(errNum([&] { executeLocalBook(path, over); }), ErrNum::DataAccess);
        }
        const QString old = env.file("old.lab");
        QVERIFY(QFile(old).open(QIODevice::WriteOnly) && QFile::resize(old, 4096));
        QCOMPARE(errNum([&] { createLocalAddressBook(old); }), ErrNum::DataAccess);
        QVERIFY(errNum([&] { createLocalAddressBook(env.file("no/such/x.lab")); }) > 1000);
        DbSession(DbSession::Kind::Sqlite, "file:" + env.file("other.lab") + "?mode=rwc")
            .execute("CREATE TABLE people (name TEXT)");
        const QStringList before = QDir(env.path()).entryList(QDir::Files);
        for (const QString& f : {QString(), env.file("missing.lab"), old, env.file("other.lab")}) {
            QCOMPARE(errNum([&] { queryLocalBook(f, "SELECT * FROM TAMRIVO"); }),
                     ErrNum::DataSourceOpen);
            QCOMPARE(errNum([&] { executeLocalBook(f, "DELETE FROM TAMRIVO"); }),
                     ErrNum::DataSourceOpen);
        }
        QCOMPARE(QDir(env.path()).entryList(QDir::Files), before);
        QCOMPARE(QFileInfo(old).size(), 4096);
        // The table cannot be made: the new file goes again.
        DbSession::setObserver([](const QString& what, const QString& text) {
            if (what == "exec" && text.startsWith("CREATE TABLE"))
                raiseError(ErrNum::DataAccess, "disk full");
        });
        const long err = errNum([&] { createLocalAddressBook(env.file("new.lab")); });
        DbSession::setObserver({});
        QCOMPARE(err, ErrNum::DataAccess);
        QCOMPARE(QDir(env.path()).entryList(QDir::Files), before);
    }
    // Held by another program: a lookup gives up at once; every failure says busy.
    void lockedLocalBook() {
        TestEnv env;
        auto book = addLocalBook(env, "l.lab", {{"Ann", "555"}});
        DbSession lock(DbSession::Kind::Sqlite, localConnectionString(book->filename));
        lock.execute("BEGIN EXCLUSIVE");
        const QDeadlineTimer soon(1500);
        QCOMPARE(lookupCallerID("555"), QStringLiteral("Not Found"));
        QVERIFY(!soon.hasExpired());
        QCoreApplication::processEvents(); // told once the lookup is over
        QVERIFY(Prompter::records().value(0).text.startsWith("3151 The address-book file"));
        QVERIFY(Prompter::records().value(0).text.contains("is busy"));
        QVERIFY(caught([] { searchAddressBooks("Ann", 0, 0); }).description().contains("is busy"));
        QVERIFY(caught([&] { addLocalContact(*book, contact()); }).description().contains("busy"));
        lock.execute("COMMIT");
        QCOMPARE(lookupCallerID("555"), QStringLiteral("Ann"));
    }
    // Closest first telephone wins, ties keep the earlier, too far is no match.
    void lookupRanking() {
        TestEnv env;
        addDatabaseBook(env, "crm", {{"Twelve", "390212345678"}, {"Db tie", "99123456"}});
        addLocalBook(env, "a.lab", {{"Ten", "0212345678"}, {"Local tie", "00123456"}});
        addLocalBook(env, "b.lab", {{"Via", "0687654", "0301234567"}, {"Empty", "", {}, "4567"}});
        QCOMPARE(lookup("0212345678"), QStringLiteral("Ten 0212345678 0|O|0"));
        QCOMPARE(lookup("123456"), QStringLiteral("Db tie 99123456 0|D|0"));
        // Found through another telephone, compared by the first.
        QCOMPARE(lookup("1234567"), QStringLiteral("Via 0687654 0|O|1"));
        QCOMPARE(lookup("67"), QStringLiteral("Empty  0|O|1"));
        QCOMPARE(lookup("567"), QStringLiteral("Not Found - -"));
        gCallerIDMaxLengthDiff = 3;
        QCOMPARE(lookup("567"), QStringLiteral("Empty  0|O|1"));
        // An output passed Empty is left alone.
        QCOMPARE(lookup("0212345678", std::nullopt), QStringLiteral("Ten - 0|O|0"));
    }
    // Only the books marked are opened; a number that is not one opens none.
    void lookupOpensOnlyWhatItMust() {
        TestEnv env;
        addDatabaseBook(env, "crm", {{"Db", "555"}, {"Any", "5551234"}})->searchForCallerID = false;
        addLocalBook(env, "no.lab", {{"NotAsked", "555"}}, false);
        auto yes = addLocalBook(env, "yes.lab", {{"Asked", "0555"}, {"Other", "5551234"}});
        Trace trace;
        QCOMPARE(lookup("555"), QStringLiteral("Asked 0555 0|O|1"));
        QCOMPARE(trace.opened, QStringList{localConnectionString(yes->filename)});
        QCOMPARE(trace.sent.value(1), localSearchSQL("555", 1, 2));
        trace.opened.clear();
        for (const char* n : {"", "_______", "%", "\\';DROP/**/TABLE/**/victim;--"})
            QCOMPARE(lookup(n), QStringLiteral("Not Found - -"));
        QCOMPARE(trace.opened, QStringList());
        // The combined search opens every book; one failing book fails it all.
        QCOMPARE(
            rowsOf(searchAddressBooks("555", 1, 3)),
            (QStringList{"0|D|0 Db", "0|D|0 Any", "0|O|0 NotAsked", "0|O|1 Asked", "0|O|1 Other"}));
        gDBBooks[0]->telephone3 = "Fax";
        gDBBooks[0]->searchForCallerID = true;
        QCOMPARE(errNum([] { searchAddressBooks("5", 1, 0); }), ErrNum::DataAccess);
        QCOMPARE(lookup("555"), QStringLiteral("Asked 0555 0|O|1")); // the failing one left out
        noDBBooks = noLocalBooks = true;
        QCOMPARE(lookup("555"), QStringLiteral("Not Found - -"));
    }
    // Local: case ignored, "_" a wildcard, a backslash plain text. Each column in its place;
    // Database columns read by position, a mapping not one column each refused.
    void searchBooks() {
        TestEnv env;
        addLocalBook(env, "s.lab", {{"Ann Lee", "0100", {}, {}, "a@x"}, {"Bo Lee", "1\\", "2"}});
        QCOMPARE(rowsOf(searchAddressBooks("b_ L", 0, 3)), QStringList{"0|O|0 Bo Lee"});
        DBSearchResult r = searchAddressBooks("1\\", 1, 0);
        QCOMPARE((QStringList{r.NameStr(), r.telephoneStr(), r.telephone2Str(), r.telephone3Str(),
                              r.emailStr(), r.contactidStr()}),
                 (QStringList{"Bo Lee", "1\\", "2", "", "", "2"}));
        noLocalBooks = true;
        auto b = addDatabaseBook(env, "crm", {{"Ann", "0123", "999", {}, {}}, {"Bob", {}, "0123"}});
        b->telephone3.clear();
        b->freetext = "Office";
        r = searchAddressBooks("123", 1, 2);
        QCOMPARE((QStringList{r.NameStr(), r.telephoneStr(), r.telephone2Str(), r.emailStr(),
                              r.freetextStr(), r.contactidStr()}),
                 (QStringList{"Ann", "0123", "999", "", "", "1"}));
        QCOMPARE(rowsOf(r), (QStringList{"0|D|0 Ann", "0|D|0 Bob"}));
        b->nameField = "Name,Mail";
        QCOMPARE(errNum([] { searchAddressBooks("1", 1, 2); }), ErrNum::ItemNotFound);
    }
    void contactEdits() {
        TestEnv env;
        auto l = addLocalBook(env, "c.lab", {});
        addLocalContact(*l, contact("O'Hara", "5\\55", "s@x", "", " "));
        addLocalContact(*l, contact("Bob"));
        updateLocalContact(*l, contact("Robert", "1", "r@x", "2", "3", "r2@x", "note", "2"));
        QVERIFY(deleteLocalContact(*l, withId("1")) && !deleteLocalContact(*l, withId("1")));
        QVERIFY(!updateLocalContact(*l, withId("1")));
        QVERIFY(errNum([&] { addLocalContact(*l, contact("Long", QString(21, '9'))); }) > 1000);
        QCOMPARE(rowsOf(queryLocalBook(l->filename, "SELECT * FROM TAMRIVO")),
                 QStringList{"2|Robert|1|r@x|2|3|r2@x|note"});
        auto d = addDatabaseBook(env, "crm", {{"Ann", "1", "m1", "o1", "a@x"}});
        d->telephone3.clear(); // unmapped: never written
        addDatabaseContact(*d, contact("B'ob", "2", "", "m2", "o2"));
        QVERIFY(updateDatabaseContact(*d, contact("Anna", " ", "new@x", "", "x", "", "", "1")));
        QVERIFY(deleteDatabaseContact(*d, withId("2")) && !deleteDatabaseContact(*d, withId("2")));
        QVERIFY(!updateDatabaseContact(*d, withId("2")));
        QCOMPARE(
            rowsOf(odbc("crm").openRecordset("SELECT Name,Phone,Mobile,Office,Mail FROM People")),
            QStringList{"Anna| |~|o1|new@x"});
        d->nameField = "NoSuchColumn";
        QVERIFY(errNum([&] { addDatabaseContact(*d, contact("X")); }) > 1000);
        // Behind a lock held elsewhere: given up on, saying the change may still be made, as it is.
        DbSession lock(DbSession::Kind::Sqlite, "file:" + env.file("crm.db") + "?mode=rw");
        lock.execute("BEGIN IMMEDIATE");
        d->nameField = "Name";
        QCOMPARE(caught([&] { addDatabaseContact(*d, contact("Late")); }).description(),
                 "Address book \"crm\": the data source \"crm\" did not answer within 5 seconds. "
                 "The change may still be made once it answers.");
        lock.execute("COMMIT");
        QTRY_COMPARE(odbc("crm").openRecordset("SELECT * FROM People").RecordCount(), 2);
    }
    // On MariaDB (started by scripts/test) "x" is a text: only its own quotes name a column. An
    // UPDATE that changes nothing counts no row there, yet finds the contact.
    void mariaDb() {
        TestEnv env;
        addDataSource(env, "maria",
                      {"Driver=MariaDB Unicode", "Server=127.0.0.1", "Database=crm",
                       "Port=" + qEnvironmentVariable("TAMRIVO_MARIADB_PORT")});
        for (const char* sql : {"CREATE OR REPLACE TABLE People (Id INT AUTO_INCREMENT PRIMARY "
                                "KEY, Name TEXT, Phone TEXT, Mail TEXT)",
                                "INSERT INTO People (Name, Phone) VALUES ('Sam', '5'), ('Bob', '6')"})
            odbc("maria", "tamrivo").executeSQL(sql);
        DatabaseAddressBook b = people({"", "", "", "", "Id"});
        std::tie(b.dsn, b.User) = std::pair("maria", "tamrivo");
        for (const char* name : {"\"Name\"", "[Name]", "People.\"Name\""}) {
            b.nameField = name;
            const AppError e = caught([&] { searchDatabaseAddressBook(b, "t", "am", 0, 3); });
            QVERIFY(e.description().contains("'CRM'"));
        }
        std::tie(b.tableName, b.nameField) = std::pair("crm.`People`", "`Name`");
        QCOMPARE(rowsOf(searchDatabaseAddressBook(b, "t", "am", 0, 3)), QStringList{"t Sam"});
        QVERIFY(updateDatabaseContact(b, contact("Sam", "5", "", "", "", "", "", "1")));
    }
    // Through ODBC: text outside ASCII, "_" literal, the driver's message.
    void odbcDataSource() {
        TestEnv env;
        addSqliteDataSource(env, "lite",
                            {"CREATE TABLE my_t (Name TEXT)", "CREATE TABLE myxt (x)"});
        odbc("lite", "bob;}x{", " a;b ")
            .executeSQL("INSERT INTO my_t VALUES ('Citt\u00e0 \u20ac')");
        QCOMPARE(odbc("lite").openRecordset("SELECT * FROM my_t").text(0),
                 QString("Citt\u00e0 \u20ac"));
        QCOMPARE(odbc("lite").getTableFields("my_t"), QStringList{"Name"});
        const AppError e = caught([] { odbc("nosuch").executeSQL("SELECT 1"); });
        QVERIFY2(e.number() == ErrNum::DataSourceOpen && e.description().contains("not found"),
                 qPrintable(e.description()));
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TstBooks)
#include "tst_books.moc"
