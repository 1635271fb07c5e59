#pragma once

#include "addressbooks/records.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The contact edit dialog. The caller fills it with setValues (or leaves it
// as it was), shows it modally, reads closeMode() and on "OK" takes the typed
// contact from getValues(). Save and Cancel only hide it, so its boxes keep
// their texts; the window's close box unloads it. The dialog checks nothing.
class frmContact : public QDialog {
    Q_OBJECT
public:
    // The one dialog, loaded on first access, owned by the main window.
    static frmContact* instance();
    static frmContact* loadedInstance();
    // Shows the dialog modally; returns once it is answered or closed.
    static void showModal();

    void setValues(const Contact& c);
    // On: each box takes no more than the Local book's column holds; off: no
    // limit (a Database book's own columns judge, and refuse with a message).
    void limitToLocalColumns(bool on);
    Contact getValues() const;
    // "OK", "Cancel", or "" for a fresh dialog.
    QString closeMode() const;

    void Form_Load();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void cmdSave_Click();
    void cmdCancel_Click();

private:
    explicit frmContact(QWidget* owner);
    void clipFreeText();

    QLineEdit* txtName;
    QLineEdit* txtTelephone;
    QLineEdit* txtEmail;
    QLineEdit* txtTelephone2;
    QLineEdit* txtTelephone3;
    QLineEdit* txtEmail2;
    QPlainTextEdit* txtFreeText;
    QLineEdit* txtContactID;
    QPushButton* cmdSave;
    QPushButton* cmdCancel;
    QLineEdit* m_closeMode;
    // The free text as given, so that an untouched box gives it back exactly
    // (the box itself turns CR LF into LF).
    QString m_freeText;
    int m_freeTextLimit = 0; // 0: no limit
    bool m_unloadRequested = false;
    bool m_inModal = false;
};
