#include "platform/dbsession.h"

#include "platform/errors.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {

DbSession::Observer& observer() {
    static DbSession::Observer o;
    return o;
}

// What a job's thread shares with the caller waiting for it.
struct Job {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    bool givenUp = false;
    bool sent = false;
    std::exception_ptr error;
    QList<std::pair<QString, QString>> notes; // observer calls, made by the caller
};

thread_local Job* tJob = nullptr;

// Told before a connection opens and before a statement goes out: on a job's
// thread nothing more goes to a server that the caller gave up on.
void notify(const char* what, const QString& text, bool changesData = false) {
    if (!tJob) {
        if (observer())
            observer()(QString::fromLatin1(what), text);
        return;
    }
    const std::lock_guard guard(tJob->lock);
    if (tJob->givenUp)
        raiseError(ErrNum::DataSourceOpen, QStringLiteral("Given up."));
    tJob->sent = tJob->sent || changesData;
    tJob->notes.append({QString::fromLatin1(what), text});
}

QString driverMessage(const QSqlError& e, const QString& fallback) {
    QString text = e.text().trimmed();
    return text.isEmpty() ? fallback : text;
}

// The ODBC driver of Qt adds "DSN=" in front of the text it is given unless
// the text names a driver or server, and takes a text holding ".dsn" for a
// file data source. Hand it the text so that it sends exactly ours.
QString odbcDatabaseName(const QString& text) {
    if (text.contains(QLatin1String(".dsn"), Qt::CaseInsensitive))
        raiseError(ErrNum::DataSourceOpen,
                   QStringLiteral("The data source name, user name or password contains \".dsn\", "
                                  "which cannot be passed to the ODBC driver manager."));
    if (text.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive) ||
        text.contains(QLatin1String("SERVER="), Qt::CaseInsensitive))
        return text;
    static const QLatin1String prefix("DSN=");
    if (!text.startsWith(prefix, Qt::CaseInsensitive))
        raiseError(ErrNum::DataSourceOpen,
                   QStringLiteral("The ODBC connection text names no data source."));
    return text.mid(prefix.size());
}

// SQLITE_BUSY and SQLITE_LOCKED, also as the low byte of an extended code.
bool isBusy(const QSqlError& e) {
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok) & 0xff;
    return ok && (code == 5 || code == 6);
}

[[noreturn]] void raiseFailure(long number, const QString& text, bool busy) {
    if (busy)
        throw DbBusyError(number, text);
    raiseError(number, text);
}

} // namespace

