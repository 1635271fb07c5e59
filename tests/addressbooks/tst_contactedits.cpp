// Contact edits: the exact statements, and real round trips on a Local file
// and on an SQLite data source reached through ODBC.
#include "addressbooks/contactedits.h"
#include "platform/errors.h"
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

Contact withId(const QString& id) {
    return contact({}, {}, {}, {}, {}, {}, {}, id);
}

long errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

// Every row, fields "|"-joined, Null as "~".
QStringList rowsOf(Recordset rs) {
    QStringList out;
    for (; !rs.isEOF(); rs.MoveNext()) {
        QStringList f;
        for (int i = 0; i < rs.fieldCount(); ++i)
            f << (rs.isNull(i) ? QStringLiteral("~") : rs.text(i));
        out << f.join(u'|');
    }
    return out;
}

QStringList peopleRows(const DatabaseAddressBook& b) {
    DBConnection c;
    c.dsn = b.dsn;
    return rowsOf(c.openRecordset("SELECT Name,Phone,Mobile,Office,Mail FROM People ORDER BY Id"));
}

QStringList localRows(const QString& file) {
    return rowsOf(queryLocalBook(file, "SELECT ID,NAME,TELEPHONE,TELEPHONE2,TELEPHONE3,EMAIL,"
                                       "EMAIL2,FREETEXT FROM TAMRIVO ORDER BY ID"));
}

} // namespace

