#include "addressbooks/searchresult.h"
#include "platform/errors.h"

#include <QTest>

namespace {

QStringList row(const DBSearchResult& r) {
    return {r.abTagStr(), r.NameStr(),   r.telephoneStr(), r.telephone2Str(), r.telephone3Str(),
            r.emailStr(), r.email2Str(), r.freetextStr(),  r.contactidStr()};
}

QStringList names(DBSearchResult& r) {
    QStringList out;
    for (; !r.isEOF(); r.MoveNext())
        out << r.NameStr();
    return out;
}

DBSearchResult make(const QStringList& rowNames, const QString& tag) {
    DBSearchResult r;
    r.init();
    for (const QString& n : rowNames)
        r.Add(tag, n, n + QStringLiteral("-tel"), n + QStringLiteral("@x"));
    return r;
}

} // namespace

class TstSearchResult : public QObject {
    Q_OBJECT
private slots:
    // Every field in its place; an empty set and the end read as "".
    void addStoresEveryFieldInItsPlace() {
        DBSearchResult r;
        r.init();
        QVERIFY(r.isEOF());
        QCOMPARE(row(r), QStringList(9, QString()));
        r.Add("0|O|1", "Ann", "555", "a@x", "556", "557", "b@x", "note", "7");
        QCOMPARE(row(r),
                 (QStringList{"0|O|1", "Ann", "555", "556", "557", "a@x", "b@x", "note", "7"}));
        r.Add("0|D|0", "Bob", "1", "bob@x");
        r.MoveNext();
        QCOMPARE(row(r), (QStringList{"0|D|0", "Bob", "1", "", "", "bob@x", "", "", ""}));
        r.MoveNext();
        QVERIFY(r.isEOF());
        QCOMPARE(row(r), QStringList(9, QString()));
    }

    void cursorNeverPassesOneBeyondTheEnd() {
        DBSearchResult r = make({"a"}, "t");
        QVERIFY(!r.isEOF());
        r.MoveNext();
        QVERIFY(r.isEOF());
        r.MoveNext();
        r.MoveNext();
        r.Add("t", "b", "", "");
        // Add went back to the first row; a cursor that had run away would
        // skip rows here.
        QCOMPARE(names(r), (QStringList{"a", "b"}));
        r.MoveFirst();
        QCOMPARE(r.NameStr(), QStringLiteral("a"));
    }

    // Copies from the source's cursor on; the merged set stays at its first row.
    void addAll_data() {
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<int>("skip"); // rows of second passed before the copy
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty into empty") << QStringList{} << QStringList{} << 0 << QStringList{};
        QTest::newRow("into empty")
            << QStringList{} << QStringList{"a", "b"} << 0 << QStringList{"a", "b"};
        QTest::newRow("empty source") << QStringList{"a"} << QStringList{} << 0 << QStringList{"a"};
        QTest::newRow("2 then 3") << QStringList{"a", "b"} << QStringList{"c", "d", "e"} << 0
                                  << QStringList{"a", "b", "c", "d", "e"};
        QTest::newRow("from the cursor on")
            << QStringList{} << QStringList{"a", "b", "c"} << 1 << QStringList{"b", "c"};
    }
    void addAll() {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QFETCH(int, skip);
        QFETCH(QStringList, expected);
        DBSearchResult all;
        all.init();
        DBSearchResult a = make(first, "0|D|0");
        DBSearchResult b = make(second, "0|O|3");
        for (int i = 0; i < skip; ++i)
            b.MoveNext();
        all.AddAll(a);
        all.AddAll(b);
        QVERIFY(a.isEOF() && b.isEOF());
        QCOMPARE(int(all.num()), expected.size());
        if (!expected.isEmpty()) {
            QCOMPARE(row(all).mid(0, 6),
                     (QStringList{first.isEmpty() ? "0|O|3" : "0|D|0", expected[0],
                                  expected[0] + "-tel", "", "", expected[0] + "@x"}));
        }
        QCOMPARE(names(all), expected);
    }

    void holdsAtMost32767Rows() {
        DBSearchResult r;
        r.init();
        for (int i = 0; i < 32767; ++i)
            r.Add("t", "n", "", "");
        DBSearchResult one = make({"x"}, "t");
        for (const std::function<void()>& add :
             {std::function<void()>([&] { r.Add("t", "n", "", ""); }),
              std::function<void()>([&] { r.AddAll(one); })}) {
            try {
                add();
                QFAIL("no overflow");
            } catch (const AppError& e) {
                QCOMPARE(e.number(), ErrNum::Overflow);
            }
            QCOMPARE(r.num(), 32767);
        }
        // Walking to the end still works at the limit.
        int n = 0;
        for (r.MoveFirst(); !r.isEOF(); r.MoveNext())
            ++n;
        QCOMPARE(n, 32767);
    }
};

QTEST_GUILESS_MAIN(TstSearchResult)
#include "tst_searchresult.moc"
