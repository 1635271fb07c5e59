// The built program with the simulated line chosen in its settings, driven
// from outside through tamrivo-simline as a person would.

#include "common/testenv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

constexpr int StartTimeoutMs = 20000;

} // namespace

class TestTelephonyE2E : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void offeredCallReachesTheProgram();
    void lineIsQuietWithTelephonyOff();

private:
    // Runs tamrivo-simline with args; answers its output without the line end.
    QString simline(const QStringList& args, int* exitCode = nullptr);
    // Waits until the line's status satisfies pred (or the time is up).
    QString waitForStatus(const std::function<bool(const QString&)>& pred, int timeoutMs);
    void startProgram(const QString& prefs);

    std::unique_ptr<TestEnv> m_env;
    QProcessEnvironment m_procEnv;
    QProcess m_program;
};

void TestTelephonyE2E::init() {
    m_env = std::make_unique<TestEnv>();
    m_procEnv = QProcessEnvironment::systemEnvironment();
    m_procEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_procEnv.insert(QStringLiteral("TAMRIVO_PROMPTS"), QStringLiteral("stderr"));
    m_procEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), m_env->file(QStringLiteral("config")));
    m_procEnv.insert(QStringLiteral("XDG_DATA_HOME"), m_env->file(QStringLiteral("data")));
    m_procEnv.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_env->file(QStringLiteral("runtime")));
    // The default place of the control socket: $XDG_RUNTIME_DIR/tamrivo-simline.
    m_procEnv.remove(QStringLiteral("TAMRIVO_SIMLINE_SOCKET"));
}

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

void TestTelephonyE2E::startProgram(const QString& prefs) {
    QDir().mkpath(QFileInfo(m_env->settingsPath()).absolutePath());
    QFile ini(m_env->settingsPath());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(prefs.toUtf8());
    ini.close();
    m_program.setProcessEnvironment(m_procEnv);
    m_program.setProgram(buildDir() + QStringLiteral("/tamrivo"));
    m_program.start();
    QVERIFY2(m_program.waitForStarted(10000), qPrintable(m_program.errorString()));
}

QString TestTelephonyE2E::simline(const QStringList& args, int* exitCode) {
    QProcess p;
    p.setProcessEnvironment(m_procEnv);
    p.start(buildDir() + QStringLiteral("/tamrivo-simline"), args);
    if (!p.waitForFinished(10000))
        return QStringLiteral("<timeout>");
    if (exitCode)
        *exitCode = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString TestTelephonyE2E::waitForStatus(const std::function<bool(const QString&)>& pred,
                                        int timeoutMs) {
    QElapsedTimer t;
    t.start();
    QString last;
    while (t.elapsed() < timeoutMs) {
        last = simline({QStringLiteral("status")});
        if (pred(last))
            return last;
        if (m_program.state() == QProcess::NotRunning)
            break;
        QTest::qWait(100);
    }
    return last;
}

void TestTelephonyE2E::offeredCallReachesTheProgram() {
    startProgram(QStringLiteral("[prefs]\nuseTAPI=1\nTAPIDevice=Simulated Line\n"
                                "showTipsAtStartup=0\nmultipleCall=1\n"));
    const QString ready = waitForStatus(
        [](const QString& s) { return s.contains(QLatin1String("registered=1")); }, StartTimeoutMs);
    QVERIFY2(ready == QStringLiteral("OK registered=1 call=none number= answered=0 dialled="),
             qPrintable(ready + u'\n' + QString::fromLocal8Bit(m_program.readAllStandardError())));

    int code = -1;
    QCOMPARE(simline({QStringLiteral("ring")}, &code), QStringLiteral("OK"));
    QCOMPARE(code, 0);
    QCOMPARE(simline({QStringLiteral("offer"), QStringLiteral("5551234")}, &code),
             QStringLiteral("OK call=1"));
    QCOMPARE(simline({QStringLiteral("status")}),
             QStringLiteral("OK registered=1 call=offering number=5551234 answered=0 dialled="));
    QCOMPARE(simline({QStringLiteral("callerid"), QStringLiteral("5559999")}),
             QStringLiteral("OK"));
    // A second caller while the first rings: the program tells the user.
    QCOMPARE(simline({QStringLiteral("offer"), QStringLiteral("222")}),
             QStringLiteral("OK call=2"));
    QCOMPARE(simline({QStringLiteral("hangup")}), QStringLiteral("OK"));
    QCOMPARE(simline({QStringLiteral("hangup")}), QStringLiteral("OK"));
    QCOMPARE(simline({QStringLiteral("status")}),
             QStringLiteral("OK registered=1 call=disconnected number=222 answered=0 dialled="));
    QCOMPARE(simline({QStringLiteral("dial"), QStringLiteral("1")}, &code),
             QStringLiteral("ERR unknown command"));
    QCOMPARE(code, 1);

    QElapsedTimer t;
    t.start();
    QByteArray err;
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
    startProgram(QStringLiteral("[prefs]\nuseTAPI=0\nTAPIDevice=Simulated Line\n"
                                "showTipsAtStartup=0\n"));
    // Give the program time to come up, then nothing listens.
    QTest::qWait(3000);
    QCOMPARE(m_program.state(), QProcess::Running);
    int code = -1;
    simline({QStringLiteral("status")}, &code);
    QCOMPARE(code, 2);
}

QTEST_MAIN(TestTelephonyE2E)
#include "tst_telephony_e2e.moc"
