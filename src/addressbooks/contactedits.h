#pragma once

struct Contact;
struct LocalAddressBook;
class DatabaseAddressBook;

// Writes one contact into its book, each through a connection of its own.
// Read-only and recent-call books are refused by the callers, not here.
void addLocalContact(const LocalAddressBook& book, const Contact& c);
void updateLocalContact(const LocalAddressBook& book, const Contact& c);
void deleteLocalContact(const LocalAddressBook& book, const Contact& c);
void addDatabaseContact(const DatabaseAddressBook& book, const Contact& c);
void updateDatabaseContact(const DatabaseAddressBook& book, const Contact& c);
void deleteDatabaseContact(const DatabaseAddressBook& book, const Contact& c);
