#include "app/appversion.h"

namespace AppVersion {

QString title() {
    return QStringLiteral("Tamrivo");
}

int majorVersion() {
    return 1;
}

int minorVersion() {
    return 0;
}

QString fileDescription() {
    return QStringLiteral("Telephony assistant: caller ID, address books and plug-ins");
}

QString legalNotice() {
    return QStringLiteral("Copyright (C) 2026 The Tamrivo developers");
}

QString productLine() {
    return title() + QStringLiteral(" version ") + QString::number(majorVersion()) + u'.' +
           QString::number(minorVersion()) + QStringLiteral("\r\n") + fileDescription();
}

} // namespace AppVersion
