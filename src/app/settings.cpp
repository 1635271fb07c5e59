#include "app/settings.h"

#include "addressbooks/dbfunctions.h"
#include "app/convert.h"
#include "platform/errors.h"
#include "app/globals.h"
#include "app/strings.h"
#include "platform/settingsstore.h"
#include "telephony/tapisetup.h"

namespace {

const QString kDBBooks = QStringLiteral("dbab");
const QString kLocalBooks = QStringLiteral("lab");
const QString kPrefs = QStringLiteral("prefs");
const QString kShowTips = QStringLiteral("showTipsAtStartup");

QString readText(const QString& section, const QString& key, const QString& def) {
    return SettingsStore::instance().read(section, key, def);
}

// A value that can't be used stops the load, saying which setting holds
// what and why; the number tells the error report what kind of fault it is.
[[noreturn]] void badSetting(long number, const QString& section, const QString& key,
                             const QString& text, const QString& why) {
    raiseError(number, loadResString(16308).arg(key, section, text, why),
               QStringLiteral("Settings"));
}

std::int16_t readInt16(const QString& section, const QString& key, const QString& def) {
    return std::int16_t(readWholeSetting(section, key, def, INT16_MIN, INT16_MAX));
}

// Seconds between ring sounds. The ring timer holds at most 32 of them; below
// 1 the sound repeats every second.
std::int16_t readInterval(const QString& section, const QString& key, const QString& def) {
    const std::int16_t v = readInt16(section, key, def);
    if (v > 32)
        badSetting(ErrNum::Overflow, section, key, readText(section, key, def),
                   loadResString(16310).arg(1).arg(32));
    return v;
}

bool readFlag(const QString& section, const QString& key, const QString& def) {
    return readNumberSetting(section, key, def) != 0.0;
}

// A table or column name of a Database book (a list at "," when list):
// refused, naming the setting, unless it is a plain SQL name.
QString readBookName(const QString& section, const QString& key, const QString& book,
                     bool list = false) {
    const QString text = readText(section, key, QString());
    try {
        for (const QString& name : list ? text.split(u',') : QStringList{text})
            checkBookSqlName(book, name);
    } catch (const AppError& e) {
        badSetting(e.number(), section, key, text, e.description());
    }
    return text;
}

bool readBookFlag(const QString& section, const QString& key) {
    return readText(section, key, QStringLiteral("F")) == QLatin1String("T");
}

QString flagText(bool v) {
    return v ? QStringLiteral("1") : QStringLiteral("0");
}
QString bookFlagText(bool v) {
    return v ? QStringLiteral("T") : QStringLiteral("F");
}
QString num(long long v) {
    return convert::toText(v);
}

QList<std::shared_ptr<DatabaseAddressBook>> loadDBBooks(std::int16_t n) {
    QList<std::shared_ptr<DatabaseAddressBook>> books;
    const QString& s = kDBBooks;
    for (int i = 0; i < n; ++i) {
        const QString x = num(i);
        auto b = std::make_shared<DatabaseAddressBook>();
        b->init();
        b->addressBookName = readText(s, QStringLiteral("AddressBookName") + x, QString());
        b->dsn = readText(s, QStringLiteral("DSN") + x, QString());
        b->User = readText(s, QStringLiteral("User") + x, QString());
        b->password = readText(s, QStringLiteral("Password") + x, QString());
        b->tableName = readBookName(s, QStringLiteral("Tablename") + x, b->addressBookName);
        b->readonly = readBookFlag(s, QStringLiteral("ReadOnly") + x);
        const std::int16_t groupNum =
            readInt16(s, QStringLiteral("GroupNum") + x, QStringLiteral("0"));
        b->setGrouping(readBookName(s, QStringLiteral("Group") + x, b->addressBookName, true));
        // As the save stores it: no more levels than the columns named.
        b->groupNum = std::int16_t(qBound(0, int(groupNum), int(b->Grouping().size())));
        b->nameField = readBookName(s, QStringLiteral("NameField") + x, b->addressBookName);
        b->telephoneField = readBookName(s, QStringLiteral("TelephoneField") + x, b->addressBookName);
        b->emailField = readBookName(s, QStringLiteral("EmailField") + x, b->addressBookName);
        b->searchForCallerID = readBookFlag(s, QStringLiteral("searchForCallerID") + x);
        b->ringSound = readText(s, QStringLiteral("ringSound") + x, QString());
        b->ringSoundInterval =
            readInterval(s, QStringLiteral("ringSoundInterval") + x, QStringLiteral("1"));
        b->callPrefix = readText(s, QStringLiteral("callPrefix") + x, QString());
        b->contactid = readBookName(s, QStringLiteral("contactID") + x, b->addressBookName);
        b->telephone2 = readBookName(s, QStringLiteral("2ndtelephone") + x, b->addressBookName);
        b->telephone3 = readBookName(s, QStringLiteral("3rdtelephone") + x, b->addressBookName);
        b->email2 = readBookName(s, QStringLiteral("2ndemail") + x, b->addressBookName);
        b->freetext = readBookName(s, QStringLiteral("freeText") + x, b->addressBookName);
        books.append(b);
    }
    return books;
}

QList<std::shared_ptr<LocalAddressBook>> loadLocalBooks(std::int16_t n) {
    QList<std::shared_ptr<LocalAddressBook>> books;
    const QString& s = kLocalBooks;
    for (int i = 0; i < n; ++i) {
        const QString x = num(i);
        auto b = std::make_shared<LocalAddressBook>();
        b->addressBookName = readText(s, QStringLiteral("AddressBookName") + x, QString());
        b->filename = readText(s, QStringLiteral("FileName") + x, QString());
        b->searchForCallerID = readBookFlag(s, QStringLiteral("searchForCallerID") + x);
        b->ringSound = readText(s, QStringLiteral("ringSound") + x, QString());
        b->ringSoundInterval =
            readInterval(s, QStringLiteral("ringSoundInterval") + x, QStringLiteral("1"));
        b->callPrefix = readText(s, QStringLiteral("callPrefix") + x, QString());
        books.append(b);
    }
    return books;
}

template <typename T> const T& bookAt(const QList<std::shared_ptr<T>>& list, int i) {
    if (!list[i])
        raiseError(ErrNum::ObjectNotSet);
    return *list[i];
}

SettingsStore::Entries dbBookEntries() {
    SettingsStore::Entries out;
    const int count = noDBBooks ? 0 : int(gDBBooks.size());
    out.append({QStringLiteral("number"), num(count)});
    for (int i = 0; i < count; ++i) {
        const DatabaseAddressBook& b = bookAt(gDBBooks, i);
        const QString x = num(i);
        // Only the columns in use, and a count no larger than the columns
        // written, so the next start reads the same pair.
        const QStringList grouping = b.Grouping();
        const int used = qBound(0, int(b.groupNum), int(grouping.size()));
        out.append({QStringLiteral("AddressBookName") + x, b.addressBookName});
        out.append({QStringLiteral("DSN") + x, b.dsn});
        out.append({QStringLiteral("User") + x, b.User});
        out.append({QStringLiteral("Password") + x, b.password});
        out.append({QStringLiteral("Tablename") + x, b.tableName});
        out.append({QStringLiteral("ReadOnly") + x, bookFlagText(b.readonly)});
        out.append({QStringLiteral("GroupNum") + x, num(used)});
        out.append({QStringLiteral("Group") + x, grouping.mid(0, used).join(u',')});
        out.append({QStringLiteral("NameField") + x, b.nameField});
        out.append({QStringLiteral("TelephoneField") + x, b.telephoneField});
        out.append({QStringLiteral("EmailField") + x, b.emailField});
        out.append({QStringLiteral("ringSound") + x, b.ringSound});
        out.append({QStringLiteral("ringSoundInterval") + x, num(b.ringSoundInterval)});
        out.append({QStringLiteral("searchForCallerID") + x, bookFlagText(b.searchForCallerID)});
        out.append({QStringLiteral("callPrefix") + x, b.callPrefix});
        out.append({QStringLiteral("contactID") + x, b.contactid});
        out.append({QStringLiteral("2ndtelephone") + x, b.telephone2});
        out.append({QStringLiteral("3rdtelephone") + x, b.telephone3});
        out.append({QStringLiteral("2ndemail") + x, b.email2});
        out.append({QStringLiteral("freetext") + x, b.freetext});
    }
    return out;
}

SettingsStore::Entries localBookEntries() {
    SettingsStore::Entries out;
    const int count = noLocalBooks ? 0 : int(gLocalBooks.size());
    out.append({QStringLiteral("number"), num(count)});
    for (int i = 0; i < count; ++i) {
        const LocalAddressBook& b = bookAt(gLocalBooks, i);
        const QString x = num(i);
        out.append({QStringLiteral("AddressBookName") + x, b.addressBookName});
        out.append({QStringLiteral("FileName") + x, b.filename});
        out.append({QStringLiteral("ringSound") + x, b.ringSound});
        out.append({QStringLiteral("ringSoundInterval") + x, num(b.ringSoundInterval)});
        out.append({QStringLiteral("searchForCallerID") + x, bookFlagText(b.searchForCallerID)});
        out.append({QStringLiteral("callPrefix") + x, b.callPrefix});
    }
    return out;
}

SettingsStore::Entries prefsEntries() {
    if (!gPreferences)
        raiseError(ErrNum::ObjectNotSet);
    const Preferences& p = *gPreferences;
    SettingsStore::Entries out{
        {QStringLiteral("TAPIDevice"), p.TAPIDevice},
        {QStringLiteral("useTAPI"), flagText(p.useTapi)},
        {QStringLiteral("onClose"), num(p.onClose)},
        {QStringLiteral("multipleCall"), num(p.multipleCall)},
        {QStringLiteral("showRingWindow"), flagText(p.incomingShowWindow)},
        {QStringLiteral("playSound"), flagText(p.incomingPlaySound)},
        {QStringLiteral("defaultSound"), p.defaultSound},
        {QStringLiteral("showTooltip"), flagText(p.incomingShowTooltip)},
        {QStringLiteral("autoCloseOnDisconnect"), flagText(p.autoCloseOnDisconnect)},
        {QStringLiteral("useLastDRAddressBooks"), flagText(p.useLastDRAddressBooks)},
        {QStringLiteral("clearDRABOnExit"), flagText(p.clearDRABOnExit)},
        {QStringLiteral("ringTimerInterval"), num(p.ringTimerInterval)},
        {QStringLiteral("defaultPrefixDRAB"), p.defaultPrefixesForDRAB1 + u'|' +
                                                  p.defaultPrefixesForDRAB2 + u'|' +
                                                  p.defaultPrefixesForDRAB3},
        {QStringLiteral("startMinimized"), flagText(p.startMinimized)},
    };
    // The tip window's key is not ours: it comes out as it went in.
    if (const auto tips = SettingsStore::instance().value(kPrefs, kShowTips))
        out.append({kShowTips, *tips});
    return out;
}

} // namespace

