#pragma once

#include <QDialog>
#include <cstdint>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The contact search dialog: searches every Database and Local book by name,
// number or e-mail and puts the hits into the main window's contact list.
// Modeless, owned by the main window; one instance, unloaded by Close.
class frmSearch : public QDialog {
    Q_OBJECT
public:
    // Loads the dialog when needed and shows it.
    static void showWindow(QWidget* owner);
    static frmSearch* loadedInstance();

    // What the selected option buttons stand for in the search.
    std::int16_t fieldCode() const;
    std::int16_t modeCode() const;

public slots:
    // Escape closes like the Close button.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    explicit frmSearch(QWidget* owner);
    void Form_Load();
    void cmdSearch_Click();
    void cmdClose_Click();
    void unload();

    QLabel* Label1;
    QLineEdit* txtSearchStr;
    QGroupBox* Frame1;
    QRadioButton* rbSearchName;
    QRadioButton* rbSearchNumber;
    QRadioButton* rbSearchEmail;
    QGroupBox* Frame2;
    QRadioButton* rbSearchExact;
    QRadioButton* rbSearchPrefix;
    QRadioButton* rbSearchSuffix;
    QRadioButton* rbSearchContains;
    QPushButton* cmdSearch;
    QPushButton* cmdClose;
};
