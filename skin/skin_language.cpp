#include "skin/skin_language.h"

#include "app/settings.h"

namespace skin {

QString TranslatedText(const char* english) { return QString::fromStdString(Translate(english)); }

QLocale LanguageLocale() { return QLocale(QString::fromStdString(LanguageLocaleName())); }

QStringList LanguageFontFamilies() {
  const QLocale locale = LanguageLocale();
  QString cjk = QStringLiteral("Noto Sans CJK JP");
  if (locale.language() == QLocale::Korean) cjk = QStringLiteral("Noto Sans CJK KR");
  else if (locale.language() == QLocale::Chinese)
    cjk = locale.territory() == QLocale::Taiwan ? QStringLiteral("Noto Sans CJK TC") : QStringLiteral("Noto Sans CJK SC");
  return {QStringLiteral("DejaVu Sans"), cjk};
}

} // namespace skin
