#pragma once

#include <QString>
#include <QStringList>

// The desktop's system information tool: the first of a few known programs
// found on PATH, started on its own without waiting for it.
class SystemInfo {
public:
    // The programs looked for, in order.
    static QStringList programs();
    // Full path of the first one found on PATH; empty when there is none.
    static QString find();
    // Starts the program with no arguments, detached. False when it could
    // not be started.
    static bool start(const QString& path);
};
