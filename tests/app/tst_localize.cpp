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

using namespace Qt::StringLiterals;

namespace {

// A control with design-time caption "design" unless told otherwise.
template <typename W>
W* add(QWidget* parent, const char* name, const QString& tag = QString(),
       const QString& tip = QString(), const QString& text = u"design"_s) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    if (!tag.isNull())
        w->setProperty("Tag", tag);
    w->setToolTip(tip);
    w->setProperty(qobject_cast<QGroupBox*>(w) ? "title" : "text", text);
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
    w->setObjectName(u"frmTest"_s);
    w->setWindowTitle(u"design title"_s);
    w->setWindowIcon(designIcon());
    if (!tag.isNull())
        w->setProperty("Tag", tag);

    // Menus: the id is the design-time caption.
    QMenu* file = w->menuBar()->addMenu(u"11001"_s);
    file->setObjectName(u"mnuFile"_s);
    addAction(file, "mnuFileSearch", u"11003"_s);
    file->addSeparator()->setObjectName(u"mnuFileSep"_s);
    addAction(file, "mnuFileDash", u"-"_s);
    addAction(file, "mnuFileWord", u"Recent"_s);
    addAction(file, "mnuFileMissing", u"11999"_s);
    QMenu* tools = file->addMenu(u"11021"_s);
    tools->setObjectName(u"mnuTools"_s);
    addAction(tools, "mnuToolsBooks", u"11022"_s);
    // A pop-up menu of the window (the tray menu).
    auto* tray = new QMenu(w.get());
    tray->setObjectName(u"SysTrayMenu"_s);
    addAction(tray, "mnuShow", u"11081"_s);
    addAction(tray, "mnuHide", u"11083"_s);

    // Toolbar: tooltip id in the tooltip, caption id in the Tag.
    QToolBar* tb = w->addToolBar(u"tb"_s);
    tb->setObjectName(u"tbToolBar"_s);
    QAction* books = tb->addAction(u"design"_s);
    books->setObjectName(u"tbBooks"_s);
    books->setToolTip(u"17001"_s);
    books->setProperty("Tag", u"17001"_s);
    tb->addSeparator();
    QAction* plain = tb->addAction(u"design"_s);
    plain->setObjectName(u"tbPlain"_s);
    plain->setToolTip(u"Plain tip"_s);
    plain->setProperty("Tag", u"17002abc"_s);

    auto* central = new QWidget(w.get());
    central->setObjectName(u"central"_s);
    new QVBoxLayout(central);
    w->setCentralWidget(central);

    for (const auto& [name, labelTag] :
         std::initializer_list<std::pair<const char*, QString>>{{"lblEmpty", u""_s},
                                                                {"lblNoTag", QString()},
                                                                {"lblName", u"13010"_s},
                                                                {"lblZero", u"0"_s},
                                                                {"lbl12abc", u"12abc"_s},
                                                                {"lblLeading", u"13010abc"_s},
                                                                {"lblBlanks", u" 13011 "_s},
                                                                {"lblMissing", u"13009"_s}})
        add<QLabel>(central, name, labelTag);
    add<QPushButton>(central, "cmdEmpty", u""_s);
    add<QPushButton>(central, "cmdZero", u"0"_s, u"0"_s);
    add<QPushButton>(central, "cmdWord", u"Close"_s, u"Ordinary tip"_s);
    add<QPushButton>(central, "cmd12abc", u"12abc"_s);
    add<QPushButton>(central, "cmdLeading", u"14003abc"_s, u"17002 search"_s);
    add<QPushButton>(central, "cmdRoundUp", u"14002.6"_s);
    add<QPushButton>(central, "cmdRoundHalf", u"14004.5"_s);
    add<QPushButton>(central, "cmdNegative", u"-14003"_s, u"-17002"_s);
    add<QPushButton>(central, "cmdOverflow", u"99999"_s, u"1e9"_s);
    add<QPushButton>(central, "cmdTipOnly", QString(), u"17006"_s);
    add<QCheckBox>(central, "cbUseTAPI", u"13020"_s);
    add<QRadioButton>(central, "rbAskUser", u"13021"_s);
    auto* frame = add<QGroupBox>(central, "frmIncoming", u"13025"_s);
    new QVBoxLayout(frame);
    // A control inside a frame is still a control of the window.
    add<QCheckBox>(frame, "cbPlaySound", u"13027"_s);
    add<QLineEdit>(central, "txtNumber", u"13010"_s, u"16031"_s, u"555 123"_s);

