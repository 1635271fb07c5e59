#include "addressbooks/contactedits.h"

#include "addressbooks/records.h"

void addLocalContact(const LocalAddressBook&, const Contact&) {}
void updateLocalContact(const LocalAddressBook&, const Contact&) {}
void deleteLocalContact(const LocalAddressBook&, const Contact&) {}
void addDatabaseContact(const DatabaseAddressBook&, const Contact&) {}
void updateDatabaseContact(const DatabaseAddressBook&, const Contact&) {}
void deleteDatabaseContact(const DatabaseAddressBook&, const Contact&) {}
