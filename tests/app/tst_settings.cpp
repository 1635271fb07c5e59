// The settings: the store's file format, the conversions of stored text, and
// the load and save of every section.

#include "app/convert.h"
#include "app/pluginsettings.h"
#include "app/settings.h"
#include "common/testenv.h"
#include "common/widgettest.h"
#include "platform/errors.h"
#include "platform/settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

SettingsStore& store() { return SettingsStore::instance(); }
QString get(const QString& section, const QString& key) {
    return store().read(section, key, u"<absent>"_s);
}
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}
QString str(const QString& s) { return s; }
QString str(int v) { return QString::number(v); }
template <typename... T> QString join(const T&... v) { return QStringList{str(v)...}.join(u'|'); }

QString fieldsOf(const DatabaseAddressBook& b) {
    return join(b.addressBookName, b.dsn, b.User, b.password, b.tableName, b.readonly, b.groupNum,
                b.Grouping().mid(0, b.groupNum).join(u','), b.nameField, b.telephoneField,
                b.emailField, b.searchForCallerID, b.ringSound, b.ringSoundInterval, b.callPrefix,
                b.contactid, b.telephone2, b.telephone3, b.email2, b.freetext);
}
QString fieldsOf(const LocalAddressBook& b) {
    return join(b.addressBookName, b.filename, b.searchForCallerID, b.ringSound,
                b.ringSoundInterval, b.callPrefix);
}
QString fieldsOf(const PlugIn& p) {
    return join(p.name, p.description, p.remoteHost, p.remotePort, p.connected);
}
// Every book, plug-in and the preferences, one text each.
QStringList everything() {
    QStringList out;
    for (const auto& b : gDBBooks)
        out << fieldsOf(*b);
    for (const auto& b : gLocalBooks)
        out << fieldsOf(*b);
    for (const auto& p : plugIns)
        out << fieldsOf(*p);
    return out << fields(*gPreferences).join(u'|');
}

// Texts an INI file could mangle.
const QStringList kOdd{u"Customers = ; # , \\ "_s, u"  crm"_s, u"user\n"_s, u"p;w=d#\\\"già"_s,
                       u"[people], staff"_s, u"notes\r\nmore"_s, u"\tx "_s, u"\"q"_s, u";x"_s,
                       u"#x"_s, u"  "_s, u"a\x01"_s, u"\\"_s, u"x\r"_s, QString()};

// Two books of each kind, preferences off their defaults, three plug-ins.
void setOddGlobals() {
    int k = 0;
    for (int n = 0; n < 2; ++n) {
        auto b = std::make_shared<DatabaseAddressBook>();
        b->init();
        for (QString* t : {&b->addressBookName, &b->dsn, &b->User, &b->password, &b->tableName,
                           &b->nameField, &b->telephoneField, &b->emailField, &b->ringSound,
                           &b->callPrefix, &b->contactid, &b->telephone2, &b->telephone3,
                           &b->email2, &b->freetext})
            *t = kOdd[k++ % kOdd.size()] + QString::number(n);
        // Table and columns must be SQL names; quoted, they may still hold
        // what needs quoting in the file.
        for (QString* t : {&b->tableName, &b->nameField, &b->telephoneField, &b->emailField,
                           &b->contactid, &b->telephone2, &b->telephone3, &b->email2, &b->freetext})
            *t = u'[' + t->remove(u']').remove(u'\\') + u']';
        b->readonly = n == 0;
        b->searchForCallerID = n == 1;
        b->groupNum = 2;
        b->setGrouping(u"country,[ city],extra"_s);
        b->ringSoundInterval = std::int16_t(15 - n);
        gDBBooks.append(b);
        auto l = std::make_shared<LocalAddressBook>();
        for (QString* t : {&l->addressBookName, &l->filename, &l->ringSound, &l->callPrefix})
            *t = kOdd[k++ % kOdd.size()] + QString::number(n);
        l->searchForCallerID = n == 0;
        l->ringSoundInterval = std::int16_t(1 + n);
        gLocalBooks.append(l);
    }
    noDBBooks = noLocalBooks = false;
    gPreferences = std::make_shared<Preferences>(Preferences{u"Line \"1\"; #2"_s, true, 1, 1, false, true, true,
                                                 "  /a b/c\\d.wav", 32, true, false, false, "0",
                                                 "00", "+39|x", true});
    plugInsEnabled = true;
    serverPort = 40001;
    noPlugIns = false;
    for (int i = 0; i < 3; ++i)
        plugIns.append(std::make_shared<PlugIn>(PlugIn{kOdd[i], kOdd[i + 3], i * 1000,
                                                       u"127.0.0.%1"_s.arg(i + 1), false}));
}

