#pragma once

#include <QMainWindow>

// The one main window.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    // The window's load: runs once after creation.
    void Form_Load();
};
