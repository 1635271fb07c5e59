#include "app/startup.h"

#include "app/errorreport.h"
#include "platform/errors.h"
#include "app/frmsplash.h"
#include "app/frmtipoftheday.h"
#include "app/globals.h"
#include "app/pluginsettings.h"
#include "app/sipsettings.h"
#include "app/settings.h"
#include "app/strings.h"
#include "mainwindow/frmmain.h"
#include "platform/instancelock.h"
#include "platform/prompter.h"
#include "platform/termination.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <QLibraryInfo>
#include <QPointer>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

namespace {

InstanceLock& instanceLock() {
    static InstanceLock lock;
    return lock;
}

AppError asAppError(const std::exception& e) {
    if (const auto* app = dynamic_cast<const AppError*>(&e))
        return *app;
    return AppError(51, QString::fromLocal8Bit(e.what()));
}

// A failed start-up always says why, whatever the error number; with the
// error log on it is logged as well.
void reportStartupFailure(const AppError& e) {
    if (gExtendedErrors)
        reportError(QStringLiteral("dontknow"), e);
    try {
        Prompter::msgBox(
            QStringLiteral("%1 %2 %3").arg(e.number()).arg(e.description(), e.source()),
            Msg::OKOnly | Msg::Critical, QStringLiteral("Tamrivo Error"));
    } catch (...) {
    }
}

void setShowHideCaption(int stringId) {
    if (!gMainForm)
        return;
    if (auto* item = gMainForm->findChild<QAction*>(QStringLiteral("mnuSysTrayShowHide")))
        item->setText(loadResString(stringId));
}

void closeSplash(QPointer<frmSplash>& splash) {
    if (splash) {
        splash->close();
        delete splash;
    }
}

// Test seam: with TAMRIVO_TEST_SAVE_LOOP set, the program keeps saving its
// settings, so that tests can kill it in the middle of a save.
void startSaveLoop(QObject* owner) {
    if (qEnvironmentVariableIsEmpty("TAMRIVO_TEST_SAVE_LOOP"))
        return;
    auto* timer = new QTimer(owner);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [] {
        static bool told = false;
        trapErrors([] {
            saveSettings();
            savePlugInSettings();
        });
        if (!told) {
            told = true;
            std::fprintf(stderr, "Tamrivo: saving settings in a loop\n");
            std::fflush(stderr);
        }
    });
    timer->start();
}

} // namespace

void releaseInstanceLock() {
    instanceLock().release();
}

StartResult Main(const QStringList& arguments) {
    QPointer<frmSplash> splash;
    bool mainShown = false;
    try {
        gExtendedErrors = false;
        if (arguments.mid(1).join(u' ') == QLatin1String("EXTERR"))
            gExtendedErrors = true;

        gExitRequested = false;
        noLDAPBooks = true;
        noDBBooks = true;
        noLocalBooks = true;
        noPlugIns = true;
        plugInsEnabled = false;
        serverPort = 0;

        if (!instanceLock().tryAcquire()) {
            Prompter::msgBox(loadResString(16033), Msg::OKOnly | Msg::Critical,
                             loadResString(16034));
            return StartResult::AlreadyRunning;
        }

        splash = new frmSplash;
        splash->Form_Load();
        splash->show();
        {
            // The pause runs the event loop so the splash is exposed and
            // painted; the user's input waits until the program is up.
            QEventLoop pause;
            QTimer::singleShot(1000, &pause, &QEventLoop::quit);
            pause.exec(QEventLoop::ExcludeUserInputEvents);
        }

        gCallerIDMaxLengthDiff = 2;
        loadSipSettings(); // before the telephony object is built
        loadSettings();
        loadPlugInSettings();

        auto* form = new frmMain;
        gMainForm = form;
        try {
            form->Form_Load();
        } catch (...) {
            // A window whose load failed is not left behind, hidden and unreachable.
            gMainForm = nullptr;
            delete form;
            throw;
        }

        closeSplash(splash);

        if (gPreferences && gPreferences->startMinimized) {
            // Into the tray; where there is no tray, minimised, so the
            // program can still be reached and ended.
            gMainForm->hideToTray();
            mainShown = true;
            setShowHideCaption(11081);
        } else {
            gMainForm->show();
            mainShown = true;
            setShowHideCaption(11083);
            if (readNumberSetting(QStringLiteral("prefs"), QStringLiteral("showTipsAtStartup"),
                                  QStringLiteral("1")) == 1.0)
                frmTipOfTheDay::showWindow(nullptr);
        }
        return StartResult::Running;
    } catch (const std::exception& e) {
        closeSplash(splash);
        reportStartupFailure(asAppError(e));
    } catch (...) {
        closeSplash(splash);
        reportStartupFailure(AppError(51, QStringLiteral("Internal error")));
    }
    // Past the main window's show the program works normally; before it there
    // is nothing to run on.
    return mainShown && gMainForm ? StartResult::Running : StartResult::Failed;
}

QStringList commandLine(int argc, char** argv) {
    QStringList out;
    for (int i = 0; i < argc; ++i)
        out << QString::fromLocal8Bit(argv[i]);
    return out;
}

bool installToolkitTranslations() {
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    if (currentLanguage() != Language::Italian)
        return false;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_it"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

int runProgram(QApplication& app, const QStringList& arguments) {
    QApplication::setApplicationName(QStringLiteral("Tamrivo"));
    // Ties the windows to the installed desktop entry (and its icon).
    QApplication::setDesktopFileName(QStringLiteral("example.tamrivo.Tamrivo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tamrivo.png")));
    QApplication::setQuitOnLastWindowClosed(false);
    Prompter::initFromEnvironment();
    installToolkitTranslations();

    switch (Main(arguments)) {
    case StartResult::AlreadyRunning:
        return 0;
    case StartResult::Failed:
        return 1;
    case StartResult::Running:
        break;
    }

    // The program lives as long as the main window is loaded.
    frmMain* form = gMainForm;
    form->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(form, &QObject::destroyed, &app, &QApplication::quit);
    startSaveLoop(form);
    // A kill from outside closes like the system would: no question asked.
    TerminationWatcher termination;
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, form, [] {
        trapErrors([] {
            if (gMainForm)
                gMainForm->systemClose(frmMain::vbAppTaskManager);
        });
    });
    const int status = app.exec();
    releaseInstanceLock();
    return status;
}
