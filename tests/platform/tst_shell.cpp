#include "platform/shell.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void mailtoKeepsTheAddress_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("plain") << u"anna@example.org"_s;
        QTest::newRow("blanks") << u"  anna @example.org "_s;
        QTest::newRow("query signs") << u"a@b.c?subject=x&body=y"_s;
        QTest::newRow("percent and hash") << u"100%#a@b.c"_s;
        QTest::newRow("accents") << u"jos\u00e9@b.c"_s;
        QTest::newRow("empty") << QString();
    }
    void mailtoKeepsTheAddress() {
        QFETCH(QString, address);
        const QUrl url = Shell::mailto(address);
        QCOMPARE(url.scheme(), u"mailto"_s);
        QCOMPARE(url.path(QUrl::FullyDecoded), address);
        QVERIFY(!url.hasQuery());
        QVERIFY(!url.hasFragment());
        // The text handed over parses back to the same address.
        const QUrl again(url.toString(QUrl::FullyEncoded));
        QCOMPARE(again.path(QUrl::FullyDecoded), address);
    }
};

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
