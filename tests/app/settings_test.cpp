#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/settings.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// A program folder of its own for each test, with the locale cleared.
class SettingsTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(v);
    ResetSettings(dir.path());
  }
  void TearDown() override { ResetSettings(dir.path()); }
  std::string Config() { return dir / "Config.ini"; }
  void AddLanguage(const std::string& code, const std::string& body = "[Language String]\n") {
    ::mkdir((dir / "Language").c_str(), 0755);
    WriteFile(dir / ("Language/" + code + ".ini"), body);
  }
  std::string LanguageInUse() { return Settings().languages[static_cast<size_t>(Settings().language.load())].code; }
  TempDir dir;
};

} // namespace

TEST_F(SettingsTest, UiModeIsClampedToTheScreen) {
  struct Case {
    const char* stored; // nullptr: no Config.ini
    int width, height;
    int mode;
  } cases[] = {
      {nullptr, 1366, 768, 0}, {nullptr, 1600, 900, 1}, {nullptr, 1920, 1080, 2},
      {"2", 1280, 1024, 1},    {"7", 1600, 900, 1},     {"-1", 2560, 1440, 2},
      {"0", 3840, 2160, 0},    {"1", 1024, 600, 0},     {"x", 1920, 1200, 0},
  };
  for (const auto& c : cases) {
    ResetSettings(dir.path());
    std::remove(Config().c_str());
    if (c.stored) WriteFile(Config(), std::string("[Config]\nUIMode=") + c.stored + "\n");
    LoadSettings(c.width, c.height);
    EXPECT_EQ(Settings().uiMode, c.mode) << (c.stored ? c.stored : "none") << " " << c.width << "x" << c.height;
    EXPECT_EQ(Settings().savedUiMode, c.mode);
  }
}

TEST_F(SettingsTest, EveryKeySurvivesARoundTrip) {
  AppSettings& s = Settings();
  s.snapshotFolder = "/media/photos/Capture/";
  s.uiMode = 2;
  s.savedUiMode = 1;
  s.defaultLongitude = 121.5;
  s.defaultLatitude = 25.03;
  s.displayMode = 1;
  s.speedUnit = 2;
  s.soundAmplification = 7;
  s.imageType = 1;
  s.burstCount = 5;
  WriteFile(Config(), "[Config]\nGPS_Offset_Auto=0\nGPS_Offset_X=0.0031\n");
  ASSERT_TRUE(SaveSettings());
  EXPECT_EQ(s.uiMode, 1);

  std::string text = ReadFile(Config());
  EXPECT_NE(text.find("m_default_lng=121.500000"), std::string::npos) << text;
  EXPECT_NE(text.find("m_default_lat=25.030000"), std::string::npos) << text;
  EXPECT_NE(text.find("GPS_Offset_X=0.0031"), std::string::npos) << "keys the player never writes are kept";

  ResetSettings(dir.path());
  LoadSettings(1920, 1080);
  EXPECT_EQ(s.snapshotFolder, "/media/photos/Capture/");
  EXPECT_EQ(s.uiMode, 1);
  EXPECT_DOUBLE_EQ(s.defaultLongitude, 121.5);
  EXPECT_DOUBLE_EQ(s.defaultLatitude, 25.03);
  EXPECT_EQ(s.displayMode, 1);
  EXPECT_EQ(s.speedUnit, 2);
  EXPECT_EQ(s.soundAmplification, 7);
  EXPECT_EQ(s.imageType, 1);
  EXPECT_EQ(s.burstCount, 5);
  EXPECT_EQ(ReadConfigInt("Config", "GPS_Offset_Auto", 1), 0);
}

