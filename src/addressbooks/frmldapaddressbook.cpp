#include "addressbooks/frmldapaddressbook.h"

#include "platform/errors.h"
#include "app/localize.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

namespace {
QPointer<frmLDAPAddressBook> gLDAPDialog;
}

frmLDAPAddressBook* frmLDAPAddressBook::instance() {
    if (!gLDAPDialog) {
        gLDAPDialog = new frmLDAPAddressBook;
        gLDAPDialog->Form_Load();
    }
    return gLDAPDialog;
}

frmLDAPAddressBook* frmLDAPAddressBook::loadedInstance() {
    return gLDAPDialog;
}

void frmLDAPAddressBook::forgetInstance() {
    if (gLDAPDialog == this)
        gLDAPDialog = nullptr;
}

frmLDAPAddressBook::frmLDAPAddressBook()
    : BookDialog(QStringLiteral("frmLDAPAddressBook"), QStringLiteral("15002"),
                 QStringLiteral("LDAP Server Address Book")) {
    txtAddressBookName = makeLineEdit(this, "txtAddressBookName");
    txtServer = makeLineEdit(this, "txtServer");
    txtUserName = makeLineEdit(this, "txtUserName");
    txtPassword = makeLineEdit(this, "txtPassword");
    txtBase = makeLineEdit(this, "txtBase");
    txtAddressBookName->setMinimumWidth(260);

    auto* g = new QGridLayout;
    g->addWidget(makeLabel(this, nullptr, QStringLiteral("Address Book Name :")), 0, 0);
    g->addWidget(txtAddressBookName, 0, 1);
    g->addWidget(makeLabel(this, "13003", QStringLiteral("Server :")), 1, 0);
    g->addWidget(txtServer, 1, 1);
    g->addWidget(makeLabel(this, "13006", QStringLiteral("User Name :")), 2, 0);
    g->addWidget(txtUserName, 2, 1);
    g->addWidget(makeLabel(this, "13005", QStringLiteral("Password :")), 3, 0);
    g->addWidget(txtPassword, 3, 1);
    g->addWidget(makeLabel(this, "13007", QStringLiteral("Base :")), 4, 0);
    g->addWidget(txtBase, 4, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(g);
    layout->addStretch(1);
    layout->addLayout(makeButtonRow());
}

void frmLDAPAddressBook::Form_Load() {
    trapErrors([&] { localizeForm(this); });
}

void frmLDAPAddressBook::Clear() {
    for (QLineEdit* box : {txtAddressBookName, txtServer, txtUserName, txtPassword, txtBase})
        box->clear();
}

void frmLDAPAddressBook::setValues(const std::shared_ptr<LDAPAddressBook>& l) {
    if (!l)
        return;
    txtAddressBookName->setText(l->addressBookName);
    txtUserName->setText(l->User);
    txtPassword->setText(l->password);
    txtBase->setText(l->Base);
    txtServer->setText(l->Server);
}

std::shared_ptr<LDAPAddressBook> frmLDAPAddressBook::getValues() const {
    auto book = std::make_shared<LDAPAddressBook>();
    book->addressBookName = txtAddressBookName->text();
    book->Server = txtServer->text();
    book->User = txtUserName->text();
    book->password = txtPassword->text();
    book->Base = txtBase->text();
    return book;
}
