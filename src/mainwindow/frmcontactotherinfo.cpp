#include "mainwindow/frmcontactotherinfo.h"

#include "platform/errors.h"
#include "app/globals.h"
#include "app/localize.h"
#include "app/strings.h"
#include "mainwindow/frmmain.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "telephony/callhandler.h"
#include "telephony/frmtelephonecall.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <limits>

namespace {
QPointer<frmContactOtherInfo> gCard;

QLineEdit* textBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const char* tag, const char* text) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setProperty("Tag", QString::fromLatin1(tag));
    return b;
}
} // namespace

frmContactOtherInfo* frmContactOtherInfo::instance() {
    if (!gCard) {
        gCard = new frmContactOtherInfo(gMainForm);
        gCard->Form_Load();
    }
    return gCard;
}

frmContactOtherInfo* frmContactOtherInfo::loadedInstance() {
    return gCard;
}

frmContactOtherInfo::frmContactOtherInfo(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmContactOtherInfo"));
    setProperty("Tag", QStringLiteral("15008"));
    setWindowTitle(QStringLiteral("Contact Other Info"));
    setModal(false);

    txtName = textBox(this, "txtName");
    txtTelephone = textBox(this, "txtTelephone");
    txtEmail = textBox(this, "txtEmail");
    txtTelephone2 = textBox(this, "txtTelephone2");
    txtTelephone3 = textBox(this, "txtTelephone3");
    txtEmail2 = textBox(this, "txtEmail2");
    txtFreeText = new QPlainTextEdit(this);
    txtFreeText->setObjectName(QStringLiteral("txtFreeText"));
    txtFreeText->setTabChangesFocus(true);
    txtFreeText->setFixedHeight(txtName->sizeHint().height() * 3);
    txtContactID = textBox(this, "txtContactID");

    cmdClose = button(this, "cmdClose", "14023", "Close");
    cmdClose->setDefault(true);
    cmdCall = button(this, "cmdCall", "14018", "&Call...");
    cmdEmail = button(this, "cmdEmail", "14019", "&Send...");
    cmdCall2 = button(this, "cmdCall2", "14020", "C&all...");
    cmdCall3 = button(this, "cmdCall3", "14021", "Ca&ll...");
    cmdEmail2 = button(this, "cmdEmail2", "14022", "S&end...");

    struct Row {
        const char* label;
        const char* tag;
        const char* text;
        QWidget* box;
        QPushButton* button;
    };
    const Row rows[] = {
        {"Label1", "13042", "Name :", txtName, cmdClose},
        {"Label2", "13043", "Telephone :", txtTelephone, cmdCall},
        {"Label3", "13044", "Email :", txtEmail, cmdEmail},
        {"Label4", "13045", "Telephone (2) :", txtTelephone2, cmdCall2},
        {"Label5", "13046", "Telephone (3) :", txtTelephone3, cmdCall3},
        {"Label6", "13047", "Email (2) :", txtEmail2, cmdEmail2},
        {"Label7", "13048", "Free Text :", txtFreeText, nullptr},
        {"Label8", nullptr, "Contact ID :", txtContactID, nullptr},
    };
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < 8; ++i) {
        auto* label = new QLabel(QString::fromLatin1(rows[i].text), this);
        label->setObjectName(QString::fromLatin1(rows[i].label));
        if (rows[i].tag)
            label->setProperty("Tag", QString::fromLatin1(rows[i].tag));
        label->setBuddy(rows[i].box);
        grid->addWidget(label, i, 0, Qt::AlignTop);
        grid->addWidget(rows[i].box, i, 1);
        if (rows[i].button)
            grid->addWidget(rows[i].button, i, 2, Qt::AlignTop);
    }
    grid->setColumnStretch(1, 1);
    setMinimumWidth(440);

    connect(cmdCall, &QPushButton::clicked, this, &frmContactOtherInfo::cmdCall_Click);
    connect(cmdCall2, &QPushButton::clicked, this, &frmContactOtherInfo::cmdCall2_Click);
    connect(cmdCall3, &QPushButton::clicked, this, &frmContactOtherInfo::cmdCall3_Click);
    connect(cmdEmail, &QPushButton::clicked, this, &frmContactOtherInfo::cmdEmail_Click);
    connect(cmdEmail2, &QPushButton::clicked, this, &frmContactOtherInfo::cmdEmail2_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmContactOtherInfo::cmdClose_Click);

    // Each button is enabled exactly while its box holds a text.
    const std::pair<QLineEdit*, QPushButton*> pairs[] = {
        {txtTelephone, cmdCall}, {txtTelephone2, cmdCall2}, {txtTelephone3, cmdCall3},
        {txtEmail, cmdEmail},    {txtEmail2, cmdEmail2},
    };
    for (const auto& [box, b] : pairs) {
        QPushButton* target = b;
        connect(box, &QLineEdit::textChanged, this,
                [target](const QString& text) { target->setEnabled(!text.isEmpty()); });
    }
}

