// The splash and About windows, and System Info starting a tool found on PATH.

#include "app/appversion.h"
#include "app/errorreport.h"
#include "app/frmabout.h"
#include "app/frmsplash.h"
#include "app/globals.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "common/widgettest.h"
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

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

} // namespace

class TstFrmAbout : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestEnv> env;
    QByteArray savedPath;

    // A folder on PATH with a tool under each name; a script writes its own
    // name into "started" when run.
    QString fakeTools(const QStringList& names, bool executable = true, QByteArray body = {}) {
        const QString dir = env->file(QStringLiteral("bin"));
        QDir().mkpath(dir);
        for (const QString& n : names) {
            QFile f(dir + u'/' + n);
            if (!f.open(QIODevice::WriteOnly))
                qFatal("cannot write %s", qPrintable(f.fileName()));
            f.write(!body.isEmpty() ? body
                                    : "#!/bin/sh\necho " + n.toUtf8() + " > '" +
                                          env->file(QStringLiteral("started")).toUtf8() + "'\n");
            f.close();
            if (executable)
                f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        }
        qputenv("PATH", dir.toLocal8Bit());
        return dir;
    }

    QString started() { return readText(env->file(QStringLiteral("started"))); }
    QString log() { return readText(errorLogPath()); }

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
        QCOMPARE(AppVersion::productLine(),
                 "Tamrivo version 1.0\r\n" + AppVersion::fileDescription());
        QVERIFY(!AppVersion::fileDescription().isEmpty());
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
            QCOMPARE(child<QLabel>(w, "lblProduct")->text(), AppVersion::productLine());
            QCOMPARE(child<QLabel>(w, "lblCopyright")->text(), AppVersion::legalNotice());
        }
        QVERIFY(splash.windowTitle().isEmpty());
        QCOMPARE(about.windowTitle(),
                 italian ? QStringLiteral("Informazioni su...") : QStringLiteral("About..."));
        QCOMPARE(child<QLabel>(&about, "lblDisclaimer")->text(), loadResString(16054));
        QCOMPARE(child<QPushButton>(&about, "cmdSysInfo")->text(),
                 italian ? QStringLiteral("&Informazioni di sistema...")
                         : QStringLiteral("&System Info..."));
        QCOMPARE(child<QPushButton>(&about, "cmdOK")->text(), QStringLiteral("&OK"));
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
        child<QPushButton>(&about, "cmdSysInfo")->click();
        QTRY_COMPARE(started(), expected);
        QVERIFY(Prompter::records().isEmpty());
    }

    // No usable tool: nothing shown, nothing started; with the log on, a line.
    void noUsableTool_data() {
        QTest::addColumn<bool>("executable");
        QTest::addColumn<bool>("logging");
        QTest::addColumn<QString>("logged");
        QTest::newRow("not a program, log off") << false << false << "";
        QTest::newRow("not a program, log on") << false << true << " dontknow 0 \"";
        QTest::newRow("cannot start") << true << true << " dontknow 53 File not found";
    }
    void noUsableTool() {
        QFETCH(bool, executable);
        QFETCH(bool, logging);
        QFETCH(QString, logged);
        gExtendedErrors = logging;
        fakeTools({SystemInfo::programs().first()}, executable,
                  executable ? QByteArray("\x7f"
                                          "ELF garbage")
                             : QByteArray());
        if (!executable)
            QCOMPARE(SystemInfo::find(), QString());
        frmAbout about;
        about.Form_Load();
        child<QPushButton>(&about, "cmdSysInfo")->click();
        QTest::qWait(50);
        QCOMPARE(started(), QString());
        QVERIFY(Prompter::records().isEmpty());
        QCOMPARE(log().isEmpty(), logged.isEmpty());
        QVERIFY(log().contains(logged));
    }
};

QTEST_MAIN(TstFrmAbout)
#include "tst_frmabout.moc"
