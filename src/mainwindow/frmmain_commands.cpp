#include "app/errors.h"
#include "app/frmtipoftheday.h"
#include "mainwindow/frmmain.h"

void frmMain::mnuFileSearch_Click() {}

void frmMain::mnuToolsAddressBooks_Click() {}

void frmMain::mnuToolsPlugIns_Click() {}

void frmMain::mnuToolsPreferences_Click() {}

void frmMain::mnuHelpHelp_Click() {}

void frmMain::mnuHelpUpdate_Click() {}

void frmMain::mnuHelpTipOfTheDay_Click() {
    trapErrors([this] { frmTipOfTheDay::showWindow(this); });
}

void frmMain::mnuHelpAbout_Click() {}
