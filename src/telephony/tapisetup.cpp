#include "telephony/tapisetup.h"

#include "platform/errors.h"
#include "app/globals.h"
#include "app/settingsrecords.h"
#include "platform/telephony/providers.h"
#include "platform/telephony/tapi.h"

void setupTAPI() {
    gCallDirection = CallDirection::None;
    if (gPreferences && gPreferences->useTapi)
        startTAPI();
    else
        stopTAPI();
    gAddress.reset();
    if (!gTAPI || !gPreferences || gPreferences->TAPIDevice.isEmpty())
        return;

    // From here a failing step is skipped: no address is chosen then.
    std::shared_ptr<ITCollection> addresses;
    try {
        addresses = gTAPI->get_Addresses();
    } catch (const AppError&) {
        return;
    }
    long count = 0;
    try {
        count = addresses->get_Count();
    } catch (const AppError&) {
        return;
    }
    for (long i = 1; i <= count; ++i) {
        try {
            std::shared_ptr<ITAddress> a = addresses->get_Item(i);
            if (a && a->get_AddressName() == gPreferences->TAPIDevice) {
                gAddress = a;
                return;
            }
        } catch (const AppError&) {
            // this address cannot be asked; try the next one
        }
    }
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
    gTAPI->Shutdown();
    gTAPI.reset();
}
