// The contact edit dialog and the contact card, driven through their named
// controls; the card's Call buttons dial on the simulated line.

#include "../telephony/callfixture.h"
#include "app/strings.h"
#include "contexttestutil.h"
#include "mainwindow/frmcontact.h"
#include "mainwindow/frmcontactotherinfo.h"
#include "platform/shell.h"

#include <QLabel>
#include <QtTest>

using ctxtest::contactOf;
using ctxtest::DialogDriver;
using ctxtest::fields;

namespace {

const Contact kFull{"Ann O'Neil", "555 12",         "ann@example.org",      "+39 333",
                    "02-7",       "a2@example.org", "line one\r\nline two", "42"};

// Fills and shows the card as the Other info command does.
frmContactOtherInfo* showCard(const Contact& c, const QString& tag) {
    frmContactOtherInfo* card = frmContactOtherInfo::instance();
    card->Clear();
    card->abTag = tag;
    card->setBoxes(c);
    card->lockValues();
    card->showWindow();
    return card;
}

} // namespace

class TestFrmContact : public QObject {
    Q_OBJECT
    std::unique_ptr<CallFixture> f;

    void start(bool telephony = false) {
        f = std::make_unique<CallFixture>();
        if (telephony)
            f->start();
        else
            f->createForm();
        gLocalBooks = {std::make_shared<LocalAddressBook>()};
        gLocalBooks[0]->callPrefix = "0";
        noLocalBooks = false;
        gDBBooks = {std::make_shared<DatabaseAddressBook>()};
        gDBBooks[0]->Clear();
        gDBBooks[0]->callPrefix = "99 ";
        noDBBooks = false;
    }

private slots:
    void cleanup() {
        f.reset();
        settle();
    }

    void dialogControls() {
        start();
        frmContact* d = frmContact::instance();
        QCOMPARE(d->parentWidget(), f->form());
        QCOMPARE(d->windowTitle(), loadResString(15010));
        QCOMPARE(child<QLabel>(d, "Label8")->text(), "Contact ID :");
        QVERIFY(child<QPushButton>(d, "cmdSave")->isDefault());
        QVERIFY(!child<QLineEdit>(d, "txtContactID")->isEnabled());
        QVERIFY(child<QLineEdit>(d, "closeMode")->isHidden());
    }

    void roundTrip_data() {
        QTest::addColumn<QStringList>("values");
        QTest::newRow("every field") << fields(kFull);
        QTest::newRow("all empty") << QStringList(8, QString());
        QTest::newRow("blanks kept") << QStringList{" ", " 1 ", {}, {}, {}, {}, "  ", {}};
        QTest::newRow("longer than a line edit")
            << QStringList{QString(40000, u'x'), {}, {}, {}, {}, {}, {}, "7"};
    }
    // Save without changes gives back the contact it was given, id included;
    // shown again, the boxes kept their texts.
    void roundTrip() {
        QFETCH(QStringList, values);
        start();
        frmContact::instance()->setValues(contactOf(values));
        DialogDriver driver;
        driver.push(DialogDriver::save());
        frmContact::showModal();
        QCOMPARE(driver.shown(), 1);
        QCOMPARE(frmContact::instance()->closeMode(), "OK");
        QVERIFY(!frmContact::instance()->isVisible());
        QCOMPARE(fields(frmContact::instance()->getValues()), values);
        frmContact::showModal();
        QCOMPARE(frmContact::instance()->closeMode(), "Cancel");
        QCOMPARE(fields(frmContact::instance()->getValues()), values);
    }

