#pragma once

#include "platform/recordset.h"

#include <QString>
#include <QStringList>
#include "platform/errors.h"

#include <functional>

// True for a plain SQL name: letters, digits, "_" and "$", not starting
// with a digit ("#" starts a comment on some engines), or a name in double
// quotes, square brackets or backticks without its closing quote (nor a
// backslash) inside; up to three such parts joined by "." (catalog.schema.
// table). Such a name can go into SQL text as it is without changing the
// statement around it.
bool isPlainSqlName(const QString& name);

// Raised instead of AppError (with the same number) when an SQLite file is
// locked by another connection beyond the session's wait.
class DbBusyError : public AppError {
public:
    using AppError::AppError;
};

// Raised (3151) when a data source has not answered within waitMs.
// statementSent: a statement that changes data had gone to the server, which
// may still carry it out when it answers again.
class DbTimeoutError : public AppError {
public:
    DbTimeoutError(QString description, int wait, bool sent)
        : AppError(ErrNum::DataSourceOpen, std::move(description)), waitMs(wait),
          statementSent(sent) {}
    int waitMs;
    bool statementSent;
};

// One open connection to a data source, given up when the object goes.
// Statements are sent as literal text (never prepared), results are copied
// out whole before the call returns. Every failure raises an error above
// 1000 carrying the driver's message: 3151 when the connection cannot be
// opened, 3146 when a statement is refused.
class DbSession {
public:
    enum class Kind {
        // An ODBC connection text: "DSN=name;UID=...;PWD=...".
        Odbc,
        // An SQLite URI: "file:/path?mode=rw".
        Sqlite,
    };

    // waitMs: how long an SQLite statement waits for a lock held elsewhere
    // before it fails with DbBusyError; for ODBC, the login timeout (in whole
    // seconds, rounded up), which drivers that honour it apply to connecting.
    DbSession(Kind kind, const QString& connectionText, int waitMs = 5000);
    ~DbSession();
    DbSession(const DbSession&) = delete;
    DbSession& operator=(const DbSession&) = delete;

    // Runs a query and reads every row.
    Recordset openRecordset(const QString& sql);
    // Runs a statement; any rows it returns are dropped. Answers the rows it
    // changed as the driver counts them (-1 unknown).
    int execute(const QString& sql);
    // The quote the driver puts around a name ('"', or '`' for MariaDB); a
    // blank when it quotes none.
    QChar identifierQuote() const;
    // Column names of a table or view, in their order, read from a query that
    // returns no row (the catalog functions take "_" for a wildcard). A name
    // that gives no columns, or that is not a plain SQL name, raises 3146.
    QStringList tableFields(const QString& table);

    // Test hook, told of every connection opened ("open", its text) and every
    // statement sent ("exec", the SQL). Empty by default.
    using Observer = std::function<void(const QString& what, const QString& text)>;
    static void setObserver(Observer observer);

    // Runs work, which opens sessions of its own, on a thread of its own and
    // waits at most waitMs for it, so that a server that does not answer
    // (stopped, unreachable, a lock held elsewhere) holds the caller up no
    // longer; then raises DbTimeoutError naming source. A job given up on
    // goes on alone until the server answers, sends nothing more and closes
    // its connection. Its errors and observer calls reach the caller as if it
    // had run here. work must own everything it uses.
    static void runWithin(int waitMs, const QString& source, std::function<void()> work);

private:
    QString m_name;
};
