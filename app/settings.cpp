#include "app/settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <utility>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

constexpr const char* kConfigSection = "Config";
constexpr const char* kLanguageSection = "Language String";
constexpr size_t kTextLimit = 259; // values are read into 260-character buffers

constexpr LanguageEntry kLanguageTable[kLanguageCount + 1] = {
    {1, true, "en_US", "English (English)"},
    {2, false, "zh_CN", "簡體中文 (SimplifiedChinese)"},
    {3, false, "ar_AE", "Arabic (UAE)"},
    {4, false, "ba_BA", "Basque"},
    {5, false, "bg_BG", "Bulgarian"},
    {6, false, "ca_ES", "Catalan"},
    {7, false, "cz_CZ", "Czech"},
    {8, false, "da_DK", "Danish"},
    {9, false, "de_DE", "German (Germany)"},
    {10, false, "el_GR", "Greek"},
    {11, false, "es_ES", "Spanish (Castilian)"},
    {12, false, "es_AS", "Asturian"},
    {13, false, "et_EE", "Estonian"},
    {14, false, "fi_FI", "Finnish"},
    {15, false, "fr_FR", "French (France)"},
    {16, false, "fr_BR", "French (Breton)"},
    {17, false, "gl_ES", "Galician"},
    {18, false, "he_IL", "Hebrew"},
    {19, false, "hu_HU", "Hungarian"},
    {20, false, "it_IT", "Italian (Italy)"},
    {21, false, "jp_JP", "Japanese"},
    {22, false, "ko_KR", "Korean"},
    {23, false, "lt_LT", "Lithuanian"},
    {24, false, "lv_LV", "Latvian"},
    {25, false, "mt_MT", "Maltese"},
    {26, false, "nb_NO", "Norwegian (Bokmal)"},
    {27, false, "nn_NO", "Norwegian (Nynorsk)"},
    {28, false, "nl_NL", "Dutch (Netherlands)"},
    {29, false, "pl_PL", "Polish"},
    {30, false, "pt_BR", "Portuguese (Brazil)"},
    {31, false, "pt_PT", "Portuguese (Portugal)"},
    {32, false, "ro_RO", "Rum鋘isch"},
    {33, false, "ru_RU", "Russian"},
    {34, false, "sl_SI", "Slovenian"},
    {35, false, "sq_AL", "Albanian (Albania)"},
    {36, false, "sv_SE", "Swedish"},
    {37, false, "tr_TR", "Turkish"},
    {38, false, "ua_UA", "Ukrainian"},
    {39, false, "zh_TW", "繁體中文 (TraditionalChinese)"},
    {40, false, "vi_VN", "Vietnamese"},
    {41, false, "th_TH", "Thailand"},
    {42, false, "", ""},
};

// Windows language identifiers of the locales the player knows, and the
// language codes those identifiers stand for.
struct LocaleId {
  const char* locale; // language_TERRITORY as in the POSIX locale name
  int langId;
};
constexpr LocaleId kLocaleIds[] = {
    {"zh_TW", 0x0404}, {"cs_CZ", 0x0405}, {"de_DE", 0x0407}, {"el_GR", 0x0408}, {"es_ES", 0x0C0A},
    {"fr_FR", 0x040C}, {"hu_HU", 0x040E}, {"it_IT", 0x0410}, {"ja_JP", 0x0411}, {"ru_RU", 0x0419},
    {"lt_LT", 0x0427}, {"zh_CN", 0x0804}, {"en_US", 0x0409},
};

std::string LanguageCodeForId(int langId) {
  switch (langId) {
    case 0x0404: return "zh_TW";
    case 0x0405: return "cz_CZ";
    case 0x0407: return "de_DE";
    case 0x0408: return "el_GR";
    case 0x040A:
    case 0x0C0A: return "es_ES";
    case 0x040C: return "fr_FR";
    case 0x040E: return "hu_HU";
    case 0x0410: return "it_IT";
    case 0x0411: return "jp_JP";
    case 0x0419: return "ru_RU";
    case 0x0427: return "lt_LT";
    case 0x0804: return "zh_CN";
    default: return "en_US";
  }
}

// The identifier for a POSIX locale name such as "de_DE.UTF-8" or "de";
// 0 when it is not one the player knows.
int LangIdForLocale(std::string_view locale) {
  locale = locale.substr(0, locale.find_first_of(".@"));
  for (const auto& l : kLocaleIds) {
    std::string_view known(l.locale);
    if (locale == known) return l.langId;
    // A bare language ("de") stands for the territory of the same name ("de_DE").
    if (locale.size() == 2 && known.substr(0, 2) == locale &&
        known[3] == locale[0] - 'a' + 'A' && known[4] == locale[1] - 'a' + 'A')
      return l.langId;
  }
  return 0;
}

