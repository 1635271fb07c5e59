#include "app/convert.h"
#include "platform/errors.h"

#include <QTest>

class TstConvert : public QObject {
    Q_OBJECT

    static void row(const char* kind, const char* text, qlonglong expected, int error) {
        QTest::addRow("%s '%s'", kind, text)
            << QString::fromLatin1(kind) << QString(text) << expected << error;
    }

private slots:
    void conversions_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qlonglong>("expected");
        QTest::addColumn<int>("error");
        for (const auto& [text, v, err] : std::initializer_list<std::tuple<const char*, int, int>>{
                 {" 7 ", 7, 0},           {"1e1", 10, 0},   {"2.5", 2, 0},
                 {"3.5", 4, 0},           {"-2.5", -2, 0},  {"32767", 32767, 0},
                 {"-32768", -32768, 0},   {"32768", 0, 6},  {"32767.5", 0, 6},
                 {"abc", 0, 13},          {"", 0, 13},      {"   ", 0, 13},
                 {"12abc", 0, 13},        {"+5", 5, 0},     {".6", 1, 0},
                 {"&H10", 16, 0},         {"1e400", 0, 13}, {"1e", 0, 13},
                 {"2.5e0", 2, 0},         {"35e-1", 4, 0},  {"\t9\t", 9, 0},
                 {"-32768.5", -32768, 0}, {"-32769", 0, 6}, {"1 2", 0, 13},
                 {"--1", 0, 13},          {"1,5", 0, 13},   {"5.", 5, 0}})
            row("int16", text, v, err);
        row("int32", "32768", 32768, 0);
        row("int32", "2147483647", 2147483647LL, 0);
        row("int32", "2147483648", 0, 6);
        row("int32", "0.5", 0, 0);
        row("int32", "x", 0, 13);
        for (const auto& [text, v, err] :
             std::initializer_list<std::tuple<const char*, int, int>>{{"1", 1, 0},
                                                                      {"-1", 1, 0},
                                                                      {"2", 1, 0},
                                                                      {"0", 0, 0},
                                                                      {"0.5", 1, 0},
                                                                      {"yes", 0, 13},
                                                                      {"", 0, 13}})
            row("flag", text, v, err);
    }
    void conversions() {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(qlonglong, expected);
        QFETCH(int, error);
        try {
            const qlonglong v = kind == u"int16"   ? convert::toInt16(text)
                                : kind == u"int32" ? convert::toInt32(text)
                                                   : qlonglong(convert::toFlag(text));
            QCOMPARE(error, 0);
            QCOMPARE(v, expected);
        } catch (const AppError& e) {
            QCOMPARE(int(e.number()), error);
        }
    }
};

QTEST_GUILESS_MAIN(TstConvert)
#include "tst_convert.moc"
