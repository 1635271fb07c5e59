#include "app/frmtipoftheday.h"

#include "app/convert.h"
#include "platform/errors.h"
#include "app/localize.h"
#include "app/strings.h"
#include "platform/settingsstore.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {
QPointer<frmTipOfTheDay> gTipWindow;
const QString kPrefs = QStringLiteral("prefs");
const QString kShowTips = QStringLiteral("showTipsAtStartup");
QList<double> gDraws;

// The next draw in [0, 1).
double nextRandom() {
    if (!gDraws.isEmpty())
        return gDraws.takeFirst();
    return QRandomGenerator::global()->generateDouble();
}
} // namespace

void frmTipOfTheDay::setRandomDraws(const QList<double>& draws) {
    gDraws = draws;
}

frmTipOfTheDay::frmTipOfTheDay(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmTipOfTheDay"));
    setProperty("Tag", QStringLiteral("15019"));
    setWindowTitle(QStringLiteral("Tip of the day"));
    setModal(false);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setFixedSize(56, 56);
    auto* image = new QLabel(picture);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(4, 4, 48, 48);
    const QPixmap icon(QStringLiteral(":/icons/tamrivo.png"));
    if (!icon.isNull())
        image->setPixmap(icon.scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    auto* heading = new QLabel(QStringLiteral("Do you know that..."), this);
    heading->setObjectName(QStringLiteral("Label1"));
    heading->setProperty("Tag", QStringLiteral("13073"));

    lblTipText = new QLabel(this);
    lblTipText->setObjectName(QStringLiteral("lblTipText"));
    lblTipText->setWordWrap(true);
    lblTipText->setTextFormat(Qt::PlainText);
    lblTipText->setMinimumWidth(320);
    lblTipText->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    chkLoadTipsAtStartup = new QCheckBox(QStringLiteral("Show tips at startup"), this);
    chkLoadTipsAtStartup->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));

    cmdNextTip = new QPushButton(QStringLiteral("&Next"), this);
    cmdNextTip->setObjectName(QStringLiteral("cmdNextTip"));
    cmdNextTip->setProperty("Tag", QStringLiteral("14027"));
    cmdOK = new QPushButton(QStringLiteral("Ok"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setProperty("Tag", QStringLiteral("14001"));
    cmdOK->setDefault(true);

    auto* text = new QVBoxLayout;
    text->addWidget(heading);
    text->addWidget(lblTipText, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkLoadTipsAtStartup);
    buttons->addStretch(1);
    buttons->addWidget(cmdNextTip);
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    connect(cmdNextTip, &QPushButton::clicked, this,
            [this] { trapErrors([this] { showNextTip(); }); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { close(); });
}

frmTipOfTheDay* frmTipOfTheDay::current() {
    return gTipWindow;
}

frmTipOfTheDay* frmTipOfTheDay::showWindow(QWidget* owner) {
    if (!gTipWindow) {
        auto* w = new frmTipOfTheDay(owner);
        w->setAttribute(Qt::WA_DeleteOnClose);
        try {
            w->Form_Load();
        } catch (...) {
            delete w;
            throw;
        }
        gTipWindow = w;
    }
    gTipWindow->show();
    gTipWindow->raise();
    return gTipWindow;
}

void frmTipOfTheDay::Form_Load() {
    localizeForm(this);
    const QString stored = SettingsStore::instance().read(kPrefs, kShowTips, QStringLiteral("1"));
    chkLoadTipsAtStartup->setChecked(convert::toDouble(stored) == 1.0);
    // Connected after the load's own tick, so that only the user's change is stored.
    connect(chkLoadTipsAtStartup, &QCheckBox::toggled, this,
            [this] { trapErrors([this] { chkLoadTipsAtStartup_Click(); }); });
    if (!LoadTips(1, 10))
        lblTipText->setText(QStringLiteral("No tips to show!"));
}

bool frmTipOfTheDay::LoadTips(int startIndex, int stopIndex) {
    bool ok = false;
    trapErrors([&] {
        for (int i = startIndex; i <= stopIndex; ++i) {
            QString tip;
            if (tryLoadResString(20000 + i, tip) && !tip.isEmpty())
                tipTexts.append(tip);
        }
        // The label is made tall enough for the longest tip, so none is cut.
        int tallest = 0;
        for (const QString& tip : std::as_const(tipTexts)) {
            lblTipText->setText(tip);
            tallest = std::max(tallest, lblTipText->heightForWidth(lblTipText->minimumWidth()));
        }
        lblTipText->setMinimumHeight(tallest);
        // Rounded to the nearest, halves to the even neighbour.
        const double r = nextRandom();
        currentTipIndex = long(std::nearbyint(r * double(tipTexts.size()) + 1.0));
        showNextTip();
        ok = !tipTexts.isEmpty();
    });
    return ok;
}

void frmTipOfTheDay::showNextTip() {
    ++currentTipIndex;
    if (currentTipIndex > tipTexts.size())
        currentTipIndex = 1;
    DisplayCurrentTip();
}

void frmTipOfTheDay::DisplayCurrentTip() {
    if (!tipTexts.isEmpty() && currentTipIndex >= 1 && currentTipIndex <= tipTexts.size())
        lblTipText->setText(tipTexts.at(currentTipIndex - 1));
}

void frmTipOfTheDay::chkLoadTipsAtStartup_Click() {
    SettingsStore::instance().write(kPrefs, kShowTips,
                                    chkLoadTipsAtStartup->isChecked() ? QStringLiteral("1")
                                                                      : QStringLiteral("0"));
}
