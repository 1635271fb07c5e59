#pragma once

// The address-book lists and the preferences in the per-user settings store
// (sections "dbab", "lab" and "prefs").

// Reads the Database and Local books, the preferences and, when enabled, makes
// the three recent-call books; then starts telephony. A stored value that
// can't be converted raises (13 not a number, 6 out of range, 9 a
// "defaultPrefixDRAB" with fewer than two "|") and stops the load there.
void loadSettings();

// Writes "dbab", "lab" and "prefs" anew from the globals in one atomic write:
// after a failure the stored file is as it was. "showTipsAtStartup" keeps its
// stored value, or its absence.
void saveSettings();
