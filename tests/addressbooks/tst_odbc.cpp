// DBConnection against a real ODBC data source: an SQLite file through the
// SQLite3 ODBC driver, configured in the test's own odbc.ini.
#include "addressbooks/search.h"
#include "app/errors.h"
#include "booktestutil.h"
#include "common/testenv.h"
#include "platform/dbconnection.h"

#include <QSqlDatabase>
#include <QTest>

using namespace booktest;

namespace {

DBConnection connectionTo(const QString& dsn, const QString& user = QString(),
                          const QString& pw = QString()) {
    DBConnection c;
    c.dsn = dsn;
    c.userName = user;
    c.password = pw;
    return c;
}

AppError errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e;
    }
    return AppError(0, QString());
}

const QStringList kPeople{
    "CREATE TABLE my_t (Id INTEGER PRIMARY KEY, Name TEXT, Phone TEXT, Mail TEXT)",
    "CREATE TABLE myxt (Other TEXT)",
    "CREATE VIEW named AS SELECT Name, Phone FROM my_t WHERE Name IS NOT NULL",
    "INSERT INTO my_t (Name, Phone, Mail) VALUES ('Ann', '555-1', '')",
    "INSERT INTO my_t (Name, Phone, Mail) VALUES ('O''Brien', NULL, 'ob@x')",
};

} // namespace

class TstOdbc : public QObject {
    Q_OBJECT
private slots:
    void recordsetOutlivesItsConnection() {
        TestEnv env;
        addSqliteDataSource(env, "lite", kPeople);
        Recordset rs = connectionTo("lite").openRecordset("SELECT Id, Name, Phone, Mail FROM my_t");
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
        QCOMPARE(rs.RecordCount(), 2);
        QCOMPARE(rs.text("NAME"), QStringLiteral("Ann"));
        QCOMPARE(rs.text("id"), QStringLiteral("1"));
        QVERIFY(!rs.isNull("mail"));
        QCOMPARE(rs.text("Mail"), QString(""));
        rs.MoveNext();
        QCOMPARE(rs.text(1), QStringLiteral("O'Brien"));
        QVERIFY(rs.isNull("Phone"));
        rs.MoveNext();
        QVERIFY(rs.isEOF());
    }

    void executeSqlWrites() {
        TestEnv env;
        addSqliteDataSource(env, "lite", kPeople);
        const DBConnection c = connectionTo("lite");
        c.executeSQL("INSERT INTO my_t (Name) VALUES ('a:b ?x')");
        Recordset rs = c.openRecordset("SELECT Name FROM my_t WHERE Id=3");
        QCOMPARE(rs.text(0), QStringLiteral("a:b ?x"));
    }

    void textOutsideAsciiRoundTrips() {
        TestEnv env;
        addSqliteDataSource(env, "lite", kPeople);
        const DBConnection c = connectionTo("lite");
        const QString name = QStringLiteral("Niccol\u00f2 \u00dcnal \u20ac");
        c.executeSQL("INSERT INTO my_t (name) VALUES ('" + name + "')");
        Recordset rs = c.openRecordset("SELECT name FROM my_t WHERE name LIKE 'Niccol%'");
        QCOMPARE(rs.RecordCount(), 1);
        QCOMPARE(rs.text(0), name);
    }

