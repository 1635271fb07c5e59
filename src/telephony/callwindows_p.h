#pragma once

#include <QString>

class QWidget;

// Helpers shared by the two call windows.
namespace callwindows {

// The owner of the call windows: the main window when there is one.
QWidget* owner();
// The title of the fixed English message boxes: the program's title.
QString appTitle();
// Auto-close delay after a call ends.
constexpr int CloseDelayMs = 1500;

} // namespace callwindows
