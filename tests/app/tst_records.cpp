#include "addressbooks/records.h"
#include "app/errors.h"
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
} // namespace

class TstRecords : public QObject {
    Q_OBJECT
private slots:
    void newRecordsAreEmpty() {
        const LocalAddressBook l;
        QCOMPARE(l.addressBookName, QString());
        QCOMPARE(l.searchForCallerID, false);
        QCOMPARE(l.ringSoundInterval, 0);
        const PlugIn p;
        QCOMPARE(p.remotePort, 0);
        QCOMPARE(p.connected, false);
        const Preferences prefs;
        QCOMPARE(prefs.onClose, 0);
        QCOMPARE(prefs.useLastDRAddressBooks, false);
    }

    void clearResetsEveryField() {
        DatabaseAddressBook b;
        b.addressBookName = b.dsn = b.User = b.password = b.tableName = u"x"_s;
        b.nameField = b.telephoneField = b.emailField = b.ringSound = u"x"_s;
        b.contactid = b.telephone2 = b.telephone3 = b.email2 = b.freetext = u"x"_s;
        b.groupNum = 3;
        b.setGrouping(u"a,b,c"_s);
        b.readonly = false;
        b.searchForCallerID = true;
        b.ringSoundInterval = 9;
        b.callPrefix = u"9"_s;
        b.init();
        for (const QString* f :
             {&b.addressBookName, &b.dsn, &b.User, &b.password, &b.tableName, &b.nameField,
              &b.telephoneField, &b.emailField, &b.ringSound, &b.contactid, &b.telephone2,
              &b.telephone3, &b.email2, &b.freetext})
            QCOMPARE(*f, QString());
        QCOMPARE(b.callPrefix, u"0"_s);
        QCOMPARE(b.groupNum, 0);
        QCOMPARE(b.Grouping(), QStringList{QString()});
        QCOMPARE(b.readonly, true);
        QCOMPARE(b.searchForCallerID, false);
        QCOMPARE(b.ringSoundInterval, 1);
    }

    void setGrouping_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty keeps") << "x,y"
                                     << "" << QStringList{"x", "y"};
        QTest::newRow("empty item") << ""
                                    << "a,,b" << QStringList{"a", "", "b"};
        QTest::newRow("blank kept") << ""
                                    << "a, b" << QStringList{"a", " b"};
        QTest::newRow("one") << "x,y"
                             << "c" << QStringList{"c"};
        QTest::newRow("trailing comma") << ""
                                        << "a," << QStringList{"a", ""};
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
        QCOMPARE(b.Grouping(),
                 before.isEmpty() && text.isEmpty() ? QStringList{QString()} : expected);
        QCOMPARE(b.groupNum, 2); // the caller's to set
    }

    void groupingColumnIsChecked() {
        DatabaseAddressBook b;
        b.init();
        QCOMPARE(b.groupingColumn(0), QString());
        QCOMPARE(errorOf([&] { b.groupingColumn(1); }), ErrNum::SubscriptOutOfRange);
        b.setGrouping(u"country,city"_s);
        QCOMPARE(b.groupingColumn(1), u"city"_s);
        QCOMPARE(errorOf([&] { b.groupingColumn(2); }), ErrNum::SubscriptOutOfRange);
        QCOMPARE(errorOf([&] { b.groupingColumn(-1); }), ErrNum::SubscriptOutOfRange);
    }

    void recentBookKeepsTheSameObjects() {
        TmpAddressBook book;
        QCOMPARE(book.getContactNum(), 0);
        QCOMPARE(errorOf([&] { book.getContact(0); }), ErrNum::SubscriptOutOfRange);
        auto a = std::make_shared<Contact>();
        auto b = std::make_shared<Contact>();
        book.addContact(a);
        book.addContact(b);
        QCOMPARE(book.getContactNum(), 2);
        QCOMPARE(book.getContact(0).get(), a.get());
        QCOMPARE(book.getContact(1).get(), b.get());
        QCOMPARE(errorOf([&] { book.getContact(2); }), ErrNum::SubscriptOutOfRange);
        QCOMPARE(errorOf([&] { book.getContact(-1); }), ErrNum::SubscriptOutOfRange);
        book.init();
        QCOMPARE(book.getContactNum(), 0);
        auto x = std::make_shared<Contact>();
        book.addContact(x);
        QCOMPARE(book.getContactNum(), 1);
        QCOMPARE(book.getContact(0).get(), x.get());
        QCOMPARE(errorOf([&] { book.getContact(1); }), ErrNum::SubscriptOutOfRange);
    }

    void recentBookOverflowsAt32767() {
        TmpAddressBook book;
        auto c = std::make_shared<Contact>();
        for (int i = 0; i < 32767; ++i)
            book.addContact(c);
        QCOMPARE(book.getContactNum(), 32767);
        QCOMPARE(errorOf([&] { book.addContact(c); }), ErrNum::Overflow);
        QCOMPARE(book.getContactNum(), 32767);
    }

    void tagParsing_data() {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("error");
        QTest::newRow("group node") << "1|D|3" << 1 << "D" << 3 << 0;
        QTest::newRow("local book") << "0|O|12" << 0 << "O" << 12 << 0;
        QTest::newRow("no book") << "" << 0 << "" << 0 << 9;
        QTest::newRow("two parts") << "0|D" << 0 << "" << 0 << 9;
        QTest::newRow("index not a number") << "0|D|x" << 0 << "" << 0 << 13;
    }
    void tagParsing() {
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
    }

    void tagMaking() {
        QCOMPARE(AbTag::make(0, QChar(BookKind::Local), 12), u"0|O|12"_s);
        QCOMPARE(AbTag::make(2, QChar(BookKind::Database), 0), u"2|D|0"_s);
    }

    void booksByTagAreChecked() {
        TestEnv env;
        gDBBooks = {std::make_shared<DatabaseAddressBook>(),
                    std::make_shared<DatabaseAddressBook>()};
        noDBBooks = false;
        gLocalBooks = {std::make_shared<LocalAddressBook>()};
        noLocalBooks = true; // a stale element of an emptied list
        QCOMPARE(dbBookOfTag(u"1|D|1"_s).get(), gDBBooks[1].get());
        QCOMPARE(errorOf([] { dbBookOfTag(u"0|D|2"_s); }), ErrNum::SubscriptOutOfRange);
        QCOMPARE(errorOf([] { dbBookOfTag(u"0|D|-1"_s); }), ErrNum::SubscriptOutOfRange);
        QCOMPARE(errorOf([] { dbBookOfTag(u"0|O|0"_s); }), ErrNum::SubscriptOutOfRange);
        QCOMPARE(errorOf([] { localBookOfTag(u"0|O|0"_s); }), ErrNum::SubscriptOutOfRange);
        QCOMPARE(errorOf([] { ldapBookOfTag(u"0|L|0"_s); }), ErrNum::SubscriptOutOfRange);
        // Recent-call books that were never created are never reached.
        QVERIFY(!recentBooksExist());
        QCOMPARE(errorOf([] { recentBookOfTag(u"0|R|0"_s); }), ErrNum::SubscriptOutOfRange);
        for (int i = 0; i < 3; ++i)
            gRecentBooks.append(std::make_shared<TmpAddressBook>());
        QCOMPARE(recentBookOfTag(u"0|R|2"_s).get(), gRecentBooks[2].get());
        QCOMPARE(errorOf([] { recentBookAt(3); }), ErrNum::SubscriptOutOfRange);
    }
};

QTEST_GUILESS_MAIN(TstRecords)
#include "tst_records.moc"
