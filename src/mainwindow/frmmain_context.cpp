#include "addressbooks/contactedits.h"
#include "addressbooks/records.h"
#include "app/globals.h"
#include "app/strings.h"
#include "mainwindow/frmcontact.h"
#include "mainwindow/frmcontactotherinfo.h"
#include "mainwindow/frmmain.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "platform/shell.h"

#include <QTreeWidget>

namespace {

QString tagOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, frmMain::TagRole).toString() : QString();
}

// The kind letter of a book tag; "" when the tag has no second part.
QString kindOf(const QString& tag) {
    return tag.split(u'|').value(1);
}

bool isKind(const QString& kind, char16_t letter) {
    return kind.size() == 1 && kind[0] == QChar(letter);
}

// The contact of a list row: the name, then columns 1 to 7 in field order.
Contact contactOfRow(const QTreeWidgetItem* row) {
    Contact c;
    c.name = row->text(0);
    c.telephone = row->text(1);
    c.email = row->text(2);
    c.telephone2 = row->text(3);
    c.telephone3 = row->text(4);
    c.email2 = row->text(5);
    c.freetext = row->text(6);
    c.contactid = row->text(7);
    return c;
}

void readOnlyRefusal(QWidget* parent) {
    Prompter::msgBox(loadResString(16038), Msg::OKOnly | Msg::Critical, loadResString(16039),
                     parent);
}

// Shows the contact dialog modally until the typed contact is written by
// write or the user gives up. A refused write is reported and the dialog comes
// back with what was typed. True when a contact was written.
template <typename Write> bool editContact(bool localBook, Write write) {
    frmContact::instance()->limitToLocalColumns(localBook);
    for (;;) {
        frmContact::showModal();
        frmContact* dialog = frmContact::instance();
        if (dialog->closeMode() != QLatin1String("OK"))
            return false;
        const Contact c = dialog->getValues();
        if (trapErrors([&] { write(c); }))
            return true;
    }
}

} // namespace

QTreeWidgetItem* frmMain::selectedContactRow() const {
    const QList<QTreeWidgetItem*> rows = m_list->selectedItems();
    return rows.isEmpty() ? nullptr : rows.first();
}

// Lists the chosen node again after a write. The pop-up that a right-button
// press on the tree would bring back is not wanted here.
void frmMain::refreshCurrentNode() {
    if (!m_currentNode)
        return;
    m_treeMouseButton = 0;
    tvAddressBookTree_NodeClick(m_currentNode);
}

void frmMain::refreshList(bool contactFound) {
    if (m_listNode)
        loadContactList(m_listNode);
    else
        refreshCurrentNode();
    if (!contactFound)
        Prompter::msgBox(loadResString(16322), Msg::OKOnly | Msg::Exclamation, loadResString(16323),
                         this);
}

void frmMain::mnuContactCtxSendEMail_Click() {
    trapErrors([&] {
        const QTreeWidgetItem* row = selectedContactRow();
        if (!row)
            return;
        const QString address = row->text(2);
        if (address.isEmpty())
            return;
        Shell::open(Shell::mailto(address));
    });
}

void frmMain::mnuContactCtxEdit_Click() {
    trapErrors([&] {
        const QTreeWidgetItem* row = selectedContactRow();
        if (!row)
            return;
        const QString tag = tagOf(row);
        const QString kind = kindOf(tag);
        bool found = true;
        if (isKind(kind, BookKind::Local)) {
            const auto book = localBookOfTag(tag);
            frmContact::instance()->limitToLocalColumns(true);
            frmContact::instance()->setValues(contactOfRow(row));
            if (!editContact(true, [&](const Contact& c) { found = updateLocalContact(*book, c); }))
                return;
        } else if (isKind(kind, BookKind::Database)) {
            const auto book = dbBookOfTag(tag);
            if (book->readonly) {
                readOnlyRefusal(this);
                return;
            }
            frmContact::instance()->limitToLocalColumns(false);
            frmContact::instance()->setValues(contactOfRow(row));
            if (!editContact(false,
                             [&](const Contact& c) { found = updateDatabaseContact(*book, c); }))
                return;
        } else {
            if (isKind(kind, BookKind::Recent))
                readOnlyRefusal(this);
            return;
        }
        refreshList(found);
    });
}

