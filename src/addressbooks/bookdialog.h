#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

class QCheckBox;
class QFrame;
class QGridLayout;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QSlider;
class QTabBar;

// The property dialog of one address book. The caller fills it, shows it
// modally and reads the verdict from the hidden closeMode box: "OK" or
// "Cancel"; a dialog closed by its window box is unloaded and answers its
// first text, "closeMode", which counts as Cancel. OK and Cancel only hide
// the dialog, so it keeps its fields from one use to the next.
class BookDialog : public QDialog {
    Q_OBJECT
public:
    // Shows the dialog modally over owner; answers the verdict.
    QString showModal(QWidget* owner);
    // Hides and destroys the dialog; the next use loads a new one.
    void unload();

    static const QString kOK;
    static const QString kCancel;
    static const QString kInitialCloseMode;

protected:
    BookDialog(const QString& name, const QString& titleId, const QString& title);

    // Forgets the one instance of the dialog's class.
    virtual void forgetInstance() = 0;
    // Raises when the fields cannot be stored; OK then leaves the dialog open.
    virtual void checkValues() {}
    // Escape is Cancel; the window box unloads.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

    // The row of OK and Cancel, holding the hidden closeMode box.
    QLayout* makeButtonRow();
    // A caption beside a field: its text id in Tag, or fixed text when id is empty.
    QLabel* makeLabel(QWidget* parent, const char* id, const QString& text);
    QLineEdit* makeLineEdit(QWidget* parent, const char* name);
    QPushButton* makeButton(QWidget* parent, const char* name, const char* id, const QString& text);

    // Tab strip over one frame per tab; the frames share one place and only
    // the current tab's frame is shown. Answers the area that holds them.
    QWidget* makeTabs(const QStringList& ids, const QStringList& texts);
    // The General tab of the Local and Database dialogs, in frame.
    void makeGeneralTab(QFrame* frame);
    // Load-time state of the tabs and the ring-interval slider.
    void loadTabs();
    void loadRingInterval();
    // The General tab's fields emptied, slider at 1.
    void clearGeneralTab();

    QLineEdit* closeMode = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

    QTabBar* TabStrip1 = nullptr;
    QList<QFrame*> TabFrm;
    std::int16_t currentTab = 1;

    QLineEdit* txtAddressBookName = nullptr;
    QCheckBox* cbSearchForCallerID = nullptr;
    QLineEdit* txtRingSound = nullptr;
    QPushButton* cmdSelectRingSound = nullptr;
    QPushButton* cmdTestSound = nullptr;
    QSlider* sdRingInterval = nullptr;
    QLabel* lblRingInterval = nullptr;
    QLineEdit* txtCallPrefix = nullptr;

private:
    void OKButton_Click();
    void CancelButton_Click();
    void TabStrip1_Click(int index);
    void cmdSelectRingSound_Click();
    void cmdTestSound_Click();
    void sdRingInterval_Change();
};
