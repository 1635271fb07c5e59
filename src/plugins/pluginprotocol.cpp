#include "plugins/pluginprotocol.h"

#include "addressbooks/dbfunctions.h"
#include "app/convert.h"
#include "platform/errors.h"
#include "app/globals.h"

#include <QList>

namespace plugin {

namespace {

// A reply is always one line: line breaks and NUL inside a field become blanks.
QString oneLine(QString text) {
    for (QChar& c : text) {
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            c = u' ';
    }
    return text;
}

const QByteArray kCRLF = QByteArrayLiteral("\r\n");

} // namespace

std::int16_t commandCode(QByteArrayView line) {
    const QString head = QString::fromLatin1(line.first(std::min<qsizetype>(line.size(), 3)));
    double value = 0;
    if (!convert::tryToDouble(head, value))
        return 0;
    try {
        return convert::toInt16(value);
    } catch (const AppError&) {
        return 0; // "9e9" is no command either
    }
}

QString statusLine(bool callTracked, const CallRecord& record) {
    const QString none = QStringLiteral("500 DISCONNECTED");
    if (!callTracked)
        return none;
    QString start;
    switch (record.callStatus) {
    case CallStatus::Ringing:
        start = QStringLiteral("500 RINGING '");
        break;
    case CallStatus::Connected:
        start = QStringLiteral("500 CONNECTED '");
        break;
    case CallStatus::Calling:
        start = QStringLiteral("500 CALLING '");
        break;
    default:
        return none;
    }
    return start + oneLine(record.callNumber) + QStringLiteral("' '") +
           oneLine(escapeSQL(record.callName)) + QLatin1Char('\'');
}

QString getCallStatusLine() {
    return statusLine(static_cast<bool>(gCall), gCallRecord);
}

QByteArray toWire(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t cp : text.toUcs4())
        out.append(cp <= 0xFF ? static_cast<char>(cp) : '?');
    return out;
}

PlugInSession::PlugInSession(StatusSource source) : m_status(std::move(source)) {
    if (!m_status)
        m_status = getCallStatusLine;
}

void PlugInSession::clear() {
    m_line.clear();
    m_pendingCR = false;
}

void PlugInSession::keep(char c) {
    // An overlong line keeps its head, which is all that decides its command.
    if (m_line.size() < MaxLineBytes)
        m_line.append(c);
}

bool PlugInSession::answer(QByteArray& reply) {
    switch (commandCode(m_line)) {
    case CmdQuit:
        reply += QByteArrayLiteral("200 OK\r\n");
        return true;
    case CmdStatus:
        reply += toWire(m_status()) + kCRLF;
        break;
    case 200:
    case 201:
    case 400:
        break;
    default:
        reply += QByteArrayLiteral("201 ERROR\r\n");
        break;
    }
    return false;
}

PlugInSession::Result PlugInSession::handlePlugInCommands(QByteArrayView data) {
    Result result;
    for (const char c : data) {
        if (m_pendingCR) {
            m_pendingCR = false;
            if (c == '\n') {
                const bool quit = answer(result.reply);
                m_line.clear();
                if (quit) {
                    result.quit = true;
                    clear();
                    return result;
                }
                continue;
            }
            keep('\r'); // a lone CR ends nothing
        }
        if (c == '\r')
            m_pendingCR = true;
        else
            keep(c);
    }
    return result;
}

} // namespace plugin
