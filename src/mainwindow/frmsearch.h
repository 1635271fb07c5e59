#pragma once

#include <QDialog>

// The contact search dialog; shown modeless, owned by the main window (one instance).
class frmSearch : public QDialog {
    Q_OBJECT
public:
    explicit frmSearch(QWidget* parent = nullptr);
    static void showWindow(QWidget* owner);
};
