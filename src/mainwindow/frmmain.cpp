#include "mainwindow/frmmain.h"

#include "app/globals.h"
#include "plugins/pluginserver.h"
#include "telephony/callhandler.h"

#include <QIcon>

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tamrivo"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tamrivo.png")));
    m_calls = new CallHandler(this);
}

frmMain::~frmMain() {
    if (gMainForm == this)
        gMainForm = nullptr;
}

void frmMain::Form_Load() {
    if (gTAPI)
        TAPIEventsInit();
    if (plugInsEnabled) {
        m_plugins = new PlugInServer(this);
        m_plugins->start();
    }
}

void frmMain::setStatusText(const QString& text) { m_statusText = text; }
QString frmMain::statusText() const { return m_statusText; }
void frmMain::TAPIEventsInit() { m_calls->TAPIEventsInit(); }
