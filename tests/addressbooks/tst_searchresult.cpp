#include "addressbooks/searchresult.h"
#include "app/errors.h"

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
    void emptySet() {
        DBSearchResult r;
        r.init();
        QVERIFY(r.isEOF());
        QCOMPARE(r.num(), 0);
        QCOMPARE(row(r), QStringList(9, QString()));
        r.MoveNext();
        QVERIFY(r.isEOF());
        QCOMPARE(r.num(), 0);
    }

    void addStoresEveryFieldInItsPlace() {
        DBSearchResult r;
        r.init();
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

    void addAll_data() {
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty into empty") << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("into empty")
            << QStringList{} << QStringList{"a", "b"} << QStringList{"a", "b"};
        QTest::newRow("empty source") << QStringList{"a"} << QStringList{} << QStringList{"a"};
        QTest::newRow("2 then 3") << QStringList{"a", "b"} << QStringList{"c", "d", "e"}
                                  << QStringList{"a", "b", "c", "d", "e"};
    }
    void addAll() {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QFETCH(QStringList, expected);
        DBSearchResult all;
        all.init();
        DBSearchResult a = make(first, "0|D|0");
        DBSearchResult b = make(second, "0|O|3");
        all.AddAll(a);
        all.AddAll(b);
        QVERIFY(a.isEOF());
        QVERIFY(b.isEOF());
        QCOMPARE(int(all.num()), expected.size());
        if (!expected.isEmpty()) {
            // The cursor of the merged set stays at its first row.
            QCOMPARE(row(all).mid(0, 6),
                     (QStringList{first.isEmpty() ? "0|O|3" : "0|D|0", expected[0],
                                  expected[0] + "-tel", "", "", expected[0] + "@x"}));
        }
        QCOMPARE(names(all), expected);
    }

    void addAllCopiesFromTheSourceCursorOn() {
        DBSearchResult src = make({"a", "b", "c"}, "t");
        src.MoveNext();
        DBSearchResult dst;
        dst.init();
        dst.AddAll(src);
        QCOMPARE(names(dst), (QStringList{"b", "c"}));
    }

    void holdsAtMost32767Rows() {
        DBSearchResult r;
        r.init();
        for (int i = 0; i < 32767; ++i)
            r.Add("t", "n", "", "");
        QCOMPARE(r.num(), 32767);
        try {
            r.Add("t", "n", "", "");
            QFAIL("no overflow");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), ErrNum::Overflow);
        }
        QCOMPARE(r.num(), 32767);
        DBSearchResult one = make({"x"}, "t");
        try {
            r.AddAll(one);
            QFAIL("no overflow");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), ErrNum::Overflow);
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
