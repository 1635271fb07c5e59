#include "mainwindow/frmmain.h"

#include <QIcon>

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tamrivo"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tamrivo.png")));
}

void frmMain::Form_Load() {}
