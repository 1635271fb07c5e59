// The built program with the simulated line chosen in its settings, driven
// from outside through tamrivo-simline as a person would.

#include "common/testenv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

class TestTelephonyE2E : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void offeredCallReachesTheProgram();
    void lineIsQuietWithTelephonyOff();

private:
    void startProgram(const QByteArray& prefs);
    // Runs tamrivo-simline; answers its output without the line end.
    QString simline(const QString& args, int* exitCode = nullptr);

    std::unique_ptr<TestEnv> m_env;
    QProcessEnvironment m_procEnv;
    QProcess m_program;
};

void TestTelephonyE2E::cleanup() {
    if (m_program.state() != QProcess::NotRunning) {
        m_program.terminate();
        if (!m_program.waitForFinished(5000)) {
            m_program.kill();
            m_program.waitForFinished(5000);
        }
    }
    m_env.reset();
}

void TestTelephonyE2E::startProgram(const QByteArray& prefs) {
    m_env = std::make_unique<TestEnv>();
    m_procEnv = QProcessEnvironment::systemEnvironment();
    m_procEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_procEnv.insert(QStringLiteral("TAMRIVO_PROMPTS"), QStringLiteral("stderr"));
    m_procEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), m_env->file(QStringLiteral("config")));
    m_procEnv.insert(QStringLiteral("XDG_DATA_HOME"), m_env->file(QStringLiteral("data")));
    // The control socket in its default place: $XDG_RUNTIME_DIR/tamrivo-simline.
    m_procEnv.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_env->file(QStringLiteral("runtime")));
    m_procEnv.remove(QStringLiteral("TAMRIVO_SIMLINE_SOCKET"));
    QDir().mkpath(QFileInfo(m_env->settingsPath()).absolutePath());
    QFile ini(m_env->settingsPath());
    QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write("[prefs]\nshowTipsAtStartup=0\n" + prefs));
    ini.close();
    m_program.setProcessEnvironment(m_procEnv);
    m_program.start(buildDir() + QStringLiteral("/tamrivo"));
    QVERIFY2(m_program.waitForStarted(10000), qPrintable(m_program.errorString()));
}

QString TestTelephonyE2E::simline(const QString& args, int* exitCode) {
    QProcess p;
    p.setProcessEnvironment(m_procEnv);
    p.start(buildDir() + QStringLiteral("/tamrivo-simline"), args.split(u' '));
    if (!p.waitForFinished(10000))
        return QStringLiteral("<timeout>");
    if (exitCode)
        *exitCode = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void TestTelephonyE2E::offeredCallReachesTheProgram() {
    startProgram("useTAPI=1\nTAPIDevice=Simulated Line\nmultipleCall=1\n");
    QElapsedTimer t;
    t.start();
    QString ready;
    do {
        QTest::qWait(100);
        ready = simline(QStringLiteral("status"));
    } while (!ready.contains(u"registered=1") && m_program.state() == QProcess::Running &&
             t.elapsed() < 20000);
    QVERIFY2(ready == QStringLiteral("OK registered=1 call=none number= answered=0 dialled="),
             qPrintable(ready + u'\n' + QString::fromLocal8Bit(m_program.readAllStandardError())));
    int code = -1;
    QCOMPARE(simline(QStringLiteral("ring"), &code), QStringLiteral("OK"));
    QCOMPARE(code, 0);
    QCOMPARE(simline(QStringLiteral("offer 5551234")), QStringLiteral("OK call=1"));
    QCOMPARE(simline(QStringLiteral("status")),
             QStringLiteral("OK registered=1 call=offering number=5551234 answered=0 dialled="));
    QCOMPARE(simline(QStringLiteral("callerid 5559999")), QStringLiteral("OK"));
    // A second caller while the first rings: the program tells the user.
    QCOMPARE(simline(QStringLiteral("offer 222")), QStringLiteral("OK call=2"));
    QCOMPARE(simline(QStringLiteral("hangup")), QStringLiteral("OK"));
    QCOMPARE(simline(QStringLiteral("hangup")), QStringLiteral("OK"));
    QCOMPARE(simline(QStringLiteral("status")),
             QStringLiteral("OK registered=1 call=disconnected number=222 answered=0 dialled="));
    QCOMPARE(simline(QStringLiteral("dial 1"), &code), QStringLiteral("ERR unknown command"));
    QCOMPARE(code, 1);
    QByteArray err;
    t.restart();
    while (!err.contains("One call at a time") && t.elapsed() < 5000) {
        QTest::qWait(50);
        err += m_program.readAllStandardError();
    }
    QVERIFY2(err.contains("PROMPT One call at a time: Can work with only one call at a time"),
             err.constData());
    QVERIFY2(!err.contains("TAPI Device Error"), err.constData());
    QCOMPARE(m_program.state(), QProcess::Running);
}

void TestTelephonyE2E::lineIsQuietWithTelephonyOff() {
    startProgram("useTAPI=0\nTAPIDevice=Simulated Line\n");
    QTest::qWait(3000); // time to come up; then nothing listens
    QCOMPARE(m_program.state(), QProcess::Running);
    int code = -1;
    simline(QStringLiteral("status"), &code);
    QCOMPARE(code, 2);
}

QTEST_MAIN(TestTelephonyE2E)
#include "tst_telephony_e2e.moc"
