#include "addressbooks/dbfunctions.h"
#include "addressbooks/search.h"
#include "platform/errors.h"
#include "booktestutil.h"
#include "common/testenv.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QTest>

using namespace booktest;

namespace {

QStringList folderEntries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// A new Local book in env with the statements run in it.
QString newBook(const TestEnv& env, const QStringList& statements = {}) {
    const QString path = env.file("book.lab");
    createLocalAddressBook(path);
    for (const QString& sql : statements)
        executeLocalBook(path, sql);
    return path;
}

QStringList names(DBSearchResult r) {
    QStringList out;
    for (; !r.isEOF(); r.MoveNext())
        out << r.NameStr();
    return out;
}

} // namespace

class TstLocalBook : public QObject {
    Q_OBJECT
private slots:
    // One table; ids never reused; no connection left open, nor the file held.
    void newFile() {
        TestEnv env;
        const QString path = newBook(env, {"INSERT INTO TAMRIVO (NAME) VALUES ('a')",
                                           "INSERT INTO TAMRIVO (NAME) VALUES ('b')",
                                           "DELETE FROM TAMRIVO WHERE ID=2",
                                           "INSERT INTO TAMRIVO (NAME) VALUES ('c')"});
        {
            auto s = openLocalBook(path);
            QCOMPARE(s->tableFields("TAMRIVO"),
                     (QStringList{"ID", "name", "telephone", "email", "telephone2", "telephone3",
                                  "email2", "freetext"}));
            QCOMPARE(s->openRecordset("SELECT group_concat(name) FROM sqlite_master WHERE "
                                      "type='table' AND name NOT LIKE 'sqlite%'")
                         .text(0),
                     QStringLiteral("TAMRIVO"));
        }
        Recordset rs = queryLocalBook(path, "SELECT ID, NAME FROM TAMRIVO");
        QStringList got;
        for (; !rs.isEOF(); rs.MoveNext())
            got << rs.text("id") + u'=' + rs.text("name");
        QCOMPARE(got, (QStringList{"1=a", "3=c"}));
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
        QVERIFY(QFile::remove(path));
        createLocalAddressBook(path);
    }

