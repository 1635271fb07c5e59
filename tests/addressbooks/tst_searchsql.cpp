#include "addressbooks/dbfunctions.h"
#include "addressbooks/search.h"
#include "platform/errors.h"
#include "platform/dbconnection.h"

#include <QTest>

namespace {

DatabaseAddressBook fullBook() {
    DatabaseAddressBook b;
    b.Clear();
    b.tableName = "People";
    b.nameField = "Name";
    b.telephoneField = "Phone";
    b.emailField = "Mail";
    b.telephone2 = "Mobile";
    b.telephone3 = "Office";
    b.email2 = "Mail2";
    b.freetext = "Notes";
    b.contactid = "Id";
    return b;
}

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

class TstSearchSql : public QObject {
    Q_OBJECT
private slots:
    void escape_data() {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        const QList<std::array<QString, 3>> rows{
            {"one quote", "O'Brien", "O''Brien"},
            {"empty", "", ""},
            {"quotes only", "''", "''''"},
            {"wildcards and others kept", "50%_\"`;:?", "50%_\"`;:?"},
            {"typographic quote kept", "D\u2019Arco", "D\u2019Arco"}};
        for (const auto& r : rows)
            QTest::newRow(qPrintable(r[0])) << r[1] << r[2];
    }
    void escape() {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(escapeSQL(in), out);
    }

    // Every field in every mode, for both kinds of book.
    void fieldByMode_data() {
        QTest::addColumn<bool>("local");
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sql");
        struct Case {
            const char* tag;
            int field, mode;
            const char* text;
            const char* where;
        };
        const Case local[] = {
            {"name exact", 0, 0, "Ann", "NAME ='Ann'"},
            {"name prefix", 0, 1, "Ann", "NAME LIKE 'Ann%'"},
            {"name suffix", 0, 2, "Ann", "NAME LIKE '%Ann'"},
            {"name contains", 0, 3, "Ann", "NAME LIKE '%Ann%'"},
            {"number exact", 1, 0, "555",
             "TELEPHONE ='555' OR TELEPHONE2 ='555' OR TELEPHONE3 ='555'"},
            {"number prefix", 1, 1, "555",
             "TELEPHONE LIKE '555%' OR TELEPHONE2 LIKE '555%' OR TELEPHONE3 LIKE '555%'"},
            {"number suffix", 1, 2, "555",
             "TELEPHONE LIKE '%555' OR TELEPHONE2 LIKE '%555' OR TELEPHONE3 LIKE '%555'"},
            {"number contains", 1, 3, "555",
             "TELEPHONE LIKE '%555%' OR TELEPHONE2 LIKE '%555%' OR TELEPHONE3 LIKE '%555%'"},
            {"email exact", 2, 0, "a@b", "EMAIL ='a@b' OR EMAIL2 ='a@b'"},
            {"email prefix", 2, 1, "a@b", "EMAIL LIKE 'a@b%' OR EMAIL2 LIKE 'a@b%'"},
            {"email suffix", 2, 2, "a@b", "EMAIL LIKE '%a@b' OR EMAIL2 LIKE '%a@b'"},
            {"email contains", 2, 3, "a@b", "EMAIL LIKE '%a@b%' OR EMAIL2 LIKE '%a@b%'"},
            {"quote doubled", 0, 3, "O'Brien", "NAME LIKE '%O''Brien%'"},
            {"wildcards and placeholders kept", 0, 1, "5%_:a?", "NAME LIKE '5%_:a?%'"},
            {"empty text", 0, 0, "", "NAME =''"}};
        const Case database[] = {
            {"name exact", 0, 0, "Ann", "Name ='Ann'"},
            {"name prefix", 0, 1, "Ann", "Name LIKE 'Ann%'"},
            {"name suffix", 0, 2, "Ann", "Name LIKE '%Ann'"},
            {"name contains", 0, 3, "Ann", "Name LIKE '%Ann%'"},
            {"number exact", 1, 0, "555", "Phone ='555' OR Mobile ='555' OR Office ='555'"},
            {"number prefix", 1, 1, "555",
             "Phone LIKE '555%' OR Mobile LIKE '555%' OR Office LIKE '555%'"},
            {"number suffix", 1, 2, "555",
             "Phone LIKE '%555' OR Mobile LIKE '%555' OR Office LIKE '%555'"},
            {"number contains", 1, 3, "555",
             "Phone LIKE '%555%' OR Mobile LIKE '%555%' OR Office LIKE '%555%'"},
            {"email exact", 2, 0, "a@b", "Mail ='a@b' OR Mail2 ='a@b'"},
            {"email prefix", 2, 1, "a@b", "Mail LIKE 'a@b%' OR Mail2 LIKE 'a@b%'"},
            {"email suffix", 2, 2, "a@b", "Mail LIKE '%a@b' OR Mail2 LIKE '%a@b'"},
            {"email contains", 2, 3, "a@b", "Mail LIKE '%a@b%' OR Mail2 LIKE '%a@b%'"},
            {"quote doubled", 0, 0, "O'Brien", "Name ='O''Brien'"}};
        for (const Case& c : local)
            QTest::addRow("L %s", c.tag)
                << true << c.field << c.mode << QString(c.text)
                << "SELECT NAME,TELEPHONE,TELEPHONE2,TELEPHONE3,EMAIL,EMAIL2,FREETEXT,ID FROM "
                   "TAMRIVO WHERE " +
                       QString(c.where);
        for (const Case& c : database)
            QTest::addRow("D %s", c.tag)
                << false << c.field << c.mode << QString(c.text)
                << "SELECT Name,Phone,Mail,Mobile,Office,Mail2,Notes,Id FROM People WHERE " +
                       QString(c.where);
    }
    void fieldByMode() {
        QFETCH(bool, local);
        QFETCH(int, field);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QString, sql);
        QCOMPARE(local ? localSearchSQL(text, field, mode)
                       : databaseSearchSQL(fullBook(), text, field, mode),
                 sql);
    }