    void tableFieldsAreExact_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("underscore is no wildcard")
            << "my_t" << QStringList{"Id", "Name", "Phone", "Mail"};
        QTest::newRow("other table") << "myxt" << QStringList{"Other"};
        QTest::newRow("view") << "named" << QStringList{"Name", "Phone"};
    }
    void tableFieldsAreExact() {
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        TestEnv env;
        addSqliteDataSource(env, "lite", kPeople);
        QCOMPARE(connectionTo("lite").getTableFields(table), fields);
    }

    // Asking for a table's columns must never run a statement of its own.
    void tableNameCannotAddAStatement() {
        TestEnv env;
        addSqliteDataSource(env, "lite", kPeople);
        const long n = errorOf([] {
                           connectionTo("lite").getTableFields("my_t; DROP TABLE myxt --");
                       }).number();
        QVERIFY(n > 1000);
        QCOMPARE(connectionTo("lite").getTableFields("myxt"), QStringList{"Other"});
    }

    void failuresCarryTheDriversMessage_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<long>("number");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such data source")
            << "dsn" << ErrNum::DataSourceOpen << "Data source name not found";
        QTest::newRow("bad SQL") << "sql" << ErrNum::DataAccess << "syntax error";
        QTest::newRow("no such table") << "fields" << ErrNum::DataAccess << "no such table";
        QTest::newRow("bad statement") << "exec" << ErrNum::DataAccess << "no such table";
    }
    void failuresCarryTheDriversMessage() {
        QFETCH(QString, what);
        QFETCH(long, number);
        QFETCH(QString, message);
        TestEnv env;
        addSqliteDataSource(env, "lite", kPeople);
        const AppError e = errorOf([&] {
            if (what == "dsn")
                connectionTo("nosuch").openRecordset("SELECT 1");
            else if (what == "sql")
                connectionTo("lite").openRecordset("SELEKT * FROM my_t");
            else if (what == "fields")
                connectionTo("lite").getTableFields("my_tt");
            else
                connectionTo("lite").executeSQL("DELETE FROM nosuch");
        });
        QCOMPARE(e.number(), number);
        QVERIFY2(e.description().contains(message, Qt::CaseInsensitive),
                 qPrintable(e.description()));
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
    }

    // User names and passwords holding ";", braces or blanks at the ends
    // log in. (This driver splits its own attributes at every ";", braces or
    // not, so the test that such text cannot inject attributes runs against
    // PostgreSQL.)
    void awkwardCredentialsLogIn() {
        TestEnv env;
        addSqliteDataSource(env, "lite", kPeople);
        for (const QString& pw : QStringList{"x;y", "}x{", " pw ", "a=b", "p:w?"}) {
            Recordset rs =
                connectionTo("lite", "bob;" + pw, pw).openRecordset("SELECT Name FROM my_t");
            QCOMPARE(rs.text(0), QStringLiteral("Ann"));
        }
    }

    void databaseBookSearchReadsMappedColumns() {
        TestEnv env;
        addSqliteDataSource(
            env, "lite",
            {"CREATE TABLE People (Id INTEGER PRIMARY KEY, Name TEXT, Phone TEXT, Mail TEXT, "
             "Mobile TEXT, Notes TEXT)",
             "INSERT INTO People VALUES (10, 'Ann', '0123', NULL, '999', 'n1')",
             "INSERT INTO People VALUES (11, 'Bob', NULL, 'b@x', '0123', NULL)",
             "INSERT INTO People VALUES (12, 'Cy', '777', 'c@x', NULL, NULL)"});
        DatabaseAddressBook b;
        b.Clear();
        b.dsn = "lite";
        b.tableName = "People";
        b.nameField = "name"; // mapping case differs from the table's
        b.telephoneField = "Phone";
        b.emailField = "Mail";
        b.telephone2 = "Mobile";
        b.freetext = "Notes";
        b.contactid = "Id";
        DBSearchResult r = searchDatabaseAddressBook(b, "0|D|2", "123", 1, 2);
        QStringList rows;
        for (; !r.isEOF(); r.MoveNext())
            rows << QStringList{r.abTagStr(),  r.NameStr(),       r.telephoneStr(),
                                r.emailStr(),  r.telephone2Str(), r.telephone3Str(),
                                r.email2Str(), r.freetextStr(),   r.contactidStr()}
                        .join('|');
        QCOMPARE(rows, (QStringList{"0|D|2|Ann|0123||999|||n1|10", "0|D|2|Bob||b@x|0123||||11"}));
    }

    // Fields are read by position, so a mapping that yields more or fewer
    // columns than it names must fail rather than shift every value.
    void mappingThatIsNotOneColumnFails_data() {
        QTest::addColumn<QString>("nameField");
        QTest::newRow("two columns") << "Name,Notes";
        QTest::newRow("star") << "*";
    }
    void mappingThatIsNotOneColumnFails() {
        QFETCH(QString, nameField);
        TestEnv env;
        addSqliteDataSource(env, "lite",
                            {"CREATE TABLE People (Id INTEGER, Name TEXT, Phone TEXT, Mail TEXT, "
                             "Notes TEXT)",
                             "INSERT INTO People VALUES (1, 'Ann', '0123', 'a@x', 'n1')"});
        DatabaseAddressBook b;
        b.Clear();
        b.dsn = "lite";
        b.tableName = "People";
        b.nameField = nameField;
        b.telephoneField = "Phone";
        b.emailField = "Mail";
        try {
            searchDatabaseAddressBook(b, "0|D|0", "123", 1, 2);
            QFAIL("a mapping that is not one column was read");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), ErrNum::ItemNotFound);
        }
    }
};

QTEST_GUILESS_MAIN(TstOdbc)
#include "tst_odbc.moc"
