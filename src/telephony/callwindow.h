#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <initializer_list>

class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

// What the two call windows share: a picture beside a column of texts ending
// in the status line, Auto Close and two buttons below, the 1.5 s close timer
// and the way a window is loaded, shown and unloaded. One instance of each
// window exists at a time; an unloaded window is loaded afresh next time.
class CallWindow : public QWidget {
    Q_OBJECT
public:
    // Shows the window modeless, owned by the main window, when it is not shown.
    void showWindow();
    // Hides the window and destroys it; the next use loads a new one.
    void unload();
    // Shows a CallStatus in lblStatus; "Disconnected" starts the close timer
    // when Auto Close is ticked, and a new call's first status stops it.
    void showStatus(std::int16_t status);

protected:
    // startStatus: the status a new call starts with in this window; the
    // window shows "Calling..." only when that is its start.
    CallWindow(const char* name, const char* titleTag, const QString& title,
               const char* pictureName, std::int16_t startStatus);
    // A push button that Enter presses when it has the focus.
    QPushButton* addButton(const char* name, const char* tag, const QString& text);
    // Lays the window out; creates Auto Close after the buttons so that the
    // focus order runs through the window's own controls first.
    void layOut(std::initializer_list<QWidget*> texts, QPushButton* first, QPushButton* second);
    // The shared part of Form_Load.
    void loadWindow();
    // The owner of the call windows: the main window when there is one.
    static QWidget* owner();
    // The title of the fixed English message boxes.
    static QString appTitle();
    // trapErrors for the user's own request on a call: the line's refusal is
    // also told in a box, whether or not the error log is on.
    bool tellErrors(const std::function<void()>& request);

    virtual void statusShown(std::int16_t) {}
    // Lets go of the one instance, so that the next use loads a new window.
    virtual void forgetInstance() = 0;
    // Closing by the window box unloads the window.
    void closeEvent(QCloseEvent* event) override;

    QLabel* lblStatus;
    QCheckBox* cbAutoClose = nullptr;
    QTimer* CloseTimer;

private:
    void CloseTimer_Timer();

    QLabel* m_picture;
    std::int16_t m_startStatus;
};

// The one instance of a call window W, loaded on first use.
template <typename W> class CallWindowOf : public CallWindow {
public:
    // The one window, loaded (and its Form_Load run) when it is not.
    static W* instance() {
        if (!s_window) {
            s_window = new W;
            s_window->Form_Load();
        }
        return s_window;
    }
    // The window when loaded, else nullptr; never loads it.
    static W* loadedInstance() { return s_window; }
    // Loaded and shown.
    static bool isShown() { return s_window && s_window->isVisible(); }

protected:
    using CallWindow::CallWindow;
    void forgetInstance() override {
        if (s_window == this)
            s_window = nullptr;
    }

private:
    static inline QPointer<W> s_window;
};
