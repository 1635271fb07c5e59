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

Recordset DBConnection::openRecordset(const QString& strSQLQry) const {
    DbSession session(DbSession::Kind::Odbc, odbcConnectionText());
    if (checkQuote)
        checkQuote(session.identifierQuote());
    return session.openRecordset(strSQLQry);
}

int DBConnection::executeSQL(const QString& strSQLQry) const {
    DbSession session(DbSession::Kind::Odbc, odbcConnectionText());
    if (checkQuote)
        checkQuote(session.identifierQuote());
    return session.execute(strSQLQry);
}

QStringList DBConnection::getTableFields(const QString& tblName) const {
    DbSession session(DbSession::Kind::Odbc, odbcConnectionText());
    return session.tableFields(tblName);
}
