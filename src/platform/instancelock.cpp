#include "platform/instancelock.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <unistd.h>

namespace {
// A starting instance writes its lock's contents right after creating it; a
// lock that still says nothing about its owner after this long was left by
// an instance killed in between.
constexpr qint64 kUnreadableLockGraceMs = 5000;

bool isUnreadableAndOld(QLockFile& lock, const QString& path) {
    qint64 pid = 0;
    QString host;
    QString app;
    if (lock.getLockInfo(&pid, &host, &app))
        return false;
    const QFileInfo info(path);
    return info.exists() &&
           qAbs(info.lastModified().msecsTo(QDateTime::currentDateTime())) > kUnreadableLockGraceMs;
}

// Removes a lock nobody can own, once: two instances starting together must
// not both remove and both take it.
bool removeUnreadableLock(QLockFile& lock, const QString& path) {
    QLockFile removal(path + QStringLiteral(".rmlock"));
    removal.setStaleLockTime(0);
    if (!removal.tryLock(0))
        return false;
    return isUnreadableAndOld(lock, path) && lock.removeStaleLockFile();
}
} // namespace

InstanceLock::InstanceLock() = default;

InstanceLock::~InstanceLock() {
    release();
}

QString InstanceLock::lockPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    // Without a runtime folder the shared temporary folder is used, with the
    // user in the name so that another user's instance does not count.
    if (dir.isEmpty())
        return QDir(QDir::tempPath()).filePath(QStringLiteral("tamrivo-%1.lock").arg(::getuid()));
    return QDir(dir).filePath(QStringLiteral("tamrivo.lock"));
}

bool InstanceLock::tryAcquire() {
    if (isHeld())
        return true;
    const QString path = lockPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto lock = std::make_unique<QLockFile>(path);
    // A lock whose owner process is gone is stale at once; a live owner's
    // lock never is, however old.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError || !isUnreadableAndOld(*lock, path) ||
            !removeUnreadableLock(*lock, path) || !lock->tryLock(0))
            return false;
    }
    m_lock = std::move(lock);
    return true;
}

bool InstanceLock::isHeld() const {
    return m_lock && m_lock->isLocked();
}

void InstanceLock::release() {
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
}
