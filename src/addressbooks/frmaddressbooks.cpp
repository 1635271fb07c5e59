#include "addressbooks/frmaddressbooks.h"

#include "addressbooks/frmdatabaseaddressbook.h"
#include "addressbooks/frmldapaddressbook.h"
#include "addressbooks/frmlocaladdressbook.h"
#include "platform/errors.h"
#include "app/enterkey.h"
#include "app/globals.h"
#include "app/localize.h"
#include "app/settings.h"
#include "app/strings.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QPointer<frmAddressBooks> gManager;

constexpr int kLDAPText = 16001;
constexpr int kDatabaseText = 16002;
constexpr int kLocalText = 16003;

template <class Book>
int findBook(const QList<std::shared_ptr<Book>>& list, bool empty, const Book& book) {
    if (empty)
        return -1;
    for (int i = 0; i < list.size(); ++i) {
        if (list[i] && list[i]->addressBookName == book.addressBookName)
            return i;
    }
    return -1;
}

// A new record goes into the slot of the book of that name, else at the end.
template <class Book>
void storeBook(QList<std::shared_ptr<Book>>& list, bool& empty, const std::shared_ptr<Book>& book) {
    if (!book)
        return;
    if (empty) {
        list = {book};
        empty = false;
        return;
    }
    const int i = findBook(list, empty, *book);
    if (i >= 0)
        list[i] = book;
    else
        list.append(book);
}

// Offers each book of that name, in list order, to the dialog. An edited book
// keeps its own slot, whatever its new name.
template <class Dialog, class Book>
void editBooks(QList<std::shared_ptr<Book>>& list, bool empty, const QString& name,
               QWidget* owner) {
    if (empty)
        return;
    const int last = int(list.size()) - 1;
    for (int i = 0; i <= last && i < list.size(); ++i) {
        const std::shared_ptr<Book> book = list[i];
        if (!book || book->addressBookName != name)
            continue;
        Dialog* dialog = Dialog::instance();
        dialog->setValues(book);
        if (dialog->showModal(owner) != BookDialog::kOK)
            continue;
        const std::shared_ptr<Book> edited = Dialog::instance()->getValues();
        if (edited && i < list.size())
            list[i] = edited;
    }
}

// Removes the first book of that name; the last one left only marks the list empty.
template <class Book>
void deleteBook(QList<std::shared_ptr<Book>>& list, bool& empty, const QString& name) {
    if (empty)
        return;
    for (int i = 0; i < list.size(); ++i) {
        if (!list[i] || list[i]->addressBookName != name)
            continue;
        if (list.size() > 1)
            list.removeAt(i);
        else
            empty = true;
        return;
    }
}

template <class Book>
void listBooks(QTreeWidget* view, const QList<std::shared_ptr<Book>>& list, bool empty,
               int typeText) {
    if (empty)
        return;
    const QString type = loadResString(typeText);
    for (const auto& book : list) {
        auto* row = new QTreeWidgetItem;
        row->setText(0, book ? book->addressBookName : QString());
        row->setText(1, type);
        view->insertTopLevelItem(0, row);
    }
}

} // namespace

