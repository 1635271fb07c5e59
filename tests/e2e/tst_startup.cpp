#include "addressbooks/records.h"
#include "app/globals.h"
#include "app/pluginsettings.h"
#include "app/settings.h"
#include "common/testenv.h"
#include "platform/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// The built program, copied into a private folder so that its error log (kept
// beside the program) is private too, with its own settings and runtime folders.
class Sandbox {
public:
    Sandbox() {
        const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        for (const char* sub : {"bin", "config/Tamrivo", "data", "runtime"})
            QDir(m_dir.path()).mkpath(QString::fromLatin1(sub));
        QFile::setPermissions(m_dir.filePath(u"runtime"_s), owner);
        QFile::copy(buildDir() + u"/tamrivo"_s, program());
        QFile::setPermissions(program(), owner);
        m_env = QProcessEnvironment::systemEnvironment();
        const QString vars =
            u"QT_QPA_PLATFORM=offscreen TAMRIVO_PROMPTS=stderr LC_ALL=C LANGUAGE=en "
            "TAMRIVO_TEST_SAVE_LOOP=1 "
            "XDG_CONFIG_HOME=%1/config XDG_DATA_HOME=%1/data "
            "XDG_RUNTIME_DIR=%1/runtime"_s.arg(m_dir.path());
        for (const QString& kv : vars.split(u' '))
            m_env.insert(kv.section(u'=', 0, 0), kv.section(u'=', 1));
    }
    QString program() const { return m_dir.filePath(u"bin/tamrivo"_s); }
    QString settingsPath() const { return m_dir.filePath(u"config/Tamrivo/Tamrivo.ini"_s); }
    QString logPath() const { return m_dir.filePath(u"bin/Tamrivo.Err"_s); }
    QProcessEnvironment& env() { return m_env; }

