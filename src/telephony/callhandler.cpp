#include "telephony/callhandler.h"

#include "mainwindow/frmmain.h"

#include <QTimer>

CallHandler::CallHandler(frmMain* form) : QObject(form), m_form(form), m_ringTimer(new QTimer(form)) {
    m_ringTimer->setObjectName(QStringLiteral("ringTimer"));
}

void CallHandler::TAPIEventsInit() {}

void CallHandler::shutdown() {}
