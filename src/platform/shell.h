#pragma once

#include <QList>
#include <QString>
#include <QUrl>

// Hands an address to the desktop: "mailto:" addresses to the mail program,
// web pages to the browser, local pages to the help viewer. The call returns
// at once; what the desktop then does is not looked at.
class Shell {
public:
    // True when the desktop accepted the address; when nothing can open it
    // the user is told so in a message box and the answer is false.
    static bool open(const QUrl& url);

    // "mailto:" followed by the address exactly as given (blanks included);
    // the address is the whole path, so "?" or "&" in it add no headers.
    static QUrl mailto(const QString& address);

    // A file shipped with the program (the help page): beside it in a build
    // folder, in ../share/tamrivo when installed; the first that exists, else
    // the one beside it. programDir defaults to the running program's folder.
    static QString shippedFile(const QString& name, const QString& programDir = QString());

    // Tests: while recording, addresses are only written down, not opened.
    // TAMRIVO_SHELL=record in the environment starts in recording mode and
    // also prints each address to stderr (for tests of the program as a
    // process).
    static void setRecording(bool on);
    static bool recording();
    static const QList<QUrl>& opened();
    static void clearOpened();
};
