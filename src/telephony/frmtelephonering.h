#pragma once

#include "telephony/callwindow.h"

// The incoming-call window: the caller's number and name, the call status,
// Answer and Disconnect.
class frmTelephoneRing : public CallWindowOf<frmTelephoneRing> {
    Q_OBJECT
public:
    void showCallerIDNum(const QString& callerID);
    void showCallerIDStr(const QString& callerID);

private slots:
    void cmdAnswer_Click();
    void cmdDisconnect_Click();

private:
    friend class CallWindowOf<frmTelephoneRing>;
    frmTelephoneRing();
    void Form_Load();
    void statusShown(std::int16_t status) override;

    QLabel* lblCallerIDNum;
    QLabel* lblCallerIdStr;
    QPushButton* cmdAnswer;
    QPushButton* cmdDisconnect;
};
