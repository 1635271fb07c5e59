#pragma once

// The SIP line's settings (section "sip"): account, addressName, listen,
// audioDevice, program. Hands them to the telephony layer; a bad value is
// reported, naming the setting, and leaves the SIP line off.
void loadSipSettings();
