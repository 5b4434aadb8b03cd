// The player's windows under a virtual display: start-up on an inserted card,
// calendar and timelines, minute clicks, card arrival, dropped files, Stop,
// snapshots, keys, and the settings saved on the way out.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "app/main_window/dev_show_dlg.h"
#include "app/main_window/timeline_strip.h"
#include "app/main_window/velmora_dlg.h"
#include "app/settings.h"
#include "app/velmora_app.h"
#include "skin/month_cal_ctrl_ex.h"
#include "skin/vx_skin_button.h"
#include "telemetry/map/map_dlg.h"
#include "tests/support/test_support.h"
#include "tools/sample_card/frame_code.h"
#include "video/video_static.h"

using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!pred()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

std::string ReadText(const std::string& path) { return fs::exists(path) ? testsupport::ReadFile(path) : ""; }

class PlayerWindow : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "player_gui_tests";
    static char* argv[] = {name, nullptr};
    qputenv("SDL_AUDIODRIVER", "dummy");
    CMapDlg::PrepareApplication();
    app_ = new QApplication(argc, argv);
    dir_ = new TempDir;
    // 08:00:00-08:00:40 (read-only), 08:00:40-08:01:20, 08:01:20-08:02:00.
    media_ = testsupport::MakeSampleCard(dir_->path() + "/card", "--files 3 --seconds 40 --size 160x120 --read-only 1");
    recordings_ = testsupport::SortedFiles(media_);
  }
  static void TearDownTestSuite() {
    delete dir_;
    delete app_;
  }
  void SetUp() override {
    ResetSettings(program_.path());
    Settings().uiMode = Settings().savedUiMode = 1;
    qputenv("VELMORA_REMOVABLE_ROOTS", (dir_->path() + "/card").c_str());
  }
  void TearDown() override {
    player_.reset();
    qunsetenv("VELMORA_REMOVABLE_ROOTS");
  }
  CVelmoraDlg& Window() { return *player_->MainWindow(); }
  PlayerChannel* Channel() { return Window().Panel().Controller().Channel(); }
  std::string Playing() {
    PlayerChannel* c = Channel();
    return c ? c->CurrentFile() : "";
  }
  bool PicturesShown() { return Window().VideoArea().Video()->DrawnSerial() != 0; }
  // Writes a Config.ini with the UI mode, so start-up keeps to the 1280*800 layout.
  void Start(std::vector<std::string> args = {}) {
    testsupport::WriteFile(program_ / "Config.ini", "[Config]\nUIMode=1\n");
    player_ = std::make_unique<CVelmoraApp>();
    player_->Start(args);
  }
  void Click(TimelineStrip& grid, int column) {
    const auto widths = layout::ColumnWidths(grid.Place().rect.width, grid.Place().columns);
    int x = 0;
    for (int c = 0; c < column; ++c) x += widths[static_cast<size_t>(c)];
    const QPointF at(x + 1, grid.height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, grid.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&grid, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, grid.mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(&grid, &release);
  }

  static QApplication* app_;
  static TempDir* dir_;
  static std::string media_;
  static std::vector<std::string> recordings_;
  TempDir program_;
  std::unique_ptr<CVelmoraApp> player_;
};
QApplication* PlayerWindow::app_ = nullptr;
TempDir* PlayerWindow::dir_ = nullptr;
std::string PlayerWindow::media_;
std::vector<std::string> PlayerWindow::recordings_;

const QColor kGrey(104, 104, 104), kGreen(0, 255, 0), kRed(255, 0, 0);

// With VELMORA_SCREENSHOT_DIR set, saves the screen there under the name.
void Screenshot(const char* name) {
  const QByteArray dir = qgetenv("VELMORA_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  PumpUntil([] { return false; }, 1500);
  if (QScreen* s = QGuiApplication::primaryScreen()) s->grabWindow(0).save(QString(dir) + "/" + name + ".png");
}

} // namespace

