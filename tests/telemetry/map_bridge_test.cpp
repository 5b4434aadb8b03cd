#include "telemetry/map/map_bridge.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "app/map_offset_config.h"
#include "app/settings.h"
#include "telemetry/telemetry.h"
#include "tests/support/test_support.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const std::string kFix = "X:0.1 $GPRMC,123519.000,A,4807.0380,N,01131.0000,E,022.4,084.4,230394,003.1,W,A*6A";
const std::string kFix2 = "$GPRMC,123520.000,A,4807.1380,N,01131.2000,E,010,270.0,230394,003.1,W,A*6A";
const std::string kZeroFix = "$GPRMC,123521.000,A,0000.0000,N,00000.0000,E,0,0,230394,,,A*6A";
const std::string kDamaged = "$GPRMC,123522.000,A,4808.0000,N,12#31.7340,E,022.4,084.4,230394,003.1,W,A*6A";

class MapBridgeTest : public ::testing::Test {
protected:
  void SetUp() override {
    ::unsetenv("XDG_CONFIG_HOME");
    ResetSettings(dir.path());
  }
  void TearDown() override { ResetSettings(dir.path()); }
  void Config(const std::string& body) { WriteFile(dir / "Config.ini", "[Config]\n" + body); }
  TempDir dir;
};

} // namespace

TEST(MapScripts, NumbersAndTextsAsJavaScriptReadsThem) {
  struct Case {
    double value;
    const char* text;
  } numbers[] = {
      {120.528903, "120.528903"}, {-0.5, "-0.5"},  {0, "0"},
      {1e300, "1e+300"},          {0.1 + 0.2, "0.30000000000000004"},
      {std::nan(""), "NaN"},      {HUGE_VAL, "Infinity"}, {-HUGE_VAL, "-Infinity"},
  };
  for (const auto& c : numbers) EXPECT_EQ(JsNumber(c.value), c.text) << c.value;
  EXPECT_EQ(JsString("running"), "\"running\"");
  EXPECT_EQ(JsString("a\"b\\c\nd</script>\x01"), "\"a\\\"b\\\\c\\nd\\x3c/script>\\x01\"");
  EXPECT_EQ(JsString("連線失敗"), "\"連線失敗\"");

  EXPECT_EQ(MapBridge::ReadCallResult("ran"), ScriptOutcome::Ran);
  EXPECT_EQ(MapBridge::ReadCallResult("missing"), ScriptOutcome::Missing);
  std::string message;
  EXPECT_EQ(MapBridge::ReadCallResult("failed: boom", &message), ScriptOutcome::Failed);
  EXPECT_EQ(message, "boom");
}

// The values a fix leaves, for the current track index and for an old one; a
// rejected sentence and a 0, 0 fix; the track reset.
TEST_F(MapBridgeTest, FixesStoreAndSendByTrackIndex) {
  Config("GPS_Offset_Auto=0\nGPS_Offset_X=0.0031\nGPS_Offset_Y=-0.0052\n");
  MapBridge map(ReadMapOptions());
  std::string push;
  ASSERT_TRUE(map.ClearTrack(1, push));
  EXPECT_NE(push.find("Index:-1}"), std::string::npos) << push;
  EXPECT_NE(push.find("map_status:\"clear\""), std::string::npos) << push;
  EXPECT_EQ(map.TrackIndex(), 1);
  EXPECT_FALSE(map.ClearTrack(1, push)); // the same index: nothing to do

  ASSERT_EQ(map.UpdatePosition(1, kFix), MapBridge::Update::Send);
  EXPECT_NEAR(map.Latitude(), 48.1173, 1e-6);
  EXPECT_NEAR(map.Longitude(), 11.516667, 1e-6);
  EXPECT_NEAR(map.Speed(), 41.4848, 1e-9);
  EXPECT_EQ(map.Angle(), 84.4);
  EXPECT_EQ(map.OffsetLatitude(), 0.0031);
  EXPECT_EQ(map.OffsetLongitude(), -0.0052);
  EXPECT_EQ(map.Status(), "running");
  EXPECT_EQ(Settings().defaultLatitude, map.Latitude());
  EXPECT_EQ(Settings().defaultLongitude, map.Longitude());
  push = map.PushScript();
  for (const char* piece : {"map_lng:11.51666666666", "map_lat:48.1173", "offset_lng:-0.0052", "offset_lat:0.0031",
                            "map_status:\"running\"", "SpeedBarText:41.4848", "AngleBar:84.4", "Index:1}"})
    EXPECT_NE(push.find(piece), std::string::npos) << piece << " in " << push;

  // An old index: the panel's values follow, the settings and the status do not.
  ASSERT_EQ(map.UpdatePosition(0, kFix2), MapBridge::Update::Stored);
  EXPECT_NEAR(map.Latitude(), 48 + 7.138 / 60, 1e-9);
  EXPECT_EQ(map.Speed(), 18.52);
  EXPECT_NEAR(Settings().defaultLatitude, 48.1173, 1e-9);

  // Rejected, also at a late field: nothing changes.
  const double lat = map.Latitude(), lng = map.Longitude();
  EXPECT_EQ(map.UpdatePosition(1, kDamaged), MapBridge::Update::Rejected);
  EXPECT_EQ(map.UpdatePosition(1, "X:0.5 no sentence"), MapBridge::Update::Rejected);
  EXPECT_EQ(map.Latitude(), lat);
  EXPECT_EQ(map.Longitude(), lng);

  // A receiver's 0, 0 is sent but never kept as the next start's centre.
  EXPECT_EQ(map.UpdatePosition(1, kZeroFix), MapBridge::Update::Send);
  EXPECT_EQ(map.Latitude(), 0);
  EXPECT_NEAR(Settings().defaultLatitude, 48.1173, 1e-9);
  EXPECT_NEAR(Settings().defaultLongitude, 11.516667, 1e-6);

  ASSERT_EQ(map.UpdatePosition(1, kFix), MapBridge::Update::Send);
  ASSERT_TRUE(map.ClearTrack(2, push));
  EXPECT_EQ(push, "(function(){var v={map_lng:0,map_lat:0,offset_lng:-0.0052,offset_lat:0.0031,map_status:\"clear\","
                  "SpeedBarText:0,AngleBar:0,Index:-1};for(var k in v){var e=document.getElementById(k);"
                  "if(e)e.value=v[k];}})();");
  EXPECT_EQ(map.TrackIndex(), 2);
}

