// DBConnection, search and lookup against PostgreSQL through psqlODBC.
// scripts/test starts a private server and exports TAMRIVO_PG_*; without
// them the test is skipped, except under CI, where it fails.
#include "addressbooks/search.h"
#include "platform/errors.h"
#include "app/globals.h"
#include "app/strings.h"
#include "booktestutil.h"
#include "common/testenv.h"
#include "platform/dbconnection.h"

#include <QSqlDatabase>
#include <QTest>

using namespace booktest;

namespace {

QString env(const char* name) {
    return qEnvironmentVariable(name);
}

} // namespace

class TstOdbcPg : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;

    DBConnection pg(const QString& password = QString()) const {
        DBConnection c;
        c.dsn = "pg";
        c.userName = env("TAMRIVO_PG_USER");
        c.password = password;
        return c;
    }

private slots:
    void initTestCase() {
        setLanguage(Language::English);
        for (const char* v :
             {"TAMRIVO_PG_SOCKET", "TAMRIVO_PG_PORT", "TAMRIVO_PG_USER", "TAMRIVO_PG_DATABASE"}) {
            if (env(v).isEmpty()) {
                if (qEnvironmentVariableIsSet("CI"))
                    QFAIL(qPrintable(
                        QString("%1 is not set: the PostgreSQL tier must run under CI").arg(v)));
                QSKIP("No PostgreSQL test server (run through scripts/test)");
            }
        }
    }

    void init() {
        m_env = std::make_unique<TestEnv>();
        addDataSource(*m_env, "pg",
                      {"Driver=PostgreSQL Unicode", "Servername=" + env("TAMRIVO_PG_SOCKET"),
                       "Port=" + env("TAMRIVO_PG_PORT"), "Database=" + env("TAMRIVO_PG_DATABASE")});
        const DBConnection c = pg();
        for (const char* sql :
             {"DROP VIEW IF EXISTS named", "DROP TABLE IF EXISTS my_t", "DROP TABLE IF EXISTS myxt",
              "DROP TABLE IF EXISTS people",
              "CREATE TABLE my_t (id NUMERIC(20,0), name VARCHAR(40), phone VARCHAR(20), mail "
              "VARCHAR(100))",
              "CREATE TABLE myxt (other TEXT)", "CREATE VIEW named AS SELECT name, phone FROM my_t",
              "INSERT INTO my_t VALUES (12345678901234567890, 'Ann', '555-1', '')",
              "INSERT INTO my_t VALUES (2, 'O''Brien', NULL, 'ob@x')",
              "CREATE TABLE people (id SERIAL, name TEXT, phone TEXT, mobile TEXT, mail TEXT)",
              "INSERT INTO people (name, phone, mobile, mail) VALUES ('Ann Lee', '0212345678', "
              "NULL, 'a@x')",
              "INSERT INTO people (name, phone, mobile, mail) VALUES ('Bob', '11', '390212345678', "
              "NULL)",
              "INSERT INTO people (name, phone, mobile, mail) VALUES ('O''Hara', '390212345678', "
              "NULL, 'o@x')"})
            c.executeSQL(QString::fromLatin1(sql));
    }
    void cleanup() { m_env.reset(); }

    void recordsetKeepsNullAndExactNumbers() {
        Recordset rs = pg().openRecordset("SELECT id, name, phone, mail FROM my_t ORDER BY name");
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
        QCOMPARE(rs.RecordCount(), 2);
        QCOMPARE(rs.text("ID"), QStringLiteral("12345678901234567890"));
        QVERIFY(!rs.isNull("mail"));
        QCOMPARE(rs.text("Mail"), QString(""));
        rs.MoveNext();
        QCOMPARE(rs.text("name"), QStringLiteral("O'Brien"));
        QVERIFY(rs.isNull("phone"));

        const QString name = QStringLiteral("Niccol\u00f2 \u00dcnal \u20ac");
        pg().executeSQL("INSERT INTO my_t (name) VALUES ('" + name + "')");
        QCOMPARE(pg().openRecordset("SELECT name FROM my_t WHERE name LIKE 'Niccol%'").text(0),
                 name);
    }

    void logsInAsTheGivenUser() {
        QCOMPARE(pg().openRecordset("SELECT current_user").text(0), env("TAMRIVO_PG_USER"));
        DBConnection c = pg();
        c.userName = "nosuchrole";
        const AppError e = caught([&] { c.openRecordset("SELECT 1"); });
        QCOMPARE(e.number(), ErrNum::DataSourceOpen);
        QVERIFY2(e.description().contains("nosuchrole"), qPrintable(e.description()));
    }

    // The server checks this role's password (scripts/pg-test-server), so a
    // login proves the password arrived whole, and the database reached
    // proves attribute text inside it was not taken as an attribute.
    void passwordsThatNeedBracesLogIn_data() {
        QTest::addColumn<QString>("password");
        for (const char* pw :
             {"x;y", "pw;Database=nosuchdb", "a}b;Database=nosuchdb;", "{;Database=nosuchdb}",
              " ;Database=nosuchdb ", "a}b{c}", " a;b ", "p=w", "plain"})
            QTest::newRow(pw) << QString(pw);
    }
    void passwordsThatNeedBracesLogIn() {
        QFETCH(QString, password);
        const QString role = "tamrivo_pw";
        pg().executeSQL("DROP ROLE IF EXISTS " + role);
        pg().executeSQL("CREATE ROLE " + role + " LOGIN PASSWORD '" + escapeSQL(password) + "'");
        DBConnection c = pg(password);
        c.userName = role;
        QString who;
        const AppError e = caught([&] {
            who = c.openRecordset("SELECT current_user || '@' || current_database()").text(0);
        });
        QVERIFY2(e.number() == 0, qPrintable(e.description()));
        QCOMPARE(who, role + '@' + env("TAMRIVO_PG_DATABASE"));
        // The check is real: a wrong or missing password is refused...
        for (const QString& wrong : {QString("wrong"), QString()}) {
            c.password = wrong;
            QCOMPARE(caught([&] { c.openRecordset("SELECT 1"); }).number(), ErrNum::DataSourceOpen);
        }
        pg().executeSQL("DROP ROLE " + role);
        // ...and the attribute, sent bare, would reach the driver.
        const AppError bare = caught([&] {
            DbSession s(DbSession::Kind::Odbc,
                        "DSN=pg;UID=" + env("TAMRIVO_PG_USER") + ";Database=nosuchdb");
        });
        QCOMPARE(bare.number(), ErrNum::DataSourceOpen);
        QVERIFY2(bare.description().contains("nosuchdb"), qPrintable(bare.description()));
    }

    void tableFieldsAreExact_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("underscore is no wildcard")
            << "my_t" << QStringList{"id", "name", "phone", "mail"};
        QTest::newRow("other table") << "myxt" << QStringList{"other"};
        QTest::newRow("view") << "named" << QStringList{"name", "phone"};
    }
    void tableFieldsAreExact() {
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        QCOMPARE(pg().getTableFields(table), fields);
    }

    // Asking for a table's columns must never run a statement of its own.
    void tableNameCannotAddAStatement() {
        const long n = caught([&] { pg().getTableFields("my_t; DROP TABLE myxt --"); }).number();
        QVERIFY(n > 1000);
        QCOMPARE(pg().getTableFields("myxt"), QStringList{"other"});
    }

    void failuresCarryTheDriversMessage() {
        const QList<std::pair<std::function<void()>, QString>> cases{
            {[&] { pg().getTableFields("my_tt"); }, "my_tt"},
            {[&] { pg().openRecordset("SELEKT 1"); }, "syntax error"},
            {[&] {
                 pg().executeSQL("INSERT INTO my_t (name) VALUES ('" + QString(41, 'x') + "')");
             },
             "too long"}};
        for (const auto& [f, message] : cases) {
            const AppError e = caught(f);
            QCOMPARE(e.number(), ErrNum::DataAccess);
            QVERIFY2(e.description().contains(message), qPrintable(e.description()));
        }
        QCOMPARE(pg().openRecordset("SELECT count(*) FROM my_t").text(0), QStringLiteral("2"));
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
    }

    void searchAndLookupThroughADatabaseBook() {
        auto book = std::make_shared<DatabaseAddressBook>();
        book->Clear();
        book->dsn = "pg";
        book->User = env("TAMRIVO_PG_USER");
        book->tableName = "people";
        book->nameField = "Name"; // PostgreSQL folds unquoted names to lower case
        book->telephoneField = "phone";
        book->telephone2 = "mobile";
        book->emailField = "mail";
        book->contactid = "id";
        book->searchForCallerID = true;
        gDBBooks.append(book);
        noDBBooks = false;

        DBSearchResult r = searchAddressBooks("O'H", 0, 1);
        QCOMPARE(r.num(), 1);
        QCOMPARE(r.abTagStr() + r.NameStr() + r.contactidStr(), QStringLiteral("0|D|0O'Hara3"));
        QCOMPARE(searchAddressBooks("a@x", 2, 0).num(), 1);
        QCOMPARE(searchAddressBooks("ann", 0, 3).num(), 0); // LIKE is case-sensitive here

        // Ann Lee matches exactly; O'Hara (2 longer) and Local Lee (1
        // longer) lose to her.
        addLocalBook(*m_env, "l.lab", {{"Local Lee", "00212345678", {}, {}, {}}});
        std::optional<QString> number = QString(""), tag = QString("");
        QCOMPARE(lookupCallerID("0212345678", number, tag), QStringLiteral("Ann Lee"));
        QCOMPARE(number, QString("0212345678"));
        QCOMPARE(tag, QString("0|D|0"));
        // Bob matches through his mobile but is compared by his phone "11";
        // O'Hara's phone is the number itself.
        QCOMPARE(lookupCallerID("390212345678", number, tag), QStringLiteral("O'Hara"));
        QCOMPARE(tag, QString("0|D|0"));
        QCOMPARE(lookupCallerID("345678", number, tag), QStringLiteral("Not Found"));
        QCOMPARE(number, std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TstOdbcPg)
#include "tst_odbc_pg.moc"