// What a load left, by name, as one text.
QString probe(const QString& what) {
    if (what == u"prefs")
        return fields(*gPreferences).join(u'|');
    if (what == u"books")
        return join(noDBBooks, int(gDBBooks.size()), noLocalBooks, int(gLocalBooks.size()));
    if (what == u"db1")
        return fieldsOf(*gDBBooks.value(1));
    if (what == u"local0")
        return fieldsOf(*gLocalBooks.value(0));
    if (what == u"recent") // telephony started last
        return join(recentBookAt(0)->addressBookName, recentBookAt(1)->addressBookName,
                    recentBookAt(2)->addressBookName, recentBookAt(2)->getContactNum(),
                    int(gCallDirection));
    if (what == u"plugins")
        return join(plugInsEnabled, serverPort, noPlugIns, int(plugIns.size()),
                    plugIns.isEmpty() ? QString() : fieldsOf(*plugIns.first()));
    // After a failed load: what came before the key, what after, telephony.
    return join(noLocalBooks, gPreferences ? gPreferences->TAPIDevice : u"-"_s,
                recentBooksExist(), gPreferences && gPreferences->startMinimized,
                int(gCallDirection));
}

} // namespace

class TstSettings : public QObject {
    Q_OBJECT
private slots:
    // ---- the store and its file

    // A hand-written file: what the key "k" of "prefs" reads as; or, when
    // it cannot be read right, the error ("!...") that stops it, the file
    // never being written over.
    void handWrittenFile() {
        QByteArray big = "[prefs]\nk=big\n"; // loaded in time proportional to its 100,000 sections
        for (int i = 0; i < 100000; ++i)
            big += "[s" + QByteArray::number(i) + "]\n";
        const std::pair<QByteArray, const char*> rows[] = {
            {"\xEF\xBB\xBF; c\r\n# c\r\n\r\n[PREFS]\r\nK=1\r\nempty=\r\n", "1"}, {"[prefs]\r\nk=\r\n", ""},
            {"[prefs]\nj=1\n", "<absent>"}, {"[prefs]\n k = 1 \t\n", "1"}, // blanks around both
            {"[prefs]\nk = \" 1\" \n", " 1"}, {"; c\r[prefs]\rk=2\r", "2"}, // CR alone ends a line
            {"[prefs]\nk=1\n[lab]\nk=2\n[Prefs]\nk=3\n", "3"}, {"[prefs]\nk=\"\\x41\\x7e\\n\"\n", "A~\n"},
            {"[prefs]\nk=Q\"Q\n", "Q\"Q"}, {big, "big"}, {"a=1\n", "!line 1"}, {"[prefs]\nuseTAPI\n", "!line 2"},
            {"[prefs]\n[dbab\n", "!line 2"}, {"[prefs]\n\na=\"abc\n", "!line 3"}, {"[prefs]\na=\"\\q\"\n", "!line 2"},
            {"[x]\nk=\"\\x-1\"\n", "!line 2"}, {"[x]\r\nk=\"\\x4\"\r\n", "!line 2"},
            {"[prefs]\rpw=caf\xE9\r", "!line 2"}, // not UTF-8
            {"", "!not a regular file"}, {"", "!larger than 16 MiB"}}; // a FIFO; a huge file
        for (const auto& [data, expected] : rows) {
            TestEnv env;
            const QString path = env.settingsPath();
            writeFile(path, data);
            if (QByteArray(expected).startsWith("!not")) {
                QFile::remove(path);
                QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            } else if (QByteArray(expected).startsWith("!larger")) {
                QFile f(path);
                QVERIFY(f.open(QIODevice::ReadWrite) && f.resize(16 * 1024 * 1024 + 1));
            }
            const QDateTime before = QFileInfo(path).lastModified();
            QString seen;
            const qint64 start = QDateTime::currentMSecsSinceEpoch();
            try {
                seen = get(u"prefs"_s, u"k"_s);
                QVERIFY(QDateTime::currentMSecsSinceEpoch() - start < 15000);
                store().write(u"prefs"_s, u"x"_s, u"1"_s);
            } catch (const AppError& e) {
                seen = u'!' + e.description();
                QCOMPARE(e.number(), ErrNum::SettingsRead);
                QCOMPARE(QFileInfo(path).lastModified(), before);
                QVERIFY(data.isEmpty() || fileBytes(path) == data);
            }
            QVERIFY2(*expected == '!' ? seen.contains(QString::fromUtf8(expected + 1))
                                      : seen == QString::fromUtf8(expected), qPrintable(seen));
        }
    }

