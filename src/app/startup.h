#pragma once

class QApplication;

// Runs start-up (Main) and then the event loop; answers the exit status.
int runProgram(QApplication& app);
