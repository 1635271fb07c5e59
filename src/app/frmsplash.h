#pragma once

#include <QWidget>

class QLabel;

// The splash window shown while the program starts.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);
    void Form_Load();

    // "Tamrivo version 1.0", CR LF, then the product's tag line.
    static QString productLine();
    static QString legalNotice();

private:
    QLabel* m_logo;
    QLabel* m_product;
    QLabel* m_copyright;
};
