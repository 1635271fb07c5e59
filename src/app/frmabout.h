#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About box: product line, legal notice, disclaimer and a button that
// starts the desktop's system information tool. Shown modally; Ok and the
// close box unload it.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    // Loads and shows the one window modally; returns when it is closed.
    static void showModal(QWidget* owner);
    // The open window, if any.
    static frmAbout* current();

    explicit frmAbout(QWidget* parent = nullptr);
    void Form_Load();

private:
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();

    QLabel* m_logo;
    QLabel* lblProduct;
    QLabel* lblCopyright;
    QLabel* lblDisclaimer;
    QPushButton* cmdSysInfo;
    QPushButton* cmdOK;
};
