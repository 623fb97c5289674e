#pragma once
// Puts the texts of a language file on a window's components, keyed by their object names.
#include <QString>
#include <QStringList>
#include <QWidget>

#include "app/ini_file.h"

namespace plover {

// Sets the window's title and every named component's caption, hint or column titles from the
// "Lge" section (a missing key leaves the text as it is), and returns the messages "T0" to "T6"
// of the "Meg" section (a missing key gives an empty message).
QStringList ApplyLanguageTexts(QWidget* window, const TIniFile& texts);

// Applies the file `fileName` of `languageFolder`, writing the language files first when it is
// missing. Returns false, changing nothing, when there is still no file to read.
bool ApplyLanguage(QWidget* window, const QString& languageFolder, const QString& fileName, QStringList& messages);

// The language index for a locale: 0 for the Chinese locales of mainland China, Taiwan,
// Hong Kong and Singapore, 1 for every other locale.
int LanguageFromLocale(const QLocale& locale);

}  // namespace plover
