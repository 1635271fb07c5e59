#include "addressbooks/frmaddressbooks.h"

frmAddressBooks::frmAddressBooks(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAddressBooks"));
}

void frmAddressBooks::showModal(QWidget*) {}
