// The search dialog driven through its named controls, over a real Local
// book file and a Database book on an SQLite ODBC data source.

#include "addressbooks/booktestutil.h"
#include "app/errorreport.h"
#include "app/strings.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/frmsearch.h"
#include "platform/prompter.h"

#include <QApplication>
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

void press(QWidget* w, const char* name) {
    QTest::mouseClick(child<QAbstractButton>(w, name), Qt::LeftButton);
}

void type(QWidget* w, const QString& text) {
    child<QLineEdit>(w, "txtSearchStr")->setText(text);
}

} // namespace

class TestSearchDialog : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;
    frmMain* form = nullptr;

    frmSearch* open() {
        frmSearch::showWindow(form);
        return frmSearch::loadedInstance();
    }

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

    void loadShowsTheFixedTexts() {
        frmSearch* s = open();
        QVERIFY(s && s->isVisible() && !s->isModal());
        QCOMPARE(s->parentWidget(), form);
        QCOMPARE(s->windowTitle(), QStringLiteral("Contact Search"));
        QVERIFY(child<QPushButton>(s, "cmdSearch")->isDefault());
        // Only the title follows the language.
        s->close();
        settle();
        setLanguage(Language::Italian);
        s = open();
        QCOMPARE(s->windowTitle(), QStringLiteral("Ricerca contatti"));
        QCOMPARE(child<QPushButton>(s, "cmdClose")->text(), QStringLiteral("Close"));
    }

    void closeAndReopenStartsAfresh() {
        const auto fresh = [](frmSearch* s) {
            return child<QRadioButton>(s, "rbSearchExact")->isChecked() &&
                   child<QRadioButton>(s, "rbSearchName")->isChecked() &&
                   child<QLineEdit>(s, "txtSearchStr")->text().isEmpty();
        };
        frmSearch* s = open();
        QVERIFY(fresh(s));
        type(s, QStringLiteral("abc"));
        press(s, "rbSearchSuffix");
        press(s, "rbSearchEmail");
        // A second request reuses the open dialog as the user left it.
        QCOMPARE(open(), s);
        QVERIFY(child<QRadioButton>(s, "rbSearchSuffix")->isChecked());
        QCOMPARE(child<QLineEdit>(s, "txtSearchStr")->text(), QStringLiteral("abc"));
        // Close, and Escape like it, end the dialog; the next one starts afresh.
        for (bool escape : {false, true}) {
            QPointer<frmSearch> old(s);
            if (escape)
                QTest::keyClick(s, Qt::Key_Escape);
            else
                press(s, "cmdClose");
            settle();
            QVERIFY(!old && !frmSearch::loadedInstance());
            s = open();
            QVERIFY(fresh(s));
        }
    }

    void emptyTextIsRefused() {
        addLocalBook(*env, "a.lab", {{"Anna", "1", {}, {}, {}}});
        frmSearch* s = open();
        Trace trace;
        press(s, "cmdSearch");
        QCOMPARE(Prompter::records().size(), 1);
        const auto& box = Prompter::records()[0];
        QCOMPARE(box.text + u'/' + box.title + u'/' + QString::number(box.flags),
                 QStringLiteral("Enter search string/Tamrivo/%1").arg(int(Msg::OKOnly)));
        QCOMPARE(trace.opened, QStringList());
        QVERIFY(s->isVisible());
    }

    void enterOnCloseCloses() {
        addLocalBook(*env, "a.lab", {{"Anna", "0221", {}, {}, {}}});
        frmSearch* s = open();
        type(s, QStringLiteral("Anna"));
        // Enter on the focused Close button closes; it does not search.
        QPointer<frmSearch> old(s);
        Trace trace;
        QTest::keyClick(child<QPushButton>(s, "cmdClose"), Qt::Key_Return);
        settle();
        QVERIFY(!old && !frmSearch::loadedInstance());
        QCOMPARE(trace.opened, QStringList());
        QCOMPARE(listed(form), QStringList());
    }

    void choicesGiveFieldAndMode_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("where");
        const auto row = [](const char* tag, const char* field, const char* mode, const char* text,
                            const char* where) {
            QTest::newRow(tag) << field << mode << text << where;
        };
        row("name, exact (as loaded)", "", "", "O'Hara", "NAME ='O''Hara'");
        row("number, suffix", "rbSearchNumber", "rbSearchSuffix", "123",
            "TELEPHONE LIKE '%123' OR TELEPHONE2 LIKE '%123' OR TELEPHONE3 LIKE '%123'");
        row("e-mail, prefix", "rbSearchEmail", "rbSearchPrefix", "an",
            "EMAIL LIKE 'an%' OR EMAIL2 LIKE 'an%'");
        row("name, contains, blanks kept", "rbSearchName", "rbSearchContains", " a ",
            "NAME LIKE '% a %'");
    }

    void choicesGiveFieldAndMode() {
        QFETCH(QString, field);
        QFETCH(QString, mode);
        QFETCH(QString, text);
        QFETCH(QString, where);
        addLocalBook(*env, "a.lab", {});
        frmSearch* s = open();
        for (const QString& name : {field, mode}) {
            if (!name.isEmpty())
                press(s, qPrintable(name));
        }
        type(s, text);
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

    void hitsFromEveryBookFillTheList() {
        addLocalBook(*env, "a.lab",
                     {{"Anna", "0221", "333", {}, "anna@x"}, {"Bob", "9", {}, {}, {}}});
        addDatabaseBook(*env, "crm", {{"Carla", "555", {}, "06", "c@x"}});
        addLocalBook(*env, "b.lab", {{"Dana", "7", {}, {}, {}}});
        frmSearch* s = open();
        type(s, QStringLiteral("a"));
        press(s, "rbSearchContains");
        press(s, "cmdSearch");
        QCOMPARE(listed(form),
                 (QStringList{"0|D|0 Carla 555|c@x||06|||1", "0|O|0 Anna 0221|anna@x|333||||1",
                              "0|O|1 Dana 7||||||1"}));
        QVERIFY(s->isVisible());
        // Searching again replaces the rows.
        type(s, QStringLiteral("Bob"));
        press(s, "rbSearchExact");
        press(s, "cmdSearch");
        QCOMPARE(listed(form), QStringList{"0|O|0 Bob 9||||||2"});
    }

    void listKeptWhenNothingFoundOrABookFails_data() {
        QTest::addColumn<bool>("failing");
        QTest::newRow("nothing found") << false;
        QTest::newRow("a book's file is gone") << true;
    }

    void listKeptWhenNothingFoundOrABookFails() {
        QFETCH(bool, failing);
        gExtendedErrors = true;
        addLocalBook(*env, "a.lab", {{"Anna", "0221", {}, {}, {}}});
        frmSearch* s = open();
        type(s, QStringLiteral("Anna"));
        press(s, "cmdSearch");
        const QStringList before = listed(form);
        QCOMPARE(before.size(), 1);
        if (failing) {
            // One failing book fails the whole search.
            addLocalBook(*env, "b.lab", {{"Anna", "1", {}, {}, {}}});
            QVERIFY(QFile::remove(env->file("b.lab")));
        } else {
            type(s, QStringLiteral("Nobody"));
        }
        press(s, "cmdSearch");
        QCOMPARE(listed(form), before);
        QVERIFY(s->isVisible());
        QVERIFY(Prompter::records().isEmpty());
        QFile log(errorLogPath());
        QCOMPARE(log.open(QIODevice::ReadOnly) && log.readAll().contains("dontknow"), failing);
    }
};

QTEST_MAIN(TestSearchDialog)
#include "tst_searchdialog.moc"
