#include "app/convert.h"
#include "app/errors.h"

#include <QTest>

class TstConvert : public QObject {
    Q_OBJECT
private slots:
    void toInt16_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("error");
        QTest::newRow("blanks") << " 7 " << 7 << 0;
        QTest::newRow("exponent") << "1e1" << 10 << 0;
        QTest::newRow("half down to even") << "2.5" << 2 << 0;
        QTest::newRow("half up to even") << "3.5" << 4 << 0;
        QTest::newRow("negative half") << "-2.5" << -2 << 0;
        QTest::newRow("max") << "32767" << 32767 << 0;
        QTest::newRow("min") << "-32768" << -32768 << 0;
        QTest::newRow("overflow") << "32768" << 0 << 6;
        QTest::newRow("rounds into overflow") << "32767.5" << 0 << 6;
        QTest::newRow("word") << "abc" << 0 << 13;
        QTest::newRow("empty") << "" << 0 << 13;
        QTest::newRow("blank only") << "   " << 0 << 13;
        QTest::newRow("trailing junk") << "12abc" << 0 << 13;
        QTest::newRow("plus sign") << "+5" << 5 << 0;
        QTest::newRow("leading point") << ".6" << 1 << 0;
        QTest::newRow("hex") << "&H10" << 16 << 0;
        QTest::newRow("huge exponent") << "1e400" << 0 << 13;
        QTest::newRow("exponent without digits") << "1e" << 0 << 13;
        QTest::newRow("exponent with fraction") << "2.5e0" << 2 << 0;
        QTest::newRow("negative exponent") << "35e-1" << 4 << 0;
        QTest::newRow("tab around") << "\t9\t" << 9 << 0;
        QTest::newRow("min half rounds in") << "-32768.5" << -32768 << 0;
        QTest::newRow("below min") << "-32769" << 0 << 6;
        QTest::newRow("blank inside") << "1 2" << 0 << 13;
        QTest::newRow("two signs") << "--1" << 0 << 13;
        QTest::newRow("comma") << "1,5" << 0 << 13;
        QTest::newRow("trailing point") << "5." << 5 << 0;
    }
    void toInt16() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QFETCH(int, error);
        try {
            const int v = convert::toInt16(text);
            QCOMPARE(error, 0);
            QCOMPARE(v, expected);
        } catch (const AppError& e) {
            QCOMPARE(int(e.number()), error);
        }
    }
    void toInt32_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qlonglong>("expected");
        QTest::addColumn<int>("error");
        QTest::newRow("16-bit overflow fits") << "32768" << 32768LL << 0;
        QTest::newRow("max") << "2147483647" << 2147483647LL << 0;
        QTest::newRow("overflow") << "2147483648" << 0LL << 6;
        QTest::newRow("half even") << "0.5" << 0LL << 0;
        QTest::newRow("word") << "x" << 0LL << 13;
    }
    void toInt32() {
        QFETCH(QString, text);
        QFETCH(qlonglong, expected);
        QFETCH(int, error);
        try {
            const qlonglong v = convert::toInt32(text);
            QCOMPARE(error, 0);
            QCOMPARE(v, expected);
        } catch (const AppError& e) {
            QCOMPARE(int(e.number()), error);
        }
    }
    void flags_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("expected");
        QTest::addColumn<int>("error");
        QTest::newRow("one") << "1" << true << 0;
        QTest::newRow("minus one") << "-1" << true << 0;
        QTest::newRow("two") << "2" << true << 0;
        QTest::newRow("zero") << "0" << false << 0;
        QTest::newRow("half") << "0.5" << true << 0;
        QTest::newRow("word") << "yes" << false << 13;
        QTest::newRow("empty") << "" << false << 13;
    }
    void flags() {
        QFETCH(QString, text);
        QFETCH(bool, expected);
        QFETCH(int, error);
        try {
            const bool v = convert::toFlag(text);
            QCOMPARE(error, 0);
            QCOMPARE(v, expected);
        } catch (const AppError& e) {
            QCOMPARE(int(e.number()), error);
        }
    }
};

QTEST_GUILESS_MAIN(TstConvert)
#include "tst_convert.moc"
