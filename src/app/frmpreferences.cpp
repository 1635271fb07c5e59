#include "app/frmpreferences.h"

#include "platform/errors.h"
#include "app/globals.h"
#include "app/localize.h"
#include "app/strings.h"
#include "platform/filechooser.h"
#include "platform/soundplayer.h"
#include "platform/telephony/tapi.h"
#include "telephony/tapisetup.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

namespace {

QPointer<frmPreferences> gPreferencesDialog;

// A control with the id of its caption in its Tag.
template <typename W> W* tagged(W* w, const char* name, const char* id = nullptr) {
    w->setObjectName(QString::fromLatin1(name));
    if (id)
        w->setProperty("Tag", QString::fromLatin1(id));
    return w;
}

QLabel* label(QWidget* parent, const char* name, const char* id, const char* text) {
    return tagged(new QLabel(QString::fromLatin1(text), parent), name, id);
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* id, const char* text) {
    return tagged(new QCheckBox(QString::fromLatin1(text), parent), name, id);
}

QRadioButton* radio(QWidget* parent, const char* name, const char* id, const char* text) {
    return tagged(new QRadioButton(QString::fromLatin1(text), parent), name, id);
}

} // namespace

frmPreferences::frmPreferences(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPreferences"));
    setProperty("Tag", QStringLiteral("15006"));
    setWindowTitle(QStringLiteral("Preferences"));
    setModal(true);

    TabStrip1 = new QTabBar(this);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    TabStrip1->addTab(QStringLiteral("&General"));
    TabStrip1->addTab(QStringLiteral("TAPI"));
    TabStrip1->addTab(QStringLiteral("Incoming call"));
    TabStrip1->setProperty("TabTags", QStringList{QStringLiteral("13017"), QStringLiteral("13019"),
                                                  QStringLiteral("13025")});
    TabStrip1->setExpanding(false);

    // One frame per tab, all in the same place; only the current one shows.
    auto* frames = new QWidget(this);
    frames->setObjectName(QStringLiteral("TabFrames"));
    auto* framesLayout = new QGridLayout(frames);
    framesLayout->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 3; ++i) {
        auto* f = new QGroupBox(frames);
        f->setObjectName(QStringLiteral("TabFrm_%1").arg(i));
        // Hidden frames still count, so every tab gets the room of the largest.
        QSizePolicy keep = f->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        f->setSizePolicy(keep);
        framesLayout->addWidget(f, 0, 0);
        TabFrm[i] = f;
    }

    // ---- General
    QWidget* general = TabFrm[0];
    cbStartMinimized =
        checkBox(general, "cbStartMinimized", "13071", "Start minimized on the system tray");
    auto* frame3 = tagged(new QGroupBox(QStringLiteral("On Close "), general), "Frame3");
    rbOnCloseClose = radio(frame3, "rbOnCloseClose", "13022", "&Close");
    rbOnCloseHide = radio(frame3, "rbOnCloseHide", "13023", "Minimize");
    rbOnCloseAsk = radio(frame3, "rbOnCloseAsk", "13021", "Ask user");
    auto* frame3Layout = new QVBoxLayout(frame3);
    frame3Layout->addWidget(rbOnCloseClose);
    frame3Layout->addWidget(rbOnCloseHide);
    frame3Layout->addWidget(rbOnCloseAsk);

    auto* drab =
        tagged(new QGroupBox(QStringLiteral("Dialed / Received Call Address Books"), general),
               "DRAB", "13059");
    cbUseLastDialAB =
        checkBox(drab, "cbUseLastDialAB", nullptr, "Use last dialed / received call Address Books");
    auto* label5 = label(drab, "Label5", "13060", "Default prefixes :");
    auto* prefixes = new QHBoxLayout;
    // The three prefixes are stored joined by "|": a "|" typed into one of
    // them would move text into the next one at the next start.
    auto* noBar =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^|]*")), drab);
    for (int i = 0; i < 3; ++i) {
        defaultPrefix[i] = new QLineEdit(drab);
        defaultPrefix[i]->setObjectName(QStringLiteral("defaultPrefix%1").arg(i + 1));
        defaultPrefix[i]->setValidator(noBar);
        prefixes->addWidget(defaultPrefix[i]);
    }
    auto* drabLayout = new QVBoxLayout(drab);
    drabLayout->addWidget(cbUseLastDialAB);
    drabLayout->addWidget(label5);
    drabLayout->addLayout(prefixes);

    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(cbStartMinimized);
    generalLayout->addWidget(frame3);
    generalLayout->addWidget(drab);
    generalLayout->addStretch(1);

    // ---- TAPI
    QWidget* tapi = TabFrm[1];
    cbUseTAPI = checkBox(tapi, "cbUseTAPI", "13020", "Use TAPI");
    auto* label1 = label(tapi, "Label1", "13024", "TAPI Device :");
    cbTAPIDevice = tagged(new QComboBox(tapi), "cbTAPIDevice");
    cbTAPIDevice->setEditable(false);
    fMultipleCall = tagged(new QGroupBox(QStringLiteral("Multiple call "), tapi), "fMultipleCall");
    rbMCIgnore = radio(fMultipleCall, "rbMCIgnore", nullptr, "Ignore");
    rbMCAlert = radio(fMultipleCall, "rbMCAlert", nullptr, "Alert user");
    auto* mcLayout = new QVBoxLayout(fMultipleCall);
    mcLayout->addWidget(rbMCIgnore);
    mcLayout->addWidget(rbMCAlert);
    cbAutoClose = tagged(new QCheckBox(tapi), "cbAutoClose");
    auto* label4 = label(tapi, "Label4", "13056", "Auto close ring and call window on disconnect");
    label4->setBuddy(cbAutoClose);
    label4->setWordWrap(true);
    auto* autoClose = new QHBoxLayout;
    autoClose->addWidget(cbAutoClose);
    autoClose->addWidget(label4, 1);

    auto* tapiLayout = new QVBoxLayout(tapi);
    tapiLayout->addWidget(cbUseTAPI);
    tapiLayout->addWidget(label1);
    tapiLayout->addWidget(cbTAPIDevice);
    tapiLayout->addWidget(fMultipleCall);
    tapiLayout->addLayout(autoClose);
    tapiLayout->addStretch(1);

    // ---- Incoming call
    QWidget* incoming = TabFrm[2];
    cbShowRingWindow = checkBox(incoming, "cbShowRingWindow", "13026", "Show Ring Window");
    cbPlaySound = checkBox(incoming, "cbPlaySound", "13027", "Play Sound");
    cbShowTooltip = checkBox(incoming, "cbShowTooltip", nullptr, "Show Tooltip");
    auto* label2 = label(incoming, "Label2", "13028", "Default Sound :");
    txtDefaultSound = tagged(new QLineEdit(incoming), "txtDefaultSound");
    cmdChoseDefaultSound =
        tagged(new QPushButton(QStringLiteral("..."), incoming), "cmdChoseDefaultSound");
    cmdChoseDefaultSound->setMaximumWidth(
        cmdChoseDefaultSound->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    cmdTestSound = tagged(new QPushButton(incoming), "cmdTestSound");
    cmdTestSound->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    cmdTestSound->setAccessibleName(QStringLiteral("Test sound"));
    auto* sound = new QHBoxLayout;
    sound->addWidget(txtDefaultSound, 1);
    sound->addWidget(cmdChoseDefaultSound);
    sound->addWidget(cmdTestSound);
    auto* label3 = label(incoming, "Label3", "13033", "Play every :");
    slRingTimerInterval = tagged(new QSlider(Qt::Horizontal, incoming), "slRingTimerInterval");
    slRingTimerInterval->setRange(1, 15);
    slRingTimerInterval->setSingleStep(1);
    slRingTimerInterval->setPageStep(1);
    slRingTimerInterval->setTickPosition(QSlider::TicksBelow);
    slRingTimerInterval->setTickInterval(1);
    lblRingTimerInterval = tagged(new QLabel(incoming), "lblRingTimerInterval");
    auto* interval = new QHBoxLayout;
    interval->addWidget(slRingTimerInterval, 1);
    interval->addWidget(lblRingTimerInterval);

    auto* incomingLayout = new QVBoxLayout(incoming);
    incomingLayout->addWidget(cbShowRingWindow);
    incomingLayout->addWidget(cbPlaySound);
    incomingLayout->addWidget(cbShowTooltip);
    incomingLayout->addWidget(label2);
    incomingLayout->addLayout(sound);
    incomingLayout->addWidget(label3);
    incomingLayout->addLayout(interval);
    incomingLayout->addStretch(1);

    // ---- Buttons and the verdict
    cmdOK = tagged(new QPushButton(QStringLiteral("Ok"), this), "cmdOK", "14001");
    cmdOK->setDefault(true);
    cmdCancel = tagged(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel", "14002");
    m_closeMode = tagged(new QLineEdit(QStringLiteral("closeMode"), this), "closeMode");
    m_closeMode->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TabStrip1);
    layout->addWidget(frames, 1);
    layout->addLayout(buttons);
    // One size for every tab and every opening: the one that holds them all.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cbUseTAPI, &QCheckBox::toggled, this,
            [this] { trapErrors([this] { cbUseTAPI_Click(); }); });
    connect(cbUseLastDialAB, &QCheckBox::toggled, this,
            [this] { trapErrors([this] { cbUseLastDialAB_Click(); }); });
    connect(cmdChoseDefaultSound, &QPushButton::clicked, this,
            [this] { trapErrors([this] { cmdChoseDefaultSound_Click(); }); });
    connect(cmdTestSound, &QPushButton::clicked, this,
            [this] { trapErrors([this] { cmdTestSound_Click(); }); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { trapErrors([this] { cmdOK_Click(); }); });
    connect(cmdCancel, &QPushButton::clicked, this,
            [this] { trapErrors([this] { cmdCancel_Click(); }); });
    connect(TabStrip1, &QTabBar::currentChanged, this,
            [this] { trapErrors([this] { TabStrip1_Click(); }); });
    connect(slRingTimerInterval, &QSlider::valueChanged, this,
            [this] { trapErrors([this] { showRingTimerInterval(); }); });
}