void loadSettings() {
    // Database books
    const std::int16_t dbCount = readInt16(kDBBooks, QStringLiteral("number"), QStringLiteral("0"));
    if (dbCount > 0) {
        gDBBooks = loadDBBooks(dbCount);
        noDBBooks = false;
    } else {
        noDBBooks = true;
    }

    // Local books
    const std::int16_t localCount =
        readInt16(kLocalBooks, QStringLiteral("number"), QStringLiteral("0"));
    if (localCount > 0) {
        gLocalBooks = loadLocalBooks(localCount);
        noLocalBooks = false;
    } else {
        noLocalBooks = true;
    }

    // Preferences
    gPreferences = std::make_shared<Preferences>();
    Preferences& p = *gPreferences;
    p.TAPIDevice = readText(kPrefs, QStringLiteral("TAPIDevice"), QString());
    p.useTapi = readFlag(kPrefs, QStringLiteral("useTAPI"), QStringLiteral("0"));
    p.onClose = readInt16(kPrefs, QStringLiteral("onClose"), QStringLiteral("2"));
    p.multipleCall = readInt16(kPrefs, QStringLiteral("multipleCall"), QStringLiteral("0"));
    p.incomingShowWindow = readFlag(kPrefs, QStringLiteral("showRingWindow"), QStringLiteral("1"));
    p.incomingPlaySound = readFlag(kPrefs, QStringLiteral("playSound"), QStringLiteral("0"));
    p.defaultSound = readText(kPrefs, QStringLiteral("defaultSound"), QString());
    p.incomingShowTooltip = readFlag(kPrefs, QStringLiteral("showTooltip"), QStringLiteral("0"));
    p.autoCloseOnDisconnect =
        readFlag(kPrefs, QStringLiteral("autoCloseOnDisconnect"), QStringLiteral("0"));
    p.useLastDRAddressBooks =
        readFlag(kPrefs, QStringLiteral("useLastDRAddressBooks"), QStringLiteral("1"));

    // Recent-call books
    if (p.useLastDRAddressBooks) {
        QList<std::shared_ptr<TmpAddressBook>> books;
        for (int i = 0; i < 3; ++i) {
            auto b = std::make_shared<TmpAddressBook>();
            b->addressBookName = loadResString(16035 + i);
            b->init();
            books.append(b);
        }
        gRecentBooks = books;
    }

    p.clearDRABOnExit = readFlag(kPrefs, QStringLiteral("clearDRABOnExit"), QStringLiteral("1"));
    p.ringTimerInterval =
        readInterval(kPrefs, QStringLiteral("ringTimerInterval"), QStringLiteral("2"));

    const QString prefixes =
        readText(kPrefs, QStringLiteral("defaultPrefixDRAB"), QStringLiteral("||"));
    const qsizetype bar1 = prefixes.indexOf(u'|');
    const qsizetype bar2 = bar1 < 0 ? -1 : prefixes.indexOf(u'|', bar1 + 1);
    if (bar2 < 0)
        badSetting(ErrNum::SubscriptOutOfRange, kPrefs, QStringLiteral("defaultPrefixDRAB"),
                   prefixes, loadResString(16311));
    p.defaultPrefixesForDRAB1 = prefixes.left(bar1);
    p.defaultPrefixesForDRAB2 = prefixes.mid(bar1 + 1, bar2 - bar1 - 1);
    p.defaultPrefixesForDRAB3 = prefixes.mid(bar2 + 1);

    p.startMinimized = readFlag(kPrefs, QStringLiteral("startMinimized"), QStringLiteral("0"));

    // The main window's rectangle is read by its load, where a bad value would
    // leave a window without tree, tray icon or plug-ins: it stops the start here.
    for (const char* key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
        readWholeSetting(QStringLiteral("Settings"), QLatin1String(key), QStringLiteral("0"),
                         INT32_MIN, INT32_MAX);

    setupTAPI();
}

double readNumberSetting(const QString& section, const QString& key, const QString& def) {
    const QString text = readText(section, key, def);
    double v = 0;
    if (!convert::tryToDouble(text, v))
        badSetting(ErrNum::TypeMismatch, section, key, text, loadResString(16309));
    return v;
}

long long readWholeSetting(const QString& section, const QString& key, const QString& def,
                           long long lowest, long long highest) {
    const double v = readNumberSetting(section, key, def);
    std::optional<std::int32_t> n;
    try {
        n = convert::toInt32(v);
    } catch (const AppError&) {
    }
    if (!n || *n < lowest || *n > highest)
        badSetting(ErrNum::Overflow, section, key, readText(section, key, def),
                   loadResString(16310).arg(lowest).arg(highest));
    return *n;
}

void saveSettings() {
    // Everything is built first, so a failure writes nothing.
    const QList<SettingsStore::Section> sections{
        {kDBBooks, dbBookEntries()},
        {kLocalBooks, localBookEntries()},
        {kPrefs, prefsEntries()},
    };
    SettingsStore::instance().replaceSections(sections);
}
