#pragma once

#include "addressbooks/records.h"

#include <QDialog>
#include <memory>

class QAction;
class QKeyEvent;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The address-book manager: lists the LDAP, Database and Local books, adds,
// edits and removes them. Works on the global book lists at once; the
// settings are written only by its Close button.
class frmAddressBooks : public QDialog {
    Q_OBJECT
public:
    explicit frmAddressBooks(QWidget* parent = nullptr);

    // Loads the window, shows it modally over owner and unloads it when it
    // is closed. While it is open, a second call only brings it forward.
    static void showModal(QWidget* owner);
    // The open window, if any.
    static frmAddressBooks* current();

    void Form_Load();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void AddressBooksList_Click();
    void AddressBooksList_DblClick();
    void cmdAdd_Click();
    void cmdProperties_Click();
    void cmdDelete_Click();
    void cmdClose_Click();
    void mnuAddAddressBookLDAPServer_Click();
    void mnuAddAddressBookDatabase_Click();
    void mnuAddAddressBookLocal_Click();

    void updateButtons();
    void editSelectedAddressBook();
    void fillAddressBooksList();
    QTreeWidgetItem* selectedRow() const;

    void storeLDAPAddressBook(const std::shared_ptr<LDAPAddressBook>& book);
    void storeDatabaseAddressBook(const std::shared_ptr<DatabaseAddressBook>& book);
    void storeLocalAddressBook(const std::shared_ptr<LocalAddressBook>& book);
    int findLDAPAddressBook(const LDAPAddressBook& book) const;
    int findDatabaseAddressBook(const DatabaseAddressBook& book) const;
    int findLocalAddressBook(const LocalAddressBook& book) const;

    QTreeWidget* AddressBooksList;
    QPushButton* cmdAdd;
    QPushButton* cmdProperties;
    QPushButton* cmdDelete;
    QPushButton* cmdClose;
    QMenu* mnuAddAddressBook;
    QAction* mnuAddAddressBookLDAPServer;
    QAction* mnuAddAddressBookDatabase;
    QAction* mnuAddAddressBookLocal;
};