// ---------------------------------------------------------------- lifecycle

frmPreferences* frmPreferences::current() {
    return gPreferencesDialog;
}

frmPreferences* frmPreferences::instance(QWidget* owner) {
    if (!gPreferencesDialog) {
        auto* dialog = new frmPreferences(owner);
        gPreferencesDialog = dialog;
        dialog->Form_Load();
    }
    return gPreferencesDialog;
}

void frmPreferences::showModal(QWidget* owner) {
    frmPreferences* dialog = instance(owner);
    dialog->exec();
}

void frmPreferences::closeEvent(QCloseEvent* event) {
    // The close box unloads the dialog; the next use loads it afresh.
    event->accept();
    if (gPreferencesDialog == this)
        gPreferencesDialog = nullptr;
    done(QDialog::Rejected);
    deleteLater();
}

void frmPreferences::reject() {
    // Escape: the Cancel button.
    trapErrors([this] { cmdCancel_Click(); });
}

// ---------------------------------------------------------------- load

void frmPreferences::Form_Load() {
    trapErrors([this] {
        localizeForm(this);
        fillTAPIDevices();

        const Preferences prefs = gPreferences ? *gPreferences : Preferences();
        // Ticking the box here acts like the user's click: it starts
        // telephony when there is none and fills the list again.
        cbUseTAPI->setChecked(prefs.useTapi);
        cbTAPIDevice->setEnabled(prefs.useTapi);
        fMultipleCall->setEnabled(prefs.useTapi);

        switch (prefs.onClose) {
        case 0:
            rbOnCloseClose->setChecked(true);
            break;
        case 1:
            rbOnCloseHide->setChecked(true);
            break;
        case 2:
            rbOnCloseAsk->setChecked(true);
            break;
        default:
            break;
        }
        switch (prefs.multipleCall) {
        case 0:
            rbMCIgnore->setChecked(true);
            break;
        case 1:
            rbMCAlert->setChecked(true);
            break;
        default:
            break;
        }

        cbPlaySound->setChecked(prefs.incomingPlaySound);
        cbShowTooltip->setChecked(prefs.incomingShowTooltip);
        cbShowRingWindow->setChecked(prefs.incomingShowWindow);
        txtDefaultSound->setText(prefs.defaultSound);
        cbAutoClose->setChecked(prefs.autoCloseOnDisconnect);
        cbUseLastDialAB->setChecked(prefs.useLastDRAddressBooks);
        setPrefixesEnabled(prefs.useLastDRAddressBooks);
        defaultPrefix[0]->setText(prefs.defaultPrefixesForDRAB1);
        defaultPrefix[1]->setText(prefs.defaultPrefixesForDRAB2);
        defaultPrefix[2]->setText(prefs.defaultPrefixesForDRAB3);

        // A stored interval outside 1 to 15 shows at the nearest end.
        slRingTimerInterval->setValue(prefs.ringTimerInterval);
        showRingTimerInterval();

        cbStartMinimized->setChecked(prefs.startMinimized);

        TabStrip1->blockSignals(true);
        TabStrip1->setCurrentIndex(0);
        TabStrip1->blockSignals(false);
        TabFrm[0]->setVisible(true);
        TabFrm[0]->raise();
        TabFrm[1]->setVisible(false);
        TabFrm[2]->setVisible(false);
        m_currentTab = 1;
    });
}

