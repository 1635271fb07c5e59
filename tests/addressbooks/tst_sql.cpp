// The SQL and connection texts the books build, byte for byte, and the checks keeping
// what a caller, a user or a settings file supplies from changing a statement.
#include "addressbooks/contactedits.h"
#include "addressbooks/search.h"
#include "booktestutil.h"

#include <QTest>

using namespace booktest;

class TstSql : public QObject {
    Q_OBJECT
private slots:
    // One row per shape: each mode, each field's column set, the mappings.
    void search() {
        const QString l = "SELECT NAME,TELEPHONE,TELEPHONE2,TELEPHONE3,EMAIL,EMAIL2,FREETEXT,ID "
                          "FROM TAMRIVO WHERE ";
        const QString d = "SELECT Name,Phone,Mail";
        const QStringList local, all{"Mobile", "Office", "Mail2", "Notes", "Id"},
            none{"", "", "", "", ""}, mobile{"Mobile"}, mail2{"", "", "Mail2", "", "Id"};
        const QList<std::tuple<QStringList, int, int, QString, QString>> rows{
            {local, 0, 0, "O'Brien", l + "NAME ='O''Brien'"},
            {local, 1, 1, "5%_:?",
             l + "TELEPHONE LIKE '5%_:?%' OR TELEPHONE2 LIKE '5%_:?%' OR "
                 "TELEPHONE3 LIKE '5%_:?%'"},
            {local, 2, 2, "a@b", l + "EMAIL LIKE '%a@b' OR EMAIL2 LIKE '%a@b'"},
            {local, 0, 3, "a\\", l + "NAME LIKE '%a\\%'"},
            {all, 1, 3, "5",
             d + ",Mobile,Office,Mail2,Notes,Id FROM People WHERE Phone LIKE "
                 "'%5%' OR Mobile LIKE '%5%' OR Office LIKE '%5%'"},
            {mobile, 1, 2, "1",
             d + ",Mobile FROM People WHERE Phone LIKE '%1' OR Mobile LIKE '%1'"},
            {none, 2, 1, "x", d + " FROM People WHERE Mail LIKE 'x%'"},
            {mail2, 2, 0, "e'", d + ",Mail2,Id FROM People WHERE Mail ='e''' OR Mail2 ='e'''"},
            {none, 0, 1, "Ann", d + " FROM People WHERE Name LIKE 'Ann%'"}};
        for (const auto& [mapping, field, mode, text, sql] : rows)
            QCOMPARE(mapping.isEmpty() ? localSearchSQL(text, field, mode)
                                       : databaseSearchSQL(people(mapping), text, field, mode),
                     sql);
    }
    void contactStatements() {
        const QString ins = "INSERT INTO TAMRIVO (NAME, TELEPHONE, TELEPHONE2, TELEPHONE3, EMAIL, "
                            "EMAIL2, FREETEXT) VALUES (";
        const QStringList local, none{"", "", "", "", "Id"}, some{"Mobile", "", "", "Notes", "Id"},
            all{"Mobile", "Office", "Mail2", "Notes", "Id"};
        const Contact full = contact("O'Neil", "555", "m@x", "666", "777", "", " ", "7");
        const QList<std::tuple<QString, QStringList, Contact, QString>> rows{
            {"add", local, contact("O'Hara", "5\\5", "", "6'6", " "),
             ins + "'O''Hara','5\\5','6''6',' ',NULL,NULL,NULL)"},
            {"add", local, contact(""), ins + "'',NULL,NULL,NULL,NULL,NULL,NULL)"},
            {"update", local, contact("a'", "1", "e", "2", "3", "e2", "  ", " 12"),
             "UPDATE TAMRIVO SET NAME= 'a''',TELEPHONE='1',TELEPHONE2='2',TELEPHONE3='3',"
             "EMAIL='e',EMAIL2='e2',FREETEXT='  ' WHERE ID= 12"},
            {"delete", local, withId("42"), "DELETE FROM TAMRIVO WHERE ID=42"},
            {"add", some, full,
             "INSERT INTO People(Name,Phone,Mobile,Mail,Notes) VALUES ( "
             "'O''Neil','555','666','m@x',' ')"},
            {"update", all, full,
             "UPDATE People SET Name= 'O''Neil',Phone='555',Mobile='666',Office='777',"
             "Mail='m@x',Mail2=NULL,Notes=' ' WHERE Id=7"},
            {"update", none, contact("Ann", "555", "", "x", "y", "z", "w", "7"),
             "UPDATE People SET Name= 'Ann',Phone='555',Mail=NULL WHERE Id=7"},
            {"delete", none, withId("-3.0"), "DELETE FROM People WHERE Id=-3.0"}};
        for (const auto& [op, mapping, c, sql] : rows) {
            const DatabaseAddressBook b = people(mapping);
            const bool l = mapping.isEmpty();
            QCOMPARE(op == "add" ? (l ? ContactSQL::addLocal(c) : ContactSQL::addDatabase(b, c))
                     : op == "update"
                         ? (l ? ContactSQL::updateLocal(c) : ContactSQL::updateDatabase(b, c))
                         : (l ? ContactSQL::deleteLocal(c) : ContactSQL::deleteDatabase(b, c)),
                     sql);
        }
    }
    // What would change a statement's meaning is refused before any is built.
    void refusedInput() {
        for (const auto& c : {std::pair{-1, 0}, {3, 0}, {0, -1}, {1, 4}}) {
            QCOMPARE(errNum([&] { localSearchSQL("x", c.first, c.second); }), ErrNum::InvalidCall);
            QCOMPARE(errNum([&] { databaseSearchSQL(people(), "x", c.first, c.second); }),
                     ErrNum::InvalidCall);
        }
        // The id goes in unquoted: only a number may stand there.
        for (const char* id : {"", " ", "1 OR 1=1", "Id", "1'"}) {
            const Contact c = contact("Zed", "", "", "", "", "", "", id);
            for (const auto& f : std::initializer_list<std::function<void()>>{
                     [&] { ContactSQL::updateLocal(c); }, [&] { ContactSQL::deleteLocal(c); },
                     [&] { ContactSQL::updateDatabase(people(), c); },
                     [&] { ContactSQL::deleteDatabase(people(), c); }})
                QCOMPARE(errNum(f), ErrNum::DataAccess);
        }
        // A backslash could end the quotes on some engines: never sent to a Database book.
        for (int i = 0; i < 7; ++i) {
            QStringList v{"n", "1", "e", "2", "3", "e2", "f", "7"};
            v[i] += "\\' OR 1=1 --";
            const Contact c = contact(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
            QCOMPARE(errNum([&] { ContactSQL::addDatabase(people(), c); }), ErrNum::DataAccess);
            QCOMPARE(errNum([&] { ContactSQL::updateDatabase(people(), c); }), ErrNum::DataAccess);
        }
        QVERIFY(caught([] { databaseSearchSQL(people(), "\\' OR 1=1", 0, 0); })
                    .description()
                    .contains("The text '\\' OR 1=1' holds a backslash"));
    }
    // Only plain names from any slot of a book (named in the error); telephone characters only.
    void sqlNames() {
        const QStringList good =
            QString("People|_x1$|cat.dbo.[My Table]|\"a; b\"|`odd name`|Citt\u00e0|[a\"b]")
                .split('|');
        const QStringList wrong =
            QString("1st|People; DROP TABLE x|Name,Notes|*|a b|\"a\"\"b\"|[a]]|"
                    "`a\\`|a.b.c.d|a.|Name--|People#|\"\\\".\"; x\"")
                .split('|');
        for (const QString& name : good + wrong) {
            const bool plain = good.contains(name);
            QVERIFY2(isPlainSqlName(name) == plain, qPrintable(name));
            for (int i = 0; i < (name.contains(',') ? 9 : 11); ++i) {
                DatabaseAddressBook b = people();
                QString* cols[] = {&b.tableName,  &b.nameField,  &b.telephoneField,
                                   &b.emailField, &b.telephone2, &b.telephone3,
                                   &b.email2,     &b.freetext,   &b.contactid};
                if (i < 9)
                    *cols[i] = name;
                b.setGrouping(i < 9 ? "Dept" : name + ",Dept");
                b.groupNum = std::int16_t(i == 9 ? 0 : 1); // only the levels in use count
                const AppError e = caught([&] { checkDatabaseBookNames(b); });
                QCOMPARE(e.number(), plain || i == 9 ? 0 : ErrNum::DataAccess);
                QVERIFY(plain || i == 9 || e.description().contains("'CRM'"));
            }
        }
        QVERIFY(!isPlainSqlName(""));
        for (const char* ok : {"5551234", "+39 (02) 123-45.67", "*31#", "#"})
            QVERIFY2(isTelephoneNumber(ok), ok);
        for (const char* bad :
             {"", "_______", "555%", "5'", "55\u0661", "12a", "5\t5", "5\n", "5,5"})
            QVERIFY2(!isTelephoneNumber(QString::fromUtf8(bad)), bad);
        QCOMPARE(errNum([] { checkBookSqlName("CRM", ""); }), 0);
    }
    // Shown: the text for display; sent: what reaches the driver.
    void connectionTexts() {
        const QList<std::array<QString, 4>> rows{
            {"bob", "a;DATABASE=x", "UID=bob;PASSWORD=a;DATABASE=x", "UID=bob;PWD={a;DATABASE=x}"},
            {" bob", "pw ", "UID= bob;PASSWORD=pw ", "UID={ bob};PWD={pw }"},
            {"{x}", "a}b{", "UID={x};PASSWORD=a}b{", "UID={{x}}};PWD={a}}b{}"},
            {"", "a=b c", "UID=;PASSWORD=a=b c", "PWD=a=b c"},
            {"bob", "", "UID=bob;PASSWORD=", "UID=bob"}};
        for (const auto& [user, password, shown, sent] : rows) {
            QCOMPARE(odbc("crm", user, password).getConnectionString(), "DSN=crm; " + shown);
            QCOMPARE(odbc("crm", user, password).odbcConnectionText(), "DSN=crm;" + sent);
        }
        for (const char* dsn : {"", "a;b", "a{b", "crm "})
            QCOMPARE(errNum([&] { odbc(dsn).odbcConnectionText(); }), ErrNum::DataSourceOpen);
        // Qt's ODBC layer would take such a text for a file data source.
        QCOMPARE(errNum([] { odbc("crm", "", "my.DSNpass").openRecordset("SELECT 1"); }),
                 ErrNum::DataSourceOpen);
        QCOMPARE(errNum([] { localConnectionString(QString()); }), ErrNum::DataSourceOpen);
        QCOMPARE(localConnectionString("//tmp/x%y/./a?b#c.lab"),
                 QStringLiteral("file:/tmp/x%25y/a%3fb%23c.lab?mode=rw"));
    }
};

QTEST_GUILESS_MAIN(TstSql)
#include "tst_sql.moc"
