#pragma once

#include <QString>
#include <memory>

class QLockFile;

// Tells whether another instance of the program runs for this user. The lock
// lives in the user's runtime folder and is held for as long as the object
// lives; a lock left behind by a killed instance does not count.
class InstanceLock {
public:
    InstanceLock();
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock; false when another live instance holds it.
    bool tryAcquire();
    bool isHeld() const;
    void release();

    // $XDG_RUNTIME_DIR/tamrivo.lock (a private temporary folder when unset).
    static QString lockPath();

private:
    std::unique_ptr<QLockFile> m_lock;
};
