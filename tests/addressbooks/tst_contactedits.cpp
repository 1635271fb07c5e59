// Contact edits: the exact statements, and real round trips on a Local file
// and on an SQLite data source reached through ODBC.
#include "addressbooks/contactedits.h"
#include "app/errors.h"
#include "booktestutil.h"
#include "platform/dbconnection.h"

#include <QTest>

using namespace booktest;

Q_DECLARE_METATYPE(Contact)

namespace {

Contact contact(const QString& name, const QString& tel = {}, const QString& email = {},
                const QString& tel2 = {}, const QString& tel3 = {}, const QString& email2 = {},
                const QString& freetext = {}, const QString& id = {}) {
    return Contact{name, tel, email, tel2, tel3, email2, freetext, id};
}

// A Database book on People with only the given optional columns mapped.
DatabaseAddressBook peopleBook(const QString& tel2, const QString& tel3, const QString& email2,
                               const QString& freetext) {
    DatabaseAddressBook b;
    b.Clear();
    b.dsn = QStringLiteral("crm");
    b.tableName = QStringLiteral("People");
    b.nameField = QStringLiteral("Name");
    b.telephoneField = QStringLiteral("Phone");
    b.emailField = QStringLiteral("Mail");
    b.contactid = QStringLiteral("Id");
    b.telephone2 = tel2;
    b.telephone3 = tel3;
    b.email2 = email2;
    b.freetext = freetext;
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

// Every row of People in id order, as "Name|Phone|Mobile|Office|Mail"; Null as "~".
QStringList peopleRows(const DatabaseAddressBook& b) {
    DBConnection c;
    c.dsn = b.dsn;
    Recordset rs = c.openRecordset(
        QStringLiteral("SELECT Name,Phone,Mobile,Office,Mail FROM People ORDER BY Id"));
    QStringList out;
    for (; !rs.isEOF(); rs.MoveNext()) {
        QStringList f;
        for (int i = 0; i < 5; ++i)
            f << (rs.isNull(i) ? QStringLiteral("~") : rs.text(i));
        out << f.join(u'|');
    }
    return out;
}

QStringList localRows(const QString& file) {
    Recordset rs = queryLocalBook(
        file, QStringLiteral("SELECT ID,NAME,TELEPHONE,TELEPHONE2,TELEPHONE3,EMAIL,EMAIL2,FREETEXT "
                             "FROM TAMRIVO ORDER BY ID"));
    QStringList out;
    for (; !rs.isEOF(); rs.MoveNext()) {
        QStringList f;
        for (int i = 0; i < 8; ++i)
            f << (rs.isNull(i) ? QStringLiteral("~") : rs.text(i));
        out << f.join(u'|');
    }
    return out;
}

} // namespace

class TstContactEdits : public QObject {
    Q_OBJECT
private slots:
    void localStatements_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<Contact>("c");
        QTest::addColumn<QString>("sql");
        QTest::newRow("add name only")
            << "add" << contact("Ann")
            << "INSERT INTO TAMRIVO (NAME, TELEPHONE, TELEPHONE2, TELEPHONE3, EMAIL, EMAIL2, "
               "FREETEXT) VALUES ('Ann',NULL,NULL,NULL,NULL,NULL,NULL)";
        QTest::newRow("add all, quotes doubled, blank kept")
            << "add" << contact("O'Hara", "555", "a@b", "6'6", " ", "", "it's", "99")
            << "INSERT INTO TAMRIVO (NAME, TELEPHONE, TELEPHONE2, TELEPHONE3, EMAIL, EMAIL2, "
               "FREETEXT) VALUES ('O''Hara','555','6''6',' ','a@b',NULL,'it''s')";
        QTest::newRow("add empty name still quoted")
            << "add" << contact(QString(), QString(""))
            << "INSERT INTO TAMRIVO (NAME, TELEPHONE, TELEPHONE2, TELEPHONE3, EMAIL, EMAIL2, "
               "FREETEXT) VALUES ('',NULL,NULL,NULL,NULL,NULL,NULL)";
        QTest::newRow("update")
            << "update" << contact("Ann", "555", {}, {}, {}, {}, {}, "7")
            << "UPDATE TAMRIVO SET NAME= 'Ann',TELEPHONE='555',TELEPHONE2=NULL,TELEPHONE3=NULL,"
               "EMAIL=NULL,EMAIL2=NULL,FREETEXT=NULL WHERE ID=7";
        QTest::newRow("update all")
            << "update" << contact("a'", "1", "e", "2", "3", "e2", "  ", "12")
            << "UPDATE TAMRIVO SET NAME= 'a''',TELEPHONE='1',TELEPHONE2='2',TELEPHONE3='3',"
               "EMAIL='e',EMAIL2='e2',FREETEXT='  ' WHERE ID=12";
        QTest::newRow("delete") << "delete" << contact("x", {}, {}, {}, {}, {}, {}, "42")
                                << "DELETE FROM TAMRIVO WHERE ID=42";
    }
    void localStatements() {
        QFETCH(QString, op);
        QFETCH(Contact, c);
        QFETCH(QString, sql);
        const QString got = op == "add"      ? ContactSQL::addLocal(c)
                            : op == "update" ? ContactSQL::updateLocal(c)
                                             : ContactSQL::deleteLocal(c);
        QCOMPARE(got, sql);
    }

