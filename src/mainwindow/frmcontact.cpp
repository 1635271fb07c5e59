#include "mainwindow/frmcontact.h"

#include "app/globals.h"
#include "app/localize.h"
#include "mainwindow/frmmain.h"
#include "platform/errors.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QVBoxLayout>
#include <limits>

namespace {
QPointer<frmContact> gContactDialog;

// Contact fields may be longer than a line edit's usual limit.
constexpr int NoLimit = std::numeric_limits<int>::max();

QLineEdit* textBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setMaxLength(NoLimit);
    return box;
}

// The column sizes of a Local book's table (its CHECK constraints refuse more).
constexpr int LocalNameSize = 40;
constexpr int LocalTelephoneSize = 20;
constexpr int LocalEmailSize = 100;
constexpr int LocalFreeTextSize = 250;
} // namespace

frmContact* frmContact::instance() {
    if (!gContactDialog) {
        gContactDialog = new frmContact(gMainForm);
        gContactDialog->Form_Load();
    }
    return gContactDialog;
}

frmContact* frmContact::loadedInstance() {
    return gContactDialog;
}

void frmContact::showModal() {
    QPointer<frmContact> dialog = instance();
    dialog->m_unloadRequested = false;
    dialog->cmdSave->setFocus();
    dialog->m_inModal = true;
    dialog->exec();
    if (dialog)
        dialog->m_inModal = false;
    // Closed by the window box: unloaded, the next access loads a fresh one.
    if (dialog && dialog->m_unloadRequested) {
        if (gContactDialog == dialog)
            gContactDialog = nullptr;
        delete dialog.data();
    }
}

frmContact::frmContact(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmContact"));
    setProperty("Tag", QStringLiteral("15010"));
    setWindowTitle(QStringLiteral("Contact"));
    setModal(true);

    struct Field {
        const char* label;
        const char* tag;
        const char* text;
    };
    const Field labels[] = {
        {"Label1", "13042", "Name :"},          {"Label2", "13043", "Telephone :"},
        {"Label3", "13044", "Email :"},         {"Label4", "13045", "Telephone (2) :"},
        {"Label5", "13046", "Telephone (3) :"}, {"Label6", "13047", "Email (2) :"},
        {"Label7", "13048", "Free Text :"},     {"Label8", nullptr, "Contact ID :"},
    };

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
    QWidget* boxes[] = {txtName,       txtTelephone, txtEmail,    txtTelephone2,
                        txtTelephone3, txtEmail2,    txtFreeText, txtContactID};

    auto* grid = new QGridLayout;
    for (int i = 0; i < 8; ++i) {
        auto* label = new QLabel(QString::fromLatin1(labels[i].text), this);
        label->setObjectName(QString::fromLatin1(labels[i].label));
        if (labels[i].tag)
            label->setProperty("Tag", QString::fromLatin1(labels[i].tag));
        label->setBuddy(boxes[i]);
        grid->addWidget(label, i, 0, Qt::AlignTop);
        grid->addWidget(boxes[i], i, 1);
    }
    grid->setColumnStretch(1, 1);

    cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setProperty("Tag", QStringLiteral("14009"));
    cmdSave->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setProperty("Tag", QStringLiteral("14002"));
    m_closeMode = new QLineEdit(this);
    m_closeMode->setObjectName(QStringLiteral("closeMode"));
    m_closeMode->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    setMinimumWidth(380);

    // Save, Cancel, the (disabled) contact id, then the fields top down.
    QWidget* order[] = {cmdSave,  cmdCancel,     txtContactID,  txtName,   txtTelephone,
                        txtEmail, txtTelephone2, txtTelephone3, txtEmail2, txtFreeText};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(txtFreeText, &QPlainTextEdit::textChanged, this, &frmContact::clipFreeText);
    connect(cmdSave, &QPushButton::clicked, this, &frmContact::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmContact::cmdCancel_Click);
}