class TstContactEdits : public QObject {
    Q_OBJECT
private slots:
    // No mapping means the Local book; otherwise a Database book on People
    // with telephone2, telephone3, email2 and freetext mapped as given.
    void statements_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QStringList>("mapping");
        QTest::addColumn<Contact>("c");
        QTest::addColumn<QString>("sql");
        const QString ins = "INSERT INTO TAMRIVO (NAME, TELEPHONE, TELEPHONE2, TELEPHONE3, EMAIL, "
                            "EMAIL2, FREETEXT) VALUES (";
        const QStringList local, none{"", "", "", ""}, all{"Mobile", "Office", "Mail2", "Notes"};
        const Contact full = contact("O'Neil", "555", "m@x", "666", "777", "", " ", "7");
        QTest::newRow("Local add name only")
            << "add" << local << contact("Ann") << ins + "'Ann',NULL,NULL,NULL,NULL,NULL,NULL)";
        QTest::newRow("Local add all, quotes doubled, blank kept")
            << "add" << local << contact("O'Hara", "555", "a@b", "6'6", " ", "", "it's", "99")
            << ins + "'O''Hara','555','6''6',' ','a@b',NULL,'it''s')";
        QTest::newRow("Local add empty name still quoted")
            << "add" << local << contact(QString(), QString(""))
            << ins + "'',NULL,NULL,NULL,NULL,NULL,NULL)";
        QTest::newRow("Local update")
            << "update" << local << contact("Ann", "555", {}, {}, {}, {}, {}, "7")
            << "UPDATE TAMRIVO SET NAME= 'Ann',TELEPHONE='555',TELEPHONE2=NULL,TELEPHONE3=NULL,"
               "EMAIL=NULL,EMAIL2=NULL,FREETEXT=NULL WHERE ID=7";
        QTest::newRow("Local update all")
            << "update" << local << contact("a'", "1", "e", "2", "3", "e2", "  ", "12")
            << "UPDATE TAMRIVO SET NAME= 'a''',TELEPHONE='1',TELEPHONE2='2',TELEPHONE3='3',"
               "EMAIL='e',EMAIL2='e2',FREETEXT='  ' WHERE ID=12";
        QTest::newRow("Local delete")
            << "delete" << local << withId("42") << "DELETE FROM TAMRIVO WHERE ID=42";
        QTest::newRow("Database add, no optional")
            << "add" << none << contact("Ann", "555")
            << "INSERT INTO People(Name,Phone,Mail) VALUES ( 'Ann','555',NULL)";
        QTest::newRow("Database add, telephone2 and freetext")
            << "add" << QStringList{"Mobile", "", "", "Notes"} << full
            << "INSERT INTO People(Name,Phone,Mobile,Mail,Notes) VALUES ( 'O''Neil','555','666',"
               "'m@x',' ')";
        QTest::newRow("Database add, all mapped")
            << "add" << all << full
            << "INSERT INTO People(Name,Phone,Mobile,Office,Mail,Mail2,Notes) VALUES ( "
               "'O''Neil','555','666','777','m@x',NULL,' ')";
        QTest::newRow("Database update, no optional")
            << "update" << none << contact("Ann", "555", {}, "x", "y", "z", "w", "7")
            << "UPDATE People SET Name= 'Ann',Phone='555',Mail=NULL WHERE Id=7";
        QTest::newRow("Database update, all mapped")
            << "update" << all << full
            << "UPDATE People SET Name= 'O''Neil',Phone='555',Mobile='666',Office='777',"
               "Mail='m@x',Mail2=NULL,Notes=' ' WHERE Id=7";
        QTest::newRow("Database delete")
            << "delete" << none << withId("-3") << "DELETE FROM People WHERE Id=-3";
    }
    void statements() {
        QFETCH(QString, op);
        QFETCH(QStringList, mapping);
        QFETCH(Contact, c);
        QFETCH(QString, sql);
        if (mapping.isEmpty()) {
            QCOMPARE(op == "add"      ? ContactSQL::addLocal(c)
                     : op == "update" ? ContactSQL::updateLocal(c)
                                      : ContactSQL::deleteLocal(c),
                     sql);
            return;
        }
        DatabaseAddressBook b;
        b.Clear();
        b.tableName = "People";
        b.nameField = "Name";
        b.telephoneField = "Phone";
        b.emailField = "Mail";
        b.contactid = "Id";
        b.telephone2 = mapping[0];
        b.telephone3 = mapping[1];
        b.email2 = mapping[2];
        b.freetext = mapping[3];
        QCOMPARE(op == "add"      ? ContactSQL::addDatabase(b, c)
                 : op == "update" ? ContactSQL::updateDatabase(b, c)
                                  : ContactSQL::deleteDatabase(b, c),
                 sql);
    }

    // The id is written unquoted: only a number may stand there.
    void idMustBeANumber_data() {
        QTest::addColumn<QString>("id");
        for (const char* id : {"", " ", "1 OR 1=1", "Id", "1'"})
            QTest::newRow(id) << QString(id);
    }
    void idMustBeANumber() {
        QFETCH(QString, id);
        TestEnv env;
        auto local =
            addLocalBook(env, "a.lab", {{"Ann", "1", {}, {}, {}}, {"Bob", "2", {}, {}, {}}});
        auto db = addDatabaseBook(env, "crm", {{"Ann", "1", {}, {}, {}}});
        const QStringList localBefore = localRows(local->filename), dbBefore = peopleRows(*db);
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
        addLocalContact(*book, contact("O'Hara", "555", "s@x", "", " "));
        addLocalContact(*book, contact("Bob"));
        QCOMPARE(localRows(book->filename),
                 (QStringList{"1|O'Hara|555|~| |s@x|~|~", "2|Bob|~|~|~|~|~|~"}));
        updateLocalContact(*book, contact("Robert", "1", "r@x", "2", "3", "r2@x", "note", "2"));
        // An update that matches no row succeeds and changes nothing.
        updateLocalContact(*book, contact("Ghost", {}, {}, {}, {}, {}, {}, "99"));
        deleteLocalContact(*book, withId("1"));
        const QStringList left{"2|Robert|1|2|3|r@x|r2@x|note"};
        QCOMPARE(localRows(book->filename), left);

        // A value too long for its column is refused and nothing changes.
        QVERIFY(errorOf([&] { addLocalContact(*book, contact("Long", QString(21, u'9'))); }) >
                1000);
        Contact longName = withId("2");
        longName.name = QString(41, u'n');
        QVERIFY(errorOf([&] { updateLocalContact(*book, longName); }) > 1000);
        QCOMPARE(localRows(book->filename), left);
    }

    void databaseRoundTrip() {
        TestEnv env;
        auto db = addDatabaseBook(env, "crm", {{"Ann", "1", "m1", "o1", "a@x"}});
        // Office (telephone3) unmapped: never written, keeps its value.
        db->telephone3.clear();
        Trace trace;
        addDatabaseContact(*db, contact("B'ob", "2", "", "m2", "o2"));
        QCOMPARE(trace.sent, QStringList{"INSERT INTO People(Name,Phone,Mobile,Mail) VALUES ( "
                                         "'B''ob','2','m2',NULL)"});
        QCOMPARE(peopleRows(*db), (QStringList{"Ann|1|m1|o1|a@x", "B'ob|2|m2|~|~"}));
        updateDatabaseContact(*db, contact("Anna", " ", "new@x", "", "ignored", "", "", "1"));
        deleteDatabaseContact(*db, withId("2"));
        QCOMPARE(peopleRows(*db), QStringList{"Anna| |~|o1|new@x"});
    }

    // A missing Local file is not created; a bad column or data source fails
    // with a data-access error and writes nothing.
    void refusals() {
        TestEnv env;
        LocalAddressBook gone;
        gone.filename = env.file("gone.lab");
        QCOMPARE(errorOf([&] { addLocalContact(gone, contact("A")); }), ErrNum::DataSourceOpen);
        QVERIFY(!QFile::exists(gone.filename));

        auto db = addDatabaseBook(env, "crm", {{"Ann", "1", {}, {}, {}}});
        db->nameField = "NoSuchColumn";
        QVERIFY(errorOf([&] { addDatabaseContact(*db, contact("X")); }) > 1000);
        db->nameField = "Name";
        db->dsn = "nowhere";
        QVERIFY(errorOf([&] { addDatabaseContact(*db, contact("X")); }) > 1000);
        db->dsn = "crm";
        QCOMPARE(peopleRows(*db), QStringList{"Ann|1|~|~|~"});
    }
};

QTEST_GUILESS_MAIN(TstContactEdits)
#include "tst_contactedits.moc"
