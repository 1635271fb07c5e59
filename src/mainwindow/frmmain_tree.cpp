#include "mainwindow/frmmain.h"

#include <QTreeWidget>

void frmMain::fillAddressBookTree() {
    m_tree->clear();
}

void frmMain::tvAddressBookTree_Expand(QTreeWidgetItem*) {}

void frmMain::loadContactList(QTreeWidgetItem*) {}
