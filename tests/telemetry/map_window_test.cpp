// The map window with its browser, under Xvfb without a network: the values
// that reach the page, the page's functions, page choice, docking and the
// track drawn offline.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QRegularExpression>
#include <QScreen>
#include <QWebEnginePage>
#include <QWidget>
#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "app/map_offset_config.h"
#include "app/settings.h"
#include "telemetry/map/map_dlg.h"
#include "tests/support/test_support.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Sentences along a road, one per second, each with its course.
std::string Fix(double latMinutes, double lngMinutes, double knots, double course) {
  char text[160];
  std::snprintf(text, sizeof text, "X:0.01 Y:0.02 Z:1.0 $GPRMC,080000.000,A,24%07.4f,N,120%07.4f,E,%.1f,%.1f,010624,,,A*00",
                latMinutes, lngMinutes, knots, course);
  return text;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Runs a script in the page and waits for its value.
QVariant Js(CMapDlg& map, const QString& script) {
  QVariant value;
  bool done = false;
  map.Page()->runJavaScript(script, [&](const QVariant& v) {
    value = v;
    done = true;
  });
  EXPECT_TRUE(WaitUntil([&] { return done; })) << script.toStdString();
  return value;
}

// The page's eight values, in order, as text.
QString PageValues(CMapDlg& map) {
  return Js(map, "['map_lng','map_lat','offset_lng','offset_lat','map_status','SpeedBarText','AngleBar','Index']"
                 ".map(function(id){return document.getElementById(id).value;}).join(' ')")
      .toString();
}

class MapWindowTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    // Software drawing on the virtual display; the pages are the test's own,
    // so the browser's sandbox (which many containers cannot give) is off.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS")) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    CMapDlg::PrepareApplication();
    static int argc = 1;
    static char name[] = "map_window_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    delete app_;
    app_ = nullptr;
  }
  void SetUp() override {
    ResetSettings(dir.path());
    host.resize(800, 600);
    host.show();
  }
  void TearDown() override { ResetSettings(dir.path()); }

  // A map window docked in the host, not shown yet.
  std::unique_ptr<CMapDlg> MakeMap() {
    auto map = std::make_unique<CMapDlg>(ReadMapOptions(), &host);
    map->SetDockRect(400, 300, 380, 280);
    map->SetMessageSink([this](const QString& text) { messages << text; });
    QObject::connect(map.get(), &CMapDlg::scriptDone, [this](const QString& name, int outcome) {
      done << name + ":" + QString::number(outcome);
    });
    return map;
  }
  // Shows it and waits for its page to have loaded and "setMap" to be done.
  void ShowAndWait(CMapDlg& map) {
    map.CreateBrowser();
    EXPECT_FALSE(map.isVisible());
    map.show();
    EXPECT_TRUE(WaitUntil([&] { return !done.filter(QRegularExpression("^setMap:")).isEmpty(); }));
  }
  std::unique_ptr<CMapDlg> OpenMap() {
    auto map = MakeMap();
    ShowAndWait(*map);
    return map;
  }
  int Count(const QString& entry) const { return static_cast<int>(done.count(entry)); }
  static QString Entry(const char* name, ScriptOutcome outcome) {
    return QString(name) + ":" + QString::number(static_cast<int>(outcome));
  }

  static QApplication* app_;
  TempDir dir;
  QWidget host;
  QStringList messages, done;
};
QApplication* MapWindowTest::app_ = nullptr;

} // namespace

