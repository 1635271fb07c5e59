#include "mainwindow/frmmain.h"

#include "app/convert.h"
#include "platform/errors.h"
#include "app/frmtipoftheday.h"
#include "app/globals.h"
#include "app/localize.h"
#include "app/strings.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "platform/trayicon.h"
#include "plugins/pluginserver.h"
#include "telephony/callhandler.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QSessionManager>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

namespace {

const QString kAppTitle = QStringLiteral("Tamrivo");
const QString kSection = QStringLiteral("Settings");

// Design sizes, in twips.
constexpr double kTitlesHeight = 300;
constexpr double kSplitterWidth = 40;
constexpr double kColumnWidth = 2540;
constexpr double kMinWidth = 3000;
constexpr double kMinHeight = 5000;

int toPixels(double twips) {
    return static_cast<int>(std::lround(twips / frmMain::TwipsPerPixel));
}
double toTwips(double pixels) {
    return pixels * frmMain::TwipsPerPixel;
}

// Mouse buttons and modifier keys as the handlers take them.
int buttonCode(Qt::MouseButtons b) {
    int code = 0;
    if (b & Qt::LeftButton)
        code |= 1;
    if (b & Qt::RightButton)
        code |= 2;
    if (b & Qt::MiddleButton)
        code |= 4;
    return code;
}

int shiftCode(Qt::KeyboardModifiers m) {
    int code = 0;
    if (m & Qt::ShiftModifier)
        code |= 1;
    if (m & Qt::ControlModifier)
        code |= 2;
    if (m & Qt::AltModifier)
        code |= 4;
    return code;
}

// Geometry setters that tolerate sizes below zero while the window is tiny.
void place(QWidget* w, int left, int top, int width, int height) {
    if (w)
        w->setGeometry(left, top, std::max(0, width), std::max(0, height));
}

// One stored edge of the window rectangle, in pixels. A value that is not a
// number, or one too large for the 32-bit arithmetic, falls back to the
// key's default rather than stopping the load.
int storedEdge(const QString& key, double defaultTwips) {
    const QString text =
        SettingsStore::instance().read(kSection, key, convert::toText(std::llround(defaultTwips)));
    double twips = 0;
    if (!convert::tryToDouble(text, twips))
        twips = defaultTwips;
    try {
        return convert::toInt32(twips / frmMain::TwipsPerPixel);
    } catch (const AppError&) {
        return convert::toInt32(defaultTwips / frmMain::TwipsPerPixel);
    }
}

} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setProperty("Tag", QStringLiteral("15005"));
    setWindowTitle(kAppTitle);
    setWindowIcon(QIcon(QStringLiteral(":/icons/tamrivo.png")));
    // The window's close is the end of the program: it goes when closed.
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(static_cast<int>(std::ceil(kMinWidth / TwipsPerPixel)),
                   static_cast<int>(std::ceil(kMinHeight / TwipsPerPixel)));

    m_calls = new CallHandler(this);
    m_tray = new TrayIcon(this);
    connect(m_tray, &TrayIcon::mouseEvent, this, &frmMain::stSysTrayIcon_MouseEvent);

    buildMenus();
    buildToolBar();
    buildPanes();
    buildStatusBar();

    // A session that ends closes the window without the close policy.
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { trapErrors([&] { systemClose(vbAppWindows); }); });
}

frmMain::~frmMain() {
    if (gMainForm == this)
        gMainForm = nullptr;
}

// ---------------------------------------------------------------- building

