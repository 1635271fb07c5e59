#include "addressbooks/searchresult.h"

#include "platform/errors.h"

#include <limits>

void DBSearchResult::init() {
    cursor = 0;
    lastIndex = -1;
    for (QStringList* c : {&names, &telephones, &telephones2, &telephones3, &emails, &emails2,
                           &freetexts, &contactids, &abTags})
        c->clear();
}

void DBSearchResult::MoveNext() {
    if (cursor <= lastIndex)
        ++cursor;
}

void DBSearchResult::resizeTo(int newLast) {
    // The cursor must be able to stand one past the last row.
    if (newLast >= std::numeric_limits<std::int16_t>::max())
        raiseError(ErrNum::Overflow);
    for (QStringList* c : {&names, &telephones, &telephones2, &telephones3, &emails, &emails2,
                           &freetexts, &contactids, &abTags})
        c->resize(newLast + 1);
    lastIndex = std::int16_t(newLast);
}

void DBSearchResult::Add(const QString& abTagStr, const QString& NameStr, const QString& numberStr,
                         const QString& emailStr, const QString& number2Str,
                         const QString& number3Str, const QString& email2Str,
                         const QString& freetextStr, const QString& contactidStr) {
    cursor = 0;
    resizeTo(lastIndex + 1);
    const int r = lastIndex;
    names[r] = NameStr;
    telephones[r] = numberStr;
    telephones2[r] = number2Str;
    telephones3[r] = number3Str;
    emails[r] = emailStr;
    emails2[r] = email2Str;
    freetexts[r] = freetextStr;
    contactids[r] = contactidStr;
    abTags[r] = abTagStr;
}

void DBSearchResult::AddAll(DBSearchResult& d) {
    if (d.isEOF())
        return;
    // Grow by the rows that will be copied (those from d's cursor on).
    const int base = lastIndex;
    resizeTo(base + (d.lastIndex - d.cursor + 1));
    for (int r = base + 1; !d.isEOF(); ++r, d.MoveNext()) {
        names[r] = d.NameStr();
        telephones[r] = d.telephoneStr();
        telephones2[r] = d.telephone2Str();
        telephones3[r] = d.telephone3Str();
        emails[r] = d.emailStr();
        emails2[r] = d.email2Str();
        freetexts[r] = d.freetextStr();
        contactids[r] = d.contactidStr();
        abTags[r] = d.abTagStr();
    }
}
