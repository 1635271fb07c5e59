#include "addressbooks/dbfunctions.h"
#include "addressbooks/search.h"
#include "app/errors.h"
#include "booktestutil.h"
#include "common/testenv.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QTest>

using namespace booktest;

namespace {

template <typename F> long errorOf(F&& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

QStringList folderEntries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

class TstLocalBook : public QObject {
    Q_OBJECT
private slots:
    void newFileHasTheOneTableWithItsColumns() {
        TestEnv env;
        const QString path = env.file("new.lab");
        createLocalAddressBook(path);
        QVERIFY(QFile::exists(path));
        auto s = openLocalBook(path);
        QCOMPARE(s->tableFields("TAMRIVO"),
                 (QStringList{"ID", "name", "telephone", "email", "telephone2", "telephone3",
                              "email2", "freetext"}));
        Recordset tables =
            s->openRecordset("SELECT name FROM sqlite_master WHERE type='table' AND name NOT "
                             "LIKE 'sqlite%'");
        QCOMPARE(tables.RecordCount(), 1);
        QCOMPARE(tables.text(0), QStringLiteral("TAMRIVO"));
    }

    void idsNumberThemselvesAndAreNeverReused() {
        TestEnv env;
        const QString path = env.file("ids.lab");
        createLocalAddressBook(path);
        executeLocalBook(path, "INSERT INTO TAMRIVO (NAME) VALUES ('a')");
        executeLocalBook(path, "INSERT INTO TAMRIVO (NAME) VALUES ('b')");
        executeLocalBook(path, "DELETE FROM TAMRIVO WHERE ID=2");
        executeLocalBook(path, "INSERT INTO TAMRIVO (NAME) VALUES ('c')");
        Recordset rs = queryLocalBook(path, "SELECT ID, NAME FROM TAMRIVO");
        QStringList got;
        for (; !rs.isEOF(); rs.MoveNext())
            got << rs.text("id") + u'=' + rs.text("name");
        QCOMPARE(got, (QStringList{"1=a", "3=c"}));
    }

    void lengthsAreEnforced_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("size");
        QTest::newRow("name") << "NAME" << 40;
        QTest::newRow("telephone") << "TELEPHONE" << 20;
        QTest::newRow("email") << "EMAIL" << 100;
        QTest::newRow("telephone2") << "TELEPHONE2" << 20;
        QTest::newRow("telephone3") << "TELEPHONE3" << 20;
        QTest::newRow("email2") << "EMAIL2" << 100;
        QTest::newRow("freetext") << "FREETEXT" << 250;
    }
    void lengthsAreEnforced() {
        QFETCH(QString, column);
        QFETCH(int, size);
        TestEnv env;
        const QString path = env.file("len.lab");
        createLocalAddressBook(path);
        const QString nameValue = column == "NAME" ? QString() : QStringLiteral("'n',");
        const QString cols = column == "NAME" ? column : "NAME," + column;
        // Exactly the size fits, counted in characters, not bytes.
        const QString fits = QString(size, QChar(0x00e8));
        executeLocalBook(
            path, QString("INSERT INTO TAMRIVO (%1) VALUES (%2'%3')").arg(cols, nameValue, fits));
        QCOMPARE(errorOf([&] {
                     executeLocalBook(path, QString("INSERT INTO TAMRIVO (%1) VALUES (%2'%3')")
                                                .arg(cols, nameValue, QString(size + 1, u'x')));
                 }),
                 ErrNum::DataAccess);
        Recordset rs = queryLocalBook(path, "SELECT " + column + " FROM TAMRIVO");
        QCOMPARE(rs.RecordCount(), 1);
        QCOMPARE(rs.text(0), fits);
    }

    void nameIsRequiredOtherColumnsMayBeNull() {
        TestEnv env;
        const QString path = env.file("null.lab");
        createLocalAddressBook(path);
        QCOMPARE(errorOf([&] {
                     executeLocalBook(path, "INSERT INTO TAMRIVO (TELEPHONE) VALUES ('1')");
                 }),
                 ErrNum::DataAccess);
        executeLocalBook(path, "INSERT INTO TAMRIVO (NAME,TELEPHONE,EMAIL) VALUES ('Ann',NULL,'')");
        Recordset rs = queryLocalBook(path, "SELECT NAME,TELEPHONE,EMAIL FROM TAMRIVO");
        QVERIFY(rs.isNull("telephone"));
        QVERIFY(!rs.isNull("EMAIL"));
        QCOMPARE(rs.text("EMAIL"), QString(""));
        QCOMPARE(rs.text("TELEPHONE"), QString(""));
        QCOMPARE(errorOf([&] { rs.value("NOSUCH"); }), ErrNum::ItemNotFound);
        rs.MoveNext();
        QCOMPARE(errorOf([&] { rs.value(0); }), ErrNum::NoCurrentRecord);
    }

    void createNeverOverwrites() {
        TestEnv env;
        const QString path = env.file("old.lab");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep me");
        }
        QCOMPARE(errorOf([&] { createLocalAddressBook(path); }), ErrNum::DataAccess);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep me"));
    }