void frmMain::buildMenus() {
    auto item = [](QMenu* menu, const char* name, const char* id,
                   const QKeySequence& key = QKeySequence()) {
        QAction* a = menu->addAction(QString::fromLatin1(id));
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        return a;
    };
    auto separator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QString::fromLatin1(name));
    };
    auto subMenu = [this](QMenu* parentMenu, const char* name, const char* caption) {
        QMenu* m = parentMenu ? parentMenu->addMenu(QString::fromLatin1(caption))
                              : menuBar()->addMenu(QString::fromLatin1(caption));
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto popup = [this](const char* name, const char* caption) {
        auto* m = new QMenu(QString::fromLatin1(caption), this);
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto on = [this](QAction* a, void (frmMain::*handler)()) {
        connect(a, &QAction::triggered, this, handler);
    };

    QMenu* file = subMenu(nullptr, "mnuFile", "11001");
    on(item(file, "mnuFileSearch", "11003", QKeySequence(Qt::Key_F3)),
       &frmMain::mnuFileSearch_Click);
    separator(file, "Sep4");
    on(item(file, "mnuFileExit", "11002"), &frmMain::mnuFileExit_Click);

    QMenu* tools = subMenu(nullptr, "mnuTools", "11021");
    on(item(tools, "mnuToolsManualDial", "11024", QKeySequence(Qt::Key_F6)),
       &frmMain::mnuToolsManualDial_Click);
    separator(tools, "mnuSep3");
    on(item(tools, "mnuToolsAddressBooks", "11022"), &frmMain::mnuToolsAddressBooks_Click);
    on(item(tools, "mnuToolsPlugIns", "11025"), &frmMain::mnuToolsPlugIns_Click);
    separator(tools, "mnuSep10");
    on(item(tools, "mnuToolsPreferences", "11023"), &frmMain::mnuToolsPreferences_Click);

    // The same caption in every language.
    QMenu* help = subMenu(nullptr, "mnuHelp", "&?");
    on(item(help, "mnuHelpHelp", "11101", QKeySequence(Qt::Key_F1)), &frmMain::mnuHelpHelp_Click);
    on(item(help, "mnuHelpUpdate", "11102"), &frmMain::mnuHelpUpdate_Click);
    on(item(help, "mnuHelpTipOfTheDay", "11105", QKeySequence(Qt::Key_F12)),
       &frmMain::mnuHelpTipOfTheDay_Click);
    separator(help, "mnuSep6");
    on(item(help, "mnuHelpAbout", "11103"), &frmMain::mnuHelpAbout_Click);

    // Pop-up menus, never in the menu bar.
    m_contactCtx = popup("mnuContactCtx", "ContactCtxMenu");
    QMenu* call = subMenu(m_contactCtx, "mnuContactCtxCall", "11061");
    connect(call, &QMenu::aboutToShow, this, &frmMain::mnuContactCtxCall_Click);
    on(item(call, "mnuContactCtxCallTel", "16032"), &frmMain::mnuContactCtxCallTel_Click);
    on(item(call, "mnuContactCtxCallTel2", "16032"), &frmMain::mnuContactCtxCallTel2_Click);
    on(item(call, "mnuContactCtxCallTel3", "16032"), &frmMain::mnuContactCtxCallTel3_Click);
    on(item(m_contactCtx, "mnuContactCtxSendEMail", "11062"),
       &frmMain::mnuContactCtxSendEMail_Click);
    separator(m_contactCtx, "mnuContactCtxSep1");
    on(item(m_contactCtx, "mnuContactCtxEdit", "11063"), &frmMain::mnuContactCtxEdit_Click);
    on(item(m_contactCtx, "mnuContactCtxRemove", "11064"), &frmMain::mnuContactCtxRemove_Click);
    separator(m_contactCtx, "mnuContactCtxSep2");
    on(item(m_contactCtx, "mnuContactCtxOtherInfo", "11065"),
       &frmMain::mnuContactCtxOtherInfo_Click);

    m_sysTrayMenu = popup("SysTrayMenu", "SysTrayMenu");
    struct Recent {
        const char* menu;
        const char* items;
        const char* caption;
        void (frmMain::*handler)(int);
    };
    const Recent recents[] = {
        {"mnuSysTrayLU", "mnuSysTrayLUItems_0", "11086", &frmMain::mnuSysTrayLUItems_Click},
        {"mnuSysTrayLA", "mnuSysTrayLAItems_0", "11085", &frmMain::mnuSysTrayLAItems_Click},
        {"mnuSysTrayLD", "mnuSysTrayLDItems_0", "11084", &frmMain::mnuSysTrayLDItems_Click},
    };
    for (const Recent& r : recents) {
        QMenu* m = subMenu(m_sysTrayMenu, r.menu, r.caption);
        // Item 0 of the item array; later items are added when the menu is
        // filled, and every item reports its own index.
        QAction* first = m->addAction(QString());
        first->setObjectName(QString::fromLatin1(r.items));
        const auto handler = r.handler;
        connect(m, &QMenu::triggered, this, [this, m, handler](QAction* a) {
            const int index = static_cast<int>(m->actions().indexOf(a));
            if (index >= 0)
                (this->*handler)(index);
        });
    }
    separator(m_sysTrayMenu, "mnuSep8");
    on(item(m_sysTrayMenu, "mnuSysTrayManualCall", "11087"), &frmMain::mnuSysTrayManualCall_Click);
    m_showHide = item(m_sysTrayMenu, "mnuSysTrayShowHide", "11081");
    on(m_showHide, &frmMain::mnuSysTrayShowHide_Click);
    on(item(m_sysTrayMenu, "mnuSysTrayExit", "11082"), &frmMain::mnuSysTrayExit_Click);

    m_ctxAddressBook = popup("mnuCtxAddressBook", "ctxAddressBook");
    on(item(m_ctxAddressBook, "mnuCtxAddressBookAddContact", "11121"),
       &frmMain::mnuCtxAddressBookAddContact_Click);
    on(item(m_ctxAddressBook, "mnuCtxAddressBookClear", "11122"),
       &frmMain::mnuCtxAddressBookClear_Click);
}

void frmMain::buildToolBar() {
    m_toolBar = addToolBar(QStringLiteral("tbToolBar"));
    m_toolBar->setObjectName(QStringLiteral("tbToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->setIconSize(QSize(24, 24));

    struct Button {
        const char* key;
        const char* id;
        QStyle::StandardPixmap image;
    };
    const Button buttons[] = {
        {"abook", "17001", QStyle::SP_DirOpenIcon},
        {"search", "17002", QStyle::SP_FileDialogContentsView},
        {"manualcall", "17003", QStyle::SP_DialogYesButton},
        {"prefs", "17004", QStyle::SP_FileDialogDetailedView},
        {"hide", "17005", QStyle::SP_ArrowDown},
        {nullptr, nullptr, QStyle::SP_CustomBase},
        {"help", "17006", QStyle::SP_DialogHelpButton},
    };
    for (const Button& b : buttons) {
        if (!b.key) {
            m_toolBar->addSeparator();
            continue;
        }
        const QString key = QString::fromLatin1(b.key);
        QAction* a =
            m_toolBar->addAction(style()->standardIcon(b.image), QString::fromLatin1(b.id));
        a->setObjectName(QStringLiteral("tbToolBar_") + key);
        a->setProperty("Key", key);
        a->setProperty("Tag", QString::fromLatin1(b.id));
        a->setToolTip(QString::fromLatin1(b.id));
        connect(a, &QAction::triggered, this, [this, key] { tbToolBar_ButtonClick(key); });
    }
}

void frmMain::buildPanes() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(central);

    m_picTitles = new QWidget(central);
    m_picTitles->setObjectName(QStringLiteral("picTitles"));
    const char* titles[2][2] = {{"13015", "Address Books"}, {"13016", "Contacts"}};
    for (int i = 0; i < 2; ++i) {
        auto* l = new QLabel(QString::fromLatin1(titles[i][1]), m_picTitles);
        l->setObjectName(QStringLiteral("lblTitle_%1").arg(i));
        l->setProperty("Tag", QString::fromLatin1(titles[i][0]));
        l->setFrameShape(QFrame::StyledPanel);
        l->setFrameShadow(QFrame::Sunken);
        l->setIndent(4);
        m_lblTitle[i] = l;
    }

    m_ilAddressBook = {style()->standardIcon(QStyle::SP_DirIcon)};

    m_tree = new QTreeWidget(central);
    m_tree->setObjectName(QStringLiteral("tvAddressBookTree"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->viewport()->installEventFilter(this);
    connect(m_tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* node) { trapErrors([&] { tvAddressBookTree_Expand(node); }); });

    m_list = new QTreeWidget(central);
    m_list->setObjectName(QStringLiteral("lvContactList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    const QStringList columnTags = {
        QStringLiteral("13010"), QStringLiteral("13011"), QStringLiteral("13014"),
        QStringLiteral("13050"), QStringLiteral("13051"), QStringLiteral("13052"),
        QStringLiteral("13053"), QStringLiteral("13054"),
    };
    m_list->setColumnCount(static_cast<int>(columnTags.size()));
    m_list->setHeaderLabels({
        QStringLiteral("Name"),
        QStringLiteral("Telephone"),
        QStringLiteral("Email"),
        QStringLiteral("Telephone 2"),
        QStringLiteral("Telephone 3"),
        QStringLiteral("Email 2"),
        QStringLiteral("Free Text"),
        QStringLiteral("Contact ID"),
    });
    m_list->setProperty("ColumnTags", columnTags);
    m_list->header()->setStretchLastSection(false);
    for (int c = 0; c < columnTags.size(); ++c)
        m_list->setColumnWidth(c, toPixels(kColumnWidth));
    m_list->viewport()->installEventFilter(this);

    m_imgSplitter = new QWidget(central);
    m_imgSplitter->setObjectName(QStringLiteral("imgSplitter"));
    m_imgSplitter->setCursor(Qt::SplitHCursor);
    m_imgSplitter->setMouseTracking(true);
    m_imgSplitter->installEventFilter(this);

    m_picSplitter = new QWidget(central);
    m_picSplitter->setObjectName(QStringLiteral("picSplitter"));
    m_picSplitter->setAutoFillBackground(true);
    QPalette pal = m_picSplitter->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Dark));
    m_picSplitter->setPalette(pal);
    m_picSplitter->hide();

    central->installEventFilter(this);
}

void frmMain::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("sbStatusBar"));
    bar->setSizeGripEnabled(true);
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(bar);
        m_panels[i]->setObjectName(QStringLiteral("sbStatusBar_%1").arg(i + 1));
        m_panels[i]->setIndent(4);
    }
    bar->addWidget(m_panels[0], 1);
    bar->addPermanentWidget(m_panels[1]);
    bar->addPermanentWidget(m_panels[2]);

    // The date and time panels follow the clock.
    m_clock = new QTimer(this);
    m_clock->setObjectName(QStringLiteral("clockTimer"));
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &frmMain::updateClock);
    m_clock->start();
    updateClock();
}

