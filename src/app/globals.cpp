#include "app/globals.h"


frmMain* gMainForm = nullptr;
bool gExtendedErrors = false;

QList<std::shared_ptr<LDAPAddressBook>> gLDAPBooks;
bool noLDAPBooks = true;
QList<std::shared_ptr<DatabaseAddressBook>> gDBBooks;
bool noDBBooks = true;
QList<std::shared_ptr<LocalAddressBook>> gLocalBooks;
bool noLocalBooks = true;
QList<std::shared_ptr<TmpAddressBook>> gRecentBooks;

QList<std::shared_ptr<PlugIn>> plugIns;
bool noPlugIns = true;
bool plugInsEnabled = false;
std::int32_t serverPort = 0;

std::shared_ptr<Preferences> gPreferences;
bool gExitRequested = false;

std::shared_ptr<ITTAPI> gTAPI;
std::shared_ptr<ITAddress> gAddress;
std::shared_ptr<ITBasicCallControl> gCall;
std::int16_t gCallDirection = 0;
std::int16_t gCallerIDMaxLengthDiff = 2;
QHash<QString, BookTrouble> gBookTrouble;

CallRecord gCallRecord;

bool recentBooksExist() { return gRecentBooks.size() == 3; }

void resetGlobals() {
    gMainForm = nullptr;
    gExtendedErrors = false;
    gLDAPBooks.clear();
    noLDAPBooks = true;
    gDBBooks.clear();
    noDBBooks = true;
    gLocalBooks.clear();
    noLocalBooks = true;
    gRecentBooks.clear();
    plugIns.clear();
    noPlugIns = true;
    plugInsEnabled = false;
    serverPort = 0;
    gPreferences.reset();
    gExitRequested = false;
    gTAPI.reset();
    gAddress.reset();
    gCall.reset();
    gCallDirection = 0;
    gCallerIDMaxLengthDiff = 2;
    gBookTrouble.clear();
    gCallRecord = CallRecord{};
}
