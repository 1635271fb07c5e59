#include "app/localize.h"
#include "app/strings.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

namespace {

template <typename W> W* add(QWidget* parent, const char* name, const QString& tag = QString()) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    if (!tag.isNull())
        w->setProperty("Tag", tag);
    if (parent->layout())
        parent->layout()->addWidget(w);
    return w;
}

QAction* addAction(QWidget* menu, const char* name, const QString& caption) {
    auto* a = new QAction(caption, menu);
    a->setObjectName(QString::fromLatin1(name));
    menu->addAction(a);
    return a;
}

QIcon designIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::magenta);
    return QIcon(pm);
}

QImage imageOf(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage();
}

// A window with one control of each kind the localisation knows, all with
// design-time text "design" unless the case needs another.
std::unique_ptr<QMainWindow> makeWindow(const QString& tag) {
    auto w = std::make_unique<QMainWindow>();
    w->setObjectName(QStringLiteral("frmTest"));
    w->setWindowTitle(QStringLiteral("design title"));
    w->setWindowIcon(designIcon());
    if (!tag.isNull())
        w->setProperty("Tag", tag);

    // Menus: the id is the design-time caption.
    QMenu* file = w->menuBar()->addMenu(QStringLiteral("11001"));
    file->setObjectName(QStringLiteral("mnuFile"));
    addAction(file, "mnuFileSearch", QStringLiteral("11003"));
    file->addSeparator()->setObjectName(QStringLiteral("mnuFileSep"));
    addAction(file, "mnuFileDash", QStringLiteral("-"));
    addAction(file, "mnuFileWord", QStringLiteral("Recent"));
    addAction(file, "mnuFileMissing", QStringLiteral("11999"));
    QMenu* tools = file->addMenu(QStringLiteral("11021"));
    tools->setObjectName(QStringLiteral("mnuTools"));
    addAction(tools, "mnuToolsBooks", QStringLiteral("11022"));
    // A pop-up menu of the window (the tray menu).
    auto* tray = new QMenu(w.get());
    tray->setObjectName(QStringLiteral("SysTrayMenu"));
    addAction(tray, "mnuShow", QStringLiteral("11081"));
    addAction(tray, "mnuHide", QStringLiteral("11083"));

    // Toolbar: tooltip id in the tooltip, caption id in the Tag.
    QToolBar* tb = w->addToolBar(QStringLiteral("tb"));
    tb->setObjectName(QStringLiteral("tbToolBar"));
    QAction* books = tb->addAction(QStringLiteral("design"));
    books->setObjectName(QStringLiteral("tbBooks"));
    books->setToolTip(QStringLiteral("17001"));
    books->setProperty("Tag", QStringLiteral("17001"));
    tb->addSeparator();
    QAction* plain = tb->addAction(QStringLiteral("design"));
    plain->setObjectName(QStringLiteral("tbPlain"));
    plain->setToolTip(QStringLiteral("Plain tip"));
    plain->setProperty("Tag", QStringLiteral("17002abc"));

    auto* central = new QWidget(w.get());
    central->setObjectName(QStringLiteral("central"));
    new QVBoxLayout(central);
    w->setCentralWidget(central);

    const auto label = [&](const char* name, const QString& tag) {
        add<QLabel>(central, name, tag)->setText(QStringLiteral("design"));
    };
    label("lblEmpty", QString(""));
    label("lblNoTag", QString());
    label("lblName", QStringLiteral("13010"));
    label("lblZero", QStringLiteral("0"));
    label("lbl12abc", QStringLiteral("12abc"));
    label("lblLeading", QStringLiteral("13010abc"));
    label("lblBlanks", QStringLiteral(" 13011 "));
    label("lblMissing", QStringLiteral("13009"));

    const auto button = [&](const char* name, const QString& tag, const QString& tip) {
        auto* b = add<QPushButton>(central, name, tag);
        b->setText(QStringLiteral("design"));
        b->setToolTip(tip);
    };
    button("cmdEmpty", QString(""), QString());
    button("cmdZero", QStringLiteral("0"), QStringLiteral("0"));
    button("cmdWord", QStringLiteral("Close"), QStringLiteral("Ordinary tip"));
    button("cmd12abc", QStringLiteral("12abc"), QString());
    button("cmdLeading", QStringLiteral("14003abc"), QStringLiteral("17002 search"));
    button("cmdRoundUp", QStringLiteral("14002.6"), QString());
    button("cmdRoundHalf", QStringLiteral("14004.5"), QString());
    button("cmdNegative", QStringLiteral("-14003"), QStringLiteral("-17002"));
    button("cmdOverflow", QStringLiteral("99999"), QStringLiteral("1e9"));
    button("cmdTipOnly", QString(), QStringLiteral("17006"));

    auto* cb = add<QCheckBox>(central, "cbUseTAPI", QStringLiteral("13020"));
    cb->setText(QStringLiteral("design"));
    auto* rb = add<QRadioButton>(central, "rbAskUser", QStringLiteral("13021"));
    rb->setText(QStringLiteral("design"));
    auto* frame = add<QGroupBox>(central, "frmIncoming", QStringLiteral("13025"));
    frame->setTitle(QStringLiteral("design"));
    new QVBoxLayout(frame);
    // A control inside a frame is still a control of the window.
    add<QCheckBox>(frame, "cbPlaySound", QStringLiteral("13027"))
        ->setText(QStringLiteral("design"));

    auto* txt = add<QLineEdit>(central, "txtNumber", QStringLiteral("13010"));
    txt->setText(QStringLiteral("555 123"));
    txt->setToolTip(QStringLiteral("16031"));

    // Tabs: caption ids in TabTags, tooltip ids in the tab tooltips.
    auto* tabs = add<QTabWidget>(central, "tsTabs");
    for (int i = 0; i < 4; ++i) {
        auto* page = new QWidget;
        new QVBoxLayout(page);
        tabs->addTab(page, QStringLiteral("design"));
    }
    tabs->setProperty("TabTags", QStringList{QStringLiteral("13017"), QStringLiteral("13019"),
                                             QStringLiteral("13017abc")});
    tabs->setTabToolTip(0, QStringLiteral("13017"));
    tabs->setTabToolTip(2, QStringLiteral("Ordinary tip"));
    tabs->setTabToolTip(3, QStringLiteral("13019"));
    add<QLabel>(tabs->widget(0), "lblOnTab", QStringLiteral("13024"))
        ->setText(QStringLiteral("design"));
    auto* bar = add<QTabBar>(central, "tsBar");
    bar->addTab(QStringLiteral("design"));
    bar->setProperty("TabTags", QStringList{QStringLiteral("13030")});

    // List views: column header ids in ColumnTags.
    auto* lv = add<QTreeWidget>(central, "lvContactList");
    lv->setColumnCount(3);
    lv->setHeaderLabels(
        {QStringLiteral("design"), QStringLiteral("design"), QStringLiteral("design")});
    lv->setProperty("ColumnTags", QStringList{QStringLiteral("13010"), QStringLiteral("13011"),
                                              QStringLiteral("x"), QStringLiteral("13014")});
    auto* table = add<QTableView>(central, "lvTable");
    auto* model = new QStandardItemModel(0, 2, table);
    model->setHorizontalHeaderLabels({QStringLiteral("design"), QStringLiteral("design")});
    table->setModel(model);
    table->setProperty("ColumnTags", QStringList{QStringLiteral("13037"), QStringLiteral("")});

    // Controls inside a scroll area's viewport.
    auto* scroll = add<QScrollArea>(central, "scrArea");
    auto* inner = new QWidget;
    new QVBoxLayout(inner);
    add<QLabel>(inner, "lblInScroll", QStringLiteral("13016"))->setText(QStringLiteral("design"));
    scroll->setWidget(inner);

    // Another window owned by this one: left to its own load.
    auto* dlg = new QDialog(w.get());
    dlg->setObjectName(QStringLiteral("frmOwned"));
    dlg->setProperty("Tag", QStringLiteral("15006"));
    dlg->setWindowTitle(QStringLiteral("design"));
    new QVBoxLayout(dlg);
    add<QLabel>(dlg, "lblOwned", QStringLiteral("13010"))->setText(QStringLiteral("design"));
    return w;
}

