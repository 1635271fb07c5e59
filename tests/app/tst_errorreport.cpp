#include "app/errorreport.h"
#include "platform/errors.h"
#include "app/globals.h"
#include "common/testenv.h"
#include "platform/prompter.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QByteArray logBytes() {
    QFile f(errorLogPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TstErrorReport : public QObject {
    Q_OBJECT
private slots:
    void lineFormat() {
        const QLocale loc = QLocale::system();
        const QString today = loc.toString(QDate::currentDate(), QLocale::ShortFormat);
        const QString line = errorLogLine(u"dontknow"_s, 13, u"Type mismatch"_s);
        QVERIFY2(line.startsWith(u'"' + today + u' '), qPrintable(line));
        QVERIFY2(line.endsWith(u" dontknow 13 Type mismatch\"\r\n"_s), qPrintable(line));
        // Exactly one pair of quotes and one line end; the time of day sits
        // between the date and the place text, without a time zone.
        QCOMPARE(line.count(u'"'), 2);
        QCOMPARE(line.count(u'\n'), 1);
        const QString time = line.mid(today.size() + 2).section(u" dontknow"_s, 0, 0);
        QVERIFY2(QRegularExpression(u"^\\d{1,2}[:.]\\d{2}[:.]\\d{2}( ?[AaPp]\\.?[Mm]\\.?)?$"_s)
                     .match(time)
                     .hasMatch(),
                 qPrintable(time));
    }

    void nothingEscapedInTheLine() {
        const QString line = errorLogLine(u"a \"b\""_s, -2147221503, u"line\nwith \"quotes\""_s);
        QVERIFY(line.endsWith(u" a \"b\" -2147221503 line\nwith \"quotes\"\"\r\n"_s));
    }

    // Reported and trapped errors alike: one line each, and no box.
    void logOnAppendsOneLinePerError() {
        TestEnv env;
        gExtendedErrors = true;
        QVERIFY(!QFile::exists(errorLogPath()));
        reportError(u"dontknow"_s, AppError(13, u"Type mismatch"_s));
        reportError(u"dontknow"_s, AppError(3146, u"ODBC call failed"_s));
        QVERIFY(!trapErrors([] { raiseError(ErrNum::SubscriptOutOfRange); }));
        QVERIFY(!trapErrors([] { throw std::runtime_error("boom"); }));
        QVERIFY(trapErrors([] {}));
        const QList<QByteArray> lines = logBytes().split('\n');
        const QList<QByteArray> ends{" 13 Type mismatch\"\r", " 3146 ODBC call failed\"\r",
                                     " 9 Subscript out of range\"\r", " 51 boom\"\r", ""};
        QCOMPARE(lines.size(), ends.size());
        for (int i = 0; i < ends.size(); ++i)
            QVERIFY2(lines[i].endsWith(ends[i]) && (i == 4 || lines[i].contains(" dontknow ")),
                     lines[i].constData());
        QVERIFY(Prompter::records().isEmpty());
    }

    void logOffShowsOnlyAbove1000_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("shown");
        for (int n : {91, 0, 1000, int(ErrNum::TelephonyFailed)})
            QTest::addRow("%d", n) << n << false;
        for (int n : {1001, 3146})
            QTest::addRow("%d", n) << n << true;
    }
    void logOffShowsOnlyAbove1000() {
        QFETCH(int, number);
        QFETCH(bool, shown);
        TestEnv env;
        reportError(u"dontknow"_s, AppError(number, u"Something broke"_s, u"DB"_s));
        QVERIFY(!QFile::exists(errorLogPath()));
        QCOMPARE(Prompter::records().size(), shown ? 1 : 0);
        if (shown) {
            const auto& r = Prompter::records().first();
            QCOMPARE(r.text, u"%1 Something broke DB"_s.arg(number));
            QCOMPARE(r.title, u"Tamrivo Error"_s);
            QCOMPARE(r.flags, int(Msg::OKOnly));
        }
    }

    void unwritableLogNeverThrows() {
        TestEnv env;
        gExtendedErrors = true;
        QFile plain(env.file(u"plain"_s));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        setErrorLogFolder(env.file(u"plain/sub"_s));
        reportError(u"dontknow"_s, AppError(13, u"Type mismatch"_s));
        QVERIFY(Prompter::records().isEmpty());
    }

    void defaultLogBesideTheProgram() {
        setErrorLogFolder(QString());
        QCOMPARE(errorLogPath(), QCoreApplication::applicationDirPath() + u"/Tamrivo.Err"_s);
    }
};

QTEST_GUILESS_MAIN(TstErrorReport)
#include "tst_errorreport.moc"
