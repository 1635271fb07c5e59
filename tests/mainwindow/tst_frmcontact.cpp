// The contact edit dialog and the contact card, driven through their named
// controls; the card's Call buttons dial on the simulated line.

#include "../telephony/callfixture.h"
#include "app/strings.h"
#include "contexttestutil.h"
#include "mainwindow/frmcontact.h"
#include "mainwindow/frmcontactotherinfo.h"
#include "platform/shell.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

using ctxtest::DialogDriver;

namespace {

template <typename T> T* child(QWidget* w, const char* name) {
    auto* c = w->findChild<T*>(QLatin1String(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

Contact full() {
    return {QStringLiteral("Ann O'Neil"),
            QStringLiteral("555 12"),
            QStringLiteral("ann@example.org"),
            QStringLiteral("+39 333"),
            QStringLiteral("02-7"),
            QStringLiteral("a2@example.org"),
            QStringLiteral("line one\r\nline two"),
            QStringLiteral("42")};
}

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    pump();
}

QStringList boxes() {
    QStringList out;
    for (const auto& r : Prompter::records())
        out << r.text + u'/' + r.title + u'/' + QString::number(r.flags);
    return out;
}

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
private slots:
    void cleanup() {
        f.reset();
        settle();
    }

    void dialogControls();
    void roundTrip_data();
    void roundTrip();
    void typedFreeTextKeepsItsLineEnds();
    void tabOrderStartsOnSave();
    void closeBoxUnloads();

    void cardButtonsFollowTheirBoxes_data();
    void cardButtonsFollowTheirBoxes();
    void cardCallDialsWithTheBookPrefix_data();
    void cardCallDialsWithTheBookPrefix();
    void cardCallAfterAPrefixedCall();
    void cardCallRefusals_data();
    void cardCallRefusals();
    void cardSend();
    void cardClose();

private:
    void start(bool telephony = false) {
        f = std::make_unique<CallFixture>();
        if (telephony)
            f->start();
        else
            f->createForm();
        auto local = std::make_shared<LocalAddressBook>();
        local->callPrefix = QStringLiteral("0");
        gLocalBooks = {local};
        noLocalBooks = false;
        auto db = std::make_shared<DatabaseAddressBook>();
        db->Clear();
        db->callPrefix = QStringLiteral("99 ");
        gDBBooks = {db};
        noDBBooks = false;
    }
    std::unique_ptr<CallFixture> f;
};

void TestFrmContact::dialogControls() {
    start();
    frmContact* d = frmContact::instance();
    QCOMPARE(d->parentWidget(), f->form());
    QCOMPARE(d->windowTitle(), loadResString(15010));
    QCOMPARE(child<QLabel>(d, "Label1")->text(), loadResString(13042));
    QCOMPARE(child<QLabel>(d, "Label7")->text(), loadResString(13048));
    QCOMPARE(child<QLabel>(d, "Label8")->text(), QStringLiteral("Contact ID :"));
    QCOMPARE(child<QPushButton>(d, "cmdSave")->text(), loadResString(14009));
    QCOMPARE(child<QPushButton>(d, "cmdCancel")->text(), loadResString(14002));
    QVERIFY(child<QPushButton>(d, "cmdSave")->isDefault());
    QVERIFY(!child<QLineEdit>(d, "txtContactID")->isEnabled());
    QVERIFY(child<QLineEdit>(d, "closeMode")->isHidden());
    QCOMPARE(d->closeMode(), QString());
    QCOMPARE(frmContact::instance(), d);
}

void TestFrmContact::roundTrip_data() {
    QTest::addColumn<QStringList>("values");
    QTest::newRow("every field") << ctxtest::fields(full());
    QTest::newRow("all empty") << QStringList(8, QString());
    QTest::newRow("blanks kept") << QStringList{
        QStringLiteral(" "), QStringLiteral(" 1 "), {}, {}, {}, {}, QStringLiteral("  "), {}};
    QTest::newRow("longer than a line edit")
        << QStringList{QString(40000, u'x'), {}, {}, {}, {}, {}, {}, QStringLiteral("7")};
}

// Save without changes gives back the contact it was given, id included.
void TestFrmContact::roundTrip() {
    QFETCH(QStringList, values);
    start();
    Contact c{values[0], values[1], values[2], values[3],
              values[4], values[5], values[6], values[7]};
    frmContact::instance()->setValues(c);
    DialogDriver driver;
    driver.push(DialogDriver::save());
    frmContact::showModal();
    QCOMPARE(driver.shown(), 1);
    QCOMPARE(frmContact::instance()->closeMode(), QStringLiteral("OK"));
    QVERIFY(!frmContact::instance()->isVisible());
    QCOMPARE(ctxtest::fields(frmContact::instance()->getValues()), values);
    // Shown again unchanged: the boxes kept their texts.
    driver.push(DialogDriver::cancel());
    frmContact::showModal();
    QCOMPARE(frmContact::instance()->closeMode(), QStringLiteral("Cancel"));
    QCOMPARE(ctxtest::fields(frmContact::instance()->getValues()), values);
}

void TestFrmContact::typedFreeTextKeepsItsLineEnds() {
    start();
    frmContact* d = frmContact::instance();
    d->setValues(full());
    auto* box = child<QPlainTextEdit>(d, "txtFreeText");
    box->moveCursor(QTextCursor::End);
    QTest::keyClicks(box, QStringLiteral("!"));
    QCOMPARE(d->getValues().freetext, QStringLiteral("line one\r\nline two!"));
    Contact plain = full();
    plain.freetext = QStringLiteral("a\nb");
    d->setValues(plain);
    box->moveCursor(QTextCursor::End);
    QTest::keyClicks(box, QStringLiteral("c"));
    QCOMPARE(d->getValues().freetext, QStringLiteral("a\nbc"));
}

void TestFrmContact::tabOrderStartsOnSave() {
    start();
    QStringList order;
    DialogDriver driver;
    driver.push([&order](frmContact* d) {
        for (int i = 0; i < 10; ++i) {
            order << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QTest::keyClick(d, Qt::Key_Escape);
    });
    frmContact::showModal();
    QCOMPARE(order, (QStringList{"cmdSave", "cmdCancel", "txtName", "txtTelephone", "txtEmail",
                                 "txtTelephone2", "txtTelephone3", "txtEmail2", "txtFreeText",
                                 "cmdSave"}));
    QCOMPARE(frmContact::instance()->closeMode(), QStringLiteral("Cancel"));
}

// The window box unloads the dialog: the caller's next look finds a fresh
// one with an empty verdict and empty boxes.
void TestFrmContact::closeBoxUnloads() {
    start();
    frmContact::instance()->setValues(full());
    DialogDriver driver;
    driver.push(DialogDriver::save());
    frmContact::showModal();
    QPointer<frmContact> first = frmContact::instance();
    driver.push(DialogDriver::closeBox());
    frmContact::showModal();
    settle();
    QVERIFY(!first);
    QCOMPARE(frmContact::instance()->closeMode(), QString());
    QCOMPARE(ctxtest::fields(frmContact::instance()->getValues()), QStringList(8, QString()));
}

void TestFrmContact::cardButtonsFollowTheirBoxes_data() {
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("enabled");
    QTest::newRow("name and telephone")
        << QStringList{"Ann", "555", "", "", "", "", "", ""} << "cmdCall";
    QTest::newRow("everything") << ctxtest::fields(full())
                                << "cmdCall cmdEmail cmdCall2 cmdCall3 cmdEmail2";
    QTest::newRow("second and third only")
        << QStringList{"Ann", "", "", "1", "2", "x@y", "", ""} << "cmdCall2 cmdCall3 cmdEmail2";
    QTest::newRow("a blank counts")
        << QStringList{"Ann", "", " ", "", "", "", "", ""} << "cmdEmail";
}

void TestFrmContact::cardButtonsFollowTheirBoxes() {
    QFETCH(QStringList, values);
    QFETCH(QString, enabled);
    start();
    // A card of a contact with everything first, so stale states would show.
    showCard(full(), QStringLiteral("1|O|0"));
    frmContactOtherInfo* card = showCard(
        {values[0], values[1], values[2], values[3], values[4], values[5], values[6], values[7]},
        QStringLiteral("1|O|0"));
    QCOMPARE(card->windowTitle(), loadResString(15008));
    QCOMPARE(card->parentWidget(), f->form());
    QStringList on;
    for (const char* b : {"cmdCall", "cmdEmail", "cmdCall2", "cmdCall3", "cmdEmail2"})
        if (child<QPushButton>(card, b)->isEnabled())
            on << QLatin1String(b);
    QCOMPARE(on.join(u' '), enabled);
    // The free-text box shows line ends as plain line breaks.
    values[6].replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QCOMPARE(ctxtest::boxTexts(card), values);
    QVERIFY(child<QPushButton>(card, "cmdClose")->isEnabled());
    for (const char* box : {"txtName", "txtTelephone", "txtContactID"})
        QVERIFY(child<QLineEdit>(card, box)->isReadOnly());
    QVERIFY(child<QPlainTextEdit>(card, "txtFreeText")->isReadOnly());
}

void TestFrmContact::cardCallDialsWithTheBookPrefix_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("dialled");
    QTest::newRow("Local, prefix 0") << "1|O|0"
                                     << "cmdCall"
                                     << "0555 12";
    QTest::newRow("Local, telephone 2") << "1|O|0"
                                        << "cmdCall2"
                                        << "0+39 333";
    QTest::newRow("Database, telephone 3") << "2|D|0"
                                           << "cmdCall3"
                                           << "99 02-7";
    QTest::newRow("recent entry, unchanged") << "1|R|0"
                                             << "cmdCall"
                                             << "555 12";
    QTest::newRow("LDAP, no prefix") << "1|L|0"
                                     << "cmdCall"
                                     << "555 12";
    QTest::newRow("book gone, no prefix") << "1|O|5"
                                          << "cmdCall"
                                          << "555 12";
    QTest::newRow("no book") << ""
                             << "cmdCall"
                             << "555 12";
}

void TestFrmContact::cardCallDialsWithTheBookPrefix() {
    QFETCH(QString, tag);
    QFETCH(QString, button);
    QFETCH(QString, dialled);
    start(true);
    frmContactOtherInfo* card = showCard(full(), tag);
    click(card, button.toLatin1().constData());
    QCOMPARE(SimLine::instance().dialled(), dialled);
    QVERIFY(gCall);
    frmTelephoneCall* call = frmTelephoneCall::loadedInstance();
    QVERIFY(call && call->isVisible());
    QCOMPARE(call->number(), dialled);
    QCOMPARE(child<QLabel>(call, "lblCalledIDStr")->text(), full().name);
    QCOMPARE(gCallRecord.callNumber, dialled);
    QCOMPARE(gCallRecord.callName, full().name);
    QCOMPARE(gCallRecord.callMatchTag, tag);
    QVERIFY(card->isVisible());
    QVERIFY(Prompter::records().isEmpty());
}

// A recent-call entry after a Local contact: no prefix left over.
void TestFrmContact::cardCallAfterAPrefixedCall() {
    start(true);
    frmContactOtherInfo* card = showCard(full(), QStringLiteral("1|O|0"));
    click(card, "cmdCall");
    QCOMPARE(SimLine::instance().dialled(), QStringLiteral("0555 12"));
    f->step(QStringLiteral("hangup"));
    QVERIFY(!gCall);
    Contact logged = full();
    logged.telephone = QStringLiteral("0555 12");
    card = showCard(logged, QStringLiteral("1|R|0"));
    click(card, "cmdCall");
    QCOMPARE(SimLine::instance().dialled(), QStringLiteral("0555 12"));
    QCOMPARE(gCallRecord.callMatchTag, QStringLiteral("1|R|0"));
}

void TestFrmContact::cardCallRefusals_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no address") << "noaddress"
                                << QStringList{loadResString(16006) + u'/' + loadResString(16007) +
                                               QStringLiteral("/16")};
    QTest::newRow("a call is ringing")
        << "incoming"
        << QStringList{loadResString(16016) + u'/' + loadResString(16017) + QStringLiteral("/64")};
}

void TestFrmContact::cardCallRefusals() {
    QFETCH(QString, situation);
    QFETCH(QStringList, expected);
    start(true);
    if (situation == u"incoming")
        f->step(QStringLiteral("offer:5"));
    else
        gAddress.reset();
    const auto before = gCall;
    const CallRecord record = gCallRecord;
    Prompter::reset();
    frmContactOtherInfo* card = showCard(full(), QStringLiteral("1|O|0"));
    click(card, "cmdCall");
    QCOMPARE(boxes(), expected);
    QCOMPARE(SimLine::instance().dialled(), QString());
    QCOMPARE(gCall, before);
    QCOMPARE(gCallRecord.callNumber, record.callNumber);
    QVERIFY(!frmTelephoneCall::isShown());
}

void TestFrmContact::cardSend() {
    start();
    Contact c = full();
    c.email = QStringLiteral(" ann @example.org ");
    frmContactOtherInfo* card = showCard(c, QStringLiteral("1|R|0"));
    click(card, "cmdEmail");
    click(card, "cmdEmail2");
    QCOMPARE(Shell::opened(), (QList<QUrl>{Shell::mailto(c.email),
                                           Shell::mailto(QStringLiteral("a2@example.org"))}));
    QCOMPARE(Shell::opened().first().path(QUrl::FullyDecoded), c.email);
}

// Close and Escape unload the card; the next Other info loads a fresh one.
void TestFrmContact::cardClose() {
    start();
    for (bool escape : {false, true}) {
        QPointer<frmContactOtherInfo> card = showCard(full(), QStringLiteral("1|O|0"));
        if (escape)
            QTest::keyClick(card, Qt::Key_Escape);
        else
            click(card, "cmdClose");
        settle();
        QVERIFY(!card);
        QVERIFY(!frmContactOtherInfo::loadedInstance());
    }
    frmContactOtherInfo* fresh = frmContactOtherInfo::instance();
    QCOMPARE(ctxtest::boxTexts(fresh), QStringList(8, QString()));
    QCOMPARE(fresh->abTag, QString());
}

QTEST_MAIN(TestFrmContact)
#include "tst_frmcontact.moc"
