#include "platform/soundplayer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace {

bool gRecording = false;
QStringList gPlayed;

QSoundEffect* effect() {
    static QSoundEffect* e = nullptr;
    if (!e)
        e = new QSoundEffect(QCoreApplication::instance());
    return e;
}

} // namespace

void SoundPlayer::play(const QString& path) {
    if (gRecording) {
        gPlayed.append(path);
        return;
    }
    if (!QCoreApplication::instance())
        return;
    const QFileInfo fi(path);
    if (path.isEmpty() || !fi.isFile() || !fi.isReadable())
        return;
    QSoundEffect* e = effect();
    e->stop();
    e->setSource(QUrl::fromLocalFile(fi.absoluteFilePath()));
    e->play();
}

void SoundPlayer::setRecording(bool on) {
    gRecording = on;
}
const QStringList& SoundPlayer::played() {
    return gPlayed;
}
void SoundPlayer::clearPlayed() {
    gPlayed.clear();
}
