#include "platform/dbconnection.h"

#include "platform/errors.h"
#include "platform/dbsession.h"

QString odbcAttributeValue(const QString& value) {
    const bool needsBraces =
        value.contains(u';') || value.contains(u'{') || value.contains(u'}') ||
        (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!needsBraces)
        return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + escaped + u'}';
}

QString DBConnection::getConnectionString() const {
    return QStringLiteral("DSN=") + dsn + QStringLiteral("; UID=") + userName +
           QStringLiteral(";PASSWORD=") + password;
}

QString DBConnection::odbcConnectionText() const {
    // The driver manager does not find a data source whose name is braced,
    // so a name that would need braces cannot be passed at all.
    if (dsn.isEmpty())
        raiseError(ErrNum::DataSourceOpen, QStringLiteral("No ODBC data source name given."));
    if (odbcAttributeValue(dsn) != dsn)
        raiseError(ErrNum::DataSourceOpen,
                   QStringLiteral("The ODBC data source name \"%1\" contains \";\", a brace or "
                                  "blanks at either end.")
                       .arg(dsn));
    QString text = QStringLiteral("DSN=") + dsn;
    if (!userName.isEmpty())
        text += QStringLiteral(";UID=") + odbcAttributeValue(userName);
    if (!password.isEmpty())
        text += QStringLiteral(";PWD=") + odbcAttributeValue(password);
    return text;
}

// Runs op on a session of its own, off this thread and waited for at most
// waitMs (see DbSession::runWithin). The driver's own login timeout, where it
// has one, is a second longer: it only ends a connection given up on.
template <typename T, typename Op> T DBConnection::run(Op op) const {
    auto result = std::make_shared<T>();
    DbSession::runWithin(waitMs, dsn, [text = odbcConnectionText(), wait = waitMs, op, result,
                                       check = checkQuote] {
        DbSession session(DbSession::Kind::Odbc, text, wait + 1000);
        if (check)
            check(session.identifierQuote());
        *result = op(session);
    });
    return std::move(*result);
}

Recordset DBConnection::openRecordset(const QString& strSQLQry) const {
    return run<Recordset>([strSQLQry](DbSession& s) { return s.openRecordset(strSQLQry); });
}

int DBConnection::executeSQL(const QString& strSQLQry) const {
    return run<int>([strSQLQry](DbSession& s) { return s.execute(strSQLQry); });
}

QStringList DBConnection::getTableFields(const QString& tblName) const {
    return run<QStringList>([tblName](DbSession& s) { return s.tableFields(tblName); });
}
