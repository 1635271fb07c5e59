#include "app/startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Read before QApplication takes its own options (-style, ...) out of argv.
    const QStringList arguments = commandLine(argc, argv);
    QApplication app(argc, argv);
    return runProgram(app, arguments);
}
