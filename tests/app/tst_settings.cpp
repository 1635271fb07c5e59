#include "app/errors.h"
#include "app/globals.h"
#include "app/pluginsettings.h"
#include "app/settings.h"
#include "common/testenv.h"
#include "platform/settingsstore.h"

#include <QTest>

namespace {

SettingsStore& store() {
    return SettingsStore::instance();
}

void put(const QString& section, const QString& key, const QString& value) {
    store().write(section, key, value);
}

QString get(const QString& section, const QString& key) {
    return store().read(section, key, QStringLiteral("<absent>"));
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

// Forgets everything in memory and reads the stored file again.
void reloadFromFile() {
    store().reload();
    resetGlobals();
}

std::shared_ptr<DatabaseAddressBook> oddDBBook(int n) {
    auto b = std::make_shared<DatabaseAddressBook>();
    b->init();
    const QString x = QString::number(n);
    b->addressBookName = QStringLiteral("Customers = ; # , \\ ") + x;
    b->dsn = QStringLiteral("  crm") + x;
    b->User = QStringLiteral("user\n") + x;
    b->password = QStringLiteral("p;w=d#\\") + x;
    b->tableName = QStringLiteral("people, staff") + x;
    b->readonly = n % 2 == 0;
    b->groupNum = 2;
    b->setGrouping(QStringLiteral("country, city,extra"));
    b->nameField = QStringLiteral("name") + x;
    b->telephoneField = QStringLiteral("phone") + x;
    b->emailField = QStringLiteral("mail") + x;
    b->searchForCallerID = n % 2 == 1;
    b->ringSound = QStringLiteral("/sounds/ring ") + x + QStringLiteral(".wav");
    b->ringSoundInterval = std::int16_t(15 - n);
    b->callPrefix = QStringLiteral(" 0") + x;
    b->contactid = QStringLiteral("id") + x;
    b->telephone2 = QStringLiteral("phone2_") + x;
    b->telephone3 = QString();
    b->email2 = QStringLiteral("mail2_") + x;
    b->freetext = QStringLiteral("notes\r\nmore") + x;
    return b;
}

std::shared_ptr<LocalAddressBook> oddLocalBook(int n) {
    auto b = std::make_shared<LocalAddressBook>();
    const QString x = QString::number(n);
    b->addressBookName = QStringLiteral(" Friends; #") + x;
    b->filename = QStringLiteral("/home/u/books/friends=") + x + QStringLiteral(".lab");
    b->searchForCallerID = n % 2 == 0;
    b->ringSound = n == 0 ? QString() : QStringLiteral("\\\\server\\share\\ring.wav");
    b->ringSoundInterval = std::int16_t(1 + n);
    b->callPrefix = x + QStringLiteral(",");
    return b;
}

Preferences oddPreferences() {
    Preferences p;
    p.TAPIDevice = QStringLiteral("Simulated Line = 1; #2");
    p.useTapi = true;
    p.onClose = 1;
    p.multipleCall = 1;
    p.incomingShowWindow = false;
    p.incomingPlaySound = true;
    p.incomingShowTooltip = true;
    p.defaultSound = QStringLiteral("  /a b/c\\d.wav");
    p.ringTimerInterval = 15;
    p.autoCloseOnDisconnect = true;
    p.useLastDRAddressBooks = false;
    p.clearDRABOnExit = false;
    p.defaultPrefixesForDRAB1 = QStringLiteral("0");
    p.defaultPrefixesForDRAB2 = QStringLiteral("00");
    p.defaultPrefixesForDRAB3 = QStringLiteral("+39|x");
    p.startMinimized = true;
    return p;
}

void compareDB(const DatabaseAddressBook& a, const DatabaseAddressBook& b) {
    QCOMPARE(a.addressBookName, b.addressBookName);
    QCOMPARE(a.dsn, b.dsn);
    QCOMPARE(a.User, b.User);
    QCOMPARE(a.password, b.password);
    QCOMPARE(a.tableName, b.tableName);
    QCOMPARE(a.readonly, b.readonly);
    QCOMPARE(a.groupNum, b.groupNum);
    QCOMPARE(a.Grouping().mid(0, a.groupNum), b.Grouping().mid(0, b.groupNum));
    QCOMPARE(a.nameField, b.nameField);
    QCOMPARE(a.telephoneField, b.telephoneField);
    QCOMPARE(a.emailField, b.emailField);
    QCOMPARE(a.searchForCallerID, b.searchForCallerID);
    QCOMPARE(a.ringSound, b.ringSound);
    QCOMPARE(a.ringSoundInterval, b.ringSoundInterval);
    QCOMPARE(a.callPrefix, b.callPrefix);
    QCOMPARE(a.contactid, b.contactid);
    QCOMPARE(a.telephone2, b.telephone2);
    QCOMPARE(a.telephone3, b.telephone3);
    QCOMPARE(a.email2, b.email2);
    QCOMPARE(a.freetext, b.freetext);
}

void compareLocal(const LocalAddressBook& a, const LocalAddressBook& b) {
    QCOMPARE(a.addressBookName, b.addressBookName);
    QCOMPARE(a.filename, b.filename);
    QCOMPARE(a.searchForCallerID, b.searchForCallerID);
    QCOMPARE(a.ringSound, b.ringSound);
    QCOMPARE(a.ringSoundInterval, b.ringSoundInterval);
    QCOMPARE(a.callPrefix, b.callPrefix);
}

void comparePrefs(const Preferences& a, const Preferences& b) {
    QCOMPARE(a.TAPIDevice, b.TAPIDevice);
    QCOMPARE(a.useTapi, b.useTapi);
    QCOMPARE(a.onClose, b.onClose);
    QCOMPARE(a.multipleCall, b.multipleCall);
    QCOMPARE(a.incomingShowWindow, b.incomingShowWindow);
    QCOMPARE(a.incomingPlaySound, b.incomingPlaySound);
    QCOMPARE(a.incomingShowTooltip, b.incomingShowTooltip);
    QCOMPARE(a.defaultSound, b.defaultSound);
    QCOMPARE(a.ringTimerInterval, b.ringTimerInterval);
    QCOMPARE(a.autoCloseOnDisconnect, b.autoCloseOnDisconnect);
    QCOMPARE(a.useLastDRAddressBooks, b.useLastDRAddressBooks);
    QCOMPARE(a.clearDRABOnExit, b.clearDRABOnExit);
    QCOMPARE(a.defaultPrefixesForDRAB1, b.defaultPrefixesForDRAB1);
    QCOMPARE(a.defaultPrefixesForDRAB2, b.defaultPrefixesForDRAB2);
    QCOMPARE(a.defaultPrefixesForDRAB3, b.defaultPrefixesForDRAB3);
    QCOMPARE(a.startMinimized, b.startMinimized);
}

} // namespace

class TstSettings : public QObject {
    Q_OBJECT
private slots:
    void emptyStoreGivesDefaults() {
        TestEnv env;
        loadSettings();
        QVERIFY(noDBBooks);
        QVERIFY(noLocalBooks);
        QVERIFY(gDBBooks.isEmpty());
        QVERIFY(gPreferences);
        const Preferences& p = *gPreferences;
        QCOMPARE(p.TAPIDevice, QString());
        QCOMPARE(p.useTapi, false);
        QCOMPARE(p.onClose, 2);
        QCOMPARE(p.multipleCall, 0);
        QCOMPARE(p.incomingShowWindow, true);
        QCOMPARE(p.incomingPlaySound, false);
        QCOMPARE(p.incomingShowTooltip, false);
        QCOMPARE(p.defaultSound, QString());
        QCOMPARE(p.autoCloseOnDisconnect, false);
        QCOMPARE(p.useLastDRAddressBooks, true);
        QCOMPARE(p.clearDRABOnExit, true);
        QCOMPARE(p.ringTimerInterval, 2);
        QCOMPARE(p.defaultPrefixesForDRAB1, QString());
        QCOMPARE(p.defaultPrefixesForDRAB2, QString());
        QCOMPARE(p.defaultPrefixesForDRAB3, QString());
        QCOMPARE(p.startMinimized, false);
        QVERIFY(recentBooksExist());
        const QStringList names{QStringLiteral("Last Dialed"), QStringLiteral("Last Received"),
                                QStringLiteral("Last Not Answered")};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(recentBookAt(i)->addressBookName, names[i]);
            QCOMPARE(recentBookAt(i)->getContactNum(), 0);
        }
        // Telephony was started last.
        QCOMPARE(gCallDirection, CallDirection::None);
        // Loading writes nothing.
        QVERIFY(!QFile::exists(env.settingsPath()));
    }

