#pragma once

#include <QString>

struct Contact;
struct LocalAddressBook;
class DatabaseAddressBook;

// Writes one contact into its book, each through a connection of its own.
// Read-only and recent-call books are refused by the callers, not here.
// Values go in quoted with their single quotes doubled; a value of length 0
// is written as NULL (the name always quoted). Only the mapped columns of a
// Database book take part. The contact id must be a number: anything else
// raises 3146 before the book is opened, so nothing changes. Update and
// delete answer false when no row has the contact's id: it is no longer
// in the book.
void addLocalContact(const LocalAddressBook& book, const Contact& c);
bool updateLocalContact(const LocalAddressBook& book, const Contact& c);
bool deleteLocalContact(const LocalAddressBook& book, const Contact& c);
void addDatabaseContact(const DatabaseAddressBook& book, const Contact& c);
bool updateDatabaseContact(const DatabaseAddressBook& book, const Contact& c);
bool deleteDatabaseContact(const DatabaseAddressBook& book, const Contact& c);

// The statements the operations above send.
namespace ContactSQL {
QString addLocal(const Contact& c);
QString updateLocal(const Contact& c);
QString deleteLocal(const Contact& c);
QString addDatabase(const DatabaseAddressBook& book, const Contact& c);
QString updateDatabase(const DatabaseAddressBook& book, const Contact& c);
QString deleteDatabase(const DatabaseAddressBook& book, const Contact& c);
// The contact's row, read back when an update reports no row changed.
QString findDatabase(const DatabaseAddressBook& book, const Contact& c);
} // namespace ContactSQL