void frmContactOtherInfo::Form_Load() {
    trapErrors([&] { localizeForm(this); });
}

void frmContactOtherInfo::Form_Activate() {
    trapErrors([&] {
        cmdCall->setEnabled(!txtTelephone->text().isEmpty());
        cmdCall2->setEnabled(!txtTelephone2->text().isEmpty());
        cmdCall3->setEnabled(!txtTelephone3->text().isEmpty());
        cmdEmail->setEnabled(!txtEmail->text().isEmpty());
        cmdEmail2->setEnabled(!txtEmail2->text().isEmpty());
    });
}

bool frmContactOtherInfo::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate || e->type() == QEvent::Show)
        Form_Activate();
    return QDialog::event(e);
}

void frmContactOtherInfo::Clear() {
    trapErrors([&] {
        for (QLineEdit* box : {txtName, txtTelephone, txtEmail, txtTelephone2, txtTelephone3,
                               txtEmail2, txtContactID})
            box->setText(QString());
        txtFreeText->setPlainText(QString());
        abTag.clear();
        Form_Activate();
    });
}

void frmContactOtherInfo::setBoxes(const Contact& c) {
    txtName->setText(c.name);
    txtTelephone->setText(c.telephone);
    txtEmail->setText(c.email);
    txtTelephone2->setText(c.telephone2);
    txtTelephone3->setText(c.telephone3);
    txtEmail2->setText(c.email2);
    txtFreeText->setPlainText(c.freetext);
    txtContactID->setText(c.contactid);
}

void frmContactOtherInfo::lockValues() {
    trapErrors([&] {
        for (QLineEdit* box : {txtName, txtTelephone, txtEmail, txtTelephone2, txtTelephone3,
                               txtEmail2, txtContactID})
            box->setReadOnly(true);
        txtFreeText->setReadOnly(true);
    });
}

void frmContactOtherInfo::showWindow() {
    show();
    raise();
    activateWindow();
}

void frmContactOtherInfo::unload() {
    if (gCard == this)
        gCard = nullptr;
    hide();
    deleteLater();
}

void frmContactOtherInfo::closeEvent(QCloseEvent* event) {
    event->accept();
    unload();
}

// Escape closes the card like its Close button.
void frmContactOtherInfo::reject() {
    cmdClose_Click();
}

void frmContactOtherInfo::cmdClose_Click() {
    trapErrors([&] { unload(); });
}

void frmContactOtherInfo::cmdCall_Click() {
    callNumberOf(txtTelephone);
}
void frmContactOtherInfo::cmdCall2_Click() {
    callNumberOf(txtTelephone2);
}
void frmContactOtherInfo::cmdCall3_Click() {
    callNumberOf(txtTelephone3);
}
void frmContactOtherInfo::cmdEmail_Click() {
    sendTo(txtEmail);
}
void frmContactOtherInfo::cmdEmail2_Click() {
    sendTo(txtEmail2);
}

void frmContactOtherInfo::callNumberOf(QLineEdit* box) {
    trapErrors([&] {
        if (!gAddress) {
            Prompter::msgBox(loadResString(16006), Msg::Critical, loadResString(16007), this);
            return;
        }
        // A call let go of counts until its end arrives, as for every dialling.
        if (callOnLine()) {
            Prompter::msgBox(loadResString(16016), Msg::Information, loadResString(16017), this);
            return;
        }
        loadCallPrefix();
        // The call window belongs to the main window, so closing the card
        // never takes a call in progress with it.
        frmTelephoneCall* callWindow = frmTelephoneCall::instance();
        callWindow->showWindow();
        const QString number = callPrefix + box->text();
        callWindow->setNumber(number);
        callWindow->showCalledIDStr(txtName->text());
        if (gMainForm)
            gMainForm->saveCorrectedCallInfo(number, txtName->text(), abTag);
        callWindow->DialNumber();
    });
}

void frmContactOtherInfo::loadCallPrefix() {
    // No prefix unless the tag names an existing Local or Database book: a
    // prefix left from an earlier contact must never be dialled.
    callPrefix.clear();
    trapErrors([&] {
        if (abTag.isEmpty())
            return;
        const AbTag tag = AbTag::parse(abTag);
        if (tag.kind == QChar(BookKind::Local))
            callPrefix = localBookAt(tag.index)->callPrefix;
        else if (tag.kind == QChar(BookKind::Database))
            callPrefix = dbBookAt(tag.index)->callPrefix;
    });
}

void frmContactOtherInfo::sendTo(QLineEdit* box) {
    trapErrors([&] { Shell::open(Shell::mailto(box->text())); });
}