    void createRemovesItsFileWhenTheTableFails() {
        TestEnv env;
        const QString dir = env.file("made");
        QDir().mkpath(dir);
        DbSession::setObserver([](const QString& what, const QString& text) {
            if (what == "exec" && text.startsWith("CREATE TABLE"))
                raiseError(ErrNum::DataAccess, "disk full");
        });
        const long err = errorOf([&] { createLocalAddressBook(dir + "/book.lab"); });
        DbSession::setObserver({});
        QCOMPARE(err, ErrNum::DataAccess);
        QCOMPARE(folderEntries(dir), QStringList());
    }

    void createRefusesBadPaths() {
        TestEnv env;
        QCOMPARE(errorOf([&] { createLocalAddressBook(QString()); }), ErrNum::DataSourceOpen);
        QVERIFY(errorOf([&] { createLocalAddressBook(env.file("no/such/folder/x.lab")); }) > 1000);
        QVERIFY(!QFile::exists(env.file("no")));
    }

    void openingFailsClearly_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("empty path") << "empty";
        QTest::newRow("missing file") << "missing";
        QTest::newRow("not sqlite") << "text";
        QTest::newRow("empty file") << "zero";
        QTest::newRow("sqlite without TAMRIVO") << "other";
        QTest::newRow("a folder") << "folder";
    }
    void openingFailsClearly() {
        QFETCH(QString, kind);
        TestEnv env;
        QString path = env.file("book.lab");
        if (kind == "empty") {
            path.clear();
        } else if (kind == "text" || kind == "zero") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (kind == "text")
                f.write(QByteArray(4096, 'x'));
        } else if (kind == "other") {
            makeSqliteFile(path, {"CREATE TABLE people (name TEXT)"});
        } else if (kind == "folder") {
            QDir().mkpath(path);
        }
        const QStringList before = folderEntries(env.path());
        QCOMPARE(errorOf([&] { queryLocalBook(path, "SELECT * FROM TAMRIVO"); }),
                 ErrNum::DataSourceOpen);
        QCOMPARE(
            errorOf([&] { executeLocalBook(path, "INSERT INTO TAMRIVO (NAME) VALUES ('x')"); }),
            ErrNum::DataSourceOpen);
        LocalAddressBook b;
        b.filename = path;
        QCOMPARE(errorOf([&] { searchLocalAddressBook(b, "0|O|0", "x", 0, 0); }),
                 ErrNum::DataSourceOpen);
        // Nothing was created beside or in place of the file.
        QCOMPARE(folderEntries(env.path()), before);
        if (kind == "zero")
            QCOMPARE(QFileInfo(path).size(), 0);
    }

    void tableNameIsFoundWhateverItsCase() {
        TestEnv env;
        const QString path = env.file("lower.lab");
        makeSqliteFile(path,
                       {"CREATE TABLE tamrivo (ID INTEGER PRIMARY KEY, NAME TEXT, TELEPHONE TEXT, "
                        "TELEPHONE2 TEXT, TELEPHONE3 TEXT, EMAIL TEXT, EMAIL2 TEXT, FREETEXT TEXT)",
                        "INSERT INTO tamrivo (NAME) VALUES ('x')"});
        LocalAddressBook b;
        b.filename = path;
        QCOMPARE(searchLocalAddressBook(b, "t", "x", 0, 0).num(), 1);
    }

    void searchReadsEveryFieldAndKeepsNullApart() {
        TestEnv env;
        const QString path = env.file("s.lab");
        createLocalAddressBook(path);
        executeLocalBook(
            path,
            "INSERT INTO TAMRIVO (NAME,TELEPHONE,EMAIL,TELEPHONE2,TELEPHONE3,EMAIL2,FREETEXT) "
            "VALUES ('O''Brien','555','o@x','556','557','o2@x','note: a?b')");
        executeLocalBook(path, "INSERT INTO TAMRIVO (NAME) VALUES ('Null Person')");
        LocalAddressBook b;
        b.filename = path;
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
    }

    void searchModesMatchAsTheyShould_data() {
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
    void searchModesMatchAsTheyShould() {
        QFETCH(int, field);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        TestEnv env;
        const QString path = env.file("m.lab");
        createLocalAddressBook(path);
        executeLocalBook(
            path, "INSERT INTO TAMRIVO (NAME,TELEPHONE,EMAIL) VALUES ('Ann Lee','0100','a@x')");
        executeLocalBook(
            path, "INSERT INTO TAMRIVO (NAME,TELEPHONE2,EMAIL2) VALUES ('Anna','0200','z@x')");
        executeLocalBook(path, "INSERT INTO TAMRIVO (NAME,TELEPHONE3) VALUES ('Bo Lee','0999')");
        LocalAddressBook b;
        b.filename = path;
        DBSearchResult r =
            searchLocalAddressBook(b, "t", text, std::int16_t(field), std::int16_t(mode));
        QStringList got;
        for (; !r.isEOF(); r.MoveNext())
            got << r.NameStr();
        QCOMPARE(got, names);
    }

    void connectionsAreGivenUp() {
        TestEnv env;
        const QString path = env.file("c.lab");
        createLocalAddressBook(path);
        Recordset rs = queryLocalBook(path, "SELECT * FROM TAMRIVO");
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
        // The file is not held open: it can be removed and made again.
        QVERIFY(QFile::remove(path));
        createLocalAddressBook(path);
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TstLocalBook)
#include "tst_localbook.moc"
