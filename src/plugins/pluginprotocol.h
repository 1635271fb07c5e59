#pragma once

#include "app/settingsrecords.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <functional>

// The plug-in line protocol without any socket: framing of received bytes into
// lines, the command of a line and the reply to it. The server feeds one
// PlugInSession per connection and writes back what it answers.
namespace plugin {

// Longest line kept; the rest of a longer line is dropped up to its CR LF.
constexpr qsizetype MaxLineBytes = 1024;
// Replies waiting for a peer that does not read; past this the peer is cut off.
constexpr qsizetype MaxPendingOutput = 64 * 1024;

constexpr std::int16_t CmdQuit = 100;
constexpr std::int16_t CmdStatus = 101;

// The command of a line: its first three characters (all of it when shorter)
// read as a number and rounded to a 16-bit integer; 0 when they are not one.
std::int16_t commandCode(QByteArrayView line);

// The status line for a call record, without CR LF. callTracked tells whether
// a call is tracked at all.
QString statusLine(bool callTracked, const CallRecord& record);

// The status line of the main window's current-call record.
QString getCallStatusLine();

// Text as it goes on the wire: one byte a character, Latin-1; characters
// outside it become "?".
QByteArray toWire(QStringView text);

// One connection's receive buffer and its answers.
class PlugInSession {
public:
    struct Result {
        QByteArray reply;  // every reply line, CR LF included, in order
        bool quit = false; // the peer said goodbye: close after sending reply
    };

    // Where status lines come from; getCallStatusLine unless told otherwise.
    using StatusSource = std::function<QString()>;
    explicit PlugInSession(StatusSource source = {});

    // Appends received bytes and answers every line they complete. After a
    // quit the rest of the data and of the buffer is dropped.
    Result handlePlugInCommands(QByteArrayView data);

    // Forgets any partial line.
    void clear();
    // Bytes held for the line not yet ended.
    qsizetype bufferedBytes() const { return m_line.size() + (m_pendingCR ? 1 : 0); }

private:
    void keep(char c);
    // Answers one complete line; returns true when it was a quit.
    bool answer(QByteArray& reply);

    StatusSource m_status;
    QByteArray m_line;
    bool m_pendingCR = false;
};

} // namespace plugin
