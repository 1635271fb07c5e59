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

// Runs Main and then the event loop; answers the exit status.
int runProgram(QApplication& app);

// Gives up the single-instance lock taken by Main (tests).
void releaseInstanceLock();
