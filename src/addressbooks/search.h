#pragma once

#include "addressbooks/records.h"
#include "addressbooks/searchresult.h"

#include <QString>
#include <cstdint>
#include <optional>

// What a search compares: 0 name, 1 number (every mapped telephone column),
// 2 e-mail (every mapped e-mail column).
namespace SearchField {
constexpr std::int16_t Name = 0;
constexpr std::int16_t Number = 1;
constexpr std::int16_t Email = 2;
} // namespace SearchField

// How: 0 exact (='t'), 1 prefix (LIKE 't%'), 2 suffix (LIKE '%t'),
// 3 contains (LIKE '%t%'). "%" and "_" typed by the user stay wildcards.
namespace SearchMode {
constexpr std::int16_t Exact = 0;
constexpr std::int16_t Prefix = 1;
constexpr std::int16_t Suffix = 2;
constexpr std::int16_t Contains = 3;
} // namespace SearchMode

// SQL sent to a Database book, e.g. for mapped columns Name, Phone, Mail,
// Mobile, table People, a number search in suffix mode for 123:
//   SELECT Name,Phone,Mail,Mobile FROM People WHERE Phone LIKE '%123' OR Mobile LIKE '%123'
// A field or mode outside the codes above raises 5.
QString databaseSearchSQL(const DatabaseAddressBook& book, const QString& searchStr,
                          std::int16_t field, std::int16_t mode);
// SQL sent to a Local book file.
QString localSearchSQL(const QString& searchStr, std::int16_t field, std::int16_t mode);

// The rows of one book, each tagged with tag; rows in the order the data
// source returns them. Any failure (a book that cannot be opened, a refused
// query) raises.
DBSearchResult searchDatabaseAddressBook(const DatabaseAddressBook& book, const QString& tag,
                                         const QString& searchStr, std::int16_t field,
                                         std::int16_t mode);
DBSearchResult searchLocalAddressBook(const LocalAddressBook& book, const QString& tag,
                                      const QString& searchStr, std::int16_t field,
                                      std::int16_t mode);

// Every Database book ("0|D|i"), then every Local book ("0|O|i"), lowest
// index first, whatever their searchForCallerID. One failing book fails the
// whole search; there is no partial result.
DBSearchResult searchAddressBooks(const QString& searchStr, std::int16_t field, std::int16_t mode);

// A telephone number: not empty, only ASCII digits, "+", "*", "#" and the
// separators blank, "-", ".", "(" and ")".
bool isTelephoneNumber(const QString& number);

// Caller-ID lookup over every Database and then every Local book marked
// searchForCallerID: suffix match on the telephone columns; the row whose
// first telephone is closest in length to number wins (on a tie the earlier
// one stays), and is dropped when the lengths differ by more than
// gCallerIDMaxLengthDiff. Answers the contact's name, or string 16031 "Not
// Found" (always for a number that is not a telephone number, "" included,
// without opening any book). A Local book locked by another program is
// waited for kCallerIDBusyWaitMs at most, then fails as busy.
// An output that the caller passes holding a text (even "") receives the
// matched row's first telephone as the book stores it and the book's tag,
// and becomes Empty (nullopt) without a match; an output passed Empty is
// left alone. One failing book fails the whole lookup.
QString lookupCallerID(const QString& number, std::optional<QString>& matchedNumber,
                       std::optional<QString>& matchedTag);
QString lookupCallerID(const QString& number);
