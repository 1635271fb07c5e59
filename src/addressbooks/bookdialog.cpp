#include "addressbooks/bookdialog.h"

#include "platform/errors.h"
#include "app/strings.h"
#include "platform/filechooser.h"
#include "platform/soundplayer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QVBoxLayout>

const QString BookDialog::kOK = QStringLiteral("OK");
const QString BookDialog::kCancel = QStringLiteral("Cancel");
const QString BookDialog::kInitialCloseMode = QStringLiteral("closeMode");

namespace {
constexpr int kMinInterval = 1;
constexpr int kMaxInterval = 15;
} // namespace

BookDialog::BookDialog(const QString& name, const QString& titleId, const QString& title)
    : QDialog(nullptr) {
    setObjectName(name);
    setProperty("Tag", titleId);
    setWindowTitle(title);
    setModal(true);
}

QString BookDialog::showModal(QWidget* owner) {
    QPointer<BookDialog> self(this);
    // Owned by the caller only while shown: the dialog outlives the caller's window.
    const bool adopt = owner && parentWidget() != owner;
    if (adopt)
        setParent(owner, windowFlags());
    exec();
    if (!self)
        return kInitialCloseMode;
    if (adopt && parentWidget() == owner)
        setParent(nullptr, windowFlags());
    return closeMode->text();
}

void BookDialog::unload() {
    forgetInstance();
    hide();
    deleteLater();
}

void BookDialog::reject() {
    CancelButton_Click();
}

void BookDialog::closeEvent(QCloseEvent* event) {
    event->accept();
    // What a freshly loaded dialog would answer.
    closeMode->setText(kInitialCloseMode);
    forgetInstance();
    deleteLater();
}

void BookDialog::OKButton_Click() {
    trapErrors([&] {
        checkValues();
        closeMode->setText(kOK);
        hide();
    });
}

void BookDialog::CancelButton_Click() {
    trapErrors([&] {
        closeMode->setText(kCancel);
        hide();
    });
}

QLayout* BookDialog::makeButtonRow() {
    closeMode = new QLineEdit(kInitialCloseMode, this);
    closeMode->setObjectName(QStringLiteral("closeMode"));
    closeMode->setVisible(false);
    OKButton = makeButton(this, "OKButton", "14001", QStringLiteral("Ok"));
    OKButton->setDefault(true);
    CancelButton = makeButton(this, "CancelButton", "14002", QStringLiteral("Cancel"));
    connect(OKButton, &QPushButton::clicked, this, &BookDialog::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &BookDialog::CancelButton_Click);

    auto* row = new QHBoxLayout;
    row->addWidget(closeMode);
    row->addStretch(1);
    row->addWidget(OKButton);
    row->addWidget(CancelButton);
    return row;
}

QLabel* BookDialog::makeLabel(QWidget* parent, const char* id, const QString& text) {
    auto* label = new QLabel(text, parent);
    if (id && *id)
        label->setProperty("Tag", QString::fromLatin1(id));
    return label;
}