    // Tabs: caption ids in TabTags, tooltip ids in the tab tooltips.
    auto* tabs = add<QTabWidget>(central, "tsTabs");
    for (int i = 0; i < 4; ++i) {
        auto* page = new QWidget;
        new QVBoxLayout(page);
        tabs->addTab(page, u"design"_s);
    }
    tabs->setProperty("TabTags", QStringList{u"13017"_s, u"13019"_s, u"13017abc"_s});
    tabs->setTabToolTip(0, u"13017"_s);
    tabs->setTabToolTip(2, u"Ordinary tip"_s);
    tabs->setTabToolTip(3, u"13019"_s);
    add<QLabel>(tabs->widget(0), "lblOnTab", u"13024"_s);
    auto* bar = add<QTabBar>(central, "tsBar");
    bar->addTab(u"design"_s);
    bar->setProperty("TabTags", QStringList{u"13030"_s});

    // List views: column header ids in ColumnTags.
    auto* lv = add<QTreeWidget>(central, "lvContactList");
    lv->setColumnCount(3);
    lv->setHeaderLabels({u"design"_s, u"design"_s, u"design"_s});
    lv->setProperty("ColumnTags", QStringList{u"13010"_s, u"13011"_s, u"x"_s, u"13014"_s});
    auto* table = add<QTableView>(central, "lvTable");
    auto* model = new QStandardItemModel(0, 2, table);
    model->setHorizontalHeaderLabels({u"design"_s, u"design"_s});
    table->setModel(model);
    table->setProperty("ColumnTags", QStringList{u"13037"_s, u""_s});

    // Controls inside a scroll area's viewport.
    auto* scroll = add<QScrollArea>(central, "scrArea");
    auto* inner = new QWidget;
    new QVBoxLayout(inner);
    add<QLabel>(inner, "lblInScroll", u"13016"_s);
    scroll->setWidget(inner);

    // Another window owned by this one: left to its own load.
    auto* dlg = new QDialog(w.get());
    dlg->setObjectName(u"frmOwned"_s);
    dlg->setProperty("Tag", u"15006"_s);
    dlg->setWindowTitle(u"design"_s);
    new QVBoxLayout(dlg);
    add<QLabel>(dlg, "lblOwned", u"13010"_s);
    return w;
}

QString captionOf(QObject* o) {
    if (auto* m = qobject_cast<QMenu*>(o))
        return m->title();
    for (const char* p : {"text", "title"})
        if (o->property(p).isValid())
            return o->property(p).toString();
    return o->property("windowTitle").toString();
}

