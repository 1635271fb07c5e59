#include "addressbooks/dbfunctions.h"

#include "app/strings.h"
#include "platform/errors.h"
#include "platform/strings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

QString escapeSQL(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("'"), QStringLiteral("''"));
    return out;
}

void checkDatabaseText(const QString& text) {
    if (text.contains(u'\\'))
        raiseError(ErrNum::DataAccess, loadResString(16290).arg(text));
}

void checkBookSqlName(const QString& bookName, const QString& name) {
    if (!name.isEmpty() && !isPlainSqlName(name))
        raiseError(ErrNum::DataAccess,
                   QStringLiteral("The address book '%1' names \"%2\" as a table or column: only "
                                  "a plain name (letters, digits, \"_\", optionally qualified "
                                  "or quoted) can be used.")
                       .arg(bookName, name));
}

namespace {

// The table, the mapped columns and the grouping columns in use.
QStringList sqlNamesOf(const DatabaseAddressBook& b) {
    QStringList names{b.tableName,  b.nameField,  b.telephoneField, b.emailField, b.contactid,
                      b.telephone2, b.telephone3, b.email2,         b.freetext};
    return names + b.Grouping().mid(0, std::max<int>(b.groupNum, 0));
}

// True when every quoted part of the (plain SQL) name is in quote.
bool quotedOnlyWith(const QString& name, QChar quote) {
    static const QRegularExpression part(QStringLiteral(R"("[^"]*"|\[[^\]]*\]|`[^`]*`|[^.]+)"));
    for (auto it = part.globalMatch(name); it.hasNext();) {
        const QChar first = it.next().captured().front();
        if (QStringLiteral("\"[`").contains(first) && first != quote)
            return false;
    }
    return true;
}

} // namespace

void checkDatabaseBookNames(const DatabaseAddressBook& b) {
    for (const QString& n : sqlNamesOf(b))
        checkBookSqlName(b.addressBookName, n);
}

DBConnection bookConnection(const DatabaseAddressBook& book, int waitMs) {
    DBConnection conn;
    conn.dsn = book.dsn;
    conn.userName = book.User;
    conn.password = book.password;
    conn.waitMs = waitMs;
    // Runs on the connection's own thread: everything it uses is copied in.
    conn.checkQuote = [names = sqlNamesOf(book), name = book.addressBookName,
                       refused = loadResString(16324)](QChar quote) {
        for (const QString& n : names)
            if (!quotedOnlyWith(n, quote))
                raiseError(ErrNum::DataAccess, QString(refused).arg(name, n, quote));
    };
    return conn;
}

void raiseBookError(const DatabaseAddressBook& book, const AppError& e) {
    const auto* late = dynamic_cast<const DbTimeoutError*>(&e);
    if (!late)
        throw AppError(e.number(), loadResString(16230).arg(book.addressBookName, e.description()),
                       e.source());
    QString why = loadResString(16231).arg(book.dsn, QString::number(late->waitMs / 1000.0));
    if (late->statementSent)
        why += u' ' + loadResString(16232);
    throw DbTimeoutError(loadResString(16230).arg(book.addressBookName, why), late->waitMs,
                         late->statementSent);
}

namespace {

QString absolutePath(const QString& filename) {
    if (filename.isEmpty())
        raiseError(ErrNum::DataSourceOpen, loadResString(16289));
    return QDir::cleanPath(QFileInfo(filename).absoluteFilePath());
}

// SQLite URI of a file; the characters that the URI syntax gives a meaning
// are percent-encoded.
QString sqliteUri(const QString& absPath, const char* mode) {
    QString path = absPath;
    path.replace(QStringLiteral("%"), QStringLiteral("%25"));
    path.replace(QStringLiteral("?"), QStringLiteral("%3f"));
    path.replace(QStringLiteral("#"), QStringLiteral("%23"));
    return QStringLiteral("file:") + path + QStringLiteral("?mode=") + QLatin1String(mode);
}

struct Column {
    const char* name;
    int size;
};

constexpr Column kTextColumns[] = {{"name", 40},       {"telephone", 20},  {"email", 100},
                                   {"telephone2", 20}, {"telephone3", 20}, {"email2", 100},
                                   {"freetext", 250}};

} // namespace

QString localConnectionString(const QString& filename) {
    return sqliteUri(absolutePath(filename), "rw");
}

namespace {

[[noreturn]] void raiseBusy(const QString& filename) {
    raiseError(ErrNum::DataSourceOpen, loadResString(16284).arg(filename));
}

} // namespace

std::unique_ptr<DbSession> openLocalBook(const QString& filename, int busyWaitMs) {
    const QString path = absolutePath(filename);
    const QFileInfo file(path);
    if (!file.isFile()) // a folder, a pipe or a device is there, or nothing
        raiseError(ErrNum::DataSourceOpen,
                   loadResString(file.exists() ? 16286 : 16285).arg(filename));
    auto session =
        std::make_unique<DbSession>(DbSession::Kind::Sqlite, sqliteUri(path, "rw"), busyWaitMs);
    Recordset tables;
    try {
        tables = session->openRecordset(
            QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name='TAMRIVO' "
                           "COLLATE NOCASE"));
    } catch (const DbBusyError&) {
        raiseBusy(filename);
    } catch (const AppError& e) {
        raiseError(ErrNum::DataSourceOpen, loadResString(16287).arg(filename, e.description()));
    }
    if (tables.isEOF())
        raiseError(ErrNum::DataSourceOpen, loadResString(16288).arg(filename));
    return session;
}

Recordset queryLocalBook(const QString& filename, const QString& sql, int busyWaitMs) {
    try {
        return openLocalBook(filename, busyWaitMs)->openRecordset(sql);
    } catch (const DbBusyError&) {
        raiseBusy(filename);
    }
}

int executeLocalBook(const QString& filename, const QString& sql) {
    try {
        return openLocalBook(filename)->execute(sql);
    } catch (const DbBusyError&) {
        raiseBusy(filename);
    }
}

QString localTableDefinition() {
    QString sql =
        QStringLiteral("CREATE TABLE TAMRIVO (ID INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL");
    for (const Column& c : kTextColumns) {
        const QString name = QLatin1String(c.name);
        sql += QStringLiteral(", %1 VARCHAR(%2)%3 COLLATE NOCASE CHECK(length(%1) <= %2)")
                   .arg(name)
                   .arg(c.size)
                   .arg(name == QLatin1String("name") ? QStringLiteral(" NOT NULL") : QString());
    }
    return sql + u')';
}

void createLocalAddressBook(const QString& path) {
    const QString abs = absolutePath(path);
    if (QFileInfo::exists(abs) || QFileInfo(abs).isSymLink())
        raiseError(ErrNum::DataAccess, loadResString(16283).arg(path));
    // Contacts are personal: the file is made readable by its owner alone
    // before anything goes into it (the engine's journal takes its mode).
    QFile file(abs);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        raiseError(ErrNum::DataAccess, loadResString(16325).arg(path, file.errorString()));
    file.close();
    try {
        DbSession session(DbSession::Kind::Sqlite, sqliteUri(abs, "rw"));
        session.execute(localTableDefinition());
    } catch (const AppError&) {
        // Leave nothing half made behind.
        QFile::remove(abs);
        QFile::remove(abs + QStringLiteral("-journal"));
        throw;
    }
}