    void writeSettings(const QByteArray& text) const {
        QFile f(settingsPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray settingsBytes() const {
        QFile f(settingsPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    std::unique_ptr<QProcess> start(const QStringList& args = {}) const {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(m_env);
        p->setProgram(program());
        p->setArguments(args);
        p->setReadChannel(QProcess::StandardError);
        p->start();
        p->waitForStarted(5000);
        return p;
    }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
};

// Waits for the program's own word that it is up and living on its events:
// with the save loop on, its first save is announced on standard error.
bool waitUntilStarted(QProcess& p, QString* said = nullptr) {
    QString text;
    while (!text.contains(u"saving settings in a loop"_s) && p.state() == QProcess::Running &&
           p.waitForReadyRead(10000))
        text += QString::fromLocal8Bit(p.readAllStandardError());
    if (said)
        *said = text;
    return text.contains(u"saving settings in a loop"_s);
}

void stop(QProcess& p) {
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(5000);
    }
}

QString errText(QProcess& p) {
    return QString::fromLocal8Bit(p.readAllStandardError());
}

} // namespace

class TstStartupE2E : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(buildDir() + u"/tamrivo"_s), "build/tamrivo missing");
    }

    void secondStartIsRefused() {
        Sandbox box;
        box.writeSettings("[prefs]\nshowTipsAtStartup=0\n");
        auto first = box.start();
        QString said;
        QVERIFY(waitUntilStarted(*first, &said));
        auto second = box.start();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        said = errText(*second);
        QVERIFY2(said.contains(u"PROMPT Already Running: The program is already running"_s),
                 qPrintable(said));
        QCOMPARE(first->state(), QProcess::Running); // the first goes on, untold
        QVERIFY(!errText(*first).contains(u"PROMPT"_s));
        // Killed, it leaves a stale lock that does not stop the next start.
        stop(*first);
        auto third = box.start();
        QVERIFY(waitUntilStarted(*third, &said));
        QVERIFY2(!said.contains(u"PROMPT"_s), qPrintable(said));
        stop(*third);
    }

    // A termination request closes the program the orderly way: no question
    // (even with the policy "ask"), the window rectangle saved, status 0.
    void terminationClosesWithoutAsking() {
        Sandbox box;
        box.writeSettings("[prefs]\nshowTipsAtStartup=0\nonClose=2\n");
        auto p = box.start();
        QVERIFY(waitUntilStarted(*p));
        ::kill(pid_t(p->processId()), SIGTERM);
        QVERIFY(p->waitForFinished(10000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 0);
        QVERIFY(!errText(*p).contains(u"PROMPT"_s));
        const QByteArray saved = box.settingsBytes();
        QVERIFY2(saved.contains("[Settings]") && saved.contains("MainWidth="), saved.constData());
    }

    // A bad stored value ends the start with status 1 and a message, and
    // leaves the file alone; only the exact switch "EXTERR" logs it too.
    void corruptSettingExitsWithStatus1_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("args");
        const auto row = [](const char* name, const char* settings, const char* message,
                            const QStringList& args = {}) {
            QTest::newRow(name) << QByteArray(settings) << QString(message) << args;
        };
        row("flag not a number", "[prefs]\nuseTAPI=abc\n", "13 Type mismatch");
        row("empty flag", "[prefs]\nstartMinimized=\n", "13 Type mismatch");
        row("16-bit overflow", "[prefs]\nringTimerInterval=32768\n", "6 Overflow");
        row("prefixes", "[prefs]\ndefaultPrefixDRAB=|\n", "9 Subscript out of range");
        row("book count", "[lab]\nnumber=many\n", "13 Type mismatch");
        row("plug-in port", "[plugins]\nenabled=1\nnumber=1\nremotePort0=x\n", "13 Type mismatch");
        row("damaged file", "[prefs]\nthis is not a setting\n", "3051 The settings file");
        const char* onClose = "[prefs]\nonClose=sometimes\n";
        row("EXTERR", onClose, "13 Type mismatch", {"EXTERR"});
        row("lower case switch", onClose, "13 Type mismatch", {"exterr"});
        row("switch and more", onClose, "13 Type mismatch", {"EXTERR", "more"});
        row("switch with a blank", onClose, "13 Type mismatch", {"EXTERR "});
        // The toolkit's own options count: this is not the single argument.
        row("switch and a toolkit option", onClose, "13 Type mismatch",
            {"EXTERR", "-style", "Fusion"});
    }
    void corruptSettingExitsWithStatus1() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, message);
        QFETCH(QStringList, args);
        Sandbox box;
        box.writeSettings(settings);
        auto p = box.start(args);
        QVERIFY(p->waitForFinished(10000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 1);
        const QString said = errText(*p);
        QVERIFY2(said.contains(u"PROMPT Tamrivo Error: "_s + message), qPrintable(said));
        QCOMPARE(box.settingsBytes(), settings);
        const bool logged = args == QStringList{u"EXTERR"_s};
        QCOMPARE(QFile::exists(box.logPath()), logged);
        if (!logged)
            return;
        QFile log(box.logPath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY2(QRegularExpression(u"^\"\\S+( \\S+)* \\d{1,2}:\\d{2}:\\d{2}( [AP]M)? dontknow 13 "
                                    "Type mismatch in setting onClose of section prefs: "
                                    "'sometimes'\"\\r\\n$"_s)
                     .match(QString::fromLocal8Bit(text))
                     .hasMatch(),
                 text.constData());
    }

    void killingWhileSavingLeavesAWholeFile() {
        Sandbox box;
        // A large settings file, written by the same code the program uses.
        {
            TestEnv env;
            SettingsStore::instance().setPath(box.settingsPath());
            for (int i = 0; i < 300; ++i) {
                auto b = std::make_shared<DatabaseAddressBook>();
                b->init();
                b->addressBookName = u"Book %1 = ; # , \\ "_s.arg(i);
                b->freetext = u"notes\nof %1"_s.arg(i);
                gDBBooks.append(b);
                auto l = std::make_shared<LocalAddressBook>();
                l->addressBookName = u"  Local %1"_s.arg(i);
                l->filename = u"/books/%1.lab"_s.arg(i);
                gLocalBooks.append(l);
            }
            noDBBooks = noLocalBooks = false;
            gPreferences = std::make_shared<Preferences>();
            gPreferences->TAPIDevice = u"Simulated Line"_s;
            SettingsStore::instance().write(u"prefs"_s, u"showTipsAtStartup"_s, u"0"_s);
            saveSettings();
            plugInsEnabled = true;
            serverPort = 5577;
            noPlugIns = true;
            savePlugInSettings();
        }
        const QByteArray original = box.settingsBytes();
        QVERIFY(original.size() > 100000);

        for (int round = 0; round < 10; ++round) {
            auto p = box.start();
            // Once the saves run, kill at a random moment among them.
            QString said;
            QVERIFY2(waitUntilStarted(*p, &said), qPrintable(said));
            QVERIFY2(!said.contains(u"PROMPT"_s), qPrintable(said));
            QTest::qWait(int(QRandomGenerator::global()->bounded(60)));
            QCOMPARE(p->state(), QProcess::Running);
            p->kill(); // SIGKILL
            QVERIFY(p->waitForFinished(5000));
            QCOMPARE(p->exitStatus(), QProcess::CrashExit);
            // The old file or the new one, never a mix: both are the same here.
            QCOMPARE(box.settingsBytes(), original);
        }
    }
};

QTEST_GUILESS_MAIN(TstStartupE2E)
#include "tst_startup.moc"