TEST_F(PlayerWindow, OpensTheCardMarksItsDaysAndMinutesAndPlaysAClickedMinute) {
  ASSERT_EQ(recordings_.size(), 3u);
  Start();
  ASSERT_TRUE(PumpUntil([&] { return Playing() == recordings_[0] && PicturesShown(); })) << Playing();
  EXPECT_TRUE(Window().VideoArea().isVisible());
  EXPECT_TRUE(PumpUntil([&] { return Window().MapWindow().isVisible(); })) << "the map follows the first picture";

  // The card's day is marked and shown, at the hour of its first recording.
  ASSERT_TRUE(PumpUntil([&] { return Window().Calendar().IsMarked(QDate(2024, 6, 1)); }));
  EXPECT_EQ(Window().Calendar().MarkedDays().size(), 1u);
  EXPECT_EQ(Window().Calendar().GetCurSel(), QDate(2024, 6, 1));
  TimelineStrip& minutes = Window().Grid(layout::kIdMinuteGrid1);
  TimelineStrip& hours = Window().Grid(layout::kIdHourGrid1);
  EXPECT_EQ(hours.CellColour(8), kRed);
  EXPECT_EQ(hours.CellColour(7), kGrey);
  EXPECT_EQ(hours.CellColour(9), kGrey);
  EXPECT_EQ(minutes.CellColour(0), kRed) << "the read-only recording";
  EXPECT_EQ(minutes.CellColour(1), kGreen);
  EXPECT_EQ(minutes.CellColour(2), kGreen);
  EXPECT_EQ(minutes.CellColour(3), kGrey);
  EXPECT_EQ(Window().Grid(layout::kIdMinuteGrid2).CellColour(0), kGrey);

  // 08:01 plays the recording that covers it.
  Click(minutes, 1);
  EXPECT_TRUE(PumpUntil([&] { return Playing() == recordings_[1]; })) << Playing();
  // A grey minute does nothing; another hour shows its (empty) minutes.
  Click(minutes, 5);
  Click(Window().Grid(layout::kIdHourGrid2), 0);
  EXPECT_EQ(Window().Timeline().SelectedHour(), 12);
  EXPECT_EQ(minutes.CellColour(1), kGrey);
  EXPECT_EQ(Playing(), recordings_[1]);
}

// The map's browser draws through OpenGL composition: when it is made, Qt
// rebuilds the window's native window under the playing video, which goes on
// showing pictures.
TEST_F(PlayerWindow, PicturesGoOnAfterTheMapsBrowserIsMade) {
  Start({recordings_[1]});
  ASSERT_TRUE(PumpUntil([&] { return PicturesShown(); }));
  CMapDlg& map = Window().MapWindow();
  ASSERT_TRUE(PumpUntil([&] { return map.BrowserCreated() && map.isVisible(); }));
  CVideoStatic& video = *Window().VideoArea().Video();
  std::set<uint64_t> drawn;
  ASSERT_TRUE(PumpUntil([&] {
    drawn.insert(video.DrawnSerial());
    return drawn.size() >= 10;
  })) << drawn.size();
  auto numberOnScreen = [&] {
    const QImage frame = video.GrabFramebuffer().convertToFormat(QImage::Format_RGB32);
    return samplegen::DecodeFrameNumber(frame.constBits(), frame.width(), frame.height(),
                                        static_cast<int>(frame.bytesPerLine()), samplegen::PixelLayout::kBgra32);
  };
  EXPECT_GE(numberOnScreen(), 0);
  // The rebuilt window goes along when the video area floats and goes full screen.
  CDevShowDlg& area = Window().VideoArea();
  for (int i = 0; i < 2; ++i) {
    area.DoubleClick();
    drawn.clear();
    EXPECT_TRUE(PumpUntil([&] {
      drawn.insert(video.DrawnSerial());
      return drawn.size() >= 5;
    })) << i;
    EXPECT_GE(numberOnScreen(), 0) << i;
  }
  EXPECT_TRUE(area.FullScreen());
  area.close();
  EXPECT_FALSE(area.Floating());
}

