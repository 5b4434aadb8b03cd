#pragma once
// The configuration store ("Config.ini", section "Config") and the language
// files ("Language/<code>.ini", section "Language String").
// Nothing here needs a display: the screen size is passed in.
#include <array>
#include <atomic>
#include <string>
#include <string_view>

// One entry of the table of known languages.
struct LanguageEntry {
  int number;              // position + 1
  bool present;            // its file exists in Language/
  const char* code;        // "en_US"
  const char* displayName; // shown in the settings dialog
};

constexpr int kLanguageCount = 41;

// The process-wide settings record. Fields that a pipeline thread reads while
// the user interface may change them are atomic.
struct AppSettings {
  std::string programFolder;              // with a trailing '/'
  std::string resourceFolder;             // Language/, map/, offset_min.bin; with a trailing '/'
  std::atomic<int> language{0};           // index of the language in use
  int chosenLanguage = 0;                 // chosen in the settings dialog
  double defaultLongitude = 120.528903;
  double defaultLatitude = 24.077715;
  std::atomic<int> soundAmplification{1}; // 1..10 = 100 % .. 1000 %
  std::string snapshotFolder;             // "~/Capture/" of the user
  int uiMode = -1;                        // 0 = 960*600, 1 = 1280*800, 2 = 1920*1080
  int savedUiMode = -1;
  std::atomic<int> displayMode{0};        // 0 = YV12, 1 = RGB; the video thread may fall back to RGB
  int speedUnit = 0;                      // 0 = Km/h, 1 = Mile/h, 2 = Knot
  int imageType = 0;                      // 0 = BMP, 1 = JPG
  int burstCount = 0;
  // The table of known languages (41 entries and an end entry with an empty code).
  std::array<LanguageEntry, kLanguageCount + 1> languages;

  AppSettings();
};

// The record of this process.
AppSettings& Settings();
// Puts the record back to its initial values, with the given program folder
// (tests and tools use it to point the store at a folder of their own).
void ResetSettings(const std::string& programFolder);

// The settings file: "Config.ini" in the program folder, or in
// $XDG_CONFIG_HOME/velmora/ when the program folder cannot be written or the
// program is an installed copy (its resources under the prefix's share/velmora/).
std::string ConfigFilePath();
// The folder of the language files, with a trailing '/'.
std::string LanguageFolder();

int ReadConfigInt(std::string_view section, std::string_view key, int def);
// At most 259 characters; def when the value is missing or empty.
std::string ReadConfigText(std::string_view section, std::string_view key, std::string_view def);
bool WriteConfigText(std::string_view section, std::string_view key, std::string_view value);
bool WriteConfigInt(std::string_view section, std::string_view key, int value);

// The largest UI mode a screen of this size holds.
int LargestUiMode(int screenWidth, int screenHeight);
void LoadSettings(int screenWidth, int screenHeight);
// Returns false when the file could not be written.
bool SaveSettings();

void ScanLanguages();
// Applies the chosen language and stores its code; false when it could not be stored.
bool SaveLanguageChoice();
// The text in the language in use (at most 259 characters); the English text
// itself when the language has no file or the file no such key.
std::string Translate(std::string_view english);
// The table code for the process locale (LC_ALL, LC_MESSAGES, LANG).
std::string SystemLanguageCode();
// The locale name ("ja_JP") that formats dates, names and numbers for a table
// code: the code itself where it is one, the locale's own for the codes that
// are not ("jp_JP", "cz_CZ", "ua_UA", ...).
std::string LocaleNameOfLanguage(std::string_view code);
// The locale name of the language the texts are shown in: "en_US" while the
// language in use has no file.
std::string LanguageLocaleName();
