#include "app/frmsplash.h"

#include "app/appversion.h"
#include "platform/errors.h"
#include "app/localize.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    // A raised panel, since the window has no frame of its own.
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("fraMainFrame"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setLineWidth(2);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(24, 18, 24, 18);
    m_logo = new QLabel(panel);
    m_logo->setObjectName(QStringLiteral("logo"));
    m_logo->setAlignment(Qt::AlignCenter);
    m_product = new QLabel(panel);
    m_product->setObjectName(QStringLiteral("lblProduct"));
    m_product->setTextFormat(Qt::PlainText);
    m_product->setAlignment(Qt::AlignCenter);
    m_copyright = new QLabel(panel);
    m_copyright->setObjectName(QStringLiteral("lblCopyright"));
    m_copyright->setTextFormat(Qt::PlainText);
    m_copyright->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_logo);
    layout->addWidget(m_product);
    layout->addWidget(m_copyright);
}

QString frmSplash::productLine() {
    return AppVersion::productLine();
}

QString frmSplash::legalNotice() {
    return AppVersion::legalNotice();
}

void frmSplash::Form_Load() {
    trapErrors([this] {
        localizeForm(this);
        const QPixmap logo(QStringLiteral(":/icons/tamrivo.png"));
        if (!logo.isNull())
            m_logo->setPixmap(logo.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        m_product->setText(productLine());
        m_copyright->setText(legalNotice());
        adjustSize();
        // In the middle of the screen it will show on.
        if (const QScreen* sc = screen()) {
            QRect r = rect();
            r.moveCenter(sc->availableGeometry().center());
            move(r.topLeft());
        }
    });
}
