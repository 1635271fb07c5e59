#include "addressbooks/dbfunctions.h"
#include "addressbooks/records.h"
#include "addressbooks/searchresult.h"
#include "app/globals.h"
#include "app/strings.h"
#include "mainwindow/frmmain.h"
#include "platform/dbconnection.h"
#include "platform/errors.h"
#include "platform/prompter.h"

#include <QCursor>
#include <QTreeWidget>
#include <optional>

namespace {

const QString kDummy = QStringLiteral("<Dummy>");
// Marks a group node that stands for the rows whose value is Null; its text
// is only a label.
constexpr int kNullGroupRole = frmMain::TagRole + 1;

// The condition that restricts a Database query to a node's group: the
// node's own grouping column first, then its ancestors', each value quoted.
QString groupCondition(const QTreeWidgetItem* node, const DatabaseAddressBook& book, int level) {
    QStringList parts;
    const QTreeWidgetItem* m = node;
    for (int i = level - 1; i >= 0 && m; --i) {
        if (m->data(0, kNullGroupRole).toBool()) {
            parts << book.groupingColumn(i) + QStringLiteral(" IS NULL");
        } else {
            checkDatabaseText(m->text(0));
            parts << book.groupingColumn(i) + QStringLiteral("='") + escapeSQL(m->text(0)) + u'\'';
        }
        m = m->parent();
    }
    return parts.join(QStringLiteral(" AND "));
}

QString withCondition(const QString& sql, const QString& condition) {
    return condition.isEmpty() ? sql : sql + QStringLiteral(" WHERE ") + condition;
}

Recordset query(const DatabaseAddressBook& b, const QString& sql) {
    return onDatabaseBook(b, [&](const DBConnection& c) { return c.openRecordset(sql); });
}

// Says which book failed, and why.
void databaseError(const AppError& e) {
    Prompter::msgBox(loadResString(16005) + u'\n' + e.description(), Msg::OKOnly | Msg::Critical,
                     loadResString(16013));
}

} // namespace

QString frmMain::itemTag(const QTreeWidgetItem* item) {
    return item ? item->data(0, TagRole).toString() : QString();
}

void frmMain::setItemTag(QTreeWidgetItem* item, const QString& tag) {
    item->setData(0, TagRole, tag);
}

// ---------------------------------------------------------------- tree

void frmMain::addBookNode(const QString& text, const QString& tag) {
    auto* node = new QTreeWidgetItem(m_tree->topLevelItem(0), {text});
    // A narrow tree cuts long names: the whole name shows on hover.
    node->setToolTip(0, text);
    node->setIcon(0, addressBookImage(0));
    new QTreeWidgetItem(node, {kDummy});
    setItemTag(node, tag);
}

void frmMain::fillAddressBookTree() {
    trapErrors([&] {
        // The old nodes go; nothing may keep pointing at them.
        m_currentNode = m_listNode = nullptr;
        m_tree->clear();
        // The books may have moved to other indexes: a row left in the list
        // could name another book, and Edit or Remove would write there.
        m_list->clear();
        auto* root = new QTreeWidgetItem(m_tree, {QStringLiteral("Address Books")});
        root->setIcon(0, addressBookImage(0));

        if (!noLDAPBooks)
            for (int i = 0; i < gLDAPBooks.size(); ++i)
                addBookNode(gLDAPBooks[i]->addressBookName + QStringLiteral(" (") +
                                loadResString(16001) + u')',
                            AbTag::make(0, BookKind::LDAP, i));
        if (!noDBBooks)
            for (int i = 0; i < gDBBooks.size(); ++i)
                addBookNode(gDBBooks[i]->addressBookName + QStringLiteral(" (") +
                                loadResString(16002) + u')',
                            AbTag::make(0, BookKind::Database, i));
        if (!noLocalBooks)
            for (int i = 0; i < gLocalBooks.size(); ++i)
                addBookNode(gLocalBooks[i]->addressBookName + QStringLiteral(" (") +
                                loadResString(16003) + u')',
                            AbTag::make(0, BookKind::Local, i));
        // The recent-call books exist only when they were on at start-up.
        if (gPreferences && gPreferences->useLastDRAddressBooks && recentBooksExist())
            for (int i = 0; i < gRecentBooks.size(); ++i)
                addBookNode(gRecentBooks[i]->addressBookName, AbTag::make(0, BookKind::Recent, i));
        root->setExpanded(true);
    });
}

void frmMain::removePlaceholder(QTreeWidgetItem* node) {
    QTreeWidgetItem* first = node->child(0);
    if (!first)
        return;
    if (first == m_currentNode)
        m_currentNode = nullptr;
    delete node->takeChild(0);
}

