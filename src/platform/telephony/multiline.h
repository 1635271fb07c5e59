#pragma once

#include <memory>

class ITTAPI;

// The installed provider: the simulated line, and beside it the SIP line
// when a SIP account is configured, as addresses of one telephony object.
std::shared_ptr<ITTAPI> createInstalledTapiObject();