// A recording whose sound the player cannot decode plays its pictures, and the
// title bar says what is wrong with it (no box while it plays); Stop takes it away.
TEST_F(PlayerWindow, WhatCannotBePlayedIsSaidInTheTitleBarWhileThePicturesPlay) {
  TempDir tmp;
  const std::string file = tmp / "mp2_0001.ts";
  std::string log;
  ASSERT_EQ(testsupport::Run("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=30 -f lavfi -i "
                             "sine=sample_rate=48000 -t 3 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a mp2 -f mpegts '" +
                                 file + "' 2>&1",
                             &log),
            0)
      << log;
  Start({file});
  ASSERT_TRUE(PumpUntil([&] { return PicturesShown(); }));
  EXPECT_TRUE(PumpUntil([&] { return !Window().NoticeText().isEmpty(); })) << "no notice";
  EXPECT_EQ(Window().NoticeText().toStdString(), "mp2_0001.ts: sound format not supported");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_NE(Channel(), nullptr);
  Screenshot("notice");
  Window().Panel().Button(layout::kIdStop)->click();
  EXPECT_TRUE(Window().NoticeText().isEmpty());
}

TEST_F(PlayerWindow, StopGreysEveryCellAndHidesVideoAndMap) {
  Start();
  ASSERT_TRUE(PumpUntil([&] { return PicturesShown(); }));
  ASSERT_TRUE(PumpUntil([&] { return !Window().Calendar().MarkedDays().empty(); }));
  Window().Panel().Button(layout::kIdStop)->click();
  EXPECT_EQ(Channel(), nullptr);
  EXPECT_FALSE(Window().VideoArea().isVisible());
  EXPECT_FALSE(Window().MapWindow().isVisible());
  EXPECT_TRUE(Window().Calendar().MarkedDays().empty());
  for (int id : {layout::kIdMinuteGrid1, layout::kIdMinuteGrid2, layout::kIdHourGrid1, layout::kIdHourGrid2}) {
    TimelineStrip& g = Window().Grid(id);
    for (int c = 0; c < g.Place().columns; ++c) EXPECT_EQ(g.CellColour(c), kGrey) << id << " " << c;
  }
  // Playback buttons do nothing now.
  Window().Panel().Button(layout::kIdPlay)->click();
  EXPECT_EQ(Channel(), nullptr);
}

TEST_F(PlayerWindow, ACardInsertedWhileRunningOpens) {
  TempDir slot;
  qputenv("VELMORA_REMOVABLE_ROOTS", slot.path().c_str());
  Start();
  QCoreApplication::processEvents();
  EXPECT_EQ(Channel(), nullptr);
  fs::create_directory_symlink(dir_->path() + "/card/DCIM", slot / "DCIM");
  EXPECT_TRUE(PumpUntil([&] { return !Playing().empty(); }));
  EXPECT_EQ(fs::path(Playing()).filename(), fs::path(recordings_[0]).filename());
}

TEST_F(PlayerWindow, TheFirstOfThreeDroppedFilesOpens) {
  qputenv("VELMORA_REMOVABLE_ROOTS", (program_.path() + "/none").c_str());
  Start();
  EXPECT_EQ(Channel(), nullptr);
  // With nothing to play the map's browser is made a little after start: the
  // video then starts in a window that already draws through OpenGL.
  ASSERT_TRUE(PumpUntil([&] { return Window().MapWindow().BrowserCreated(); }));
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(recordings_[2])),
                QUrl::fromLocalFile(QString::fromStdString(recordings_[0])),
                QUrl::fromLocalFile(QString::fromStdString(recordings_[1]))});
  QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&Window(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&Window(), &drop);
  EXPECT_TRUE(PumpUntil([&] { return Playing() == recordings_[2]; })) << Playing() << " channel " << (Channel() != nullptr);
  EXPECT_TRUE(PumpUntil([&] { return PicturesShown(); }));
}

