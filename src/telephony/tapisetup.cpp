#include "telephony/tapisetup.h"

#include "platform/errors.h"
#include "app/globals.h"
#include "app/settingsrecords.h"
#include "platform/telephony/providers.h"
#include "platform/telephony/tapi.h"
#include "telephony/callhandler.h"

namespace {

// The address named TAPIDevice; none when a step fails.
std::shared_ptr<ITAddress> findAddress() {
    if (!gTAPI || !gPreferences || gPreferences->TAPIDevice.isEmpty())
        return nullptr;
    std::shared_ptr<ITCollection> addresses;
    long count = 0;
    try {
        addresses = gTAPI->get_Addresses();
        count = addresses->get_Count();
    } catch (const AppError&) {
        return nullptr;
    }
    for (long i = 1; i <= count; ++i) {
        try {
            std::shared_ptr<ITAddress> a = addresses->get_Item(i);
            if (a && a->get_AddressName() == gPreferences->TAPIDevice)
                return a;
        } catch (const AppError&) {
            // this address cannot be asked; try the next one
        }
    }
    return nullptr;
}

} // namespace

void setupTAPI() {
    // Held meanwhile, so that the line answers with the same handle for it.
    const std::shared_ptr<ITAddress> before = gAddress;
    if (gPreferences && gPreferences->useTapi)
        startTAPI();
    else
        stopTAPI();
    gAddress = findAddress();
    // A call on a line no longer monitored ends here; one on the same line
    // goes on, and keeps its direction for its log entry.
    if (gAddress != before)
        endCallOnLine();
    if (!callOnLine())
        gCallDirection = CallDirection::None;
}

void startTAPI() {
    if (gTAPI)
        return;
    // Any failure leaves the program without telephony, silently.
    try {
        gTAPI = createTelephonyObject(QLatin1String(TelephonyRegistry::TapiProgId));
    } catch (const AppError&) {
        gTAPI.reset();
    }
    gCall.reset();
    if (!gTAPI)
        return;
    try {
        gTAPI->Initialize();
    } catch (const AppError&) {
        gTAPI.reset();
        return;
    }
    try {
        gTAPI->put_EventFilter(TE_ALLEVENTS);
    } catch (const AppError&) {
        try {
            gTAPI->Shutdown();
        } catch (const AppError&) {
        }
        gTAPI.reset();
    }
}

void stopTAPI() {
    if (!gTAPI)
        return;
    endCallOnLine();
    gTAPI->Shutdown();
    gTAPI.reset();
}
