#include "addressbooks/frmdatabaseaddressbook.h"

#include "addressbooks/dbfunctions.h"
#include "platform/errors.h"
#include "app/localize.h"
#include "app/strings.h"
#include "platform/dbconnection.h"
#include "platform/prompter.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {
QPointer<frmDatabaseAddressBook> gDatabaseDialog;

QListWidget* makeList(QWidget* parent, const char* name) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSortingEnabled(false);
    return list;
}

// The selected row's text; false when no row is selected.
bool selectedText(QListWidget* list, QString& text) {
    const QList<QListWidgetItem*> rows = list->selectedItems();
    if (rows.isEmpty())
        return false;
    text = rows.first()->text();
    return true;
}
} // namespace

frmDatabaseAddressBook* frmDatabaseAddressBook::instance() {
    if (!gDatabaseDialog) {
        gDatabaseDialog = new frmDatabaseAddressBook;
        gDatabaseDialog->Form_Load();
    }
    return gDatabaseDialog;
}

frmDatabaseAddressBook* frmDatabaseAddressBook::loadedInstance() {
    return gDatabaseDialog;
}

void frmDatabaseAddressBook::forgetInstance() {
    if (gDatabaseDialog == this)
        gDatabaseDialog = nullptr;
}

frmDatabaseAddressBook::frmDatabaseAddressBook()
    : BookDialog(QStringLiteral("frmDatabaseAddressBook"), QStringLiteral("15003"),
                 QStringLiteral("Database Address Book")) {
    QWidget* tabs =
        makeTabs({QStringLiteral("13017"), QStringLiteral("13030"), QStringLiteral("13031"),
                  QStringLiteral("13032")},
                 {QStringLiteral("&General"), QStringLiteral("&Database"),
                  QStringLiteral("Fields mapping (&1)"), QStringLiteral("Fields mapping (&2)")});
    makeGeneralTab(TabFrm[0]);

    // Data source.
    QFrame* ds = TabFrm[1];
    txtDSN = makeLineEdit(ds, "txtDSN");
    txtUserName = makeLineEdit(ds, "txtUserName");
    txtPassword = makeLineEdit(ds, "txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    cbReadOnly = new QCheckBox(QStringLiteral("Read Only"), ds);
    cbReadOnly->setObjectName(QStringLiteral("cbReadOnly"));
    cbReadOnly->setProperty("Tag", QStringLiteral("13013"));
    auto* g1 = new QGridLayout(ds);
    g1->addWidget(makeLabel(ds, "13004", QStringLiteral("DSN :")), 0, 0);
    g1->addWidget(txtDSN, 0, 1);
    g1->addWidget(makeLabel(ds, nullptr, QStringLiteral("User Name :")), 1, 0);
    g1->addWidget(txtUserName, 1, 1);
    g1->addWidget(makeLabel(ds, "13005", QStringLiteral("Password :")), 2, 0);
    g1->addWidget(txtPassword, 2, 1);
    g1->addWidget(cbReadOnly, 3, 1);
    g1->setRowStretch(4, 1);

    // Table, name, telephone, e-mail and grouping.
    QFrame* m1 = TabFrm[2];
    txtTableName = makeLineEdit(m1, "txtTableName");
    cmdGetTableInfo = makeButton(m1, "cmdGetTableInfo", nullptr, QStringLiteral("..."));
    cmdGetTableInfo->setMaximumWidth(
        cmdGetTableInfo->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    lbFields = makeList(m1, "lbFields");
    txtName = makeLineEdit(m1, "txtName");
    txtTelephone = makeLineEdit(m1, "txtTelephone");
    txtEmail = makeLineEdit(m1, "txtEmail");
    cmdName = makeButton(m1, "cmdName", nullptr, QStringLiteral("->"));
    cmdTelephone = makeButton(m1, "cmdTelephone", nullptr, QStringLiteral("->"));
    cmdEmail = makeButton(m1, "cmdEmail", nullptr, QStringLiteral("->"));
    cmdGroupAdd = makeButton(m1, "cmdGroupAdd", nullptr, QStringLiteral("->"));
    cmdGroupRemove = makeButton(m1, "cmdGroupRemove", nullptr, QStringLiteral("<-"));
    lbGrouping = makeList(m1, "lbGrouping");
    auto* g2 = new QGridLayout(m1);
    g2->addWidget(makeLabel(m1, "13008", QStringLiteral("Table/Query Name :")), 0, 0);
    auto* table = new QHBoxLayout;
    table->addWidget(txtTableName, 1);
    table->addWidget(cmdGetTableInfo);
    g2->addLayout(table, 0, 1, 1, 3);
    g2->addWidget(makeLabel(m1, nullptr, QStringLiteral("Fields :")), 1, 0);
    g2->addWidget(lbFields, 2, 0, 5, 1);
    g2->addWidget(cmdName, 2, 1);
    g2->addWidget(makeLabel(m1, "13010", QStringLiteral("Name")), 2, 2);
    g2->addWidget(txtName, 2, 3);
    g2->addWidget(cmdTelephone, 3, 1);
    g2->addWidget(makeLabel(m1, "13011", QStringLiteral("Telephone")), 3, 2);
    g2->addWidget(txtTelephone, 3, 3);
    g2->addWidget(cmdEmail, 4, 1);
    g2->addWidget(makeLabel(m1, "13014", QStringLiteral("Email")), 4, 2);
    g2->addWidget(txtEmail, 4, 3);
    auto* groupButtons = new QVBoxLayout;
    groupButtons->addWidget(cmdGroupAdd);
    groupButtons->addWidget(cmdGroupRemove);
    groupButtons->addStretch(1);
    g2->addLayout(groupButtons, 5, 1, 2, 1);
    g2->addWidget(makeLabel(m1, "13012", QStringLiteral("Grouping")), 5, 2);
    g2->addWidget(lbGrouping, 5, 3, 2, 1);
    g2->setColumnStretch(0, 1);
    g2->setColumnStretch(3, 1);

    // Contact id, second and third telephone, second e-mail, free text.
    QFrame* m2 = TabFrm[3];
    lbFields2 = makeList(m2, "lbFields2");
    txtContactID = makeLineEdit(m2, "txtContactID");
    txtTel2 = makeLineEdit(m2, "txtTel2");
    txtTel3 = makeLineEdit(m2, "txtTel3");
    txtEmail2 = makeLineEdit(m2, "txtEmail2");
    txtFreeText = makeLineEdit(m2, "txtFreeText");
    cmdID = makeButton(m2, "cmdID", nullptr, QStringLiteral("->"));
    cmdTel2 = makeButton(m2, "cmdTel2", nullptr, QStringLiteral("->"));
    CmdTel3 = makeButton(m2, "CmdTel3", nullptr, QStringLiteral("->"));
    cmdEmail2 = makeButton(m2, "cmdEmail2", nullptr, QStringLiteral("->"));
    cmdFreeText = makeButton(m2, "cmdFreeText", nullptr, QStringLiteral("->"));
    auto* g3 = new QGridLayout(m2);
    g3->addWidget(lbFields2, 0, 0, 6, 1);
    const struct {
        QPushButton* button;
        const char* id;
        const char* text;
        QLineEdit* box;
    } rows2[] = {{cmdID, "13037", "ID", txtContactID},
                 {cmdTel2, "13038", "Tel. 2", txtTel2},
                 {CmdTel3, "13039", "Tel. 3", txtTel3},
                 {cmdEmail2, "13040", "Email 2", txtEmail2},
                 {cmdFreeText, "13041", "Free Text", txtFreeText}};
    int row = 0;
    for (const auto& r : rows2) {
        g3->addWidget(r.button, row, 1);
        g3->addWidget(makeLabel(m2, r.id, QString::fromLatin1(r.text)), row, 2);
        g3->addWidget(r.box, row, 3);
        ++row;
    }
    g3->setRowStretch(row, 1);
    g3->setColumnStretch(0, 1);
    g3->setColumnStretch(3, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addLayout(makeButtonRow());
    setMinimumSize(560, 360);

    connect(cmdGetTableInfo, &QPushButton::clicked, this,
            &frmDatabaseAddressBook::cmdGetTableInfo_Click);
    connect(txtTableName, &QLineEdit::textChanged, this,
            &frmDatabaseAddressBook::txtTableName_Change);
    connect(cmdGroupAdd, &QPushButton::clicked, this, &frmDatabaseAddressBook::cmdGroupAdd_Click);
    connect(cmdGroupRemove, &QPushButton::clicked, this,
            &frmDatabaseAddressBook::cmdGroupRemove_Click);
    const struct {
        QPushButton* button;
        QListWidget* list;
        QLineEdit* box;
    } mappings[] = {{cmdName, lbFields, txtName},      {cmdTelephone, lbFields, txtTelephone},
                    {cmdEmail, lbFields, txtEmail},    {cmdID, lbFields2, txtContactID},
                    {cmdTel2, lbFields2, txtTel2},     {CmdTel3, lbFields2, txtTel3},
                    {cmdEmail2, lbFields2, txtEmail2}, {cmdFreeText, lbFields2, txtFreeText}};
    for (const auto& m : mappings) {
        QListWidget* list = m.list;
        QLineEdit* box = m.box;
        connect(m.button, &QPushButton::clicked, this, [this, list, box] { mapColumn(list, box); });
    }
}

void frmDatabaseAddressBook::Form_Load() {
    trapErrors([&] {
        localizeForm(this);
        txtTableName_Change();
        loadRingInterval();
        Clear();
        loadTabs();
    });
}

void frmDatabaseAddressBook::Clear() {
    for (QLineEdit* box : {txtAddressBookName, txtDSN, txtUserName, txtPassword, txtEmail, txtName,
                           txtTableName, txtTelephone, txtRingSound, txtCallPrefix, txtContactID,
                           txtTel2, txtTel3, txtEmail2, txtFreeText})
        box->clear();
    lbFields->clear();
    lbFields2->clear();
    lbGrouping->clear();
    cbReadOnly->setChecked(false);
    clearGeneralTab();
}

void frmDatabaseAddressBook::setValues(const std::shared_ptr<DatabaseAddressBook>& l) {
    Clear();
    if (!l)
        return;
    currentBook = l;
    txtAddressBookName->setText(l->addressBookName);
    txtUserName->setText(l->User);
    txtPassword->setText(l->password);
    txtDSN->setText(l->dsn);
    txtTableName->setText(l->tableName);
    txtName->setText(l->nameField);
    txtTelephone->setText(l->telephoneField);
    txtEmail->setText(l->emailField);
    cbReadOnly->setChecked(l->readonly);
    if (l->groupNum >= 1) {
        // The levels in use; the list never holds fewer than groupNum items.
        const QStringList grouping = l->Grouping();
        lbGrouping->addItems(grouping.mid(0, l->groupNum));
    }
    cbSearchForCallerID->setChecked(l->searchForCallerID);
    txtRingSound->setText(l->ringSound);
    txtCallPrefix->setText(l->callPrefix);
    // The slider offers 1 to 15; a stored value outside that shows at the nearer end.
    sdRingInterval->setValue(l->ringSoundInterval);
    txtContactID->setText(l->contactid);
    txtTel2->setText(l->telephone2);
    txtTel3->setText(l->telephone3);
    txtEmail2->setText(l->email2);
    txtFreeText->setText(l->freetext);
}

std::shared_ptr<DatabaseAddressBook> frmDatabaseAddressBook::getValues() {
    if (!currentBook) {
        currentBook = std::make_shared<DatabaseAddressBook>();
        currentBook->init();
    }
    fill(*currentBook);
    return currentBook;
}

void frmDatabaseAddressBook::checkValues() {
    DatabaseAddressBook b;
    b.init();
    fill(b);
    checkDatabaseBookNames(b);
}

void frmDatabaseAddressBook::fill(DatabaseAddressBook& b) const {
    b.addressBookName = txtAddressBookName->text();
    b.dsn = txtDSN->text();
    b.User = txtUserName->text();
    b.password = txtPassword->text();
    b.tableName = txtTableName->text();
    b.telephoneField = txtTelephone->text();
    b.emailField = txtEmail->text();
    b.readonly = cbReadOnly->isChecked();
    b.nameField = txtName->text();

    QStringList grouping;
    for (int i = 0; i < lbGrouping->count(); ++i)
        grouping.append(lbGrouping->item(i)->text());
    b.setGrouping(grouping.join(u','));
    b.groupNum = static_cast<std::int16_t>(std::min(lbGrouping->count(), 32767));

    b.ringSound = txtRingSound->text();
    b.callPrefix = txtCallPrefix->text();
    b.ringSoundInterval = static_cast<std::int16_t>(sdRingInterval->value());
    b.searchForCallerID = cbSearchForCallerID->isChecked();
    b.contactid = txtContactID->text();
    b.telephone2 = txtTel2->text();
    b.telephone3 = txtTel3->text();
    b.email2 = txtEmail2->text();
    b.freetext = txtFreeText->text();
}

void frmDatabaseAddressBook::cmdGetTableInfo_Click() {
    trapErrors([&] {
        DBConnection connection;
        connection.dsn = txtDSN->text();
        connection.userName = txtUserName->text();
        connection.password = txtPassword->text();
        QStringList fields;
        bool failed = false;
        try {
            fields = connection.getTableFields(txtTableName->text());
        } catch (...) {
            failed = true;
        }
        if (failed) {
            Prompter::msgBox(loadResString(16004), Msg::OKOnly, loadResString(16005), this);
            return;
        }
        lbFields->clear();
        lbFields2->clear();
        lbFields->addItems(fields);
        lbFields2->addItems(fields);
        for (QLineEdit* box : {txtName, txtTelephone, txtEmail, txtContactID, txtTel2, txtTel3,
                               txtEmail2, txtFreeText})
            box->clear();
        lbGrouping->clear();
    });
}

void frmDatabaseAddressBook::txtTableName_Change() {
    trapErrors([&] { cmdGetTableInfo->setEnabled(!txtTableName->text().isEmpty()); });
}

void frmDatabaseAddressBook::mapColumn(QListWidget* list, QLineEdit* box) {
    trapErrors([&] {
        QString column;
        if (selectedText(list, column))
            box->setText(column);
    });
}

void frmDatabaseAddressBook::cmdGroupAdd_Click() {
    trapErrors([&] {
        QString column;
        if (selectedText(lbFields, column))
            lbGrouping->addItem(column);
    });
}

void frmDatabaseAddressBook::cmdGroupRemove_Click() {
    trapErrors([&] {
        const QList<QListWidgetItem*> rows = lbGrouping->selectedItems();
        if (!rows.isEmpty())
            delete lbGrouping->takeItem(lbGrouping->row(rows.first()));
    });
}