QString captionOf(QObject* o) {
    if (auto* a = qobject_cast<QAction*>(o))
        return a->text();
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(o))
        return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(o))
        return g->title();
    if (auto* t = qobject_cast<QLineEdit*>(o))
        return t->text();
    if (auto* m = qobject_cast<QMenu*>(o))
        return m->title();
    if (auto* d = qobject_cast<QWidget*>(o))
        return d->windowTitle();
    return QStringLiteral("<unknown>");
}

QString toolTipOf(QObject* o) {
    if (auto* a = qobject_cast<QAction*>(o))
        return a->toolTip();
    return qobject_cast<QWidget*>(o)->toolTip();
}

} // namespace

class TstLocalize : public QObject {
    Q_OBJECT
private slots:
    void init() { setLanguage(Language::English); }
    void cleanupTestCase() { setLanguage(Language::English); }

    void controls_data() {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        const QString same = QStringLiteral("<same>");
        // A menu item's tooltip follows its caption.
        const QString any = QStringLiteral("<any>");
        const QString design = QStringLiteral("design");
        const auto row = [&](const char* tag, const char* name, const QString& caption,
                             const QString& tip, const char* lang = "en") {
            QTest::newRow(tag) << QString::fromLatin1(lang) << QString::fromLatin1(name) << caption
                               << tip;
        };
        // Labels: the whole Tag must be an id.
        row("label empty tag", "lblEmpty", design, same);
        row("label no tag", "lblNoTag", design, same);
        row("label after empty", "lblName", "Name", same);
        row("label zero", "lblZero", design, same);
        row("label 12abc", "lbl12abc", design, same);
        row("label leading number", "lblLeading", design, same);
        row("label blanks", "lblBlanks", "Telephone", same);
        row("label unknown id", "lblMissing", design, same);
        // Other controls: the leading number of Tag and tooltip.
        row("button empty tag", "cmdEmpty", design, "");
        row("button zero", "cmdZero", design, "0");
        row("button ordinary text", "cmdWord", design, "Ordinary tip");
        row("button 12abc", "cmd12abc", design, "");
        row("button leading number", "cmdLeading", "&Close", "Search");
        row("button fraction rounds", "cmdRoundUp", "&Close", "");
        row("button half to even", "cmdRoundHalf", "&Add...", "");
        row("button negative", "cmdNegative", design, "-17002");
        row("button out of range", "cmdOverflow", design, "1e9");
        row("button tooltip only", "cmdTipOnly", design, "Help");
        row("check box", "cbUseTAPI", "Use TAPI", "");
        row("radio button", "rbAskUser", "Ask user", "");
        row("frame", "frmIncoming", "Incoming call", "");
        row("control in frame", "cbPlaySound", "Play Sound", "");
        // A text box has no caption: its numeric Tag changes nothing.
        row("text box", "txtNumber", "555 123", "Not Found");
        // Menus: the design-time caption is the id.
        row("menu title", "mnuFile", "&File", any);
        row("menu item", "mnuFileSearch", "&Search...", any);
        row("menu separator", "mnuFileSep", "", any);
        row("menu dash", "mnuFileDash", "-", any);
        row("menu word", "mnuFileWord", "Recent", any);
        row("menu unknown id", "mnuFileMissing", "11999", any);
        row("submenu title", "mnuTools", "&Tools", any);
        row("submenu item", "mnuToolsBooks", "&Address Books...", any);
        row("popup menu", "mnuShow", "&Show", any);
        // Toolbar: tooltip and caption, each from its own id.
        row("toolbar button", "tbBooks", "Address books", "Address books");
        row("toolbar plain", "tbPlain", design, "Plain tip");
        // Labels in tab pages and scroll areas belong to the window.
        row("label on tab", "lblOnTab", "TAPI Device :", same);
        row("label in scroll area", "lblInScroll", "Contacts", same);
        // Owned windows are not this window's controls.
        row("owned window", "frmOwned", design, same);
        row("owned window label", "lblOwned", design, same);
        // Italian interface.
        row("it tray show", "mnuShow", "&Mostra", any, "it");
        row("it tray hide", "mnuHide", "&Nascondi", any, "it");
        row("it file", "mnuFile", "&File", any, "it");
        row("it toolbar", "tbBooks", "Rubriche", "Rubriche", "it");
        row("it button", "cmdLeading", "&Chiudi", "Cerca", "it");
    }
    void controls() {
        QFETCH(QString, lang);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        setLanguage(lang == u"it" ? Language::Italian : Language::English);
        auto w = makeWindow(QStringLiteral("15005"));
        QObject* o = w->findChild<QObject*>(name);
        QVERIFY2(o, qPrintable(name));
        const QString tipBefore = toolTipOf(o);
        localizeForm(w.get());
        QCOMPARE(captionOf(o), caption);
        if (toolTip != u"<any>")
            QCOMPARE(toolTipOf(o), toolTip == u"<same>" ? tipBefore : toolTip);
    }

