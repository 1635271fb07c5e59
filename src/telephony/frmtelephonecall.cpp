#include "telephony/frmtelephonecall.h"

#include "app/globals.h"
#include "app/settingsrecords.h"
#include "app/strings.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "platform/telephony/tapi.h"
#include "telephony/callhandler.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

frmTelephoneCall::frmTelephoneCall()
    : CallWindowOf("frmTelephoneCall", "15016", QStringLiteral("Telephone Call"), "TelephonePic",
                   CallStatus::Calling) {
    Label1 = new QLabel(QStringLiteral("Telephone Number :"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtNumber = new QLineEdit(this);
    txtNumber->setObjectName(QStringLiteral("txtNumber"));
    Label1->setBuddy(txtNumber);
    lblCalledIDStr = new QLabel(this);
    lblCalledIDStr->setObjectName(QStringLiteral("lblCalledIDStr"));
    cmdDial = addButton("cmdDial", "14015", QStringLiteral("&Dial"));
    cmdDial->setDefault(true);
    cmdHangUp = addButton("cmdHangUp", "14017", QStringLiteral("&Hang Up"));
    layOut({Label1, txtNumber, lblCalledIDStr}, cmdDial, cmdHangUp);

    connect(cmdDial, &QPushButton::clicked, this, &frmTelephoneCall::cmdDial_Click);
    connect(cmdHangUp, &QPushButton::clicked, this, &frmTelephoneCall::cmdHangUp_Click);
    connect(txtNumber, &QLineEdit::returnPressed, cmdDial, &QPushButton::click);
    // A number typed over the old one no longer belongs to the name beside it.
    connect(txtNumber, &QLineEdit::textEdited, lblCalledIDStr, &QLabel::clear);
}

void frmTelephoneCall::Form_Load() {
    trapErrors([&] {
        loadWindow();
        txtNumber->clear();
        lblStatus->clear();
        lblCalledIDStr->clear();
    });
}

void frmTelephoneCall::DialNumber() {
    tellErrors([&] {
        if (!gAddress) {
            Prompter::msgBox(loadResString(16006), Msg::Exclamation, loadResString(16007), this);
            return;
        }
        if (callOnLine())
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
    lblCalledIDStr->clear();
}
QString frmTelephoneCall::number() const {
    return txtNumber->text();
}

void frmTelephoneCall::showCalledIDNum(const QString& calledID) {
    txtNumber->setText(calledID);
}
void frmTelephoneCall::showCalledIDStr(const QString& calledIdStr) {
    lblCalledIDStr->setText(calledIdStr);
}

void frmTelephoneCall::cmdDial_Click() {
    trapErrors([&] {
        if (callOnLine()) {
            Prompter::msgBox(QStringLiteral("One call at a time!"), Msg::OKOnly, appTitle(), this);
            return;
        }
        if (txtNumber->text().isEmpty()) {
            Prompter::msgBox(QStringLiteral("You must specify the number to Dial!"), Msg::OKOnly,
                             appTitle(), this);
            return;
        }
        DialNumber();
    });
}

void frmTelephoneCall::cmdHangUp_Click() {
    tellErrors([&] {
        if (!gCall) {
            Prompter::msgBox(QStringLiteral("No call to disconnect!"), Msg::OKOnly, appTitle(),
                             this);
            return;
        }
        const auto asked = gCall;
        const int answer = Prompter::msgBox(QStringLiteral("Disconnect the current call?"),
                                            Msg::YesNo, appTitle(), this);
        // The call may have ended while the question was open, and another
        // one may have come in: only the call asked about is ended.
        if (answer == Msg::Yes && gCall && gCall == asked)
            gCall->Disconnect(DC_NORMAL);
    });
}
