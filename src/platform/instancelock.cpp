#include "platform/instancelock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

InstanceLock::InstanceLock() = default;

InstanceLock::~InstanceLock() {
    release();
}

QString InstanceLock::lockPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
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
    if (!lock->tryLock(0))
        return false;
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