TEST_F(SettingsTest, MissingOrDamagedFilesGiveTheDefaults) {
  for (std::string content : {std::string(), std::string("\x01\x02\xFF\xFE\x00junk", 10),
                              std::string("[Config]\nm_default_lng=east\nm_contishoot=99999999999\n")}) {
    ResetSettings(dir.path());
    WriteFile(Config(), content);
    LoadSettings(1280, 800);
    EXPECT_EQ(Settings().uiMode, 1);
    EXPECT_EQ(Settings().soundAmplification, 1);
    EXPECT_EQ(Settings().snapshotFolder.substr(Settings().snapshotFolder.size() - 8), "Capture/");
    if (content.find("east") != std::string::npos) {
      EXPECT_EQ(Settings().defaultLongitude, 0.0); // not a number reads as 0
    } else {
      EXPECT_DOUBLE_EQ(Settings().defaultLongitude, 120.528903);
    }
  }
  EXPECT_EQ(ReadConfigText("Config", "Snapshot Path", "def"), "def");
}

TEST_F(SettingsTest, SettingsThatCannotBeWrittenAreReported) {
  ResetSettings(dir / "no/such/folder");
  // The folder is missing, so the user's configuration folder is used instead.
  TempDir home;
  ::setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
  EXPECT_TRUE(SaveSettings());
  EXPECT_NE(ReadFile(home / "velmora/Config.ini").find("UIMode="), std::string::npos);
  ::setenv("XDG_CONFIG_HOME", (dir / "Config.ini").c_str(), 1); // a file where a folder should be
  WriteFile(Config(), "");
  EXPECT_FALSE(SaveSettings());
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(SettingsTest, AnInstalledCopyKeepsItsSettingsAndReadsItsLanguagesPerPrefix) {
  // prefix/bin/velmora with prefix/share/velmora/Language: writable, yet installed.
  ASSERT_TRUE(platform::EnsureFolderFor(dir / "prefix/bin/velmora"));
  WriteFile(dir / "prefix/bin/Config.ini", "[Config]\nUIMode=0\n"); // a stray file is not read
  ASSERT_TRUE(platform::EnsureFolderFor(dir / "prefix/share/velmora/Language/de_DE.ini"));
  WriteFile(dir / "prefix/share/velmora/Language/de_DE.ini", "[Language String]\nTip=Hinweis\n");
  TempDir home;
  ::setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
  ASSERT_TRUE(platform::EnsureFolderFor(home / "velmora/Config.ini"));
  WriteFile(home / "velmora/Config.ini", "[Config]\nLanguage File=de_DE\n");
  ResetSettings(dir / "prefix/bin");
  EXPECT_EQ(LanguageFolder(), dir / "prefix/share/velmora/Language/");
  EXPECT_EQ(ConfigFilePath(), home / "velmora/Config.ini");
  ScanLanguages();
  EXPECT_EQ(Translate("Tip"), "Hinweis");
  EXPECT_EQ(ReadConfigInt("Config", "UIMode", -1), -1);
  EXPECT_TRUE(SaveSettings());
  EXPECT_NE(ReadFile(home / "velmora/Config.ini").find("UIMode="), std::string::npos);
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(SettingsTest, LanguageIsChosenFromConfigOrLocaleWhenItsFileExists) {
  struct Case {
    const char* languageFile; // "Language File" in Config.ini
    const char* locale;       // LANG
    bool germanFilePresent;
    const char* expected;
  } cases[] = {
      {"de_DE", nullptr, true, "de_DE"},  {"de_DE", nullptr, false, "en_US"},
      {"", "de_DE.UTF-8", true, "de_DE"}, {"", "de_AT.UTF-8", true, "en_US"},
      {"", "C", true, "en_US"},           {"DE_de", nullptr, true, "en_US"},
      {"fr_FR", "de_DE", true, "en_US"},
  };
  for (const auto& c : cases) {
    TempDir folder;
    ResetSettings(folder.path());
    ::mkdir((folder / "Language").c_str(), 0755);
    WriteFile(folder / "Language/en_US.ini", "");
    if (c.germanFilePresent) WriteFile(folder / "Language/de_DE.ini", "");
    WriteFile(folder / "Language/xx_XX.ini", "");
    WriteFile(folder / "Config.ini", std::string("[Config]\nLanguage File=") + c.languageFile + "\n");
    if (c.locale) ::setenv("LANG", c.locale, 1);
    else ::unsetenv("LANG");
    ScanLanguages();
    EXPECT_EQ(LanguageInUse(), c.expected) << c.languageFile << " " << (c.locale ? c.locale : "-");
    EXPECT_EQ(Settings().chosenLanguage, Settings().language.load());
    EXPECT_EQ(Settings().languages[8].present, c.germanFilePresent);
  }
  ::unsetenv("LANG");
}

TEST_F(SettingsTest, SystemLanguageCodesFollowTheLocale) {
  struct Case {
    const char* var;
    const char* value;
    const char* code;
  } cases[] = {
      {"LANG", "de_DE.UTF-8", "de_DE"}, {"LANG", "cs_CZ.UTF-8", "cz_CZ"}, {"LANG", "ja_JP.UTF-8", "jp_JP"},
      {"LANG", "zh_TW.UTF-8", "zh_TW"}, {"LANG", "zh_CN.GB2312", "zh_CN"}, {"LANG", "es_ES@euro", "es_ES"},
      {"LANG", "pt_BR.UTF-8", "en_US"}, {"LC_ALL", "ru_RU.UTF-8", "ru_RU"}, {"LC_MESSAGES", "lt_LT", "lt_LT"},
      {"LANG", "fr", "fr_FR"},          {"LANG", "", "en_US"},
  };
  for (const auto& c : cases) {
    for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(v);
    ::setenv(c.var, c.value, 1);
    EXPECT_EQ(SystemLanguageCode(), c.code) << c.var << "=" << c.value;
  }
  ::setenv("LANG", "de_DE.UTF-8", 1);
  ::setenv("LC_ALL", "it_IT.UTF-8", 1); // LC_ALL wins
  EXPECT_EQ(SystemLanguageCode(), "it_IT");
  ::unsetenv("LC_ALL");
  ::unsetenv("LANG");
}

TEST_F(SettingsTest, TranslateFallsBackToEnglishAndCutsLongTexts) {
  std::string longText(300, 'w');
  AddLanguage("de_DE", "[Language String]\nFinish Backup=Sicherung fertig\nEmpty=\nLong=" + longText + "\n");
  WriteFile(Config(), "[Config]\nLanguage File=de_DE\n");
  EXPECT_EQ(Translate("Finish Backup"), "Finish Backup"); // nothing scanned yet
  ScanLanguages();
  EXPECT_EQ(Translate("Finish Backup"), "Sicherung fertig");
  EXPECT_EQ(Translate("finish backup"), "Sicherung fertig"); // keys match without case
  EXPECT_EQ(Translate("Not In The File"), "Not In The File");
  EXPECT_EQ(Translate("Empty"), "Empty");
  EXPECT_EQ(Translate("Long"), std::string(259, 'w'));
  // The file is read on every call: a change shows at once, a removal gives English.
  WriteFile(dir / "Language/de_DE.ini", "\xFF\xFE" + platform::Utf8ToUtf16Le("[Language String]\r\nFinish Backup=Fertig\r\n"));
  EXPECT_EQ(Translate("Finish Backup"), "Fertig");
  std::remove((dir / "Language/de_DE.ini").c_str());
  EXPECT_EQ(Translate("Finish Backup"), "Finish Backup");
}

TEST_F(SettingsTest, SavingTheLanguageChoiceStoresItsCode) {
  AddLanguage("en_US");
  AddLanguage("fr_FR", "[Language String]\nTip=Astuce\n");
  ScanLanguages();
  EXPECT_EQ(LanguageInUse(), "en_US");
  Settings().chosenLanguage = 14; // fr_FR
  ASSERT_TRUE(SaveLanguageChoice());
  EXPECT_EQ(LanguageInUse(), "fr_FR");
  EXPECT_EQ(Translate("Tip"), "Astuce");
  EXPECT_EQ(ReadConfigText("Config", "Language File", ""), "fr_FR");
}