void frmMain::updateClock() {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    const QString date = locale.toString(now.date(), QLocale::ShortFormat);
    const QString time = locale.toString(now.time(), QLocale::ShortFormat);
    if (m_panels[1]->text() != date)
        m_panels[1]->setText(date);
    if (m_panels[2]->text() != time)
        m_panels[2]->setText(time);
}

QIcon frmMain::addressBookImage(int index) const {
    return m_ilAddressBook.value(index);
}

// ---------------------------------------------------------------- load

void frmMain::Form_Load() {
    trapErrors([&] {
        localizeForm(this);
        measureToolBar();
        restoreRectangle();
        m_tree->setIconSize(QSize(16, 16));
        fillAddressBookTree();
        if (gTAPI) {
            TAPIEventsInit();
            gCallDirection = CallDirection::None;
            gCall.reset();
        }
        const std::int32_t seconds = gPreferences ? gPreferences->ringTimerInterval : 0;
        m_calls->ringTimer()->setInterval(std::max<std::int32_t>(0, seconds * 1000));
        m_tray->setToolTip(kAppTitle);
        m_tray->show(windowIcon());
        m_currentNode = nullptr;
        if (plugInsEnabled) {
            m_plugins = new PlugInServer(this);
            m_plugins->start();
        }
    });
}

