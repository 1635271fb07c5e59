#pragma once

#include "platform/recordset.h"

#include <QString>
#include <QStringList>
#include <functional>

// An ODBC data source named by dsn, with user name and password. The caller
// fills the three fields; each operation opens a connection of its own and
// gives it up before it returns. Failures raise errors above 1000 with the
// driver's message (see DbSession). An operation waits at most waitMs for
// the data source, connecting included, then raises DbTimeoutError.
class DBConnection {
public:
    QString userName;
    QString password;
    QString dsn;
    int waitMs = 5000;
    // Told the driver's name quote on each connection before the statement
    // is sent (DbSession::identifierQuote); raising stops it unsent. Called
    // on the connection's own thread.
    std::function<void(QChar quote)> checkQuote;

    // Every row of the query, readable after the connection is gone.
    Recordset openRecordset(const QString& strSQLQry) const;
    // Runs a statement; answers the rows it changed (-1 unknown).
    int executeSQL(const QString& strSQLQry) const;
    // Column names of a table or query, in order; never empty.
    QStringList getTableFields(const QString& tblName) const;

    // The connection text as shown to people: "DSN=crm; UID=bob;PASSWORD=...".
    // Display only; the text sent is odbcConnectionText().
    QString getConnectionString() const;
    // The text handed to the driver manager: "DSN=" name, then ";UID=" and
    // ";PWD=" only when not empty, each value in braces when it needs them.
    QString odbcConnectionText() const;

private:
    template <typename T, typename Op> T run(Op op) const;
};

// An attribute value of an ODBC connection text: in braces, with "}"
// doubled, when it holds ";", "{", "}" or blanks at either end; else as is.
QString odbcAttributeValue(const QString& value);
