#pragma once

#include "addressbooks/bookdialog.h"
#include "addressbooks/records.h"

#include <memory>

// Properties of a Local book: name, caller-ID search, ring sound and
// interval, call prefix, and its ".lab" file, chosen or newly created.
// OK after setValues changes the given record itself.
class frmLocalAddressBook : public BookDialog {
    Q_OBJECT
public:
    // The one dialog, loaded on first use.
    static frmLocalAddressBook* instance();
    // The dialog when loaded, else nullptr.
    static frmLocalAddressBook* loadedInstance();

    // Empties the fields and forgets the book it held.
    void Clear();
    // Shows l's values and makes l the book that getValues writes into.
    void setValues(const std::shared_ptr<LocalAddressBook>& l);
    // Writes the fields into the held book (a new one when none) and answers it.
    std::shared_ptr<LocalAddressBook> getValues();

protected:
    void forgetInstance() override;

private:
    frmLocalAddressBook();
    void Form_Load();
    void cmdChooseFile_Click();
    void cmdNew_Click();

    std::shared_ptr<LocalAddressBook> currentBook;
    QLineEdit* txtFileName;
    QPushButton* cmdChooseFile;
    QPushButton* cmdNew;
};
