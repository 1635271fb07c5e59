#include "addressbooks/records.h"
#include "platform/errors.h"
#include "app/globals.h"
#include "common/testenv.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
template <typename F> long errorOf(F&& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}
constexpr long kRange = ErrNum::SubscriptOutOfRange;
} // namespace

class TstRecords : public QObject {
    Q_OBJECT
private slots:
    void clearResetsEveryField() {
        DatabaseAddressBook b;
        const QList<QString*> texts{&b.addressBookName, &b.dsn,        &b.User,
                                    &b.password,        &b.tableName,  &b.nameField,
                                    &b.telephoneField,  &b.emailField, &b.ringSound,
                                    &b.contactid,       &b.telephone2, &b.telephone3,
                                    &b.email2,          &b.freetext,   &b.callPrefix};
        for (QString* f : texts)
            *f = u"x"_s;
        b.groupNum = 3;
        b.setGrouping(u"a,b,c"_s);
        b.readonly = false;
        b.searchForCallerID = true;
        b.ringSoundInterval = 9;
        b.init();
        for (QString* f : texts)
            QCOMPARE(*f, f == &b.callPrefix ? u"0"_s : QString());
        QCOMPARE(b.groupNum, 0);
        QCOMPARE(b.Grouping(), QStringList{QString()});
        QVERIFY(b.readonly && !b.searchForCallerID);
        QCOMPARE(b.ringSoundInterval, 1);
    }

    void setGrouping_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty keeps") << u"x,y"_s << QString() << QStringList{"x", "y"};
        QTest::newRow("empty on empty") << QString() << QString() << QStringList{""};
        QTest::newRow("empty item") << QString() << u"a,,b"_s << QStringList{"a", "", "b"};
        QTest::newRow("blank kept") << QString() << u"a, b"_s << QStringList{"a", " b"};
        QTest::newRow("one") << u"x,y"_s << u"c"_s << QStringList{"c"};
        QTest::newRow("trailing comma") << QString() << u"a,"_s << QStringList{"a", ""};
    }
    void setGrouping() {
        QFETCH(QString, before);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        DatabaseAddressBook b;
        b.init();
        b.groupNum = 2;
        b.setGrouping(before);
        b.setGrouping(text);
        QCOMPARE(b.Grouping(), expected);
        QCOMPARE(b.groupNum, 2); // the caller's to set
    }

    void groupingColumnIsChecked() {
        DatabaseAddressBook b;
        b.init();
        QCOMPARE(b.groupingColumn(0), QString());
        QCOMPARE(errorOf([&] { b.groupingColumn(1); }), kRange);
        b.setGrouping(u"country,city"_s);
        QCOMPARE(b.groupingColumn(1), u"city"_s);
        for (int k : {2, -1})
            QCOMPARE(errorOf([&] { b.groupingColumn(k); }), kRange);
    }

    void recentBookKeepsTheSameObjects() {
        TmpAddressBook book;
        QCOMPARE(errorOf([&] { book.getContact(0); }), kRange);
        auto a = std::make_shared<Contact>();
        auto b = std::make_shared<Contact>();
        book.addContact(a);
        book.addContact(b);
        QCOMPARE(book.getContactNum(), 2);
        QCOMPARE(book.getContact(0).get(), a.get());
        QCOMPARE(book.getContact(1).get(), b.get());
        for (int i : {2, -1})
            QCOMPARE(errorOf([&] { book.getContact(i); }), kRange);
        book.init();
        QCOMPARE(book.getContactNum(), 0);
        // Full at 32767 contacts: the next one overflows and is not added.
        for (int i = 0; i < 32767; ++i)
            book.addContact(a);
        QCOMPARE(errorOf([&] { book.addContact(b); }), ErrNum::Overflow);
        QCOMPARE(book.getContactNum(), 32767);
        QCOMPARE(book.getContact(32766).get(), a.get());
    }

    void tags_data() {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("error");
        QTest::newRow("group node") << u"1|D|3"_s << 1 << u"D"_s << 3 << 0;
        QTest::newRow("local book") << u"0|O|12"_s << 0 << u"O"_s << 12 << 0;
        QTest::newRow("no book") << QString() << 0 << QString() << 0 << 9;
        QTest::newRow("two parts") << u"0|D"_s << 0 << QString() << 0 << 9;
        QTest::newRow("index not a number") << u"0|D|x"_s << 0 << QString() << 0 << 13;
    }
    void tags() {
        QFETCH(QString, tag);
        QFETCH(int, level);
        QFETCH(QString, kind);
        QFETCH(int, index);
        QFETCH(int, error);
        AbTag t;
        QCOMPARE(errorOf([&] { t = AbTag::parse(tag); }), long(error));
        if (error)
            return;
        QCOMPARE(t.level, level);
        QCOMPARE(QString(t.kind), kind);
        QCOMPARE(t.index, index);
        QCOMPARE(t.toString(), tag);
        QCOMPARE(AbTag::make(level, kind.at(0), index), tag);
    }

    void booksByTagAreChecked() {
        TestEnv env;
        gDBBooks = {std::make_shared<DatabaseAddressBook>(),
                    std::make_shared<DatabaseAddressBook>()};
        noDBBooks = false;
        gLocalBooks = {std::make_shared<LocalAddressBook>()};
        noLocalBooks = true; // a stale element of an emptied list
        QCOMPARE(dbBookOfTag(u"1|D|1"_s).get(), gDBBooks[1].get());
        for (const char* tag : {"0|D|2", "0|D|-1", "0|O|0"})
            QCOMPARE(errorOf([&] { dbBookOfTag(QString(tag)); }), kRange);
        QCOMPARE(errorOf([] { localBookOfTag(u"0|O|0"_s); }), kRange);
        QCOMPARE(errorOf([] { ldapBookOfTag(u"0|L|0"_s); }), kRange);
        // Recent-call books that were never created are never reached.
        QVERIFY(!recentBooksExist());
        QCOMPARE(errorOf([] { recentBookOfTag(u"0|R|0"_s); }), kRange);
        for (int i = 0; i < 3; ++i)
            gRecentBooks.append(std::make_shared<TmpAddressBook>());
        QCOMPARE(recentBookOfTag(u"0|R|2"_s).get(), gRecentBooks[2].get());
        QCOMPARE(errorOf([] { recentBookAt(3); }), kRange);
    }
};

QTEST_GUILESS_MAIN(TstRecords)
#include "tst_records.moc"
