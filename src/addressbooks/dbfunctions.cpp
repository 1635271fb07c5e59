#include "addressbooks/dbfunctions.h"

#include "app/strings.h"
#include "platform/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString escapeSQL(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("'"), QStringLiteral("''"));
    return out;
}

void checkDatabaseText(const QString& text) {
    if (text.contains(u'\\'))
        raiseError(ErrNum::DataAccess,
                   QStringLiteral("The text '%1' holds a backslash, which a Database address "
                                  "book cannot take.")
                       .arg(text));
}

void checkBookSqlName(const QString& bookName, const QString& name) {
    if (!name.isEmpty() && !isPlainSqlName(name))
        raiseError(ErrNum::DataAccess,
                   QStringLiteral("The address book '%1' names \"%2\" as a table or column: only "
                                  "a plain name (letters, digits, \"_\", optionally qualified "
                                  "or quoted) can be used.")
                       .arg(bookName, name));
}

void checkDatabaseBookNames(const DatabaseAddressBook& b) {
    for (const QString* n : {&b.tableName, &b.nameField, &b.telephoneField, &b.emailField,
                             &b.contactid, &b.telephone2, &b.telephone3, &b.email2, &b.freetext})
        checkBookSqlName(b.addressBookName, *n);
    const QStringList grouping = b.Grouping();
    for (int i = 0; i < b.groupNum && i < grouping.size(); ++i)
        checkBookSqlName(b.addressBookName, grouping[i]);
}

DBConnection bookConnection(const DatabaseAddressBook& book, int waitMs) {
    DBConnection conn;
    conn.dsn = book.dsn;
    conn.userName = book.User;
    conn.password = book.password;
    conn.waitMs = waitMs;
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
        raiseError(ErrNum::DataSourceOpen, QStringLiteral("No address-book file name given."));
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
    raiseError(ErrNum::DataSourceOpen,
               QStringLiteral("The address-book file '%1' is busy: another program is using it. "
                              "Try again later.")
                   .arg(filename));
}

} // namespace

std::unique_ptr<DbSession> openLocalBook(const QString& filename, int busyWaitMs) {
    const QString path = absolutePath(filename);
    if (!QFileInfo(path).isFile())
        raiseError(ErrNum::DataSourceOpen,
                   QStringLiteral("Could not find file '%1'.").arg(filename));
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
        raiseError(ErrNum::DataSourceOpen,
                   QStringLiteral("The file '%1' is not an address-book file: %2")
                       .arg(filename, e.description()));
    }
    if (tables.isEOF())
        raiseError(
            ErrNum::DataSourceOpen,
            QStringLiteral("The file '%1' is not an address-book file: it has no table TAMRIVO.")
                .arg(filename));
    return session;
}

Recordset queryLocalBook(const QString& filename, const QString& sql, int busyWaitMs) {
    try {
        return openLocalBook(filename, busyWaitMs)->openRecordset(sql);
    } catch (const DbBusyError&) {
        raiseBusy(filename);
    }
}

void executeLocalBook(const QString& filename, const QString& sql) {
    try {
        openLocalBook(filename)->execute(sql);
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
        raiseError(ErrNum::DataAccess, QStringLiteral("The file '%1' already exists.").arg(path));
    try {
        DbSession session(DbSession::Kind::Sqlite, sqliteUri(abs, "rwc"));
        session.execute(localTableDefinition());
    } catch (const AppError&) {
        // Leave nothing half made behind.
        QFile::remove(abs);
        QFile::remove(abs + QStringLiteral("-journal"));
        throw;
    }
}