    void typedFreeTextKeepsItsLineEnds_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("after");
        QTest::newRow("CR LF") << "line one\r\nline two"
                               << "line one\r\nline two!";
        QTest::newRow("LF") << "a\nb"
                            << "a\nb!";
    }
    void typedFreeTextKeepsItsLineEnds() {
        QFETCH(QString, text);
        QFETCH(QString, after);
        start();
        frmContact* d = frmContact::instance();
        d->setValues(Contact{"Ann", {}, {}, {}, {}, {}, text, {}});
        auto* box = child<QPlainTextEdit>(d, "txtFreeText");
        box->moveCursor(QTextCursor::End);
        QTest::keyClicks(box, "!");
        QCOMPARE(d->getValues().freetext, after);
    }

    void tabOrderStartsOnSave() {
        start();
        QStringList order;
        DialogDriver driver;
        driver.push([&order](frmContact* d) {
            // Under load the dialog may not be active yet, with no focus.
            QVERIFY(QTest::qWaitForWindowActive(d));
            for (int i = 0; i < 10 && QApplication::focusWidget(); ++i) {
                order << QApplication::focusWidget()->objectName();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            QTest::keyClick(d, Qt::Key_Escape);
        });
        frmContact::showModal();
        QCOMPARE(order, (QStringList{"cmdSave", "cmdCancel", "txtName", "txtTelephone", "txtEmail",
                                     "txtTelephone2", "txtTelephone3", "txtEmail2", "txtFreeText",
                                     "cmdSave"}));
        QCOMPARE(frmContact::instance()->closeMode(), "Cancel");
    }

    // The window box unloads the dialog: the caller's next look finds a
    // fresh one with an empty verdict and empty boxes.
    void closeBoxUnloads() {
        start();
        frmContact::instance()->setValues(kFull);
        QPointer<frmContact> first = frmContact::instance();
        DialogDriver driver;
        driver.push(DialogDriver::dismiss("close"));
        frmContact::showModal();
        settle();
        QVERIFY(!first);
        QCOMPARE(frmContact::instance()->closeMode(), QString());
        QCOMPARE(fields(frmContact::instance()->getValues()), QStringList(8, QString()));
    }

    void cardButtonsFollowTheirBoxes_data() {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("name and telephone") << QStringList{"Ann", "555"} << "cmdCall";
        QTest::newRow("everything")
            << fields(kFull) << "cmdCall cmdEmail cmdCall2 cmdCall3 cmdEmail2";
        QTest::newRow("second and third only")
            << QStringList{"Ann", "", "", "1", "2", "x@y"} << "cmdCall2 cmdCall3 cmdEmail2";
        QTest::newRow("a blank counts") << QStringList{"Ann", "", " "} << "cmdEmail";
    }
    void cardButtonsFollowTheirBoxes() {
        QFETCH(QStringList, values);
        QFETCH(QString, enabled);
        start();
        // A card of a contact with everything first, so stale states would show.
        showCard(kFull, "1|O|0");
        frmContactOtherInfo* card = showCard(contactOf(values), "1|O|0");
        QCOMPARE(card->windowTitle(), loadResString(15008));
        QStringList on;
        for (const char* b : {"cmdCall", "cmdEmail", "cmdCall2", "cmdCall3", "cmdEmail2"})
            if (child<QPushButton>(card, b)->isEnabled())
                on << QLatin1String(b);
        QCOMPARE(on.join(u' '), enabled);
        // The free-text box shows line ends as plain line breaks.
        QStringList shown = fields(contactOf(values));
        shown[6].replace("\r\n", "\n");
        QCOMPARE(ctxtest::boxTexts(card), shown);
        QVERIFY(child<QPushButton>(card, "cmdClose")->isEnabled());
        QVERIFY(child<QLineEdit>(card, "txtTelephone")->isReadOnly());
        QVERIFY(child<QPlainTextEdit>(card, "txtFreeText")->isReadOnly());
    }

    void cardCallDialsWithTheBookPrefix_data() {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("dialled");
        const char* rows[][4] = {{"Local, prefix 0", "1|O|0", "cmdCall", "0555 12"},
                                 {"Local, telephone 2", "1|O|0", "cmdCall2", "0+39 333"},
                                 {"Database, telephone 3", "2|D|0", "cmdCall3", "99 02-7"},
                                 {"recent entry, unchanged", "1|R|0", "cmdCall", "555 12"},
                                 {"LDAP, no prefix", "1|L|0", "cmdCall", "555 12"},
                                 {"book gone, no prefix", "1|O|5", "cmdCall", "555 12"},
                                 {"no book", "", "cmdCall", "555 12"}};
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]) << QString(r[3]);
    }
    void cardCallDialsWithTheBookPrefix() {
        QFETCH(QString, tag);
        QFETCH(QString, button);
        QFETCH(QString, dialled);
        start(true);
        frmContactOtherInfo* card = showCard(kFull, tag);
        click(card, button.toLatin1().constData());
        QCOMPARE(SimLine::instance().dialled(), dialled);
        QVERIFY(gCall);
        frmTelephoneCall* call = frmTelephoneCall::loadedInstance();
        QVERIFY(call && call->isVisible());
        QCOMPARE(call->number(), dialled);
        QCOMPARE(child<QLabel>(call, "lblCalledIDStr")->text(), kFull.name);
        QCOMPARE(gCallRecord.callNumber, dialled);
        QCOMPARE(gCallRecord.callName, kFull.name);
        QCOMPARE(gCallRecord.callMatchTag, tag);
        QVERIFY(card->isVisible());
        QVERIFY(Prompter::records().isEmpty());
    }

    // A recent-call entry after a Local contact: no prefix left over.
    void cardCallAfterAPrefixedCall() {
        start(true);
        click(showCard(kFull, "1|O|0"), "cmdCall");
        QCOMPARE(SimLine::instance().dialled(), "0555 12");
        f->step("hangup");
        QVERIFY(!gCall);
        Contact logged = kFull;
        logged.telephone = "0555 12";
        click(showCard(logged, "1|R|0"), "cmdCall");
        QCOMPARE(SimLine::instance().dialled(), "0555 12");
        QCOMPARE(gCallRecord.callMatchTag, "1|R|0");
    }

    void cardCallRefusals_data() {
        QTest::addColumn<bool>("ringing");
        QTest::newRow("no address") << false;
        QTest::newRow("a call is ringing") << true;
    }
    void cardCallRefusals() {
        QFETCH(bool, ringing);
        start(true);
        if (ringing)
            f->step("offer:5");
        else
            gAddress.reset();
        const auto before = gCall;
        const QString number = gCallRecord.callNumber;
        Prompter::reset();
        click(showCard(kFull, "1|O|0"), "cmdCall");
        QCOMPARE(Prompter::records().size(), 1);
        const Prompter::Record r = Prompter::records().first();
        QCOMPARE(r.text, loadResString(ringing ? 16016 : 16006));
        QCOMPARE(r.title, loadResString(ringing ? 16017 : 16007));
        QCOMPARE(int(r.flags), ringing ? 64 : 16);
        QCOMPARE(SimLine::instance().dialled(), QString());
        QCOMPARE(gCall, before);
        QCOMPARE(gCallRecord.callNumber, number);
        QVERIFY(!frmTelephoneCall::isShown());
    }

    // Both addresses are sent as they stand, blanks included.
    void cardSend() {
        start();
        Contact c = kFull;
        c.email = " ann @example.org ";
        frmContactOtherInfo* card = showCard(c, "1|R|0");
        click(card, "cmdEmail");
        click(card, "cmdEmail2");
        QCOMPARE(Shell::opened(), (QList<QUrl>{Shell::mailto(c.email), Shell::mailto(c.email2)}));
        QCOMPARE(Shell::opened().first().path(QUrl::FullyDecoded), c.email);
    }

    // Close and Escape unload the card; the next Other info loads a fresh one.
    void cardClose() {
        start();
        for (bool escape : {false, true}) {
            QPointer<frmContactOtherInfo> card = showCard(kFull, "1|O|0");
            if (escape)
                QTest::keyClick(card, Qt::Key_Escape);
            else
                click(card, "cmdClose");
            settle();
            QVERIFY(!card);
        }
        frmContactOtherInfo* fresh = frmContactOtherInfo::instance();
        QCOMPARE(ctxtest::boxTexts(fresh), QStringList(8, QString()));
        QCOMPARE(fresh->abTag, QString());
    }
};

QTEST_MAIN(TestFrmContact)
#include "tst_frmcontact.moc"
