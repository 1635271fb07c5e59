#include "addressbooks/search.h"

#include "addressbooks/dbfunctions.h"
#include "app/errorreport.h"
#include "platform/errors.h"
#include "app/globals.h"
#include "app/strings.h"
#include "platform/dbconnection.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <utility>

namespace {

// Condition on the given columns, joined by " OR ".
QString condition(const QStringList& columns, const QString& searchStr, std::int16_t mode) {
    QString op, closing;
    switch (mode) {
    case SearchMode::Exact:
        op = QStringLiteral(" ='");
        closing = QStringLiteral("'");
        break;
    case SearchMode::Prefix:
        op = QStringLiteral(" LIKE '");
        closing = QStringLiteral("%'");
        break;
    case SearchMode::Suffix:
        op = QStringLiteral(" LIKE '%");
        closing = QStringLiteral("'");
        break;
    case SearchMode::Contains:
        op = QStringLiteral(" LIKE '%");
        closing = QStringLiteral("%'");
        break;
    default:
        raiseError(ErrNum::InvalidCall, QStringLiteral("Invalid search mode %1.").arg(mode));
    }
    const QString t = escapeSQL(searchStr);
    QStringList parts;
    for (const QString& c : columns)
        parts.append(c + op + t + closing);
    return parts.join(QStringLiteral(" OR "));
}

void checkField(std::int16_t field) {
    if (field < SearchField::Name || field > SearchField::Email)
        raiseError(ErrNum::InvalidCall, QStringLiteral("Invalid search field %1.").arg(field));
}

// The optional columns a Database book maps, in the order they are selected.
QStringList mappedOptionalColumns(const DatabaseAddressBook& b) {
    QStringList cols;
    for (const QString* c : {&b.telephone2, &b.telephone3, &b.email2, &b.freetext, &b.contactid})
        if (!c->isEmpty())
            cols.append(*c);
    return cols;
}

QStringList nonEmpty(std::initializer_list<const QString*> columns) {
    QStringList out;
    for (const QString* c : columns)
        if (!c->isEmpty())
            out.append(*c);
    return out;
}

} // namespace

QString databaseSearchSQL(const DatabaseAddressBook& b, const QString& searchStr,
                          std::int16_t field, std::int16_t mode) {
    checkField(field);
    checkDatabaseText(searchStr);
    QString sql =
        QStringLiteral("SELECT ") + b.nameField + u',' + b.telephoneField + u',' + b.emailField;
    for (const QString& c : mappedOptionalColumns(b))
        sql += u',' + c;
    sql += QStringLiteral(" FROM ") + b.tableName + QStringLiteral(" WHERE ");
    QStringList columns;
    if (field == SearchField::Name)
        columns = {b.nameField};
    else if (field == SearchField::Number)
        columns = nonEmpty({&b.telephoneField, &b.telephone2, &b.telephone3});
    else
        columns = nonEmpty({&b.emailField, &b.email2});
    return sql + condition(columns, searchStr, mode);
}

QString localSearchSQL(const QString& searchStr, std::int16_t field, std::int16_t mode) {
    checkField(field);
    static const QStringList byField[] = {
        {QStringLiteral("NAME")},
        {QStringLiteral("TELEPHONE"), QStringLiteral("TELEPHONE2"), QStringLiteral("TELEPHONE3")},
        {QStringLiteral("EMAIL"), QStringLiteral("EMAIL2")}};
    return QStringLiteral(
               "SELECT NAME,TELEPHONE,TELEPHONE2,TELEPHONE3,EMAIL,EMAIL2,FREETEXT,ID FROM TAMRIVO "
               "WHERE ") +
           condition(byField[field], searchStr, mode);
}

namespace {

DBSearchResult searchDatabase(const DatabaseAddressBook& book, const QString& tag,
                              const QString& searchStr, std::int16_t field, std::int16_t mode,
                              int waitMs) {
    DBSearchResult result;
    result.init();
    const QString sql = databaseSearchSQL(book, searchStr, field, mode);
    Recordset rs = onDatabaseBook(
        book, [&](const DBConnection& c) { return c.openRecordset(sql); }, waitMs);
    // Columns are read by position: the query lists them in a known order,
    // so a mapping that names a column in a form the driver reports
    // differently (quoted, qualified, folded case) still reads right.
    const bool mapped[] = {!book.telephone2.isEmpty(), !book.telephone3.isEmpty(),
                           !book.email2.isEmpty(), !book.freetext.isEmpty(),
                           !book.contactid.isEmpty()};
    // A mapping that is not one column (a list, "*") would shift every
    // field read by position: refuse it instead of reading wrong values.
    const int selected = 3 + int(std::count(std::begin(mapped), std::end(mapped), true));
    if (rs.fieldCount() != selected)
        raiseError(ErrNum::ItemNotFound,
                   QStringLiteral("The query returned %1 columns where %2 were selected: each "
                                  "mapped field must name one column.")
                       .arg(rs.fieldCount())
                       .arg(selected));
    for (; !rs.isEOF(); rs.MoveNext()) {
        QString optional[5];
        int col = 3;
        for (int k = 0; k < 5; ++k)
            if (mapped[k])
                optional[k] = rs.text(col++);
        result.Add(tag, rs.text(0), rs.text(1), rs.text(2), optional[0], optional[1], optional[2],
                   optional[3], optional[4]);
    }
    return result;
}

DBSearchResult searchLocal(const LocalAddressBook& book, const QString& tag,
                           const QString& searchStr, std::int16_t field, std::int16_t mode,
                           int busyWaitMs) {
    DBSearchResult result;
    result.init();
    const QString sql = localSearchSQL(searchStr, field, mode);
    Recordset rs = queryLocalBook(book.filename, sql, busyWaitMs);
    for (; !rs.isEOF(); rs.MoveNext())
        result.Add(tag, rs.text(0), rs.text(1), rs.text(4), rs.text(2), rs.text(3), rs.text(5),
                   rs.text(6), rs.text(7));
    return result;
}

} // namespace

