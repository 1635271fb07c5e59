#include "app/pluginsettings.h"

#include "app/convert.h"
#include "platform/errors.h"
#include "app/globals.h"
#include "app/settings.h"
#include "platform/settingsstore.h"

#include <limits>
#include <optional>

namespace {

const QString kSection = QStringLiteral("plugins");

QString readText(const QString& key, const QString& def) {
    return SettingsStore::instance().read(kSection, key, def);
}

// A number of the given range, or nothing when the text is not one.
template <typename T> std::optional<T> tryNumber(const QString& text) {
    double v = 0;
    if (!convert::tryToDouble(text, v))
        return std::nullopt;
    try {
        if constexpr (sizeof(T) == 2)
            return convert::toInt16(v);
        else
            return convert::toInt32(v);
    } catch (const AppError&) {
        return std::nullopt;
    }
}

} // namespace

void loadPlugInSettings() {
    if (readText(QStringLiteral("enabled"), QStringLiteral("0")) != QLatin1String("1")) {
        plugInsEnabled = false;
        return;
    }
    plugInsEnabled = true;

    if (const auto port =
            tryNumber<std::int32_t>(readText(QStringLiteral("serverPort"), QStringLiteral("5577"))))
        serverPort = *port;
    if (serverPort == 0)
        serverPort = 5577;

    const std::int16_t count =
        tryNumber<std::int16_t>(readText(QStringLiteral("number"), QStringLiteral("0")))
            .value_or(0);
    if (count <= 0) {
        noPlugIns = true;
        return;
    }

    QList<std::shared_ptr<PlugIn>> list;
    for (int i = 0; i < count; ++i) {
        const QString x = QString::number(i);
        auto p = std::make_shared<PlugIn>();
        p->name = readText(QStringLiteral("name") + x, QStringLiteral("plugin"));
        p->description = readText(QStringLiteral("description") + x, QStringLiteral("plugin"));
        p->remoteHost = readText(QStringLiteral("remoteHost") + x, QStringLiteral("127.0.0.1"));
        p->remotePort =
            std::int32_t(readWholeSetting(kSection, QStringLiteral("remotePort") + x,
                                          QStringLiteral("5576"), INT32_MIN, INT32_MAX));
        p->connected = false;
        list.append(p);
    }
    plugIns = list;
    noPlugIns = false;
}

void savePlugInSettings() {
    SettingsStore::Entries out;
    out.append(
        {QStringLiteral("enabled"), plugInsEnabled ? QStringLiteral("1") : QStringLiteral("0")});
    if (plugInsEnabled) {
        out.append({QStringLiteral("serverPort"), convert::toText(serverPort)});
        const int count = noPlugIns ? 0 : int(plugIns.size());
        out.append({QStringLiteral("number"), convert::toText(count)});
        for (int i = 0; i < count; ++i) {
            if (!plugIns[i])
                raiseError(ErrNum::ObjectNotSet);
            const PlugIn& p = *plugIns[i];
            const QString x = QString::number(i);
            out.append({QStringLiteral("name") + x, p.name});
            out.append({QStringLiteral("description") + x, p.description});
            out.append({QStringLiteral("remoteHost") + x, p.remoteHost});
            out.append({QStringLiteral("remotePort") + x, convert::toText(p.remotePort)});
        }
    }
    SettingsStore::instance().replaceSection(kSection, out);
}
