#pragma once

// Real books, data sources and records shared by the book and main-window tests.
#include "addressbooks/dbfunctions.h"
#include "app/globals.h"
#include "common/testenv.h"
#include "platform/dbconnection.h"

#include <QFile>
#include <functional>
#include <tuple>

namespace booktest {

// name, telephone, email, telephone2, telephone3, email2, freetext, id
template <typename... T> Contact contact(const T&... f) {
    const QStringList v{QString(f)...};
    return Contact{v.value(0), v.value(1), v.value(2), v.value(3),
                   v.value(4), v.value(5), v.value(6), v.value(7)};
}
inline Contact withId(const QString& id) {
    return contact("", "", "", "", "", "", "", id);
}
inline DBConnection odbc(const QString& dsn, const QString& user = {}, const QString& pw = {}) {
    DBConnection c;
    std::tie(c.dsn, c.userName, c.password) = std::tie(dsn, user, pw);
    return c;
}
// A book on People (Name, Phone, Mail), optional columns mapped as given.
inline DatabaseAddressBook people(const QStringList& optional = {"Mobile", "Office", "Mail2",
                                                                 "Notes", "Id"}) {
    DatabaseAddressBook b;
    b.Clear();
    b.addressBookName = "CRM";
    QString* cols[] = {&b.tableName,  &b.nameField, &b.telephoneField, &b.emailField, &b.telephone2,
                       &b.telephone3, &b.email2,    &b.freetext,       &b.contactid};
    const QStringList v = QStringList{"People", "Name", "Phone", "Mail"} + optional;
    for (int i = 0; i < v.size(); ++i)
        *cols[i] = v[i];
    return b;
}
inline void addDataSource(const TestEnv& env, const QString& name, const QStringList& entries) {
    QFile f(env.file("odbc/odbc.ini"));
    if (!f.open(QIODevice::Append) ||
        f.write(("[" + name + "]\n" + entries.join('\n') + "\n\n").toUtf8()) < 0)
        qFatal("cannot write odbc.ini");
}
// An SQLite file with the statements run in it, reached as data source dsn.
inline void addSqliteDataSource(const TestEnv& env, const QString& dsn, const QStringList& sql) {
    DbSession s(DbSession::Kind::Sqlite, "file:" + env.file(dsn + ".db") + "?mode=rwc");
    for (const QString& statement : sql)
        s.execute(statement);
    addDataSource(env, dsn, {"Driver=SQLite3", "Database=" + env.file(dsn + ".db")});
}
// Contact rows: name, telephone, telephone2, telephone3, email; null is Null.
using Row = QStringList;
inline QString values(const Row& r) {
    QStringList v;
    for (int i = 0; i < 5; ++i)
        v << (r.value(i).isNull() ? QStringLiteral("NULL") : "'" + escapeSQL(r[i]) + "'");
    return v.join(',');
}
// A Local book file holding the rows, added to gLocalBooks.
inline std::shared_ptr<LocalAddressBook> addLocalBook(const TestEnv& env, const QString& file,
                                                      const QList<Row>& rows,
                                                      bool callerID = true) {
    auto book = std::make_shared<LocalAddressBook>();
    book->addressBookName = file;
    book->filename = env.file(file);
    book->searchForCallerID = callerID;
    createLocalAddressBook(book->filename);
    for (const Row& r : rows)
        executeLocalBook(book->filename, "INSERT INTO TAMRIVO (NAME,TELEPHONE,TELEPHONE2,"
                                         "TELEPHONE3,EMAIL) VALUES (" +
                                             values(r) + ")");
    gLocalBooks.append(book);
    noLocalBooks = false;
    return book;
}
// A Database book on People of an SQLite data source, added to gDBBooks.
inline std::shared_ptr<DatabaseAddressBook> addDatabaseBook(const TestEnv& env, const QString& dsn,
                                                            const QList<Row>& rows) {
    QStringList sql{"CREATE TABLE People (Id INTEGER PRIMARY KEY, Name TEXT, Phone TEXT, "
                    "Mobile TEXT, Office TEXT, Mail TEXT)"};
    for (const Row& r : rows)
        sql << "INSERT INTO People (Name,Phone,Mobile,Office,Mail) VALUES (" + values(r) + ")";
    addSqliteDataSource(env, dsn, sql);
    auto b = std::make_shared<DatabaseAddressBook>(people({"Mobile", "Office", "", "", "Id"}));
    b->addressBookName = b->dsn = dsn;
    b->searchForCallerID = true;
    gDBBooks.append(b);
    noDBBooks = false;
    return b;
}
// Each row as its fields joined by "|", Null as "~".
inline QStringList rowsOf(Recordset rs) {
    QStringList out;
    for (; !rs.isEOF(); rs.MoveNext()) {
        QStringList f;
        for (int i = 0; i < rs.fieldCount(); ++i)
            f << (rs.isNull(i) ? QStringLiteral("~") : rs.text(i));
        out << f.join('|');
    }
    return out;
}
struct Trace {
    Trace() {
        DbSession::setObserver([this](const QString& what, const QString& text) {
            (what == "open" ? opened : sent).append(text);
        });
    }
    ~Trace() { DbSession::setObserver({}); }
    QStringList opened, sent;
};

} // namespace booktest