    void tabsAndColumns() {
        auto w = makeWindow(QStringLiteral("15005"));
        localizeForm(w.get());
        auto* tabs = w->findChild<QTabWidget*>(QStringLiteral("tsTabs"));
        QCOMPARE(tabs->tabText(0), QStringLiteral("&General"));
        QCOMPARE(tabs->tabToolTip(0), QStringLiteral("&General"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("TAPI"));
        QCOMPARE(tabs->tabToolTip(1), QString());
        QCOMPARE(tabs->tabText(2), QStringLiteral("design")); // whole number needed
        QCOMPARE(tabs->tabToolTip(2), QStringLiteral("Ordinary tip"));
        QCOMPARE(tabs->tabText(3), QStringLiteral("design")); // no id for this tab
        QCOMPARE(tabs->tabToolTip(3), QStringLiteral("TAPI"));
        QCOMPARE(w->findChild<QTabBar*>(QStringLiteral("tsBar"))->tabText(0),
                 QStringLiteral("&Database"));

        auto* lv = w->findChild<QTreeWidget*>(QStringLiteral("lvContactList"));
        QCOMPARE(lv->columnCount(), 3); // the surplus id adds no column
        QCOMPARE(lv->headerItem()->text(0), QStringLiteral("Name"));
        QCOMPARE(lv->headerItem()->text(1), QStringLiteral("Telephone"));
        QCOMPARE(lv->headerItem()->text(2), QStringLiteral("design"));
        auto* table = w->findChild<QTableView*>(QStringLiteral("lvTable"));
        QCOMPARE(table->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID"));
        QCOMPARE(table->model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("design"));
    }

    void windowTitleAndIcon_data() {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("icon");
        QTest::newRow("main window") << "15005"
                                     << "Tamrivo"
                                     << ":/icons/15005.png";
        QTest::newRow("preferences") << "15006"
                                     << "Preferences"
                                     << ":/icons/15006.png";
        QTest::newRow("tip of the day") << "15019"
                                        << "Tip of the day"
                                        << ":/icons/15019.png";
        // No icon of that id: the design-time icon stays.
        QTest::newRow("local book") << "15009"
                                    << "Local Address Book"
                                    << "";
        // The splash: no Tag at all.
        QTest::newRow("empty tag") << ""
                                   << "design title"
                                   << "";
        QTest::newRow("no tag") << QString() << "design title"
                                << "";
        QTest::newRow("word") << "About"
                              << "design title"
                              << "";
        // An icon but no title of that id.
        QTest::newRow("icon only") << "15004"
                                   << "design title"
                                   << ":/icons/15004.png";
        QTest::newRow("program icon id") << "1"
                                         << "design title"
                                         << ":/icons/1.png";
    }
    void windowTitleAndIcon() {
        QFETCH(QString, tag);
        QFETCH(QString, title);
        QFETCH(QString, icon);
        auto w = makeWindow(tag);
        localizeForm(w.get());
        QCOMPARE(w->windowTitle(), title);
        const QIcon expected = icon.isEmpty() ? designIcon() : QIcon(icon);
        QVERIFY(!expected.isNull());
        QCOMPARE(imageOf(w->windowIcon()), imageOf(expected));
    }

    // Every window-title id that has an icon has one compiled in.
    void iconsCompiledIn() {
        for (int id : {1, 15001, 15002, 15003, 15004, 15005, 15006, 15008, 15010, 15014, 15015,
                       15016, 15017, 15018, 15019}) {
            const QIcon icon(QStringLiteral(":/icons/%1.png").arg(id));
            QVERIFY2(!icon.pixmap(32, 32).isNull(), qPrintable(QString::number(id)));
        }
        QVERIFY(!QFile::exists(QStringLiteral(":/icons/15009.png")));
    }

    void italianWindow() {
        setLanguage(Language::Italian);
        auto w = makeWindow(QStringLiteral("15001"));
        localizeForm(w.get());
        QCOMPARE(w->windowTitle(), QStringLiteral("Rubriche"));
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("lblName"))->text(), QStringLiteral("Nome"));
    }

    void localisingTwiceChangesNothing() {
        auto w = makeWindow(QStringLiteral("15005"));
        localizeForm(w.get());
        localizeForm(w.get());
        QCOMPARE(w->findChild<QAction*>(QStringLiteral("mnuFileSearch"))->text(),
                 QStringLiteral("&Search..."));
        QCOMPARE(w->windowTitle(), QStringLiteral("Tamrivo"));
    }

    void nullWindow() { localizeForm(nullptr); }
};

QTEST_MAIN(TstLocalize)

#include "tst_localize.moc"
