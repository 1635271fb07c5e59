#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QLabel;
class QPushButton;

// Tip of the day: one usage tip at a time and the "show at start-up" choice,
// which is stored at once.
class frmTipOfTheDay : public QDialog {
    Q_OBJECT
public:
    explicit frmTipOfTheDay(QWidget* parent = nullptr);

    // Loads and shows the one window (modeless), reusing it while it is open.
    // A stored "showTipsAtStartup" that is not a number raises to the caller.
    static frmTipOfTheDay* showWindow(QWidget* owner);
    // The open window, if any.
    static frmTipOfTheDay* current();

    void Form_Load();

private:
    bool LoadTips(int startIndex, int stopIndex);
    void showNextTip();
    void DisplayCurrentTip();
    void chkLoadTipsAtStartup_Click();

    QStringList tipTexts;
    long currentTipIndex = 0;
    QLabel* lblTipText;
    QCheckBox* chkLoadTipsAtStartup;
    QPushButton* cmdNextTip;
    QPushButton* cmdOK;
};
