#include "addressbooks/dbfunctions.h"
#include "addressbooks/search.h"
#include "app/errors.h"
#include "platform/dbconnection.h"

#include <QTest>

namespace {

DatabaseAddressBook fullBook() {
    DatabaseAddressBook b;
    b.Clear();
    b.tableName = QStringLiteral("People");
    b.nameField = QStringLiteral("Name");
    b.telephoneField = QStringLiteral("Phone");
    b.emailField = QStringLiteral("Mail");
    b.telephone2 = QStringLiteral("Mobile");
    b.telephone3 = QStringLiteral("Office");
    b.email2 = QStringLiteral("Mail2");
    b.freetext = QStringLiteral("Notes");
    b.contactid = QStringLiteral("Id");
    return b;
}

const QString kLocalSelect = QStringLiteral(
    "SELECT NAME,TELEPHONE,TELEPHONE2,TELEPHONE3,EMAIL,EMAIL2,FREETEXT,ID FROM TAMRIVO WHERE ");
const QString kFullSelect =
    QStringLiteral("SELECT Name,Phone,Mail,Mobile,Office,Mail2,Notes,Id FROM People WHERE ");

} // namespace

class TstSearchSql : public QObject {
    Q_OBJECT
private slots:
    void escape_data() {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("one quote") << "O'Brien"
                                   << "O''Brien";
        QTest::newRow("no quote") << "Smith"
                                  << "Smith";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("quotes only") << "''"
                                     << "''''";
        QTest::newRow("wildcards and others kept") << "50%_\"`;:?"
                                                   << "50%_\"`;:?";
        QTest::newRow("typographic quote kept")
            << QStringLiteral("D\u2019Arco") << QStringLiteral("D\u2019Arco");
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
        const QString L = kLocalSelect;
        const QString D = kFullSelect;
        QTest::newRow("L name exact") << true << 0 << 0 << "Ann" << L + "NAME ='Ann'";
        QTest::newRow("L name prefix") << true << 0 << 1 << "Ann" << L + "NAME LIKE 'Ann%'";
        QTest::newRow("L name suffix") << true << 0 << 2 << "Ann" << L + "NAME LIKE '%Ann'";
        QTest::newRow("L name contains") << true << 0 << 3 << "Ann" << L + "NAME LIKE '%Ann%'";
        QTest::newRow("L number exact")
            << true << 1 << 0 << "555"
            << L + "TELEPHONE ='555' OR TELEPHONE2 ='555' OR TELEPHONE3 ='555'";
        QTest::newRow("L number prefix")
            << true << 1 << 1 << "555"
            << L + "TELEPHONE LIKE '555%' OR TELEPHONE2 LIKE '555%' OR TELEPHONE3 LIKE '555%'";
        QTest::newRow("L number suffix")
            << true << 1 << 2 << "555"
            << L + "TELEPHONE LIKE '%555' OR TELEPHONE2 LIKE '%555' OR TELEPHONE3 LIKE '%555'";
        QTest::newRow("L number contains")
            << true << 1 << 3 << "555"
            << L + "TELEPHONE LIKE '%555%' OR TELEPHONE2 LIKE '%555%' OR TELEPHONE3 LIKE '%555%'";
        QTest::newRow("L email exact")
            << true << 2 << 0 << "a@b" << L + "EMAIL ='a@b' OR EMAIL2 ='a@b'";
        QTest::newRow("L email prefix")
            << true << 2 << 1 << "a@b" << L + "EMAIL LIKE 'a@b%' OR EMAIL2 LIKE 'a@b%'";
        QTest::newRow("L email suffix")
            << true << 2 << 2 << "a@b" << L + "EMAIL LIKE '%a@b' OR EMAIL2 LIKE '%a@b'";
        QTest::newRow("L email contains")
            << true << 2 << 3 << "a@b" << L + "EMAIL LIKE '%a@b%' OR EMAIL2 LIKE '%a@b%'";
        QTest::newRow("D name exact") << false << 0 << 0 << "Ann" << D + "Name ='Ann'";
        QTest::newRow("D name prefix") << false << 0 << 1 << "Ann" << D + "Name LIKE 'Ann%'";
        QTest::newRow("D name suffix") << false << 0 << 2 << "Ann" << D + "Name LIKE '%Ann'";
        QTest::newRow("D name contains") << false << 0 << 3 << "Ann" << D + "Name LIKE '%Ann%'";
        QTest::newRow("D number exact")
            << false << 1 << 0 << "555" << D + "Phone ='555' OR Mobile ='555' OR Office ='555'";
        QTest::newRow("D number prefix")
            << false << 1 << 1 << "555"
            << D + "Phone LIKE '555%' OR Mobile LIKE '555%' OR Office LIKE '555%'";
        QTest::newRow("D number suffix")
            << false << 1 << 2 << "555"
            << D + "Phone LIKE '%555' OR Mobile LIKE '%555' OR Office LIKE '%555'";
        QTest::newRow("D number contains")
            << false << 1 << 3 << "555"
            << D + "Phone LIKE '%555%' OR Mobile LIKE '%555%' OR Office LIKE '%555%'";
        QTest::newRow("D email exact")
            << false << 2 << 0 << "a@b" << D + "Mail ='a@b' OR Mail2 ='a@b'";
        QTest::newRow("D email prefix")
            << false << 2 << 1 << "a@b" << D + "Mail LIKE 'a@b%' OR Mail2 LIKE 'a@b%'";
        QTest::newRow("D email suffix")
            << false << 2 << 2 << "a@b" << D + "Mail LIKE '%a@b' OR Mail2 LIKE '%a@b'";
        QTest::newRow("D email contains")
            << false << 2 << 3 << "a@b" << D + "Mail LIKE '%a@b%' OR Mail2 LIKE '%a@b%'";
        QTest::newRow("L quote doubled")
            << true << 0 << 3 << "O'Brien" << L + "NAME LIKE '%O''Brien%'";
        QTest::newRow("D quote doubled") << false << 0 << 0 << "O'Brien" << D + "Name ='O''Brien'";
        QTest::newRow("L wildcards and placeholders kept")
            << true << 0 << 1 << "5%_:a?" << L + "NAME LIKE '5%_:a?%'";
        QTest::newRow("L empty text") << true << 0 << 0 << "" << L + "NAME =''";
    }
    void fieldByMode() {
        QFETCH(bool, local);
        QFETCH(int, field);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QString, sql);
        const QString got =
            local ? localSearchSQL(text, std::int16_t(field), std::int16_t(mode))
                  : databaseSearchSQL(fullBook(), text, std::int16_t(field), std::int16_t(mode));
        QCOMPARE(got, sql);
    }

    // Only mapped optional columns are selected and searched.
    void mappingSubsets_data() {
        QTest::addColumn<QStringList>(
            "optional"); // telephone2, telephone3, email2, freetext, contactid
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sql");
        QTest::newRow("example")
            << QStringList{"Mobile", "", "", "", ""} << 1 << 2 << "123"
            << "SELECT Name,Phone,Mail,Mobile FROM People WHERE Phone LIKE '%123' OR Mobile "
               "LIKE '%123'";
        QTest::newRow("none mapped, number")
            << QStringList{"", "", "", "", ""} << 1 << 0 << "1"
            << "SELECT Name,Phone,Mail FROM People WHERE Phone ='1'";
        QTest::newRow("none mapped, email")
            << QStringList{"", "", "", "", ""} << 2 << 1 << "x"
            << "SELECT Name,Phone,Mail FROM People WHERE Mail LIKE 'x%'";
        QTest::newRow("telephone3 and freetext")
            << QStringList{"", "Office", "", "Notes", ""} << 1 << 0 << "1"
            << "SELECT Name,Phone,Mail,Office,Notes FROM People WHERE Phone ='1' OR Office ='1'";
        QTest::newRow("email2 and id")
            << QStringList{"", "", "Mail2", "", "Id"} << 2 << 3 << "@x"
            << "SELECT Name,Phone,Mail,Mail2,Id FROM People WHERE Mail LIKE '%@x%' OR "
               "Mail2 LIKE '%@x%'";
        QTest::newRow("id only, name")
            << QStringList{"", "", "", "", "Id"} << 0 << 2 << "n"
            << "SELECT Name,Phone,Mail,Id FROM People WHERE Name LIKE '%n'";
        QTest::newRow("optional telephones, no email2")
            << QStringList{"Mobile", "Office", "", "", ""} << 2 << 0 << "e"
            << "SELECT Name,Phone,Mail,Mobile,Office FROM People WHERE Mail ='e'";
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
        QCOMPARE(databaseSearchSQL(b, text, std::int16_t(field), std::int16_t(mode)), sql);
    }

    void badCodes_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("mode");
        QTest::newRow("field -1") << -1 << 0;
        QTest::newRow("field 3") << 3 << 0;
        QTest::newRow("mode -1") << 0 << -1;
        QTest::newRow("mode 4") << 1 << 4;
    }
    void badCodes() {
        QFETCH(int, field);
        QFETCH(int, mode);
        for (bool local : {true, false}) {
            try {
                if (local)
                    localSearchSQL(QStringLiteral("x"), std::int16_t(field), std::int16_t(mode));
                else
                    databaseSearchSQL(fullBook(), QStringLiteral("x"), std::int16_t(field),
                                      std::int16_t(mode));
                QFAIL("no error");
            } catch (const AppError& e) {
                QCOMPARE(e.number(), ErrNum::InvalidCall);
            }
        }
    }

    void connectionTexts_data() {
        QTest::addColumn<QString>("dsn");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("sent");
        QTest::newRow("plain") << "crm"
                               << "bob"
                               << "secret"
                               << "DSN=crm; UID=bob;PASSWORD=secret"
                               << "DSN=crm;UID=bob;PWD=secret";
        QTest::newRow("semicolon") << "crm"
                                   << "bob"
                                   << "a;DATABASE=x"
                                   << "DSN=crm; UID=bob;PASSWORD=a;DATABASE=x"
                                   << "DSN=crm;UID=bob;PWD={a;DATABASE=x}";
        QTest::newRow("blank inside") << "crm"
                                      << "bob"
                                      << "a b"
                                      << "DSN=crm; UID=bob;PASSWORD=a b"
                                      << "DSN=crm;UID=bob;PWD=a b";
        QTest::newRow("blanks at the ends") << "crm"
                                            << " bob"
                                            << "pw "
                                            << "DSN=crm; UID= bob;PASSWORD=pw "
                                            << "DSN=crm;UID={ bob};PWD={pw }";
        QTest::newRow("braces") << "crm"
                                << "{x}"
                                << "a}b{"
                                << "DSN=crm; UID={x};PASSWORD=a}b{"
                                << "DSN=crm;UID={{x}}};PWD={a}}b{}";
        QTest::newRow("equals sign") << "crm"
                                     << "u"
                                     << "a=b"
                                     << "DSN=crm; UID=u;PASSWORD=a=b"
                                     << "DSN=crm;UID=u;PWD=a=b";
        QTest::newRow("no user") << "crm"
                                 << ""
                                 << "pw"
                                 << "DSN=crm; UID=;PASSWORD=pw"
                                 << "DSN=crm;PWD=pw";
        QTest::newRow("no password") << "crm"
                                     << "bob"
                                     << ""
                                     << "DSN=crm; UID=bob;PASSWORD="
                                     << "DSN=crm;UID=bob";
        QTest::newRow("neither") << "crm"
                                 << ""
                                 << ""
                                 << "DSN=crm; UID=;PASSWORD="
                                 << "DSN=crm";
    }
    void connectionTexts() {
        QFETCH(QString, dsn);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, shown);
        QFETCH(QString, sent);
        DBConnection c;
        c.dsn = dsn;
        c.userName = user;
        c.password = password;
        QCOMPARE(c.getConnectionString(), shown);
        QCOMPARE(c.odbcConnectionText(), sent);
    }

    void unusableDataSourceNames_data() {
        QTest::addColumn<QString>("dsn");
        QTest::newRow("empty") << "";
        QTest::newRow("semicolon") << "a;b";
        QTest::newRow("brace") << "a{b";
        QTest::newRow("trailing blank") << "crm ";
    }
    void unusableDataSourceNames() {
        QFETCH(QString, dsn);
        DBConnection c;
        c.dsn = dsn;
        try {
            c.odbcConnectionText();
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), ErrNum::DataSourceOpen);
        }
    }

    // The ODBC layer of Qt would take such a text for a file data source.
    void dotDsnInCredentialsIsRefused() {
        DBConnection c;
        c.dsn = "crm";
        c.password = "my.DSNpass";
        try {
            c.openRecordset("SELECT 1");
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), ErrNum::DataSourceOpen);
            QVERIFY(e.description().contains(".dsn"));
        }
    }

    void localConnectionText() {
        QCOMPARE(localConnectionString(QStringLiteral("/tmp/a b/book.lab")),
                 QStringLiteral("file:/tmp/a b/book.lab?mode=rw"));
        QCOMPARE(localConnectionString(QStringLiteral("/tmp/x%y/a?b#c.lab")),
                 QStringLiteral("file:/tmp/x%25y/a%3fb%23c.lab?mode=rw"));
        QCOMPARE(localConnectionString(QStringLiteral("//tmp//./book.lab")),
                 QStringLiteral("file:/tmp/book.lab?mode=rw"));
        try {
            localConnectionString(QString());
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), ErrNum::DataSourceOpen);
        }
    }
};

QTEST_GUILESS_MAIN(TstSearchSql)
#include "tst_searchsql.moc"
