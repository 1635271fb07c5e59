#include "app/errors.h"
#include "common/testenv.h"
#include "platform/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

class TstSettingsStore : public QObject {
    Q_OBJECT

    static QByteArray fileBytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeFile(const QString& path, const QByteArray& data) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

private slots:
    void namesAreCaseBlind() {
        TestEnv env;
        auto& s = SettingsStore::instance();
        s.write(QStringLiteral("Prefs"), QStringLiteral("UseTAPI"), QStringLiteral("1"));
        s.write(QStringLiteral("PREFS"), QStringLiteral("usetapi"), QStringLiteral("0"));
        s.reload();
        QCOMPARE(s.keys(QStringLiteral("prefs")), QStringList{QStringLiteral("UseTAPI")});
        QCOMPARE(s.read(QStringLiteral("prefs"), QStringLiteral("USETAPI"), QStringLiteral("x")),
                 QStringLiteral("0"));
        QVERIFY(s.hasSection(QStringLiteral("pReFs")));
    }

    void absentIsNotEmpty() {
        TestEnv env;
        auto& s = SettingsStore::instance();
        QVERIFY(!s.value(QStringLiteral("dbab"), QStringLiteral("number")));
        QCOMPARE(s.read(QStringLiteral("dbab"), QStringLiteral("number"), QStringLiteral("0")),
                 QStringLiteral("0"));
        s.write(QStringLiteral("dbab"), QStringLiteral("number"), QString());
        s.reload();
        QVERIFY(s.value(QStringLiteral("dbab"), QStringLiteral("number")).has_value());
        QCOMPARE(*s.value(QStringLiteral("dbab"), QStringLiteral("number")), QString());
        QCOMPARE(s.read(QStringLiteral("dbab"), QStringLiteral("number"), QStringLiteral("0")),
                 QString());
        QVERIFY(!s.value(QStringLiteral("dbab"), QStringLiteral("other")));
    }

