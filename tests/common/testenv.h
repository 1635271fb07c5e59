#pragma once

#include "platform/errors.h"

#include <QString>
#include <QTemporaryDir>
#include <functional>

// Isolates a test: settings, data and runtime folders and the ODBC
// configuration point into a fresh temporary folder; process-wide state, the
// settings store and the prompter are reset. Construct one per test case (or
// in init()).
class TestEnv {
public:
    TestEnv();
    ~TestEnv();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Settings file the store uses inside this environment.
    QString settingsPath() const;

private:
    QTemporaryDir m_dir;
};

// build/ and source folders as told by CTest (fallbacks for manual runs).
QString buildDir();
QString sourceDir();

// The error f raised (number 0: none).
inline AppError caught(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e;
    }
    return AppError(0, QString());
}
inline long errNum(const std::function<void()>& f) { return caught(f).number(); }