bool FolderWritable(const std::string& folder) { return ::access(folder.c_str(), W_OK) == 0; }

// Settings live beside the program in a self-contained, writable program
// folder. An installed copy (resources in the prefix's share/velmora/) keeps
// them per user even where it could write bin/ (run by root, a user prefix).
bool ConfigInProgramFolder() {
  const AppSettings& s = Settings();
  return s.resourceFolder == s.programFolder && FolderWritable(s.programFolder);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string XdgConfigFile() {
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') base = xdg;
  else base = platform::HomeFolder() + ".config";
  if (base.back() != '/') base += '/';
  return base + "velmora/Config.ini";
}

std::string ProgramConfigFile() { return Settings().programFolder + "Config.ini"; }

// Where settings are read: the program folder's file while that folder can be
// written, else the user's file, or the program folder's file until the user's
// file exists.
std::string ConfigReadPath() {
  std::string local = ProgramConfigFile();
  if (ConfigInProgramFolder()) return local;
  std::string user = XdgConfigFile();
  return FileExists(user) || !FileExists(local) ? user : local;
}

std::string LanguageFilePath(int index) {
  return LanguageFolder() + Settings().languages[static_cast<size_t>(index)].code + ".ini";
}

} // namespace

AppSettings::AppSettings() {
  std::copy(std::begin(kLanguageTable), std::end(kLanguageTable), languages.begin());
  snapshotFolder = platform::HomeFolder() + "Capture/";
  programFolder = platform::ProgramFolder();
  resourceFolder = platform::ResourceFolder(programFolder);
}

AppSettings& Settings() {
  static AppSettings settings;
  return settings;
}

void ResetSettings(const std::string& programFolder) {
  AppSettings& s = Settings();
  AppSettings fresh;
  s.programFolder = programFolder.empty() || programFolder.back() == '/' ? programFolder : programFolder + "/";
  s.resourceFolder = s.programFolder.empty() ? s.programFolder : platform::ResourceFolder(s.programFolder);
  s.language = 0;
  s.chosenLanguage = 0;
  s.defaultLongitude = fresh.defaultLongitude;
  s.defaultLatitude = fresh.defaultLatitude;
  s.soundAmplification = 1;
  s.snapshotFolder = fresh.snapshotFolder;
  s.uiMode = s.savedUiMode = -1;
  s.displayMode = 0;
  s.speedUnit = s.imageType = s.burstCount = 0;
  s.languages = fresh.languages;
}

std::string ConfigFilePath() {
  return ConfigInProgramFolder() ? ProgramConfigFile() : XdgConfigFile();
}

std::string LanguageFolder() { return Settings().resourceFolder + "Language/"; }

int ReadConfigInt(std::string_view section, std::string_view key, int def) {
  return platform::ProfileGetInt(ConfigReadPath(), section, key, def);
}

std::string ReadConfigText(std::string_view section, std::string_view key, std::string_view def) {
  return platform::TruncateUtf8(platform::ProfileGetString(ConfigReadPath(), section, key, def), kTextLimit);
}

bool WriteConfigText(std::string_view section, std::string_view key, std::string_view value) {
  std::string path = ConfigFilePath();
  if (path != ProgramConfigFile() && !FileExists(path)) {
    // First write to the user's file: start from the program folder's copy so
    // keys set there by hand are kept.
    if (!platform::EnsureFolderFor(path)) return false;
    if (FileExists(ProgramConfigFile())) {
      std::ifstream in(ProgramConfigFile(), std::ios::binary);
      std::ofstream out(path, std::ios::binary);
      out << in.rdbuf();
      if (!out) return false;
    }
  }
  return platform::ProfileWriteString(path, section, key, value);
}

bool WriteConfigInt(std::string_view section, std::string_view key, int value) {
  return WriteConfigText(section, key, std::to_string(value));
}

int LargestUiMode(int screenWidth, int screenHeight) {
  if (screenWidth < 1280 || screenHeight < 800) return 0;
  if (screenWidth < 1920 || screenHeight < 1080) return 1;
  return 2;
}

