#pragma once

#include <QStringList>

class QApplication;

enum class StartResult {
    Running,        // the main window is loaded; the program lives on its events
    AlreadyRunning, // another instance runs; nothing was loaded
    Failed,         // start-up failed and said so; the program ends with status 1
};

// The start-up sequence. arguments as QCoreApplication::arguments(): the
// program name first, then the command line.
StartResult Main(const QStringList& arguments);

// The command line as given, program name first; taken before QApplication
// removes the toolkit's options from argv.
QStringList commandLine(int argc, char** argv);

// Runs Main with arguments (as commandLine gives them) and then the event
// loop; answers the exit status.
int runProgram(QApplication& app, const QStringList& arguments);

// Loads the toolkit's own translations for the program's language, so its
// buttons and file dialog speak it too. False when there are none to load.
bool installToolkitTranslations();

// Gives up the single-instance lock taken by Main (tests).
void releaseInstanceLock();
