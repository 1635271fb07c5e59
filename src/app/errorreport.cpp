#include "app/errorreport.h"

#include "platform/errors.h"
#include "app/globals.h"
#include "platform/prompter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <cstdio>

namespace {
QString gLogFolder;

QString timeOfDayFormat() {
    // The locale's long time format names the time zone; keep only the clock.
    QString f = QLocale::system().timeFormat(QLocale::LongFormat);
    f.remove(QLatin1Char('t'));
    return f.trimmed();
}

bool folderWritable(const QString& dir) {
    const QFileInfo info(dir);
    return info.isDir() && info.isWritable();
}
} // namespace

void setErrorLogFolder(const QString& folder) {
    gLogFolder = folder;
}

namespace {
QString dataFolderLogPath() {
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/Tamrivo/Tamrivo.Err");
}

bool appendTo(const QString& path, const QByteArray& line) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Append) && f.write(line) == line.size() &&
           f.flush();
}
} // namespace

QString errorLogPath() {
    if (!gLogFolder.isEmpty())
        return QDir(gLogFolder).filePath(QStringLiteral("Tamrivo.Err"));
    const QString appDir = QCoreApplication::applicationDirPath();
    if (!appDir.isEmpty() && folderWritable(appDir))
        return QDir(appDir).filePath(QStringLiteral("Tamrivo.Err"));
    return dataFolderLogPath();
}

QString errorLogLine(const QString& procName, long number, const QString& description) {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale loc = QLocale::system();
    const QString text = loc.toString(now.date(), QLocale::ShortFormat) + u' ' +
                         loc.toString(now.time(), timeOfDayFormat()) + u' ' + procName + u' ' +
                         QString::number(number) + u' ' + description;
    return u'"' + text + QStringLiteral("\"\r\n");
}

void reportError(const QString& procName, const AppError& err) {
    try {
        if (gExtendedErrors) {
            const QByteArray line =
                errorLogLine(procName, err.number(), err.description()).toLocal8Bit();
            const QString path = errorLogPath();
            bool written = appendTo(path, line);
            // A log beside the program that can't be written (a read-only
            // file) goes to the user's data folder instead.
            if (!written && gLogFolder.isEmpty() && path != dataFolderLogPath())
                written = appendTo(dataFolderLogPath(), line);
            if (!written) {
                // The log is unusable: say so where it can still be seen.
                std::fprintf(stderr, "Tamrivo: cannot write the error log %s: %s",
                             path.toLocal8Bit().constData(), line.constData());
            }
            return;
        }
        if (err.number() > 1000) {
            Prompter::showError(
                QStringLiteral("%1 %2 %3").arg(err.number()).arg(err.description(), err.source()),
                QStringLiteral("Tamrivo Error"));
        }
    } catch (...) {
        std::fprintf(stderr, "Tamrivo: error %ld %s\n", err.number(),
                     err.description().toLocal8Bit().constData());
    }
}

void reportErrorLater(const QString& procName, const AppError& err) {
    if (!QCoreApplication::instance())
        return reportError(procName, err);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [procName, err] { reportError(procName, err); },
        Qt::QueuedConnection);
}

void reportCaught(const QString& procName, const AppError& e) {
    reportError(procName, e);
}

[[noreturn]] void raiseError(long number, const QString& description, const QString& source) {
    throw AppError(number, description.isEmpty() ? standardErrorDescription(number) : description,
                   source);
}

QString standardErrorDescription(long number) {
    switch (number) {
    case 5:
        return QStringLiteral("Invalid procedure call or argument");
    case 6:
        return QStringLiteral("Overflow");
    case 7:
        return QStringLiteral("Out of memory");
    case 9:
        return QStringLiteral("Subscript out of range");
    case 11:
        return QStringLiteral("Division by zero");
    case 13:
        return QStringLiteral("Type mismatch");
    case 52:
        return QStringLiteral("Bad file name or number");
    case 53:
        return QStringLiteral("File not found");
    case 75:
        return QStringLiteral("Path/File access error");
    case 91:
        return QStringLiteral("Object variable or With block variable not set");
    case 326:
        return QStringLiteral("Resource with identifier not found");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}
