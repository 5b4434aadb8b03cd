#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/config/config_logic.h"
#include "platform/profile.h"
#include "tests/support/test_support.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

class Messages : public UserPrompts {
public:
  void Inform(const std::string& text) override { shown.push_back(text); }
  bool Confirm(const std::string&) override { return false; }
  std::vector<std::string> shown;
};

class Panel : public PanelRefresh {
public:
  void RefreshSpeedUnit() override { calls.push_back("speed"); }
  void RefreshLanguageTexts() override { calls.push_back("language"); }
  std::vector<std::string> calls;
};

class ConfigLogicTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(v);
    ResetSettings(dir.path());
  }
  void TearDown() override { ResetSettings(dir.path()); }
  TempDir dir;
  Messages messages;
  Panel panel;
};

} // namespace

TEST(ConfigLogic, UiModeChoicesAreCheckedAgainstTheScreen) {
  struct Case {
    int choice, width, height, mode;
    const char* message;
  } cases[] = {
      {2, 1600, 900, 1, configtext::kLess1920},
      {2, 1024, 768, 0, configtext::kLess1280},
      {2, 1920, 1080, 2, nullptr},
      {1, 1024, 768, 0, configtext::kLess1280},
      {1, 1280, 800, 1, nullptr},
      {1, 1920, 799, 0, configtext::kLess1280},
      {0, 800, 600, 0, nullptr},
  };
  for (const Case& c : cases) {
    UiModeCheck r = CheckUiModeChoice(c.choice, c.width, c.height);
    EXPECT_EQ(r.mode, c.mode) << c.choice << " on " << c.width << "x" << c.height;
    EXPECT_STREQ(r.message ? r.message : "", c.message ? c.message : "");
  }
}

TEST_F(ConfigLogicTest, OkStoresValuesCorrectsTheBurstCountAndRefreshesThePanel) {
  Settings().uiMode = Settings().savedUiMode = 1;
  ConfigValues v = ConfigValuesFrom(Settings());
  EXPECT_EQ(v.language, 0);
  v.snapshotFolder = "/tmp/shots/";
  v.amplification = 9;
  v.imageType = 1;
  v.speedUnit = 2;
  for (const char* typed : {"0", "-3", "x"}) {
    messages.shown.clear();
    v.burstCount = ParseBurstCount(typed);
    EXPECT_EQ(ApplyConfig(v, messages, &panel).burstCount, 1) << typed;
    EXPECT_EQ(messages.shown, std::vector<std::string>{configtext::kBurst});
    EXPECT_EQ(Settings().burstCount, 1);
  }
  EXPECT_EQ(Settings().soundAmplification, 10);
  EXPECT_EQ(ConfigValuesFrom(Settings()).amplification, 9); // "1000 %" selected again
  EXPECT_EQ(Settings().snapshotFolder, "/tmp/shots/");
  EXPECT_EQ(Settings().imageType, 1);
  EXPECT_EQ(Settings().speedUnit, 2);
  EXPECT_EQ(panel.calls, (std::vector<std::string>{"speed", "language", "speed", "language", "speed", "language"}));
  EXPECT_EQ(platform::ProfileGetString(ConfigFilePath(), "Config", "Language File", ""), "en_US");
}

TEST_F(ConfigLogicTest, UiModeChoiceIsAlwaysSavedAndCanBeTakenBack) {
  Settings().uiMode = Settings().savedUiMode = 1;
  ConfigValues v = ConfigValuesFrom(Settings());
  v.burstCount = 2;
  v.uiMode = 2;
  ApplyConfig(v, messages, nullptr);
  EXPECT_EQ(messages.shown, std::vector<std::string>{configtext::kRestart});
  EXPECT_EQ(Settings().uiMode, 1); // the layout in use stays until the next start
  EXPECT_EQ(Settings().savedUiMode, 2);
  EXPECT_EQ(ConfigValuesFrom(Settings()).uiMode, 2); // reopening shows the choice

  messages.shown.clear();
  v.uiMode = 1;
  ApplyConfig(v, messages, nullptr);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(Settings().savedUiMode, 1);
}

TEST_F(ConfigLogicTest, StoredValuesOutsideTheListsSelectTheDefaults) {
  AppSettings& s = Settings();
  s.uiMode = 1;
  s.savedUiMode = 1;
  s.imageType = 5;
  s.displayMode = -1;
  s.speedUnit = 3;
  s.soundAmplification = 0;
  const ConfigValues v = ConfigValuesFrom(s);
  EXPECT_EQ(v.imageType, 0);
  EXPECT_EQ(v.displayMode, 0);
  EXPECT_EQ(v.speedUnit, 0);
  EXPECT_EQ(v.amplification, 0);
  EXPECT_EQ(v.uiMode, 1);
}

TEST_F(ConfigLogicTest, OnlyPresentLanguagesAreListed) {
  EXPECT_EQ(PresentLanguages(Settings()).size(), 1u); // English alone
  ::mkdir((dir / "Language").c_str(), 0755);
  for (const char* code : {"en_US", "de_DE", "xx_XX"}) WriteFile(dir / ("Language/" + std::string(code) + ".ini"), "");
  ScanLanguages();
  auto items = PresentLanguages(Settings());
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].tableIndex, 8);
  EXPECT_EQ(items[1].displayName, "German (Germany)");
}
