#include "skin/skin_language.h"

#include "app/settings.h"

namespace skin {

QString TranslatedText(const char* english) { return QString::fromStdString(Translate(english)); }

QLocale LanguageLocale() { return QLocale(QString::fromStdString(LanguageLocaleName())); }

} // namespace skin
