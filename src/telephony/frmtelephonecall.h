#pragma once

#include "telephony/callwindow.h"

class QLineEdit;

// The outgoing-call window: the number to dial, the called party's name, the
// call status, Dial and Hang Up. DialNumber is the program's only way to
// place a call.
class frmTelephoneCall : public CallWindowOf<frmTelephoneCall> {
    Q_OBJECT
public:
    // Places a call to the number in txtNumber, as typed.
    void DialNumber();
    // A new number to dial: the name shown belonged to the old one.
    void setNumber(const QString& number);
    void showCalledIDNum(const QString& calledID);
    void showCalledIDStr(const QString& calledIdStr);

    QString number() const;

private slots:
    void cmdDial_Click();
    void cmdHangUp_Click();

private:
    friend class CallWindowOf<frmTelephoneCall>;
    frmTelephoneCall();
    void Form_Load();

    QLabel* Label1;
    QLineEdit* txtNumber;
    QLabel* lblCalledIDStr;
    QPushButton* cmdDial;
    QPushButton* cmdHangUp;
};
