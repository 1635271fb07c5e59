#pragma once

// Builds the telephony object and the monitored address from the
// preferences (end of the settings load, and after Preferences OK).
void setupTAPI();
// Creates and initialises the telephony object when there is none.
void startTAPI();
// Shuts the telephony object down when there is one.
void stopTAPI();
