#pragma once

// The plug-in list, its enabled flag and the server port (section "plugins").

// Fills plugIns, noPlugIns, plugInsEnabled and serverPort. A "remotePort"
// that is not a number raises and leaves the plug-in globals as they were.
void loadPlugInSettings();

// Writes the section anew, in one atomic write. With plug-ins off it holds
// only "enabled".
void savePlugInSettings();
