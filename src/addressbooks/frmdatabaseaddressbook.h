#pragma once

#include "addressbooks/bookdialog.h"
#include "addressbooks/records.h"

#include <memory>

class QListWidget;

// Properties of a Database book: name, caller-ID search, ring sound and
// interval, call prefix, the data source, the table and the mapping of its
// columns to the contact fields and grouping levels. The table's columns
// can be read from the data source and picked from lists. OK after
// setValues changes the given record itself.
class frmDatabaseAddressBook : public BookDialog {
    Q_OBJECT
public:
    // The one dialog, loaded on first use.
    static frmDatabaseAddressBook* instance();
    // The dialog when loaded, else nullptr.
    static frmDatabaseAddressBook* loadedInstance();

    // Empties every field and list; the held book stays.
    void Clear();
    // Shows l's values and makes l the book that getValues writes into.
    void setValues(const std::shared_ptr<DatabaseAddressBook>& l);
    // Writes the fields into the held book (a new one when none) and answers it.
    std::shared_ptr<DatabaseAddressBook> getValues();

protected:
    void forgetInstance() override;
    void checkValues() override;

private:
    // The fields into b; groupNum from the rows of the grouping list.
    void fill(DatabaseAddressBook& b) const;
    frmDatabaseAddressBook();
    void Form_Load();
    void cmdGetTableInfo_Click();
    void txtTableName_Change();
    void cmdGroupAdd_Click();
    void cmdGroupRemove_Click();
    // A "->" button: the selected column of list into box.
    void mapColumn(QListWidget* list, QLineEdit* box);

    std::shared_ptr<DatabaseAddressBook> currentBook;

    QLineEdit* txtDSN;
    QLineEdit* txtUserName;
    QLineEdit* txtPassword;
    QCheckBox* cbReadOnly;
    QLineEdit* txtTableName;
    QPushButton* cmdGetTableInfo;
    QListWidget* lbFields;
    QLineEdit* txtName;
    QLineEdit* txtTelephone;
    QLineEdit* txtEmail;
    QListWidget* lbGrouping;
    QPushButton* cmdName;
    QPushButton* cmdTelephone;
    QPushButton* cmdEmail;
    QPushButton* cmdGroupAdd;
    QPushButton* cmdGroupRemove;
    QListWidget* lbFields2;
    QLineEdit* txtContactID;
    QLineEdit* txtTel2;
    QLineEdit* txtTel3;
    QLineEdit* txtEmail2;
    QLineEdit* txtFreeText;
    QPushButton* cmdID;
    QPushButton* cmdTel2;
    QPushButton* CmdTel3;
    QPushButton* cmdEmail2;
    QPushButton* cmdFreeText;
};
