#include "plugins/pluginserver.h"

PlugInServer::PlugInServer(QObject* parent) : QObject(parent) {}
void PlugInServer::start() {}
void PlugInServer::stop() {}