void frmPreferences::fillTAPIDevices() {
    cbTAPIDevice->clear();
    int chosen = -1;
    if (gTAPI) {
        const QString wanted = gPreferences ? gPreferences->TAPIDevice : QString();
        // An address that cannot be asked is left out; a list that cannot
        // be had leaves the box empty. Either way the rest of the dialog
        // still loads.
        std::shared_ptr<ITCollection> addresses;
        long count = 0;
        try {
            addresses = gTAPI->get_Addresses();
            count = addresses ? addresses->get_Count() : 0;
        } catch (const AppError&) {
            count = 0;
        }
        for (long i = 1; i <= count; ++i) {
            try {
                const std::shared_ptr<ITAddress> a = addresses->get_Item(i);
                if (!a || !a->QueryMediaType(TAPIMEDIATYPE_AUDIO))
                    continue;
                const QString name = a->get_AddressName();
                cbTAPIDevice->addItem(name);
                if (name == wanted)
                    chosen = cbTAPIDevice->count() - 1;
            } catch (const AppError&) {
            }
        }
    }
    cbTAPIDevice->setCurrentIndex(chosen);
}

// ---------------------------------------------------------------- handlers

void frmPreferences::cbUseTAPI_Click() {
    if (cbUseTAPI->isChecked()) {
        cbTAPIDevice->setEnabled(true);
        fMultipleCall->setEnabled(true);
        startTAPI();
        fillTAPIDevices();
    } else {
        cbTAPIDevice->setEnabled(false);
        fMultipleCall->setEnabled(false);
        // The monitored address belongs to the object being shut down: it
        // goes with it, so nothing dials through a dead address.
        gAddress.reset();
        stopTAPI();
    }
}

