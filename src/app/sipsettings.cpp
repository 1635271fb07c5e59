#include "app/sipsettings.h"

#include "app/strings.h"
#include "platform/errors.h"
#include "platform/settingsstore.h"
#include "platform/telephony/sipline.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace {

// Why the value of key is refused; empty when it is fine. Every value ends
// up as a line of baresip's files or commands, so none may hold a line break.
QString problem(const QString& key, const QString& v) {
    for (const QChar ch : v)
        if (ch.category() == QChar::Other_Control)
            return loadResString(16276);
    const QString like = loadResString(16277);
    if (key == u"account" && !v.isEmpty() && SipLine::accountAddress(v).isEmpty())
        return like.arg(QStringLiteral("<sip:USER@HOST>"));
    if (key == u"listen" && !v.isEmpty()) {
        static const QRegularExpression re(QStringLiteral("^\\[?([0-9A-Fa-f:.]+)\\]?:([0-9]{1,5})$"));
        const auto m = re.match(v);
        const int port = m.captured(2).toInt();
        if (!m.hasMatch() || QHostAddress(m.captured(1)).isNull() || port < 1 || port > 65535)
            return like.arg(QStringLiteral("127.0.0.1:5070"));
    }
    if (key == u"audioDevice" &&
        !QRegularExpression(QStringLiteral("^[a-z0-9_]+,")).match(v).hasMatch())
        return like.arg(QStringLiteral("alsa,default"));
    if (key == u"program" && v.isEmpty())
        return like.arg(QStringLiteral("/usr/bin/baresip"));
    return {};
}

} // namespace

void loadSipSettings() {
    SipLine::setTexts(loadResString);
    const SettingsStore& s = SettingsStore::instance();
    const QString section = QStringLiteral("sip");
    SipConfig c;
    const std::pair<const char*, QString*> fields[] = {{"account", &c.account},
                                                       {"addressName", &c.addressName},
                                                       {"listen", &c.listen},
                                                       {"audioDevice", &c.audioDevice},
                                                       {"program", &c.program}};
    for (const auto& [key, value] : fields) {
        *value = s.read(section, QLatin1String(key), *value).trimmed();
        const QString why = problem(QLatin1String(key), *value);
        if (!why.isEmpty()) {
            SipLine::setConfig(SipConfig{});
            reportCaught(QStringLiteral("loadSipSettings"),
                         AppError(ErrNum::SettingsRead,
                                  loadResString(16275).arg(QLatin1String(key), why),
                                  QStringLiteral("Settings")));
            return;
        }
    }
    SipLine::setConfig(c);
}
