#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// The rows of a search or a caller-ID lookup: the eight contact fields and
// the tag of the book each row came from, read with a forward cursor. Holds
// at most 32767 rows; growing beyond raises 6 (overflow).
class DBSearchResult {
public:
    // Empties the set.
    void init();
    // True when the set is empty or the cursor is past the last row.
    bool isEOF() const { return cursor > lastIndex; }
    void MoveFirst() { cursor = 0; }
    // One row on; never beyond one past the last row.
    void MoveNext();
    std::int16_t num() const { return std::int16_t(lastIndex + 1); }
    // Appends one row and puts the cursor back at the first row. Note the
    // argument order: tag, name, first telephone, first e-mail, then the rest.
    void Add(const QString& abTagStr, const QString& NameStr, const QString& numberStr,
             const QString& emailStr, const QString& number2Str = QString(),
             const QString& number3Str = QString(), const QString& email2Str = QString(),
             const QString& freetextStr = QString(), const QString& contactidStr = QString());
    // Appends the rows of d from d's cursor on; this set's cursor stays where
    // it was and d's ends past its last row.
    void AddAll(DBSearchResult& d);

    // Fields of the current row; "" at the end.
    QString NameStr() const { return at(names); }
    QString telephoneStr() const { return at(telephones); }
    QString telephone2Str() const { return at(telephones2); }
    QString telephone3Str() const { return at(telephones3); }
    QString emailStr() const { return at(emails); }
    QString email2Str() const { return at(emails2); }
    QString freetextStr() const { return at(freetexts); }
    QString contactidStr() const { return at(contactids); }
    QString abTagStr() const { return at(abTags); }

private:
    QString at(const QStringList& column) const { return isEOF() ? QString() : column[cursor]; }
    // Lengthens every column to newLast + 1 entries; 6 past 32767 rows.
    void resizeTo(int newLast);

    std::int16_t cursor = 0;
    std::int16_t lastIndex = -1;
    QStringList names, telephones, telephones2, telephones3, emails, emails2, freetexts, contactids,
        abTags;
};
