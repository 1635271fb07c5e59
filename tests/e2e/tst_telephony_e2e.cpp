// The built program with the simulated line chosen in its settings, driven
// from outside through tamrivo-simline as a person would.

#include "common/testenv.h"
#include "common/widgettest.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

class TestTelephonyE2E : public QObject {
    Q_OBJECT
private slots:
    void offeredCallReachesTheProgram();
    void cleanup() {
        m_program.terminate();
        if (!m_program.waitForFinished(5000))
            m_program.kill();
        m_program.waitForFinished(5000);
    }

private:
    // Runs tamrivo-simline; answers its output without the line end, and its
    // exit code after a blank.
    QString simline(const QString& args) {
        QProcess p;
        p.setProcessEnvironment(m_procEnv);
        p.start(buildDir() + QStringLiteral("/tamrivo-simline"), args.split(u' '));
        if (!p.waitForFinished(10000))
            return QStringLiteral("<timeout>");
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed() + u' ' +
               QString::number(p.exitCode());
    }

    TestEnv m_env;
    QProcessEnvironment m_procEnv = QProcessEnvironment::systemEnvironment();
    QProcess m_program;
};

void TestTelephonyE2E::offeredCallReachesTheProgram() {
    m_procEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_procEnv.insert(QStringLiteral("TAMRIVO_PROMPTS"), QStringLiteral("stderr"));
    m_procEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), m_env.file(QStringLiteral("config")));
    m_procEnv.insert(QStringLiteral("XDG_DATA_HOME"), m_env.file(QStringLiteral("data")));
    // The control socket in its default place: $XDG_RUNTIME_DIR/tamrivo-simline.
    m_procEnv.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_env.file(QStringLiteral("runtime")));
    m_procEnv.remove(QStringLiteral("TAMRIVO_SIMLINE_SOCKET"));
    QDir().mkpath(QFileInfo(m_env.settingsPath()).absolutePath());
    QFile ini(m_env.settingsPath());
    QVERIFY(ini.open(QIODevice::WriteOnly) &&
            ini.write("[prefs]\nshowTipsAtStartup=0\nuseTAPI=1\nTAPIDevice=Simulated Line\n"
                      "multipleCall=1\n"));
    ini.close();
    m_program.setProcessEnvironment(m_procEnv);
    m_program.start(buildDir() + QStringLiteral("/tamrivo"));
    QVERIFY2(m_program.waitForStarted(10000), qPrintable(m_program.errorString()));
    const QString idle = "OK registered=1 call=none number= answered=0 dialled= 0";
    QVERIFY2(waitUntil([&] { return simline(QStringLiteral("status")) == idle; }, 20000),
             qPrintable(QString::fromLocal8Bit(m_program.readAllStandardError())));
    QCOMPARE(simline(QStringLiteral("ring")), QStringLiteral("OK 0"));
    QCOMPARE(simline(QStringLiteral("offer 5551234")), QStringLiteral("OK call=1 0"));
    QCOMPARE(simline(QStringLiteral("callerid 5559999")), QStringLiteral("OK 0"));
    // A second caller while the first rings: the program tells the user.
    QCOMPARE(simline(QStringLiteral("offer 222")), QStringLiteral("OK call=2 0"));
    QCOMPARE(simline(QStringLiteral("status")),
             QStringLiteral("OK registered=1 call=offering number=222 answered=0 dialled= 0"));
    QCOMPARE(simline(QStringLiteral("hangup")), QStringLiteral("OK 0"));
    QCOMPARE(simline(QStringLiteral("hangup")), QStringLiteral("OK 0"));
    QCOMPARE(simline(QStringLiteral("hangup")), QStringLiteral("ERR no call 1"));
    QCOMPARE(simline(QStringLiteral("status")), idle);
    QByteArray err;
    QVERIFY(waitUntil([&] {
        err += m_program.readAllStandardError();
        return err.contains("One call at a time");
    }));
    QVERIFY2(err.contains("PROMPT One call at a time: Can work with only one call at a time"),
             err.constData());
    QVERIFY2(!err.contains("TAPI Device Error"), err.constData());
    QCOMPARE(m_program.state(), QProcess::Running);
}

QTEST_MAIN(TestTelephonyE2E)
#include "tst_telephony_e2e.moc"