void frmMain::restoreRectangle() {
    const int left = storedEdge(QStringLiteral("MainLeft"), 1000);
    const int top = storedEdge(QStringLiteral("MainTop"), 1000);
    int width = storedEdge(QStringLiteral("MainWidth"), 6500);
    int height = storedEdge(QStringLiteral("MainHeight"), 6500);
    // A stored size larger than the whole desktop would give a window that
    // can't be used; sizes that fit are kept exactly, so nothing drifts.
    if (const QScreen* sc = screen()) {
        const QSize avail = sc->availableVirtualSize();
        if (avail.width() > 0 && width > avail.width())
            width = avail.width();
        if (avail.height() > 0 && height > avail.height())
            height = avail.height();
    }
    QRect r(left, top, width, height);
    // Kept from a larger or another monitor, the rectangle may lie where no
    // screen shows it: mostly off every screen, it goes onto the primary one.
    qint64 shown = 0;
    for (const QScreen* sc : QGuiApplication::screens()) {
        const QRect part = r.intersected(sc->availableGeometry());
        shown += qint64(part.width()) * part.height();
    }
    if (const QScreen* primary = QGuiApplication::primaryScreen();
        primary && shown * 2 < qint64(width) * height) {
        const QRect avail = primary->availableGeometry();
        r.setSize(r.size().boundedTo(avail.size()));
        r.moveCenter(avail.center());
    }
    move(r.topLeft());
    resize(r.size());
}

