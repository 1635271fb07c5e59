#include "common/testenv.h"
#include "platform/termination.h"

#include <QSignalSpy>
#include <QTest>
#include <csignal>

class TstTermination : public QObject {
    Q_OBJECT
private slots:
    // A burst of signals before the event loop reads any of them must not
    // block the signal handler (which runs on the only thread): the repeats
    // are dropped and one request still arrives.
    void signalReachesTheEventLoop_data() {
        QTest::addColumn<int>("sig");
        QTest::addColumn<int>("count");
        QTest::newRow("SIGTERM") << int(SIGTERM) << 1;
        QTest::newRow("SIGINT") << int(SIGINT) << 1;
        QTest::newRow("burst") << int(SIGTERM) << 200000;
    }
    void signalReachesTheEventLoop() {
        QFETCH(int, sig);
        QFETCH(int, count);
        TerminationWatcher watcher;
        QSignalSpy spy(&watcher, &TerminationWatcher::terminationRequested);
        for (int i = 0; i < count; ++i)
            ::raise(sig);
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.first().first().toInt(), sig);
    }
};

QTEST_GUILESS_MAIN(TstTermination)
#include "tst_termination.moc"
