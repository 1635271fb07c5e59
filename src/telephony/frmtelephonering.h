#pragma once

#include <QWidget>
#include <cstdint>

class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

// The incoming-call window: the caller's number and name, the call status,
// Answer and Disconnect. One instance at a time, loaded on first use; an
// unloaded window is loaded afresh the next time.
class frmTelephoneRing : public QWidget {
    Q_OBJECT
public:
    // The one window, loaded (and its Form_Load run) when it is not.
    static frmTelephoneRing* instance();
    // The window when loaded, else nullptr; never loads it.
    static frmTelephoneRing* loadedInstance();
    // Loaded and shown.
    static bool isShown();

    void showStatus(std::int16_t status);
    void showCallerIDNum(const QString& callerID);
    void showCallerIDStr(const QString& callerID);
    // Shows the window modeless, owned by the main window, when it is not shown.
    void showWindow();
    // Hides the window and destroys it; the next use loads a new one.
    void unload();

protected:
    // Closing by the window box unloads the window.
    void closeEvent(QCloseEvent* event) override;

private slots:
    void cmdAnswer_Click();
    void cmdDisconnect_Click();
    void CloseTimer_Timer();

private:
    explicit frmTelephoneRing(QWidget* owner);
    void Form_Load();

    QLabel* Image1;
    QLabel* lblCallerIDNum;
    QLabel* lblCallerIdStr;
    QLabel* lblStatus;
    QPushButton* cmdAnswer;
    QPushButton* cmdDisconnect;
    QCheckBox* cbAutoClose;
    QTimer* CloseTimer;
};
