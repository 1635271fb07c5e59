#include "platform/telephony/providers.h"

#include "platform/errors.h"
#include "platform/telephony/multiline.h"
#include "platform/telephony/tapi.h"

#include <QHash>

namespace {

QHash<QString, TelephonyRegistry::Factory>& factories() {
    static QHash<QString, TelephonyRegistry::Factory> f;
    static bool installed = false;
    if (!installed) {
        installed = true;
        f.insert(QLatin1String(TelephonyRegistry::TapiProgId),
                 [] { return createInstalledTapiObject(); });
    }
    return f;
}

} // namespace

namespace TelephonyRegistry {

void setFactory(const QString& progId, Factory factory) {
    if (factory)
        factories().insert(progId, std::move(factory));
    else
        factories().remove(progId);
}

void restoreDefaults() {
    factories().clear();
    factories().insert(QLatin1String(TapiProgId),
                       [] { return createInstalledTapiObject(); });
}

} // namespace TelephonyRegistry

std::shared_ptr<ITTAPI> createTelephonyObject(const QString& progId) {
    const auto it = factories().constFind(progId);
    std::shared_ptr<ITTAPI> obj;
    if (it != factories().constEnd() && *it) {
        try {
            obj = (*it)();
        } catch (const AppError&) {
            obj.reset(); // the provider refused: the service is not available
        }
    }
    if (!obj)
        raiseError(ErrNum::TelephonyNotAvailable, QStringLiteral("Telephony service not available"),
                   QStringLiteral("Telephony"));
    return obj;
}
