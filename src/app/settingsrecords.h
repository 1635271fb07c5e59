#pragma once

#include <QString>

#include <cstdint>

// The preferences in force; one instance, replaced as a whole.
struct Preferences {
    QString TAPIDevice;
    bool useTapi = false;
    std::int16_t onClose = 0;
    std::int16_t multipleCall = 0;
    bool incomingShowWindow = false;
    bool incomingPlaySound = false;
    bool incomingShowTooltip = false;
    QString defaultSound;
    std::int16_t ringTimerInterval = 0;
    bool autoCloseOnDisconnect = false;
    bool useLastDRAddressBooks = false;
    bool clearDRABOnExit = false;
    QString defaultPrefixesForDRAB1;
    QString defaultPrefixesForDRAB2;
    QString defaultPrefixesForDRAB3;
    bool startMinimized = false;
};

// One configured plug-in.
struct PlugIn {
    QString name;
    QString description;
    std::int32_t remotePort = 0; // the port it must connect from, 0 = any
    QString remoteHost;          // dotted address, compared exactly
    bool connected = false;      // run-time only, never stored
};

// The main window's record of the current (or last) call.
namespace CallStatus {
constexpr std::int16_t Ringing = 0;
constexpr std::int16_t Connected = 1;
constexpr std::int16_t Disconnected = 2;
constexpr std::int16_t Calling = 4;
} // namespace CallStatus

namespace CallDirection {
constexpr std::int16_t Incoming = 0;
constexpr std::int16_t Outgoing = 1;
constexpr std::int16_t None = 2;
} // namespace CallDirection

struct CallRecord {
    std::int16_t callStatus = 0;
    QString callNumber;
    QString callName;
    QString callMatchTag;
    // Kept from the match: the books may be removed or reordered before the
    // call ends and is logged.
    QString callPrefix;
    // The line could not tell the number: callNumber holds "Not available".
    bool numberUnavailable = false;
};
