#include "platform/shell.h"

#include "platform/prompter.h"
#include "platform/strings.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace {
bool gRecordingSet = false;
bool gRecording = false;
QList<QUrl> gOpened;

bool recordingFromEnvironment() {
    return qEnvironmentVariable("TAMRIVO_SHELL") == QLatin1String("record");
}
} // namespace

bool Shell::open(const QUrl& url) {
    if (recording()) {
        gOpened.append(url);
        if (recordingFromEnvironment())
            std::fprintf(stderr, "SHELL %s\n",
                         url.toString(QUrl::FullyEncoded).toLocal8Bit().constData());
        return true;
    }
    if (QDesktopServices::openUrl(url))
        return true;
    // Doing nothing would leave the user waiting for a window that never comes.
    Prompter::msgBox(loadResString(16281).arg(url.toDisplayString()),
                     Msg::OKOnly | Msg::Exclamation, loadResString(16280));
    return false;
}

QString Shell::shippedFile(const QString& name, const QString& programDir) {
    const QDir dir(programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir);
    const QString beside = dir.filePath(name);
    const QString installed = dir.filePath(QStringLiteral("../share/tamrivo/") + name);
    if (QFileInfo::exists(beside) || !QFileInfo::exists(installed))
        return beside;
    return QDir::cleanPath(installed);
}

QUrl Shell::mailto(const QString& address) {
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(address, QUrl::DecodedMode);
    return url;
}

void Shell::setRecording(bool on) {
    gRecordingSet = true;
    gRecording = on;
}

bool Shell::recording() {
    return gRecordingSet ? gRecording : recordingFromEnvironment();
}

const QList<QUrl>& Shell::opened() {
    return gOpened;
}

void Shell::clearOpened() {
    gOpened.clear();
}