void frmContact::Form_Load() {
    trapErrors([&] {
        localizeForm(this);
        // The id is shown but travels unchanged: it names the row to update.
        txtContactID->setEnabled(false);
    });
}

void frmContact::setValues(const Contact& c) {
    trapErrors([&] {
        txtContactID->setText(c.contactid);
        txtName->setText(c.name);
        txtTelephone->setText(c.telephone);
        txtTelephone2->setText(c.telephone2);
        txtTelephone3->setText(c.telephone3);
        txtEmail->setText(c.email);
        txtEmail2->setText(c.email2);
        m_freeText = c.freetext;
        txtFreeText->setPlainText(c.freetext);
        txtFreeText->document()->setModified(false);
    });
}

void frmContact::limitToLocalColumns(bool on) {
    auto limit = [on](int size) { return on ? size : NoLimit; };
    txtName->setMaxLength(limit(LocalNameSize));
    for (QLineEdit* box : {txtTelephone, txtTelephone2, txtTelephone3})
        box->setMaxLength(limit(LocalTelephoneSize));
    for (QLineEdit* box : {txtEmail, txtEmail2})
        box->setMaxLength(limit(LocalEmailSize));
    m_freeTextLimit = on ? LocalFreeTextSize : 0;
    clipFreeText();
}

// A plain-text box has no length limit of its own: cut what goes past it.
void frmContact::clipFreeText() {
    if (m_freeTextLimit <= 0)
        return;
    const QString text = txtFreeText->toPlainText();
    // Line ends given as CR LF go back that way and count two each.
    const bool crlf = m_freeText.contains(QLatin1String("\r\n"));
    qsizetype length = text.size() + (crlf ? text.count(u'\n') : 0);
    if (length <= m_freeTextLimit)
        return;
    qsizetype keep = text.size();
    while (keep > 0 && length > m_freeTextLimit) {
        --keep;
        length -= (crlf && text[keep] == u'\n') ? 2 : 1;
    }
    const bool modified = txtFreeText->document()->isModified();
    const QString kept = text.left(keep);
    m_freeText = crlf ? QString(kept).replace(u'\n', QLatin1String("\r\n")) : kept;
    const QSignalBlocker block(txtFreeText);
    txtFreeText->setPlainText(kept);
    txtFreeText->moveCursor(QTextCursor::End);
    txtFreeText->document()->setModified(modified);
}

Contact frmContact::getValues() const {
    Contact c;
    trapErrors([&] {
        c.name = txtName->text();
        c.telephone = txtTelephone->text();
        c.email = txtEmail->text();
        c.telephone2 = txtTelephone2->text();
        c.telephone3 = txtTelephone3->text();
        c.email2 = txtEmail2->text();
        if (!txtFreeText->document()->isModified()) {
            c.freetext = m_freeText;
        } else {
            c.freetext = txtFreeText->toPlainText();
            // Keep the line ends the text came with.
            if (m_freeText.contains(QLatin1String("\r\n")))
                c.freetext.replace(u'\n', QLatin1String("\r\n"));
        }
        c.contactid = txtContactID->text();
    });
    return c;
}

QString frmContact::closeMode() const {
    return m_closeMode->text();
}

void frmContact::cmdSave_Click() {
    trapErrors([&] {
        m_closeMode->setText(QStringLiteral("OK"));
        hide();
        done(QDialog::Accepted);
    });
}

void frmContact::cmdCancel_Click() {
    trapErrors([&] {
        m_closeMode->setText(QStringLiteral("Cancel"));
        hide();
        done(QDialog::Rejected);
    });
}

// Escape is the Cancel button.
void frmContact::reject() {
    cmdCancel_Click();
}

// The window box unloads the dialog; the caller then sees a fresh, empty one.
void frmContact::closeEvent(QCloseEvent* event) {
    event->accept();
    m_unloadRequested = true;
    m_closeMode->clear();
    if (m_inModal) {
        done(QDialog::Rejected);
        return;
    }
    if (gContactDialog == this)
        gContactDialog = nullptr;
    deleteLater();
}