    void roundTripOfEveryField() {
        TestEnv env;
        const QList<std::shared_ptr<DatabaseAddressBook>> db{oddDBBook(0), oddDBBook(1)};
        const QList<std::shared_ptr<LocalAddressBook>> local{oddLocalBook(0), oddLocalBook(1)};
        const Preferences prefs = oddPreferences();
        gDBBooks = db;
        noDBBooks = false;
        gLocalBooks = local;
        noLocalBooks = false;
        gPreferences = std::make_shared<Preferences>(prefs);
        saveSettings();

        reloadFromFile();
        loadSettings();
        QVERIFY(!noDBBooks);
        QVERIFY(!noLocalBooks);
        QCOMPARE(gDBBooks.size(), 2);
        QCOMPARE(gLocalBooks.size(), 2);
        for (int i = 0; i < 2; ++i) {
            compareDB(*gDBBooks[i], *db[i]);
            compareLocal(*gLocalBooks[i], *local[i]);
        }
        comparePrefs(*gPreferences, prefs);
        // Recent-call books stay uncreated when they are off.
        QVERIFY(!recentBooksExist());

        // A second save of what was loaded writes the same file.
        QFile f(env.settingsPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray first = f.readAll();
        f.close();
        saveSettings();
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), first);
    }

    void defaultsRoundTrip() {
        TestEnv env;
        loadSettings();
        saveSettings();
        const Preferences before = *gPreferences;
        reloadFromFile();
        loadSettings();
        comparePrefs(*gPreferences, before);
        QCOMPARE(get(QStringLiteral("dbab"), QStringLiteral("number")), QStringLiteral("0"));
        QCOMPARE(get(QStringLiteral("lab"), QStringLiteral("number")), QStringLiteral("0"));
        QCOMPARE(get(QStringLiteral("prefs"), QStringLiteral("defaultPrefixDRAB")),
                 QStringLiteral("||"));
    }

    void savedKeysAndOrder() {
        TestEnv env;
        gDBBooks = {oddDBBook(0)};
        noDBBooks = false;
        gLocalBooks = {oddLocalBook(0)};
        noLocalBooks = false;
        gPreferences = std::make_shared<Preferences>(oddPreferences());
        saveSettings();
        store().reload();
        QCOMPARE(store().keys(QStringLiteral("dbab")),
                 QString("number AddressBookName0 DSN0 User0 Password0 Tablename0 ReadOnly0 "
                         "GroupNum0 Group0 "
                         "NameField0 TelephoneField0 EmailField0 ringSound0 ringSoundInterval0 "
                         "searchForCallerID0 "
                         "callPrefix0 contactID0 2ndtelephone0 3rdtelephone0 2ndemail0 freetext0")
                     .split(u' '));
        QCOMPARE(store().keys(QStringLiteral("lab")),
                 QString("number AddressBookName0 FileName0 ringSound0 ringSoundInterval0 "
                         "searchForCallerID0 "
                         "callPrefix0")
                     .split(u' '));
        QCOMPARE(
            store().keys(QStringLiteral("prefs")),
            QString("TAPIDevice useTAPI onClose multipleCall showRingWindow playSound defaultSound "
                    "showTooltip "
                    "autoCloseOnDisconnect useLastDRAddressBooks clearDRABOnExit ringTimerInterval "
                    "defaultPrefixDRAB startMinimized")
                .split(u' '));
        QCOMPARE(get(QStringLiteral("dbab"), QStringLiteral("ReadOnly0")), QStringLiteral("T"));
        QCOMPARE(get(QStringLiteral("dbab"), QStringLiteral("searchForCallerID0")),
                 QStringLiteral("F"));
        QCOMPARE(get(QStringLiteral("dbab"), QStringLiteral("Group0")),
                 QStringLiteral("country, city"));
        QCOMPARE(get(QStringLiteral("prefs"), QStringLiteral("useTAPI")), QStringLiteral("1"));
        QCOMPARE(get(QStringLiteral("prefs"), QStringLiteral("showRingWindow")),
                 QStringLiteral("0"));
        QCOMPARE(get(QStringLiteral("prefs"), QStringLiteral("defaultPrefixDRAB")),
                 QStringLiteral("0|00|+39|x"));
    }

    void showTipsKeyKeptAcrossSave_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("absent") << QString();
        QTest::newRow("off") << QStringLiteral("0");
        QTest::newRow("on") << QStringLiteral("1");
        QTest::newRow("odd") << QStringLiteral(" 2 ");
    }
    void showTipsKeyKeptAcrossSave() {
        QFETCH(QString, stored);
        TestEnv env;
        put(QStringLiteral("prefs"), QStringLiteral("startMinimized"), QStringLiteral("1"));
        if (!stored.isNull())
            put(QStringLiteral("PREFS"), QStringLiteral("ShowTipsAtStartup"), stored);
        loadSettings();
        saveSettings();
        store().reload();
        const auto v = store().value(QStringLiteral("prefs"), QStringLiteral("showTipsAtStartup"));
        if (stored.isNull())
            QVERIFY(!v);
        else
            QCOMPARE(v, std::optional<QString>(stored));
    }

    void staleBookIsNotSaved() {
        TestEnv env;
        gDBBooks = {oddDBBook(0)};
        noDBBooks = true;
        gLocalBooks = {oddLocalBook(0)};
        noLocalBooks = true;
        gPreferences = std::make_shared<Preferences>();
        put(QStringLiteral("dbab"), QStringLiteral("AddressBookName3"), QStringLiteral("gone"));
        saveSettings();
        store().reload();
        QCOMPARE(store().keys(QStringLiteral("dbab")), QStringList{QStringLiteral("number")});
        QCOMPARE(get(QStringLiteral("dbab"), QStringLiteral("number")), QStringLiteral("0"));
        QCOMPARE(store().keys(QStringLiteral("lab")), QStringList{QStringLiteral("number")});
    }

    void groupingOnSave_data() {
        QTest::addColumn<int>("groupNum");
        QTest::addColumn<QString>("grouping");
        QTest::addColumn<QString>("stored");
        QTest::newRow("none") << 0 << "a,b"
                              << "";
        QTest::newRow("first of two") << 1 << "a,b"
                                      << "a";
        QTest::newRow("empty item kept") << 3 << "a,,b"
                                         << "a,,b";
        QTest::newRow("count beyond the columns") << 3 << "a"
                                                  << "a";
    }
    void groupingOnSave() {
        QFETCH(int, groupNum);
        QFETCH(QString, grouping);
        QFETCH(QString, stored);
        TestEnv env;
        auto b = std::make_shared<DatabaseAddressBook>();
        b->init();
        b->groupNum = std::int16_t(groupNum);
        b->setGrouping(grouping);
        gDBBooks = {b};
        noDBBooks = false;
        gPreferences = std::make_shared<Preferences>();
        saveSettings();
        QCOMPARE(get(QStringLiteral("dbab"), QStringLiteral("Group0")), stored);
        QCOMPARE(get(QStringLiteral("dbab"), QStringLiteral("GroupNum0")),
                 QString::number(groupNum));
    }

    void missingBookKeysTakeDefaults() {
        TestEnv env;
        put(QStringLiteral("dbab"), QStringLiteral("number"), QStringLiteral("2"));
        put(QStringLiteral("dbab"), QStringLiteral("AddressBookName0"), QStringLiteral("first"));
        put(QStringLiteral("dbab"), QStringLiteral("ReadOnly0"), QStringLiteral("t"));
        put(QStringLiteral("dbab"), QStringLiteral("freetext0"), QStringLiteral("notes"));
        put(QStringLiteral("lab"), QStringLiteral("number"), QStringLiteral("1"));
        put(QStringLiteral("lab"), QStringLiteral("searchForCallerID0"), QStringLiteral("T"));
        loadSettings();
        QCOMPARE(gDBBooks.size(), 2);
        QCOMPARE(gDBBooks[0]->addressBookName, QStringLiteral("first"));
        QCOMPARE(gDBBooks[0]->readonly, false); // only "T" is true
        QCOMPARE(gDBBooks[0]->freetext, QStringLiteral("notes"));
        const DatabaseAddressBook& second = *gDBBooks[1];
        QCOMPARE(second.addressBookName, QString());
        QCOMPARE(second.readonly, false);
        QCOMPARE(second.ringSoundInterval, 1);
        QCOMPARE(second.groupNum, 0);
        QCOMPARE(second.Grouping(), QStringList{QString()});
        QCOMPARE(second.callPrefix, QString());
        QCOMPARE(gLocalBooks.size(), 1);
        QCOMPARE(gLocalBooks[0]->searchForCallerID, true);
        QCOMPARE(gLocalBooks[0]->ringSoundInterval, 1);
    }

    void bookCountsOfNoneOrLess_data() {
        QTest::addColumn<QString>("count");
        QTest::newRow("zero") << "0";
        QTest::newRow("negative") << "-3";
        QTest::newRow("rounds to zero") << "0.5";
    }
    void bookCountsOfNoneOrLess() {
        QFETCH(QString, count);
        TestEnv env;
        put(QStringLiteral("dbab"), QStringLiteral("number"), count);
        put(QStringLiteral("lab"), QStringLiteral("number"), count);
        loadSettings();
        QVERIFY(noDBBooks);
        QVERIFY(noLocalBooks);
    }

    void preferenceConversions_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("error");
        QTest::newRow("useTAPI -1") << "useTAPI"
                                    << "-1" << 0;
        QTest::newRow("useTAPI 2") << "useTAPI"
                                   << "2" << 0;
        QTest::newRow("useTAPI 0") << "useTAPI"
                                   << "0" << 0;
        QTest::newRow("useTAPI blanks") << "useTAPI"
                                        << " 1 " << 0;
        QTest::newRow("useTAPI word") << "useTAPI"
                                      << "yes" << 13;
        QTest::newRow("useTAPI empty") << "useTAPI"
                                       << "" << 13;
        QTest::newRow("onClose half") << "onClose"
                                      << "2.5" << 0;
        QTest::newRow("onClose exponent") << "onClose"
                                          << "1e0" << 0;
        QTest::newRow("onClose overflow") << "onClose"
                                          << "32768" << 6;
        QTest::newRow("ringTimerInterval word") << "ringTimerInterval"
                                                << "abc" << 13;
        QTest::newRow("startMinimized word") << "startMinimized"
                                             << "on" << 13;
        QTest::newRow("dbab count word") << "dbab:number"
                                         << "two" << 13;
        QTest::newRow("GroupNum overflow") << "dbab:GroupNum0"
                                           << "40000" << 6;
        QTest::newRow("lab interval word") << "lab:ringSoundInterval0"
                                           << "x" << 13;
    }
    void preferenceConversions() {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(int, error);
        TestEnv env;
        QString section = QStringLiteral("prefs");
        if (key.contains(u':')) {
            section = key.section(u':', 0, 0);
            key = key.section(u':', 1);
            if (section != QLatin1String("dbab") || key != QLatin1String("number"))
                put(section, QStringLiteral("number"), QStringLiteral("1"));
        }
        put(section, key, text);
        const long got = errorOf([] { loadSettings(); });
        QCOMPARE(got, long(error));
        if (error != 0)
            QCOMPARE(gCallDirection, 0); // telephony not started
        else if (key == QLatin1String("useTAPI"))
            QCOMPARE(gPreferences->useTapi, text.trimmed() != QLatin1String("0"));
        else if (key == QLatin1String("onClose"))
            QCOMPARE(gPreferences->onClose, text == QLatin1String("2.5") ? 2 : 1);
    }

    void failureNamesTheSetting() {
        TestEnv env;
        put(QStringLiteral("prefs"), QStringLiteral("multipleCall"), QStringLiteral("many"));
        try {
            loadSettings();
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), ErrNum::TypeMismatch);
            QVERIFY2(e.description().contains(QStringLiteral("multipleCall")),
                     qPrintable(e.description()));
            QVERIFY2(e.description().contains(QStringLiteral("many")), qPrintable(e.description()));
        }
    }

    void loadStopsAtTheFailingKey() {
        TestEnv env;
        put(QStringLiteral("lab"), QStringLiteral("number"), QStringLiteral("1"));
        put(QStringLiteral("prefs"), QStringLiteral("TAPIDevice"), QStringLiteral("line"));
        put(QStringLiteral("prefs"), QStringLiteral("ringTimerInterval"), QStringLiteral("x"));
        put(QStringLiteral("prefs"), QStringLiteral("startMinimized"), QStringLiteral("1"));
        QCOMPARE(errorOf([] { loadSettings(); }), ErrNum::TypeMismatch);
        // What came before the key is loaded, what comes after is not.
        QVERIFY(!noLocalBooks);
        QCOMPARE(gPreferences->TAPIDevice, QStringLiteral("line"));
        QVERIFY(recentBooksExist());
        QCOMPARE(gPreferences->startMinimized, false);
        QCOMPARE(gCallDirection, 0);
    }

    void defaultPrefixes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("three") << "0|00|" << QStringList{"0", "00", ""};
        QTest::newRow("four parts") << "a|b|c|d" << QStringList{"a", "b", "c|d"};
        QTest::newRow("two bars") << "||" << QStringList{"", "", ""};
        QTest::newRow("blanks kept") << " 1 | 2 | 3 " << QStringList{" 1 ", " 2 ", " 3 "};
        QTest::newRow("one bar") << "|" << QStringList();
        QTest::newRow("no bar") << "0" << QStringList();
        QTest::newRow("empty") << "" << QStringList();
    }
    void defaultPrefixes() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        TestEnv env;
        put(QStringLiteral("prefs"), QStringLiteral("defaultPrefixDRAB"), text);
        const long err = errorOf([] { loadSettings(); });
        if (expected.isEmpty()) {
            QCOMPARE(err, ErrNum::SubscriptOutOfRange);
            return;
        }
        QCOMPARE(err, 0L);
        QCOMPARE(gPreferences->defaultPrefixesForDRAB1, expected[0]);
        QCOMPARE(gPreferences->defaultPrefixesForDRAB2, expected[1]);
        QCOMPARE(gPreferences->defaultPrefixesForDRAB3, expected[2]);
    }

    void failedSaveLeavesTheFile() {
        TestEnv env;
        put(QStringLiteral("dbab"), QStringLiteral("number"), QStringLiteral("1"));
        put(QStringLiteral("dbab"), QStringLiteral("AddressBookName0"), QStringLiteral("kept"));
        QFile f(env.settingsPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        gDBBooks = {oddDBBook(0)};
        noDBBooks = false;
        gLocalBooks = {nullptr};
        noLocalBooks = false;
        gPreferences = std::make_shared<Preferences>();
        QCOMPARE(errorOf([] { saveSettings(); }), ErrNum::ObjectNotSet);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        f.close();
        gPreferences.reset();
        gLocalBooks.clear();
        noLocalBooks = true;
        QCOMPARE(errorOf([] { saveSettings(); }), ErrNum::ObjectNotSet);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    // ---- plug-in section ----

    void pluginsEnabledOnlyByExactOne_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("1") << "1" << true;
        QTest::newRow("true") << "true" << false;
        QTest::newRow("yes") << "yes" << false;
        QTest::newRow("blank 1") << " 1" << false;
        QTest::newRow("1.0") << "1.0" << false;
        QTest::newRow("empty") << "" << false;
    }
    void pluginsEnabledOnlyByExactOne() {
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        TestEnv env;
        put(QStringLiteral("plugins"), QStringLiteral("enabled"), text);
        put(QStringLiteral("plugins"), QStringLiteral("serverPort"), QStringLiteral("40000"));
        put(QStringLiteral("plugins"), QStringLiteral("number"), QStringLiteral("1"));
        loadPlugInSettings();
        QCOMPARE(plugInsEnabled, enabled);
        QCOMPARE(serverPort, enabled ? 40000 : 0);
        QCOMPARE(noPlugIns, !enabled);
        QCOMPARE(plugIns.size(), enabled ? 1 : 0);
    }

    void pluginServerPort_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::newRow("absent") << QString() << 5577;
        QTest::newRow("zero") << "0" << 5577;
        QTest::newRow("empty") << "" << 5577;
        QTest::newRow("word") << "port" << 5577;
        QTest::newRow("40000") << "40000" << 40000;
        QTest::newRow("blanks and exponent") << " 4e4 " << 40000;
        QTest::newRow("half to even") << "5578.5" << 5578;
        QTest::newRow("out of range") << "3000000000" << 5577;
    }
    void pluginServerPort() {
        QFETCH(QString, text);
        QFETCH(int, port);
        TestEnv env;
        put(QStringLiteral("plugins"), QStringLiteral("enabled"), QStringLiteral("1"));
        if (!text.isNull())
            put(QStringLiteral("plugins"), QStringLiteral("serverPort"), text);
        loadPlugInSettings();
        QCOMPARE(::serverPort, port);
    }

    void pluginCount_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("absent") << QString() << 0;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("negative") << "-2" << 0;
        QTest::newRow("word") << "two" << 0;
        QTest::newRow("beyond 16 bits") << "32768" << 0;
        QTest::newRow("two") << "2" << 2;
    }
    void pluginCount() {
        QFETCH(QString, text);
        QFETCH(int, count);
        TestEnv env;
        put(QStringLiteral("plugins"), QStringLiteral("enabled"), QStringLiteral("1"));
        if (!text.isNull())
            put(QStringLiteral("plugins"), QStringLiteral("number"), text);
        loadPlugInSettings();
        QCOMPARE(noPlugIns, count == 0);
        QCOMPARE(plugIns.size(), count);
        for (const auto& p : plugIns) {
            QCOMPARE(p->name, QStringLiteral("plugin"));
            QCOMPARE(p->description, QStringLiteral("plugin"));
            QCOMPARE(p->remoteHost, QStringLiteral("127.0.0.1"));
            QCOMPARE(p->remotePort, 5576);
            QCOMPARE(p->connected, false);
        }
    }

    void badRemotePortFailsTheLoad() {
        TestEnv env;
        put(QStringLiteral("plugins"), QStringLiteral("enabled"), QStringLiteral("1"));
        put(QStringLiteral("plugins"), QStringLiteral("number"), QStringLiteral("2"));
        put(QStringLiteral("plugins"), QStringLiteral("remotePort1"), QStringLiteral("any"));
        QCOMPARE(errorOf([] { loadPlugInSettings(); }), ErrNum::TypeMismatch);
        QVERIFY(plugIns.isEmpty());
        QVERIFY(noPlugIns);
    }

    void pluginRoundTrip() {
        TestEnv env;
        plugInsEnabled = true;
        serverPort = 40001;
        noPlugIns = false;
        for (int i = 0; i < 3; ++i) {
            auto p = std::make_shared<PlugIn>();
            p->name = QStringLiteral("Plug = %1; #").arg(i);
            p->description = QStringLiteral("  line\nbreak %1").arg(i);
            p->remoteHost = QStringLiteral("127.0.0.%1").arg(i + 1);
            p->remotePort = i * 1000;
            p->connected = true;
            plugIns.append(p);
        }
        const auto saved = plugIns;
        savePlugInSettings();
        store().reload();
        QCOMPARE(store().keys(QStringLiteral("plugins")).mid(0, 7),
                 QString("enabled serverPort number name0 description0 remoteHost0 remotePort0")
                     .split(u' '));
        resetGlobals();
        loadPlugInSettings();
        QVERIFY(plugInsEnabled);
        QCOMPARE(serverPort, 40001);
        QCOMPARE(plugIns.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(plugIns[i]->name, saved[i]->name);
            QCOMPARE(plugIns[i]->description, saved[i]->description);
            QCOMPARE(plugIns[i]->remoteHost, saved[i]->remoteHost);
            QCOMPARE(plugIns[i]->remotePort, saved[i]->remotePort);
            QCOMPARE(plugIns[i]->connected, false);
        }
    }

    void pluginSaveWhenOffOrEmpty() {
        TestEnv env;
        put(QStringLiteral("plugins"), QStringLiteral("name5"), QStringLiteral("stale"));
        plugInsEnabled = false;
        serverPort = 40000;
        noPlugIns = false;
        plugIns = {std::make_shared<PlugIn>()};
        savePlugInSettings();
        store().reload();
        QCOMPARE(store().keys(QStringLiteral("plugins")), QStringList{QStringLiteral("enabled")});
        QCOMPARE(get(QStringLiteral("plugins"), QStringLiteral("enabled")), QStringLiteral("0"));
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
        QCOMPARE(store().keys(QStringLiteral("plugins")),
                 QString("enabled serverPort number").split(u' '));
        QCOMPARE(get(QStringLiteral("plugins"), QStringLiteral("number")), QStringLiteral("0"));
        QCOMPARE(get(QStringLiteral("plugins"), QStringLiteral("enabled")), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
