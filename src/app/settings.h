#pragma once

#include <QString>

// The address-book lists and the preferences in the per-user settings store
// (sections "dbab", "lab" and "prefs").

// Reads the Database and Local books, the preferences and, when enabled, makes
// the three recent-call books; then starts telephony. A stored value that
// can't be used raises, naming the setting (13 not a number, 6 out of range,
// 9 a "defaultPrefixDRAB" with fewer than two "|"), and stops the load there.
// A GroupNum beyond the grouping columns counts as the columns named.
void loadSettings();

// Writes "dbab", "lab" and "prefs" anew from the globals in one atomic write:
// after a failure the stored file is as it was. "showTipsAtStartup" keeps its
// stored value, or its absence.
void saveSettings();

// A number stored under section and key (def when absent); a text that is not
// one raises 13, naming the setting and what it holds.
double readNumberSetting(const QString& section, const QString& key, const QString& def);

// A whole number (a fraction rounds, halves to even) from lowest to highest;
// outside, it raises 6 with the range.
long long readWholeSetting(const QString& section, const QString& key, const QString& def,
                           long long lowest, long long highest);