QLineEdit* BookDialog::makeLineEdit(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QPushButton* BookDialog::makeButton(QWidget* parent, const char* name, const char* id,
                                    const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    if (id && *id)
        button->setProperty("Tag", QString::fromLatin1(id));
    return button;
}

QWidget* BookDialog::makeTabs(const QStringList& ids, const QStringList& texts) {
    auto* area = new QWidget(this);
    TabStrip1 = new QTabBar(area);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    TabStrip1->setProperty("TabTags", ids);
    TabStrip1->setExpanding(false);
    for (const QString& t : texts)
        TabStrip1->addTab(t);

    auto* frames = new QGridLayout;
    for (int i = 0; i < texts.size(); ++i) {
        auto* frame = new QFrame(area);
        frame->setObjectName(QStringLiteral("TabFrm_%1").arg(i));
        frame->setFrameShape(QFrame::StyledPanel);
        // Hidden tabs keep their room, so the dialog never has to grow
        // when another tab is shown.
        QSizePolicy policy = frame->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        frame->setSizePolicy(policy);
        frames->addWidget(frame, 0, 0);
        TabFrm.append(frame);
    }
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(TabStrip1);
    layout->addLayout(frames, 1);
    connect(TabStrip1, &QTabBar::currentChanged, this, &BookDialog::TabStrip1_Click);
    return area;
}

void BookDialog::makeGeneralTab(QFrame* frame) {
    txtAddressBookName = makeLineEdit(frame, "txtAddressBookName");
    cbSearchForCallerID = new QCheckBox(QStringLiteral("Search for Caller ID"), frame);
    cbSearchForCallerID->setObjectName(QStringLiteral("cbSearchForCallerID"));
    cbSearchForCallerID->setProperty("Tag", QStringLiteral("13036"));
    txtRingSound = makeLineEdit(frame, "txtRingSound");
    cmdSelectRingSound = makeButton(frame, "cmdSelectRingSound", nullptr, QStringLiteral("..."));
    cmdTestSound = makeButton(frame, "cmdTestSound", nullptr, QStringLiteral(">"));
    for (QPushButton* b : {cmdSelectRingSound, cmdTestSound})
        b->setMaximumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    sdRingInterval = new QSlider(Qt::Horizontal, frame);
    sdRingInterval->setObjectName(QStringLiteral("sdRingInterval"));
    sdRingInterval->setRange(kMinInterval, kMaxInterval);
    sdRingInterval->setTickPosition(QSlider::TicksBelow);
    lblRingInterval = new QLabel(frame);
    lblRingInterval->setObjectName(QStringLiteral("lblRingInterval"));
    txtCallPrefix = makeLineEdit(frame, "txtCallPrefix");

    auto* g = new QGridLayout(frame);
    g->addWidget(makeLabel(frame, "13001", QStringLiteral("Address Book Name :")), 0, 0);
    g->addWidget(txtAddressBookName, 0, 1, 1, 3);
    g->addWidget(cbSearchForCallerID, 1, 1, 1, 3);
    g->addWidget(makeLabel(frame, "13034", QStringLiteral("Ring Sound :")), 2, 0);
    g->addWidget(txtRingSound, 2, 1);
    g->addWidget(cmdSelectRingSound, 2, 2);
    g->addWidget(cmdTestSound, 2, 3);
    g->addWidget(makeLabel(frame, "13033", QStringLiteral("Play every :")), 3, 0);
    g->addWidget(sdRingInterval, 3, 1);
    g->addWidget(lblRingInterval, 3, 2, 1, 2);
    g->addWidget(makeLabel(frame, "13035", QStringLiteral("Call Prefix :")), 4, 0);
    g->addWidget(txtCallPrefix, 4, 1, 1, 3);
    g->setRowStretch(5, 1);

    connect(cmdSelectRingSound, &QPushButton::clicked, this, &BookDialog::cmdSelectRingSound_Click);
    connect(cmdTestSound, &QPushButton::clicked, this, &BookDialog::cmdTestSound_Click);
    // The label always reads the slider's value, however it was set.
    connect(sdRingInterval, &QSlider::valueChanged, this, &BookDialog::sdRingInterval_Change);
}

void BookDialog::loadTabs() {
    for (int i = 1; i < TabFrm.size(); ++i)
        TabFrm[i]->hide();
    TabFrm.value(0)->show();
    TabFrm.value(0)->raise();
    currentTab = 1;
    const QSignalBlocker quiet(TabStrip1);
    TabStrip1->setCurrentIndex(0);
}

void BookDialog::loadRingInterval() {
    sdRingInterval->setRange(kMinInterval, kMaxInterval);
    sdRingInterval->setSingleStep(1);
    sdRingInterval->setPageStep(1);
    sdRingInterval_Change();
}

void BookDialog::clearGeneralTab() {
    txtAddressBookName->clear();
    txtRingSound->clear();
    txtCallPrefix->clear();
    cbSearchForCallerID->setChecked(false);
    sdRingInterval->setValue(kMinInterval);
}

void BookDialog::TabStrip1_Click(int index) {
    trapErrors([&] {
        const int n = index + 1;
        if (n == currentTab || n < 1 || n > TabFrm.size())
            return;
        TabFrm[n - 1]->show();
        TabFrm[n - 1]->raise();
        if (currentTab >= 1 && currentTab <= TabFrm.size())
            TabFrm[currentTab - 1]->hide();
        currentTab = static_cast<std::int16_t>(n);
    });
}

void BookDialog::cmdSelectRingSound_Click() {
    trapErrors([&] {
        QString path;
        if (!FileChooser::choose(FileChooser::Mode::Open, loadResString(16021), 1,
                                 loadResString(16022), path, this))
            return;
        txtRingSound->setText(path);
    });
}

void BookDialog::cmdTestSound_Click() {
    trapErrors([&] {
        if (!txtRingSound->text().isEmpty())
            SoundPlayer::play(txtRingSound->text());
    });
}

void BookDialog::sdRingInterval_Change() {
    trapErrors([&] {
        lblRingInterval->setText(QString::number(sdRingInterval->value()) + QStringLiteral(" ") +
                                 loadResString(16023));
    });
}