// The built-in page with no network: values pushed before and after the page
// loaded, fixes for old indexes and damaged sentences, the track, the car and
// the notice, the track reset.
TEST_F(MapWindowTest, BuiltInPageDrawsTheTrackOffline) {
  // Tiles that cannot be had, whether or not the machine has a network.
  const std::string tile = dir / "tiles/tile.png";
  WriteFile(dir / "Config.ini", "[Config]\nGPS_Offset_Auto=0\nGPS_Offset_X=0.0031\nGPS_Offset_Y=-0.0052\n"
                                "MapTileUrl=file://" + tile + "\n");
  auto map = MakeMap();
  map->SetDefaultPosition(24.0, 120.5);
  map->ClearTrack(1);
  // Before the page exists: stored, not sent; the page gets it when it loads.
  EXPECT_FALSE(map->UpdatePosition(1, Fix(4.5, 31.5, 10, 90)));
  EXPECT_EQ(map->CallScript("setMap"), 0);
  ShowAndWait(*map);
  ASSERT_TRUE(map->PageReady());
  EXPECT_EQ(map->PageUrl(), CMapDlg::BuiltInPageUrl());
  EXPECT_EQ(PageValues(*map), "120.525 24.075 -0.0052 0.0031 running 18.52 90 1");
  EXPECT_EQ(Js(*map, "document.getElementById('default_lat').textContent + ' ' + map.getZoom() + ' ' + "
                     "map.getCenter().lat.toFixed(4) + ' ' + map.getCenter().lng.toFixed(4)").toString(),
            "24.000000 16 24.0000 120.5000");

  ASSERT_TRUE(map->UpdatePosition(1, Fix(4.5, 31.5, 10, 90)));
  ASSERT_TRUE(WaitUntil([&] { return Count(Entry("refreshMap", ScriptOutcome::Ran)) == 1; }));
  EXPECT_EQ(PageValues(*map), "120.525 24.075 -0.0052 0.0031 running 18.52 90 1");
  EXPECT_EQ(Settings().defaultLatitude, 24.075);

  // An old index: the values are stored, the page and the settings keep theirs.
  ASSERT_TRUE(map->UpdatePosition(0, Fix(5.0, 32.0, 20, 180)));
  EXPECT_EQ(map->Values().Latitude(), 24 + 5.0 / 60);
  EXPECT_EQ(map->Values().Speed(), 37.04);
  // A damaged sentence changes nothing.
  EXPECT_FALSE(map->UpdatePosition(1, "$GPRMC,080001.000,A,+404.6620,N,12031.5000,E,10.0,90.0,010624,,,A*00"));
  EXPECT_EQ(map->Values().Latitude(), 24 + 5.0 / 60);
  EXPECT_EQ(PageValues(*map), "120.525 24.075 -0.0052 0.0031 running 18.52 90 1");
  EXPECT_EQ(Settings().defaultLatitude, 24.075);

  // Along the road: 6 fixes, one repeated; the course turns to 200 degrees.
  for (int i = 1; i <= 5; ++i) ASSERT_TRUE(map->UpdatePosition(1, Fix(4.5 - 0.01 * i, 31.5 + 0.01 * i, 10, 40.0 * i)));
  ASSERT_TRUE(map->UpdatePosition(1, Fix(4.45, 31.55, 10, 200)));
  ASSERT_TRUE(WaitUntil([&] { return Count(Entry("refreshMap", ScriptOutcome::Ran)) == 7; }));
  // Six points in the drawn line ("M" then "L" for each next point), at the
  // positions of the fixes: the offsets are not added over these tiles.
  EXPECT_EQ(Js(*map, "(document.querySelector('path.track-line').getAttribute('d').match(/[ML]/g) || []).length")
                .toInt(),
            6);
  EXPECT_EQ(Js(*map, "track.getLatLngs().length + ' ' + track.getLatLngs()[5].lat.toFixed(7) + ' ' + "
                     "track.getLatLngs()[5].lng.toFixed(7)")
                .toString(),
            "6 24.0741667 120.5258333");
  EXPECT_EQ(Js(*map, "document.querySelectorAll('[title=\"Start Point\"]').length + ' ' + "
                     "document.querySelector('[title=\"Car Point\"] svg').getAttribute('data-sector')")
                .toString(),
            "1 9");
  // No network: the one-line notice is up, over a map that still draws.
  EXPECT_TRUE(WaitUntil([&] {
    return Js(*map, "getComputedStyle(document.getElementById('net_notice')).display").toString() == "block";
  }));
  EXPECT_EQ(Js(*map, "document.getElementById('net_notice').textContent").toString(), "Internet connect fail!");
  EXPECT_EQ(Js(*map, "document.querySelectorAll('.leaflet-control-scale').length").toInt(), 1);
  EXPECT_EQ(Js(*map, "document.querySelectorAll('img.leaflet-tile-loaded').length").toInt(), 0);
  // The tiles come back (the page asks again every few seconds): they go
  // under the track and the notice goes.
  ::mkdir((dir / "tiles").c_str(), 0755);
  QImage picture(256, 256, QImage::Format_RGB32);
  picture.fill(QColor(200, 220, 200));
  ASSERT_TRUE(picture.save(QString::fromStdString(tile)));
  Js(*map, "retryTiles(); 1");
  EXPECT_TRUE(WaitUntil([&] {
    return Js(*map, "getComputedStyle(document.getElementById('net_notice')).display").toString() == "none";
  }));
  EXPECT_GT(Js(*map, "document.querySelectorAll('img.leaflet-tile-loaded').length").toInt(), 0);
  EXPECT_EQ(Js(*map, "(document.querySelector('path.track-line').getAttribute('d').match(/[ML]/g) || []).length")
                .toInt(),
            6);

  // A new track: the page holds zeros, "clear" and -1; the offsets stay.
  map->ClearTrack(2);
  EXPECT_EQ(PageValues(*map), "0 0 -0.0052 0.0031 clear 0 0 -1");
  EXPECT_EQ(map->Values().TrackIndex(), 2);
  ASSERT_TRUE(map->UpdatePosition(2, Fix(6.0, 33.0, 10, 0)));
  ASSERT_TRUE(WaitUntil([&] { return Count(Entry("refreshMap", ScriptOutcome::Ran)) == 8; }));
  EXPECT_EQ(Js(*map, "document.querySelectorAll('[title=\"Start Point\"]').length + ' ' + "
                     "document.querySelectorAll('[title=\"End Point\"]').length")
                .toString(),
            "2 1");
  EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
}

