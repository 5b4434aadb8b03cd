#pragma once
// The language in use as the windows need it: translated texts as Qt strings,
// and the locale that writes dates, names and numbers in that language.
#include <QLocale>
#include <QString>
#include <QStringList>

namespace skin {

// The English text in the language in use (see Translate).
QString TranslatedText(const char* english);
// The locale of the language in use ("en_US" while no language file is used).
QLocale LanguageLocale();
// The faces that write the language in use: DejaVu Sans, then the Noto CJK
// face of the language's own script variant (Japanese, Korean, Simplified or
// Traditional Chinese) for the characters DejaVu lacks.
QStringList LanguageFontFamilies();

} // namespace skin
