#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <optional>

class QSystemTrayIcon;

// The program's icon in the system tray: shown and removed, a tooltip, and
// the mouse buttons pressed on it. Buttons are reported as 1 (left), 2 (right)
// and 4 (middle).
class TrayIcon : public QObject {
    Q_OBJECT
public:
    enum Button : int { LeftButton = 1, RightButton = 2, MiddleButton = 4 };

    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether the desktop offers a tray at all (false on offscreen).
    static bool isSystemTrayAvailable();
    // Tests: pretend a tray is (or is not) there; the icon is then only
    // recorded, never handed to the desktop. An empty optional restores the
    // real answer.
    static void setSimulatedAvailability(std::optional<bool> available);

    void show(const QIcon& icon);
    void remove();
    bool isShown() const { return m_shown; }

    void setToolTip(const QString& text);
    QString toolTip() const { return m_toolTip; }

    // Tests: as if the user pressed a button on the icon.
    void simulateMouseEvent(int button) { emit mouseEvent(button); }

signals:
    void mouseEvent(int button);

private:
    QSystemTrayIcon* m_icon = nullptr;
    bool m_shown = false;
    QString m_toolTip;
};