void frmPreferences::cbUseLastDialAB_Click() {
    setPrefixesEnabled(cbUseLastDialAB->isChecked());
}

void frmPreferences::setPrefixesEnabled(bool on) {
    for (QLineEdit* box : defaultPrefix)
        box->setEnabled(on);
}

void frmPreferences::cmdChoseDefaultSound_Click() {
    QString path;
    if (FileChooser::choose(FileChooser::Mode::Open, loadResString(16021), 1, loadResString(16022),
                            path, this))
        txtDefaultSound->setText(path);
}

void frmPreferences::cmdTestSound_Click() {
    if (!txtDefaultSound->text().isEmpty())
        SoundPlayer::play(txtDefaultSound->text());
}

void frmPreferences::showRingTimerInterval() {
    lblRingTimerInterval->setText(QString::number(slRingTimerInterval->value()) + u' ' +
                                  loadResString(16023));
}

void frmPreferences::TabStrip1_Click() {
    const int index = TabStrip1->currentIndex() + 1;
    if (index < 1 || index > 3 || index == m_currentTab)
        return;
    TabFrm[index - 1]->setVisible(true);
    TabFrm[index - 1]->raise();
    if (m_currentTab >= 1 && m_currentTab <= 3)
        TabFrm[m_currentTab - 1]->setVisible(false);
    m_currentTab = static_cast<std::int16_t>(index);
}

void frmPreferences::cmdOK_Click() {
    m_closeMode->setText(QStringLiteral("OK"));
    done(QDialog::Accepted);
}

void frmPreferences::cmdCancel_Click() {
    m_closeMode->setText(QStringLiteral("Cancel"));
    done(QDialog::Rejected);
}

// ---------------------------------------------------------------- values

QString frmPreferences::closeMode() const {
    return m_closeMode->text();
}

std::shared_ptr<Preferences> frmPreferences::getValues() const {
    auto p = std::make_shared<Preferences>();
    p->TAPIDevice = cbTAPIDevice->currentIndex() >= 0 ? cbTAPIDevice->currentText() : QString();
    p->useTapi = cbUseTAPI->isChecked();
    p->incomingShowWindow = cbShowRingWindow->isChecked();
    p->incomingPlaySound = cbPlaySound->isChecked();
    p->incomingShowTooltip = cbShowTooltip->isChecked();
    p->autoCloseOnDisconnect = cbAutoClose->isChecked();
    p->useLastDRAddressBooks = cbUseLastDialAB->isChecked();
    p->startMinimized = cbStartMinimized->isChecked();
    if (rbOnCloseAsk->isChecked())
        p->onClose = 2;
    else if (rbOnCloseClose->isChecked())
        p->onClose = 0;
    else if (rbOnCloseHide->isChecked())
        p->onClose = 1;
    else
        p->onClose = 0;
    p->multipleCall = rbMCAlert->isChecked() ? 1 : 0;
    p->defaultSound = txtDefaultSound->text();
    p->defaultPrefixesForDRAB1 = defaultPrefix[0]->text();
    p->defaultPrefixesForDRAB2 = defaultPrefix[1]->text();
    p->defaultPrefixesForDRAB3 = defaultPrefix[2]->text();
    p->ringTimerInterval = static_cast<std::int16_t>(slRingTimerInterval->value());
    p->clearDRABOnExit = false;
    return p;
}