    // A failed write changes neither the file nor what is in memory, and says
    // what the system said (a file size limit stands in for a full disk).
    void failedWriteChangesNothing() {
        TestEnv env;
        writeFile(env.settingsPath(), "; kept\n");
        rlimit old{}, small{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        small = {1024, old.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &small);
        const AppError e = caught([] { store().write(u"prefs"_s, u"a"_s, QString(3000, u'2')); });
        ::setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY2(e.number() == ErrNum::SettingsWrite && e.description().endsWith(qt_error_string(EFBIG)),
                 qPrintable(e.description()));
        QVERIFY(!store().value(u"prefs"_s, u"a"_s) && fileBytes(env.settingsPath()) == "; kept\n");
    }

    // ---- conversions: kind, text, result, error

    void conversions() {
        const std::tuple<char, const char*, qlonglong, int> rows[] = {
            {'i', " 7 ", 7, 0}, {'i', "1e1", 10, 0}, {'i', "2.5", 2, 0}, {'i', "3.5", 4, 0},
            {'i', "-2.5", -2, 0}, {'i', "32767", 32767, 0}, {'i', "32768", 0, 6},
            {'i', "32767.5", 0, 6}, {'i', "-32768.5", -32768, 0}, {'i', "-32769", 0, 6},
            {'i', "abc", 0, 13}, {'i', "", 0, 13}, {'i', "12abc", 0, 13}, {'i', "+5", 5, 0},
            {'i', ".6", 1, 0}, {'i', "&H10", 16, 0}, {'i', "1e400", 0, 13}, {'i', "1e", 0, 13},
            {'i', "35e-1", 4, 0}, {'i', "\t9\t", 9, 0}, {'i', "1 2", 0, 13}, {'i', "--1", 0, 13},
            {'i', "1,5", 0, 13}, {'i', "5.", 5, 0}, {'l', "32768", 32768, 0},
            {'l', "2147483647", 2147483647LL, 0}, {'l', "2147483648", 0, 6}, {'l', "0.5", 0, 0},
            {'l', "x", 0, 13}, {'f', "-1", 1, 0}, {'f', "2", 1, 0}, {'f', "0", 0, 0},
            {'f', "0.5", 1, 0}, {'f', "yes", 0, 13}};
        for (const auto& [kind, text, expected, error] : rows) {
            const QString t = QString::fromLatin1(text);
            const char k = kind; // a structured binding is not captured before C++20 in clang 14
            qlonglong v = 0;
            const long err = errNum([&] {
                v = k == 'i' ? convert::toInt16(t)
                    : k == 'l' ? convert::toInt32(t) : qlonglong(convert::toFlag(t));
            });
            QVERIFY2(err == error && v == expected, qPrintable(u"%1 '%2': %3, error %4"_s
                                                                   .arg(kind).arg(t).arg(v).arg(err)));
        }
    }

    // ---- sections

    // Save then load gives back every field of every section, and saves the
    // same bytes again; the tip setting comes out as it went in, or absent.
    void roundTripOfEverySection() {
        for (const QString& tips : {QString(), u" 2 "_s}) {
            TestEnv env;
            if (!tips.isNull())
                store().write(u"prefs"_s, u"showTipsAtStartup"_s, tips);
            store().write(u"dbab"_s, u"AddressBookName7"_s, u"stale"_s);
            setOddGlobals();
            const QStringList before = everything();
            saveSettings();
            savePlugInSettings();
            store().reload();
            QCOMPARE(store().keys(u"dbab"_s).mid(0, 22).join(u' '),
                     u"number AddressBookName0 DSN0 User0 Password0 Tablename0 ReadOnly0 "
                     "GroupNum0 Group0 NameField0 TelephoneField0 EmailField0 ringSound0 "
                     "ringSoundInterval0 searchForCallerID0 callPrefix0 contactID0 2ndtelephone0 "
                     "3rdtelephone0 2ndemail0 freetext0 AddressBookName1"_s);
            QCOMPARE(store().keys(u"lab"_s).mid(0, 7).join(u' '),
                     u"number AddressBookName0 FileName0 ringSound0 ringSoundInterval0 "
                     "searchForCallerID0 callPrefix0"_s);
            QCOMPARE(store().keys(u"prefs"_s).join(u' '),
                     u"TAPIDevice useTAPI onClose multipleCall showRingWindow playSound "
                     "defaultSound showTooltip autoCloseOnDisconnect useLastDRAddressBooks "
                     "clearDRABOnExit ringTimerInterval defaultPrefixDRAB startMinimized"_s
                         + (tips.isNull() ? u""_s : u" showTipsAtStartup"_s));
            QCOMPARE(store().keys(u"plugins"_s).mid(0, 7).join(u' '),
                     u"enabled serverPort number name0 description0 remoteHost0 remotePort0"_s);
            QCOMPARE(join(get(u"dbab"_s, u"ReadOnly0"_s), get(u"dbab"_s, u"searchForCallerID0"_s),
                          get(u"dbab"_s, u"Group0"_s), get(u"prefs"_s, u"useTAPI"_s),
                          get(u"prefs"_s, u"defaultPrefixDRAB"_s),
                          get(u"dbab"_s, u"AddressBookName7"_s)),
                     u"T|F|country,[ city]|1|0|00|+39|x|<absent>"_s);
            QCOMPARE(store().value(u"prefs"_s, u"showTipsAtStartup"_s),
                     tips.isNull() ? std::nullopt : std::optional<QString>(tips));
            QCOMPARE(QFileInfo(env.settingsPath()).permissions().toInt() & 0x0077, 0); // owner only
            const QByteArray first = fileBytes(env.settingsPath());
            QVERIFY(first.contains("\nTAPIDevice=\"Line \\\"1\\\"; #2\"\n")); // an inner quote is quoted
            resetGlobals();
            loadSettings();
            loadPlugInSettings();
            QCOMPARE(everything(), before);
            QVERIFY(!recentBooksExist() && plugInsEnabled && serverPort == 40001);
            saveSettings();
            savePlugInSettings();
            QCOMPARE(fileBytes(env.settingsPath()), first);
        }
    }

    // Stored lines, the error of the load, and what it left (see probe).
    void loadRules() {
        const char* defaults = "|0|2|0|1|0|0||2|0|1|1||||0";
        const std::tuple<const char*, int, const char*, const char*> rows[] = {
            {"", 0, "prefs", defaults}, {"", 0, "books", "1|0|1|0"},
            {"", 0, "recent", "Last Dialed|Last Received|Last Not Answered|0|2"},
            {"[prefs]\nuseTAPI=2", 0, "prefs", "|1|2|0|1|0|0||2|0|1|1||||0"},
            {"[prefs]\nonClose=2.5", 0, "prefs", defaults}, // half to even
            {"[prefs]\ndefaultPrefixDRAB=\" 1 | 2 | 3 \"", 0, "prefs", "|0|2|0|1|0|0||2|0|1|1| 1 | 2 | 3 |0"},
            {"[dbab]\nnumber=-3\n[lab]\nnumber=0.4", 0, "books", "1|0|1|0"},
            // Missing keys take their defaults; only "T" is true.
            {"[dbab]\nnumber=2\nReadOnly1=t\nsearchForCallerID1=T", 0, "db1", "|||||0|0|||||1||1||||||"},
            {"[lab]\nnumber=1\nsearchForCallerID0=T", 0, "local0", "||1||1|"},
            // A failed load keeps what came before the key, skips the rest.
            {"[lab]\nnumber=1\n[prefs]\nTAPIDevice=l\nuseTAPI=", 13, "stop", "0|l|0|0|0"},
            {"[lab]\nnumber=1\n[prefs]\nTAPIDevice=l\nringTimerInterval=x\nstartMinimized=1", 13, "stop", "0|l|1|0|0"},
            {"[prefs]\nonClose=32768", 6, "stop", "1||0|0|0"}, {"[prefs]\ndefaultPrefixDRAB=0", 9, "stop", "1||1|0|0"},
            {"[dbab]\nnumber=two", 13, "stop", "1|-|0|0|0"},
            {"[dbab]\nnumber=1\nGroupNum0=40000", 6, "stop", "1|-|0|0|0"},
            {"[lab]\nnumber=1\nringSoundInterval0=33", 6, "stop", "1|-|0|0|0"}, // the ring timer's limit
            {"[prefs]\nringTimerInterval=40", 6, "stop", "1||1|0|0"},
            {"[dbab]\nnumber=2\nGroupNum1=3\nGroup1=a,b", 0, "db1", "|||||0|2|a,b||||0||1||||||"},
            // Plug-ins: only an exact "1" turns them on; a bad port is the default.
            {"[plugins]\nenabled=1\nserverPort=40000\nnumber=1", 0, "plugins", "1|40000|0|1|plugin|plugin|127.0.0.1|5576|0"},
            {"[plugins]\nenabled=\" 1\"", 0, "plugins", "0|0|1|0|"},
            {"[plugins]\nenabled=1\nserverPort=0", 0, "plugins", "1|5577|1|0|"},
            {"[plugins]\nenabled=1\nserverPort=w", 0, "plugins", "1|5577|1|0|"},
            {"[plugins]\nenabled=1\nserverPort=5578.5", 0, "plugins", "1|5578|1|0|"},
            {"[plugins]\nenabled=1\nserverPort=3000000000", 0, "plugins", "1|5577|1|0|"},
            {"[plugins]\nenabled=1\nnumber=-2", 0, "plugins", "1|5577|1|0|"},
            {"[plugins]\nenabled=1\nnumber=two", 0, "plugins", "1|5577|1|0|"},
            {"[plugins]\nenabled=1\nnumber=32768", 0, "plugins", "1|5577|1|0|"},
            {"[plugins]\nenabled=1\nnumber=2\nremotePort1=a", 13, "plugins", "1|5577|1|0|"},
        };
        for (const auto& [file, error, what, expected] : rows) {
            TestEnv env;
            if (*file)
                writeFile(env.settingsPath(), file);
            const bool plugins = QByteArray(file).startsWith("[plugins]");
            QVERIFY(*file || !QFile::exists(env.settingsPath())); // loading writes nothing
            const long err = errNum([&] { plugins ? loadPlugInSettings() : loadSettings(); });
            const QString left = probe(QString::fromLatin1(what));
            QVERIFY2(err == error && left == QLatin1String(expected),
                     qPrintable(u"%1: error %2, %3"_s.arg(QLatin1String(file)).arg(err).arg(left)));
        }
    }

    // GroupNum, the grouping columns, and the stored "Group".
    void groupingOnSave() {
        // A count beyond the columns is stored as the columns written, so the
        // next start reads the same pair.
        const std::tuple<int, const char*, const char*, int> rows[] = {
            {0, "a,b", "", 0}, {1, "a,b", "a", 1}, {3, "a,,b", "a,,b", 3}, {3, "a", "a", 1}};
        for (const auto& [groupNum, grouping, stored, storedNum] : rows) {
            TestEnv env;
            auto b = std::make_shared<DatabaseAddressBook>();
            b->init();
            b->groupNum = std::int16_t(groupNum);
            b->setGrouping(QString::fromLatin1(grouping));
            gDBBooks = {b};
            noDBBooks = false;
            gPreferences = std::make_shared<Preferences>();
            saveSettings();
            QCOMPARE(join(get(u"dbab"_s, u"Group0"_s), get(u"dbab"_s, u"GroupNum0"_s)), join(stored, storedNum));
            loadSettings();
            QCOMPARE(gDBBooks[0]->groupNum, storedNum);
        }
    }

    // Emptied lists save as empty with stale elements left; a failed save
    // leaves the file as it was.
    void emptiedListsAndFailedSaves() {
        TestEnv env;
        setOddGlobals();
        noDBBooks = noLocalBooks = noPlugIns = true;
        saveSettings();
        savePlugInSettings();
        store().reload();
        QCOMPARE(join(store().keys(u"dbab"_s).join(u' '), store().keys(u"lab"_s).join(u' '),
                      store().keys(u"plugins"_s).join(u' '), get(u"plugins"_s, u"number"_s)),
                 u"number|number|enabled serverPort number|0"_s);
        plugInsEnabled = false;
        savePlugInSettings();
        store().reload();
        QCOMPARE(store().keys(u"plugins"_s), QStringList{u"enabled"_s});
        const QByteArray before = fileBytes(env.settingsPath());
        noLocalBooks = false;
        gLocalBooks = {nullptr};
        QCOMPARE(errNum([] { saveSettings(); }), ErrNum::ObjectNotSet);
        noLocalBooks = true;
        gPreferences.reset();
        QCOMPARE(errNum([] { saveSettings(); }), ErrNum::ObjectNotSet);
        QCOMPARE(fileBytes(env.settingsPath()), before);
    }
};

QTEST_MAIN(TstSettings)
#include "tst_settings.moc"
