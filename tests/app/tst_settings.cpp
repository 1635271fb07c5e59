#include "platform/errors.h"
#include "app/globals.h"
#include "app/pluginsettings.h"
#include "app/settings.h"
#include "common/testenv.h"
#include "platform/settingsstore.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

SettingsStore& store() {
    return SettingsStore::instance();
}
void put(const QString& section, const QString& key, const QString& value) {
    store().write(section, key, value);
}
QString get(const QString& section, const QString& key) {
    return store().read(section, key, u"<absent>"_s);
}
// "section:key=value; ..." (no blanks kept around the parts).
void putAll(const QString& entries) {
    for (const QString& e : entries.split(u';')) {
        const QString t = e.trimmed();
        put(t.section(u':', 0, 0), t.section(u':', 1).section(u'=', 0, 0), t.section(u'=', 1));
    }
}
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
template <typename... T> void row(const char* name, const T&... v) {
    (QTest::newRow(name) << ... << v);
}

// Runs f and answers the number of the error it raised (0 = none).
template <typename F> long errorOf(F&& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

QString str(const QString& s) {
    return s;
}
QString str(int v) {
    return QString::number(v);
}
template <typename... T> QStringList list(const T&... v) {
    return {str(v)...};
}
QStringList fields(const DatabaseAddressBook& b) {
    return list(b.addressBookName, b.dsn, b.User, b.password, b.tableName, b.readonly, b.groupNum,
                b.Grouping().mid(0, b.groupNum).join(u'|'), b.nameField, b.telephoneField,
                b.emailField, b.searchForCallerID, b.ringSound, b.ringSoundInterval, b.callPrefix,
                b.contactid, b.telephone2, b.telephone3, b.email2, b.freetext);
}
QStringList fields(const LocalAddressBook& b) {
    return list(b.addressBookName, b.filename, b.searchForCallerID, b.ringSound,
                b.ringSoundInterval, b.callPrefix);
}
QStringList fields(const Preferences& p) {
    return list(p.TAPIDevice, p.useTapi, p.onClose, p.multipleCall, p.incomingShowWindow,
                p.incomingPlaySound, p.incomingShowTooltip, p.defaultSound, p.ringTimerInterval,
                p.autoCloseOnDisconnect, p.useLastDRAddressBooks, p.clearDRABOnExit,
                p.defaultPrefixesForDRAB1, p.defaultPrefixesForDRAB2, p.defaultPrefixesForDRAB3,
                p.startMinimized);
}

// Records full of texts an INI file could mangle.
std::shared_ptr<DatabaseAddressBook> oddDBBook(int n) {
    auto b = std::make_shared<DatabaseAddressBook>();
    b->init();
    const QString x = QString::number(n);
    b->addressBookName = u"Customers = ; # , \\ "_s + x;
    b->dsn = u"  crm"_s + x;
    b->User = u"user\n"_s + x;
    b->password = u"p;w=d#\\"_s + x;
    b->tableName = u"\"people, staff"_s + x + u'"';
    b->readonly = n % 2 == 0;
    b->groupNum = 2;
    b->setGrouping(u"country,[ city],extra"_s);
    b->nameField = u"name"_s + x;
    b->telephoneField = u"phone"_s + x;
    b->emailField = u"mail"_s + x;
    b->searchForCallerID = n % 2 == 1;
    b->ringSound = u"/sounds/ring "_s + x + u".wav"_s;
    b->ringSoundInterval = std::int16_t(15 - n);
    b->callPrefix = u" 0"_s + x;
    b->contactid = u"id"_s + x;
    b->telephone2 = u"phone2_"_s + x;
    b->email2 = u"mail2_"_s + x;
    b->freetext = u"\"notes\r\nmore"_s + x + u'"';
    return b;
}

std::shared_ptr<LocalAddressBook> oddLocalBook(int n) {
    auto b = std::make_shared<LocalAddressBook>();
    const QString x = QString::number(n);
    b->addressBookName = u" Friends; #"_s + x;
    b->filename = u"/home/u/books/friends="_s + x + u".lab"_s;
    b->searchForCallerID = n % 2 == 0;
    b->ringSound = n == 0 ? QString() : u"\\\\server\\share\\ring.wav"_s;
    b->ringSoundInterval = std::int16_t(1 + n);
    b->callPrefix = x + u","_s;
    return b;
}

Preferences oddPreferences() {
    Preferences p;
    p.TAPIDevice = u"Simulated Line = 1; #2"_s;
    p.useTapi = true;
    p.onClose = 1;
    p.multipleCall = 1;
    p.incomingPlaySound = p.incomingShowTooltip = true;
    p.defaultSound = u"  /a b/c\\d.wav"_s;
    p.ringTimerInterval = 15;
    p.autoCloseOnDisconnect = true;
    p.defaultPrefixesForDRAB1 = u"0"_s;
    p.defaultPrefixesForDRAB2 = u"00"_s;
    p.defaultPrefixesForDRAB3 = u"+39|x"_s;
    p.startMinimized = true;
    return p;
}

void setOddGlobals(int books) {
    for (int i = 0; i < books; ++i) {
        gDBBooks.append(oddDBBook(i));
        gLocalBooks.append(oddLocalBook(i));
    }
    noDBBooks = noLocalBooks = false;
    gPreferences = std::make_shared<Preferences>(oddPreferences());
}

// Forgets everything in memory and loads the stored file again.
void reloadAndLoad() {
    store().reload();
    resetGlobals();
    loadSettings();
}

} // namespace

