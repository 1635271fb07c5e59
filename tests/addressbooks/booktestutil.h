#pragma once

// Helpers for tests that need real books: Local book files and ODBC data
// sources configured in the test's own odbc.ini.

#include "addressbooks/dbfunctions.h"
#include "platform/errors.h"
#include "app/globals.h"
#include "common/testenv.h"
#include "platform/dbsession.h"

#include <QFile>
#include <QStringList>
#include <QTest>
#include <functional>
#include <memory>

namespace booktest {

// A new SQLite file (not a Local book) with the given statements run in it.
inline void makeSqliteFile(const QString& path, const QStringList& statements) {
    DbSession s(DbSession::Kind::Sqlite,
                QStringLiteral("file:") + path + QStringLiteral("?mode=rwc"));
    for (const QString& sql : statements)
        s.execute(sql);
}

// Appends "[name]" and its entries to the odbc.ini that TestEnv points ODBCINI at.
inline void addDataSource(const TestEnv& env, const QString& name, const QStringList& entries) {
    QFile f(env.file(QStringLiteral("odbc/odbc.ini")));
    QVERIFY(f.open(QIODevice::Append | QIODevice::Text));
    QByteArray text = "[" + name.toUtf8() + "]\n";
    for (const QString& e : entries)
        text += e.toUtf8() + "\n";
    f.write(text + "\n");
}

// An SQLite file reached as ODBC data source dsn through the SQLite3 driver.
inline QString addSqliteDataSource(const TestEnv& env, const QString& dsn,
                                   const QStringList& statements) {
    const QString db = env.file(dsn + QStringLiteral(".db"));
    makeSqliteFile(db, statements);
    addDataSource(env, dsn, {QStringLiteral("Driver=SQLite3"), QStringLiteral("Database=") + db});
    return db;
}

inline QString quoted(const QString& v) {
    return v.isNull() ? QStringLiteral("NULL") : u'\'' + escapeSQL(v) + u'\'';
}

// One contact row for a Local book: name, telephone, telephone2, telephone3,
// email; a null QString stands for Null.
struct Row {
    QString name, telephone, telephone2, telephone3, email;
};

inline QString localInsert(const Row& r) {
    return QStringLiteral("INSERT INTO TAMRIVO (NAME,TELEPHONE,TELEPHONE2,TELEPHONE3,EMAIL) VALUES "
                          "(%1,%2,%3,%4,%5)")
        .arg(quoted(r.name), quoted(r.telephone), quoted(r.telephone2), quoted(r.telephone3),
             quoted(r.email));
}

// A Local book file holding the rows, added to gLocalBooks.
inline std::shared_ptr<LocalAddressBook> addLocalBook(const TestEnv& env, const QString& fileName,
                                                      const QList<Row>& rows,
                                                      bool callerID = true) {
    auto book = std::make_shared<LocalAddressBook>();
    book->addressBookName = fileName;
    book->filename = env.file(fileName);
    book->searchForCallerID = callerID;
    createLocalAddressBook(book->filename);
    for (const Row& r : rows)
        executeLocalBook(book->filename, localInsert(r));
    gLocalBooks.append(book);
    noLocalBooks = false;
    return book;
}

// A Database book on table People (Name, Phone, Mobile, Office, Mail, Id) of
// an SQLite ODBC data source, added to gDBBooks.
inline std::shared_ptr<DatabaseAddressBook> addDatabaseBook(const TestEnv& env, const QString& dsn,
                                                            const QList<Row>& rows,
                                                            bool callerID = true) {
    QStringList sql{
        QStringLiteral("CREATE TABLE People (Id INTEGER PRIMARY KEY, Name TEXT, Phone TEXT, "
                       "Mobile TEXT, Office TEXT, Mail TEXT)")};
    for (const Row& r : rows)
        sql << QStringLiteral(
                   "INSERT INTO People (Name,Phone,Mobile,Office,Mail) VALUES (%1,%2,%3,%4,%5)")
                   .arg(quoted(r.name), quoted(r.telephone), quoted(r.telephone2),
                        quoted(r.telephone3), quoted(r.email));
    addSqliteDataSource(env, dsn, sql);
    auto book = std::make_shared<DatabaseAddressBook>();
    book->Clear();
    book->addressBookName = dsn;
    book->dsn = dsn;
    book->tableName = QStringLiteral("People");
    book->nameField = QStringLiteral("Name");
    book->telephoneField = QStringLiteral("Phone");
    book->telephone2 = QStringLiteral("Mobile");
    book->telephone3 = QStringLiteral("Office");
    book->emailField = QStringLiteral("Mail");
    book->contactid = QStringLiteral("Id");
    book->searchForCallerID = callerID;
    gDBBooks.append(book);
    noDBBooks = false;
    return book;
}

// The error f raised (number 0 when none).
inline AppError caught(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e;
    }
    return AppError(0, QString());
}
inline long errNum(const std::function<void()>& f) {
    return caught(f).number();
}

// Records what the data layer opens and sends while it lives.
class Trace {
public:
    Trace() {
        DbSession::setObserver([this](const QString& what, const QString& text) {
            (what == QLatin1String("open") ? opened : sent).append(text);
        });
    }
    ~Trace() { DbSession::setObserver({}); }
    QStringList opened;
    QStringList sent;
};

} // namespace booktest
