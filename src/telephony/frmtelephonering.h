#pragma once

#include "telephony/callwindow.h"

// The incoming-call window: the caller's number and name, the call status,
// Answer and Disconnect.
class frmTelephoneRing : public CallWindow {
    Q_OBJECT
public:
    // The one window, loaded (and its Form_Load run) when it is not.
    static frmTelephoneRing* instance();
    // The window when loaded, else nullptr; never loads it.
    static frmTelephoneRing* loadedInstance();
    // Loaded and shown.
    static bool isShown();

    void showCallerIDNum(const QString& callerID);
    void showCallerIDStr(const QString& callerID);

private slots:
    void cmdAnswer_Click();
    void cmdDisconnect_Click();

private:
    frmTelephoneRing();
    void Form_Load();
    void statusShown(std::int16_t status) override;
    void forgetInstance() override;

    QLabel* lblCallerIDNum;
    QLabel* lblCallerIdStr;
    QPushButton* cmdAnswer;
    QPushButton* cmdDisconnect;
};
