// Faults on the running program: books that break under it and callers
// whose number carries SQL. The program runs with the simulated line; a
// plug-in connection polls the caller's name, prompts come on stderr.
#include "addressbooks/dbfunctions.h"
#include "common/testenv.h"
#include "platform/settingsstore.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <unistd.h>

namespace {

// Runs a command (as the database's owner when we are root); true on success.
bool run(const QString& program, const QStringList& args, bool asOwner = false) {
    QProcess p;
    if (asOwner && geteuid() == 0)
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                            program} +
                    args);
    else
        p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit &&
           p.exitCode() == 0;
}

// A private PostgreSQL server on a socket folder of its own, so stopping it
// disturbs no other test.
struct PgServer {
    QString bin, dir, port = QString::number(40000 + QRandomGenerator::global()->bounded(20000));
    QTemporaryDir tmp{QStringLiteral("/tmp/tamrivo-pgfault.XXXXXX")};

    bool start() {
        const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(
            QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        if (versions.isEmpty() || !tmp.isValid())
            return false;
        bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(versions.last());
        dir = tmp.path();
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                       QFileDevice::ExeOther);
        if (geteuid() == 0)
            run(QStringLiteral("chown"), {QStringLiteral("postgres"), dir});
        return run(bin + "initdb", {"-D", dir + "/data", "-A", "trust", "-U", "tamrivo"}, true) &&
               ctl(QStringLiteral("start")) &&
               run(bin + "createdb", {"-h", dir, "-p", port, "-U", "tamrivo", "crm"});
    }
    bool ctl(const QString& what) {
        QStringList args{"-D", dir + "/data", "-w", "-m", "fast", what};
        if (what == QLatin1String("start"))
            args << "-l" << dir + "/server.log" << "-o"
                 << "-p " + port + " -k " + dir + " -c listen_addresses=''";
        return run(bin + "pg_ctl", args, true);
    }
    bool sql(const QString& statement) {
        return run(bin + "psql", {"-h", dir, "-p", port, "-U", "tamrivo", "-d", "crm", "-v",
                                  "ON_ERROR_STOP=1", "-qc", statement});
    }
    ~PgServer() {
        if (!dir.isEmpty())
            ctl(QStringLiteral("stop"));
    }
};

const QByteArray kSqlNumber = "\\';DROP/**/TABLE/**/victim;--";

} // namespace

class TstFaultsE2E : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    QProcess program;
    QTcpSocket plugin;
    quint16 port = 0;
    QByteArray err;

    QProcessEnvironment environment() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const char* d : {"config", "data", "runtime"})
            e.insert(QStringLiteral("XDG_%1_HOME").arg(QString::fromLatin1(d).toUpper()),
                     env->file(QString::fromLatin1(d)));
        e.insert(QStringLiteral("XDG_RUNTIME_DIR"), env->file(QStringLiteral("runtime")));
        e.insert(QStringLiteral("TAMRIVO_SIMLINE_SOCKET"), env->file("runtime/tamrivo-simline"));
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        e.insert(QStringLiteral("TAMRIVO_PROMPTS"), QStringLiteral("stderr"));
        return e;
    }

    QString simline(const QStringList& args) {
        QProcess tool;
        tool.setProcessEnvironment(environment());
        tool.start(buildDir() + QStringLiteral("/tamrivo-simline"), args);
        if (!tool.waitForFinished(10000))
            return QStringLiteral("(no answer)");
        return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    }

    QByteArray poll() {
        plugin.write("101\r\n");
        while (plugin.waitForBytesWritten(3000) && !plugin.canReadLine())
            if (!plugin.waitForReadyRead(3000))
                return {};
        return plugin.readLine().trimmed();
    }

    // Starts the program on the books given; ready once the plug-in server
    // answers and the line is registered.
    void start(const SettingsStore::Entries& lab, const SettingsStore::Entries& dbab) {
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::AnyIPv4, 0));
            port = probe.serverPort();
        }
        SettingsStore& s = SettingsStore::instance();
        s.replaceSection("prefs", {{"useTAPI", "1"},
                                   {"TAPIDevice", "Simulated Line"},
                                   {"showTipsAtStartup", "0"},
                                   {"useLastDRAddressBooks", "0"}});
        s.replaceSection("lab", lab);
        s.replaceSection("dbab", dbab);
        s.replaceSection("plugins", {{"enabled", "1"},
                                     {"serverPort", QString::number(port)},
                                     {"number", "1"},
                                     {"name0", "poller"},
                                     {"remoteHost0", "127.0.0.1"},
                                     {"remotePort0", "0"}});
        program.setProcessEnvironment(environment());
        program.start(buildDir() + QStringLiteral("/tamrivo"), {});
        QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));
        QVERIFY2(waitUntil([&] {
                     if (program.state() != QProcess::Running)
                         return true;
                     plugin.abort();
                     plugin.connectToHost(QHostAddress::LocalHost, port);
                     return plugin.waitForConnected(1000) && poll() == "500 DISCONNECTED";
                 }),
                 program.readAllStandardError().constData());
        QVERIFY2(waitUntil([&] { return simline({"status"}).contains("registered=1"); }),
                 program.readAllStandardError().constData());
    }

    static bool waitUntil(const std::function<bool()>& pred, int ms = 20000) {
        QDeadlineTimer deadline(ms);
        while (!pred()) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(50);
        }
        return true;
    }

    // Offers a call from number and answers the name the program gave it,
    // once the call has ended.
    QString call(const QByteArray& number) {
        const QString offered = simline({"offer", QString::fromLatin1(number)});
        if (!offered.startsWith(QLatin1String("OK")))
            return "offer: " + offered;
        QByteArray state;
        waitUntil([&] { return (state = poll()).startsWith("500 RINGING"); }, 10000);
        simline({"hangup"});
        waitUntil([&] { return poll() == "500 DISCONNECTED"; }, 10000);
        // The name is the last quoted field.
        const qsizetype at = state.lastIndexOf("' '");
        if (at < 0 || !state.endsWith('\''))
            return "state: " + QString::fromLatin1(state);
        return QString::fromUtf8(state.mid(at + 3).chopped(1)).replace("''", "'");
    }

    // Whether the program said text on stderr within a few seconds.
    bool said(const QByteArray& text) {
        return waitUntil(
            [&] {
                err += program.readAllStandardError();
                return err.contains(text);
            },
            5000);
    }

