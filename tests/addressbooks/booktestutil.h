#pragma once

// What the address-book tests share.
#include "addressbooks/records.h"
#include "common/testenv.h"
#include "platform/dbconnection.h"
#include "platform/dbsession.h"

#include <QFile>
#include <functional>

namespace booktest {

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

inline Contact contact(const QString& name, const QString& tel = {}, const QString& email = {},
                       const QString& tel2 = {}, const QString& tel3 = {},
                       const QString& email2 = {}, const QString& freetext = {},
                       const QString& id = {}) {
    return Contact{name, tel, email, tel2, tel3, email2, freetext, id};
}
inline Contact withId(const QString& id) {
    return contact({}, {}, {}, {}, {}, {}, {}, id);
}

inline DBConnection odbc(const QString& dsn, const QString& user = {}, const QString& pw = {}) {
    DBConnection c;
    c.dsn = dsn;
    c.userName = user;
    c.password = pw;
    return c;
}

// A book on People (Name, Phone, Mail), optional columns mapped as given.
inline DatabaseAddressBook people(const QStringList& optional = {"Mobile", "Office", "Mail2",
                                                                 "Notes", "Id"}) {
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
