// The SQL and connection texts the address books build, byte for byte, and
// the checks that keep what a caller, a user or a settings file supplies
// from changing a statement.
#include "addressbooks/contactedits.h"
#include "addressbooks/dbfunctions.h"
#include "addressbooks/search.h"
#include "booktestutil.h"
#include "platform/dbconnection.h"

#include <QTest>

using namespace booktest;

Q_DECLARE_METATYPE(Contact)

namespace {

// People mapped in full; optional columns beyond those given are unmapped.
DatabaseAddressBook people(const QStringList& optional = {"Mobile", "Office", "Mail2", "Notes",
                                                          "Id"}) {
    DatabaseAddressBook b;
    b.Clear();
    b.addressBookName = "CRM";
    b.tableName = "People";
    b.nameField = "Name";
    b.telephoneField = "Phone";
    b.emailField = "Mail";
    QString* cols[] = {&b.telephone2, &b.telephone3, &b.email2, &b.freetext, &b.contactid};
    for (int i = 0; i < optional.size(); ++i)
        *cols[i] = optional[i];
    return b;
}

} // namespace

class TstSql : public QObject {
    Q_OBJECT
private slots:
    void escape() {
        QCOMPARE(escapeSQL("O'Brien ''"), QStringLiteral("O''Brien ''''"));
        QCOMPARE(escapeSQL("50%_\"`;:?\\ D\u2019A"), QStringLiteral("50%_\"`;:?\\ D\u2019A"));
    }

