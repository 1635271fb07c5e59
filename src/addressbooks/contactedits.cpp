#include "addressbooks/contactedits.h"

#include "addressbooks/dbfunctions.h"
#include "addressbooks/records.h"
#include "platform/errors.h"
#include "platform/dbconnection.h"
#include "platform/strings.h"

#include <QRegularExpression>

namespace {

QString quoted(const QString& x) {
    return u'\'' + escapeSQL(x) + u'\'';
}

// Quoted value, or NULL for a value of length 0 (blanks are a value).
QString v(const QString& x) {
    return x.isEmpty() ? QStringLiteral("NULL") : quoted(x);
}

// The id goes into the statement unquoted, so it must be a plain number:
// anything else could change the statement's meaning (or hit every row).
QString checkedId(const QString& id) {
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?[0-9]+(\\.[0-9]+)?\\s*$"));
    if (!number.match(id).hasMatch())
        raiseError(ErrNum::DataAccess, loadResString(16291).arg(id));
    return id;
}

struct Mapped {
    QString column;
    QString value;
};

// The optional and fixed columns after the name, in statement order; every
// value checked before any of it goes into a statement.
QList<Mapped> databaseColumns(const DatabaseAddressBook& b, const Contact& c) {
    checkDatabaseText(c.name);
    QList<Mapped> cols{{b.telephoneField, c.telephone}};
    if (!b.telephone2.isEmpty())
        cols.append({b.telephone2, c.telephone2});
    if (!b.telephone3.isEmpty())
        cols.append({b.telephone3, c.telephone3});
    cols.append({b.emailField, c.email});
    if (!b.email2.isEmpty())
        cols.append({b.email2, c.email2});
    if (!b.freetext.isEmpty())
        cols.append({b.freetext, c.freetext});
    for (const Mapped& m : cols)
        checkDatabaseText(m.value);
    return cols;
}

QString whereId(const DatabaseAddressBook& b, const Contact& c) {
    return QStringLiteral(" WHERE ") + b.contactid + u'=' + escapeSQL(checkedId(c.contactid));
}

// The rows the statement changed; a failure names the book.
int executeOn(const DatabaseAddressBook& b, const QString& sql) {
    return onDatabaseBook(b, [&](const DBConnection& c) { return c.executeSQL(sql); });
}

} // namespace

namespace ContactSQL {

QString addLocal(const Contact& c) {
    return QStringLiteral("INSERT INTO TAMRIVO (NAME, TELEPHONE, TELEPHONE2, TELEPHONE3, EMAIL, "
                          "EMAIL2, FREETEXT) VALUES (") +
           quoted(c.name) + u',' + v(c.telephone) + u',' + v(c.telephone2) + u',' +
           v(c.telephone3) + u',' + v(c.email) + u',' + v(c.email2) + u',' + v(c.freetext) + u')';
}

QString updateLocal(const Contact& c) {
    return QStringLiteral("UPDATE TAMRIVO SET NAME= ") + quoted(c.name) +
           QStringLiteral(",TELEPHONE=") + v(c.telephone) + QStringLiteral(",TELEPHONE2=") +
           v(c.telephone2) + QStringLiteral(",TELEPHONE3=") + v(c.telephone3) +
           QStringLiteral(",EMAIL=") + v(c.email) + QStringLiteral(",EMAIL2=") + v(c.email2) +
           QStringLiteral(",FREETEXT=") + v(c.freetext) + QStringLiteral(" WHERE ID=") +
           checkedId(c.contactid);
}

QString deleteLocal(const Contact& c) {
    return QStringLiteral("DELETE FROM TAMRIVO WHERE ID=") + checkedId(c.contactid);
}

QString addDatabase(const DatabaseAddressBook& b, const Contact& c) {
    const QList<Mapped> mapped = databaseColumns(b, c);
    QString columns = QStringLiteral("INSERT INTO ") + b.tableName + u'(' + b.nameField;
    QString values = quoted(c.name);
    for (const Mapped& m : mapped) {
        columns += u',' + m.column;
        values += u',' + v(m.value);
    }
    return columns + QStringLiteral(") VALUES ( ") + values + u')';
}

QString updateDatabase(const DatabaseAddressBook& b, const Contact& c) {
    const QList<Mapped> mapped = databaseColumns(b, c);
    QString sql = QStringLiteral("UPDATE ") + b.tableName + QStringLiteral(" SET ") + b.nameField +
                  QStringLiteral("= ") + quoted(c.name);
    for (const Mapped& m : mapped)
        sql += u',' + m.column + u'=' + v(m.value);
    return sql + whereId(b, c);
}

QString deleteDatabase(const DatabaseAddressBook& b, const Contact& c) {
    return QStringLiteral("DELETE FROM ") + b.tableName + whereId(b, c);
}

QString findDatabase(const DatabaseAddressBook& b, const Contact& c) {
    return QStringLiteral("SELECT ") + b.contactid + QStringLiteral(" FROM ") + b.tableName +
           whereId(b, c);
}

} // namespace ContactSQL

void addLocalContact(const LocalAddressBook& book, const Contact& c) {
    executeLocalBook(book.filename, ContactSQL::addLocal(c));
}

// SQLite counts the rows an UPDATE matched.
bool updateLocalContact(const LocalAddressBook& book, const Contact& c) {
    return executeLocalBook(book.filename, ContactSQL::updateLocal(c)) != 0;
}

bool deleteLocalContact(const LocalAddressBook& book, const Contact& c) {
    return executeLocalBook(book.filename, ContactSQL::deleteLocal(c)) != 0;
}

void addDatabaseContact(const DatabaseAddressBook& book, const Contact& c) {
    executeOn(book, ContactSQL::addDatabase(book, c));
}

bool updateDatabaseContact(const DatabaseAddressBook& book, const Contact& c) {
    if (executeOn(book, ContactSQL::updateDatabase(book, c)) != 0)
        return true;
    // Some engines count only the rows whose values changed.
    return !onDatabaseBook(book, [&](const DBConnection& conn) {
                return conn.openRecordset(ContactSQL::findDatabase(book, c));
            }).isEOF();
}

bool deleteDatabaseContact(const DatabaseAddressBook& book, const Contact& c) {
    return executeOn(book, ContactSQL::deleteDatabase(book, c)) != 0;
}
