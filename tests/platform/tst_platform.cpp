// The platform layer: the single-instance lock, termination requests, the
// desktop's handlers for addresses, file-dialog filters and sounds.

#include "common/testenv.h"
#include "platform/filechooser.h"
#include "platform/instancelock.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "platform/soundplayer.h"
#include "platform/termination.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

class TstPlatform : public QObject {
    Q_OBJECT
private slots:
    // What a start finds in the runtime folder.
    void leftOverLockFile_data() {
        QTest::addColumn<QByteArray>("contents"); // null: no file
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<bool>("acquired");
        QProcess p; // a process id that no process has any more
        p.start(u"true"_s, {});
        p.waitForStarted(5000);
        const qint64 dead = p.processId();
        p.waitForFinished(5000);
        QTest::newRow("none") << QByteArray() << -1 << true;
        QTest::newRow("owner killed")
            << QByteArray::number(dead) + "\ntamrivo\n" + QSysInfo::machineHostName().toUtf8() +
                   '\n' + QSysInfo::machineUniqueId() + '\n' + QSysInfo::bootUniqueId() + '\n'
            << 0 << true;
        // Killed between creating the file and writing it; or being written now.
        QTest::newRow("empty, old") << QByteArray("") << 60 << true;
        QTest::newRow("garbage, old") << QByteArray("\x01\x02 not a lock\n") << 60 << true;
        QTest::newRow("empty, fresh") << QByteArray("") << 0 << false;
    }
    void leftOverLockFile() {
        QFETCH(QByteArray, contents);
        QFETCH(int, ageSeconds);
        QFETCH(bool, acquired);
        TestEnv env;
        if (ageSeconds >= 0) {
            QFile f(InstanceLock::lockPath());
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(contents) >= 0 && f.flush());
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                  QFileDevice::FileModificationTime));
        }
        InstanceLock lock;
        QCOMPARE(lock.tryAcquire(), acquired);
        if (acquired) { // ours now: the next one is refused until released
            InstanceLock next;
            QVERIFY(!next.tryAcquire());
            lock.release();
            QVERIFY(next.tryAcquire());
        }
    }

    // A burst of signals must not block the handler; one request arrives.
    void terminationReachesTheEventLoop_data() {
        QTest::addColumn<int>("sig");
        QTest::addColumn<int>("count");
        QTest::newRow("SIGINT") << int(SIGINT) << 1;
        QTest::newRow("SIGTERM burst") << int(SIGTERM) << 200000;
    }
    void terminationReachesTheEventLoop() {
        QFETCH(int, sig);
        QFETCH(int, count);
        TerminationWatcher watcher;
        QSignalSpy spy(&watcher, &TerminationWatcher::terminationRequested);
        for (int i = 0; i < count; ++i)
            ::raise(sig);
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.first().first().toInt(), sig);
    }

    // The address is the whole path: "?" or "&" in it add no headers.
    void mailtoKeepsTheAddress_data() {
        QTest::addColumn<QString>("address");
        for (const QString& a : {u"  anna @example.org "_s, u"a@b.c?subject=x&body=y"_s, u"100%#a@b.c"_s,
                                 u"jos\u00e9@b.c"_s, QString()})
            QTest::newRow(qPrintable(a)) << a;
    }
    void mailtoKeepsTheAddress() {
        QFETCH(QString, address);
        const QUrl url = Shell::mailto(address);
        QVERIFY(url.scheme() == u"mailto" && !url.hasQuery() && !url.hasFragment());
        QCOMPARE(QUrl(url.toString(QUrl::FullyEncoded)).path(QUrl::FullyDecoded), address);
    }

    // Nothing on this desktop opens anything: the user is told.
    void addressNobodyOpensIsTold() {
        TestEnv env;
        Shell::setRecording(false);
        QVERIFY(!Shell::open(QUrl(u"https://example.invalid/help"_s)));
        Shell::setRecording(true);
        QCOMPARE(Prompter::records().size(), 1);
        QCOMPARE(Prompter::records().first().text,
                 u"Nothing on this desktop can open https://example.invalid/help"_s);
    }

    void nameFilters_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("wav") << "Wav files (*.wav)|*.wav" << QStringList{"Wav files (*.wav)"};
        QTest::newRow("no pattern in the text")
            << "Local Address Book files|*.lab" << QStringList{"Local Address Book files (*.lab)"};
        QTest::newRow("two filters, several patterns, odd end")
            << "Sounds|*.wav;*.WAV|All files (*.*)|*.*|Other"
            << QStringList{"Sounds (*.wav *.WAV)", "All files (*.*)"};
    }
    void nameFilters() {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(FileChooser::nameFilters(filter), expected);
    }

    // A sound plays in the background; a bad file plays nothing, says nothing.
    void soundNeverWaits() {
        TestEnv env;
        QFile f(env.file(u"bad.wav"_s));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("not a sound") > 0);
        f.close();
        SoundPlayer::setRecording(false);
        QElapsedTimer t;
        t.start();
        for (const QString& p : {f.fileName(), env.file(u"gone.wav"_s), env.path(), QString()})
            SoundPlayer::play(p);
        QVERIFY(t.elapsed() < 500);
        QVERIFY(Prompter::records().isEmpty());
    }
};

QTEST_MAIN(TstPlatform)
#include "tst_platform.moc"
