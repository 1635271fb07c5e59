#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

// One contact. The unit that moves between the list, the dialogs, the
// recent-call books and the address-book edits.
struct Contact {
    QString name;
    QString telephone;
    QString email;
    QString telephone2;
    QString telephone3;
    QString email2;
    QString freetext;
    QString contactid;
};

// A book held in one ".lab" file.
struct LocalAddressBook {
    QString addressBookName;
    QString filename;
    bool searchForCallerID = false;
    QString ringSound;
    std::int16_t ringSoundInterval = 0;
    QString callPrefix;
};

// A book on a directory server; defined and listed, never stored.
struct LDAPAddressBook {
    QString addressBookName;
    QString Server;
    QString User;
    QString password;
    QString Base;
};

// A book on a table of an ODBC data source with a column mapping.
class DatabaseAddressBook {
public:
    QString addressBookName;
    QString dsn;
    QString User;
    QString password;
    std::int16_t groupNum = 0;
    QString tableName;
    QString telephoneField;
    QString emailField;
    bool readonly = false;
    QString nameField;
    bool searchForCallerID = false;
    QString ringSound;
    std::int16_t ringSoundInterval = 0;
    QString callPrefix;
    QString contactid;
    QString telephone2;
    QString telephone3;
    QString email2;
    QString freetext;

    // Resets every field: texts "", callPrefix "0", one empty grouping
    // column, read-only, not searched for caller ID, ring interval 1.
    void Clear();
    void init() { Clear(); }
    // A copy of the grouping columns, from level 1 down.
    QStringList Grouping() const { return groupingColumns; }
    // Grouping column k (from 0); 9 (subscript out of range) when there is none.
    QString groupingColumn(int k) const;
    // Splits at every ","; "" keeps the list as it was. groupNum is the caller's.
    void setGrouping(const QString& G);

private:
    QStringList groupingColumns;
};

// A recent-call book held in memory.
class TmpAddressBook {
public:
    QString addressBookName;

    // Stores the same object after the last one; 6 (overflow) past 32767.
    void addContact(const std::shared_ptr<Contact>& c);
    void init() { contactCount = 0; }
    // 9 (subscript out of range) outside the held contacts.
    std::shared_ptr<Contact> getContact(std::int16_t i) const;
    std::int16_t getContactNum() const { return contactCount; }

private:
    std::int16_t contactCount = 0;
    QList<std::shared_ptr<Contact>> contacts;
};

// The book tag: "level|kind|index"; "" is no book.
struct AbTag {
    int level = 0;
    QChar kind;
    int index = 0;

    QString toString() const;
    // Splits at "|" into at most three parts and converts level and index
    // with the shared conversion rules: 13 when they are not numbers.
    static AbTag parse(const QString& tag);
    static QString make(int level, QChar kind, int index);
};

namespace BookKind {
constexpr char16_t LDAP = u'L';
constexpr char16_t Local = u'O';
constexpr char16_t Database = u'D';
constexpr char16_t Recent = u'R';
} // namespace BookKind

// Books named by a tag. Each checks the kind, the index against the list and
// the list's empty flag, and raises 9 when the tag names no existing book.
std::shared_ptr<DatabaseAddressBook> dbBookOfTag(const QString& tag);
std::shared_ptr<LocalAddressBook> localBookOfTag(const QString& tag);
std::shared_ptr<LDAPAddressBook> ldapBookOfTag(const QString& tag);
std::shared_ptr<TmpAddressBook> recentBookOfTag(const QString& tag);

// Index-checked access to the global lists (9 when out of range or empty).
std::shared_ptr<DatabaseAddressBook> dbBookAt(int index);
std::shared_ptr<LocalAddressBook> localBookAt(int index);
std::shared_ptr<LDAPAddressBook> ldapBookAt(int index);
std::shared_ptr<TmpAddressBook> recentBookAt(int index);
