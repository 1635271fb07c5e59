#pragma once

#include "addressbooks/bookdialog.h"
#include "addressbooks/records.h"

#include <memory>

// Properties of an LDAP server book. Keeps no record: getValues makes a new
// one from the boxes each time.
class frmLDAPAddressBook : public BookDialog {
    Q_OBJECT
public:
    // The one dialog, loaded on first use.
    static frmLDAPAddressBook* instance();
    // The dialog when loaded, else nullptr.
    static frmLDAPAddressBook* loadedInstance();

    void Clear();
    void setValues(const std::shared_ptr<LDAPAddressBook>& l);
    std::shared_ptr<LDAPAddressBook> getValues() const;

protected:
    void forgetInstance() override;

private:
    frmLDAPAddressBook();
    void Form_Load();

    QLineEdit* txtServer;
    QLineEdit* txtUserName;
    QLineEdit* txtPassword;
    QLineEdit* txtBase;
};