bool isPlainSqlName(const QString& name) {
    static const QString part =
        QStringLiteral(R"((?:[\p{L}_][\p{L}\p{N}_$]*|"[^"\\]+"|\[[^\]\\]+\]|`[^`\\]+`))");
    static const QRegularExpression plain(QStringLiteral(R"(\A)") + part +
                                          QStringLiteral(R"((?:\.)") + part +
                                          QStringLiteral(R"(){0,2}\z)"));
    return plain.match(name).hasMatch();
}

void DbSession::setObserver(Observer o) {
    observer() = std::move(o);
}

void DbSession::runWithin(int waitMs, const QString& source, std::function<void()> work) {
    auto job = std::make_shared<Job>();
    std::thread([job, work = std::move(work)] {
        tJob = job.get();
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        tJob = nullptr;
        const std::lock_guard guard(job->lock);
        job->error = error;
        job->done = true;
        job->finished.notify_all();
    }).detach();
    std::unique_lock lock(job->lock);
    const bool done =
        job->finished.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return job->done; });
    job->givenUp = !done;
    const auto notes = std::exchange(job->notes, {});
    const bool sent = job->sent;
    const std::exception_ptr error = job->error;
    lock.unlock();
    for (const auto& [what, text] : notes)
        if (observer())
            observer()(what, text);
    if (!done)
        throw DbTimeoutError(
            QStringLiteral("The data source \"%1\" did not answer within %2 seconds.")
                .arg(source, QString::number(waitMs / 1000.0)),
            waitMs, sent);
    if (error)
        std::rethrow_exception(error);
}

DbSession::DbSession(Kind kind, const QString& connectionText, int waitMs) {
    static std::atomic<quint64> counter = 0; // sessions open on several threads
    const QString name = QStringLiteral("tamrivo-db-%1").arg(++counter);
    const QString driver = kind == Kind::Odbc ? QStringLiteral("QODBC") : QStringLiteral("QSQLITE");
    const QString dbName = kind == Kind::Odbc ? odbcDatabaseName(connectionText) : connectionText;
    notify("open", connectionText);
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
        if (!db.isValid()) {
            failure = QStringLiteral("The database driver %1 is not available.").arg(driver);
        } else {
            if (kind == Kind::Sqlite)
                db.setConnectOptions(
                    QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(waitMs));
            else
                db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1")
                                         .arg(std::max(1, (waitMs + 999) / 1000)));
            db.setDatabaseName(dbName);
            db.setNumericalPrecisionPolicy(QSql::HighPrecision);
            if (!db.open())
                failure =
                    driverMessage(db.lastError(), QStringLiteral("Cannot open the data source."));
        }
    }
    if (!failure.isNull()) {
        QSqlDatabase::removeDatabase(name);
        raiseError(ErrNum::DataSourceOpen, failure);
    }
    m_name = name;
}

DbSession::~DbSession() {
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

Recordset DbSession::openRecordset(const QString& sql) {
    notify("exec", sql);
    QString failure;
    bool busy = false;
    QStringList names;
    QList<QList<QVariant>> rows;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.setNumericalPrecisionPolicy(QSql::HighPrecision);
        if (!q.exec(sql)) {
            failure = driverMessage(q.lastError(), QStringLiteral("The query failed."));
            busy = isBusy(q.lastError());
        } else {
            const QSqlRecord rec = q.record();
            const int n = rec.count();
            for (int i = 0; i < n; ++i)
                names.append(rec.fieldName(i));
            while (q.next()) {
                QList<QVariant> row;
                row.reserve(n);
                for (int i = 0; i < n; ++i)
                    row.append(q.isNull(i) ? QVariant() : q.value(i));
                rows.append(std::move(row));
            }
            if (q.lastError().isValid()) {
                failure =
                    driverMessage(q.lastError(), QStringLiteral("Reading the result failed."));
                busy = isBusy(q.lastError());
            }
        }
        q.finish();
    }
    if (!failure.isNull())
        raiseFailure(ErrNum::DataAccess, failure, busy);
    return Recordset(std::move(names), std::move(rows));
}

int DbSession::execute(const QString& sql) {
    notify("exec", sql, true);
    QString failure;
    bool busy = false;
    int changed = -1;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(sql)) {
            failure = driverMessage(q.lastError(), QStringLiteral("The statement failed."));
            busy = isBusy(q.lastError());
        }
        changed = q.numRowsAffected();
        q.finish();
    }
    if (!failure.isNull())
        raiseFailure(ErrNum::DataAccess, failure, busy);
    return changed;
}

QChar DbSession::identifierQuote() const {
    const QString quoted = QSqlDatabase::database(m_name, false)
                               .driver()
                               ->escapeIdentifier(QStringLiteral("x"), QSqlDriver::TableName);
    return quoted.size() == 3 ? quoted.front() : QChar(u' ');
}

QStringList DbSession::tableFields(const QString& table) {
    // The name goes into SQL text as it is: anything but a plain name could
    // carry a statement of its own.
    if (!isPlainSqlName(table))
        raiseError(
            ErrNum::DataAccess,
            QStringLiteral("The table or query name \"%1\" is not a plain SQL name.").arg(table));
    const Recordset rs =
        openRecordset(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE 1=0"));
    if (rs.fieldCount() == 0)
        raiseError(ErrNum::DataAccess,
                   QStringLiteral("The table or query \"%1\" has no columns.").arg(table));
    return rs.fieldNames();
}