    void oddTextsRoundTrip_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("equals") << "k"
                                << "a=b=c";
        QTest::newRow("semicolon first") << "k"
                                         << ";not a comment";
        QTest::newRow("hash first") << "k"
                                    << "#not a comment";
        QTest::newRow("commas") << "k"
                                << "a,,b,";
        QTest::newRow("backslashes") << "k"
                                     << "C:\\Sounds\\ring.wav\\";
        QTest::newRow("leading blanks") << "k"
                                        << "   three";
        QTest::newRow("trailing blanks") << "k"
                                         << "three   ";
        QTest::newRow("only blanks") << "k"
                                     << "  ";
        QTest::newRow("line breaks") << "k"
                                     << "one\ntwo\r\nthree\r";
        QTest::newRow("quotes") << "k"
                                << "\"quoted\" and \\\"";
        QTest::newRow("tab and control") << "k" << QString("a\tb") + QChar(1);
        QTest::newRow("bracket first") << "k"
                                       << "[not a section]";
        QTest::newRow("accented") << "k"
                                  << "già è";
        QTest::newRow("empty") << "k"
                               << "";
        QTest::newRow("key with equals") << "a=b"
                                         << "v";
        QTest::newRow("key with semicolon first") << ";k"
                                                  << "v";
        QTest::newRow("key with bracket first") << "[k"
                                                << "v";
        QTest::newRow("key with leading blank") << " k"
                                                << "v";
        QTest::newRow("key with quote first") << "\"k"
                                              << "v";
    }
    void oddTextsRoundTrip() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        TestEnv env;
        auto& s = SettingsStore::instance();
        s.write(QStringLiteral("odd]section"), key, value);
        s.write(QStringLiteral("odd]section"), QStringLiteral("after"), QStringLiteral("x"));
        s.reload();
        QCOMPARE(s.value(QStringLiteral("odd]section"), key), std::optional<QString>(value));
        QCOMPARE(s.read(QStringLiteral("odd]section"), QStringLiteral("after"), QString()),
                 QStringLiteral("x"));
        QCOMPARE(s.keys(QStringLiteral("odd]section")).size(), 2);
    }

    void fileIsPrivate() {
        TestEnv env;
        SettingsStore::instance().write(QStringLiteral("prefs"), QStringLiteral("a"),
                                        QStringLiteral("1"));
        const QFileInfo info(env.settingsPath());
        QVERIFY(info.exists());
        const auto perms = info.permissions();
        QVERIFY(perms.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::WriteOther | QFileDevice::ExeOther;
        QCOMPARE(perms & others, QFileDevice::Permissions());
    }

    void handWrittenFileIsRead() {
        TestEnv env;
        QDir().mkpath(QFileInfo(env.settingsPath()).absolutePath());
        writeFile(env.settingsPath(),
                  "\xEF\xBB\xBF; comment\r\n# another\r\n\r\n[PREFS]\r\nUseTapi=1\r\nempty=\r\n"
                  "[dbab]\n number =2\n[prefs]\nonClose=0\n");
        auto& s = SettingsStore::instance();
        s.reload();
        QCOMPARE(s.read(QStringLiteral("prefs"), QStringLiteral("useTAPI"), QString()),
                 QStringLiteral("1"));
        QCOMPARE(s.read(QStringLiteral("prefs"), QStringLiteral("onclose"), QString()),
                 QStringLiteral("0"));
        QCOMPARE(s.value(QStringLiteral("prefs"), QStringLiteral("empty")),
                 std::optional<QString>(QString()));
        QCOMPARE(s.read(QStringLiteral("dbab"), QStringLiteral("number"), QString()),
                 QStringLiteral("2"));
    }

    void damagedFileRaisesAndIsKept_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("line");
        QTest::newRow("key outside a section") << QByteArray("a=1\n") << 1;
        QTest::newRow("missing equals") << QByteArray("[prefs]\nuseTAPI\n") << 2;
        QTest::newRow("unclosed section") << QByteArray("[prefs]\n[dbab\n") << 2;
        QTest::newRow("unclosed quote") << QByteArray("[prefs]\n\na=\"abc\n") << 3;
        QTest::newRow("bad escape") << QByteArray("[prefs]\na=\"\\q\"\n") << 2;
    }
    void damagedFileRaisesAndIsKept() {
        QFETCH(QByteArray, data);
        QFETCH(int, line);
        TestEnv env;
        QDir().mkpath(QFileInfo(env.settingsPath()).absolutePath());
        writeFile(env.settingsPath(), data);
        auto& s = SettingsStore::instance();
        s.reload();
        try {
            s.write(QStringLiteral("prefs"), QStringLiteral("x"), QStringLiteral("1"));
            QFAIL("a damaged file was overwritten");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), ErrNum::SettingsRead);
            QVERIFY2(e.description().contains(QStringLiteral("line %1").arg(line)),
                     qPrintable(e.description()));
        }
        QCOMPARE(fileBytes(env.settingsPath()), data);
    }

    void replaceSectionDropsOldKeysOnly() {
        TestEnv env;
        auto& s = SettingsStore::instance();
        s.write(QStringLiteral("dbab"), QStringLiteral("number"), QStringLiteral("2"));
        s.write(QStringLiteral("dbab"), QStringLiteral("AddressBookName1"), QStringLiteral("old"));
        s.write(QStringLiteral("prefs"), QStringLiteral("showTipsAtStartup"), QStringLiteral("0"));
        s.replaceSection(QStringLiteral("DBAB"),
                         {{QStringLiteral("number"), QStringLiteral("1")},
                          {QStringLiteral("AddressBookName0"), QStringLiteral("new")}});
        s.reload();
        QCOMPARE(s.keys(QStringLiteral("dbab")),
                 (QStringList{QStringLiteral("number"), QStringLiteral("AddressBookName0")}));
        QCOMPARE(s.read(QStringLiteral("prefs"), QStringLiteral("showTipsAtStartup"), QString()),
                 QStringLiteral("0"));
    }

    void deleteSection() {
        TestEnv env;
        auto& s = SettingsStore::instance();
        QVERIFY(!s.deleteSection(QStringLiteral("plugins")));
        s.write(QStringLiteral("plugins"), QStringLiteral("enabled"), QStringLiteral("1"));
        QVERIFY(s.deleteSection(QStringLiteral("Plugins")));
        s.reload();
        QVERIFY(!s.hasSection(QStringLiteral("plugins")));
    }

    void failedWriteChangesNothing() {
        TestEnv env;
        auto& s = SettingsStore::instance();
        s.write(QStringLiteral("prefs"), QStringLiteral("a"), QStringLiteral("1"));
        // A plain file where the settings folder should be makes every write
        // fail, even for root.
        writeFile(env.file(QStringLiteral("plain")), "x");
        s.setPath(env.file(QStringLiteral("plain/Tamrivo.ini")));
        try {
            s.replaceSections(
                {{QStringLiteral("prefs"), {{QStringLiteral("a"), QStringLiteral("2")}}},
                 {QStringLiteral("lab"), {{QStringLiteral("number"), QStringLiteral("0")}}}});
            QFAIL("the write did not fail");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), ErrNum::SettingsWrite);
        }
        // Neither section changed in memory.
        QVERIFY(!s.value(QStringLiteral("prefs"), QStringLiteral("a")));
        QVERIFY(!s.hasSection(QStringLiteral("lab")));
    }

    void serializeParseRoundTrip() {
        const QList<SettingsStore::Section> in{
            {QStringLiteral("a"),
             {{QStringLiteral("x"), QStringLiteral(" 1 ")}, {QStringLiteral("y"), QString()}}},
            {QStringLiteral("b c"), {{QStringLiteral("z"), QStringLiteral("l1\nl2")}}},
        };
        const auto out = SettingsStore::parse(SettingsStore::serialize(in), QStringLiteral("t"));
        QCOMPARE(out.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(out[i].name, in[i].name);
            QCOMPARE(out[i].entries, in[i].entries);
        }
    }
};

QTEST_GUILESS_MAIN(TstSettingsStore)
#include "tst_settingsstore.moc"
