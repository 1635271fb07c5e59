#pragma once

#include <QString>

// The string table: every text the user sees, by numeric id, in English and
// Italian, compiled into the program from resources/strings.tsv.
enum class Language { English, Italian };

// Italian when the user's first interface language is Italian, else English.
Language systemLanguage();
// Forces the language (tests, and start-up from systemLanguage()).
void setLanguage(Language lang);
Language currentLanguage();

// Text of id in the current language; raises 326 when the id is missing.
QString loadResString(int id);
// Same, without raising: answers false when the id is missing.
bool tryLoadResString(int id, QString& out);
// Text in one language only, without falling back; false when missing.
bool tryLoadResString(int id, Language lang, QString& out);
// Number of ids that have a text in the language.
int stringCount(Language lang);
