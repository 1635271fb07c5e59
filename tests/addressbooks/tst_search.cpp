// Combined search and caller-ID lookup over real books: Local files and
// SQLite data sources through ODBC.
#include "addressbooks/search.h"
#include "platform/errors.h"
#include "app/globals.h"
#include "app/strings.h"
#include "booktestutil.h"
#include "common/testenv.h"

#include <QTest>

using namespace booktest;

namespace {

// "name number tag" of a lookup; a number or tag left Empty shows as "-".
QString lookup(const QString& number) {
    std::optional<QString> found = QString(""), tag = QString("");
    const QString name = lookupCallerID(number, found, tag);
    return name + u' ' + found.value_or("-") + u' ' + tag.value_or("-");
}

const QString kNotFound = "Not Found - -";

QStringList rowsOf(DBSearchResult r) {
    QStringList out;
    for (; !r.isEOF(); r.MoveNext())
        out << r.abTagStr() + u' ' + r.NameStr();
    return out;
}

} // namespace

class TstSearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setLanguage(Language::English); }

    void closestLengthWins() {
        TestEnv env;
        addDatabaseBook(env, "crm", {{"Twelve", "390212345678", {}, {}, {}}});
        addLocalBook(env, "a.lab", {{"Ten", "0212345678", {}, {}, {}}});
        QCOMPARE(lookup("0212345678"), QStringLiteral("Ten 0212345678 0|O|0"));
    }

    // On equal differences the earlier candidate stays: Database books
    // before Local ones, lower index first, earlier rows first.
    void tiesKeepTheEarlier_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("found");
        QTest::newRow("database before local") << "DL" << QString("D0 99123456 0|D|0");
        QTest::newRow("lower database index") << "DD" << QString("D0 99123456 0|D|0");
        QTest::newRow("lower local index") << "LL" << QString("L0 99123456 0|O|0");
    }
    void tiesKeepTheEarlier() {
        QFETCH(QString, layout);
        QFETCH(QString, found);
        TestEnv env;
        // Each book has a row 2 longer and one 2 shorter than the number
        // (difference 2 both), the longer one first.
        for (int i = 0; i < layout.size(); ++i) {
            const QString n = QString(layout[i]) + QString::number(layout.left(i).count(layout[i]));
            const QList<Row> rows{{n, "99123456", {}, {}, {}}, {n + "-short", "3456", {}, {}, {}}};
            if (layout[i] == 'D')
                addDatabaseBook(env, "dsn" + QString::number(i), rows);
            else
                addLocalBook(env, QString("book%1.lab").arg(i), rows);
        }
        QCOMPARE(lookup("123456"), found);
    }

    void tolerance_data() {
        QTest::addColumn<int>("maxDiff");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("found");
        QTest::newRow("same length") << 2 << "5551234" << true;
        QTest::newRow("leading plus counts") << 2 << "+905551234" << false;
        QTest::newRow("diff 2") << 2 << "905551234" << true;
        QTest::newRow("diff 3") << 2 << "9905551234" << false;
        QTest::newRow("tolerance 0, diff 1") << 0 << "05551234" << false;
        QTest::newRow("tolerance 3, diff 3") << 3 << "9905551234" << true;
        QTest::newRow("dashes count") << 2 << "55-5551234" << false;
    }
    void tolerance() {
        QFETCH(int, maxDiff);
        QFETCH(QString, stored);
        QFETCH(bool, found);
        TestEnv env;
        gCallerIDMaxLengthDiff = std::int16_t(maxDiff);
        addLocalBook(env, "t.lab", {{"Match", stored, {}, {}, {}}});
        QCOMPARE(lookup("5551234"), found ? "Match " + stored + " 0|O|0" : kNotFound);
    }

    // The query matches any telephone column, but the length compared and
    // the number answered are those of the first telephone.
    void matchThroughOtherTelephones_data() {
        QTest::addColumn<bool>("database");
        QTest::addColumn<int>("column"); // 2 or 3
        QTest::newRow("local telephone 2") << false << 2;
        QTest::newRow("local telephone 3") << false << 3;
        QTest::newRow("database telephone 2") << true << 2;
        QTest::newRow("database telephone 3") << true << 3;
    }
    void matchThroughOtherTelephones() {
        QFETCH(bool, database);
        QFETCH(int, column);
        TestEnv env;
        Row row{"Via", "0687654", {}, {}, {}};
        (column == 2 ? row.telephone2 : row.telephone3) = "0301234567";
        Row emptyFirst{"Empty first", "", {}, {}, {}};
        (column == 2 ? emptyFirst.telephone2 : emptyFirst.telephone3) = "4567";
        if (database)
            addDatabaseBook(env, "crm", {row, emptyFirst});
        else
            addLocalBook(env, "v.lab", {row, emptyFirst});
        const QString tag = database ? "0|D|0" : "0|O|0";
        QCOMPARE(lookup("1234567"), "Via 0687654 " + tag);
        // An empty first telephone has length 0: up to 2 characters pass,
        // and "" is the number answered.
        QCOMPARE(lookup("67"), "Empty first  " + tag);
        QCOMPARE(lookup("567"), kNotFound);
    }

    void outputsPassedEmptyAreLeftAlone() {
        TestEnv env;
        addLocalBook(env, "o.lab", {{"Ann", "555", {}, {}, {}}});
        std::optional<QString> number;
        std::optional<QString> tag = QString("");
        QCOMPARE(lookupCallerID("555", number, tag), QStringLiteral("Ann"));
        QCOMPARE(number, std::nullopt);
        QCOMPARE(tag, QString("0|O|0"));
        QCOMPARE(lookupCallerID("555"), QStringLiteral("Ann"));
        number = QString("stale");
        tag.reset();
        QCOMPARE(lookupCallerID("777", number, tag), QStringLiteral("Not Found"));
        QCOMPARE(number, std::nullopt);
        QCOMPARE(tag, std::nullopt);
    }

    void emptyNumberOrNoBooksOpenNothing() {
        TestEnv env;
        addLocalBook(env, "e.lab", {{"Tiny", "1", {}, {}, {}}});
        addDatabaseBook(env, "crm", {{"Short", "", {}, {}, {}}});
        Trace trace;
        QCOMPARE(lookup(""), kNotFound);
        // With the books' empty flags set, nothing is searched either.
        noDBBooks = noLocalBooks = true;
        QCOMPARE(searchAddressBooks("Short", 0, 0).num(), 0);
        QCOMPARE(lookup("1"), kNotFound);
        QCOMPARE(trace.opened, QStringList());
    }

    void onlyBooksMarkedForCallerIdAreOpened() {
        TestEnv env;
        addDatabaseBook(env, "crm", {{"Db", "555", {}, {}, {}}}, false);
        addLocalBook(env, "no.lab", {{"NotAsked", "555", {}, {}, {}}}, false);
        addLocalBook(env, "yes.lab", {{"Asked", "0555", {}, {}, {}}}, true);
        // A broken book that is not searched for caller ID does no harm.
        auto broken = std::make_shared<LocalAddressBook>();
        broken->filename = env.file("missing.lab");
        gLocalBooks.append(broken);
        {
            Trace trace;
            QCOMPARE(lookup("555"), QStringLiteral("Asked 0555 0|O|1"));
            QCOMPARE(trace.opened.size(), 1);
            QVERIFY(trace.opened[0].contains("yes.lab"));
            QCOMPARE(trace.sent,
                     QStringList{"SELECT name FROM sqlite_master WHERE type='table' AND "
                                 "name='TAMRIVO' COLLATE NOCASE"} +
                         QStringList{localSearchSQL("555", 1, 2)});
        }
        // The combined search opens every book, whatever the flag.
        gLocalBooks.removeLast();
        QCOMPARE(rowsOf(searchAddressBooks("555", 1, 3)),
                 (QStringList{"0|D|0 Db", "0|O|0 NotAsked", "0|O|1 Asked"}));
    }

    void oneFailingBookFailsTheWhole_data() {
        QTest::addColumn<QString>("broken");
        QTest::newRow("missing local file") << "local";
        QTest::newRow("unknown data source") << "dsn";
        QTest::newRow("mapped column missing") << "column";
    }
    void oneFailingBookFailsTheWhole() {
        QFETCH(QString, broken);
        TestEnv env;
        addDatabaseBook(env, "crm", {{"Ann", "555", {}, {}, {}}});
        addLocalBook(env, "ok.lab", {{"Bob", "555", {}, {}, {}}});
        if (broken == "local") {
            auto b = std::make_shared<LocalAddressBook>();
            b->filename = env.file("gone.lab");
            b->searchForCallerID = true;
            gLocalBooks.append(b);
        } else {
            auto b = std::make_shared<DatabaseAddressBook>(*gDBBooks[0]);
            if (broken == "dsn")
                b->dsn = "nosuch";
            else
                b->telephone3 = "Fax";
            gDBBooks.append(b);
        }
        const long expected =
            broken == "local" || broken == "dsn" ? ErrNum::DataSourceOpen : ErrNum::DataAccess;
        QCOMPARE(errNum([] { lookupCallerID("555"); }), expected);
        QCOMPARE(errNum([] { searchAddressBooks("555", 1, 0); }), expected);
    }

    void searchGoesBookByBookWithTags() {
        TestEnv env;
        addDatabaseBook(env, "crm", {{"O'Brien", "1", {}, {}, {}}, {"Ann", "2", {}, {}, {}}});
        addDatabaseBook(env, "erp", {{"Annette", "3", {}, {}, {}}});
        addLocalBook(env, "a.lab", {{"Anna", "4", {}, {}, {}}});
        addLocalBook(env, "b.lab", {{"Dan", "5", {}, {}, {}}, {"O'Brien", "6", {}, {}, {}}});
        QCOMPARE(rowsOf(searchAddressBooks("an", 0, 3)),
                 (QStringList{"0|D|0 Ann", "0|D|1 Annette", "0|O|0 Anna", "0|O|1 Dan"}));
        QCOMPARE(rowsOf(searchAddressBooks("O'Brien", 0, 0)),
                 (QStringList{"0|D|0 O'Brien", "0|O|1 O'Brien"}));
        QCOMPARE(rowsOf(searchAddressBooks("zzz", 0, 3)), QStringList());
    }
};

QTEST_GUILESS_MAIN(TstSearch)
#include "tst_search.moc"