    void databaseStatements_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QStringList>("mapping"); // telephone2, telephone3, email2, freetext
        QTest::addColumn<Contact>("c");
        QTest::addColumn<QString>("sql");
        const Contact full = contact("O'Neil", "555", "m@x", "666", "777", "", " ", "7");
        QTest::newRow("add, no optional")
            << "add" << QStringList{"", "", "", ""} << contact("Ann", "555")
            << "INSERT INTO People(Name,Phone,Mail) VALUES ( 'Ann','555',NULL)";
        QTest::newRow("add, telephone2 and freetext")
            << "add" << QStringList{"Mobile", "", "", "Notes"} << full
            << "INSERT INTO People(Name,Phone,Mobile,Mail,Notes) VALUES ( 'O''Neil','555','666',"
               "'m@x',' ')";
        QTest::newRow("add, all mapped")
            << "add" << QStringList{"Mobile", "Office", "Mail2", "Notes"} << full
            << "INSERT INTO People(Name,Phone,Mobile,Office,Mail,Mail2,Notes) VALUES ( "
               "'O''Neil','555','666','777','m@x',NULL,' ')";
        QTest::newRow("update, no optional")
            << "update" << QStringList{"", "", "", ""}
            << contact("Ann", "555", {}, "x", "y", "z", "w", "7")
            << "UPDATE People SET Name= 'Ann',Phone='555',Mail=NULL WHERE Id=7";
        QTest::newRow("update, all mapped")
            << "update" << QStringList{"Mobile", "Office", "Mail2", "Notes"} << full
            << "UPDATE People SET Name= 'O''Neil',Phone='555',Mobile='666',Office='777',"
               "Mail='m@x',Mail2=NULL,Notes=' ' WHERE Id=7";
        QTest::newRow("delete") << "delete" << QStringList{"", "", "", ""}
                                << contact("a", {}, {}, {}, {}, {}, {}, "-3")
                                << "DELETE FROM People WHERE Id=-3";
    }
    void databaseStatements() {
        QFETCH(QString, op);
        QFETCH(QStringList, mapping);
        QFETCH(Contact, c);
        QFETCH(QString, sql);
        const DatabaseAddressBook b = peopleBook(mapping[0], mapping[1], mapping[2], mapping[3]);
        const QString got = op == "add"      ? ContactSQL::addDatabase(b, c)
                            : op == "update" ? ContactSQL::updateDatabase(b, c)
                                             : ContactSQL::deleteDatabase(b, c);
        QCOMPARE(got, sql);
    }

    // The id is written unquoted: only a number may stand there.
    void idMustBeANumber_data() {
        QTest::addColumn<QString>("id");
        QTest::newRow("empty") << QString();
        QTest::newRow("blank") << " ";
        QTest::newRow("or") << "1 OR 1=1";
        QTest::newRow("column") << "Id";
        QTest::newRow("quote") << "1'";
    }
    void idMustBeANumber() {
        QFETCH(QString, id);
        TestEnv env;
        auto local =
            addLocalBook(env, "a.lab", {{"Ann", "1", {}, {}, {}}, {"Bob", "2", {}, {}, {}}});
        auto db = addDatabaseBook(env, "crm", {{"Ann", "1", {}, {}, {}}});
        const QStringList localBefore = localRows(local->filename);
        const QStringList dbBefore = peopleRows(*db);
        Contact c = contact("Zed", "9");
        c.contactid = id;
        Trace trace;
        QCOMPARE(errorOf([&] { updateLocalContact(*local, c); }), ErrNum::DataAccess);
        QCOMPARE(errorOf([&] { deleteLocalContact(*local, c); }), ErrNum::DataAccess);
        QCOMPARE(errorOf([&] { updateDatabaseContact(*db, c); }), ErrNum::DataAccess);
        QCOMPARE(errorOf([&] { deleteDatabaseContact(*db, c); }), ErrNum::DataAccess);
        QVERIFY(trace.sent.isEmpty());
        QCOMPARE(localRows(local->filename), localBefore);
        QCOMPARE(peopleRows(*db), dbBefore);
    }

    void localRoundTrip() {
        TestEnv env;
        auto book = addLocalBook(env, "a.lab", {});
        Trace trace;
        addLocalContact(*book, contact("O'Hara", "555", "s@x", "", " "));
        addLocalContact(*book, contact("Bob"));
        QCOMPARE(trace.sent.last(), ContactSQL::addLocal(contact("Bob")));
        QCOMPARE(localRows(book->filename),
                 (QStringList{"1|O'Hara|555|~| |s@x|~|~", "2|Bob|~|~|~|~|~|~"}));

        updateLocalContact(*book, contact("Robert", "1", "r@x", "2", "3", "r2@x", "note", "2"));
        QCOMPARE(localRows(book->filename).last(), "2|Robert|1|2|3|r@x|r2@x|note");
        // An update that matches no row succeeds and changes nothing.
        updateLocalContact(*book, contact("Ghost", {}, {}, {}, {}, {}, {}, "99"));
        deleteLocalContact(*book, contact({}, {}, {}, {}, {}, {}, {}, "1"));
        QCOMPARE(localRows(book->filename), QStringList{"2|Robert|1|2|3|r@x|r2@x|note"});

        // A value too long for its column is refused and nothing changes.
        QVERIFY(errorOf([&] { addLocalContact(*book, contact("Long", QString(21, u'9'))); }) >
                1000);
        QVERIFY(errorOf([&] {
                    updateLocalContact(*book,
                                       contact(QString(41, u'n'), {}, {}, {}, {}, {}, {}, "2"));
                }) > 1000);
        QCOMPARE(localRows(book->filename), QStringList{"2|Robert|1|2|3|r@x|r2@x|note"});
    }

    void localMissingFile() {
        TestEnv env;
        LocalAddressBook book;
        book.filename = env.file("gone.lab");
        QCOMPARE(errorOf([&] { addLocalContact(book, contact("A")); }), ErrNum::DataSourceOpen);
        QVERIFY(!QFile::exists(book.filename));
    }

    void databaseRoundTrip() {
        TestEnv env;
        auto db = addDatabaseBook(env, "crm", {{"Ann", "1", "m1", "o1", "a@x"}});
        // Office (telephone3) unmapped: never written, keeps its value.
        db->telephone3.clear();
        Trace trace;
        const Contact bob = contact("B'ob", "2", "", "m2", "o2");
        addDatabaseContact(*db, bob);
        QCOMPARE(trace.sent, QStringList{ContactSQL::addDatabase(*db, bob)});
        QCOMPARE(trace.sent.first(),
                 "INSERT INTO People(Name,Phone,Mobile,Mail) VALUES ( 'B''ob','2','m2',NULL)");
        QCOMPARE(peopleRows(*db), (QStringList{"Ann|1|m1|o1|a@x", "B'ob|2|m2|~|~"}));

        updateDatabaseContact(*db, contact("Anna", " ", "new@x", "", "ignored", "", "", "1"));
        QCOMPARE(peopleRows(*db).first(), "Anna| |~|o1|new@x");
        deleteDatabaseContact(*db, contact({}, {}, {}, {}, {}, {}, {}, "2"));
        QCOMPARE(peopleRows(*db), QStringList{"Anna| |~|o1|new@x"});
    }

    void databaseRefusals() {
        TestEnv env;
        auto db = addDatabaseBook(env, "crm", {{"Ann", "1", {}, {}, {}}});
        db->nameField = QStringLiteral("NoSuchColumn");
        QVERIFY(errorOf([&] { addDatabaseContact(*db, contact("X")); }) > 1000);
        db->nameField = QStringLiteral("Name");
        db->dsn = QStringLiteral("nowhere");
        QVERIFY(errorOf([&] { addDatabaseContact(*db, contact("X")); }) > 1000);
        db->dsn = QStringLiteral("crm");
        QCOMPARE(peopleRows(*db), QStringList{"Ann|1|~|~|~"});
    }
};

QTEST_GUILESS_MAIN(TstContactEdits)
#include "tst_contactedits.moc"
