#pragma once

#include <QMainWindow>

class CallHandler;
class PlugInServer;

// The one main window.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The window's load: runs once after creation.
    void Form_Load();

    // Panel 1 of the status bar: the call-status text.
    void setStatusText(const QString& text);
    QString statusText() const;

    // Telephony side (forwarded to the call handler).
    void TAPIEventsInit();
    CallHandler* callHandler() const { return m_calls; }
    PlugInServer* plugInServer() const { return m_plugins; }

private:
    CallHandler* m_calls = nullptr;
    PlugInServer* m_plugins = nullptr;
    QString m_statusText;
};