frmAddressBooks::frmAddressBooks(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAddressBooks"));
    setProperty("Tag", QStringLiteral("15001"));
    setWindowTitle(QStringLiteral("Address Books"));
    setModal(true);

    AddressBooksList = new QTreeWidget(this);
    AddressBooksList->setObjectName(QStringLiteral("AddressBooksList"));
    AddressBooksList->setColumnCount(2);
    AddressBooksList->setHeaderLabels(
        {QStringLiteral("Address Book Name :"), QStringLiteral("Type")});
    AddressBooksList->setProperty("ColumnTags",
                                  QStringList{QStringLiteral("13001"), QStringLiteral("13002")});
    AddressBooksList->setRootIsDecorated(false);
    AddressBooksList->setItemsExpandable(false);
    AddressBooksList->setUniformRowHeights(true);
    AddressBooksList->setAllColumnsShowFocus(true);
    AddressBooksList->setSelectionMode(QAbstractItemView::SingleSelection);
    AddressBooksList->setSortingEnabled(false);
    AddressBooksList->header()->setStretchLastSection(true);
    AddressBooksList->setColumnWidth(0, 240);

    auto button = [this](const char* name, const char* id, const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setProperty("Tag", QString::fromLatin1(id));
        return b;
    };
    cmdAdd = button("cmdAdd", "14004", "&Add...");
    cmdProperties = button("cmdProperties", "14008", "&Properties...");
    cmdDelete = button("cmdDelete", "14005", "&Delete");
    cmdClose = button("cmdClose", "14003", "&Close");

    // Menu items carry their text id as their design-time caption.
    mnuAddAddressBook = new QMenu(this);
    mnuAddAddressBook->setObjectName(QStringLiteral("mnuAddAddressBook"));
    auto item = [this](const char* name, const char* id) {
        QAction* a = mnuAddAddressBook->addAction(QString::fromLatin1(id));
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    mnuAddAddressBookLDAPServer = item("mnuAddAddressBookLDAPServer", "11041");
    mnuAddAddressBookDatabase = item("mnuAddAddressBookDatabase", "11042");
    mnuAddAddressBookLocal = item("mnuAddAddressBookLocal", "11043");

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdAdd);
    buttons->addWidget(cmdProperties);
    buttons->addWidget(cmdDelete);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(AddressBooksList, 1);
    layout->addLayout(buttons);
    resize(520, 300);

    connect(AddressBooksList, &QTreeWidget::itemSelectionChanged, this,
            &frmAddressBooks::AddressBooksList_Click);
    connect(AddressBooksList, &QTreeWidget::itemDoubleClicked, this,
            &frmAddressBooks::AddressBooksList_DblClick);
    connect(cmdAdd, &QPushButton::clicked, this, &frmAddressBooks::cmdAdd_Click);
    connect(cmdProperties, &QPushButton::clicked, this, &frmAddressBooks::cmdProperties_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmAddressBooks::cmdDelete_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmAddressBooks::cmdClose_Click);
    connect(mnuAddAddressBookLDAPServer, &QAction::triggered, this,
            &frmAddressBooks::mnuAddAddressBookLDAPServer_Click);
    connect(mnuAddAddressBookDatabase, &QAction::triggered, this,
            &frmAddressBooks::mnuAddAddressBookDatabase_Click);
    connect(mnuAddAddressBookLocal, &QAction::triggered, this,
            &frmAddressBooks::mnuAddAddressBookLocal_Click);
}

frmAddressBooks* frmAddressBooks::current() {
    return gManager;
}

void frmAddressBooks::showModal(QWidget* owner) {
    if (gManager) {
        gManager->raise();
        gManager->activateWindow();
        return;
    }
    QPointer<frmAddressBooks> window = new frmAddressBooks(owner);
    gManager = window;
    window->Form_Load();
    window->exec();
    delete window.data();
}

void frmAddressBooks::Form_Load() {
    trapErrors([&] {
        localizeForm(this);
        fillAddressBooksList();
        updateButtons();
    });
}

void frmAddressBooks::keyPressEvent(QKeyEvent* event) {
    // There is no Cancel button: Escape must not close the window without
    // writing the settings. There is no default button either.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    if (!swallowEnter(event))
        QDialog::keyPressEvent(event);
}

void frmAddressBooks::AddressBooksList_Click() {
    trapErrors([&] { updateButtons(); });
}

void frmAddressBooks::AddressBooksList_DblClick() {
    trapErrors([&] { editSelectedAddressBook(); });
}

void frmAddressBooks::cmdProperties_Click() {
    trapErrors([&] { editSelectedAddressBook(); });
}

void frmAddressBooks::cmdAdd_Click() {
    trapErrors([&] {
        // At the Add button's top-right corner.
        const QPoint corner = cmdAdd->mapTo(this, QPoint(cmdAdd->width(), 0));
        mnuAddAddressBook->popup(mapToGlobal(corner));
    });
}

void frmAddressBooks::mnuAddAddressBookLDAPServer_Click() {
    trapErrors([&] {
        frmLDAPAddressBook* dialog = frmLDAPAddressBook::instance();
        dialog->Clear();
        if (dialog->showModal(this) == BookDialog::kOK)
            storeLDAPAddressBook(frmLDAPAddressBook::instance()->getValues());
        fillAddressBooksList();
    });
}