    void lengthsAreEnforced_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("size");
        for (const auto& [c, n] : {std::pair{"NAME", 40},
                                   {"TELEPHONE", 20},
                                   {"EMAIL", 100},
                                   {"TELEPHONE2", 20},
                                   {"TELEPHONE3", 20},
                                   {"EMAIL2", 100},
                                   {"FREETEXT", 250}})
            QTest::newRow(c) << QString(c) << n;
    }
    void lengthsAreEnforced() {
        QFETCH(QString, column);
        QFETCH(int, size);
        TestEnv env;
        const QString path = newBook(env);
        const bool name = column == "NAME";
        const QString insert = QString("INSERT INTO TAMRIVO (%1) VALUES (%2'%3')")
                                   .arg(name ? column : "NAME," + column, name ? "" : "'n',");
        // Exactly the size fits, counted in characters, not bytes.
        const QString fits(size, QChar(0x00e8));
        executeLocalBook(path, insert.arg(fits));
        QCOMPARE(errNum([&] { executeLocalBook(path, insert.arg(QString(size + 1, u'x'))); }),
                 ErrNum::DataAccess);
        Recordset rs = queryLocalBook(path, "SELECT " + column + " FROM TAMRIVO");
        QCOMPARE(rs.RecordCount(), 1);
        QCOMPARE(rs.text(0), fits);
    }

    void nameIsRequiredOtherColumnsMayBeNull() {
        TestEnv env;
        const QString path = newBook(env);
        QCOMPARE(
            errNum([&] { executeLocalBook(path, "INSERT INTO TAMRIVO (TELEPHONE) VALUES ('1')"); }),
            ErrNum::DataAccess);
        executeLocalBook(path, "INSERT INTO TAMRIVO (NAME,TELEPHONE,EMAIL) VALUES ('Ann',NULL,'')");
        Recordset rs = queryLocalBook(path, "SELECT NAME,TELEPHONE,EMAIL FROM TAMRIVO");
        QVERIFY(rs.isNull("telephone"));
        QVERIFY(!rs.isNull("EMAIL"));
        QCOMPARE(rs.text("EMAIL"), QString(""));
        QCOMPARE(rs.text("TELEPHONE"), QString(""));
        QCOMPARE(errNum([&] { rs.value("NOSUCH"); }), ErrNum::ItemNotFound);
        rs.MoveNext();
        QCOMPARE(errNum([&] { rs.value(0); }), ErrNum::NoCurrentRecord);
    }

    // Never overwrites, creates nothing on a bad path, removes its file when
    // the table cannot be made.
    void createFailuresLeaveNothing() {
        TestEnv env;
        const QString old = env.file("old.lab");
        QFile f(old);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
        f.close();
        QCOMPARE(errNum([&] { createLocalAddressBook(old); }), ErrNum::DataAccess);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep me"));

        QCOMPARE(errNum([&] { createLocalAddressBook(QString()); }), ErrNum::DataSourceOpen);
        QVERIFY(errNum([&] { createLocalAddressBook(env.file("no/such/folder/x.lab")); }) > 1000);
        QVERIFY(!QFile::exists(env.file("no")));

        const QString dir = env.file("made");
        QDir().mkpath(dir);
        DbSession::setObserver([](const QString& what, const QString& text) {
            if (what == "exec" && text.startsWith("CREATE TABLE"))
                raiseError(ErrNum::DataAccess, "disk full");
        });
        const long err = errNum([&] { createLocalAddressBook(dir + "/book.lab"); });
        DbSession::setObserver({});
        QCOMPARE(err, ErrNum::DataAccess);
        QCOMPARE(folderEntries(dir), QStringList());
    }

    void openingFailsClearly_data() {
        QTest::addColumn<QString>("kind");
        for (const char* k : {"empty path", "missing", "not sqlite", "empty file",
                              "sqlite without TAMRIVO", "folder"})
            QTest::newRow(k) << QString(k);
    }
    void openingFailsClearly() {
        QFETCH(QString, kind);
        TestEnv env;
        QString path = env.file("book.lab");
        if (kind == "empty path") {
            path.clear();
        } else if (kind == "not sqlite" || kind == "empty file") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (kind == "not sqlite")
                f.write(QByteArray(4096, 'x'));
        } else if (kind == "sqlite without TAMRIVO") {
            makeSqliteFile(path, {"CREATE TABLE people (name TEXT)"});
        } else if (kind == "folder") {
            QDir().mkpath(path);
        }
        const QStringList before = folderEntries(env.path());
        QCOMPARE(errNum([&] { queryLocalBook(path, "SELECT * FROM TAMRIVO"); }),
                 ErrNum::DataSourceOpen);
        QCOMPARE(errNum([&] { executeLocalBook(path, "INSERT INTO TAMRIVO (NAME) VALUES ('x')"); }),
                 ErrNum::DataSourceOpen);
        LocalAddressBook b;
        b.filename = path;
        QCOMPARE(errNum([&] { searchLocalAddressBook(b, "0|O|0", "x", 0, 0); }),
                 ErrNum::DataSourceOpen);
        // Nothing was created beside or in place of the file.
        QCOMPARE(folderEntries(env.path()), before);
        if (kind == "empty file")
            QCOMPARE(QFileInfo(path).size(), 0);
    }

    void searchReadsEveryFieldAndKeepsNullApart() {
        TestEnv env;
        LocalAddressBook b;
        b.filename = newBook(
            env, {"INSERT INTO TAMRIVO (NAME,TELEPHONE,EMAIL,TELEPHONE2,TELEPHONE3,EMAIL2,"
                  "FREETEXT) VALUES ('O''Brien','555','o@x','556','557','o2@x','note: a?b')",
                  "INSERT INTO TAMRIVO (NAME) VALUES ('Null Person')"});
        DBSearchResult r = searchLocalAddressBook(b, "0|O|4", "O'Brien", 0, 0);
        QCOMPARE(r.num(), 1);
        QCOMPARE((QStringList{r.abTagStr(), r.NameStr(), r.telephoneStr(), r.emailStr(),
                              r.telephone2Str(), r.telephone3Str(), r.email2Str(), r.freetextStr(),
                              r.contactidStr()}),
                 (QStringList{"0|O|4", "O'Brien", "555", "o@x", "556", "557", "o2@x", "note: a?b",
                              "1"}));
        r = searchLocalAddressBook(b, "t", "null", 0, 3);
        QCOMPARE(r.num(), 1);
        QCOMPARE(r.telephoneStr(), QString(""));
        QCOMPARE(r.contactidStr(), QStringLiteral("2"));

        // The table is found whatever the case of its name.
        b.filename = env.file("lower.lab");
        makeSqliteFile(b.filename,
                       {"CREATE TABLE tamrivo (ID INTEGER PRIMARY KEY, NAME TEXT, TELEPHONE TEXT, "
                        "TELEPHONE2 TEXT, TELEPHONE3 TEXT, EMAIL TEXT, EMAIL2 TEXT, FREETEXT TEXT)",
                        "INSERT INTO tamrivo (NAME) VALUES ('x')"});
        QCOMPARE(searchLocalAddressBook(b, "t", "x", 0, 0).num(), 1);
    }

    void searchModes_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("exact ignores case") << 0 << 0 << "ann lee" << QStringList{"Ann Lee"};
        QTest::newRow("exact is whole") << 0 << 0 << "Ann" << QStringList{};
        QTest::newRow("prefix") << 0 << 1 << "an" << QStringList{"Ann Lee", "Anna"};
        QTest::newRow("suffix") << 0 << 2 << "lee" << QStringList{"Ann Lee", "Bo Lee"};
        QTest::newRow("contains") << 0 << 3 << "n" << QStringList{"Ann Lee", "Anna"};
        QTest::newRow("underscore is a wildcard") << 0 << 1 << "B_ L" << QStringList{"Bo Lee"};
        QTest::newRow("number via telephone3") << 1 << 2 << "999" << QStringList{"Bo Lee"};
        QTest::newRow("number via any")
            << 1 << 1 << "0" << QStringList{"Ann Lee", "Anna", "Bo Lee"};
        QTest::newRow("email via email2") << 2 << 0 << "z@x" << QStringList{"Anna"};
    }
    void searchModes() {
        QFETCH(int, field);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        TestEnv env;
        LocalAddressBook b;
        b.filename = newBook(
            env, {"INSERT INTO TAMRIVO (NAME,TELEPHONE,EMAIL) VALUES ('Ann Lee','0100','a@x')",
                  "INSERT INTO TAMRIVO (NAME,TELEPHONE2,EMAIL2) VALUES ('Anna','0200','z@x')",
                  "INSERT INTO TAMRIVO (NAME,TELEPHONE3) VALUES ('Bo Lee','0999')"});
        QCOMPARE(::names(searchLocalAddressBook(b, "t", text, field, mode)), names);
    }
};

QTEST_GUILESS_MAIN(TstLocalBook)
#include "tst_localbook.moc"
