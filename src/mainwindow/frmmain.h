#pragma once

#include <QIcon>
#include <QMainWindow>
#include <cstdint>

class CallHandler;
class DBSearchResult;
class DatabaseAddressBook;
class PlugInServer;
class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;
class TrayIcon;

// The one main window: the address-book tree and the contact list beside a
// splitter, under the toolbar and the pane titles, above the status bar; it
// also carries the menus, the tray icon and the ring timer.
//
// Geometry that is stored or clamped is reckoned in twips, 15 to a pixel.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int TwipsPerPixel = 15;

    // Why the window is being closed; decides whether the close policy asks.
    enum UnloadMode : std::int16_t {
        vbFormControlMenu = 0, // the window's close box, system menu, Alt+F4
        vbFormCode = 1,        // the program closes it
        vbAppWindows = 2,      // the session ends (shutdown, log off)
        vbAppTaskManager = 3,  // another program ends this one
    };

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The window's load: runs once after creation.
    void Form_Load();

    // The close policy. Setting cancel to 1 keeps the window loaded.
    void Form_QueryUnload(std::int16_t& cancel, std::int16_t unloadMode);
    // Tear-down when the window really closes.
    void Form_Unload();
    // Lays the panes out with the split x twips from the left edge; x
    // receives the clamped value.
    void SizeControls(double& x);

    // Closes the window as the system does (session end): no question asked.
    void systemClose(std::int16_t unloadMode = vbAppWindows);

    // Hides the window to the tray (the tray item then offers "Show"); where
    // there is no tray the window is minimised instead, so it stays
    // reachable.
    void hideToTray();
    // Shows the window again from the tray (the tray item then offers "Hide").
    void showFromTray();

    // Panel 1 of the status bar: the call-status text.
    void setStatusText(const QString& text);
    QString statusText() const;

    // Telephony side (forwarded to the call handler).
    void TAPIEventsInit();
    // The contact card's corrected party, kept in the current-call record.
    void saveCorrectedCallInfo(const QString& num, const QString& str, const QString& tag);
    CallHandler* callHandler() const { return m_calls; }
    PlugInServer* plugInServer() const { return m_plugins; }
    TrayIcon* trayIcon() const { return m_tray; }

    // The image list of the address-book tree (image 1 is index 0).
    QIcon addressBookImage(int index) const;

    // Left edge of the splitter bar, in twips.
    double splitterLeft() const { return m_splitterLeft; }
    bool movingSplitter() const { return m_movingSplitter; }
    QTreeWidgetItem* currentNode() const { return m_currentNode; }

    // Menu and toolbar commands: the help page shipped beside the program
    // and the program's update page.
    static QUrl helpPage();
    static QUrl updatePage();

    // Tree and contact list.
    // The abTag carried by a tree node or a list row ("" when none).
    static QString itemTag(const QTreeWidgetItem* item);
    static void setItemTag(QTreeWidgetItem* item, const QString& tag);
    // Shows the rows of a search, from r's cursor on; save and saveName are
    // accepted and not used.
    void useSearchResult(DBSearchResult& r, bool save = false, const QString& saveName = QString());

    // Context commands: tree nodes and contact-list rows carry their book
    // tag ("level|kind|index", "" for none) as text under this role of
    // column 0.
    static constexpr int TagRole = Qt::UserRole;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildPanes();
    void buildStatusBar();
    void restoreRectangle();
    void saveRectangle();
    void updateClock();
    void setShowHideCaption(int stringId);
    void Form_Resize();
    void measureToolBar();
    void fitToolBar();

    // Splitter drag (any button); x and y in twips within the bar.
    void imgSplitter_MouseDown(int button, int shift, double x, double y);
    void imgSplitter_MouseMove(int button, int shift, double x, double y);
    void imgSplitter_MouseUp(int button, int shift, double x, double y);

    // Menu commands.
    void mnuFileSearch_Click();
    void mnuFileExit_Click();
    void mnuToolsManualDial_Click();
    void mnuToolsAddressBooks_Click();
    void mnuToolsPlugIns_Click();
    void mnuToolsPreferences_Click();
    void mnuHelpHelp_Click();
    void mnuHelpUpdate_Click();
    void mnuHelpTipOfTheDay_Click();
    void mnuHelpAbout_Click();
    void tbToolBar_ButtonClick(const QString& key);

    // Tray icon and tray menu.
    void stSysTrayIcon_MouseEvent(int button);
    void mnuSysTrayLDItems_Click(int index);
    void mnuSysTrayLAItems_Click(int index);
    void mnuSysTrayLUItems_Click(int index);
    void mnuSysTrayManualCall_Click();
    void mnuSysTrayShowHide_Click();
    void mnuSysTrayExit_Click();

    // Contact and address-book context menus.
    void mnuContactCtxCall_Click();
    void mnuContactCtxCallTel_Click();
    void mnuContactCtxCallTel2_Click();
    void mnuContactCtxCallTel3_Click();
    void mnuContactCtxSendEMail_Click();
    void mnuContactCtxEdit_Click();
    void mnuContactCtxRemove_Click();
    void mnuContactCtxOtherInfo_Click();
    void mnuCtxAddressBookAddContact_Click();
    void mnuCtxAddressBookClear_Click();

    // Tree and list.
    void fillAddressBookTree();
    void tvAddressBookTree_Expand(QTreeWidgetItem* node);
    void tvAddressBookTree_MouseDown(int button, int shift, double x, double y);
    void tvAddressBookTree_NodeClick(QTreeWidgetItem* node);
    void lvContactList_MouseUp(int button, int shift, double x, double y);

    CallHandler* m_calls = nullptr;
    PlugInServer* m_plugins = nullptr;
    TrayIcon* m_tray = nullptr;

    QToolBar* m_toolBar = nullptr;
    int m_toolBarTextWidth = 0;
    QWidget* m_picTitles = nullptr;
    QLabel* m_lblTitle[2] = {nullptr, nullptr};
    QTreeWidget* m_tree = nullptr;
    QTreeWidget* m_list = nullptr;
    QWidget* m_imgSplitter = nullptr;
    QWidget* m_picSplitter = nullptr;
    QLabel* m_panels[3] = {nullptr, nullptr, nullptr};
    QTimer* m_clock = nullptr;
    QList<QIcon> m_ilAddressBook;

    QMenu* m_sysTrayMenu = nullptr;
    QMenu* m_contactCtx = nullptr;
    QMenu* m_ctxAddressBook = nullptr;
    QAction* m_showHide = nullptr;

    // Geometry in twips, kept exact so that rounding to pixels never drifts.
    double m_splitterLeft = 2500;
    double m_picSplitterLeft = 0;
    bool m_movingSplitter = false;
    std::int16_t m_pendingUnloadMode = vbFormControlMenu;

    QTreeWidgetItem* m_currentNode = nullptr;
    std::int16_t m_treeMouseButton = 0;
    // The node whose contacts the list shows; none for search hits.
    QTreeWidgetItem* m_listNode = nullptr;

    // ---- Tree and contact list loading (frmmain_tree.cpp).
    // Reloads the list for a node; the expand variant also drops the node's
    // placeholder child once the rows are read.
    void loadContactList(QTreeWidgetItem* node);
    void loadContacts(QTreeWidgetItem* node, bool expanding);
    void addBookNode(const QString& text, const QString& tag);
    void readGroupLevel(QTreeWidgetItem* node, const DatabaseAddressBook& book, int level,
                        const QString& indexPart);
    void removePlaceholder(QTreeWidgetItem* node);
    QTreeWidgetItem* addContactRow(const QString& tag, const QStringList& fields);

    // ---- Menu and toolbar commands (frmmain_commands.cpp).
    // The Address Books and Preferences commands; from the toolbar each step
    // goes on after a failure of the one before.
    void addressBooksCommand(bool goOnAfterErrors);
    void preferencesCommand(bool goOnAfterErrors);

    // ---- Call commands and tray recent-call menus (frmmain_calls.cpp).
    // Dials sub-item col of the selected contact row, behind its book's prefix.
    void dialContactNumber(int col);
    void manualCall();
    // Fills the three recent-call sub-menus of the tray menu.
    void fillRecentCallMenus();
    void fillRecentCallMenu(const char* menuName, int book);
    void redialRecentCall(const char* menuName, int book, int index);
    // Puts number and name into the outgoing-call window and asks it to dial.
    void dialFromMainWindow(const QString& number, const QString& name);

    // ---- Contact and address-book context commands (frmmain_context.cpp).
    QTreeWidgetItem* selectedContactRow() const;
    void refreshCurrentNode();
    // After an edit or removal: lists the list's own node again, else the
    // chosen one; tells when the contact was no longer in its book.
    void refreshList(bool contactFound);
};
