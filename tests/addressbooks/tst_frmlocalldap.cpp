// The LDAP and Local property dialogs: fields, the closeMode verdict, tabs,
// ring sound and interval, choosing and creating the book's file.
#include "addressbooks/dbfunctions.h"
#include "addressbooks/frmldapaddressbook.h"
#include "addressbooks/frmlocaladdressbook.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "dialogdriver.h"
#include "platform/filechooser.h"
#include "platform/prompter.h"
#include "platform/soundplayer.h"

#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QSlider>
#include <QTabBar>
#include <QTest>

using namespace dialogtest;

namespace {

std::shared_ptr<LocalAddressBook> sample() {
    auto b = std::make_shared<LocalAddressBook>();
    b->addressBookName = QStringLiteral("Friends");
    b->filename = QStringLiteral("/data/friends.lab");
    b->searchForCallerID = true;
    b->ringSound = QStringLiteral("/snd/ring.wav");
    b->ringSoundInterval = 7;
    b->callPrefix = QStringLiteral("0");
    return b;
}

QStringList fieldsOf(const LocalAddressBook& b) {
    QStringList out;
    out << b.addressBookName << b.filename << QString::number(b.searchForCallerID) << b.ringSound
        << QString::number(b.ringSoundInterval) << b.callPrefix;
    return out;
}

bool shown(QWidget* dialog, const QString& frame) {
    QWidget* f = dialog->findChild<QFrame*>(frame);
    return f && !f->isHidden();
}

} // namespace

class TstFrmLocalLdap : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;

    frmLocalAddressBook* local() { return frmLocalAddressBook::instance(); }
    QSlider* slider() { return local()->findChild<QSlider*>("sdRingInterval"); }
    QCheckBox* callerID() { return local()->findChild<QCheckBox*>("cbSearchForCallerID"); }

