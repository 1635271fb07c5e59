#include "app/startup.h"

#include "app/globals.h"
#include "mainwindow/frmmain.h"
#include "platform/prompter.h"

#include <QApplication>

int runProgram(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Tamrivo"));
    QApplication::setQuitOnLastWindowClosed(false);
    Prompter::initFromEnvironment();
    auto* w = new frmMain;
    gMainForm = w;
    w->Form_Load();
    w->show();
    QObject::connect(w, &QObject::destroyed, &app, &QApplication::quit);
    w->setAttribute(Qt::WA_DeleteOnClose);
    return app.exec();
}