    // Only mapped optional columns are selected and searched.
    void mappingSubsets_data() {
        // telephone2, telephone3, email2, freetext, contactid
        QTest::addColumn<QStringList>("optional");
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sql");
        const QString s = "SELECT Name,Phone,Mail";
        QTest::newRow("example") << QStringList{"Mobile", "", "", "", ""} << 1 << 2 << "123"
                                 << s + ",Mobile FROM People WHERE Phone LIKE '%123' OR Mobile "
                                        "LIKE '%123'";
        QTest::newRow("none mapped, number") << QStringList{"", "", "", "", ""} << 1 << 0 << "1"
                                             << s + " FROM People WHERE Phone ='1'";
        QTest::newRow("none mapped, email") << QStringList{"", "", "", "", ""} << 2 << 1 << "x"
                                            << s + " FROM People WHERE Mail LIKE 'x%'";
        QTest::newRow("telephone3 and freetext")
            << QStringList{"", "Office", "", "Notes", ""} << 1 << 0 << "1"
            << s + ",Office,Notes FROM People WHERE Phone ='1' OR Office ='1'";
        QTest::newRow("email2 and id")
            << QStringList{"", "", "Mail2", "", "Id"} << 2 << 3 << "@x"
            << s + ",Mail2,Id FROM People WHERE Mail LIKE '%@x%' OR Mail2 LIKE '%@x%'";
        QTest::newRow("optional telephones, no email2")
            << QStringList{"Mobile", "Office", "", "", ""} << 2 << 0 << "e"
            << s + ",Mobile,Office FROM People WHERE Mail ='e'";
    }
    void mappingSubsets() {
        QFETCH(QStringList, optional);
        QFETCH(int, field);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QString, sql);
        DatabaseAddressBook b = fullBook();
        b.telephone2 = optional[0];
        b.telephone3 = optional[1];
        b.email2 = optional[2];
        b.freetext = optional[3];
        b.contactid = optional[4];
        QCOMPARE(databaseSearchSQL(b, text, field, mode), sql);
    }

    void badCodes() {
        for (const auto& [f, m] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {1, 4}}) {
            const auto field = f, mode = m; // a lambda may not capture a binding in clang 14
            QCOMPARE(errorOf([&] { localSearchSQL("x", field, mode); }), ErrNum::InvalidCall);
            QCOMPARE(errorOf([&] { databaseSearchSQL(fullBook(), "x", field, mode); }),
                     ErrNum::InvalidCall);
        }
    }

    // Shown: the text for display; sent: what reaches the driver.
    void connectionTexts_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("sent");
        const QList<std::array<QString, 5>> rows{
            {"plain", "bob", "secret", "UID=bob;PASSWORD=secret", "UID=bob;PWD=secret"},
            {"semicolon", "bob", "a;DATABASE=x", "UID=bob;PASSWORD=a;DATABASE=x",
             "UID=bob;PWD={a;DATABASE=x}"},
            {"blank inside", "bob", "a b", "UID=bob;PASSWORD=a b", "UID=bob;PWD=a b"},
            {"blanks at the ends", " bob", "pw ", "UID= bob;PASSWORD=pw ", "UID={ bob};PWD={pw }"},
            {"braces", "{x}", "a}b{", "UID={x};PASSWORD=a}b{", "UID={{x}}};PWD={a}}b{}"},
            {"equals sign", "u", "a=b", "UID=u;PASSWORD=a=b", "UID=u;PWD=a=b"},
            {"no user", "", "pw", "UID=;PASSWORD=pw", "PWD=pw"},
            {"no password", "bob", "", "UID=bob;PASSWORD=", "UID=bob"}};
        for (const auto& r : rows)
            QTest::newRow(qPrintable(r[0]))
                << r[1] << r[2] << "DSN=crm; " + r[3] << "DSN=crm;" + r[4];
        QTest::newRow("neither") << ""
                                 << ""
                                 << "DSN=crm; UID=;PASSWORD="
                                 << "DSN=crm";
    }
    void connectionTexts() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, shown);
        QFETCH(QString, sent);
        DBConnection c;
        c.dsn = "crm";
        c.userName = user;
        c.password = password;
        QCOMPARE(c.getConnectionString(), shown);
        QCOMPARE(c.odbcConnectionText(), sent);
    }

    void unusableDataSources() {
        for (const QString dsn : {"", "a;b", "a{b", "crm "}) {
            DBConnection c;
            c.dsn = dsn;
            QCOMPARE(errorOf([&] { c.odbcConnectionText(); }), ErrNum::DataSourceOpen);
        }
        // Qt's ODBC layer would take such a text for a file data source.
        DBConnection c;
        c.dsn = "crm";
        c.password = "my.DSNpass";
        QCOMPARE(errorOf([&] { c.openRecordset("SELECT 1"); }), ErrNum::DataSourceOpen);
        QCOMPARE(errorOf([] { localConnectionString(QString()); }), ErrNum::DataSourceOpen);
    }

    void localConnectionText() {
        QCOMPARE(localConnectionString("/tmp/a b/book.lab"),
                 QStringLiteral("file:/tmp/a b/book.lab?mode=rw"));
        QCOMPARE(localConnectionString("/tmp/x%y/a?b#c.lab"),
                 QStringLiteral("file:/tmp/x%25y/a%3fb%23c.lab?mode=rw"));
        QCOMPARE(localConnectionString("//tmp//./book.lab"),
                 QStringLiteral("file:/tmp/book.lab?mode=rw"));
    }
};

QTEST_GUILESS_MAIN(TstSearchSql)
#include "tst_searchsql.moc"