private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        err.clear();
    }
    void cleanup() {
        plugin.abort();
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
        env.reset();
    }

    // A Local book that breaks while the program has it: the call is still
    // named "Not Found" at once, the error says why, and the book works
    // again as soon as it is whole.
    void localBookFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<QByteArray>("prompt");
        QTest::newRow("wildcard number") << "" << QByteArray("_______") << QByteArray();
        QTest::newRow("sql number") << "" << kSqlNumber << QByteArray();
        QTest::newRow("deleted") << "deleted" << QByteArray("5551234")
                                 << QByteArray("Could not find file");
        QTest::newRow("garbage") << "garbage" << QByteArray("5551234")
                                 << QByteArray("is not an address-book file");
        QTest::newRow("locked") << "locked" << QByteArray("5551234") << QByteArray("is busy");
    }
    void localBookFaults() {
        QFETCH(QString, fault);
        QFETCH(QByteArray, number);
        QFETCH(QByteArray, prompt);
        const QString book = env->file("people.lab");
        createLocalAddressBook(book);
        executeLocalBook(book, "INSERT INTO TAMRIVO (name, telephone) VALUES ('Ann', '5551234')");
        QFile::copy(book, book + ".good");
        start({{"number", "1"},
               {"AddressBookName0", "People"},
               {"FileName0", book},
               {"searchForCallerID0", "T"}},
              {{"number", "0"}});
        QCOMPARE(call("5551234"), QStringLiteral("Ann"));

        std::unique_ptr<DbSession> lock;
        if (fault == "deleted" || fault == "garbage")
            QVERIFY(QFile::remove(book));
        if (fault == "garbage") {
            QFile f(book);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(8192, 'x')));
        }
        if (fault == "locked") {
            lock = std::make_unique<DbSession>(DbSession::Kind::Sqlite, localConnectionString(book));
            lock->execute("BEGIN EXCLUSIVE");
        }
        QElapsedTimer t;
        t.start();
        QCOMPARE(call(number), QStringLiteral("Not Found"));
        // A lock is waited for a moment only, never the seconds a call rings.
        QVERIFY2(fault != "locked" || t.elapsed() < 4000, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(prompt.isEmpty() || said(prompt), err.constData());

        lock.reset();
        if (!QFile::exists(book + ".good") || QFile::exists(book) != (fault != "deleted"))
            QFAIL("the test's own files are not where they should be");
        QFile::remove(book);
        QVERIFY(QFile::copy(book + ".good", book));
        QCOMPARE(call("5551234"), QStringLiteral("Ann"));
        QCOMPARE(program.state(), QProcess::Running);
        said("");
        QCOMPARE(err.count("PROMPT"), prompt.isEmpty() ? 0 : 1);
        QVERIFY2(!err.contains("database is locked"), err.constData());
    }

    // A Database book on PostgreSQL, on a server that takes a backslash for
    // an escape: a caller's number never reaches it as SQL; the server
    // stopped while the program runs costs a call its name, not the call.
    void databaseServerStopsAndReturns() {
        PgServer pg;
        if (!pg.start()) {
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL("PostgreSQL is needed for this test under CI");
            QSKIP("PostgreSQL cannot be started here");
        }
        QVERIFY(pg.sql("ALTER DATABASE crm SET standard_conforming_strings = off"));
        QVERIFY(pg.sql("CREATE TABLE victim (x int); CREATE TABLE people (name text, phone "
                       "text, mail text); INSERT INTO people VALUES ('Ann', '5551234', NULL)"));
        QFile ini(env->file("odbc/odbc.ini"));
        QVERIFY(ini.open(QIODevice::Append));
        ini.write(("[crm]\nDriver=PostgreSQL Unicode\nServername=" + pg.dir + "\nPort=" + pg.port +
                   "\nDatabase=crm\n")
                      .toUtf8());
        ini.close();
        start({{"number", "0"}}, {{"number", "1"},
                                  {"AddressBookName0", "CRM"},
                                  {"DSN0", "crm"},
                                  {"User0", "tamrivo"},
                                  {"Tablename0", "people"},
                                  {"NameField0", "name"},
                                  {"TelephoneField0", "phone"},
                                  {"EmailField0", "mail"},
                                  {"searchForCallerID0", "T"}});
        QCOMPARE(call("5551234"), QStringLiteral("Ann"));
        QCOMPARE(call(kSqlNumber), QStringLiteral("Not Found"));
        QCOMPARE(call("_______"), QStringLiteral("Not Found"));
        QVERIFY(pg.sql("SELECT * FROM victim"));

        QVERIFY(pg.ctl("stop"));
        QCOMPARE(call("5551234"), QStringLiteral("Not Found"));
        QVERIFY2(said("PROMPT Tamrivo Error: 3151"), err.constData());
        QCOMPARE(err.count("PROMPT"), 1);
        QVERIFY(pg.ctl("start"));
        QCOMPARE(call("5551234"), QStringLiteral("Ann"));
        QCOMPARE(program.state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(TstFaultsE2E)
#include "tst_faults_e2e.moc"