QString toolTipOf(QObject* o) {
    return o->property("toolTip").toString();
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
        const QString same = u"<same>"_s;
        // A menu item's tooltip follows its caption.
        const QString any = u"<any>"_s;
        const QString design = u"design"_s;
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
        row("it label", "lblName", "Nome", same, "it");
        row("it toolbar", "tbBooks", "Rubriche", "Rubriche", "it");
        row("it button", "cmdLeading", "&Chiudi", "Cerca", "it");
    }
    void controls() {
        QFETCH(QString, lang);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        setLanguage(lang == u"it" ? Language::Italian : Language::English);
        auto w = makeWindow(u"15005"_s);
        QObject* o = w->findChild<QObject*>(name);
        QVERIFY2(o, qPrintable(name));
        const QString tipBefore = toolTipOf(o);
        localizeForm(w.get());
        QCOMPARE(captionOf(o), caption);
        if (toolTip != u"<any>")
            QCOMPARE(toolTipOf(o), toolTip == u"<same>" ? tipBefore : toolTip);
    }

    void tabsAndColumns() {
        auto w = makeWindow(u"15005"_s);
        localizeForm(w.get());
        auto* tabs = w->findChild<QTabWidget*>(u"tsTabs"_s);
        QStringList texts, tips;
        for (int i = 0; i < 4; ++i) {
            texts << tabs->tabText(i);
            tips << tabs->tabToolTip(i);
        }
        // Tab 2: only a whole number is an id; tab 3 has no id.
        QCOMPARE(texts, QString("&General|TAPI|design|design").split(u'|'));
        QCOMPARE(tips, QString("&General||Ordinary tip|TAPI").split(u'|'));
        QCOMPARE(w->findChild<QTabBar*>(u"tsBar"_s)->tabText(0), u"&Database"_s);

        auto* lv = w->findChild<QTreeWidget*>(u"lvContactList"_s);
        QCOMPARE(lv->columnCount(), 3); // the surplus id adds no column
        QCOMPARE(QString("%1|%2|%3")
                     .arg(lv->headerItem()->text(0), lv->headerItem()->text(1),
                          lv->headerItem()->text(2)),
                 u"Name|Telephone|design"_s);
        auto* table = w->findChild<QTableView*>(u"lvTable"_s);
        QCOMPARE(table->model()->headerData(0, Qt::Horizontal).toString(), u"ID"_s);
        QCOMPARE(table->model()->headerData(1, Qt::Horizontal).toString(), u"design"_s);
    }

    void windowTitleAndIcon_data() {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("icon"); // "": the design-time icon stays
        const auto row = [](const char* name, const QString& tag, const char* title,
                            const char* icon, const char* lang = "en") {
            QTest::newRow(name) << QString(lang) << tag << QString(title) << QString(icon);
        };
        row("main window", u"15005"_s, "Tamrivo", ":/icons/15005.png");
        row("preferences", u"15006"_s, "Preferences", ":/icons/15006.png");
        row("tip of the day", u"15019"_s, "Tip of the day", ":/icons/15019.png");
        row("title without icon", u"15009"_s, "Local Address Book", "");
        row("empty tag (the splash)", u""_s, "design title", "");
        row("no tag", QString(), "design title", "");
        row("word", u"About"_s, "design title", "");
        row("icon without title", u"15004"_s, "design title", ":/icons/15004.png");
        row("program icon id", u"1"_s, "design title", ":/icons/1.png");
        row("italian", u"15001"_s, "Rubriche", ":/icons/15001.png", "it");
    }
    void windowTitleAndIcon() {
        QFETCH(QString, lang);
        QFETCH(QString, tag);
        QFETCH(QString, title);
        QFETCH(QString, icon);
        setLanguage(lang == u"it" ? Language::Italian : Language::English);
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
            const QIcon icon(u":/icons/%1.png"_s.arg(id));
            QVERIFY2(!icon.pixmap(32, 32).isNull(), qPrintable(QString::number(id)));
        }
        QVERIFY(!QFile::exists(u":/icons/15009.png"_s));
    }

    void localisingTwiceChangesNothing() {
        auto w = makeWindow(u"15005"_s);
        localizeForm(w.get());
        localizeForm(w.get());
        QCOMPARE(w->findChild<QAction*>(u"mnuFileSearch"_s)->text(), u"&Search..."_s);
        QCOMPARE(w->windowTitle(), u"Tamrivo"_s);
    }

    void nullWindow() { localizeForm(nullptr); }
};

QTEST_MAIN(TstLocalize)

#include "tst_localize.moc"