void frmMain::saveRectangle() {
    // Position and size are stored exactly as they are restored, so a
    // window that is not moved keeps its numbers from run to run.
    const QPoint p = pos();
    const QSize s = size();
    SettingsStore& store = SettingsStore::instance();
    SettingsStore::Entries entries;
    const QStringList ours = {QStringLiteral("MainLeft"), QStringLiteral("MainTop"),
                              QStringLiteral("MainWidth"), QStringLiteral("MainHeight")};
    for (const QString& key : store.keys(kSection)) {
        if (!ours.contains(key, Qt::CaseInsensitive))
            entries.append({key, store.value(kSection, key).value_or(QString())});
    }
    const long long values[] = {p.x(), p.y(), s.width(), s.height()};
    for (int i = 0; i < 4; ++i)
        entries.append({ours[i], convert::toText(values[i] * TwipsPerPixel)});
    store.replaceSection(kSection, entries);
}

// ---------------------------------------------------------------- close

void frmMain::systemClose(std::int16_t unloadMode) {
    m_pendingUnloadMode = unloadMode;
    close();
}

void frmMain::closeEvent(QCloseEvent* event) {
    const std::int16_t mode = m_pendingUnloadMode;
    m_pendingUnloadMode = vbFormControlMenu;
    std::int16_t cancel = 0;
    Form_QueryUnload(cancel, mode);
    if (cancel != 0) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmMain::Form_QueryUnload(std::int16_t& cancel, std::int16_t unloadMode) {
    trapErrors([&] {
        if (unloadMode == vbAppWindows || unloadMode == vbAppTaskManager || gExitRequested)
            return;
        const std::int16_t onClose = gPreferences ? gPreferences->onClose : 0;
        if (onClose == 1) {
            cancel = 1;
            hideToTray();
        } else if (onClose == 2) {
            const int answer = Prompter::msgBox(
                loadResString(16014), Msg::YesNoCancel | Msg::Question, loadResString(16015), this);
            if (answer == Msg::Yes) {
                cancel = 1;
                hideToTray();
            } else if (answer == Msg::Cancel) {
                cancel = 1;
            }
        }
    });
}

void frmMain::Form_Unload() {
    trapErrors([&] {
        m_tray->remove();
        if (gTAPI)
            m_calls->shutdown();
        // Every other window goes with this one, the newest first.
        const QWidgetList windows = QApplication::topLevelWidgets();
        QList<QPointer<QWidget>> others;
        for (QWidget* w : windows) {
            if (w != this && !qobject_cast<QMenu*>(w))
                others.append(w);
        }
        for (auto it = others.rbegin(); it != others.rend(); ++it) {
            if (*it)
                (*it)->close();
        }
        if (isMinimized())
            return;
        saveRectangle();
    });
}

void frmMain::hideToTray() {
    if (TrayIcon::isSystemTrayAvailable() && m_tray->isShown()) {
        hide();
        setShowHideCaption(11081);
    } else {
        // Hidden with no tray to bring it back, the program would be lost.
        showMinimized();
    }
}

void frmMain::showFromTray() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    setShowHideCaption(11083);
}