TEST_F(PlayerWindow, AFileNamedOnTheCommandLineOpensAndKeysDriveIt) {
  Start({recordings_[1]});
  ASSERT_TRUE(PumpUntil([&] { return Playing() == recordings_[1] && PicturesShown(); }));
  auto key = [&](int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QKeyEvent e(QEvent::KeyPress, k, m);
    return QCoreApplication::sendEvent(&Window(), &e);
  };
  key(Qt::Key_Space);
  EXPECT_EQ(Channel()->Pause(), 1);
  key(Qt::Key_Space);
  EXPECT_EQ(Channel()->Pause(), 0);
  key(Qt::Key_BracketRight);
  EXPECT_EQ(Window().Panel().Controller().SpeedSlider(), 5);
  key(Qt::Key_Backspace);
  EXPECT_EQ(Window().Panel().Controller().SpeedSlider(), 4);
  key(Qt::Key_M);
  EXPECT_TRUE(Window().Panel().Controller().Muted());
  key(Qt::Key_Escape);
  key(Qt::Key_Return);
  EXPECT_TRUE(Window().isVisible()) << "Escape or Enter closed the window";
  // Snapshots land in the snapshot folder.
  Settings().snapshotFolder = program_ / "shots 100%/";
  key(Qt::Key_S);
  EXPECT_TRUE(PumpUntil([&] { return fs::exists(program_ / "shots 100%") && !fs::is_empty(program_ / "shots 100%"); }));
}

TEST_F(PlayerWindow, SettingsAreSavedWhenTheWindowClosesAndOnSigterm) {
  Start();
  Settings().speedUnit = 2;
  Window().close();
  player_->Finish();
  EXPECT_NE(ReadText(ConfigFilePath()).find("UnitOfSpeed=2"), std::string::npos) << ReadText(ConfigFilePath());

  player_ = std::make_unique<CVelmoraApp>();
  testsupport::WriteFile(program_ / "Config.ini", "[Config]\nUIMode=1\n");
  QTimer::singleShot(200, [] {
    Settings().imageType = 1;
    ::raise(SIGTERM);
  });
  EXPECT_EQ(player_->Run({}), 0);
  EXPECT_NE(ReadText(ConfigFilePath()).find("m_imagetype=1"), std::string::npos) << ReadText(ConfigFilePath());
}

// Docked -> floating (800 x 470) -> full screen -> floating -> docked by its
// close box, by double clicks on the picture; F and Escape for full screen.
TEST_F(PlayerWindow, TheVideoAreaFloatsGoesFullScreenAndDocksAgain) {
  Start();
  ASSERT_TRUE(PumpUntil([&] { return PicturesShown(); }));
  ASSERT_TRUE(PumpUntil([&] { return Window().Calendar().IsMarked(QDate(2024, 6, 1)); }));
  Screenshot("main-window");
  CDevShowDlg& area = Window().VideoArea();
  const QRect docked = area.geometry();
  EXPECT_EQ(docked, QRect(273, 31, 1002, 563));
  auto doubleClick = [&] {
    CVideoStatic* v = area.Video();
    const QPointF at(v->width() / 2, v->height() / 2);
    QMouseEvent e(QEvent::MouseButtonDblClick, at, v->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(v, &e);
  };
  doubleClick();
  EXPECT_TRUE(area.Floating());
  EXPECT_TRUE(area.isWindow());
  EXPECT_EQ(area.size(), QSize(800, 470));
  ASSERT_TRUE(PumpUntil([&] { return area.isVisible(); }));
  Screenshot("floating-video");
  doubleClick();
  EXPECT_TRUE(area.FullScreen());
  Screenshot("full-screen-video");
  doubleClick();
  EXPECT_FALSE(area.FullScreen());
  EXPECT_TRUE(area.Floating());
  // The close box docks it again, also from full screen.
  doubleClick();
  ASSERT_TRUE(area.FullScreen());
  area.close();
  EXPECT_FALSE(area.FullScreen());
  EXPECT_FALSE(area.Floating());
  EXPECT_EQ(area.parentWidget(), &Window());
  EXPECT_EQ(area.geometry(), docked);
  // F goes full screen from the docked area, Escape comes back.
  QKeyEvent f(QEvent::KeyPress, Qt::Key_F, Qt::NoModifier);
  QCoreApplication::sendEvent(&Window(), &f);
  EXPECT_TRUE(area.FullScreen());
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(area.Video(), &esc);
  EXPECT_FALSE(area.FullScreen());
  EXPECT_TRUE(Window().isVisible());
  EXPECT_TRUE(PicturesShown());
}