void LoadSettings(int screenWidth, int screenHeight) {
  AppSettings& s = Settings();
  s.snapshotFolder = ReadConfigText(kConfigSection, "Snapshot Path", s.snapshotFolder);

  int mode = ReadConfigInt(kConfigSection, "UIMode", s.uiMode);
  int largest = LargestUiMode(screenWidth, screenHeight);
  if (mode < 0 || mode > 2) mode = largest;
  s.uiMode = std::min(mode, largest);
  s.savedUiMode = s.uiMode;

  s.defaultLongitude = platform::ParseDecimalPrefix(
      ReadConfigText(kConfigSection, "m_default_lng", platform::FormatFixed6(s.defaultLongitude)));
  s.defaultLatitude = platform::ParseDecimalPrefix(
      ReadConfigText(kConfigSection, "m_default_lat", platform::FormatFixed6(s.defaultLatitude)));

  s.displayMode = ReadConfigInt(kConfigSection, "DisplayMode", s.displayMode);
  s.speedUnit = ReadConfigInt(kConfigSection, "UnitOfSpeed", s.speedUnit);
  s.soundAmplification = ReadConfigInt(kConfigSection, "m_dSoundAmplification", s.soundAmplification);
  s.imageType = ReadConfigInt(kConfigSection, "m_imagetype", s.imageType);
  s.burstCount = ReadConfigInt(kConfigSection, "m_contishoot", s.burstCount);
}

bool SaveSettings() {
  AppSettings& s = Settings();
  bool ok = WriteConfigText(kConfigSection, "Snapshot Path", s.snapshotFolder);
  s.uiMode = s.savedUiMode;
  ok = WriteConfigInt(kConfigSection, "UIMode", s.uiMode) && ok;
  ok = WriteConfigText(kConfigSection, "m_default_lng", platform::FormatFixed6(s.defaultLongitude)) && ok;
  ok = WriteConfigText(kConfigSection, "m_default_lat", platform::FormatFixed6(s.defaultLatitude)) && ok;
  ok = WriteConfigInt(kConfigSection, "DisplayMode", s.displayMode) && ok;
  ok = WriteConfigInt(kConfigSection, "UnitOfSpeed", s.speedUnit) && ok;
  ok = WriteConfigInt(kConfigSection, "m_dSoundAmplification", s.soundAmplification) && ok;
  ok = WriteConfigInt(kConfigSection, "m_imagetype", s.imageType) && ok;
  ok = WriteConfigInt(kConfigSection, "m_contishoot", s.burstCount) && ok;
  return ok;
}

void ScanLanguages() {
  AppSettings& s = Settings();
  std::string wanted = ReadConfigText(kConfigSection, "Language File", "");
  if (wanted.empty()) wanted = SystemLanguageCode();
  for (const auto& file : platform::FindFiles(LanguageFolder() + "*.ini")) {
    if (file.isDirectory) continue;
    for (size_t i = 0; s.languages[i].code[0] != '\0'; ++i) {
      if (file.name != std::string(s.languages[i].code) + ".ini") continue;
      s.languages[i].present = true;
      if (s.language == 0 && wanted == s.languages[i].code) s.language = static_cast<int>(i);
      break;
    }
  }
  s.chosenLanguage = s.language;
}

bool SaveLanguageChoice() {
  AppSettings& s = Settings();
  if (s.chosenLanguage != s.language && s.chosenLanguage >= 0 && s.chosenLanguage < kLanguageCount)
    s.language = s.chosenLanguage;
  return WriteConfigText(kConfigSection, "Language File", s.languages[static_cast<size_t>(s.language.load())].code);
}

std::string Translate(std::string_view english) {
  const AppSettings& s = Settings();
  int index = s.language.load(std::memory_order_relaxed);
  if (index < 0 || index >= kLanguageCount || !s.languages[static_cast<size_t>(index)].present)
    return std::string(english);
  // A missing or empty translation shows the English text.
  auto text = platform::ProfileLookup(LanguageFilePath(index), kLanguageSection, english);
  if (!text || text->empty()) return std::string(english);
  return platform::TruncateUtf8(*text, kTextLimit);
}

std::string SystemLanguageCode() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(var);
    if (value && *value) return LanguageCodeForId(LangIdForLocale(value));
  }
  return "en_US";
}

std::string LocaleNameOfLanguage(std::string_view code) {
  // Codes of the language table that are not the locale's own name.
  static constexpr std::pair<std::string_view, std::string_view> kOwnNames[] = {
      {"jp_JP", "ja_JP"}, {"cz_CZ", "cs_CZ"}, {"ua_UA", "uk_UA"}, {"ba_BA", "eu_ES"},
      {"es_AS", "ast_ES"}, {"fr_BR", "br_FR"},
  };
  for (const auto& [table, locale] : kOwnNames)
    if (code == table) return std::string(locale);
  return std::string(code);
}

std::string LanguageLocaleName() {
  const AppSettings& s = Settings();
  const int index = s.language.load(std::memory_order_relaxed);
  if (index < 0 || index >= kLanguageCount || !s.languages[static_cast<size_t>(index)].present) return "en_US";
  return LocaleNameOfLanguage(s.languages[static_cast<size_t>(index)].code);
}
