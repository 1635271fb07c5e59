#include "mainwindow/frmmain.h"

void frmMain::mnuToolsManualDial_Click() {}

void frmMain::mnuSysTrayManualCall_Click() {}

void frmMain::mnuContactCtxCall_Click() {}

void frmMain::mnuContactCtxCallTel_Click() {}

void frmMain::mnuContactCtxCallTel2_Click() {}

void frmMain::mnuContactCtxCallTel3_Click() {}

void frmMain::mnuSysTrayLDItems_Click(int) {}

void frmMain::mnuSysTrayLAItems_Click(int) {}

void frmMain::mnuSysTrayLUItems_Click(int) {}