void frmMain::mnuContactCtxRemove_Click() {
    trapErrors([&] {
        const QTreeWidgetItem* row = selectedContactRow();
        if (!row)
            return;
        const QString tag = tagOf(row);
        const QString kind = kindOf(tag);
        if (isKind(kind, BookKind::Database)) {
            const auto book = dbBookOfTag(tag);
            if (book->readonly) {
                readOnlyRefusal(this);
                return;
            }
            const Contact c = contactOfRow(row);
            if (Prompter::msgBox(loadResString(16040), Msg::YesNo, loadResString(16041), this) !=
                Msg::Yes)
                return;
            refreshList(deleteDatabaseContact(*book, c));
        } else if (isKind(kind, BookKind::Local)) {
            const auto book = localBookOfTag(tag);
            const Contact c = contactOfRow(row);
            if (Prompter::msgBox(QStringLiteral("ok"), Msg::YesNo, QStringLiteral("Tamrivo"),
                                 this) != Msg::Yes)
                return;
            refreshList(deleteLocalContact(*book, c));
        } else if (isKind(kind, BookKind::Recent)) {
            readOnlyRefusal(this);
        }
    });
}

void frmMain::mnuContactCtxOtherInfo_Click() {
    trapErrors([&] {
        const QTreeWidgetItem* row = selectedContactRow();
        if (!row)
            return;
        frmContactOtherInfo* card = frmContactOtherInfo::instance();
        card->Clear();
        card->abTag = tagOf(row);
        card->setBoxes(contactOfRow(row));
        card->lockValues();
        card->showWindow();
    });
}

void frmMain::mnuCtxAddressBookAddContact_Click() {
    trapErrors([&] {
        const QString tag = tagOf(m_currentNode);
        if (tag.isEmpty())
            return;
        const QString kind = kindOf(tag);
        if (isKind(kind, BookKind::Local)) {
            const auto book = localBookOfTag(tag);
            if (editContact(true, [&](const Contact& c) { addLocalContact(*book, c); }))
                refreshCurrentNode();
        } else if (isKind(kind, BookKind::Database)) {
            const auto book = dbBookOfTag(tag);
            if (book->readonly) {
                readOnlyRefusal(this);
            } else if (editContact(false,
                                   [&](const Contact& c) { addDatabaseContact(*book, c); })) {
                refreshCurrentNode();
            }
        } else if (isKind(kind, BookKind::Recent)) {
            Prompter::msgBox(loadResString(16042), Msg::OKOnly | Msg::Critical,
                             loadResString(16043), this);
        }
        // The list shows the node's contacts afterwards, whatever was done.
        // The node is looked up again: the tree may have been refilled
        // while the dialog was open.
        if (m_currentNode)
            loadContactList(m_currentNode);
    });
}

void frmMain::mnuCtxAddressBookClear_Click() {
    trapErrors([&] {
        const QString tag = tagOf(m_currentNode);
        if (tag.isEmpty())
            return;
        const QString kind = kindOf(tag);
        if (isKind(kind, BookKind::Recent)) {
            const auto book = recentBookOfTag(tag);
            if (Prompter::msgBox(loadResString(16046), Msg::YesNo | Msg::Question,
                                 loadResString(16047), this) == Msg::Yes)
                book->init();
        } else if (isKind(kind, BookKind::LDAP) || isKind(kind, BookKind::Local) ||
                   isKind(kind, BookKind::Database)) {
            Prompter::msgBox(loadResString(16044), Msg::OKOnly | Msg::Critical,
                             loadResString(16045), this);
        }
    });
}
