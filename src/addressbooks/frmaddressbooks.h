#pragma once

#include <QDialog>

// The address-book manager; shown modally, owned by the main window.
class frmAddressBooks : public QDialog {
    Q_OBJECT
public:
    explicit frmAddressBooks(QWidget* parent = nullptr);
    static void showModal(QWidget* owner);
};
