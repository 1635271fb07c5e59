#include "addressbooks/dbfunctions.h"
#include "common/testenv.h"
#include "platform/settingsstore.h"
#include "sip/sipfixture.h"

#include <QTcpSocket>

// The built program on the SIP line: sipp calls, a plug-in follows the call,
// and baresip goes when the program is killed.
class TstSipE2E : public QObject {
    Q_OBJECT

private slots:
    void ringingThenCancelled() {
        TestEnv env;
        const QString book = env.file(QStringLiteral("data/people.lab"));
        createLocalAddressBook(book);
        executeLocalBook(book, QStringLiteral("INSERT INTO TAMRIVO (name, telephone) VALUES "
                                              "('Ann O''Neil', '5551234')"));
        const quint16 port = freeUdpPort(), sipPort = freeUdpPort();
        SettingsStore& s = SettingsStore::instance();
        s.replaceSection(QStringLiteral("prefs"), {{"useTAPI", "1"}, {"TAPIDevice", "SIP desk"},
                                                   {"showTipsAtStartup", "0"}});
        s.replaceSection(QStringLiteral("lab"), {{"number", "1"}, {"AddressBookName0", "People"},
                                                 {"FileName0", book}, {"searchForCallerID0", "T"}});
        s.replaceSection(QStringLiteral("plugins"),
                         {{"enabled", "1"}, {"serverPort", QString::number(port)}, {"number", "1"},
                          {"name0", "poller"}, {"remoteHost0", "127.0.0.1"}, {"remotePort0", "0"}});
        s.replaceSection(QStringLiteral("sip"),
                         {{"account", "<sip:desk@127.0.0.1>;regint=0"}, {"addressName", "SIP desk"},
                          {"listen", QStringLiteral("127.0.0.1:%1").arg(sipPort)},
                          {"audioDevice", QStringLiteral("aubridge,e%1").arg(sipPort)}});

        QProcess program;
        qputenv("TAMRIVO_PROMPTS", "stderr"); // and TestEnv's folders
        program.start(buildDir() + QStringLiteral("/tamrivo"), {});
        QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));

        QTcpSocket plugin;
        auto poll = [&]() -> QByteArray {
            plugin.write("101\r\n"); // sent while waiting for the answer
            while (!plugin.canReadLine())
                if (!plugin.waitForReadyRead(3000))
                    return {};
            return plugin.readLine().trimmed();
        };
        const auto up = [&] {
            plugin.abort();
            plugin.connectToHost(QHostAddress::LocalHost, port);
            return sipLinkUp(env.file(QStringLiteral("config"))) && plugin.waitForConnected(1000) &&
                   poll() == "500 DISCONNECTED";
        };
        QVERIFY2(QTest::qWaitFor(up, 20000), program.readAllStandardError().constData());

        Sipp sipp(env.file(QStringLiteral("sipp")), QStringLiteral("uac_cancel.xml"),
                  callerArgs(sipPort, 4000));
        QByteArray last;
        QVERIFY2(QTest::qWaitFor([&] { return (last = poll()) == "500 RINGING '5551234' 'Ann O''Neil'"; },
                                 10000),
                 last.constData());
        QVERIFY2(sipp.result() == 0, qPrintable(sipp.output()));
        QVERIFY2(QTest::qWaitFor([&] { return (last = poll()) == "500 DISCONNECTED"; }, 10000),
                 last.constData());

        // baresip dies with the program, even a killed one.
        const int child = childPid(program.processId(), "baresip");
        QVERIFY(child > 0);
        program.kill();
        program.waitForFinished(5000);
        QVERIFY(QTest::qWaitFor([&] {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
            return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
        }, 5000));
    }
};

QTEST_GUILESS_MAIN(TstSipE2E)
#include "tst_sip_e2e.moc"
