#pragma once

#include <QDialog>

// The plug-in setup dialog; shown modally, owned by the main window.
class frmPlugInsSetup : public QDialog {
    Q_OBJECT
public:
    explicit frmPlugInsSetup(QWidget* parent = nullptr);
    static void showModal(QWidget* owner);
};