class TstSettings : public QObject {
    Q_OBJECT
private slots:
    void defaultsAndTheirRoundTrip() {
        TestEnv env;
        loadSettings();
        QVERIFY(noDBBooks && noLocalBooks && gDBBooks.isEmpty());
        QCOMPARE(fields(*gPreferences), QString("|0|2|0|1|0|0||2|0|1|1||||0").split(u'|'));
        QVERIFY(recentBooksExist());
        const QStringList names{u"Last Dialed"_s, u"Last Received"_s, u"Last Not Answered"_s};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(recentBookAt(i)->addressBookName, names[i]);
            QCOMPARE(recentBookAt(i)->getContactNum(), 0);
        }
        QCOMPARE(gCallDirection, CallDirection::None); // telephony was started last
        QVERIFY(!QFile::exists(env.settingsPath()));   // loading writes nothing
        // The defaults survive a save.
        const Preferences before = *gPreferences;
        saveSettings();
        reloadAndLoad();
        QCOMPARE(fields(*gPreferences), fields(before));
        QCOMPARE(get(u"dbab"_s, u"number"_s), u"0"_s);
        QCOMPARE(get(u"lab"_s, u"number"_s), u"0"_s);
        QCOMPARE(get(u"prefs"_s, u"defaultPrefixDRAB"_s), u"||"_s);
    }

    void roundTripOfEveryField() {
        TestEnv env;
        setOddGlobals(2);
        const auto db = gDBBooks;
        const auto local = gLocalBooks;
        saveSettings();
        reloadAndLoad();
        QVERIFY(!noDBBooks && !noLocalBooks);
        QCOMPARE(gDBBooks.size(), 2);
        QCOMPARE(gLocalBooks.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(fields(*gDBBooks[i]), fields(*db[i]));
            QCOMPARE(fields(*gLocalBooks[i]), fields(*local[i]));
        }
        QCOMPARE(fields(*gPreferences), fields(oddPreferences()));
        QVERIFY(!recentBooksExist()); // off: never created
        // A second save of what was loaded writes the same file.
        const QByteArray first = fileBytes(env.settingsPath());
        saveSettings();
        QCOMPARE(fileBytes(env.settingsPath()), first);
    }

    void savedKeysAndOrder() {
        TestEnv env;
        setOddGlobals(1);
        saveSettings();
        store().reload();
        QCOMPARE(store().keys(u"dbab"_s),
                 QString("number AddressBookName0 DSN0 User0 Password0 Tablename0 ReadOnly0 "
                         "GroupNum0 Group0 NameField0 TelephoneField0 EmailField0 ringSound0 "
                         "ringSoundInterval0 searchForCallerID0 callPrefix0 contactID0 "
                         "2ndtelephone0 3rdtelephone0 2ndemail0 freetext0")
                     .split(u' '));
        QCOMPARE(store().keys(u"lab"_s),
                 QString("number AddressBookName0 FileName0 ringSound0 "
                         "ringSoundInterval0 searchForCallerID0 callPrefix0")
                     .split(u' '));
        QCOMPARE(store().keys(u"prefs"_s),
                 QString("TAPIDevice useTAPI onClose multipleCall showRingWindow playSound "
                         "defaultSound showTooltip autoCloseOnDisconnect useLastDRAddressBooks "
                         "clearDRABOnExit ringTimerInterval defaultPrefixDRAB startMinimized")
                     .split(u' '));
        QCOMPARE(get(u"dbab"_s, u"ReadOnly0"_s), u"T"_s);
        QCOMPARE(get(u"dbab"_s, u"searchForCallerID0"_s), u"F"_s);
        QCOMPARE(get(u"dbab"_s, u"Group0"_s), u"country,[ city]"_s);
        QCOMPARE(get(u"prefs"_s, u"useTAPI"_s), u"1"_s);
        QCOMPARE(get(u"prefs"_s, u"showRingWindow"_s), u"0"_s);
        QCOMPARE(get(u"prefs"_s, u"defaultPrefixDRAB"_s), u"0|00|+39|x"_s);
    }

    void showTipsKeyKeptAcrossSave_data() {
        QTest::addColumn<QString>("stored");
        for (const QString& s : {QString(), u"0"_s, u"1"_s, u" 2 "_s})
            QTest::newRow(qPrintable(s.isNull() ? u"absent"_s : s)) << s;
    }
    void showTipsKeyKeptAcrossSave() {
        QFETCH(QString, stored);
        TestEnv env;
        put(u"prefs"_s, u"startMinimized"_s, u"1"_s);
        if (!stored.isNull())
            put(u"PREFS"_s, u"ShowTipsAtStartup"_s, stored);
        loadSettings();
        saveSettings();
        store().reload();
        const auto v = store().value(u"prefs"_s, u"showTipsAtStartup"_s);
        QCOMPARE(v, stored.isNull() ? std::nullopt : std::optional<QString>(stored));
    }

    void staleBookIsNotSaved() {
        TestEnv env;
        setOddGlobals(1);
        noDBBooks = noLocalBooks = true;
        put(u"dbab"_s, u"AddressBookName3"_s, u"gone"_s);
        saveSettings();
        store().reload();
        QCOMPARE(store().keys(u"dbab"_s), QStringList{u"number"_s});
        QCOMPARE(get(u"dbab"_s, u"number"_s), u"0"_s);
        QCOMPARE(store().keys(u"lab"_s), QStringList{u"number"_s});
    }

    void groupingOnSave_data() {
        QTest::addColumn<int>("groupNum");
        QTest::addColumn<QString>("grouping");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("storedNum");
        row("none", 0, "a,b", "", 0);
        row("first of two", 1, "a,b", "a", 1);
        row("empty item kept", 3, "a,,b", "a,,b", 3);
        row("count beyond the columns", 3, "a", "a", 1);
    }
    void groupingOnSave() {
        QFETCH(int, groupNum);
        QFETCH(QString, grouping);
        QFETCH(QString, stored);
        QFETCH(int, storedNum);
        TestEnv env;
        auto b = std::make_shared<DatabaseAddressBook>();
        b->init();
        b->groupNum = std::int16_t(groupNum);
        b->setGrouping(grouping);
        gDBBooks = {b};
        noDBBooks = false;
        gPreferences = std::make_shared<Preferences>();
        saveSettings();
        QCOMPARE(get(u"dbab"_s, u"Group0"_s), stored);
        QCOMPARE(get(u"dbab"_s, u"GroupNum0"_s), QString::number(storedNum));
        // The next start reads the pair that was written.
        loadSettings();
        QCOMPARE(gDBBooks[0]->groupNum, storedNum);
        QCOMPARE(gDBBooks[0]->Grouping().mid(0, storedNum).join(u','), stored);
    }

    void missingBookKeysTakeDefaults() {
        TestEnv env;
        // Only "T" is true.
        putAll(u"dbab:number=2; dbab:AddressBookName0=first; dbab:ReadOnly0=t; lab:number=1; "
               "lab:searchForCallerID0=T"_s);
        loadSettings();
        QCOMPARE(gDBBooks.size(), 2);
        QCOMPARE(fields(*gDBBooks[0]).mid(0, 7), QString("first|||||0|0").split(u'|'));
        DatabaseAddressBook fresh;
        fresh.init();
        fresh.readonly = false;
        fresh.callPrefix.clear();
        QCOMPARE(fields(*gDBBooks[1]), fields(fresh));
        QCOMPARE(gLocalBooks.size(), 1);
        QCOMPARE(gLocalBooks[0]->searchForCallerID, true);
        QCOMPARE(gLocalBooks[0]->ringSoundInterval, 1);
    }

    void bookCountsOfNoneOrLess_data() {
        QTest::addColumn<QString>("count");
        row("zero", "0");
        row("negative", "-3");
        row("rounds to zero", "0.5");
    }
    void bookCountsOfNoneOrLess() {
        QFETCH(QString, count);
        TestEnv env;
        put(u"dbab"_s, u"number"_s, count);
        put(u"lab"_s, u"number"_s, count);
        loadSettings();
        QVERIFY(noDBBooks && noLocalBooks);
    }

    // Each key goes through its own conversion; the rules themselves are
    // tested with the conversions.
    void preferenceConversions_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("error");
        row("useTAPI 2", "useTAPI", "2", 0);
        row("useTAPI empty", "useTAPI", "", 13);
        row("onClose half", "onClose", "2.5", 0);
        row("onClose overflow", "onClose", "32768", 6);
        row("ringTimerInterval word", "ringTimerInterval", "abc", 13);
        row("dbab count word", "dbab:number", "two", 13);
        row("GroupNum overflow", "dbab:GroupNum0", "40000", 6);
        row("lab interval word", "lab:ringSoundInterval0", "x", 13);
        row("table with a statement", "dbab:Tablename0", "People; DROP TABLE x", 3146);
        row("grouping with a comment", "dbab:Group0", "Dept,City--", 3146);
        row("quoted table", "dbab:Tablename0", "\"My People\"", 0);
    }
    void preferenceConversions() {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, error);
        TestEnv env;
        QString section = u"prefs"_s;
        if (key.contains(u':')) {
            section = key.section(u':', 0, 0);
            key = key.section(u':', 1);
            if (key != u"number")
                put(section, u"number"_s, u"1"_s);
        }
        put(section, key, text);
        QCOMPARE(errorOf([] { loadSettings(); }), long(error));
        if (error != 0)
            QCOMPARE(gCallDirection, 0); // telephony not started
        else if (key == u"useTAPI")
            QCOMPARE(gPreferences->useTapi, true);
        else
            QCOMPARE(gPreferences->onClose, 2);
    }

    void loadStopsAtTheFailingKey() {
        TestEnv env;
        putAll(u"lab:number=1; prefs:TAPIDevice=line; prefs:ringTimerInterval=x; "
               "prefs:startMinimized=1"_s);
        QCOMPARE(errorOf([] { loadSettings(); }), ErrNum::TypeMismatch);
        // What came before the key is loaded, what comes after is not.
        QVERIFY(!noLocalBooks);
        QCOMPARE(gPreferences->TAPIDevice, u"line"_s);
        QVERIFY(recentBooksExist());
        QCOMPARE(gPreferences->startMinimized, false);
        QCOMPARE(gCallDirection, 0);
    }

    void defaultPrefixes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        row("three", "0|00|", QStringList{"0", "00", ""});
        row("four parts", "a|b|c|d", QStringList{"a", "b", "c|d"});
        row("two bars", "||", QStringList{"", "", ""});
        row("blanks kept", " 1 | 2 | 3 ", QStringList{" 1 ", " 2 ", " 3 "});
        row("one bar", "|", QStringList());
        row("no bar", "0", QStringList());
        row("empty", "", QStringList());
    }
    void defaultPrefixes() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        TestEnv env;
        put(u"prefs"_s, u"defaultPrefixDRAB"_s, text);
        const long err = errorOf([] { loadSettings(); });
        QCOMPARE(err, expected.isEmpty() ? ErrNum::SubscriptOutOfRange : 0L);
        if (!expected.isEmpty())
            QCOMPARE(fields(*gPreferences).mid(12, 3), expected);
    }

    void failedSaveLeavesTheFile() {
        TestEnv env;
        putAll(u"dbab:number=1; dbab:AddressBookName0=kept"_s);
        const QByteArray before = fileBytes(env.settingsPath());
        setOddGlobals(1);
        gLocalBooks = {nullptr};
        QCOMPARE(errorOf([] { saveSettings(); }), ErrNum::ObjectNotSet);
        QCOMPARE(fileBytes(env.settingsPath()), before);
        gPreferences.reset();
        gLocalBooks.clear();
        noLocalBooks = true;
        QCOMPARE(errorOf([] { saveSettings(); }), ErrNum::ObjectNotSet);
        QCOMPARE(fileBytes(env.settingsPath()), before);
    }

    // ---- plug-in section ----

    void pluginSection_data() {
        QTest::addColumn<QString>("enabled");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("expPort"); // 0: plug-ins off
        QTest::addColumn<int>("expCount");
        const QString absent;
        // Only an exact "1" turns plug-ins on.
        row("on", "1", "40000", "1", 40000, 1);
        for (const char* t : {"true", " 1", "1.0", ""})
            row(qPrintable(u"enabled '%1'"_s.arg(t)), t, "40000", "1", 0, 0);
        // A bad server port falls back to the default.
        row("port absent", "1", absent, "1", 5577, 1);
        row("port zero", "1", "0", "1", 5577, 1);
        row("port word", "1", "port", "1", 5577, 1);
        row("port blanks and exponent", "1", " 4e4 ", "1", 40000, 1);
        row("port half to even", "1", "5578.5", "1", 5578, 1);
        row("port out of range", "1", "3000000000", "1", 5577, 1);
        // A bad count means none.
        row("count absent", "1", absent, absent, 5577, 0);
        row("count negative", "1", absent, "-2", 5577, 0);
        row("count word", "1", absent, "two", 5577, 0);
        row("count beyond 16 bits", "1", absent, "32768", 5577, 0);
        row("count two", "1", absent, "2", 5577, 2);
    }
    void pluginSection() {
        QFETCH(QString, enabled);
        QFETCH(QString, port);
        QFETCH(QString, number);
        QFETCH(int, expPort);
        QFETCH(int, expCount);
        TestEnv env;
        put(u"plugins"_s, u"enabled"_s, enabled);
        if (!port.isNull())
            put(u"plugins"_s, u"serverPort"_s, port);
        if (!number.isNull())
            put(u"plugins"_s, u"number"_s, number);
        loadPlugInSettings();
        QCOMPARE(plugInsEnabled, expPort != 0);
        QCOMPARE(serverPort, expPort);
        QCOMPARE(noPlugIns, expCount == 0);
        QCOMPARE(plugIns.size(), expCount);
        for (const auto& p : plugIns) {
            QCOMPARE((QStringList{p->name, p->description, p->remoteHost}),
                     (QStringList{u"plugin"_s, u"plugin"_s, u"127.0.0.1"_s}));
            QCOMPARE(p->remotePort, 5576);
            QCOMPARE(p->connected, false);
        }
    }

    void badRemotePortFailsTheLoad() {
        TestEnv env;
        putAll(u"plugins:enabled=1; plugins:number=2; plugins:remotePort1=any"_s);
        QCOMPARE(errorOf([] { loadPlugInSettings(); }), ErrNum::TypeMismatch);
        QVERIFY(plugIns.isEmpty() && noPlugIns);
    }

    void pluginRoundTrip() {
        TestEnv env;
        plugInsEnabled = true;
        serverPort = 40001;
        noPlugIns = false;
        for (int i = 0; i < 3; ++i) {
            auto p = std::make_shared<PlugIn>();
            p->name = u"Plug = %1; #"_s.arg(i);
            p->description = u"  line\nbreak %1"_s.arg(i);
            p->remoteHost = u"127.0.0.%1"_s.arg(i + 1);
            p->remotePort = i * 1000;
            p->connected = true;
            plugIns.append(p);
        }
        const auto saved = plugIns;
        savePlugInSettings();
        store().reload();
        QCOMPARE(store().keys(u"plugins"_s).mid(0, 7),
                 QString("enabled serverPort number name0 description0 remoteHost0 remotePort0")
                     .split(u' '));
        resetGlobals();
        loadPlugInSettings();
        QVERIFY(plugInsEnabled);
        QCOMPARE(serverPort, 40001);
        QCOMPARE(plugIns.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const PlugIn &a = *plugIns[i], &b = *saved[i];
            QCOMPARE((QStringList{a.name, a.description, a.remoteHost}),
                     (QStringList{b.name, b.description, b.remoteHost}));
            QCOMPARE(a.remotePort, b.remotePort);
            QCOMPARE(a.connected, false);
        }
    }

    void pluginSaveWhenOffOrEmpty() {
        TestEnv env;
        put(u"plugins"_s, u"name5"_s, u"stale"_s);
        plugInsEnabled = false;
        serverPort = 40000;
        noPlugIns = false;
        plugIns = {std::make_shared<PlugIn>()};
        savePlugInSettings();
        store().reload();
        QCOMPARE(store().keys(u"plugins"_s), QStringList{u"enabled"_s});
        QCOMPARE(get(u"plugins"_s, u"enabled"_s), u"0"_s);
        resetGlobals();
        loadPlugInSettings();
        QCOMPARE(serverPort, 0);
        QVERIFY(noPlugIns);

        plugInsEnabled = true;
        serverPort = 5577;
        noPlugIns = true;
        plugIns = {std::make_shared<PlugIn>()}; // stale
        savePlugInSettings();
        store().reload();
        QCOMPARE(store().keys(u"plugins"_s), QString("enabled serverPort number").split(u' '));
        QCOMPARE(get(u"plugins"_s, u"number"_s), u"0"_s);
        QCOMPARE(get(u"plugins"_s, u"enabled"_s), u"1"_s);
    }
};

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
