#pragma once

#include <QObject>

// The plug-in server: listens on serverPort and answers the configured
// plug-ins. Owned by the main window.
class PlugInServer : public QObject {
    Q_OBJECT
public:
    explicit PlugInServer(QObject* parent = nullptr);
    // Starts listening from the plug-in list as it stands now.
    void start();
    void stop();
};
