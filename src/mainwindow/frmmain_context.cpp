#include "mainwindow/frmmain.h"

void frmMain::mnuContactCtxSendEMail_Click() {}

void frmMain::mnuContactCtxEdit_Click() {}

void frmMain::mnuContactCtxRemove_Click() {}

void frmMain::mnuContactCtxOtherInfo_Click() {}

void frmMain::mnuCtxAddressBookAddContact_Click() {}

void frmMain::mnuCtxAddressBookClear_Click() {}
