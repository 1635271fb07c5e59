#pragma once

#include "platform/telephony/tapi.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

// The SIP line: a baresip user agent started as a child process and driven
// through its ctrl_tcp module (JSON in netstrings on 127.0.0.1). It offers
// one audio address, named after the account unless configured otherwise.
// baresip runs while the program watches that address, and is started again
// by itself when it ends or its control link breaks.

// What the [sip] settings say. An empty account means no SIP line.
struct SipConfig {
    QString account;     // one baresip account line
    QString addressName; // empty: the account's address
    QString listen;      // SIP listen address HOST:PORT; empty: baresip's own
    QString audioDevice = QStringLiteral("alsa,default");
    QString program = QStringLiteral("baresip");
    QString recordDir; // tests: decoded audio dumped here (sndfile)
};

namespace SipLine {

constexpr const char* Package = "baresip-core";
// Largest netstring accepted from baresip.
constexpr qsizetype MaxMessage = 64 * 1024;
// How long an answered call may wait for baresip to confirm it.
constexpr int AnswerTimeoutMs = 10000;

void setConfig(const SipConfig& config);
const SipConfig& config();
// Where the texts the line shows come from: the string table, by id.
using TextLookup = QString (*)(int id);
void setTexts(TextLookup lookup);

// The pause before restarting a line that went out of service, after that
// many restarts in a row: 1 s, doubling up to 60 s.
int restartPauseMs(int failures);

// "sip:alice@pbx.example.org" of "<sip:alice@pbx.example.org>;auth_pass=x";
// empty when the line has no <URI>.
QString accountAddress(const QString& account);
// The caller number in a peer URI: the user part of a sip:, sips: or tel:
// URI, percent-decoded, without parameters; none for anonymous callers.
std::optional<QString> numberFromUri(const QString& uri);
// The number as sent to baresip: separators dropped; none when anything but
// digits, "+", "*" and "#" is left (or nothing).
std::optional<QString> dialString(const QString& number);

// A telephony object with the SIP address (the factory of the composite).
std::shared_ptr<ITTAPI> createTapiObject();

} // namespace SipLine

// Splits a byte stream into netstrings ("LEN:DATA,").
class NetstringReader {
public:
    // Appends data; the complete messages so far, in order. Sets error (and
    // stays failed) on a malformed frame or one longer than MaxMessage.
    QList<QByteArray> feed(const QByteArray& data);
    const QString& error() const { return m_error; }
    static QByteArray frame(const QByteArray& payload);

private:
    QByteArray m_buffer;
    QString m_error;
};
