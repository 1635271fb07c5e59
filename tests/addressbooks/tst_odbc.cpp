// DBConnection against a real ODBC data source: an SQLite file through the
// SQLite3 ODBC driver, configured in the test's own odbc.ini.
#include "addressbooks/search.h"
#include "platform/errors.h"
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

    // Placeholder characters are no placeholders; text outside ASCII round-trips.
    void executeSqlWrites() {
        TestEnv env;
        addSqliteDataSource(env, "lite", kPeople);
        const DBConnection c = connectionTo("lite");
        const QString name = QStringLiteral("Niccol\u00f2 \u00dcnal \u20ac a:b ?x");
        c.executeSQL("INSERT INTO my_t (Name) VALUES ('" + name + "')");
        QCOMPARE(c.openRecordset("SELECT Name FROM my_t WHERE Id=3").text(0), name);
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
        const long n = caught([] {
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
        for (const auto& [what, message] : {std::pair{"sql", "syntax error"},
                                            {"fields", "no such table"},
                                            {"exec", "no such table"}})
            QTest::newRow(what) << QString(what) << ErrNum::DataAccess << QString(message);
    }
    void failuresCarryTheDriversMessage() {
        QFETCH(QString, what);
        QFETCH(long, number);
        QFETCH(QString, message);
        TestEnv env;
        addSqliteDataSource(env, "lite", kPeople);
        const AppError e = caught([&] {
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

    // Columns are read by the mapping, whatever its case; a mapping that
    // yields more or fewer columns than it names must fail rather than shift
    // every value (fields are read by position).
    void databaseBookSearch_data() {
        QTest::addColumn<QString>("nameField");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("mapped") << "name"
                                << QStringList{"0|D|2|Ann|0123||999|||n1|10",
                                               "0|D|2|Bob||b@x|0123||||11"};
        QTest::newRow("two columns") << "Name,Notes" << QStringList{};
        QTest::newRow("star") << "*" << QStringList{};
    }
    void databaseBookSearch() {
        QFETCH(QString, nameField);
        QFETCH(QStringList, rows);
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
        b.nameField = nameField;
        b.telephoneField = "Phone";
        b.emailField = "Mail";
        b.telephone2 = "Mobile";
        b.freetext = "Notes";
        b.contactid = "Id";
        QStringList got;
        const long err = errNum([&] {
            DBSearchResult r = searchDatabaseAddressBook(b, "0|D|2", "123", 1, 2);
            for (; !r.isEOF(); r.MoveNext())
                got << QStringList{r.abTagStr(),  r.NameStr(),       r.telephoneStr(),
                                   r.emailStr(),  r.telephone2Str(), r.telephone3Str(),
                                   r.email2Str(), r.freetextStr(),   r.contactidStr()}
                           .join('|');
        });
        QCOMPARE(err, rows.isEmpty() ? ErrNum::ItemNotFound : 0);
        QCOMPARE(got, rows);
    }
};

QTEST_GUILESS_MAIN(TstOdbc)
#include "tst_odbc.moc"
