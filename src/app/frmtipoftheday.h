#pragma once

#include <QDialog>
#include <QList>
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
    // Appends the tips with string ids 20000 + startIndex to 20000 +
    // stopIndex (missing ones are skipped), draws the start and shows the
    // tip after it. True when at least one tip was found.
    bool LoadTips(int startIndex, int stopIndex);
    // Shows the tip at currentTipIndex.
    void DisplayCurrentTip();

    // Tests: the next draws of the random generator, each in [0, 1); an
    // empty list goes back to the generator.
    static void setRandomDraws(const QList<double>& draws);

private:
    void showNextTip();
    void chkLoadTipsAtStartup_Click();

    QStringList tipTexts;
    long currentTipIndex = 0;
    QLabel* lblTipText;
    QCheckBox* chkLoadTipsAtStartup;
    QPushButton* cmdNextTip;
    QPushButton* cmdOK;
};
