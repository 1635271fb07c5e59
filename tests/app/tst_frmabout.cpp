// The splash and About windows: product line, legal notice, texts in both
// languages, and the System Info button starting the first known tool found
// on PATH (real programs started as processes).

#include "app/appversion.h"
#include "app/errorreport.h"
#include "app/frmabout.h"
#include "app/frmsplash.h"
#include "app/globals.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "platform/prompter.h"
#include "platform/systeminfo.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

QString labelText(QWidget* w, const char* name) {
    auto* l = w->findChild<QLabel*>(QLatin1String(name));
    return l ? l->text() : QStringLiteral("<missing>");
}

} // namespace

class TstFrmAbout : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestEnv> env;
    QByteArray savedPath;

    // A folder on PATH holding shell scripts under the given names; each
    // writes its own name into "started" when run.
    QString fakeTools(const QStringList& names, bool executable = true) {
        const QString dir = env->file(QStringLiteral("bin"));
        QDir().mkpath(dir);
        for (const QString& n : names) {
            QFile f(dir + u'/' + n);
            if (!f.open(QIODevice::WriteOnly))
                qFatal("cannot write %s", qPrintable(f.fileName()));
            f.write("#!/bin/sh\necho " + n.toUtf8() + " > '" +
                    env->file(QStringLiteral("started")).toUtf8() + "'\n");
            f.close();
            if (executable)
                f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        }
        qputenv("PATH", dir.toLocal8Bit());
        return dir;
    }

    QString started() {
        QFile f(env->file(QStringLiteral("started")));
        if (!f.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(f.readAll()).trimmed();
    }

    QString log() {
        QFile f(errorLogPath());
        if (!f.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(f.readAll());
    }

private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        savedPath = qgetenv("PATH");
    }

    void init() {
        env = std::make_unique<TestEnv>();
        setLanguage(Language::English);
    }

    void cleanup() {
        delete frmAbout::current();
        qputenv("PATH", savedPath);
        setLanguage(Language::English);
        env.reset();
    }

    void productLine() {
        const QString line = AppVersion::productLine();
        const QStringList lines = line.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QStringLiteral("Tamrivo version 1.0"));
        QCOMPARE(lines[1], AppVersion::fileDescription());
        QVERIFY(!lines[1].isEmpty());
    }

    void windowsShowTheSameProduct_data() {
        QTest::addColumn<bool>("italian");
        QTest::newRow("English") << false;
        QTest::newRow("Italian") << true;
    }
    void windowsShowTheSameProduct() {
        QFETCH(bool, italian);
        setLanguage(italian ? Language::Italian : Language::English);
        frmSplash splash;
        splash.Form_Load();
        frmAbout about;
        about.Form_Load();
        for (QWidget* w : {static_cast<QWidget*>(&splash), static_cast<QWidget*>(&about)}) {
            QCOMPARE(labelText(w, "lblProduct"), AppVersion::productLine());
            QCOMPARE(labelText(w, "lblCopyright"), AppVersion::legalNotice());
            QVERIFY(w->findChild<QLabel*>(QStringLiteral("logo")));
        }
        QVERIFY(splash.windowTitle().isEmpty());
        QCOMPARE(about.windowTitle(),
                 italian ? QStringLiteral("Informazioni su...") : QStringLiteral("About..."));
        QCOMPARE(labelText(&about, "lblDisclaimer"), loadResString(16054));
        QVERIFY(labelText(&about, "lblDisclaimer")
                    .startsWith(italian ? QStringLiteral("Questo programma")
                                        : QStringLiteral("This program")));
        QCOMPARE(about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->text(),
                 italian ? QStringLiteral("&Informazioni di sistema...")
                         : QStringLiteral("&System Info..."));
        QCOMPARE(about.findChild<QPushButton*>(QStringLiteral("cmdOK"))->text(),
                 QStringLiteral("&OK"));
        QVERIFY(about.findChild<QWidget*>(QStringLiteral("Line1_0")));
        QVERIFY(about.findChild<QWidget*>(QStringLiteral("Line1_1")));
    }

    void okUnloads() {
        auto* about = new frmAbout;
        about->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<frmAbout> guard(about);
        about->Form_Load();
        about->show();
        QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
    }

    void systemInfoTool_data() {
        QTest::addColumn<QStringList>("onPath");
        QTest::addColumn<QString>("expected");
        const QStringList known = SystemInfo::programs();
        QTest::newRow("the first known") << QStringList{known[0]} << known[0];
        QTest::newRow("a later one alone") << QStringList{known[2]} << known[2];
        QTest::newRow("the earlier of two") << QStringList{known[3], known[1]} << known[1];
    }
    void systemInfoTool() {
        QFETCH(QStringList, onPath);
        QFETCH(QString, expected);
        const QString dir = fakeTools(onPath);
        QCOMPARE(SystemInfo::find(), dir + u'/' + expected);
        frmAbout about;
        about.Form_Load();
        about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
        QTRY_COMPARE(started(), expected);
        QVERIFY(Prompter::records().isEmpty());
    }

    void noSystemInfoTool_data() {
        QTest::addColumn<bool>("logging");
        QTest::newRow("log off") << false;
        QTest::newRow("log on") << true;
    }
    void noSystemInfoTool() {
        QFETCH(bool, logging);
        gExtendedErrors = logging;
        // Present but not a program: not found either.
        fakeTools({SystemInfo::programs().first()}, false);
        QCOMPARE(SystemInfo::find(), QString());
        frmAbout about;
        about.Form_Load();
        about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
        QTest::qWait(50);
        QCOMPARE(started(), QString());
        // Nothing shown; with the log on, a line without an error.
        QVERIFY(Prompter::records().isEmpty());
        QCOMPARE(log().contains(QStringLiteral(" dontknow 0 \"")), logging);
    }

    void toolThatCannotStart() {
        gExtendedErrors = true;
        const QString dir = env->file(QStringLiteral("bin"));
        QDir().mkpath(dir);
        QFile f(dir + u'/' + SystemInfo::programs().first());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\x7f"
                "ELF garbage");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        qputenv("PATH", dir.toLocal8Bit());
        frmAbout about;
        about.Form_Load();
        about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
        QVERIFY(Prompter::records().isEmpty());
        QVERIFY(log().contains(QStringLiteral(" dontknow 53 File not found")));
    }
};

QTEST_MAIN(TstFrmAbout)
#include "tst_frmabout.moc"
