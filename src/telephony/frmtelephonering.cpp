#include "telephony/frmtelephonering.h"

#include "app/globals.h"
#include "app/settingsrecords.h"
#include "platform/errors.h"
#include "platform/telephony/tapi.h"

#include <QLabel>
#include <QPushButton>

frmTelephoneRing::frmTelephoneRing()
    : CallWindowOf("frmTelephoneRing", "15017", QStringLiteral("Telephone Ring"), "Image1",
                   CallStatus::Ringing) {
    lblCallerIDNum = new QLabel(this);
    lblCallerIDNum->setObjectName(QStringLiteral("lblCallerIDNum"));
    lblCallerIDNum->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont big = lblCallerIDNum->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    lblCallerIDNum->setFont(big);
    lblCallerIdStr = new QLabel(this);
    lblCallerIdStr->setObjectName(QStringLiteral("lblCallerIdStr"));
    cmdAnswer = addButton("cmdAnswer", "14014", QStringLiteral("&Answer"));
    cmdDisconnect = addButton("cmdDisconnect", "14016", QStringLiteral("&Disconnect"));
    layOut({lblCallerIDNum, lblCallerIdStr}, cmdAnswer, cmdDisconnect);

    connect(cmdAnswer, &QPushButton::clicked, this, &frmTelephoneRing::cmdAnswer_Click);
    connect(cmdDisconnect, &QPushButton::clicked, this, &frmTelephoneRing::cmdDisconnect_Click);
}

void frmTelephoneRing::Form_Load() {
    trapErrors([&] {
        loadWindow();
        cmdDisconnect->setEnabled(false);
    });
}

void frmTelephoneRing::statusShown(std::int16_t status) {
    // An offered call cannot be refused here: Disconnect waits for the answer.
    if (status == CallStatus::Connected)
        cmdDisconnect->setEnabled(true);
    // An ended call has nothing to answer; the next call's ring has.
    if (status == CallStatus::Ringing || status == CallStatus::Disconnected)
        cmdAnswer->setEnabled(status == CallStatus::Ringing);
}

void frmTelephoneRing::showCallerIDNum(const QString& callerID) {
    lblCallerIDNum->setText(callerID);
}
void frmTelephoneRing::showCallerIDStr(const QString& callerID) {
    lblCallerIdStr->setText(callerID);
}

void frmTelephoneRing::cmdAnswer_Click() {
    tellErrors([] {
        if (gCall)
            gCall->Answer();
    });
}

void frmTelephoneRing::cmdDisconnect_Click() {
    tellErrors([] {
        if (gCall)
            gCall->Disconnect(DC_NORMAL);
        gCall.reset();
    });
}
