#include "common/testenv.h"
#include "platform/shell.h"

#include <QTest>

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void mailtoKeepsTheAddress_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("plain") << QStringLiteral("anna@example.org");
        QTest::newRow("blanks") << QStringLiteral("  anna @example.org ");
        QTest::newRow("query signs") << QStringLiteral("a@b.c?subject=x&body=y");
        QTest::newRow("percent and hash") << QStringLiteral("100%#a@b.c");
        QTest::newRow("accents") << QStringLiteral("jos\u00e9@b.c");
        QTest::newRow("empty") << QString();
    }
    void mailtoKeepsTheAddress() {
        QFETCH(QString, address);
        const QUrl url = Shell::mailto(address);
        QCOMPARE(url.scheme(), QStringLiteral("mailto"));
        QCOMPARE(url.path(QUrl::FullyDecoded), address);
        QVERIFY(!url.hasQuery());
        QVERIFY(!url.hasFragment());
        // The text handed over parses back to the same address.
        const QUrl again(url.toString(QUrl::FullyEncoded));
        QCOMPARE(again.path(QUrl::FullyDecoded), address);
    }

    void recordsInsteadOfOpening() {
        TestEnv env;
        QVERIFY(Shell::recording());
        QVERIFY(Shell::opened().isEmpty());
        QVERIFY(Shell::open(QUrl(QStringLiteral("https://example.org/update"))));
        QVERIFY(Shell::open(Shell::mailto(QStringLiteral("a@b.c"))));
        QCOMPARE(Shell::opened().size(), 2);
        QCOMPARE(Shell::opened().at(0).toString(), QStringLiteral("https://example.org/update"));
        QCOMPARE(Shell::opened().at(1).toString(), QStringLiteral("mailto:a@b.c"));
        Shell::clearOpened();
        QVERIFY(Shell::opened().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
