#pragma once

#include <QString>
#include <QStringList>

// Plays a ".wav" file in the background: the call returns at once, a missing
// or unreadable file plays nothing (no default sound), and nothing is
// reported back. One sound at a time: a new play replaces the one playing.
class SoundPlayer {
public:
    static void play(const QString& path);

    // Tests: while recording, plays are only written down, not heard.
    static void setRecording(bool on);
    static const QStringList& played();
    static void clearPlayed();
};
