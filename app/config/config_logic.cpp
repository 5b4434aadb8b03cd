#include "app/config/config_logic.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iterator>

namespace {

// The position, or def when the value lies outside a list of n entries.
int InList(int value, size_t n, int def) { return value >= 0 && static_cast<size_t>(value) < n ? value : def; }

} // namespace

std::vector<LanguageItem> PresentLanguages(const AppSettings& s) {
  std::vector<LanguageItem> items;
  for (size_t i = 0; i < s.languages.size() && s.languages[i].code[0] != '\0'; ++i)
    if (s.languages[i].present) items.push_back({static_cast<int>(i), s.languages[i].displayName});
  return items;
}

ConfigValues ConfigValuesFrom(const AppSettings& s) {
  ConfigValues v;
  v.snapshotFolder = s.snapshotFolder;
  v.burstCount = s.burstCount;
  v.language = -1;
  for (const LanguageItem& item : PresentLanguages(s))
    if (item.tableIndex == s.language) v.language = item.tableIndex;
  v.imageType = InList(s.imageType, std::size(kImageTypes), 0);
  const int inUse = InList(s.uiMode, std::size(kUiModes), 0);
  v.uiMode = InList(s.savedUiMode, std::size(kUiModes), inUse);
  v.displayMode = InList(s.displayMode, std::size(kDisplayModes), 0);
  v.speedUnit = InList(s.speedUnit, std::size(kSpeedUnits), 0);
  v.amplification = InList(s.soundAmplification - 1, std::size(kAmplifications), 0);
  return v;
}

UiModeCheck CheckUiModeChoice(int choice, int w, int h) {
  UiModeCheck r{choice, nullptr};
  if (r.mode == 2 && (w < 1280 || h < 800)) {
    r = {0, configtext::kLess1280};
  } else if (r.mode == 2 && (w < 1920 || h < 1080)) {
    r = {1, configtext::kLess1920};
  }
  if (r.mode == 1 && (w < 1280 || h < 800)) r = {0, configtext::kLess1280};
  return r;
}

ConfigValues ApplyConfig(ConfigValues v, UserPrompts& prompts, PanelRefresh* panel) {
  AppSettings& s = Settings();
  s.snapshotFolder = v.snapshotFolder;
  if (v.burstCount < 1) {
    v.burstCount = 1;
    prompts.Inform(Translate(configtext::kBurst));
  }
  if (v.uiMode >= 0 && static_cast<size_t>(v.uiMode) < std::size(kUiModes)) {
    s.savedUiMode = v.uiMode;
    if (v.uiMode != s.uiMode) prompts.Inform(Translate(configtext::kRestart));
  }
  s.burstCount = v.burstCount;
  s.imageType = v.imageType;
  s.displayMode = v.displayMode;
  s.speedUnit = v.speedUnit;
  s.soundAmplification = v.amplification + 1;
  if (v.language >= 0) s.chosenLanguage = v.language;
  SaveLanguageChoice();
  if (panel) {
    panel->RefreshSpeedUnit();
    panel->RefreshLanguageTexts();
  }
  return v;
}

int ParseBurstCount(const std::string& text) {
  const long n = std::strtol(text.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long>(n, INT_MIN, INT_MAX));
}
