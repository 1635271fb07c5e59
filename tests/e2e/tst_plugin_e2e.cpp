#include "addressbooks/dbfunctions.h"
#include "common/testenv.h"
#include "common/widgettest.h"
#include "platform/settingsstore.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

// The whole road with the built program: calls rung on the simulated line, the
// caller named from a Local book, and a plug-in polling the state.
class TstPlugInE2E : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;
    QProcess program;
    quint16 port = 0;
    QTcpSocket plugin;

    static QProcessEnvironment environment() {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        e.insert(QStringLiteral("TAMRIVO_PROMPTS"), QStringLiteral("stderr"));
        return e;
    }

    // One simulated-line command; its reply line.
    QString simline(const QStringList& args) {
        QProcess tool;
        tool.setProcessEnvironment(environment());
        tool.start(buildDir() + "/tamrivo-simline", args);
        tool.waitForFinished(10000);
        return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    }

    // Sends a status request; the reply line without CR LF, or empty.
    QByteArray poll() {
        plugin.write("101\r\n");
        while (!plugin.canReadLine())
            if (!plugin.waitForReadyRead(3000))
                return {};
        return plugin.readLine().chopped(2);
    }

    // One simulated-line command, then polls until the reply is the
    // expected one; on failure, what was seen.
    QString step(const QStringList& args, const QByteArray& expected) {
        QByteArray last;
        const QString answer = simline(args);
        if (answer.startsWith("OK") && waitUntil([&] { return (last = poll()) == expected; }))
            return {};
        return answer + " / " + last + " / " + program.readAllStandardError();
    }

private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        const QString book = env->file(QStringLiteral("data/people.lab"));
        createLocalAddressBook(book);
        executeLocalBook(book, QStringLiteral("INSERT INTO TAMRIVO (name, telephone) VALUES "
                                              "('Ann O''Neil', '5551234')"));

        QTcpServer probe; // a port free right now
        QVERIFY(probe.listen(QHostAddress::AnyIPv4, 0));
        port = probe.serverPort();
        probe.close();
        SettingsStore& s = SettingsStore::instance();
        for (const QString& kv :
             QStringLiteral(
                 "prefs/useTAPI=1;prefs/TAPIDevice=Simulated Line;prefs/multipleCall=1;"
                 "prefs/showTipsAtStartup=0;prefs/useLastDRAddressBooks=0;lab/number=1;"
                 "lab/AddressBookName0=People;lab/searchForCallerID0=T;plugins/enabled=1;"
                 "plugins/number=1;plugins/name0=poller;plugins/remoteHost0=127.0.0.1;"
                 "plugins/remotePort0=0")
                 .split(u';'))
            s.write(kv.section(u'/', 0, 0), kv.section(u'/', 1).section(u'=', 0, 0),
                    kv.section(u'=', 1));
        s.write("lab", "FileName0", book);
        s.write("plugins", "serverPort", QString::number(port));

        program.setProcessEnvironment(environment());
        program.start(buildDir() + "/tamrivo", {});
        QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));

        // The server starts at the end of the main window's load.
        const bool up = waitUntil(
            [&] {
                if (program.state() != QProcess::Running)
                    return false;
                plugin.abort();
                plugin.connectToHost(QHostAddress::LocalHost, port);
                return plugin.waitForConnected(1000) && poll() == "500 DISCONNECTED";
            },
            20000);
        QVERIFY2(up, program.readAllStandardError().constData());
        QVERIFY(waitUntil([&] { return simline({"status"}).contains("registered=1"); }, 10000));
    }

    void cleanup() {
        plugin.abort();
        program.kill();
        program.waitForFinished(5000);
        env.reset();
    }

    void pluginFollowsCalls() {
        QCOMPARE(step({"offer", "5551234"}, "500 RINGING '5551234' 'Ann O''Neil'"), QString());
        const QByteArray connected = "500 CONNECTED '5551234' 'Ann O''Neil'";
        QCOMPARE(step({"connect"}, connected), QString());
        // A second caller: the user is told, the tracked call kept.
        QCOMPARE(step({"offer", "222"}, connected), QString());
        QByteArray err;
        QVERIFY2(waitUntil([&] {
                     return (err += program.readAllStandardError())
                         .contains(
                             "PROMPT One call at a time: Can work with only one call at a time");
                 }),
                 err.constData());
        QCOMPARE(step({"hangup"}, connected), QString());
        QCOMPARE(step({"hangup"}, "500 DISCONNECTED"), QString());
    }
};

QTEST_GUILESS_MAIN(TstPlugInE2E)
#include "tst_plugin_e2e.moc"
