#pragma once

#include "addressbooks/records.h"
#include "app/settingsrecords.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QPointer>

#include <cstdint>
#include <memory>

class frmMain;
class ITTAPI;
class ITAddress;
class ITBasicCallControl;

// Process-wide state, alive for the whole run. resetGlobals() gives every
// variable its value from before start-up (tests call it between cases).

// Cleared by the window when it is destroyed.
extern frmMain* gMainForm;
extern bool gExtendedErrors;

extern QList<std::shared_ptr<LDAPAddressBook>> gLDAPBooks;
extern bool noLDAPBooks;
extern QList<std::shared_ptr<DatabaseAddressBook>> gDBBooks;
extern bool noDBBooks;
extern QList<std::shared_ptr<LocalAddressBook>> gLocalBooks;
extern bool noLocalBooks;
// Empty until the settings load creates the three books; then exactly three.
extern QList<std::shared_ptr<TmpAddressBook>> gRecentBooks;

extern QList<std::shared_ptr<PlugIn>> plugIns;
extern bool noPlugIns;
extern bool plugInsEnabled;
extern std::int32_t serverPort;

extern std::shared_ptr<Preferences> gPreferences;
extern bool gExitRequested;

extern std::shared_ptr<ITTAPI> gTAPI;
extern std::shared_ptr<ITAddress> gAddress;
extern std::shared_ptr<ITBasicCallControl> gCall;
extern std::int16_t gCallDirection;
extern std::int16_t gCallerIDMaxLengthDiff;

// What the caller-ID lookup keeps of a failing book, by book: not asked
// before quietUntil (after a data source that did not answer), and told of
// once until it has worked again.
struct BookTrouble {
    QDeadlineTimer quietUntil;
    bool told = false;
};
constexpr int kQuietAfterTimeoutMs = 30000;
extern QHash<QString, BookTrouble> gBookTrouble;

// The main window's current-call record. It lives here so that it exists
// from the start, before and after the window.
extern CallRecord gCallRecord;

// Whether the recent-call books exist (created at start-up when enabled).
bool recentBooksExist();

void resetGlobals();
