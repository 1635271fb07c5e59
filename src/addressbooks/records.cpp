#include "addressbooks/records.h"

#include "app/convert.h"
#include "platform/errors.h"
#include "app/globals.h"

#include <limits>

void DatabaseAddressBook::Clear() {
    addressBookName.clear();
    dsn.clear();
    User.clear();
    password.clear();
    groupNum = 0;
    groupingColumns = QStringList{QString()};
    tableName.clear();
    telephoneField.clear();
    emailField.clear();
    readonly = true;
    nameField.clear();
    searchForCallerID = false;
    ringSound.clear();
    ringSoundInterval = 1;
    callPrefix = QStringLiteral("0");
    contactid.clear();
    telephone2.clear();
    telephone3.clear();
    email2.clear();
    freetext.clear();
}

void DatabaseAddressBook::setGrouping(const QString& G) {
    if (G.isEmpty())
        return;
    groupingColumns = G.split(u',');
}

QString DatabaseAddressBook::groupingColumn(int k) const {
    if (k < 0 || k >= groupingColumns.size())
        raiseError(ErrNum::SubscriptOutOfRange);
    return groupingColumns[k];
}

void TmpAddressBook::addContact(const std::shared_ptr<Contact>& c) {
    if (contactCount == std::numeric_limits<std::int16_t>::max())
        raiseError(ErrNum::Overflow);
    contacts.resize(contactCount + 1);
    contacts[contactCount] = c;
    ++contactCount;
}

std::shared_ptr<Contact> TmpAddressBook::getContact(std::int16_t i) const {
    if (i < 0 || i >= contactCount || i >= contacts.size())
        raiseError(ErrNum::SubscriptOutOfRange);
    return contacts[i];
}

QString AbTag::toString() const { return make(level, kind, index); }

QString AbTag::make(int level, QChar kind, int index) {
    return QString::number(level) + u'|' + kind + u'|' + QString::number(index);
}

AbTag AbTag::parse(const QString& tag) {
    QStringList parts = tag.split(u'|');
    if (parts.size() > 3) {
        const QString rest = parts.mid(2).join(u'|');
        parts = QStringList{parts[0], parts[1], rest};
    }
    if (parts.size() < 3)
        raiseError(ErrNum::SubscriptOutOfRange);
    AbTag t;
    t.level = convert::toInt16(parts[0]);
    t.kind = parts[1].size() == 1 ? parts[1][0] : QChar();
    t.index = convert::toInt16(parts[2]);
    return t;
}

namespace {
template <typename T>
std::shared_ptr<T> checkedAt(const QList<std::shared_ptr<T>>& list, bool empty, int index) {
    if (empty || index < 0 || index >= list.size() || !list[index])
        raiseError(ErrNum::SubscriptOutOfRange);
    return list[index];
}

int indexOfKind(const QString& tag, QChar kind) {
    const AbTag t = AbTag::parse(tag);
    if (t.kind != kind)
        raiseError(ErrNum::SubscriptOutOfRange);
    return t.index;
}
} // namespace

std::shared_ptr<DatabaseAddressBook> dbBookAt(int index) { return checkedAt(gDBBooks, noDBBooks, index); }
std::shared_ptr<LocalAddressBook> localBookAt(int index) {
    return checkedAt(gLocalBooks, noLocalBooks, index);
}
std::shared_ptr<LDAPAddressBook> ldapBookAt(int index) {
    return checkedAt(gLDAPBooks, noLDAPBooks, index);
}
std::shared_ptr<TmpAddressBook> recentBookAt(int index) {
    return checkedAt(gRecentBooks, gRecentBooks.isEmpty(), index);
}

std::shared_ptr<DatabaseAddressBook> dbBookOfTag(const QString& tag) {
    return dbBookAt(indexOfKind(tag, QChar(BookKind::Database)));
}
std::shared_ptr<LocalAddressBook> localBookOfTag(const QString& tag) {
    return localBookAt(indexOfKind(tag, QChar(BookKind::Local)));
}
std::shared_ptr<LDAPAddressBook> ldapBookOfTag(const QString& tag) {
    return ldapBookAt(indexOfKind(tag, QChar(BookKind::LDAP)));
}
std::shared_ptr<TmpAddressBook> recentBookOfTag(const QString& tag) {
    return recentBookAt(indexOfKind(tag, QChar(BookKind::Recent)));
}
