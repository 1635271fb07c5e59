#include "platform/shell.h"

#include "platform/prompter.h"
#include "platform/strings.h"

#include <QDesktopServices>
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
