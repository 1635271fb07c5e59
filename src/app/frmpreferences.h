#pragma once

#include "app/settingsrecords.h"

#include <QDialog>
#include <cstdint>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabBar;
class QWidget;

// The Preferences dialog: three tabs over the fields of the preferences. It
// is filled from gPreferences when it is first loaded and then stays loaded,
// hidden between openings, so a later opening shows the controls as the user
// left them. Its verdict is the text of the hidden "closeMode" box; the
// caller builds the new record with getValues(). Only its "Use TAPI" box acts
// at once: it starts or stops the telephony object.
class frmPreferences : public QDialog {
    Q_OBJECT
public:
    // The loaded dialog, loading it (hidden, filled from gPreferences) when
    // there is none.
    static frmPreferences* instance(QWidget* owner);
    // The loaded dialog, if any.
    static frmPreferences* current();
    // Shows the dialog modally (loading it first when needed) and returns
    // when it is hidden or unloaded.
    static void showModal(QWidget* owner);

    // "OK" after Ok, "Cancel" after Cancel.
    QString closeMode() const;
    // A new record built from the controls.
    std::shared_ptr<Preferences> getValues() const;
    // Fills the device list with the audio addresses of the telephony object.
    void fillTAPIDevices();

    int currentTab() const { return m_currentTab; }

protected:
    // The window's close box unloads the dialog (Escape is Cancel).
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    explicit frmPreferences(QWidget* parent);
    void Form_Load();

    void cbUseTAPI_Click();
    void cbUseLastDialAB_Click();
    void cmdChoseDefaultSound_Click();
    void cmdTestSound_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void TabStrip1_Click();
    void showRingTimerInterval();
    void setPrefixesEnabled(bool on);

    QTabBar* TabStrip1;
    QWidget* TabFrm[3];
    QCheckBox* cbStartMinimized;
    QRadioButton* rbOnCloseClose;
    QRadioButton* rbOnCloseHide;
    QRadioButton* rbOnCloseAsk;
    QCheckBox* cbUseLastDialAB;
    QLineEdit* defaultPrefix[3];
    QCheckBox* cbUseTAPI;
    QComboBox* cbTAPIDevice;
    QGroupBox* fMultipleCall;
    QRadioButton* rbMCIgnore;
    QRadioButton* rbMCAlert;
    QCheckBox* cbAutoClose;
    QCheckBox* cbShowRingWindow;
    QCheckBox* cbPlaySound;
    QCheckBox* cbShowTooltip;
    QLineEdit* txtDefaultSound;
    QPushButton* cmdChoseDefaultSound;
    QPushButton* cmdTestSound;
    QSlider* slRingTimerInterval;
    QLabel* lblRingTimerInterval;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QLineEdit* m_closeMode;

    std::int16_t m_currentTab = 0;
};