void frmMain::setShowHideCaption(int stringId) {
    m_showHide->setText(loadResString(stringId));
}

// ---------------------------------------------------------------- layout

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::Form_Resize() {
    // The minimum size is also held by the window system; this catches a
    // size set while the minimum could not apply.
    const QSize min = minimumSize();
    if (!isMinimized() && (width() < min.width() || height() < min.height()))
        resize(std::max(width(), min.width()), std::max(height(), min.height()));
    fitToolBar();
    double x = m_splitterLeft;
    SizeControls(x);
}

void frmMain::measureToolBar() {
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBarTextWidth = m_toolBar->sizeHint().width();
    fitToolBar();
}

void frmMain::fitToolBar() {
    // Captions under the images when they all fit; otherwise images only
    // (the tooltips still name them), so no button hides behind the
    // toolbar's overflow mark.
    const Qt::ToolButtonStyle want =
        width() >= m_toolBarTextWidth ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly;
    if (m_toolBar->toolButtonStyle() != want)
        m_toolBar->setToolButtonStyle(want);
}

void frmMain::SizeControls(double& x) {
    QWidget* central = centralWidget();
    const double windowWidth = toTwips(width());
    if (x < 1500)
        x = 1500;
    if (x > windowWidth - 1500)
        x = windowWidth - 1500;

    const double treeWidth = x;
    m_splitterLeft = x;
    const double listLeft = x + kSplitterWidth;
    const double listWidth = windowWidth - (treeWidth + 140);
    const int titlesHeight = toPixels(kTitlesHeight);

    place(m_picTitles, 0, 0, central->width(), titlesHeight);
    place(m_lblTitle[0], 0, 0, toPixels(treeWidth), titlesHeight);
    place(m_lblTitle[1], toPixels(listLeft + 20), 0, toPixels(listWidth - 40), titlesHeight);

    // The toolbar and the status bar lie outside the central area, so the
    // panes start right under the titles and end right above the status bar.
    const int paneTop = titlesHeight;
    const int paneHeight = central->height() - titlesHeight;
    place(m_tree, 0, paneTop, toPixels(treeWidth), paneHeight);
    place(m_list, toPixels(listLeft), paneTop, toPixels(listWidth), paneHeight);
    place(m_imgSplitter, toPixels(x), paneTop, toPixels(listLeft) - toPixels(x), paneHeight);
}

void frmMain::imgSplitter_MouseDown(int, int, double, double) {
    trapErrors([&] {
        const QRect bar = m_imgSplitter->geometry();
        const long barWidth = std::lround(toTwips(bar.width()));
        m_picSplitterLeft = m_splitterLeft;
        place(m_picSplitter, toPixels(m_picSplitterLeft), bar.top(),
              toPixels(static_cast<double>(barWidth / 2)), toPixels(toTwips(bar.height()) - 20));
        m_picSplitter->show();
        m_picSplitter->raise();
        m_movingSplitter = true;
    });
}

void frmMain::imgSplitter_MouseMove(int, int, double x, double) {
    trapErrors([&] {
        if (!m_movingSplitter)
            return;
        const double windowWidth = toTwips(width());
        const double position = m_splitterLeft + x;
        if (position < 500)
            m_picSplitterLeft = 500;
        else if (position > windowWidth - 500)
            m_picSplitterLeft = windowWidth - 500;
        else
            m_picSplitterLeft = position;
        m_picSplitter->move(toPixels(m_picSplitterLeft), m_picSplitter->y());
    });
}

