// The file dialog layer: filters in the string table's form, and the real
// dialog accepted and cancelled.

#include "common/testenv.h"
#include "platform/filechooser.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Runs act on the file dialog once it is shown (the dialog's exec() blocks).
void whenDialogShown(std::function<void(QFileDialog*)> act) {
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, tries, poll] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) {
                act(d);
                return;
            }
        }
        if (++*tries < 200)
            QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

} // namespace

class TstFileChooser : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestEnv> env;

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup() {
        FileChooser::setScripted(true);
        env.reset();
    }

    void nameFilters_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("wav") << "Wav files (*.wav)|*.wav" << QStringList{"Wav files (*.wav)"};
        QTest::newRow("description without pattern")
            << "Local Address Book files|*.lab" << QStringList{"Local Address Book files (*.lab)"};
        QTest::newRow("two filters, several patterns")
            << "Sounds|*.wav;*.WAV|All files (*.*)|*.*"
            << QStringList{"Sounds (*.wav *.WAV)", "All files (*.*)"};
        QTest::newRow("odd trailing description")
            << "Sounds|*.wav|Other" << QStringList{"Sounds (*.wav)"};
        QTest::newRow("empty") << "" << QStringList{};
    }
    void nameFilters() {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(FileChooser::nameFilters(filter), expected);
    }

    void realDialog_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("exists");
        QTest::newRow("open, chosen") << int(FileChooser::Mode::Open) << true << true;
        QTest::newRow("open, cancelled") << int(FileChooser::Mode::Open) << false << true;
        QTest::newRow("save, new name") << int(FileChooser::Mode::Save) << true << false;
        QTest::newRow("save over an existing file, no question")
            << int(FileChooser::Mode::Save) << true << true;
    }
    void realDialog() {
        QFETCH(int, mode);
        QFETCH(bool, accept);
        QFETCH(bool, exists);
        FileChooser::setScripted(false);
        const QString target = env->file(u"book.lab"_s);
        if (exists) {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QString seenTitle;
        QStringList seenFilters;
        whenDialogShown([&](QFileDialog* d) {
            seenTitle = d->windowTitle();
            seenFilters = d->nameFilters();
            if (!accept) {
                d->reject();
                return;
            }
            d->setDirectory(env->path());
            d->selectFile(target);
            static_cast<QDialog*>(d)->accept(); // QFileDialog::accept, as the button does
        });
        QString path = u"unchanged"_s;
        const bool chosen = FileChooser::choose(static_cast<FileChooser::Mode>(mode),
                                                u"Local Address Book files (*.lab)|*.lab"_s, 1,
                                                u"Local Address Book files"_s, path);
        QCOMPARE(seenTitle, u"Local Address Book files"_s);
        QCOMPARE(seenFilters, QStringList{u"Local Address Book files (*.lab)"_s});
        QCOMPARE(chosen, accept);
        QCOMPARE(path, accept ? target : u"unchanged"_s);
        // Nothing else was left open (no overwrite question).
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }
};

QTEST_MAIN(TstFileChooser)
#include "tst_filechooser.moc"