DBSearchResult searchDatabaseAddressBook(const DatabaseAddressBook& book, const QString& tag,
                                         const QString& searchStr, std::int16_t field,
                                         std::int16_t mode) {
    return searchDatabase(book, tag, searchStr, field, mode, kDatabaseBookWaitMs);
}

DBSearchResult searchLocalAddressBook(const LocalAddressBook& book, const QString& tag,
                                      const QString& searchStr, std::int16_t field,
                                      std::int16_t mode) {
    return searchLocal(book, tag, searchStr, field, mode, kLocalBookBusyWaitMs);
}

DBSearchResult searchAddressBooks(const QString& searchStr, std::int16_t field, std::int16_t mode) {
    DBSearchResult all;
    all.init();
    if (!noDBBooks) {
        for (int i = 0; i < gDBBooks.size(); ++i) {
            DBSearchResult r = searchDatabaseAddressBook(
                *dbBookAt(i), AbTag::make(0, BookKind::Database, i), searchStr, field, mode);
            all.AddAll(r);
        }
    }
    if (!noLocalBooks) {
        for (int i = 0; i < gLocalBooks.size(); ++i) {
            DBSearchResult r = searchLocalAddressBook(
                *localBookAt(i), AbTag::make(0, BookKind::Local, i), searchStr, field, mode);
            all.AddAll(r);
        }
    }
    return all;
}

namespace {

struct Candidate {
    bool found = false;
    QString name;
    QString number;
    QString tag;
};

void consider(Candidate& best, DBSearchResult& rows, const QString& number) {
    for (; !rows.isEOF(); rows.MoveNext()) {
        const QString tel = rows.telephoneStr();
        const auto diff = std::abs(number.length() - tel.length());
        if (!best.found || diff < std::abs(number.length() - best.number.length()))
            best = Candidate{true, rows.NameStr(), tel, rows.abTagStr()};
    }
}

// One book's rows for the lookup. A book that fails is left out and the
// lookup goes on with the others; its failure is told once, until the book
// has worked again. A data source that did not answer in time is not asked
// again for a while, so the calls that follow are not held up by it.
template <typename Search>
void ask(Candidate& best, const QString& number, const QString& key, Search&& search) {
    BookTrouble& trouble = gBookTrouble[key];
    if (!trouble.quietUntil.hasExpired())
        return;
    try {
        DBSearchResult rows = search();
        consider(best, rows, number);
        trouble.told = false;
    } catch (const AppError& e) {
        if (dynamic_cast<const DbTimeoutError*>(&e))
            trouble.quietUntil.setRemainingTime(kQuietAfterTimeoutMs);
        if (!std::exchange(trouble.told, true))
            reportErrorLater(QStringLiteral("dontknow"), e);
    }
}

} // namespace

bool isTelephoneNumber(const QString& number) {
    static const QRegularExpression telephone(QStringLiteral("\\A[0-9+*# ().-]+\\z"));
    return telephone.match(number).hasMatch();
}

QString lookupCallerID(const QString& number, std::optional<QString>& matchedNumber,
                       std::optional<QString>& matchedTag) {
    Candidate best;
    // An empty number would match every contact that has a telephone; a
    // number is never looked up unless it is made of telephone characters
    // only, so what a caller sends can never carry SQL or wildcards.
    if (isTelephoneNumber(number)) {
        for (int i = 0; !noDBBooks && i < gDBBooks.size(); ++i) {
            const auto book = dbBookAt(i);
            if (book->searchForCallerID)
                ask(best, number, QStringLiteral("D|") + book->dsn + u'|' + book->tableName, [&] {
                    return searchDatabase(*book, AbTag::make(0, BookKind::Database, i), number,
                                          SearchField::Number, SearchMode::Suffix,
                                          kCallerIDDatabaseWaitMs);
                });
        }
        for (int i = 0; !noLocalBooks && i < gLocalBooks.size(); ++i) {
            const auto book = localBookAt(i);
            if (book->searchForCallerID)
                ask(best, number, QStringLiteral("O|") + book->filename, [&] {
                    return searchLocal(*book, AbTag::make(0, BookKind::Local, i), number,
                                       SearchField::Number, SearchMode::Suffix,
                                       kCallerIDBusyWaitMs);
                });
        }
    }
    if (best.found && std::abs(number.length() - best.number.length()) > gCallerIDMaxLengthDiff)
        best = Candidate{};
    if (!best.found) {
        if (matchedNumber)
            matchedNumber.reset();
        if (matchedTag)
            matchedTag.reset();
        return loadResString(16031);
    }
    if (matchedNumber)
        matchedNumber = best.number;
    if (matchedTag)
        matchedTag = best.tag;
    return best.name;
}

QString lookupCallerID(const QString& number) {
    std::optional<QString> none;
    std::optional<QString> noTag;
    return lookupCallerID(number, none, noTag);
}
