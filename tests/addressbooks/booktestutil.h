#pragma once

// What the address-book tests share: errors caught as values, data sources
// in the test's own odbc.ini, and a record of what the data layer sends.

#include "addressbooks/records.h"
#include "common/testenv.h"
#include "platform/dbconnection.h"
#include "platform/dbsession.h"

#include <QFile>
#include <QStringList>
#include <functional>

namespace booktest {

// The error f raised (number 0 when none).
inline AppError caught(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e;
    }
    return AppError(0, QString());
}
inline long errNum(const std::function<void()>& f) { return caught(f).number(); }

inline Contact contact(const QString& name, const QString& tel = {}, const QString& email = {},
                       const QString& tel2 = {}, const QString& tel3 = {},
                       const QString& email2 = {}, const QString& freetext = {},
                       const QString& id = {}) {
    return Contact{name, tel, email, tel2, tel3, email2, freetext, id};
}
inline Contact withId(const QString& id) { return contact({}, {}, {}, {}, {}, {}, {}, id); }

inline DBConnection odbc(const QString& dsn, const QString& user = {}, const QString& pw = {}) {
    DBConnection c;
    c.dsn = dsn;
    c.userName = user;
    c.password = pw;
    return c;
}

// Appends "[name]" and its entries to the odbc.ini that TestEnv points ODBCINI at.
inline void addDataSource(const TestEnv& env, const QString& name, const QStringList& entries) {
    QFile f(env.file(QStringLiteral("odbc/odbc.ini")));
    if (!f.open(QIODevice::Append | QIODevice::Text))
        qFatal("cannot write odbc.ini");
    f.write(("[" + name + "]\n" + entries.join('\n') + "\n\n").toUtf8());
}

// An SQLite file with the statements run in it, reached as data source dsn.
inline QString addSqliteDataSource(const TestEnv& env, const QString& dsn,
                                   const QStringList& statements) {
    const QString db = env.file(dsn + QStringLiteral(".db"));
    {
        DbSession s(DbSession::Kind::Sqlite, "file:" + db + "?mode=rwc");
        for (const QString& sql : statements)
            s.execute(sql);
    }
    addDataSource(env, dsn, {"Driver=SQLite3", "Database=" + db});
    return db;
}

// Records what the data layer opens and sends while it lives.
struct Trace {
    Trace() {
        DbSession::setObserver([this](const QString& what, const QString& text) {
            (what == QLatin1String("open") ? opened : sent).append(text);
        });
    }
    ~Trace() { DbSession::setObserver({}); }
    QStringList opened, sent;
};

} // namespace booktest