void frmAddressBooks::mnuAddAddressBookDatabase_Click() {
    trapErrors([&] {
        frmDatabaseAddressBook* dialog = frmDatabaseAddressBook::instance();
        dialog->Clear();
        auto book = std::make_shared<DatabaseAddressBook>();
        book->init();
        dialog->setValues(book);
        if (dialog->showModal(this) == BookDialog::kOK)
            storeDatabaseAddressBook(frmDatabaseAddressBook::instance()->getValues());
        fillAddressBooksList();
    });
}

void frmAddressBooks::mnuAddAddressBookLocal_Click() {
    trapErrors([&] {
        frmLocalAddressBook* dialog = frmLocalAddressBook::instance();
        dialog->Clear();
        if (dialog->showModal(this) == BookDialog::kOK)
            storeLocalAddressBook(frmLocalAddressBook::instance()->getValues());
        fillAddressBooksList();
    });
}

void frmAddressBooks::cmdDelete_Click() {
    trapErrors([&] {
        QTreeWidgetItem* row = selectedRow();
        if (!row)
            return;
        const QString name = row->text(0);
        const QString type = row->text(1);
        if (type == loadResString(kLDAPText))
            deleteBook(gLDAPBooks, noLDAPBooks, name);
        if (type == loadResString(kDatabaseText))
            deleteBook(gDBBooks, noDBBooks, name);
        if (type == loadResString(kLocalText))
            deleteBook(gLocalBooks, noLocalBooks, name);
        fillAddressBooksList();
    });
}

void frmAddressBooks::cmdClose_Click() {
    trapErrors([&] {
        saveSettings();
        accept();
    });
}

void frmAddressBooks::updateButtons() {
    const bool selected = selectedRow() != nullptr;
    cmdProperties->setEnabled(selected);
    cmdDelete->setEnabled(selected);
}

QTreeWidgetItem* frmAddressBooks::selectedRow() const {
    const QList<QTreeWidgetItem*> rows = AddressBooksList->selectedItems();
    return rows.isEmpty() ? nullptr : rows.first();
}

void frmAddressBooks::editSelectedAddressBook() {
    QTreeWidgetItem* row = selectedRow();
    if (!row)
        return;
    const QString name = row->text(0);
    const QString type = row->text(1);
    if (type == loadResString(kLDAPText))
        editBooks<frmLDAPAddressBook>(gLDAPBooks, noLDAPBooks, name, this);
    if (type == loadResString(kDatabaseText))
        editBooks<frmDatabaseAddressBook>(gDBBooks, noDBBooks, name, this);
    if (type == loadResString(kLocalText))
        editBooks<frmLocalAddressBook>(gLocalBooks, noLocalBooks, name, this);
    fillAddressBooksList();
}

void frmAddressBooks::fillAddressBooksList() {
    AddressBooksList->clear();
    listBooks(AddressBooksList, gLDAPBooks, noLDAPBooks, kLDAPText);
    listBooks(AddressBooksList, gDBBooks, noDBBooks, kDatabaseText);
    listBooks(AddressBooksList, gLocalBooks, noLocalBooks, kLocalText);
}

void frmAddressBooks::storeLDAPAddressBook(const std::shared_ptr<LDAPAddressBook>& book) {
    storeBook(gLDAPBooks, noLDAPBooks, book);
}
void frmAddressBooks::storeDatabaseAddressBook(const std::shared_ptr<DatabaseAddressBook>& book) {
    storeBook(gDBBooks, noDBBooks, book);
}
void frmAddressBooks::storeLocalAddressBook(const std::shared_ptr<LocalAddressBook>& book) {
    storeBook(gLocalBooks, noLocalBooks, book);
}
int frmAddressBooks::findLDAPAddressBook(const LDAPAddressBook& book) const {
    return findBook(gLDAPBooks, noLDAPBooks, book);
}
int frmAddressBooks::findDatabaseAddressBook(const DatabaseAddressBook& book) const {
    return findBook(gDBBooks, noDBBooks, book);
}
int frmAddressBooks::findLocalAddressBook(const LocalAddressBook& book) const {
    return findBook(gLocalBooks, noLocalBooks, book);
}
