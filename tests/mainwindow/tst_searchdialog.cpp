// The search dialog driven through its named controls, over a real Local
// book file and a Database book on an SQLite ODBC data source.

#include "addressbooks/booktestutil.h"
#include "app/errorreport.h"
#include "app/strings.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/frmsearch.h"
#include "platform/prompter.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

using namespace booktest;

namespace {

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

template <typename T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c)
        qWarning("no control %s", name);
    return c;
}

// The contact list as "tag name tel|email|tel2|tel3|email2|free|id" rows.
QStringList listed(frmMain* form) {
    QStringList out;
    auto* list = form->findChild<QTreeWidget*>(QStringLiteral("lvContactList"));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        QStringList cells;
        for (int c = 1; c < 8; ++c)
            cells.append(row->text(c));
        out.append(row->data(0, Qt::UserRole).toString() + u' ' + row->text(0) + u' ' +
                   cells.join(u'|'));
    }
    return out;
}

// The contact queries sent to the books, without the file checks.
QStringList queries(const Trace& t) {
    QStringList out;
    for (const QString& s : t.sent) {
        if (!s.contains(QLatin1String("sqlite_master")))
            out.append(s);
    }
    return out;
}

} // namespace

class TestSearchDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        env = std::make_unique<TestEnv>();
        Prompter::setMode(Prompter::Mode::Scripted);
        form = new frmMain;
        gMainForm = form;
    }
    void cleanup() {
        if (frmSearch* s = frmSearch::loadedInstance())
            s->close();
        delete form;
        settle();
        setLanguage(Language::English);
        env.reset();
    }

    void loadShowsTheFixedTexts();
    void closeAndReopenStartsAfresh();
    void emptyTextIsRefused();
    void enterOnCloseCloses();
    void choicesGiveFieldAndMode_data();
    void choicesGiveFieldAndMode();
    void hitsFromEveryBookFillTheList();
    void nothingFoundKeepsTheList();
    void failingBookKeepsTheList();

private:
    frmSearch* open() {
        frmSearch::showWindow(form);
        return frmSearch::loadedInstance();
    }

    std::unique_ptr<TestEnv> env;
    frmMain* form = nullptr;
};

void TestSearchDialog::loadShowsTheFixedTexts() {
    frmSearch* s = open();
    QVERIFY(s && s->isVisible());
    QCOMPARE(s->parentWidget(), form);
    QVERIFY(!s->isModal());
    QCOMPARE(s->windowTitle(), QStringLiteral("Contact Search"));
    QCOMPARE(child<QLabel>(s, "Label1")->text(), QStringLiteral("Search :"));
    QCOMPARE(child<QGroupBox>(s, "Frame1")->title(), QStringLiteral("Search What "));
    QCOMPARE(child<QGroupBox>(s, "Frame2")->title(), QStringLiteral("Search Mode "));
    QCOMPARE(child<QRadioButton>(s, "rbSearchContains")->text(), QStringLiteral("Contains Match"));
    QCOMPARE(child<QPushButton>(s, "cmdSearch")->text(), QStringLiteral("Search"));
    QVERIFY(child<QPushButton>(s, "cmdSearch")->isDefault());
    QCOMPARE(child<QPushButton>(s, "cmdClose")->text(), QStringLiteral("Close"));
    // Only the title follows the language.
    s->close();
    settle();
    setLanguage(Language::Italian);
    s = open();
    QCOMPARE(s->windowTitle(), QStringLiteral("Ricerca contatti"));
    QCOMPARE(child<QRadioButton>(s, "rbSearchName")->text(), QStringLiteral("Name"));
    QCOMPARE(child<QPushButton>(s, "cmdClose")->text(), QStringLiteral("Close"));
}

