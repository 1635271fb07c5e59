#include "addressbooks/searchresult.h"
#include "app/errors.h"
#include "mainwindow/frmmain.h"

#include <QTreeWidget>

void frmMain::fillAddressBookTree() {
    m_tree->clear();
}

void frmMain::tvAddressBookTree_Expand(QTreeWidgetItem*) {}

// Interim: rows carry their book tag in column 0's Qt::UserRole.
void frmMain::useSearchResult(DBSearchResult& r, bool, const QString&) {
    trapErrors([&] {
        m_list->clear();
        while (!r.isEOF()) {
            auto* row = new QTreeWidgetItem(m_list);
            row->setText(0, r.NameStr());
            row->setData(0, Qt::UserRole, r.abTagStr());
            const QString cells[] = {r.telephoneStr(),  r.emailStr(),  r.telephone2Str(),
                                     r.telephone3Str(), r.email2Str(), r.freetextStr(),
                                     r.contactidStr()};
            for (int c = 0; c < 7; ++c)
                row->setText(c + 1, cells[c]);
            r.MoveNext();
        }
    });
}
