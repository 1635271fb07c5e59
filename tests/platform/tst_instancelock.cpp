#include "common/testenv.h"
#include "platform/instancelock.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Writes a lock file as another instance (or a crash) may have left it.
void leaveLockFile(const QByteArray& contents, int ageSeconds) {
    QFile f(InstanceLock::lockPath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(contents);
    f.flush();
    if (ageSeconds > 0)
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                              QFileDevice::FileModificationTime));
}

// A process id that no process has any more.
QByteArray deadPid() {
    QProcess p;
    p.start(u"true"_s, {});
    p.waitForStarted(5000);
    const qint64 pid = p.processId();
    p.waitForFinished(5000);
    return QByteArray::number(pid);
}

} // namespace

class TstInstanceLock : public QObject {
    Q_OBJECT
private slots:
    // What a start finds in the runtime folder.
    void leftOverLockFile_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<bool>("acquired");
        QTest::newRow("none") << QByteArray() << -1 << true;
        QTest::newRow("owner killed")
            << QByteArray(deadPid() + "\ntamrivo\n" + QSysInfo::machineHostName().toUtf8() + '\n' +
                          QSysInfo::machineUniqueId() + '\n' + QSysInfo::bootUniqueId() + '\n')
            << 0 << true;
        // Killed between creating the file and writing its contents.
        QTest::newRow("empty, old") << QByteArray() << 60 << true;
        QTest::newRow("garbage, old") << QByteArray("\x01\x02 not a lock\n") << 60 << true;
        // A starting instance is writing it right now.
        QTest::newRow("empty, fresh") << QByteArray() << 0 << false;
    }
    void leftOverLockFile() {
        QFETCH(QByteArray, contents);
        QFETCH(int, ageSeconds);
        QFETCH(bool, acquired);
        TestEnv env;
        if (ageSeconds >= 0)
            leaveLockFile(contents, ageSeconds);
        InstanceLock lock;
        QCOMPARE(lock.tryAcquire(), acquired);
        if (acquired) {
            // And it is ours now: the next one is refused until it is released.
            InstanceLock next;
            QVERIFY(!next.tryAcquire());
            lock.release();
            QVERIFY(next.tryAcquire());
        }
    }
};

QTEST_GUILESS_MAIN(TstInstanceLock)
#include "tst_instancelock.moc"
