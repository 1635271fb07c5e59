#include "platform/trayicon.h"

#include <QSystemTrayIcon>

namespace {
std::optional<bool> gSimulated;
}

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {}

TrayIcon::~TrayIcon() {
    remove();
}

bool TrayIcon::isSystemTrayAvailable() {
    if (gSimulated)
        return *gSimulated;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::setSimulatedAvailability(std::optional<bool> available) {
    gSimulated = available;
}

void TrayIcon::show(const QIcon& icon) {
    m_shown = true;
    // Without a tray the icon is only remembered: handing it to the desktop
    // would just print warnings.
    if (gSimulated || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(this);
        connect(m_icon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    switch (reason) {
                    case QSystemTrayIcon::Context:
                        emit mouseEvent(RightButton);
                        break;
                    case QSystemTrayIcon::MiddleClick:
                        emit mouseEvent(MiddleButton);
                        break;
                    case QSystemTrayIcon::Trigger:
                    case QSystemTrayIcon::DoubleClick:
                        emit mouseEvent(LeftButton);
                        break;
                    default:
                        break;
                    }
                });
    }
    m_icon->setIcon(icon);
    m_icon->setToolTip(m_toolTip);
    m_icon->show();
}

void TrayIcon::remove() {
    m_shown = false;
    if (m_icon) {
        m_icon->hide();
        delete m_icon;
        m_icon = nullptr;
    }
}

void TrayIcon::setToolTip(const QString& text) {
    m_toolTip = text;
    if (m_icon)
        m_icon->setToolTip(text);
}
