#include "telephony/frmtelephonering.h"

#include "platform/errors.h"
#include "app/globals.h"
#include "app/localize.h"
#include "app/settingsrecords.h"
#include "app/strings.h"
#include "platform/telephony/tapi.h"
#include "telephony/callwindows_p.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QPointer<frmTelephoneRing> gRingWindow;
}

frmTelephoneRing* frmTelephoneRing::instance() {
    if (!gRingWindow) {
        gRingWindow = new frmTelephoneRing(callwindows::owner());
        gRingWindow->Form_Load();
    }
    return gRingWindow;
}

frmTelephoneRing* frmTelephoneRing::loadedInstance() {
    return gRingWindow;
}

bool frmTelephoneRing::isShown() {
    return gRingWindow && gRingWindow->isVisible();
}

frmTelephoneRing::frmTelephoneRing(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("frmTelephoneRing"));
    setProperty("Tag", QStringLiteral("15017"));
    setWindowTitle(QStringLiteral("Telephone Ring"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tamrivo.png")));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QIcon(QStringLiteral(":/icons/tamrivo.png")).pixmap(48, 48));
    lblCallerIDNum = new QLabel(this);
    lblCallerIDNum->setObjectName(QStringLiteral("lblCallerIDNum"));
    lblCallerIDNum->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont big = lblCallerIDNum->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    lblCallerIDNum->setFont(big);
    lblCallerIdStr = new QLabel(this);
    lblCallerIdStr->setObjectName(QStringLiteral("lblCallerIdStr"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    cmdAnswer = new QPushButton(QStringLiteral("&Answer"), this);
    cmdAnswer->setAutoDefault(true); // not a dialog: Enter on a focused button presses it
    cmdAnswer->setObjectName(QStringLiteral("cmdAnswer"));
    cmdAnswer->setProperty("Tag", QStringLiteral("14014"));
    cmdDisconnect = new QPushButton(QStringLiteral("&Disconnect"), this);
    cmdDisconnect->setAutoDefault(true);
    cmdDisconnect->setObjectName(QStringLiteral("cmdDisconnect"));
    cmdDisconnect->setProperty("Tag", QStringLiteral("14016"));
    cbAutoClose = new QCheckBox(QStringLiteral("Auto &Close"), this);
    cbAutoClose->setObjectName(QStringLiteral("cbAutoClose"));
    cbAutoClose->setProperty("Tag", QStringLiteral("13055"));
    CloseTimer = new QTimer(this);
    CloseTimer->setObjectName(QStringLiteral("CloseTimer"));

    auto* texts = new QVBoxLayout;
    texts->addWidget(lblCallerIDNum);
    texts->addWidget(lblCallerIdStr);
    texts->addWidget(lblStatus);
    auto* top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cbAutoClose);
    buttons->addStretch(1);
    buttons->addWidget(cmdAnswer);
    buttons->addWidget(cmdDisconnect);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(320);

    connect(cmdAnswer, &QPushButton::clicked, this, &frmTelephoneRing::cmdAnswer_Click);
    connect(cmdDisconnect, &QPushButton::clicked, this, &frmTelephoneRing::cmdDisconnect_Click);
    connect(CloseTimer, &QTimer::timeout, this, &frmTelephoneRing::CloseTimer_Timer);
}

void frmTelephoneRing::Form_Load() {
    trapErrors([&] {
        localizeForm(this);
        CloseTimer->setInterval(callwindows::CloseDelayMs);
        CloseTimer->stop();
        cbAutoClose->setChecked(gPreferences && gPreferences->autoCloseOnDisconnect);
        cmdDisconnect->setEnabled(false);
    });
}

void frmTelephoneRing::showStatus(std::int16_t status) {
    trapErrors([&] {
        // A new call in the window cancels the closing left by the last one.
        if (status == CallStatus::Ringing)
            CloseTimer->stop();
        switch (status) {
        case CallStatus::Ringing:
            lblStatus->setText(loadResString(16018));
            break;
        case CallStatus::Connected:
            lblStatus->setText(loadResString(16019));
            cmdDisconnect->setEnabled(true);
            break;
        case CallStatus::Disconnected:
            lblStatus->setText(loadResString(16020));
            if (cbAutoClose->isChecked())
                CloseTimer->start();
            break;
        default:
            break;
        }
    });
}

void frmTelephoneRing::showCallerIDNum(const QString& callerID) {
    lblCallerIDNum->setText(callerID);
}
void frmTelephoneRing::showCallerIDStr(const QString& callerID) {
    lblCallerIdStr->setText(callerID);
}

void frmTelephoneRing::showWindow() {
    if (!isVisible())
        show();
}

void frmTelephoneRing::unload() {
    CloseTimer->stop();
    if (gRingWindow == this)
        gRingWindow = nullptr;
    hide();
    deleteLater();
}

void frmTelephoneRing::closeEvent(QCloseEvent* event) {
    event->accept();
    CloseTimer->stop();
    if (gRingWindow == this)
        gRingWindow = nullptr;
    deleteLater();
}

void frmTelephoneRing::cmdAnswer_Click() {
    trapErrors([] {
        if (gCall)
            gCall->Answer();
    });
}

void frmTelephoneRing::cmdDisconnect_Click() {
    trapErrors([] {
        if (gCall)
            gCall->Disconnect(DC_NORMAL);
        gCall.reset();
    });
}

void frmTelephoneRing::CloseTimer_Timer() {
    trapErrors([&] {
        if (!CloseTimer->isActive())
            return;
        CloseTimer->stop();
        unload();
    });
}
