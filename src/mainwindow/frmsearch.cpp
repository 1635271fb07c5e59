#include "mainwindow/frmsearch.h"

#include "addressbooks/search.h"
#include "platform/errors.h"
#include "app/globals.h"
#include "app/localize.h"
#include "app/strings.h"
#include "mainwindow/frmmain.h"
#include "platform/prompter.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QPointer<frmSearch> gSearchWindow;

QRadioButton* option(const char* name, const char* text, QWidget* parent) {
    auto* b = new QRadioButton(QString::fromLatin1(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

void frmSearch::showWindow(QWidget* owner) {
    trapErrors([&] {
        if (!gSearchWindow) {
            gSearchWindow = new frmSearch(owner);
            gSearchWindow->Form_Load();
        }
        gSearchWindow->show();
        gSearchWindow->raise();
        gSearchWindow->activateWindow();
    });
}

frmSearch* frmSearch::loadedInstance() {
    return gSearchWindow;
}

frmSearch::frmSearch(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmSearch"));
    setProperty("Tag", QStringLiteral("15014"));
    setWindowTitle(QStringLiteral("Contact Search"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tamrivo.png")));
    setModal(false);

    Label1 = new QLabel(QStringLiteral("Search :"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtSearchStr = new QLineEdit(this);
    txtSearchStr->setObjectName(QStringLiteral("txtSearchStr"));
    Label1->setBuddy(txtSearchStr);

    Frame1 = new QGroupBox(QStringLiteral("Search What "), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    rbSearchName = option("rbSearchName", "Name", Frame1);
    rbSearchNumber = option("rbSearchNumber", "Number", Frame1);
    rbSearchEmail = option("rbSearchEmail", "Email", Frame1);
    auto* what = new QVBoxLayout(Frame1);
    what->addWidget(rbSearchName);
    what->addWidget(rbSearchNumber);
    what->addWidget(rbSearchEmail);

    Frame2 = new QGroupBox(QStringLiteral("Search Mode "), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    rbSearchExact = option("rbSearchExact", "Exact Match", Frame2);
    rbSearchPrefix = option("rbSearchPrefix", "Prefix Match", Frame2);
    rbSearchSuffix = option("rbSearchSuffix", "Suffix Match", Frame2);
    rbSearchContains = option("rbSearchContains", "Contains Match", Frame2);
    auto* how = new QVBoxLayout(Frame2);
    how->addWidget(rbSearchExact);
    how->addWidget(rbSearchPrefix);
    how->addWidget(rbSearchSuffix);
    how->addWidget(rbSearchContains);

    cmdSearch = new QPushButton(QStringLiteral("Search"), this);
    cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    cmdSearch->setDefault(true);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto* searchLine = new QHBoxLayout;
    searchLine->addWidget(Label1);
    searchLine->addWidget(txtSearchStr, 1);
    auto* frames = new QHBoxLayout;
    frames->addWidget(Frame1);
    frames->addWidget(Frame2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSearch);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(searchLine);
    layout->addLayout(frames);
    layout->addLayout(buttons);

    connect(cmdSearch, &QPushButton::clicked, this, &frmSearch::cmdSearch_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmSearch::cmdClose_Click);
}

void frmSearch::Form_Load() {
    trapErrors([&] {
        localizeForm(this);
        txtSearchStr->clear();
        rbSearchExact->setChecked(true);
        rbSearchName->setChecked(true);
    });
}

std::int16_t frmSearch::modeCode() const {
    std::int16_t mode = SearchMode::Exact;
    if (rbSearchContains->isChecked())
        mode = SearchMode::Contains;
    if (rbSearchExact->isChecked())
        mode = SearchMode::Exact;
    if (rbSearchPrefix->isChecked())
        mode = SearchMode::Prefix;
    if (rbSearchSuffix->isChecked())
        mode = SearchMode::Suffix;
    return mode;
}

std::int16_t frmSearch::fieldCode() const {
    std::int16_t field = SearchField::Name;
    if (rbSearchName->isChecked())
        field = SearchField::Name;
    if (rbSearchNumber->isChecked())
        field = SearchField::Number;
    if (rbSearchEmail->isChecked())
        field = SearchField::Email;
    return field;
}

void frmSearch::cmdSearch_Click() {
    trapErrors([&] {
        const QString text = txtSearchStr->text();
        if (text.isEmpty()) {
            Prompter::msgBox(QStringLiteral("Enter search string"), Msg::OKOnly,
                             QStringLiteral("Tamrivo"), this);
            return;
        }
        DBSearchResult result;
        bool tooMany = false;
        try {
            result = searchAddressBooks(text, fieldCode(), modeCode());
        } catch (const AppError& e) {
            // More hits than a result set holds: the rows listed before
            // must not pass for the answer.
            if (e.number() != ErrNum::Overflow)
                throw;
            tooMany = true;
            result.init();
        }
        if (result.isEOF() && !tooMany)
            return; // nothing found: the list keeps what it shows
        if (!gMainForm)
            raiseError(ErrNum::ObjectNotSet);
        gMainForm->useSearchResult(result, false, QString());
        if (tooMany)
            Prompter::msgBox(loadResString(16320), Msg::OKOnly | Msg::Exclamation,
                             loadResString(15014), this);
    });
}

void frmSearch::cmdClose_Click() {
    trapErrors([&] { unload(); });
}

void frmSearch::reject() {
    cmdClose_Click();
}

void frmSearch::closeEvent(QCloseEvent* event) {
    event->accept();
    unload();
}

void frmSearch::unload() {
    if (gSearchWindow == this)
        gSearchWindow = nullptr;
    hide();
    deleteLater();
}