void frmMain::imgSplitter_MouseUp(int, int, double, double) {
    trapErrors([&] {
        if (!m_movingSplitter)
            return;
        double x = m_picSplitterLeft;
        SizeControls(x);
        m_picSplitter->hide();
        m_movingSplitter = false;
    });
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == centralWidget() && type == QEvent::Resize) {
        double x = m_splitterLeft;
        SizeControls(x);
        return false;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return QMainWindow::eventFilter(watched, event);

    auto* me = static_cast<QMouseEvent*>(event);
    const int shift = shiftCode(me->modifiers());
    const double x = toTwips(me->position().x());
    const double y = toTwips(me->position().y());
    if (watched == m_imgSplitter) {
        if (type == QEvent::MouseButtonPress)
            imgSplitter_MouseDown(buttonCode(me->button()), shift, x, y);
        else if (type == QEvent::MouseMove)
            imgSplitter_MouseMove(buttonCode(me->buttons()), shift, x, y);
        else
            imgSplitter_MouseUp(buttonCode(me->button()), shift, x, y);
        return true;
    }
    if (watched == m_tree->viewport()) {
        if (type == QEvent::MouseButtonPress) {
            trapErrors([&] { tvAddressBookTree_MouseDown(buttonCode(me->button()), shift, x, y); });
        } else if (type == QEvent::MouseButtonRelease) {
            // A click on a node's label, not on its expand mark.
            const QPoint p = me->position().toPoint();
            QTreeWidgetItem* node = m_tree->itemAt(p);
            if (node && m_tree->visualItemRect(node).contains(p))
                trapErrors([&] { tvAddressBookTree_NodeClick(node); });
        }
    } else if (watched == m_list->viewport() && type == QEvent::MouseButtonRelease) {
        trapErrors([&] { lvContactList_MouseUp(buttonCode(me->button()), shift, x, y); });
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- status bar

void frmMain::setStatusText(const QString& text) {
    m_panels[0]->setText(text);
}
QString frmMain::statusText() const {
    return m_panels[0]->text();
}

void frmMain::saveCorrectedCallInfo(const QString& num, const QString& str, const QString& tag) {
    m_calls->saveCorrectedCallInfo(num, str, tag);
}

void frmMain::TAPIEventsInit() {
    m_calls->TAPIEventsInit();
}

// ---------------------------------------------------------------- commands

void frmMain::mnuFileExit_Click() {
    trapErrors([&] {
        gExitRequested = true;
        systemClose(vbFormCode);
    });
}

void frmMain::mnuSysTrayExit_Click() {
    mnuFileExit_Click();
}

void frmMain::mnuSysTrayShowHide_Click() {
    trapErrors([&] {
        if (isHidden())
            showFromTray();
        else
            hideToTray();
    });
}

void frmMain::tbToolBar_ButtonClick(const QString& key) {
    // A failing step does not stop the ones after it.
    trapErrors([&] {
        if (key == QLatin1String("abook"))
            addressBooksCommand(true);
        else if (key == QLatin1String("search"))
            mnuFileSearch_Click();
        else if (key == QLatin1String("manualcall"))
            mnuToolsManualDial_Click();
        else if (key == QLatin1String("prefs"))
            preferencesCommand(true);
        else if (key == QLatin1String("hide"))
            hideToTray();
        else if (key == QLatin1String("help"))
            mnuHelpHelp_Click();
    });
}

void frmMain::stSysTrayIcon_MouseEvent(int button) {
    trapErrors([&] {
        if (button != TrayIcon::RightButton)
            return;
        raise();
        activateWindow();
        fillRecentCallMenus();
        m_sysTrayMenu->popup(QCursor::pos());
    });
}

void frmMain::tvAddressBookTree_MouseDown(int button, int, double, double) {
    m_treeMouseButton = static_cast<std::int16_t>(button);
}

void frmMain::tvAddressBookTree_NodeClick(QTreeWidgetItem* node) {
    trapErrors([&] {
        m_currentNode = node;
        if (m_treeMouseButton == 2)
            m_ctxAddressBook->popup(QCursor::pos());
        else
            loadContactList(node);
    });
}

void frmMain::lvContactList_MouseUp(int button, int, double, double) {
    if (button == 2 && !m_list->selectedItems().isEmpty())
        m_contactCtx->popup(QCursor::pos());
}
