// The sound layer: plays in the background, never waits, a missing or
// unreadable file plays nothing and nothing is reported.

#include "common/testenv.h"
#include "platform/prompter.h"
#include "platform/soundplayer.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

namespace {

// One second of silence as 8 kHz mono 16-bit PCM.
QByteArray silentWav() {
    QByteArray w;
    QDataStream d(&w, QIODevice::WriteOnly);
    d.setByteOrder(QDataStream::LittleEndian);
    d.writeRawData("RIFF", 4);
    d << quint32(36 + 16000);
    d.writeRawData("WAVEfmt ", 8);
    d << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(16000) << quint16(2)
      << quint16(16);
    d.writeRawData("data", 4);
    d << quint32(16000);
    return w + QByteArray(16000, '\0');
}

} // namespace

class TestSoundPlayer : public QObject {
    Q_OBJECT
private slots:
    void playReturnsAtOnce_data();
    void playReturnsAtOnce();
};

void TestSoundPlayer::playReturnsAtOnce_data() {
    QTest::addColumn<QString>("name");       // in the test folder; "." the folder itself
    QTest::addColumn<QByteArray>("content"); // null: no such file
    QTest::newRow("real file") << "ring.wav" << silentWav();
    QTest::newRow("missing file") << "gone.wav" << QByteArray();
    QTest::newRow("not a sound") << "ring.wav" << QByteArray("not a sound");
    QTest::newRow("folder") << "." << QByteArray();
    QTest::newRow("empty name") << "" << QByteArray();
}

void TestSoundPlayer::playReturnsAtOnce() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    TestEnv env;
    SoundPlayer::setRecording(false);
    const QString path = name.isEmpty() ? QString() : env.file(name);
    QFile f(path);
    QVERIFY(content.isNull() || (f.open(QIODevice::WriteOnly) && f.write(content) > 0));
    f.close();
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
