#include "telephony/callwindow.h"

#include "app/globals.h"
#include "app/localize.h"
#include "app/settingsrecords.h"
#include "app/strings.h"
#include "mainwindow/frmmain.h"
#include "platform/errors.h"
#include "platform/prompter.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int CloseDelayMs = 1500;
}

CallWindow::CallWindow(const char* name, const char* titleTag, const QString& title,
                       const char* pictureName, std::int16_t startStatus)
    : QWidget(owner(), Qt::Window), m_startStatus(startStatus) {
    setObjectName(QLatin1String(name));
    setProperty("Tag", QLatin1String(titleTag));
    setWindowTitle(title);
    const QIcon icon(QStringLiteral(":/icons/tamrivo.png"));
    setWindowIcon(icon);
    m_picture = new QLabel(this);
    m_picture->setObjectName(QLatin1String(pictureName));
    m_picture->setPixmap(icon.pixmap(48, 48));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    CloseTimer = new QTimer(this);
    CloseTimer->setObjectName(QStringLiteral("CloseTimer"));
    connect(CloseTimer, &QTimer::timeout, this, &CallWindow::CloseTimer_Timer);
}

QWidget* CallWindow::owner() {
    return gMainForm;
}

QString CallWindow::appTitle() {
    return QStringLiteral("Tamrivo");
}

bool CallWindow::tellErrors(const std::function<void()>& request) {
    return trapErrors([&] {
        try {
            request();
        } catch (const AppError& e) {
            if (e.number() >= 0)
                throw; // not the line's
            reportCaught(QStringLiteral("dontknow"), e);
            Prompter::msgBox(loadResString(16274).arg(e.description()), Msg::OKOnly | Msg::Critical,
                             loadResString(16007), this);
        }
    });
}

QPushButton* CallWindow::addButton(const char* name, const char* tag, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    b->setProperty("Tag", QLatin1String(tag));
    b->setAutoDefault(true); // not a dialog: Enter on a focused button presses it
    return b;
}

void CallWindow::layOut(std::initializer_list<QWidget*> texts, QPushButton* first,
                        QPushButton* second) {
    cbAutoClose = new QCheckBox(QStringLiteral("Auto &Close"), this);
    cbAutoClose->setObjectName(QStringLiteral("cbAutoClose"));
    cbAutoClose->setProperty("Tag", QStringLiteral("13055"));
    auto* column = new QVBoxLayout;
    for (QWidget* w : texts)
        column->addWidget(w);
    column->addWidget(lblStatus);
    auto* top = new QHBoxLayout;
    top->addWidget(m_picture, 0, Qt::AlignTop);
    top->addLayout(column, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cbAutoClose);
    buttons->addStretch(1);
    buttons->addWidget(first);
    buttons->addWidget(second);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(320);
}

void CallWindow::loadWindow() {
    localizeForm(this);
    CloseTimer->setInterval(CloseDelayMs);
    CloseTimer->stop();
    cbAutoClose->setChecked(gPreferences && gPreferences->autoCloseOnDisconnect);
}

void CallWindow::showStatus(std::int16_t status) {
    trapErrors([&] {
        // A new call in the window cancels the closing left by the last one.
        if (status == m_startStatus)
            CloseTimer->stop();
        switch (status) {
        case CallStatus::Ringing:
            lblStatus->setText(loadResString(16018));
            break;
        case CallStatus::Connected:
            lblStatus->setText(loadResString(16019));
            break;
        case CallStatus::Disconnected:
            lblStatus->setText(loadResString(16020));
            if (cbAutoClose->isChecked())
                CloseTimer->start();
            break;
        case CallStatus::Calling:
            if (m_startStatus == CallStatus::Calling)
                lblStatus->setText(loadResString(16028));
            break;
        default:
            break;
        }
        statusShown(status);
    });
}

void CallWindow::showWindow() {
    if (!isVisible())
        show();
}

void CallWindow::unload() {
    CloseTimer->stop();
    forgetInstance();
    hide();
    deleteLater();
}

void CallWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    CloseTimer->stop();
    forgetInstance();
    deleteLater();
}

void CallWindow::CloseTimer_Timer() {
    trapErrors([&] {
        if (!CloseTimer->isActive())
            return;
        CloseTimer->stop();
        unload();
    });
}
