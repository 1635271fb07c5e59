#pragma once

#include <QList>
#include <QString>
#include <functional>

class QWidget;

// Message-box flags and answers, combined as buttons | icon | default button.
namespace Msg {
enum : int {
    OKOnly = 0,
    OKCancel = 1,
    YesNoCancel = 3,
    YesNo = 4,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
    DefaultButton2 = 256,
    DefaultButton3 = 512,
};
enum Answer : int { Ok = 1, Cancel = 2, Yes = 6, No = 7 };
} // namespace Msg

// Every message box of the program goes through here, so tests can script
// the answers and check what was asked.
class Prompter {
public:
    struct Record {
        QString text;
        QString title;
        int flags = 0;
        int answer = 0;
    };

    enum class Mode { Dialog, Scripted, Stderr };

    // Shows a modal box and answers which button was pressed.
    static int msgBox(const QString& text, int flags, const QString& title,
                      QWidget* parent = nullptr);

    // An error told in a box with an OK button and no icon that does not wait
    // for the user (nor hold up the program's other windows). At most one is
    // open: a text not yet in it is added to it. Stderr and scripted modes
    // take it like msgBox.
    static void showError(const QString& text, const QString& title);

    // The answer of the default button for these flags.
    static int defaultAnswer(int flags);

    // Mode from TAMRIVO_PROMPTS ("stderr": one line per box, default answer).
    static void initFromEnvironment();
    static void setMode(Mode m);
    static Mode mode();

    // Scripted mode: answers are taken in order; when none is left, the
    // default button is taken. Every box is recorded.
    static void pushAnswer(int answer);
    // Optional callback that runs when a box is shown (scripted mode), e.g.
    // to drive the program further from inside the box.
    static void setHook(std::function<void(const Record&)> hook);
    static const QList<Record>& records();
    static void reset();
};
