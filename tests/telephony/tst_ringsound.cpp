// The ring timer: first tick one second after the first ring, then the
// matched book's sound and interval, or the default ones.

#include "callfixture.h"

#include <QTimer>
#include <QtTest>

class TestRingSound : public QObject {
    Q_OBJECT
private slots:
    void init() {
        f = std::make_unique<CallFixture>();
        gPreferences->incomingPlaySound = true;
        gPreferences->defaultSound = QStringLiteral("/snd/default.wav");
    }
    void cleanup() { f.reset(); }
    void tick_data();
    void tick();
    void firstTickAfterOneSecond();
    void connectAndDisconnectStopIt();

private:
    std::unique_ptr<CallFixture> f;
};

void TestRingSound::tick_data() {
    QTest::addColumn<bool>("playSound");
    QTest::addColumn<QString>("defaultSound");
    QTest::addColumn<int>("defaultInterval");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QStringList>("played");
    QTest::addColumn<int>("interval");

    const QString def = QStringLiteral("/snd/default.wav");
    QTest::newRow("unmatched: default") << true << def << 2 << "" << QStringList{def} << 2000;
    QTest::newRow("local book sound")
        << true << def << 2 << "0|O|0" << QStringList{"/snd/local.wav"} << 15000;
    QTest::newRow("database book sound at a grouping level")
        << true << def << 2 << "2|D|0" << QStringList{"/snd/db.wav"} << 3000;
    QTest::newRow("book without sound: default")
        << true << def << 4 << "0|O|1" << QStringList{def} << 4000;
    QTest::newRow("recent-call tag: default")
        << true << def << 2 << "0|R|0" << QStringList{def} << 2000;
    QTest::newRow("LDAP tag: default") << true << def << 2 << "0|L|0" << QStringList{def} << 2000;
    QTest::newRow("book removed since: default")
        << true << def << 2 << "0|O|7" << QStringList{def} << 2000;
    QTest::newRow("bad index: default") << true << def << 2 << "0|O|x" << QStringList{def} << 2000;
    QTest::newRow("sound off") << false << def << 2 << "0|O|0" << QStringList{} << 1000;
    QTest::newRow("no default sound") << true << "" << 2 << "" << QStringList{} << 1000;
    QTest::newRow("no default sound, book sound")
        << true << "" << 2 << "0|O|0" << QStringList{"/snd/local.wav"} << 15000;
    QTest::newRow("interval zero: one second")
        << true << def << 0 << "" << QStringList{def} << 1000;
    QTest::newRow("longest interval") << true << def << 32767 << "" << QStringList{def} << 32767000;
}

void TestRingSound::tick() {
    QFETCH(bool, playSound);
    QFETCH(QString, defaultSound);
    QFETCH(int, defaultInterval);
    QFETCH(QString, tag);
    QFETCH(QStringList, played);
    QFETCH(int, interval);
    gPreferences->incomingPlaySound = playSound;
    gPreferences->defaultSound = defaultSound;
    gPreferences->ringTimerInterval = static_cast<std::int16_t>(defaultInterval);
    gLocalBooks = {std::make_shared<LocalAddressBook>(), std::make_shared<LocalAddressBook>()};
    gLocalBooks[0]->ringSound = QStringLiteral("/snd/local.wav");
    gLocalBooks[0]->ringSoundInterval = 15;
    gLocalBooks[1]->ringSoundInterval = 9; // no sound of its own
    gDBBooks = {std::make_shared<DatabaseAddressBook>()};
    gDBBooks[0]->ringSound = QStringLiteral("/snd/db.wav");
    gDBBooks[0]->ringSoundInterval = 3;
    noLocalBooks = noDBBooks = false;
    f->start();
    f->step("ring");
    QTimer* t = f->handler()->ringTimer();
    QCOMPARE(t->interval(), 1000);
    gCallRecord.callMatchTag = tag;
    f->handler()->ringTimer_Timer();
    QCOMPARE(SoundPlayer::played(), played);
    QCOMPARE(t->interval(), interval);
    QVERIFY(t->isActive());
    // The second tick plays again with the same choice.
    f->handler()->ringTimer_Timer();
    QCOMPARE(SoundPlayer::played().size(), played.size() * 2);
}

void TestRingSound::firstTickAfterOneSecond() {
    gPreferences->ringTimerInterval = 3;
    f->start();
    f->handler()->ringTimer()->setInterval(3000); // as the main window's load leaves it
    QElapsedTimer clock;
    clock.start();
    f->step("ring");
    f->step("offer:5");
    f->step("ring"); // a ring while it runs does not restart it
    QTRY_COMPARE_WITH_TIMEOUT(SoundPlayer::played().size(), 1, 3000);
    QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(f->handler()->ringTimer()->interval(), 3000);
}

void TestRingSound::connectAndDisconnectStopIt() {
    f->start();
    f->step("ring");
    f->step("offer:5");
    QVERIFY(f->handler()->ringTimer()->isActive());
    f->step("answer");
    QVERIFY(!f->handler()->ringTimer()->isActive());
    f->step("ring");
    QVERIFY(f->handler()->ringTimer()->isActive());
    f->step("hangup");
    QVERIFY(!f->handler()->ringTimer()->isActive());
    f->handler()->ringTimer_Timer(); // a tick after the stop plays nothing
    QVERIFY(SoundPlayer::played().isEmpty());
}

QTEST_MAIN(TestRingSound)
#include "tst_ringsound.moc"