void TestSearchDialog::closeAndReopenStartsAfresh() {
    frmSearch* s = open();
    QVERIFY(child<QRadioButton>(s, "rbSearchExact")->isChecked());
    QVERIFY(child<QRadioButton>(s, "rbSearchName")->isChecked());
    QCOMPARE(child<QLineEdit>(s, "txtSearchStr")->text(), QString());
    child<QLineEdit>(s, "txtSearchStr")->setText(QStringLiteral("abc"));
    QTest::mouseClick(child<QRadioButton>(s, "rbSearchSuffix"), Qt::LeftButton);
    QTest::mouseClick(child<QRadioButton>(s, "rbSearchEmail"), Qt::LeftButton);
    // A second request reuses the open dialog as the user left it.
    QCOMPARE(open(), s);
    QVERIFY(child<QRadioButton>(s, "rbSearchSuffix")->isChecked());
    QCOMPARE(child<QLineEdit>(s, "txtSearchStr")->text(), QStringLiteral("abc"));

    QPointer<frmSearch> old(s);
    QTest::mouseClick(child<QPushButton>(s, "cmdClose"), Qt::LeftButton);
    settle();
    QVERIFY(!old && !frmSearch::loadedInstance());
    s = open();
    QVERIFY(child<QRadioButton>(s, "rbSearchExact")->isChecked());
    QVERIFY(child<QRadioButton>(s, "rbSearchName")->isChecked());
    QCOMPARE(child<QLineEdit>(s, "txtSearchStr")->text(), QString());
    // Escape closes like Close.
    old = s;
    QTest::keyClick(s, Qt::Key_Escape);
    settle();
    QVERIFY(!old && !frmSearch::loadedInstance());
}

void TestSearchDialog::emptyTextIsRefused() {
    addLocalBook(*env, "a.lab", {{"Anna", "1", {}, {}, {}}});
    frmSearch* s = open();
    Trace trace;
    QTest::mouseClick(child<QPushButton>(s, "cmdSearch"), Qt::LeftButton);
    QCOMPARE(Prompter::records().size(), 1);
    QCOMPARE(Prompter::records()[0].text, QStringLiteral("Enter search string"));
    QCOMPARE(Prompter::records()[0].title, QStringLiteral("Tamrivo"));
    QCOMPARE(Prompter::records()[0].flags, int(Msg::OKOnly));
    QCOMPARE(trace.opened, QStringList());
    QVERIFY(s->isVisible());
}

void TestSearchDialog::enterOnCloseCloses() {
    addLocalBook(*env, "a.lab", {{"Anna", "0221", {}, {}, {}}});
    frmSearch* s = open();
    child<QLineEdit>(s, "txtSearchStr")->setText(QStringLiteral("Anna"));
    // Enter on the focused Close button closes; it does not search.
    QPointer<frmSearch> old(s);
    Trace trace;
    QTest::keyClick(child<QPushButton>(s, "cmdClose"), Qt::Key_Return);
    settle();
    QVERIFY(!old && !frmSearch::loadedInstance());
    QCOMPARE(trace.opened, QStringList());
    QCOMPARE(listed(form), QStringList());
}

void TestSearchDialog::choicesGiveFieldAndMode_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("where");
    QTest::newRow("name, exact (as loaded)") << ""
                                             << ""
                                             << "O'Hara"
                                             << "NAME ='O''Hara'";
    QTest::newRow("number, suffix")
        << "rbSearchNumber"
        << "rbSearchSuffix"
        << "123"
        << "TELEPHONE LIKE '%123' OR TELEPHONE2 LIKE '%123' OR TELEPHONE3 LIKE '%123'";
    QTest::newRow("e-mail, prefix") << "rbSearchEmail"
                                    << "rbSearchPrefix"
                                    << "an"
                                    << "EMAIL LIKE 'an%' OR EMAIL2 LIKE 'an%'";
    QTest::newRow("name, contains, blanks kept") << "rbSearchName"
                                                 << "rbSearchContains"
                                                 << " a "
                                                 << "NAME LIKE '% a %'";
}

