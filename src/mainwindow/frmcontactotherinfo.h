#pragma once

#include "addressbooks/records.h"

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The contact card: the eight fields of one contact, read-only, with a Call
// button beside each telephone and a Send button beside each e-mail address.
// Modeless, owned by the main window; one card, refilled by each Other info;
// Close unloads it.
class frmContactOtherInfo : public QDialog {
    Q_OBJECT
public:
    // The one card, loaded on first access.
    static frmContactOtherInfo* instance();
    static frmContactOtherInfo* loadedInstance();

    // The book of the shown contact; dialling puts its call prefix in front.
    QString abTag;

    // Empties the eight boxes and abTag.
    void Clear();
    // The eight boxes from a contact.
    void setBoxes(const Contact& c);
    // The boxes can be read and copied, not changed.
    void lockValues();
    // Shows the card modeless (and brings it to the front when shown).
    void showWindow();
    void unload();

    void Form_Load();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* e) override;

private slots:
    void cmdCall_Click();
    void cmdCall2_Click();
    void cmdCall3_Click();
    void cmdEmail_Click();
    void cmdEmail2_Click();
    void cmdClose_Click();

private:
    explicit frmContactOtherInfo(QWidget* owner);
    void Form_Activate();
    void callNumberOf(QLineEdit* box);
    void sendTo(QLineEdit* box);
    void loadCallPrefix();

    QLineEdit* txtName;
    QLineEdit* txtTelephone;
    QLineEdit* txtEmail;
    QLineEdit* txtTelephone2;
    QLineEdit* txtTelephone3;
    QLineEdit* txtEmail2;
    QPlainTextEdit* txtFreeText;
    QLineEdit* txtContactID;
    QPushButton* cmdCall;
    QPushButton* cmdEmail;
    QPushButton* cmdCall2;
    QPushButton* cmdCall3;
    QPushButton* cmdEmail2;
    QPushButton* cmdClose;

    QString callPrefix;
};
