#pragma once

#include <QString>

// What the program says about itself: title, version, tag line and legal
// notice, shown by the splash and About windows.
namespace AppVersion {

QString title();
int majorVersion();
int minorVersion();
// One line that says what the program is.
QString fileDescription();
QString legalNotice();

// "Tamrivo version 1.0", CR LF, then the file description.
QString productLine();

} // namespace AppVersion