void TestSearchDialog::choicesGiveFieldAndMode() {
    QFETCH(QString, field);
    QFETCH(QString, mode);
    QFETCH(QString, text);
    QFETCH(QString, where);
    addLocalBook(*env, "a.lab", {});
    frmSearch* s = open();
    for (const QString& name : {field, mode}) {
        if (!name.isEmpty())
            QTest::mouseClick(child<QRadioButton>(s, qPrintable(name)), Qt::LeftButton);
    }
    child<QLineEdit>(s, "txtSearchStr")->setText(text);
    Trace trace;
    // Enter runs the default button.
    QTest::keyClick(child<QLineEdit>(s, "txtSearchStr"), Qt::Key_Return);
    QCOMPARE(queries(trace), QStringList{QStringLiteral("SELECT NAME,TELEPHONE,TELEPHONE2,"
                                                        "TELEPHONE3,EMAIL,EMAIL2,FREETEXT,ID "
                                                        "FROM TAMRIVO WHERE ") +
                                         where});
    QVERIFY(Prompter::records().isEmpty());
    QVERIFY(s->isVisible());
}

void TestSearchDialog::hitsFromEveryBookFillTheList() {
    addLocalBook(*env, "a.lab", {{"Anna", "0221", "333", {}, "anna@x"}, {"Bob", "9", {}, {}, {}}});
    addDatabaseBook(*env, "crm", {{"Carla", "555", {}, "06", "c@x"}});
    addLocalBook(*env, "b.lab", {{"Dana", "7", {}, {}, {}}});
    frmSearch* s = open();
    child<QLineEdit>(s, "txtSearchStr")->setText(QStringLiteral("a"));
    QTest::mouseClick(child<QRadioButton>(s, "rbSearchContains"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(s, "cmdSearch"), Qt::LeftButton);
    QCOMPARE(listed(form), (QStringList{"0|D|0 Carla 555|c@x||06|||1",
                                        "0|O|0 Anna 0221|anna@x|333||||1", "0|O|1 Dana 7||||||1"}));
    QVERIFY(s->isVisible());
    // Searching again replaces the rows.
    child<QLineEdit>(s, "txtSearchStr")->setText(QStringLiteral("Bob"));
    QTest::mouseClick(child<QRadioButton>(s, "rbSearchExact"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(s, "cmdSearch"), Qt::LeftButton);
    QCOMPARE(listed(form), QStringList{"0|O|0 Bob 9||||||2"});
}

void TestSearchDialog::nothingFoundKeepsTheList() {
    addLocalBook(*env, "a.lab", {{"Anna", "0221", {}, {}, {}}});
    frmSearch* s = open();
    child<QLineEdit>(s, "txtSearchStr")->setText(QStringLiteral("Anna"));
    QTest::mouseClick(child<QPushButton>(s, "cmdSearch"), Qt::LeftButton);
    const QStringList before = listed(form);
    QCOMPARE(before.size(), 1);
    child<QLineEdit>(s, "txtSearchStr")->setText(QStringLiteral("Nobody"));
    QTest::mouseClick(child<QPushButton>(s, "cmdSearch"), Qt::LeftButton);
    QCOMPARE(listed(form), before);
    QVERIFY(Prompter::records().isEmpty());
}

void TestSearchDialog::failingBookKeepsTheList() {
    gExtendedErrors = true;
    addLocalBook(*env, "a.lab", {{"Anna", "0221", {}, {}, {}}});
    frmSearch* s = open();
    child<QLineEdit>(s, "txtSearchStr")->setText(QStringLiteral("Anna"));
    QTest::mouseClick(child<QPushButton>(s, "cmdSearch"), Qt::LeftButton);
    const QStringList before = listed(form);
    // A second book whose file is gone fails the whole search.
    addLocalBook(*env, "b.lab", {{"Anna", "1", {}, {}, {}}});
    QVERIFY(QFile::remove(env->file("b.lab")));
    QTest::mouseClick(child<QPushButton>(s, "cmdSearch"), Qt::LeftButton);
    QCOMPARE(listed(form), before);
    QVERIFY(s->isVisible());
    QFile log(errorLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("dontknow"));
}

QTEST_MAIN(TestSearchDialog)
#include "tst_searchdialog.moc"
