// Tip of the day: the first tip from the draw, Next, and the start-up box.

#include "app/frmtipoftheday.h"
#include "app/globals.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "common/widgettest.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <optional>

namespace {

QString tip(int n) {
    QString out;
    tryLoadResString(20000 + n, Language::English, out);
    return out;
}

QString shown(QWidget* w) {
    return child<QLabel>(w, "lblTipText")->text();
}

void next(QWidget* w) {
    QTest::mouseClick(child<QPushButton>(w, "cmdNextTip"), Qt::LeftButton);
}

std::optional<QString> storedKey() {
    SettingsStore::instance().reload();
    return SettingsStore::instance().value(QStringLiteral("prefs"),
                                           QStringLiteral("showTipsAtStartup"));
}

} // namespace

class TstFrmTipOfTheDay : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestEnv> env;

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        env = std::make_unique<TestEnv>();
        setLanguage(Language::English);
    }
    void cleanup() {
        delete frmTipOfTheDay::current();
        settle();
        frmTipOfTheDay::setRandomDraws({});
        setLanguage(Language::English);
        env.reset();
    }

    // Start = draw x count + 1, rounded half to even; the tip after it shows.
    void firstTipFromTheDraw_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("draw");
        QTest::addColumn<int>("first");
        QTest::newRow("10 tips, 0") << 10 << 0.0 << 2;
        QTest::newRow("10 tips, 0.5") << 10 << 0.5 << 7;
        QTest::newRow("10 tips, 0.875: last drawn, first shown") << 10 << 0.875 << 1;
        QTest::newRow("4 tips, 2.5 to 2 (even)") << 4 << 0.375 << 3;
        QTest::newRow("4 tips, 3.5 to 4 (even)") << 4 << 0.625 << 1;
        QTest::newRow("4 tips, 3.25 to 3") << 4 << 0.5625 << 4;
    }
    void firstTipFromTheDraw() {
        QFETCH(int, count);
        QFETCH(double, draw);
        QFETCH(int, first);
        frmTipOfTheDay w;
        frmTipOfTheDay::setRandomDraws({draw});
        QVERIFY(w.LoadTips(1, count));
        QCOMPARE(shown(&w), tip(first));
    }

    void nextCyclesThroughEveryTip() {
        frmTipOfTheDay::setRandomDraws({0.0});
        frmTipOfTheDay* w = frmTipOfTheDay::showWindow(nullptr);
        // Through every tip, after the last the first, and on.
        for (int i : {2, 3, 4, 5, 6, 7, 8, 9, 10, 1, 2}) {
            QCOMPARE(shown(w), tip(i));
            next(w);
        }
        QVERIFY(Prompter::records().isEmpty());
    }

    void noTips() {
        frmTipOfTheDay w;
        // Ids past the table: none found.
        QVERIFY(!w.LoadTips(11, 20));
        QVERIFY(shown(&w).isEmpty());
        next(&w);
        QVERIFY(shown(&w).isEmpty());
        // Later tips are appended to what the window holds.
        frmTipOfTheDay::setRandomDraws({0.0});
        QVERIFY(w.LoadTips(9, 10));
        QCOMPARE(shown(&w), tip(10));
    }

    void tipsInEnglishUnderEveryLanguage_data() {
        QTest::addColumn<bool>("italian");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("English") << false
                                 << QStringList{"Tip of the day", "Do you know that...", "&Next",
                                                "Ok", "Show tips at startup"};
        QTest::newRow("Italian") << true
                                 << QStringList{"Suggerimento del giorno", "Lo sapevi che...",
                                                "&Successivo", "Ok", "Show tips at startup"};
    }
    void tipsInEnglishUnderEveryLanguage() {
        QFETCH(bool, italian);
        QFETCH(QStringList, texts);
        setLanguage(italian ? Language::Italian : Language::English);
        frmTipOfTheDay::setRandomDraws({0.5});
        frmTipOfTheDay* w = frmTipOfTheDay::showWindow(nullptr);
        QCOMPARE(shown(w), tip(7));
        const QStringList seen = {
            w->windowTitle(),
            child<QLabel>(w, "Label1")->text(),
            child<QPushButton>(w, "cmdNextTip")->text(),
            child<QPushButton>(w, "cmdOK")->text(),
            child<QCheckBox>(w, "chkLoadTipsAtStartup")->text(),
        };
        QCOMPARE(seen, texts);
    }

    void checkBoxWritesAtOnce_data() {
        QTest::addColumn<std::optional<QString>>("stored");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("absent") << std::optional<QString>() << true;
        QTest::newRow("0") << std::optional<QString>(QStringLiteral("0")) << false;
        QTest::newRow("1.0") << std::optional<QString>(QStringLiteral("1.0")) << true;
        QTest::newRow("2") << std::optional<QString>(QStringLiteral("2")) << false;
    }
    void checkBoxWritesAtOnce() {
        QFETCH(std::optional<QString>, stored);
        QFETCH(bool, ticked);
        SettingsStore& s = SettingsStore::instance();
        s.write(QStringLiteral("prefs"), QStringLiteral("onClose"), QStringLiteral("2"));
        if (stored)
            s.write(QStringLiteral("prefs"), QStringLiteral("showTipsAtStartup"), *stored);
        QPointer<frmTipOfTheDay> w = frmTipOfTheDay::showWindow(nullptr);
        auto* box = child<QCheckBox>(w, "chkLoadTipsAtStartup");
        QCOMPARE(box->isChecked(), ticked);
        QCOMPARE(storedKey(), stored); // the load writes nothing

        box->click();
        QCOMPARE(storedKey(),
                 std::optional<QString>(ticked ? QStringLiteral("0") : QStringLiteral("1")));
        // Only that key: the rest of the section stays.
        QCOMPARE(s.value(QStringLiteral("prefs"), QStringLiteral("onClose")),
                 std::optional<QString>(QStringLiteral("2")));

        // Ok unloads the window; the next opening shows the stored choice.
        QTest::mouseClick(child<QPushButton>(w, "cmdOK"), Qt::LeftButton);
        settle();
        QVERIFY(w.isNull());
        QVERIFY(!frmTipOfTheDay::current());
        frmTipOfTheDay* again = frmTipOfTheDay::showWindow(nullptr);
        QCOMPARE(child<QCheckBox>(again, "chkLoadTipsAtStartup")->isChecked(), !ticked);
    }
};

QTEST_MAIN(TstFrmTipOfTheDay)
#include "tst_frmtipoftheday.moc"