    // One row per shape: each mode, each field's column set, the mappings.
    void search_data() {
        QTest::addColumn<QStringList>("mapping"); // empty: a Local book
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sql");
        const QString l = "SELECT NAME,TELEPHONE,TELEPHONE2,TELEPHONE3,EMAIL,EMAIL2,FREETEXT,ID "
                          "FROM TAMRIVO WHERE ";
        const QString d = "SELECT Name,Phone,Mail";
        const QStringList all{"Mobile", "Office", "Mail2", "Notes", "Id"}, none{"", "", "", "", ""};
        QTest::newRow("L name exact")
            << QStringList() << 0 << 0 << "O'Brien" << l + "NAME ='O''Brien'";
        QTest::newRow("L number prefix") << QStringList() << 1 << 1 << "5%_:a?"
                                         << l + "TELEPHONE LIKE '5%_:a?%' OR TELEPHONE2 LIKE "
                                                "'5%_:a?%' OR TELEPHONE3 LIKE '5%_:a?%'";
        QTest::newRow("L email suffix")
            << QStringList() << 2 << 2 << "a@b" << l + "EMAIL LIKE '%a@b' OR EMAIL2 LIKE '%a@b'";
        QTest::newRow("L backslash taken")
            << QStringList() << 0 << 3 << "a\\" << l + "NAME LIKE '%a\\%'";
        QTest::newRow("D all mapped, number contains")
            << all << 1 << 3 << "555"
            << d + ",Mobile,Office,Mail2,Notes,Id FROM People WHERE Phone LIKE '%555%' OR "
                   "Mobile LIKE '%555%' OR Office LIKE '%555%'";
        QTest::newRow("D example") << QStringList{"Mobile", "", "", "", ""} << 1 << 2 << "123"
                                   << d + ",Mobile FROM People WHERE Phone LIKE '%123' OR Mobile "
                                          "LIKE '%123'";
        QTest::newRow("D none mapped, email")
            << none << 2 << 1 << "x" << d + " FROM People WHERE Mail LIKE 'x%'";
        QTest::newRow("D email2 and id, email exact")
            << QStringList{"", "", "Mail2", "", "Id"} << 2 << 0 << "e'"
            << d + ",Mail2,Id FROM People WHERE Mail ='e''' OR Mail2 ='e'''";
        QTest::newRow("D name") << none << 0 << 1 << "Ann"
                                << d + " FROM People WHERE Name LIKE 'Ann%'";
    }
    void search() {
        QFETCH(QStringList, mapping);
        QFETCH(int, field);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QString, sql);
        QCOMPARE(mapping.isEmpty() ? localSearchSQL(text, field, mode)
                                   : databaseSearchSQL(people(mapping), text, field, mode),
                 sql);
    }

    void contactStatements_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QStringList>("mapping");
        QTest::addColumn<Contact>("c");
        QTest::addColumn<QString>("sql");
        const QString ins = "INSERT INTO TAMRIVO (NAME, TELEPHONE, TELEPHONE2, TELEPHONE3, EMAIL, "
                            "EMAIL2, FREETEXT) VALUES (";
        const QStringList local, none{"", "", "", "", "Id"};
        const Contact full = contact("O'Neil", "555", "m@x", "666", "777", "", " ", "7");
        QTest::newRow("L add") << "add" << local << contact("O'Hara", "5\\5", "", "6'6", " ")
                               << ins + "'O''Hara','5\\5','6''6',' ',NULL,NULL,NULL)";
        QTest::newRow("L add, empty name quoted")
            << "add" << local << contact({}) << ins + "'',NULL,NULL,NULL,NULL,NULL,NULL)";
        QTest::newRow("L update") << "update" << local
                                  << contact("a'", "1", "e", "2", "3", "e2", "  ", " 12")
                                  << "UPDATE TAMRIVO SET NAME= 'a''',TELEPHONE='1',TELEPHONE2='2',"
                                     "TELEPHONE3='3',EMAIL='e',EMAIL2='e2',FREETEXT='  ' WHERE "
                                     "ID= 12";
        QTest::newRow("L delete") << "delete" << local << withId("42")
                                  << "DELETE FROM TAMRIVO WHERE ID=42";
        QTest::newRow("D add, some mapped")
            << "add" << QStringList{"Mobile", "", "", "Notes", "Id"} << full
            << "INSERT INTO People(Name,Phone,Mobile,Mail,Notes) VALUES ( 'O''Neil','555','666',"
               "'m@x',' ')";
        QTest::newRow("D update, all mapped")
            << "update" << QStringList{"Mobile", "Office", "Mail2", "Notes", "Id"} << full
            << "UPDATE People SET Name= 'O''Neil',Phone='555',Mobile='666',Office='777',"
               "Mail='m@x',Mail2=NULL,Notes=' ' WHERE Id=7";
        QTest::newRow("D update, none mapped")
            << "update" << none << contact("Ann", "555", "", "x", "y", "z", "w", "7")
            << "UPDATE People SET Name= 'Ann',Phone='555',Mail=NULL WHERE Id=7";
        QTest::newRow("D delete") << "delete" << none << withId("-3.0")
                                  << "DELETE FROM People WHERE Id=-3.0";
    }
    void contactStatements() {
        QFETCH(QString, op);
        QFETCH(QStringList, mapping);
        QFETCH(Contact, c);
        QFETCH(QString, sql);
        const DatabaseAddressBook b = people(mapping);
        const bool l = mapping.isEmpty();
        QCOMPARE(op == "add" ? (l ? ContactSQL::addLocal(c) : ContactSQL::addDatabase(b, c))
                 : op == "update"
                     ? (l ? ContactSQL::updateLocal(c) : ContactSQL::updateDatabase(b, c))
                     : (l ? ContactSQL::deleteLocal(c) : ContactSQL::deleteDatabase(b, c)),
                 sql);
    }

    // What would change a statement's meaning is refused before any is built.
    void refusedInput() {
        for (const auto& [field, mode] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {1, 4}}) {
            QCOMPARE(errNum([&] { localSearchSQL("x", field, mode); }), ErrNum::InvalidCall);
            QCOMPARE(errNum([&] { databaseSearchSQL(people(), "x", field, mode); }),
                     ErrNum::InvalidCall);
        }
        // The id goes in unquoted: only a number may stand there.
        for (const char* id : {"", " ", "1 OR 1=1", "Id", "1'"}) {
            const Contact c = contact("Zed", {}, {}, {}, {}, {}, {}, id);
            for (const auto& f : std::initializer_list<std::function<void()>>{
                     [&] { ContactSQL::updateLocal(c); }, [&] { ContactSQL::deleteLocal(c); },
                     [&] { ContactSQL::updateDatabase(people(), c); },
                     [&] { ContactSQL::deleteDatabase(people(), c); }})
                QCOMPARE(errNum(f), ErrNum::DataAccess);
        }
        // A backslash could end the quotes on some engines: never sent to a
        // Database book, from any field.
        for (int i = 0; i < 7; ++i) {
            Contact c = contact("n", "1", "e", "2", "3", "e2", "f", "7");
            QString* fields[] = {&c.name,       &c.telephone, &c.email,   &c.telephone2,
                                 &c.telephone3, &c.email2,    &c.freetext};
            *fields[i] += "\\' OR 1=1 --";
            QCOMPARE(errNum([&] { ContactSQL::addDatabase(people(), c); }), ErrNum::DataAccess);
            QCOMPARE(errNum([&] { ContactSQL::updateDatabase(people(), c); }), ErrNum::DataAccess);
        }
        const AppError e = caught([] { databaseSearchSQL(people(), "\\' OR 1=1 --", 0, 0); });
        QCOMPARE(e.number(), ErrNum::DataAccess);
        QVERIFY2(e.description().contains("backslash"), qPrintable(e.description()));
    }

    void sqlNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        for (const char* ok : {"People", "_x1$", "crm.People", "cat.dbo.[My Table]", "\"a; b\"",
                               "`odd name`", "Citt\u00e0", "[a\"b]"})
            QTest::newRow(ok) << QString(ok) << true;
        for (const char* bad :
             {"", "1st", "People; DROP TABLE x", "Name,Notes", "*", "a b", "\"a\"\"b\"", "[a]]",
              "`a\\`", "a.b.c.d", "a.", "Name--", "People WHERE 1=1", "\"\\\".\"; x\""})
            QTest::newRow(bad) << QString(bad) << false;
    }
    void sqlNames() {
        QFETCH(QString, name);
        QFETCH(bool, plain);
        QCOMPARE(isPlainSqlName(name), plain);
        // A book's table, mapping or grouping column: named in the error.
        for (int i = 0; i < 11; ++i) {
            DatabaseAddressBook b = people();
            QString* cols[] = {&b.tableName,  &b.nameField,  &b.telephoneField,
                               &b.emailField, &b.telephone2, &b.telephone3,
                               &b.email2,     &b.freetext,   &b.contactid};
            if (i < 9) {
                *cols[i] = name;
            } else {
                b.setGrouping("Dept," + name);
                b.groupNum = std::int16_t(i - 8); // only the levels in use count
            }
            const AppError e = caught([&] { checkDatabaseBookNames(b); });
            // A grouping list splits at ",": its own items count.
            const QString item = i == 10 ? name.section(',', 0, 0) : name;
            const bool refused = i != 9 && !item.isEmpty() && !isPlainSqlName(item);
            QCOMPARE(e.number(), refused ? ErrNum::DataAccess : 0);
            QVERIFY(!refused || e.description().contains("'CRM'"));
        }
    }

    void telephoneNumbers() {
        for (const char* ok : {"5551234", "+39 (02) 123-45.67", "*31#", "#"})
            QVERIFY2(isTelephoneNumber(ok), ok);
        for (const char* bad : {"", "_______", "555%", "\\';DROP/**/TABLE/**/victim;--", "5'",
                                "55\u0661", "12a", "5\t5", "5,5"})
            QVERIFY2(!isTelephoneNumber(QString::fromUtf8(bad)), bad);
    }

    // Shown: the text for display; sent: what reaches the driver.
    void connectionTexts() {
        const QList<std::array<QString, 4>> rows{
            {"bob", "a=b c", "UID=bob;PASSWORD=a=b c", "UID=bob;PWD=a=b c"},
            {"bob", "a;DATABASE=x", "UID=bob;PASSWORD=a;DATABASE=x", "UID=bob;PWD={a;DATABASE=x}"},
            {" bob", "pw ", "UID= bob;PASSWORD=pw ", "UID={ bob};PWD={pw }"},
            {"{x}", "a}b{", "UID={x};PASSWORD=a}b{", "UID={{x}}};PWD={a}}b{}"},
            {"", "pw", "UID=;PASSWORD=pw", "PWD=pw"},
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

    void searchResult() {
        DBSearchResult r;
        r.init();
        QVERIFY(r.isEOF());
        r.Add("0|O|1", "Ann", "555", "a@x", "556", "557", "b@x", "note", "7");
        r.Add("0|D|0", "Bob", "1", "bob@x");
        auto row = [](const DBSearchResult& x) {
            return QStringList{x.abTagStr(),      x.NameStr(),       x.telephoneStr(),
                               x.telephone2Str(), x.telephone3Str(), x.emailStr(),
                               x.email2Str(),     x.freetextStr(),   x.contactidStr()}
                .join('|');
        };
        QCOMPARE(row(r), QStringLiteral("0|O|1|Ann|555|556|557|a@x|b@x|note|7"));
        for (int i = 0; i < 3; ++i)
            r.MoveNext();
        QCOMPARE(row(r), QStringLiteral("||||||||"));
        // Add goes back to the first row; AddAll copies from the source's cursor on.
        DBSearchResult all;
        all.init();
        r.Add("t", "Cy", "", "");
        r.MoveNext();
        all.AddAll(r);
        QVERIFY(r.isEOF());
        QStringList names;
        for (; !all.isEOF(); all.MoveNext())
            names << all.NameStr();
        QCOMPARE(names, (QStringList{"Bob", "Cy"}));
        // At most 32767 rows.
        while (all.num() < 32767)
            all.Add("t", "n", "", "");
        QCOMPARE(errNum([&] { all.Add("t", "n", "", ""); }), ErrNum::Overflow);
        r.MoveFirst();
        QCOMPARE(errNum([&] { all.AddAll(r); }), ErrNum::Overflow);
        QCOMPARE(all.num(), 32767);
    }
};

QTEST_GUILESS_MAIN(TstSql)
#include "tst_sql.moc"
