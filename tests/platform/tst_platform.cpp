// The platform layer: the single-instance lock, termination requests, the
// desktop's handlers for addresses.

#include "common/testenv.h"
#include "common/widgettest.h"
#include "platform/instancelock.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "platform/termination.h"

#include <QSignalSpy>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

class TstPlatform : public QObject {
    Q_OBJECT
private slots:
    // What a start finds in the runtime folder: contents, age, taken.
    void leftOverLockFile() {
        const std::tuple<QByteArray, int, bool> rows[] = {
            {{}, -1, true}, {"", 60, true}, // killed before writing it
            {"\x01\x02 not a lock\n", 60, true}, {"", 0, false}}; // being written now
        for (const auto& [contents, age, acquired] : rows) {
            TestEnv env;
            QFile f(InstanceLock::lockPath());
            QVERIFY(age < 0 || (f.open(QIODevice::WriteOnly) && f.write(contents) >= 0 && f.flush() &&
                                f.setFileTime(QDateTime::currentDateTime().addSecs(-age),
                                              QFileDevice::FileModificationTime)));
            InstanceLock lock, next;
            QCOMPARE(lock.tryAcquire(), acquired);
            QVERIFY(!acquired || !next.tryAcquire()); // ours now, until released
            lock.release();
            QVERIFY(!acquired || next.tryAcquire());
        }
    }

    // A burst of signals must not block the handler; one request arrives.
    void terminationReachesTheEventLoop() {
        for (const auto& [sig, count] : {std::pair{SIGINT, 1}, {SIGTERM, 200000}}) {
            TerminationWatcher watcher;
            QSignalSpy spy(&watcher, &TerminationWatcher::terminationRequested);
            for (int i = 0; i < count; ++i)
                ::raise(sig);
            QVERIFY(spy.wait(2000));
            QCOMPARE(spy.first().first().toInt(), sig);
        }
    }

    // The mail address is the whole path: "?" or "&" in it add no headers. A message box is as wide
    // as its title beside the title bar's buttons.
    void addressesToTheDesktop() {
        for (const QString& a : {u"  anna @b.c "_s, u"a@b.c?subject=x&body=y"_s, u"100%#a@b.c"_s,
                                 u"jos\u00e9@b.c"_s, QString()}) {
            const QUrl url = Shell::mailto(a);
            QVERIFY(url.scheme() == u"mailto" && !url.hasQuery() && !url.hasFragment());
            QCOMPARE(QUrl(url.toString(QUrl::FullyEncoded)).path(QUrl::FullyDecoded), a);
        }
        TestEnv env;
        // A shipped file: beside the program (build folder), else in ../share/tamrivo (installed).
        const QString bin = env.file(u"bin/h.html"_s), share = env.file(u"share/tamrivo/h.html"_s);
        QVERIFY(QDir().mkpath(QFileInfo(bin).path()) && QDir().mkpath(QFileInfo(share).path()));
        for (const auto& [made, found] : {std::pair{QString(), bin}, {share, share}, {bin, bin}}) {
            QVERIFY(made.isEmpty() || QFile(made).open(QIODevice::WriteOnly));
            QCOMPARE(Shell::shippedFile(u"h.html"_s, env.file(u"bin"_s)), found);
        }
        Prompter::setMode(Prompter::Mode::Dialog);
        const QString title = u"Error accessing the database"_s;
        int width = 0;
        whenModal([&](QWidget* box) { width = box->width(), QTest::keyClick(box, Qt::Key_Enter); });
        Prompter::msgBox(u"x"_s, Msg::OKOnly, title);
        QVERIFY(width > QFontMetrics(QApplication::font()).horizontalAdvance(title) + 72);
    }
};

QTEST_MAIN(TstPlatform)
#include "tst_platform.moc"
