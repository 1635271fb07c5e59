#include "common/testenv.h"

#include "app/errorreport.h"
#include "app/globals.h"
#include "platform/filechooser.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

TestEnv::TestEnv() {
    const QString base = m_dir.path();
    for (const char* sub : {"config", "data", "runtime", "odbc"})
        QDir(base).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(base + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_CONFIG_HOME", (base + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (base + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (base + QStringLiteral("/runtime")).toLocal8Bit());
    qputenv("ODBCINI", (base + QStringLiteral("/odbc/odbc.ini")).toLocal8Bit());
    qputenv("TAMRIVO_SIMLINE_SOCKET", (base + QStringLiteral("/runtime/tamrivo-simline")).toLocal8Bit());
    SettingsStore::instance().setPath(settingsPath());
    setErrorLogFolder(base + QStringLiteral("/data"));
    resetGlobals();
    Prompter::setMode(Prompter::Mode::Scripted);
    Prompter::reset();
    FileChooser::setScripted(true);
    FileChooser::reset();
    // No test opens the mail program or a browser.
    Shell::setRecording(true);
    Shell::clearOpened();
}

TestEnv::~TestEnv() {
    resetGlobals();
    Prompter::reset();
    FileChooser::reset();
    SettingsStore::instance().setPath(QString());
    setErrorLogFolder(QString());
}

QString TestEnv::settingsPath() const { return m_dir.path() + QStringLiteral("/config/Tamrivo/Tamrivo.ini"); }

QString buildDir() {
    const QString env = qEnvironmentVariable("TAMRIVO_BUILD_DIR");
    if (!env.isEmpty())
        return env;
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
}

QString sourceDir() {
    const QString env = qEnvironmentVariable("TAMRIVO_SOURCE_DIR");
    if (!env.isEmpty())
        return env;
    return QDir(buildDir() + QStringLiteral("/..")).absolutePath();
}
