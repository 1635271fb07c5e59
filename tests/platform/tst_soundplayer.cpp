// The sound layer: plays in the background, never waits, a missing or
// unreadable file plays nothing and nothing is reported.

#include "common/testenv.h"
#include "platform/prompter.h"
#include "platform/soundplayer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtEndian>
#include <QtTest>

namespace {

// One second of silence as 8 kHz mono 16-bit PCM.
QByteArray silentWav() {
    const quint32 samples = 8000;
    const quint32 dataSize = samples * 2;
    QByteArray w;
    auto u32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        w.append(b, 4);
    };
    auto u16 = [&](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        w.append(b, 2);
    };
    w.append("RIFF");
    u32(36 + dataSize);
    w.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    w.append("data");
    u32(dataSize);
    w.append(QByteArray(dataSize, '\0'));
    return w;
}

} // namespace

class TestSoundPlayer : public QObject {
    Q_OBJECT
private slots:
    void playReturnsAtOnce_data();
    void playReturnsAtOnce();
};

void TestSoundPlayer::playReturnsAtOnce_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("real file") << "wav";
    QTest::newRow("missing file") << "missing";
    QTest::newRow("not a sound") << "text";
    QTest::newRow("folder") << "folder";
    QTest::newRow("empty name") << "empty";
}

void TestSoundPlayer::playReturnsAtOnce() {
    QFETCH(QString, kind);
    TestEnv env;
    SoundPlayer::setRecording(false);
    QString path;
    if (kind == u"wav" || kind == u"text") {
        path = env.file(QStringLiteral("ring.wav"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kind == u"wav" ? silentWav() : QByteArray("not a sound"));
    } else if (kind == u"missing") {
        path = env.file(QStringLiteral("gone.wav"));
    } else if (kind == u"folder") {
        path = env.path();
    }
    QElapsedTimer t;
    t.start();
    SoundPlayer::play(path);
    SoundPlayer::play(path); // a second play replaces the first
    QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));
    QTest::qWait(100);
    QVERIFY(Prompter::records().isEmpty());
}

QTEST_MAIN(TestSoundPlayer)
#include "tst_soundplayer.moc"
