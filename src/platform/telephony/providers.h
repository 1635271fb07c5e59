#pragma once

#include <QString>
#include <functional>
#include <memory>

class ITTAPI;

// The installed telephony providers, by the name the program creates the
// telephony object with ("TAPI.TAPI.1"). The simulated line (with the SIP
// line beside it when one is configured) is always installed under that
// name; tests may put another factory in its place.
namespace TelephonyRegistry {

constexpr const char* TapiProgId = "TAPI.TAPI.1";

using Factory = std::function<std::shared_ptr<ITTAPI>()>;

// Replaces the factory for progId; an empty factory removes it.
void setFactory(const QString& progId, Factory factory);
// Back to the installed providers only.
void restoreDefaults();

} // namespace TelephonyRegistry

// Creates the telephony object of progId. Raises ErrNum::TelephonyNotAvailable
// ("not available") when no provider offers it or the provider refuses.
std::shared_ptr<ITTAPI> createTelephonyObject(const QString& progId);