void frmMain::readGroupLevel(QTreeWidgetItem* node, const DatabaseAddressBook& book, int level,
                             const QString& indexPart) {
    const QString sql =
        withCondition(QStringLiteral("SELECT DISTINCT ") + book.groupingColumn(level) +
                          QStringLiteral(" FROM ") + book.tableName,
                      groupCondition(node, book, level));
    Recordset rs;
    try {
        rs = query(book, sql);
    } catch (const AppError& e) {
        // The node stays as it was, so a later expansion tries again.
        databaseError(e);
        node->setExpanded(false);
        return;
    }
    setItemTag(node, QString());
    removePlaceholder(node);
    const QString childTag = QString::number(level + 1) + QStringLiteral("|D|") + indexPart;
    for (; !rs.isEOF(); rs.MoveNext()) {
        const bool null = rs.isNull(0);
        const QString text = null ? loadResString(16321) : rs.text(0);
        auto* child = new QTreeWidgetItem(node, {text});
        child->setToolTip(0, text);
        child->setData(0, kNullGroupRole, null);
        setItemTag(child, childTag);
        new QTreeWidgetItem(child, {QString()});
    }
}

void frmMain::tvAddressBookTree_Expand(QTreeWidgetItem* node) {
    trapErrors([&] {
        const QString tag = itemTag(node);
        if (tag.isEmpty())
            return;
        try {
            const AbTag t = AbTag::parse(tag);
            if (t.kind == BookKind::Database) {
                const auto book = dbBookAt(t.index);
                if (t.level < book->groupNum) {
                    readGroupLevel(node, *book, t.level, tag.section(u'|', 2, -1));
                    return;
                }
            }
            loadContacts(node, true);
        } catch (...) {
            // Nothing was read: the node keeps its placeholder and can be
            // expanded again.
            if (node->childCount() > 0)
                node->setExpanded(false);
            throw;
        }
    });
}

// ---------------------------------------------------------------- list

QTreeWidgetItem* frmMain::addContactRow(const QString& tag, const QStringList& fields) {
    auto* row = new QTreeWidgetItem(m_list, fields);
    setItemTag(row, tag);
    return row;
}

void frmMain::loadContactList(QTreeWidgetItem* node) {
    trapErrors([&] { loadContacts(node, false); });
}

void frmMain::loadContacts(QTreeWidgetItem* node, bool expanding) {
    const QString tag = itemTag(node);
    if (tag.isEmpty())
        return;
    const AbTag t = AbTag::parse(tag);
    if (t.kind == BookKind::Database) {
        const auto b = dbBookAt(t.index);
        const QString condition = groupCondition(node, *b, t.level);
        if (t.level < b->groupNum)
            return;
        // Columns in row order; the unmapped optional ones are left out.
        const QStringList optional{b->telephone2, b->telephone3, b->email2, b->freetext,
                                   b->contactid};
        QStringList columns{b->nameField, b->telephoneField, b->emailField};
        QList<int> position{-1, -1, -1, -1, -1};
        for (int i = 0; i < optional.size(); ++i)
            if (!optional[i].isEmpty()) {
                position[i] = int(columns.size());
                columns << optional[i];
            }
        const QString sql = withCondition(QStringLiteral("SELECT ") + columns.join(u',') +
                                              QStringLiteral(" FROM ") + b->tableName,
                                          condition);
        Recordset rs;
        std::optional<AppError> failed;
        try {
            rs = query(*b, sql);
        } catch (const AppError& e) {
            failed = e;
        }
        if (failed) {
            // The list shows nothing rather than another node's rows.
            databaseError(*failed);
            m_list->clear();
            m_listNode = nullptr;
            if (expanding)
                node->setExpanded(false);
            return;
        }
        if (expanding)
            removePlaceholder(node);
        m_list->clear();
        m_listNode = node;
        for (; !rs.isEOF(); rs.MoveNext()) {
            // name, telephone, email, telephone 2, telephone 3, e-mail 2,
            // free text, contact id
            QStringList fields{rs.text(0), rs.text(1), rs.text(2)};
            for (int p : position)
                fields << (p < 0 ? QString() : rs.text(p));
            addContactRow(tag, fields);
        }
        return;
    }
    if (t.kind == BookKind::Local) {
        const auto b = localBookAt(t.index);
        Recordset rs = queryLocalBook(b->filename,
                                      QStringLiteral("SELECT NAME,TELEPHONE,EMAIL,TELEPHONE2,"
                                                     "TELEPHONE3,EMAIL2,FREETEXT,ID FROM TAMRIVO"));
        if (expanding)
            removePlaceholder(node);
        m_list->clear();
        m_listNode = node;
        for (; !rs.isEOF(); rs.MoveNext()) {
            QStringList fields;
            for (int i = 0; i < 8; ++i)
                fields << rs.text(i);
            addContactRow(tag, fields);
        }
        return;
    }
    if (t.kind == BookKind::Recent) {
        const auto b = recentBookAt(t.index);
        if (expanding)
            removePlaceholder(node);
        m_list->clear();
        m_listNode = node;
        for (std::int16_t i = 0; i < b->getContactNum(); ++i) {
            const auto c = b->getContact(i);
            addContactRow(tag, {c->name, c->telephone, c->email, c->telephone2, c->telephone3,
                                c->email2, c->freetext, c->contactid});
        }
    }
}

void frmMain::useSearchResult(DBSearchResult& r, bool, const QString&) {
    trapErrors([&] {
        m_list->clear();
        m_listNode = nullptr;
        for (; !r.isEOF(); r.MoveNext())
            addContactRow(r.abTagStr(),
                          {r.NameStr(), r.telephoneStr(), r.emailStr(), r.telephone2Str(),
                           r.telephone3Str(), r.email2Str(), r.freetextStr(), r.contactidStr()});
    });
}