TEST_F(MapBridgeTest, DefaultPositionComesFromTheSettingsFile) {
  {
    MapBridge map(ReadMapOptions());
    EXPECT_EQ(map.DefaultLongitude(), 120.528903);
    EXPECT_EQ(map.DefaultLatitude(), 24.077715);
    EXPECT_EQ(map.Longitude(), 120.528903);
    EXPECT_EQ(map.Status(), "stopped");
    EXPECT_EQ(map.TrackIndex(), -1);
  }
  Config("m_default_lng=13.404954\nm_default_lat=52.520008\n");
  {
    MapBridge map(ReadMapOptions());
    EXPECT_EQ(map.DefaultLongitude(), 13.404954);
    EXPECT_EQ(map.Latitude(), 52.520008);
    map.SetDefaultPosition(-33.5, 151.25);
    const std::string script = map.PageSettingsScript();
    EXPECT_NE(script.find("default_lng:\"151.250000\",default_lat:\"-33.500000\""), std::string::npos) << script;
    EXPECT_NE(script.find("net_fail_text:\"Internet connect fail!\""), std::string::npos) << script;
  }
  // A program folder that cannot be written: the settings file of the user.
  TempDir xdg;
  ::setenv("XDG_CONFIG_HOME", xdg.path().c_str(), 1);
  ::mkdir((xdg / "velmora").c_str(), 0755);
  WriteFile(xdg / "velmora/Config.ini", "[Config]\nm_default_lng=2.5\nm_default_lat=-1.25\nMapTileUrl=http://t/{z}/{x}/{y}.png\n");
  ResetSettings(dir / "no-such-folder");
  MapBridge map(ReadMapOptions());
  EXPECT_EQ(map.DefaultLongitude(), 2.5);
  EXPECT_EQ(map.DefaultLatitude(), -1.25);
  EXPECT_NE(map.PageSettingsScript().find("tile_url:\"http://t/{z}/{x}/{y}.png\""), std::string::npos);
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(MapBridgeTest, PageChoice) {
  struct Case {
    const char* name;
    const char* baidu; // "baiduMap" value, nullptr: absent
    bool plainFile, baiduFile;
    const char* page; // nullptr: the built-in page
  } cases[] = {
      {"nothing", nullptr, false, false, nullptr},
      {"own page", nullptr, true, true, "map/mapdlg.htm"},
      {"baiduMap 0", "0", true, true, "map/mapdlg.htm"},
      {"baiduMap 1", "1", true, true, "map/mapdlg_baidu.htm"},
      {"baiduMap 1 without its file", "1", true, false, nullptr},
      {"baiduMap 0 without any file", "0", false, true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir program;
    ResetSettings(program.path());
    ::mkdir((program / "map").c_str(), 0755);
    if (c.plainFile) WriteFile(program / "map/mapdlg.htm", "<html></html>");
    if (c.baiduFile) WriteFile(program / "map/mapdlg_baidu.htm", "<html></html>");
    WriteFile(program / "Config.ini", c.baidu ? std::string("[Config]\nbaiduMap=") + c.baidu + "\n" : "");
    const MapPageChoice choice = MapBridge(ReadMapOptions()).ChoosePage();
    EXPECT_EQ(choice.path, c.page ? program / c.page : "");
  }
  // A folder of that name is no page.
  TempDir program;
  ResetSettings(program.path());
  ::mkdir((program / "map").c_str(), 0755);
  ::mkdir((program / "map/mapdlg.htm").c_str(), 0755);
  EXPECT_TRUE(MapBridge(ReadMapOptions()).ChoosePage().BuiltIn());
}

TEST(MapFailures, OneShownPerPageLoadTheRestCounted) {
  MapBridge map;
  EXPECT_TRUE(map.ReportFailure());
  EXPECT_FALSE(map.ReportFailure());
  EXPECT_FALSE(map.ReportFailure());
  EXPECT_EQ(map.SilentFailures(), 2);
  map.PageLoadStarted();
  EXPECT_TRUE(map.ReportFailure());
  EXPECT_FALSE(map.ReportFailure());
  EXPECT_EQ(map.SilentFailures(), 3);
}

// Everything the map reads comes from its owner's options: with a record of
// the test's own the settings store is never asked or changed.
TEST_F(MapBridgeTest, OwnerOptionsAreTheOnlySource) {
  Config("GPS_Offset_Auto=0\nGPS_Offset_X=9\nGPS_Offset_Y=9\nbaiduMap=0\nMapTileUrl=http://settings/\n");
  TempDir resources;
  ::mkdir((resources / "map").c_str(), 0755);
  WriteFile(resources / "map/mapdlg_baidu.htm", "<html></html>");

  std::vector<std::string> stored;
  int offsetReads = 0;
  MapOptions options;
  options.resourceFolder = resources.path();
  options.secondPage = true;
  options.tileUrl = "http://own/{z}/{x}/{y}.png";
  options.defaultLongitude = 7.25;
  options.defaultLatitude = 51.5;
  options.offsetChoice = [&] {
    ++offsetReads;
    MapOffsetChoice choice;
    choice.automatic = false;
    choice.fixed = {0.5, -0.25};
    return choice;
  };
  options.translate = [](std::string_view english) { return "[" + std::string(english) + "]"; };
  options.storeDefaultPosition = [&](double lat, double lng) {
    stored.push_back(FormatNumber(lat, 4) + "," + FormatNumber(lng, 4));
  };
  const double settingsLat = Settings().defaultLatitude;

  MapBridge map(options);
  EXPECT_EQ(map.ChoosePage().path, resources / "map/mapdlg_baidu.htm");
  EXPECT_EQ(map.Longitude(), 7.25);
  const std::string page = map.PageSettingsScript();
  for (const char* piece : {"default_lng:\"7.250000\"", "tile_url:\"http://own/{z}/{x}/{y}.png\"",
                            "net_fail_text:\"[Internet connect fail!]\""})
    EXPECT_NE(page.find(piece), std::string::npos) << piece << " in " << page;

  std::string push;
  ASSERT_TRUE(map.ClearTrack(1, push));
  ASSERT_EQ(map.UpdatePosition(1, kFix), MapBridge::Update::Send);
  EXPECT_EQ(map.OffsetLongitude(), 0.5);
  EXPECT_EQ(map.OffsetLatitude(), -0.25);
  ASSERT_EQ(map.UpdatePosition(0, kFix2), MapBridge::Update::Stored); // old index: not asked, not stored
  ASSERT_EQ(map.UpdatePosition(1, kZeroFix), MapBridge::Update::Send); // 0, 0: asked, not stored
  EXPECT_EQ(offsetReads, 2);
  EXPECT_EQ(stored, std::vector<std::string>{"48.1173,11.5167"});
  EXPECT_EQ(Settings().defaultLatitude, settingsLat);

  // No options at all: the page's own tiles, the English text, the table.
  MapBridge bare;
  EXPECT_NE(bare.PageSettingsScript().find("tile_url:\"\",satellite_url:\"\",net_fail_text:\"Internet connect fail!\""),
            std::string::npos);
  ASSERT_TRUE(bare.ClearTrack(1, push));
  EXPECT_EQ(bare.UpdatePosition(1, kFix), MapBridge::Update::Send);
  EXPECT_EQ(Settings().defaultLatitude, settingsLat);
}
