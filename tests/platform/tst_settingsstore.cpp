#include "app/errors.h"
#include "common/testenv.h"
#include "platform/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

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
        s.write(u"Prefs"_s, u"UseTAPI"_s, u"1"_s);
        s.write(u"PREFS"_s, u"usetapi"_s, u"0"_s);
        s.reload();
        QCOMPARE(s.keys(u"prefs"_s), QStringList{u"UseTAPI"_s});
        QCOMPARE(s.read(u"prefs"_s, u"USETAPI"_s, u"x"_s), u"0"_s);
        QVERIFY(s.hasSection(u"pReFs"_s));
    }

    void absentIsNotEmpty() {
        TestEnv env;
        auto& s = SettingsStore::instance();
        QVERIFY(!s.value(u"dbab"_s, u"number"_s));
        QCOMPARE(s.read(u"dbab"_s, u"number"_s, u"0"_s), u"0"_s);
        s.write(u"dbab"_s, u"number"_s, QString());
        s.reload();
        QVERIFY(s.value(u"dbab"_s, u"number"_s).has_value());
        QCOMPARE(*s.value(u"dbab"_s, u"number"_s), QString());
        QCOMPARE(s.read(u"dbab"_s, u"number"_s, u"0"_s), QString());
        QVERIFY(!s.value(u"dbab"_s, u"other"_s));
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
        s.write(u"odd]section"_s, key, value);
        s.write(u"odd]section"_s, u"after"_s, u"x"_s);
        s.reload();
        QCOMPARE(s.value(u"odd]section"_s, key), std::optional<QString>(value));
        QCOMPARE(s.read(u"odd]section"_s, u"after"_s, QString()), u"x"_s);
        QCOMPARE(s.keys(u"odd]section"_s).size(), 2);
    }

    void fileIsPrivate() {
        TestEnv env;
        SettingsStore::instance().write(u"prefs"_s, u"a"_s, u"1"_s);
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
        QCOMPARE(s.read(u"prefs"_s, u"useTAPI"_s, QString()), u"1"_s);
        QCOMPARE(s.read(u"prefs"_s, u"onclose"_s, QString()), u"0"_s);
        QCOMPARE(s.value(u"prefs"_s, u"empty"_s), std::optional<QString>(QString()));
        QCOMPARE(s.read(u"dbab"_s, u"number"_s, QString()), u"2"_s);
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
            s.write(u"prefs"_s, u"x"_s, u"1"_s);
            QFAIL("a damaged file was overwritten");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), ErrNum::SettingsRead);
            QVERIFY2(e.description().contains(u"line %1"_s.arg(line)), qPrintable(e.description()));
        }
        QCOMPARE(fileBytes(env.settingsPath()), data);
    }

    void replaceSectionDropsOldKeysOnly() {
        TestEnv env;
        auto& s = SettingsStore::instance();
        s.write(u"dbab"_s, u"number"_s, u"2"_s);
        s.write(u"dbab"_s, u"AddressBookName1"_s, u"old"_s);
        s.write(u"prefs"_s, u"showTipsAtStartup"_s, u"0"_s);
        s.replaceSection(u"DBAB"_s, {{u"number"_s, u"1"_s}, {u"AddressBookName0"_s, u"new"_s}});
        s.reload();
        QCOMPARE(s.keys(u"dbab"_s), (QStringList{u"number"_s, u"AddressBookName0"_s}));
        QCOMPARE(s.read(u"prefs"_s, u"showTipsAtStartup"_s, QString()), u"0"_s);
    }

    void deleteSection() {
        TestEnv env;
        auto& s = SettingsStore::instance();
        QVERIFY(!s.deleteSection(u"plugins"_s));
        s.write(u"plugins"_s, u"enabled"_s, u"1"_s);
        QVERIFY(s.deleteSection(u"Plugins"_s));
        s.reload();
        QVERIFY(!s.hasSection(u"plugins"_s));
    }

    void failedWriteChangesNothing() {
        TestEnv env;
        auto& s = SettingsStore::instance();
        s.write(u"prefs"_s, u"a"_s, u"1"_s);
        // A plain file where the settings folder should be makes every write
        // fail, even for root.
        writeFile(env.file(u"plain"_s), "x");
        s.setPath(env.file(u"plain/Tamrivo.ini"_s));
        try {
            s.replaceSections(
                {{u"prefs"_s, {{u"a"_s, u"2"_s}}}, {u"lab"_s, {{u"number"_s, u"0"_s}}}});
            QFAIL("the write did not fail");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), ErrNum::SettingsWrite);
        }
        // Neither section changed in memory.
        QVERIFY(!s.value(u"prefs"_s, u"a"_s));
        QVERIFY(!s.hasSection(u"lab"_s));
    }

    void serializeParseRoundTrip() {
        const QList<SettingsStore::Section> in{
            {u"a"_s, {{u"x"_s, u" 1 "_s}, {u"y"_s, QString()}}},
            {u"b c"_s, {{u"z"_s, u"l1\nl2"_s}}},
        };
        const auto out = SettingsStore::parse(SettingsStore::serialize(in), u"t"_s);
        QCOMPARE(out.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(out[i].name, in[i].name);
            QCOMPARE(out[i].entries, in[i].entries);
        }
    }
};

QTEST_GUILESS_MAIN(TstSettingsStore)
#include "tst_settingsstore.moc"
