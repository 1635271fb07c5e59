#include "platform/systeminfo.h"

#include <QProcess>
#include <QStandardPaths>

QStringList SystemInfo::programs() {
    return {
        QStringLiteral("hardinfo2"),
        QStringLiteral("hardinfo"),
        QStringLiteral("kinfocenter"),
        QStringLiteral("lshw-gtk"),
        QStringLiteral("cpu-x"),
        QStringLiteral("i-nex"),
        QStringLiteral("gnome-system-monitor"),
    };
}

QString SystemInfo::find() {
    for (const QString& name : programs()) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

bool SystemInfo::start(const QString& path) {
    if (path.isEmpty())
        return false;
    return QProcess::startDetached(path, QStringList());
}