// A page of the user's own: without "refreshMap" the call is skipped
// silently; with one that throws, one message per page load and the rest
// counted. Values reach its elements either way; the page cannot navigate
// away.
TEST_F(MapWindowTest, OwnPagesMissingOrFailingFunctions) {
  const std::string inputs =
      "<input id=map_lng><input id=map_lat><input id=map_status><input id=Index><span id=default_lng></span>";
  ::mkdir((dir / "map").c_str(), 0755);
  WriteFile(dir / "map/mapdlg.htm", "<html><body>" + inputs + "<script>function setMap(){}</script></body></html>");
  {
    auto map = OpenMap();
    EXPECT_EQ(map->PageUrl(), QUrl::fromLocalFile(QString::fromStdString(dir / "map/mapdlg.htm")));
    EXPECT_EQ(Count(Entry("setMap", ScriptOutcome::Ran)), 1);
    map->ClearTrack(1);
    ASSERT_TRUE(map->UpdatePosition(1, Fix(4.5, 31.5, 10, 90)));
    ASSERT_TRUE(WaitUntil([&] { return Count(Entry("refreshMap", ScriptOutcome::Missing)) == 1; }));
    EXPECT_EQ(Js(*map, "map_lng.value + ' ' + map_status.value + ' ' + Index.value + ' ' + default_lng.textContent")
                  .toString(),
              "120.525 running 1 120.528903");
    EXPECT_TRUE(messages.isEmpty());

    // Neither a link nor a dropped file takes the view elsewhere: the browser
    // itself takes no drops (they go on to the main window).
    int finished = 0;
    QObject::connect(map->Page(), &QWebEnginePage::loadFinished, [&] { ++finished; });
    Js(*map, "location.href = 'file:///etc/hostname'; 1");
    ASSERT_TRUE(WaitUntil([&] { return finished == 1; })); // the refused navigation ends
    EXPECT_EQ(Js(*map, "typeof setMap + ' ' + location.pathname").toString(),
              "function " + QString::fromStdString(dir / "map/mapdlg.htm"));
    EXPECT_TRUE(map->PageReady());
    ASSERT_TRUE(map->UpdatePosition(1, Fix(4.6, 31.5, 10, 90)));
    ASSERT_TRUE(WaitUntil([&] { return Count(Entry("refreshMap", ScriptOutcome::Missing)) == 2; }));
    EXPECT_EQ(Count(Entry("setMap", ScriptOutcome::Ran)), 1);
    for (QWidget* w : map->findChildren<QWidget*>()) EXPECT_FALSE(w->acceptDrops()) << w->metaObject()->className();
  }

  // "baiduMap" chooses the second page; its "refreshMap" throws.
  WriteFile(dir / "Config.ini", "[Config]\nbaiduMap=1\n");
  WriteFile(dir / "map/mapdlg_baidu.htm",
            "<html><body>" + inputs +
                "<script>function setMap(){} function refreshMap(){ throw new Error('no map here'); }</script></body></html>");
  done.clear();
  auto map = OpenMap();
  EXPECT_EQ(map->PageUrl(), QUrl::fromLocalFile(QString::fromStdString(dir / "map/mapdlg_baidu.htm")));
  map->ClearTrack(1);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(map->UpdatePosition(1, Fix(4.5 + 0.01 * i, 31.5, 10, 90)));
  ASSERT_TRUE(WaitUntil([&] { return Count(Entry("refreshMap", ScriptOutcome::Failed)) == 3; }));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], "refreshMap: no map here");
  EXPECT_EQ(map->SilentFailures(), 2);
}

