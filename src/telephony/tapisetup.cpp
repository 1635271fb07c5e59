#include "telephony/tapisetup.h"

#include "app/globals.h"
#include "app/settingsrecords.h"

void setupTAPI() { gCallDirection = CallDirection::None; }
void startTAPI() {}
void stopTAPI() {}
