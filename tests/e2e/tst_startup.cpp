// The built program as a process: single instance, stale lock, the error
// switch, a bad setting, a kill during saves, and a termination request.

#include "common/testenv.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// The built program, copied into a private folder so that its error log (kept
// beside the program) is private too, with its own settings and runtime
// folders. The save loop is on: its first save tells that the program is up.
class Sandbox {
public:
    Sandbox() {
        for (const char* sub : {"bin", "config/Tamrivo", "data", "runtime"})
            QDir(m_dir.path()).mkpath(QString::fromLatin1(sub));
        QFile::setPermissions(m_dir.filePath(u"runtime"_s), QFileDevice::ReadOwner |
                                  QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile::copy(buildDir() + u"/tamrivo"_s, m_dir.filePath(u"bin/tamrivo"_s));
        m_env = QProcessEnvironment::systemEnvironment();
        const QString vars = u"QT_QPA_PLATFORM=offscreen TAMRIVO_PROMPTS=stderr LC_ALL=C "
                             "LANGUAGE=en TAMRIVO_TEST_SAVE_LOOP=1 XDG_CONFIG_HOME=%1/config "
                             "XDG_DATA_HOME=%1/data XDG_RUNTIME_DIR=%1/runtime"_s.arg(m_dir.path());
        for (const QString& kv : vars.split(u' '))
            m_env.insert(kv.section(u'=', 0, 0), kv.section(u'=', 1));
    }
    QString logPath() const { return m_dir.filePath(u"bin/Tamrivo.Err"_s); }
    void writeSettings(const QByteArray& text) const {
        QFile f(m_dir.filePath(u"config/Tamrivo/Tamrivo.ini"_s));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
    }
    QByteArray settings() const {
        QFile f(m_dir.filePath(u"config/Tamrivo/Tamrivo.ini"_s));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    std::unique_ptr<QProcess> start(const QStringList& args = {}) const {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(m_env);
        p->setReadChannel(QProcess::StandardError);
        p->start(m_dir.filePath(u"bin/tamrivo"_s), args);
        p->waitForStarted(5000);
        return p;
    }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
};

// Waits for the program's word that it is up and living on its events; what
// it said on standard error meanwhile goes to said.
bool waitUntilStarted(QProcess& p, QString& said) {
    while (!said.contains(u"saving settings in a loop"_s) && p.state() == QProcess::Running &&
           p.waitForReadyRead(10000))
        said += QString::fromLocal8Bit(p.readAllStandardError());
    return said.contains(u"saving settings in a loop"_s);
}

QString errText(QProcess& p) {
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardError());
}

} // namespace

class TstStartupE2E : public QObject {
    Q_OBJECT
private slots:
    void secondStartIsRefused() {
        Sandbox box;
        box.writeSettings("[prefs]\nshowTipsAtStartup=0\n");
        QString said;
        auto first = box.start();
        QVERIFY(waitUntilStarted(*first, said));
        auto second = box.start();
        said = errText(*second);
        QVERIFY2(said.contains(u"PROMPT Already Running: The program is already running"_s) &&
                     second->exitCode() == 0, qPrintable(said));
        QCOMPARE(first->state(), QProcess::Running); // the first goes on, untold
        // Killed, it leaves a stale lock that does not stop the next start.
        first->kill();
        QVERIFY(first->waitForFinished(5000));
        QVERIFY(!QString::fromLocal8Bit(first->readAllStandardError()).contains(u"PROMPT"_s));
        said.clear();
        auto third = box.start();
        QVERIFY2(waitUntilStarted(*third, said) && !said.contains(u"PROMPT"_s), qPrintable(said));
        third->kill();
        third->waitForFinished(5000);
    }

    // A termination request closes the program the orderly way: no question
    // (even with the policy "ask"), the window rectangle saved, status 0.
    void terminationClosesWithoutAsking() {
        Sandbox box;
        box.writeSettings("[prefs]\nshowTipsAtStartup=0\nonClose=2\n");
        QString said;
        auto p = box.start();
        QVERIFY(waitUntilStarted(*p, said));
        ::kill(pid_t(p->processId()), SIGTERM);
        said = errText(*p);
        QVERIFY(p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0);
        QVERIFY(!said.contains(u"PROMPT"_s));
        QVERIFY2(box.settings().contains("[Settings]") && box.settings().contains("MainWidth="),
                 box.settings().constData());
    }

    // A bad stored value ends the start with status 1 and a message, and
    // leaves the file alone; only the exact single argument "EXTERR" logs it.
    void corruptSettingExitsWithStatus1() {
        const QByteArray onClose = "[prefs]\nonClose=sometimes\n";
        const char* why = "13 The setting onClose of section prefs holds 'sometimes': it is not a number.";
        const std::tuple<QByteArray, const char*, QStringList> rows[] = {
            {"[plugins]\nenabled=1\nnumber=1\nremotePort0=x\n", "13 The setting remotePort0 of section plugins", {}},
            {"[prefs]\rk=caf\xE9\r", "3051 The settings file", {}},
            {"[Settings]\nMainLeft=abc\n", "13 The setting MainLeft of section Settings holds 'abc'", {}},
            {onClose, why, {"EXTERR"}}, {onClose, why, {"exterr"}}, {onClose, why, {"EXTERR", "more"}},
            {onClose, why, {"EXTERR", "-style", "Fusion"}}}; // the toolkit's option counts
        for (const auto& [settings, message, args] : rows) {
            Sandbox box;
            box.writeSettings(settings);
            auto p = box.start(args);
            const QString said = errText(*p);
            QVERIFY2(p->exitStatus() == QProcess::NormalExit && p->exitCode() == 1, qPrintable(said));
            QVERIFY2(said.contains(u"PROMPT Tamrivo Error: "_s + QLatin1String(message)), qPrintable(said));
            QCOMPARE(box.settings(), settings);
            const bool logged = args == QStringList{u"EXTERR"_s};
            QVERIFY2(QFile::exists(box.logPath()) == logged, qPrintable(args.join(u' ')));
            QFile log(box.logPath());
            const QByteArray text = logged && log.open(QIODevice::ReadOnly) ? log.readAll() : "";
            QVERIFY2(!logged || text.endsWith(" dontknow " + QByteArray(why) + "\"\r\n"), text.constData());
        }
    }

    // Killed at random moments among its saves, the program leaves the old
    // file or the new one, never a mix (both are the same here).
    void killingWhileSavingLeavesAWholeFile() {
        Sandbox box;
        QByteArray big = "[prefs]\nshowTipsAtStartup=0\n[dbab]\nnumber=400\n";
        for (int i = 0; i < 400; ++i)
            big += "AddressBookName" + QByteArray::number(i) + "=\"Book = ; # \\\\ \\n" +
                   QByteArray::number(i) + "\"\n";
        box.writeSettings(big);
        QByteArray original;
        for (int round = 0; round < 10; ++round) {
            QString said;
            auto p = box.start();
            QVERIFY2(waitUntilStarted(*p, said) && !said.contains(u"PROMPT"_s), qPrintable(said));
            QTest::qWait(int(QRandomGenerator::global()->bounded(60))); // the moment to kill
            QCOMPARE(p->state(), QProcess::Running);
            p->kill(); // SIGKILL
            QVERIFY(p->waitForFinished(5000) && p->exitStatus() == QProcess::CrashExit);
            if (original.isEmpty()) // the program's own form of the file, saved whole
                original = box.settings();
            QVERIFY(original.size() > 100000);
            QCOMPARE(box.settings(), original);
        }
    }
};

QTEST_GUILESS_MAIN(TstStartupE2E)
#include "tst_startup.moc"
