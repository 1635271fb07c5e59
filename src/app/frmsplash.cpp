#include "app/frmsplash.h"

#include "app/errors.h"
#include "app/localize.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace {
constexpr int kMajorVersion = 1;
constexpr int kMinorVersion = 0;
} // namespace

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QVBoxLayout(this);
    m_logo = new QLabel(this);
    m_logo->setObjectName(QStringLiteral("logo"));
    m_logo->setAlignment(Qt::AlignCenter);
    m_product = new QLabel(this);
    m_product->setObjectName(QStringLiteral("lblProduct"));
    m_product->setAlignment(Qt::AlignCenter);
    m_copyright = new QLabel(this);
    m_copyright->setObjectName(QStringLiteral("lblCopyright"));
    m_copyright->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_logo);
    layout->addWidget(m_product);
    layout->addWidget(m_copyright);
}

QString frmSplash::productLine() {
    return QStringLiteral("Tamrivo version %1.%2\r\n").arg(kMajorVersion).arg(kMinorVersion) +
           QStringLiteral("Telephony assistant");
}

QString frmSplash::legalNotice() {
    return QStringLiteral("Copyright (C) Tamrivo developers");
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
    });
}
