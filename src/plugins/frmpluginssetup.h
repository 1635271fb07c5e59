#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The plug-in setup dialog: plug-ins on or off, the server port and the list
// of admitted plug-ins. The enable box and the list buttons change the
// plug-in globals at once; Close checks the port and writes the settings.
// Modal, owned by the main window; one instance.
class frmPlugInsSetup : public QDialog {
    Q_OBJECT
public:
    // Loads the dialog and runs it modally until it is unloaded.
    static void showModal(QWidget* owner);
    // Loads the dialog without running it (tests drive it shown modeless).
    static frmPlugInsSetup* load(QWidget* owner);
    static frmPlugInsSetup* loadedInstance();

public slots:
    // Escape closes like the window box: nothing is saved.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    explicit frmPlugInsSetup(QWidget* owner);
    void Form_Load();
    void cbEnablePlugins_Click();
    void cmdClientAdd_Click();
    void cmdClientRemove_Click();
    void cmdClose_Click();
    void fillClientList();
    void unload();

    QGroupBox* fServer;
    QCheckBox* cbEnablePlugins;
    QLabel* Label6;
    QLineEdit* txtServerPort;
    QGroupBox* fClients;
    QTreeWidget* lvClientPlugIns;
    QLabel* Label1;
    QLineEdit* txtClientName;
    QLabel* Label2;
    QLineEdit* txtClientDescription;
    QLabel* Label3;
    QLineEdit* txtRemoteIP;
    QLabel* Label4;
    QLineEdit* txtRemotePort;
    QPushButton* cmdClientAdd;
    QPushButton* cmdClientRemove;
    QPushButton* cmdClose;
};
