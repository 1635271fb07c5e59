#include "platform/errors.h"
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

    void oddTextsRoundTrip_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const auto row = [](const char* name, const QString& value, const char* key = "k") {
            QTest::newRow(name) << QString(key) << value;
        };
        row("equals", u"a=b=c"_s);
        row("semicolon first", u";not a comment"_s);
        row("hash first", u"#not a comment"_s);
        row("commas", u"a,,b,"_s);
        row("backslashes", u"C:\\Sounds\\ring.wav\\"_s);
        row("leading blanks", u"   three"_s);
        row("trailing blanks", u"three   "_s);
        row("only blanks", u"  "_s);
        row("line breaks", u"one\ntwo\r\nthree\r"_s);
        row("quotes", u"\"quoted\" and \\\""_s);
        row("tab and control", u"a\tb"_s + QChar(1));
        row("bracket first", u"[not a section]"_s);
        row("accented", u"già è"_s);
        row("empty", u""_s);
        row("key with equals", u"v"_s, "a=b");
        row("key with semicolon first", u"v"_s, ";k");
        row("key with bracket first", u"v"_s, "[k");
        row("key with leading blank", u"v"_s, " k");
        row("key with quote first", u"v"_s, "\"k");
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
        const auto perms = QFileInfo(env.settingsPath()).permissions();
        QVERIFY(perms.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(int(perms) & 0x77, 0); // nothing for group or others
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
        // Present but empty is not absent: no default for it.
        QCOMPARE(s.read(u"prefs"_s, u"empty"_s, u"default"_s), QString());
        QCOMPARE(s.value(u"prefs"_s, u"empty"_s), std::optional<QString>(QString()));
        QCOMPARE(s.read(u"prefs"_s, u"absent"_s, u"default"_s), u"default"_s);
        QVERIFY(!s.value(u"prefs"_s, u"absent"_s));
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
};

QTEST_GUILESS_MAIN(TstSettingsStore)
#include "tst_settingsstore.moc"
