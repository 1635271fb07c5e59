#pragma once

#include <QWidget>
#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// The outgoing-call window: the number to dial, the called party's name, the
// call status, Dial and Hang Up. DialNumber is the program's only way to
// place a call. One instance at a time, loaded on first use.
class frmTelephoneCall : public QWidget {
    Q_OBJECT
public:
    static frmTelephoneCall* instance();
    static frmTelephoneCall* loadedInstance();
    static bool isShown();

    // Places a call to the number in txtNumber, as typed.
    void DialNumber();
    void setNumber(const QString& number);
    void showStatus(std::int16_t status);
    void showCalledIDNum(const QString& calledID);
    void showCalledIDStr(const QString& calledIdStr);
    // Shows the window modeless, owned by the main window, when it is not shown.
    void showWindow();
    void unload();

    QString number() const;

protected:
    // Closing by the window box unloads the window.
    void closeEvent(QCloseEvent* event) override;

private slots:
    void cmdDial_Click();
    void cmdHangUp_Click();
    void CloseTimer_Timer();

private:
    explicit frmTelephoneCall(QWidget* owner);
    void Form_Load();

    QLabel* TelephonePic;
    QLabel* Label1;
    QLineEdit* txtNumber;
    QLabel* lblCalledIDStr;
    QLabel* lblStatus;
    QPushButton* cmdDial;
    QPushButton* cmdHangUp;
    QCheckBox* cbAutoClose;
    QTimer* CloseTimer;
};
