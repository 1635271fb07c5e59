#include "plugins/frmpluginssetup.h"

frmPlugInsSetup::frmPlugInsSetup(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPlugInsSetup"));
}

void frmPlugInsSetup::showModal(QWidget*) {}
