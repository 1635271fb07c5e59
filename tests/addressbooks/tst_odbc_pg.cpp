// PostgreSQL through psqlODBC, where it differs from the SQLite tier: log-in
// with a password the server checks, and attribute values in braces.
// scripts/test starts a private server and exports TAMRIVO_PG_*; without
// them the test is skipped, except under CI, where it fails.
#include "addressbooks/dbfunctions.h"
#include "booktestutil.h"

#include <QTest>

using namespace booktest;

class TstOdbcPg : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;
    static QString var(const char* name) { return qEnvironmentVariable(name); }

private slots:
    void initTestCase() {
        if (var("TAMRIVO_PG_SOCKET").isEmpty()) {
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL("TAMRIVO_PG_SOCKET is not set: the PostgreSQL tier must run under CI");
            QSKIP("No PostgreSQL test server (run through scripts/test)");
        }
        env = std::make_unique<TestEnv>();
        addDataSource(*env, "pg",
                      {"Driver=PostgreSQL Unicode", "Servername=" + var("TAMRIVO_PG_SOCKET"),
                       "Port=" + var("TAMRIVO_PG_PORT"), "Database=" + var("TAMRIVO_PG_DATABASE")});
    }
    void cleanupTestCase() { env.reset(); }

    // The server checks this role's password (scripts/pg-test-server), so a
    // log-in proves the password arrived whole, and the database reached
    // proves text inside it was not taken for an attribute.
    void passwordsThatNeedBracesLogIn() {
        const DBConnection admin = odbc("pg", var("TAMRIVO_PG_USER"));
        QCOMPARE(admin.openRecordset("SELECT current_user").text(0), var("TAMRIVO_PG_USER"));
        for (const char* pw : {"pw;Database=nosuchdb", "a}b;Database=nosuchdb;",
                               "{;Database=nosuchdb}", " ;Database=nosuchdb ", "p=w"}) {
            admin.executeSQL("DROP ROLE IF EXISTS tamrivo_pw");
            admin.executeSQL("CREATE ROLE tamrivo_pw LOGIN PASSWORD '" + escapeSQL(pw) + "'");
            QString who;
            const AppError e = caught([&] {
                who = odbc("pg", "tamrivo_pw", pw)
                          .openRecordset("SELECT current_user || '@' || current_database()")
                          .text(0);
            });
            QVERIFY2(e.number() == 0, qPrintable(e.description()));
            QCOMPARE(who, "tamrivo_pw@" + var("TAMRIVO_PG_DATABASE"));
            // The check is real: a wrong or missing password is refused.
            for (const QString& wrong : {QString("wrong"), QString()})
                QCOMPARE(errNum([&] { odbc("pg", "tamrivo_pw", wrong).openRecordset("SELECT 1"); }),
                         ErrNum::DataSourceOpen);
        }
        admin.executeSQL("DROP ROLE tamrivo_pw");
        // ...and the attribute, sent bare, would reach the driver.
        const AppError bare = caught([] {
            DbSession s(DbSession::Kind::Odbc,
                        "DSN=pg;UID=" + var("TAMRIVO_PG_USER") + ";Database=nosuchdb");
        });
        QCOMPARE(bare.number(), ErrNum::DataSourceOpen);
        QVERIFY2(bare.description().contains("nosuchdb"), qPrintable(bare.description()));
    }
};

QTEST_GUILESS_MAIN(TstOdbcPg)
#include "tst_odbc_pg.moc"
