#include "telephony/frmtelephonecall.h"

#include "platform/errors.h"
#include "app/globals.h"
#include "app/localize.h"
#include "app/settingsrecords.h"
#include "app/strings.h"
#include "platform/prompter.h"
#include "platform/telephony/tapi.h"
#include "telephony/callwindows_p.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QPointer<frmTelephoneCall> gCallWindow;
}

frmTelephoneCall* frmTelephoneCall::instance() {
    if (!gCallWindow) {
        gCallWindow = new frmTelephoneCall(callwindows::owner());
        gCallWindow->Form_Load();
    }
    return gCallWindow;
}

frmTelephoneCall* frmTelephoneCall::loadedInstance() {
    return gCallWindow;
}

bool frmTelephoneCall::isShown() {
    return gCallWindow && gCallWindow->isVisible();
}

frmTelephoneCall::frmTelephoneCall(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("frmTelephoneCall"));
    setProperty("Tag", QStringLiteral("15016"));
    setWindowTitle(QStringLiteral("Telephone Call"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tamrivo.png")));

    TelephonePic = new QLabel(this);
    TelephonePic->setObjectName(QStringLiteral("TelephonePic"));
    TelephonePic->setPixmap(QIcon(QStringLiteral(":/icons/tamrivo.png")).pixmap(48, 48));
    Label1 = new QLabel(QStringLiteral("Telephone Number :"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtNumber = new QLineEdit(this);
    txtNumber->setObjectName(QStringLiteral("txtNumber"));
    Label1->setBuddy(txtNumber);
    lblCalledIDStr = new QLabel(this);
    lblCalledIDStr->setObjectName(QStringLiteral("lblCalledIDStr"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    cmdDial = new QPushButton(QStringLiteral("&Dial"), this);
    cmdDial->setObjectName(QStringLiteral("cmdDial"));
    cmdDial->setProperty("Tag", QStringLiteral("14015"));
    cmdDial->setDefault(true);
    cmdDial->setAutoDefault(true); // not a dialog: Enter on a focused button presses it
    connect(txtNumber, &QLineEdit::returnPressed, cmdDial, &QPushButton::click);
    cmdHangUp = new QPushButton(QStringLiteral("&Hang Up"), this);
    cmdHangUp->setAutoDefault(true);
    cmdHangUp->setObjectName(QStringLiteral("cmdHangUp"));
    cmdHangUp->setProperty("Tag", QStringLiteral("14017"));
    cbAutoClose = new QCheckBox(QStringLiteral("Auto &Close"), this);
    cbAutoClose->setObjectName(QStringLiteral("cbAutoClose"));
    cbAutoClose->setProperty("Tag", QStringLiteral("13055"));
    CloseTimer = new QTimer(this);
    CloseTimer->setObjectName(QStringLiteral("CloseTimer"));

    auto* fields = new QVBoxLayout;
    fields->addWidget(Label1);
    fields->addWidget(txtNumber);
    fields->addWidget(lblCalledIDStr);
    fields->addWidget(lblStatus);
    auto* top = new QHBoxLayout;
    top->addWidget(TelephonePic, 0, Qt::AlignTop);
    top->addLayout(fields, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cbAutoClose);
    buttons->addStretch(1);
    buttons->addWidget(cmdDial);
    buttons->addWidget(cmdHangUp);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(320);

    connect(cmdDial, &QPushButton::clicked, this, &frmTelephoneCall::cmdDial_Click);
    connect(cmdHangUp, &QPushButton::clicked, this, &frmTelephoneCall::cmdHangUp_Click);
    connect(txtNumber, &QLineEdit::returnPressed, this, &frmTelephoneCall::cmdDial_Click);
    connect(CloseTimer, &QTimer::timeout, this, &frmTelephoneCall::CloseTimer_Timer);
}

void frmTelephoneCall::Form_Load() {
    trapErrors([&] {
        localizeForm(this);
        txtNumber->clear();
        lblStatus->clear();
        lblCalledIDStr->clear();
        cbAutoClose->setChecked(gPreferences && gPreferences->autoCloseOnDisconnect);
        CloseTimer->setInterval(callwindows::CloseDelayMs);
        CloseTimer->stop();
    });
}

void frmTelephoneCall::DialNumber() {
    trapErrors([&] {
        if (!gAddress) {
            Prompter::msgBox(loadResString(16006), Msg::Exclamation, loadResString(16007), this);
            return;
        }
        if (gCall)
            return; // a call is tracked: nothing is dialled
        gCall = gAddress->CreateCall(txtNumber->text(), LINEADDRESSTYPE_PHONENUMBER,
                                     TAPIMEDIATYPE_AUDIO);
        try {
            gCall->Connect(false);
        } catch (...) {
            // The call never got going: drop it so the user can dial again.
            if (auto call = gCall) {
                gCall.reset();
                try {
                    call->Disconnect(DC_NORMAL);
                } catch (...) {
                }
            }
            throw;
        }
    });
}

void frmTelephoneCall::setNumber(const QString& number) {
    txtNumber->setText(number);
}
QString frmTelephoneCall::number() const {
    return txtNumber->text();
}

void frmTelephoneCall::showStatus(std::int16_t status) {
    trapErrors([&] {
        // A new call in the window cancels the closing left by the last one.
        if (status == CallStatus::Calling)
            CloseTimer->stop();
        switch (status) {
        case CallStatus::Ringing:
            lblStatus->setText(loadResString(16018));
            break;
        case CallStatus::Connected:
            lblStatus->setText(loadResString(16019));
            break;
        case CallStatus::Disconnected:
            lblStatus->setText(loadResString(16020));
            if (cbAutoClose->isChecked())
                CloseTimer->start();
            break;
        case CallStatus::Calling:
            lblStatus->setText(loadResString(16028));
            break;
        default:
            break;
        }
    });
}

void frmTelephoneCall::showCalledIDNum(const QString& calledID) {
    txtNumber->setText(calledID);
}
void frmTelephoneCall::showCalledIDStr(const QString& calledIdStr) {
    lblCalledIDStr->setText(calledIdStr);
}

void frmTelephoneCall::showWindow() {
    if (!isVisible())
        show();
}

void frmTelephoneCall::unload() {
    CloseTimer->stop();
    if (gCallWindow == this)
        gCallWindow = nullptr;
    hide();
    deleteLater();
}

void frmTelephoneCall::closeEvent(QCloseEvent* event) {
    event->accept();
    CloseTimer->stop();
    if (gCallWindow == this)
        gCallWindow = nullptr;
    deleteLater();
}

void frmTelephoneCall::cmdDial_Click() {
    trapErrors([&] {
        if (gCall) {
            Prompter::msgBox(QStringLiteral("One call at a time!"), Msg::OKOnly,
                             callwindows::appTitle(), this);
            return;
        }
        if (txtNumber->text().isEmpty()) {
            Prompter::msgBox(QStringLiteral("You must specify the number to Dial!"), Msg::OKOnly,
                             callwindows::appTitle(), this);
            return;
        }
        DialNumber();
    });
}

void frmTelephoneCall::cmdHangUp_Click() {
    trapErrors([&] {
        if (!gCall) {
            Prompter::msgBox(QStringLiteral("No call to disconnect!"), Msg::OKOnly,
                             callwindows::appTitle(), this);
            return;
        }
        const auto asked = gCall;
        const int answer = Prompter::msgBox(QStringLiteral("Disconnect the current call?"),
                                            Msg::YesNo, callwindows::appTitle(), this);
        // The call may have ended while the question was open, and another
        // one may have come in: only the call asked about is ended.
        if (answer == Msg::Yes && gCall && gCall == asked)
            gCall->Disconnect(DC_NORMAL);
    });
}

void frmTelephoneCall::CloseTimer_Timer() {
    trapErrors([&] {
        if (!CloseTimer->isActive())
            return;
        CloseTimer->stop();
        unload();
    });
}
