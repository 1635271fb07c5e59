#include "common/testenv.h"
#include "platform/termination.h"

#include <QSignalSpy>
#include <QTest>
#include <csignal>

class TstTermination : public QObject {
    Q_OBJECT
private slots:
    void signalReachesTheEventLoop_data() {
        QTest::addColumn<int>("sig");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void signalReachesTheEventLoop() {
        QFETCH(int, sig);
        TerminationWatcher watcher;
        QSignalSpy spy(&watcher, &TerminationWatcher::terminationRequested);
        ::raise(sig);
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.first().first().toInt(), sig);
    }

    // A burst of signals before the event loop reads any of them must not
    // block the signal handler (which runs on the only thread): the repeats
    // are dropped and one request still arrives.
    void aBurstOfSignalsDoesNotHang() {
        TerminationWatcher watcher;
        QSignalSpy spy(&watcher, &TerminationWatcher::terminationRequested);
        for (int i = 0; i < 200000; ++i)
            ::raise(SIGTERM);
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.first().first().toInt(), int(SIGTERM));
    }
};

QTEST_GUILESS_MAIN(TstTermination)
#include "tst_termination.moc"