private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        setLanguage(Language::English);
        FileChooser::setScripted(true);
        FileChooser::reset();
        SoundPlayer::setRecording(true);
        SoundPlayer::clearPlayed();
    }
    void cleanup() {
        if (auto* d = frmLDAPAddressBook::loadedInstance())
            d->unload();
        if (auto* d = frmLocalAddressBook::loadedInstance())
            d->unload();
        settle();
        FileChooser::reset();
        env.reset();
    }

    void ldapFieldsAndNewRecordEachTime() {
        frmLDAPAddressBook* d = frmLDAPAddressBook::instance();
        // The password shows as typed.
        QCOMPARE(d->findChild<QLineEdit*>("txtPassword")->echoMode(), QLineEdit::Normal);
        auto l = std::make_shared<LDAPAddressBook>();
        *l = LDAPAddressBook{"Corp", "ldap.corp", "bob", "p;w", "dc=corp"};
        d->setValues(l);
        QCOMPARE(text(d, "txtServer"), QStringLiteral("ldap.corp"));
        QCOMPARE(text(d, "txtBase"), QStringLiteral("dc=corp"));
        auto a = d->getValues();
        auto b = d->getValues();
        QVERIFY(a != l && a != b);
        QCOMPARE(a->password, QStringLiteral("p;w"));
        d->Clear();
        for (const char* box :
             {"txtAddressBookName", "txtServer", "txtUserName", "txtPassword", "txtBase"})
            QCOMPARE(text(d, box), QString());
    }

    // The verdict of each way out; the window box unloads the dialog.
    void verdict_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("verdict");
        for (const QString dialog : {"frmLDAPAddressBook", "frmLocalAddressBook"})
            for (const auto& [how, verdict] : {std::pair{"OK", "OK"},
                                               {"Enter", "OK"},
                                               {"Cancel", "Cancel"},
                                               {"Escape", "Cancel"},
                                               {"box", "closeMode"}})
                QTest::addRow("%s %s", qPrintable(dialog), how)
                    << dialog << QString(how) << QString(verdict);
    }
    void verdict() {
        QFETCH(QString, dialog);
        QFETCH(QString, how);
        QFETCH(QString, verdict);
        BookDialog* d = dialog == "frmLDAPAddressBook"
                            ? static_cast<BookDialog*>(frmLDAPAddressBook::instance())
                            : static_cast<BookDialog*>(frmLocalAddressBook::instance());
        d->findChild<QLineEdit*>("txtAddressBookName")->setText("kept");
        auto ran = whenModal(dialog, [how](QWidget* w) { finish(w, how); });
        QWidget owner;
        QCOMPARE(d->showModal(&owner), verdict);
        QVERIFY(*ran);
        settle();
        const bool loaded = dialog == "frmLDAPAddressBook"
                                ? bool(frmLDAPAddressBook::loadedInstance())
                                : bool(frmLocalAddressBook::loadedInstance());
        QCOMPARE(loaded, how != "box");
        if (loaded) {
            // Only hidden: the fields stay, and the dialog outlives its owner.
            QVERIFY(d->isHidden());
            QVERIFY(d->parentWidget() == nullptr);
            QCOMPARE(text(d, "txtAddressBookName"), QStringLiteral("kept"));
        }
    }

    // One tab shown at a time; a reload after the window box starts on the first.
    void localTabs() {
        frmLocalAddressBook* d = local();
        auto* tabs = d->findChild<QTabBar*>("TabStrip1");
        QCOMPARE(d->findChild<QLabel*>("lblRingInterval")->text(), QStringLiteral("1 Secs"));
        QVERIFY(shown(d, "TabFrm_0"));
        QVERIFY(!shown(d, "TabFrm_1"));
        tabs->setCurrentIndex(1);
        QVERIFY(!shown(d, "TabFrm_0"));
        QVERIFY(shown(d, "TabFrm_1"));
        d->close();
        settle();
        QVERIFY(!frmLocalAddressBook::loadedInstance());
        QVERIFY(shown(local(), "TabFrm_0"));
        QVERIFY(!shown(local(), "TabFrm_1"));
    }

    void sliderLabelFollowsTheValue() {
        setLanguage(Language::Italian);
        slider()->setValue(9);
        QTest::keyClick(slider(), Qt::Key_PageUp);
        QCOMPARE(local()->findChild<QLabel*>("lblRingInterval")->text(), QStringLiteral("10 Sec"));
    }

    void localValuesWriteIntoTheGivenRecord() {
        frmLocalAddressBook* d = local();
        auto book = sample();
        d->setValues(book);
        // Unchanged fields come back as they were.
        QVERIFY(d->getValues() == book);
        QCOMPARE(fieldsOf(*book), fieldsOf(*sample()));

        setText(d, "txtCallPrefix", "9");
        callerID()->setChecked(false);
        slider()->setValue(15);
        d->getValues();
        QCOMPARE(book->callPrefix, QStringLiteral("9"));
        QCOMPARE(book->searchForCallerID, false);
        QCOMPARE(book->ringSoundInterval, std::int16_t(15));

        // setValues without a record changes nothing.
        d->setValues(nullptr);
        QCOMPARE(text(d, "txtCallPrefix"), QStringLiteral("9"));

        // Clear forgets the record: the next getValues makes a new one.
        d->Clear();
        auto fresh = d->getValues();
        QVERIFY(fresh != book);
        QCOMPARE(fieldsOf(*fresh), (QStringList{"", "", "0", "", "1", ""}));
        QCOMPARE(book->callPrefix, QStringLiteral("9"));
    }

    // Choose File, and a cancelled choice of either button.
    void chooseFile_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("chosen") << "cmdChooseFile" << QString("/books/work.lab")
                                << "/books/work.lab";
        QTest::newRow("cancel") << "cmdChooseFile" << QString("") << "before.lab";
        QTest::newRow("new, cancel") << "cmdNew" << QString("") << "before.lab";
    }
    void chooseFile() {
        QFETCH(QString, button);
        QFETCH(QString, answer);
        QFETCH(QString, expected);
        setText(local(), "txtFileName", "before.lab");
        FileChooser::pushAnswer(answer);
        click(local(), button);
        QCOMPARE(text(local(), "txtFileName"), expected);
        QCOMPARE(FileChooser::requests().size(), 1);
        const auto r = FileChooser::requests().first();
        QCOMPARE(r.mode, button == "cmdNew" ? FileChooser::Mode::Save : FileChooser::Mode::Open);
        QCOMPARE(r.filter, QStringLiteral("Local Address Book files (*.lab)|*.lab"));
        QCOMPARE(r.filterIndex, 1);
        QCOMPARE(r.title, QStringLiteral("Local Address Book files"));
        QVERIFY(Prompter::records().isEmpty());
    }

    // Create New: ".lab" appended unless the name ends in it exactly.
    void createNew_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("created");
        for (const auto& [chosen, created] : {std::pair{"home", "home.lab"},
                                              {"home.lab", "home.lab"},
                                              {"home.LAB", "home.LAB.lab"},
                                              {"home.db", "home.db.lab"}})
            QTest::newRow(chosen) << QString(chosen) << QString(created);
    }
    void createNew() {
        QFETCH(QString, chosen);
        QFETCH(QString, created);
        FileChooser::pushAnswer(env->file(chosen));
        click(local(), "cmdNew");
        QCOMPARE(text(local(), "txtFileName"), env->file(created));
        QVERIFY(Prompter::records().isEmpty());
        // A real Local book: it opens and holds the contacts table.
        executeLocalBook(env->file(created),
                         "INSERT INTO TAMRIVO (NAME, TELEPHONE) VALUES ('Ann', '555')");
        QCOMPARE(queryLocalBook(env->file(created), "SELECT ID, NAME FROM TAMRIVO").text("ID"),
                 QStringLiteral("1"));
        // The book record itself changes only on OK.
        auto book = sample();
        local()->setValues(book);
        FileChooser::pushAnswer(env->file("other"));
        click(local(), "cmdNew");
        QCOMPARE(book->filename, QStringLiteral("/data/friends.lab"));
    }

    // A failed Create New is reported and creates nothing.
    void createNewFailures() {
        const QString path = env->file("taken.lab");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("precious");
        f.close();
        FileChooser::pushAnswer(path);
        click(local(), "cmdNew");
        QCOMPARE(Prompter::records().size(), 1);
        const auto box = Prompter::records().first();
        QVERIFY(box.text.contains("already exists"));
        QCOMPARE(box.flags, int(Msg::OKOnly));
        QCOMPARE(text(local(), "txtFileName"), path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("precious"));
        FileChooser::pushAnswer(env->file("no/such/folder/book"));
        click(local(), "cmdNew");
        QCOMPARE(Prompter::records().size(), 2);
        QVERIFY(!Prompter::records().last().text.isEmpty());
        QCOMPARE(text(local(), "txtFileName"), env->file("no/such/folder/book.lab"));
        QVERIFY(!QFile::exists(env->file("no/such/folder/book.lab")));
    }

    void ringSound() {
        click(local(), "cmdTestSound");
        QCOMPARE(SoundPlayer::played(), QStringList());
        FileChooser::pushAnswer("/snd/bell.wav");
        click(local(), "cmdSelectRingSound");
        QCOMPARE(text(local(), "txtRingSound"), QStringLiteral("/snd/bell.wav"));
        const auto r = FileChooser::requests().value(0);
        QCOMPARE(r.filter, QStringLiteral("Wav files (*.wav)|*.wav"));
        QCOMPARE(r.mode, FileChooser::Mode::Open);
        click(local(), "cmdTestSound");
        QCOMPARE(SoundPlayer::played(), QStringList{"/snd/bell.wav"});
        click(local(), "cmdSelectRingSound"); // cancelled
        QCOMPARE(text(local(), "txtRingSound"), QStringLiteral("/snd/bell.wav"));
        SoundPlayer::setRecording(false);
        setText(local(), "txtRingSound", env->file("missing.wav"));
        click(local(), "cmdTestSound"); // silence, no error
        QVERIFY(Prompter::records().isEmpty());
    }
};

QTEST_MAIN(TstFrmLocalLdap)
#include "tst_frmlocalldap.moc"
