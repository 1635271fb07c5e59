#include "app/frmabout.h"

#include "app/appversion.h"
#include "app/errorreport.h"
#include "platform/errors.h"
#include "app/localize.h"
#include "app/strings.h"
#include "platform/prompter.h"
#include "platform/systeminfo.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPointer<frmAbout> gAboutWindow;

QFrame* separator(QWidget* parent, int index) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1_%1").arg(index));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setProperty("Tag", QStringLiteral("15015"));
    setWindowTitle(QStringLiteral("About..."));
    setModal(true);

    m_logo = new QLabel(this);
    m_logo->setObjectName(QStringLiteral("logo"));
    m_logo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    lblProduct = new QLabel(this);
    lblProduct->setObjectName(QStringLiteral("lblProduct"));
    lblProduct->setTextFormat(Qt::PlainText);
    lblCopyright = new QLabel(this);
    lblCopyright->setObjectName(QStringLiteral("lblCopyright"));
    lblCopyright->setTextFormat(Qt::PlainText);
    lblDisclaimer = new QLabel(this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setTextFormat(Qt::PlainText);
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setMinimumWidth(360);

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setProperty("Tag", QStringLiteral("1019"));
    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setProperty("Tag", QStringLiteral("1020"));
    cmdOK->setDefault(true);

    auto* text = new QVBoxLayout;
    text->addWidget(lblProduct);
    text->addWidget(separator(this, 0));
    text->addWidget(lblCopyright);
    text->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_logo);
    top->addLayout(text, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblDisclaimer, 1);
    bottom->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(separator(this, 1));
    layout->addLayout(bottom);

    connect(cmdOK, &QPushButton::clicked, this, [this] { trapErrors([this] { cmdOK_Click(); }); });
    connect(cmdSysInfo, &QPushButton::clicked, this,
            [this] { trapErrors([this] { cmdSysInfo_Click(); }); });
}

frmAbout* frmAbout::current() {
    return gAboutWindow;
}

void frmAbout::showModal(QWidget* owner) {
    if (gAboutWindow) {
        gAboutWindow->raise();
        gAboutWindow->activateWindow();
        return;
    }
    auto* w = new frmAbout(owner);
    w->setAttribute(Qt::WA_DeleteOnClose);
    gAboutWindow = w;
    w->Form_Load();
    // exec() deletes the window when it ends (delete on close).
    w->exec();
}

void frmAbout::Form_Load() {
    trapErrors([this] {
        localizeForm(this);
        const QPixmap logo(QStringLiteral(":/icons/tamrivo.png"));
        if (!logo.isNull())
            m_logo->setPixmap(logo.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        lblProduct->setText(AppVersion::productLine());
        lblCopyright->setText(AppVersion::legalNotice());
        lblDisclaimer->setText(loadResString(16054));
    });
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo();
}

void frmAbout::StartSysInfo() {
    trapErrors([] {
        const QString path = SystemInfo::find();
        if (path.isEmpty() || !SystemInfo::start(path)) {
            // Logged when the log is on; the user is told either way rather
            // than left waiting for a window that never comes.
            reportError(QStringLiteral("dontknow"),
                        path.isEmpty() ? AppError(0, QString())
                                       : AppError(ErrNum::FileNotFound,
                                                  standardErrorDescription(ErrNum::FileNotFound)));
            Prompter::msgBox(loadResString(16282), Msg::OKOnly | Msg::Exclamation,
                             loadResString(16049));
        }
    });
}
