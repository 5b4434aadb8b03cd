#pragma once
// What the settings dialog does, without Qt: the values it shows, the UI-mode
// checks against the screen, and OK. The Qt dialog shows and forwards.
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/user_prompts.h"
#include "platform/tr_key.h"

// Every message of the dialog, by its English text.
namespace configtext {
inline constexpr const char* kLess1280 = TR_KEY("Screen Resolution is Less than 1280*800");
inline constexpr const char* kLess1920 = TR_KEY("Screen Resolution is Less than 1920*1080");
inline constexpr const char* kBurst =
    TR_KEY("Value of continuous shooting must be more than 0, System already update it");
inline constexpr const char* kRestart = TR_KEY("UI has been modified, please restart the program");
inline constexpr const char* kFolderTitle = TR_KEY("Selete a folder...");
} // namespace configtext

// The fixed lists, in position order (stored value = position, amplification = position + 1).
inline constexpr const char* kImageTypes[] = {"BMP", "JPG"};
inline constexpr const char* kUiModes[] = {"960*600", "1280*800", "1920*1080"};
inline constexpr const char* kDisplayModes[] = {"YV12", "RGB"};
inline constexpr const char* kSpeedUnits[] = {"Km/h", "Mile/h", "Knot"};
inline constexpr const char* kAmplifications[] = {"100 %", "200 %", "300 %", "400 %", "500 %",
                                                  "600 %", "700 %", "800 %", "900 %", "1000 %"};

// What the play control panel re-applies after OK.
class PanelRefresh {
public:
  virtual ~PanelRefresh() = default;
  virtual void RefreshSpeedUnit() = 0;
  virtual void RefreshLanguageTexts() = 0;
};

struct LanguageItem {
  int tableIndex;
  std::string displayName;
};

// What the dialog's controls hold: list positions, the folder, the burst count.
struct ConfigValues {
  std::string snapshotFolder;
  int burstCount = 0;
  int language = -1; // table index of the selected language, -1 when none is selected
  int imageType = 0, uiMode = 0, displayMode = 0, speedUnit = 0, amplification = 0;
};

// The present languages, in table order.
std::vector<LanguageItem> PresentLanguages(const AppSettings& s);
// The values to show when the dialog opens. A stored value outside its list
// selects the list's default; the UI mode shows the saved mode (the choice
// made earlier in this run, else the mode in use).
ConfigValues ConfigValuesFrom(const AppSettings& s);

// The UI-mode choice checked against the screen: the mode that stays selected
// and the message to show (nullptr when none).
struct UiModeCheck {
  int mode;
  const char* message;
};
UiModeCheck CheckUiModeChoice(int choice, int screenWidth, int screenHeight);

// OK: stores the values in the settings (the burst count corrected to 1 with
// its message, the UI-mode choice always as the saved mode with the restart
// message when it differs from the mode in use), saves the language choice and
// asks the panel to refresh. Works on the process's settings (Settings()).
// Returns the values as corrected.
ConfigValues ApplyConfig(ConfigValues v, UserPrompts& prompts, PanelRefresh* panel);

// The burst count as typed: a leading integer, 0 when there is none.
int ParseBurstCount(const std::string& text);
