#pragma once

#include <QString>

#include <exception>
#include <utility>

// Run-time errors carry a number, a description and a source. The number
// decides what the error report does with them: numbers above 1000 are shown
// to the user, the rest only go to the error log.
namespace ErrNum {
constexpr long InvalidCall = 5;
constexpr long Overflow = 6;
constexpr long SubscriptOutOfRange = 9;
constexpr long TypeMismatch = 13;
constexpr long FileNotFound = 53;
constexpr long PathFileAccess = 75;
constexpr long ObjectNotSet = 91;
constexpr long MissingResource = 326;
// Telephony failures are negative, like the platform's failure codes.
constexpr long TelephonyFailed = -2147221503;
constexpr long TelephonyNotAvailable = -2147221005;
// Data-access and settings failures are above 1000 so that the user sees them.
constexpr long DataAccess = 3146;
constexpr long DataSourceOpen = 3151;
// No current row (reading at the end of a result) and no such column.
constexpr long NoCurrentRecord = 3021;
constexpr long ItemNotFound = 3265;
constexpr long SettingsWrite = 3050;
constexpr long SettingsRead = 3051;
constexpr long Network = 10048;
// The SIP line is down or lost a call: shown to the user.
constexpr long SipLine = 10050;
} // namespace ErrNum

class AppError : public std::exception {
public:
    AppError(long number, QString description, QString source = QStringLiteral("Tamrivo"))
        : m_number(number), m_description(std::move(description)), m_source(std::move(source)),
          m_what(QStringLiteral("%1 %2").arg(m_number).arg(m_description).toUtf8()) {}

    long number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const QString& source() const noexcept { return m_source; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    long m_number;
    QString m_description;
    QString m_source;
    QByteArray m_what;
};

[[noreturn]] void raiseError(long number, const QString& description = QString(),
                             const QString& source = QStringLiteral("Tamrivo"));

// Standard descriptions for the common numbers ("Overflow", "Type mismatch", ...).
QString standardErrorDescription(long number);

// Hands the error to reportError(procName). Never throws.
void reportCaught(const QString& procName, const AppError& e);

// Runs f; any exception is reported with "dontknow" (or procName) and swallowed.
// Every event handler runs through this so nothing crosses Qt's dispatch.
// Returns true when f finished without error.
template <typename F> bool trapErrors(F&& f, const QString& procName = QStringLiteral("dontknow")) {
    try {
        std::forward<F>(f)();
        return true;
    } catch (const AppError& e) {
        reportCaught(procName, e);
    } catch (const std::exception& e) {
        reportCaught(procName, AppError(51, QString::fromLocal8Bit(e.what())));
    } catch (...) {
        reportCaught(procName, AppError(51, QStringLiteral("Internal error")));
    }
    return false;
}