// Docked at its rectangle in the host; floating as "Map Mode", 600 x 420 in
// the middle of the screen; closing it docks it back, shown, at the rectangle
// set meanwhile.
TEST_F(MapWindowTest, UndockCloseAndDockAgain) {
  // Shown before anyone created its browser: showing does not create it at
  // once (it would hold up the owner's first picture), a little later it does.
  auto map = MakeMap();
  map->show();
  EXPECT_FALSE(map->BrowserCreated());
  ASSERT_TRUE(WaitUntil([&] { return done.contains(Entry("setMap", ScriptOutcome::Ran)); }));
  EXPECT_FALSE(map->IsUndocked());
  EXPECT_EQ(map->parentWidget(), &host);
  EXPECT_EQ(map->geometry(), QRect(400, 300, 380, 280));

  map->Undock();
  EXPECT_TRUE(map->IsUndocked());
  EXPECT_TRUE(map->isWindow());
  EXPECT_TRUE(map->isVisible());
  EXPECT_EQ(map->windowTitle(), "Map Mode");
  EXPECT_EQ(map->size(), QSize(600, 420));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((map->geometry().center() - screen.center()).manhattanLength(), 2);
  map->SetDockRect(10, 20, 300, 200); // remembered, not applied while floating
  EXPECT_EQ(map->size(), QSize(600, 420));

  EXPECT_FALSE(map->close()); // the window stays; it docks
  EXPECT_FALSE(map->IsUndocked());
  EXPECT_FALSE(map->isWindow());
  EXPECT_EQ(map->parentWidget(), &host);
  EXPECT_TRUE(map->isVisible());
  EXPECT_EQ(map->geometry(), QRect(10, 20, 300, 200));
  // The page survived the moves.
  ASSERT_TRUE(map->PageReady());
  map->ClearTrack(1);
  ASSERT_TRUE(map->UpdatePosition(1, Fix(4.5, 31.5, 10, 90)));
  EXPECT_TRUE(WaitUntil([&] { return Count(Entry("refreshMap", ScriptOutcome::Ran)) == 1; }));
}
