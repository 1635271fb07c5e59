#pragma once

#include <QString>

class AppError;

// The program's one way of telling about a run-time error: a line in the
// error log when the log is on, else, for numbers above 1000, a box that does
// not wait for the user (one at a time, see Prompter::showError), else
// nothing. Never throws.
void reportError(const QString& procName, const AppError& err);
// The same once the current event has been handled, so that what the event
// shows comes first.
void reportErrorLater(const QString& procName, const AppError& err);

// Where the error log goes: "Tamrivo.Err" beside the program, or under
// $XDG_DATA_HOME/Tamrivo when the program's folder is not writable.
QString errorLogPath();
// Overrides the folder of the log (tests); empty restores the default.
void setErrorLogFolder(const QString& folder);

// The log line for an error, CR LF included.
QString errorLogLine(const QString& procName, long number, const QString& description);
