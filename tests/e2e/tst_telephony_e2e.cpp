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
};

void TestTelephonyE2E::offeredCallReachesTheProgram() {
    TestEnv env;
    QProcessEnvironment vars = QProcessEnvironment::systemEnvironment();
    // The control socket in its default place: $XDG_RUNTIME_DIR/tamrivo-simline.
    vars.insert(QStringLiteral("XDG_CONFIG_HOME"), env.file(QStringLiteral("config")));
    vars.insert(QStringLiteral("XDG_DATA_HOME"), env.file(QStringLiteral("data")));
    vars.insert(QStringLiteral("XDG_RUNTIME_DIR"), env.file(QStringLiteral("runtime")));
    vars.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    vars.insert(QStringLiteral("TAMRIVO_PROMPTS"), QStringLiteral("stderr"));
    vars.remove(QStringLiteral("TAMRIVO_SIMLINE_SOCKET"));
    QDir().mkpath(QFileInfo(env.settingsPath()).absolutePath());
    QFile ini(env.settingsPath());
    QVERIFY(ini.open(QIODevice::WriteOnly) &&
            ini.write("[prefs]\nshowTipsAtStartup=0\nuseTAPI=1\nTAPIDevice=Simulated Line\n"
                      "multipleCall=1\n"));
    ini.close();
    QProcess program;
    program.setProcessEnvironment(vars);
    program.start(buildDir() + QStringLiteral("/tamrivo"));
    // Each command's reply and exit code.
    auto simline = [&](const QString& args) {
        QProcess p;
        p.setProcessEnvironment(vars);
        p.start(buildDir() + QStringLiteral("/tamrivo-simline"), args.split(u' '));
        p.waitForFinished(10000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed() + u' ' +
               QString::number(p.exitCode());
    };
    const QString idle = "OK registered=1 call=none number= answered=0 dialled= 0";
    QVERIFY(waitUntil([&] { return simline(QStringLiteral("status")) == idle; }, 20000));
    for (const char* command :
         {"ring/OK 0", "offer 5551234/OK call=1 0", "callerid 5559999/OK 0",
          // A second caller while the first rings: the program tells the user.
          "offer 222/OK call=2 0",
          "status/OK registered=1 call=offering number=222 answered=0 dialled= 0", "hangup/OK 0",
          "hangup/OK 0", "hangup/ERR no call 1"})
        QCOMPARE(simline(QString::fromLatin1(command).section(u'/', 0, 0)),
                 QString::fromLatin1(command).section(u'/', 1));
    QCOMPARE(simline(QStringLiteral("status")), idle);
    QByteArray err;
    QVERIFY(waitUntil(
        [&] { return (err += program.readAllStandardError()).contains("One call at a time"); }));
    QVERIFY2(err.contains("PROMPT One call at a time: Can work with only one call at a time"),
             err.constData());
    QVERIFY2(!err.contains("TAPI Device Error"), err.constData());
    QCOMPARE(program.state(), QProcess::Running);
    program.terminate();
    QVERIFY(program.waitForFinished(10000));
}

QTEST_MAIN(TestTelephonyE2E)
#include "tst_telephony_e2e.moc"
