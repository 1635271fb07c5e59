#include "mainwindow/frmsearch.h"

frmSearch::frmSearch(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSearch"));
}

void frmSearch::showWindow(QWidget*) {}
