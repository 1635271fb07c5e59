#include "addressbooks/frmlocaladdressbook.h"

#include "addressbooks/dbfunctions.h"
#include "platform/errors.h"
#include "app/localize.h"
#include "app/strings.h"
#include "platform/filechooser.h"
#include "platform/prompter.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {
QPointer<frmLocalAddressBook> gLocalDialog;
const QString kSuffix = QStringLiteral(".lab");
const QString kAppTitle = QStringLiteral("Tamrivo");
} // namespace

frmLocalAddressBook* frmLocalAddressBook::instance() {
    if (!gLocalDialog) {
        gLocalDialog = new frmLocalAddressBook;
        gLocalDialog->Form_Load();
    }
    return gLocalDialog;
}

frmLocalAddressBook* frmLocalAddressBook::loadedInstance() {
    return gLocalDialog;
}

void frmLocalAddressBook::forgetInstance() {
    if (gLocalDialog == this)
        gLocalDialog = nullptr;
}

frmLocalAddressBook::frmLocalAddressBook()
    : BookDialog(QStringLiteral("frmLocalAddressBook"), QStringLiteral("15009"),
                 QStringLiteral("Local Address Book")) {
    QWidget* tabs = makeTabs({QStringLiteral("13017"), QStringLiteral("13030")},
                             {QStringLiteral("&General"), QStringLiteral("&Database")});
    makeGeneralTab(TabFrm[0]);

    QFrame* db = TabFrm[1];
    txtFileName = makeLineEdit(db, "txtFileName");
    cmdChooseFile = makeButton(db, "cmdChooseFile", "14025", QStringLiteral("Choose &File..."));
    cmdNew = makeButton(db, "cmdNew", "14024", QStringLiteral("Create &New..."));
    auto* g = new QGridLayout(db);
    g->addWidget(makeLabel(db, nullptr, QStringLiteral("File name :")), 0, 0);
    g->addWidget(txtFileName, 0, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdChooseFile);
    buttons->addWidget(cmdNew);
    g->addLayout(buttons, 1, 1);
    g->setRowStretch(2, 1);
    g->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addLayout(makeButtonRow());
    setMinimumSize(440, 260);

    connect(cmdChooseFile, &QPushButton::clicked, this, &frmLocalAddressBook::cmdChooseFile_Click);
    connect(cmdNew, &QPushButton::clicked, this, &frmLocalAddressBook::cmdNew_Click);
}

void frmLocalAddressBook::Form_Load() {
    trapErrors([&] {
        localizeForm(this);
        loadRingInterval();
        loadTabs();
    });
}

void frmLocalAddressBook::Clear() {
    clearGeneralTab();
    txtFileName->clear();
    currentBook.reset();
}

void frmLocalAddressBook::setValues(const std::shared_ptr<LocalAddressBook>& l) {
    if (!l)
        return;
    currentBook = l;
    txtAddressBookName->setText(l->addressBookName);
    cbSearchForCallerID->setChecked(l->searchForCallerID);
    txtRingSound->setText(l->ringSound);
    txtCallPrefix->setText(l->callPrefix);
    // The slider offers 1 to 15; a stored value outside that shows at the nearer end.
    sdRingInterval->setValue(l->ringSoundInterval);
    txtFileName->setText(l->filename);
}

std::shared_ptr<LocalAddressBook> frmLocalAddressBook::getValues() {
    if (!currentBook)
        currentBook = std::make_shared<LocalAddressBook>();
    currentBook->addressBookName = txtAddressBookName->text();
    currentBook->ringSound = txtRingSound->text();
    currentBook->callPrefix = txtCallPrefix->text();
    currentBook->ringSoundInterval = static_cast<std::int16_t>(sdRingInterval->value());
    currentBook->searchForCallerID = cbSearchForCallerID->isChecked();
    currentBook->filename = txtFileName->text();
    return currentBook;
}

void frmLocalAddressBook::cmdChooseFile_Click() {
    trapErrors([&] {
        QString path;
        if (!FileChooser::choose(FileChooser::Mode::Open, loadResString(16029), 1,
                                 loadResString(16030), path, this))
            return;
        txtFileName->setText(path);
    });
}

void frmLocalAddressBook::cmdNew_Click() {
    trapErrors([&] {
        QString path;
        if (!FileChooser::choose(FileChooser::Mode::Save, loadResString(16029), 1,
                                 loadResString(16030), path, this))
            return;
        txtFileName->setText(path);
        if (!txtFileName->text().endsWith(kSuffix, Qt::CaseSensitive))
            txtFileName->setText(txtFileName->text() + kSuffix);
        try {
            createLocalAddressBook(txtFileName->text());
        } catch (const AppError& e) {
            Prompter::msgBox(e.description(), Msg::OKOnly, kAppTitle, this);
        } catch (const std::exception& e) {
            Prompter::msgBox(QString::fromLocal8Bit(e.what()), Msg::OKOnly, kAppTitle, this);
        }
    });
}
