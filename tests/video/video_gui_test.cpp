#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>
#include <tuple>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QOpenGLWidget>
#include <QOpenGLWindow>
#include <QThread>

#include "app/qt_message_target.h"
#include "tests/support/test_support.h"
#include "tests/video/video_rig.h"
#include "tools/sample_card/frame_code.h"
#include "video/video_static.h"

using testsupport::ScopedClock;
using testsupport::TempDir;
using videotest::Packet;
using videotest::VideoRig;

namespace {

// Runs the event loop until pred holds (at most timeoutMs).
bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!pred()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The GL window that fills the (only) video widget: it gets the mouse input first.
QWindow* GlSurface() {
  for (QWindow* w : QGuiApplication::allWindows())
    if (dynamic_cast<QOpenGLWindow*>(w)) return w;
  return nullptr;
}

// Sends a mouse event to a window at a point of its own.
void Mouse(QWindow* w, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
  QMouseEvent e(type, QPointF(local), QPointF(w->mapToGlobal(local)), Qt::LeftButton, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

int Grey(QRgb px) { return (qRed(px) + qGreen(px) + qBlue(px)) / 3; }

class VideoWindowTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "video_gui_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    dir_ = new TempDir;
  }
  static void TearDownTestSuite() {
    delete dir_;
    delete app_;
  }
  static QApplication* app_;
  static TempDir* dir_;
  videotest::YieldingClock clock_;
  ScopedClock scoped_{clock_};
};
QApplication* VideoWindowTest::app_ = nullptr;
TempDir* VideoWindowTest::dir_ = nullptr;

} // namespace

// Black before the first picture and after stop; pictures fill the whole window
// (stretched), with their own level range; a held picture is drawn once. Through
// the 4:2:0 shader (forced: the virtual display's renderer is software), the RGB
// path, and whichever path the window picks by itself for display mode 0.
TEST_F(VideoWindowTest, PicturesFillTheWindowWithTheirLevelsAndBlackAround) {
  const std::string card = testsupport::MakeSampleCard(dir_->path() + "/card", "--files 1 --seconds 1 --size 320x240");
  const auto packets = videotest::ReadVideoPackets(std::filesystem::directory_iterator(card)->path().string());
  struct Case {
    const char* name;
    bool forceShader;
    int displayMode;
  } cases[] = {{"shader", true, 0}, {"rgb", false, 1}, {"own choice", false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.forceShader) qputenv("VELMORA_GL_YUV", "1");
    else qunsetenv("VELMORA_GL_YUV");
    CVideoStatic video;
    video.resize(640, 480);
    video.show();
    ASSERT_TRUE(PumpUntil([&] { return video.isVisible() && video.IsReady(); }));
    const bool yuv = c.displayMode == 0 && video.CanShowYuv();
    if (c.forceShader) {
      ASSERT_TRUE(yuv);
    }
    EXPECT_EQ(Grey(video.GrabFramebuffer().pixel(320, 240)), 0) << "black before the first picture";

    // The sample pattern, stretched from 320x240 to 640x480.
    {
      VideoRig rig(video, c.displayMode);
      ASSERT_TRUE(rig.Start());
      for (int i = 0; i < 10; ++i) rig.Push(packets[static_cast<size_t>(i)]);
      ASSERT_TRUE(PumpUntil([&] { return rig.tap.Pictures().size() >= 10; }));
      const auto shown = rig.tap.Pictures();
      EXPECT_EQ(shown.back().format, yuv ? PictureFormat::kYuv420 : PictureFormat::kBgra32);
      EXPECT_EQ(rig.displayMode.load(), yuv ? 0 : 1);
      ASSERT_TRUE(PumpUntil([&] { return video.DrawnSerial() == shown.back().serial; }));
      const QImage frame = video.GrabFramebuffer().convertToFormat(QImage::Format_RGB32);
      ASSERT_EQ(frame.size(), QSize(640, 480));
      EXPECT_EQ(samplegen::DecodeFrameNumber(frame.constBits(), frame.width(), frame.height(),
                                             static_cast<int>(frame.bytesPerLine()), samplegen::PixelLayout::kBgra32),
                shown.back().number)
          << "the frame-number strip spans the whole width";
      const QRgb corner = frame.pixel(635, 475); // grass
      EXPECT_GT(qGreen(corner), qRed(corner) + 40);
      EXPECT_GT(qGreen(corner), qBlue(corner) + 40);

      // While the thread holds a picture (pause) it shows it again every 10 ms; the
      // window draws it once. Counted over 300 shows of the held picture, and
      // only the draws of that picture (the pictures before it may still be
      // on their way to the screen).
      rig.state.pause = 1;
      rig.Push(packets[10]);
      ASSERT_TRUE(PumpUntil([&] { return rig.state.audioHold.load(); }));
      const uint64_t held = rig.tap.Pictures().back().serial;
      int draws = 0;
      const auto counting = QObject::connect(&video, &CVideoStatic::pictureDrawn, [&] {
        if (video.DrawnSerial() == held) ++draws;
      });
      const int shows = rig.tap.Shows();
      ASSERT_TRUE(PumpUntil([&] { return rig.tap.Shows() >= shows + 300 && video.DrawnSerial() == held; }, 60000));
      QObject::disconnect(counting);
      EXPECT_LE(draws, 2);

      rig.video.Stop(10000);
      ASSERT_TRUE(rig.tap.Last() && rig.tap.Last()->blank);
      const uint64_t black = rig.tap.Last()->serial;
      ASSERT_TRUE(PumpUntil([&] { return video.DrawnSerial() == black; }));
      EXPECT_EQ(Grey(video.GrabFramebuffer().pixel(320, 240)), 0) << "black after stop";
    }

    // A grey ramp (luma = column) at 1:1: full range keeps 0..255, limited range is
    // stretched from 16..235.
    video.resize(256, 64);
    for (bool full : {true, false}) {
      SCOPED_TRACE(full);
      TempDir tmp;
      const std::string raw = tmp / "ramp.yuv", ts = tmp / "ramp.ts";
      std::string frame;
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) frame += static_cast<char>(x);
      frame += std::string(2 * 128 * 32, static_cast<char>(128));
      testsupport::WriteFile(raw, frame);
      const std::string fmt = full ? "yuvj420p" : "yuv420p";
      std::string log;
      ASSERT_EQ(testsupport::Run("ffmpeg -v error -y -f rawvideo -pix_fmt " + fmt + " -s 256x64 -r 30 -i '" + raw +
                                     "' -c:v libx264 -qp 0 -pix_fmt " + fmt + " -f mpegts '" + ts + "' 2>&1",
                                 &log),
                0)
          << log;
      VideoRig rig(video, c.displayMode);
      ASSERT_TRUE(rig.Start());
      for (const Packet& p : videotest::ReadVideoPackets(ts)) rig.Push(p);
      ASSERT_TRUE(PumpUntil([&] { return !rig.tap.Pictures().empty(); }));
      const uint64_t serial = rig.tap.Pictures().back().serial;
      ASSERT_TRUE(PumpUntil([&] { return video.DrawnSerial() == serial; }));
      const QImage image = video.GrabFramebuffer();
      ASSERT_EQ(image.width(), 256);
      for (int x = 0; x < 256; ++x) {
        const double expected = full ? x : std::clamp(std::round((x - 16) * 255.0 / 219.0), 0.0, 255.0);
        const QRgb px = image.pixel(x, 32);
        EXPECT_NEAR(qRed(px), expected, 2) << x;
        EXPECT_NEAR(qGreen(px), expected, 2) << x;
        EXPECT_NEAR(qBlue(px), expected, 2) << x;
      }
    }
  }
}

// A double click takes the video to full screen on its own and back into its
// parent at exactly its old rectangle; a left drag moves the window it sits in.
TEST_F(VideoWindowTest, FullScreenReturnsToTheOldRectangleAndDragMovesTheWindow) {
  QWidget main;
  main.setGeometry(100, 100, 640, 480);
  auto* video = new CVideoStatic(&main);
  const QRect place(10, 20, 320, 240);
  video->setGeometry(place);
  main.show();
  ASSERT_TRUE(PumpUntil([&] { return video->isVisible() && video->IsReady(); }));
  QWindow* surface = GlSurface();
  ASSERT_TRUE(surface);

  // The picture is drawn in place, in full screen and in place again: the GL
  // surface goes along with the widget.
  const std::string card = testsupport::MakeSampleCard(dir_->path() + "/fs", "--files 1 --seconds 1 --size 320x240");
  const auto packets = videotest::ReadVideoPackets(std::filesystem::directory_iterator(card)->path().string());
  VideoRig rig(*video, 0);
  ASSERT_TRUE(rig.Start());
  int next = 0;
  auto showsTheNextFrame = [&] {
    rig.Push(packets[static_cast<size_t>(next)]);
    ASSERT_TRUE(PumpUntil([&] { return !rig.tap.Pictures().empty() && rig.tap.Pictures().back().number == next; }));
    const uint64_t serial = rig.tap.Pictures().back().serial;
    ASSERT_TRUE(PumpUntil([&] { return video->DrawnSerial() == serial; }));
    const QImage frame = video->GrabFramebuffer().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(frame.size(), video->size());
    EXPECT_EQ(samplegen::DecodeFrameNumber(frame.constBits(), frame.width(), frame.height(),
                                           static_cast<int>(frame.bytesPerLine()), samplegen::PixelLayout::kBgra32),
              next);
    ++next;
  };
  showsTheNextFrame();

  Mouse(surface, QEvent::MouseButtonDblClick, {50, 50}, Qt::LeftButton);
  PumpUntil([&] { return video->IsFullScreen() && video->size() == video->screen()->size() && !main.isVisible(); });
  EXPECT_TRUE(video->IsFullScreen());
  EXPECT_TRUE(video->isWindow());
  EXPECT_FALSE(main.isVisible());
  EXPECT_EQ(video->size(), video->screen()->size());
  showsTheNextFrame();
  Mouse(surface, QEvent::MouseButtonDblClick, {50, 50}, Qt::LeftButton);
  PumpUntil([&] { return !video->IsFullScreen() && video->geometry() == place && main.isVisible(); });
  EXPECT_FALSE(video->IsFullScreen());
  EXPECT_EQ(video->parentWidget(), &main);
  EXPECT_EQ(video->geometry(), place);
  EXPECT_TRUE(video->isVisible());
  EXPECT_TRUE(main.isVisible());
  showsTheNextFrame();

  const QPoint start = main.pos();
  Mouse(surface, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
  Mouse(surface, QEvent::MouseMove, {35, 45}, Qt::LeftButton);
  Mouse(surface, QEvent::MouseButtonRelease, {35, 45}, Qt::NoButton);
  PumpUntil([&] { return main.pos() == start + QPoint(30, 40); });
  EXPECT_EQ(main.pos(), start + QPoint(30, 40));
}

// Messages posted from another thread reach the Qt object on its own thread, in
// the order they were posted, with their values.
TEST_F(VideoWindowTest, PostedMessagesArriveInOrder) {
  struct Receiver : QObject {
    std::vector<std::tuple<uint32_t, uintptr_t, intptr_t>> got;
    bool event(QEvent* e) override {
      if (e->type() != MessageEvent::Type()) return QObject::event(e);
      const auto* m = static_cast<MessageEvent*>(e);
      EXPECT_EQ(QThread::currentThread(), thread());
      got.emplace_back(m->Message(), m->WParam(), m->LParam());
      return true;
    }
  } receiver;
  QtMessageTarget target(&receiver);
  std::thread poster([&] {
    for (int i = 0; i < 500; ++i) target.Post(1130 + static_cast<uint32_t>(i % 3), static_cast<uintptr_t>(i), -i);
  });
  poster.join();
  ASSERT_TRUE(PumpUntil([&] { return receiver.got.size() == 500; }));
  for (int i = 0; i < 500; ++i)
    EXPECT_EQ(receiver.got[static_cast<size_t>(i)],
              std::make_tuple(1130 + static_cast<uint32_t>(i % 3), static_cast<uintptr_t>(i), static_cast<intptr_t>(-i)));
}

// A widget that draws through OpenGL composition (a browser, a QOpenGLWidget)
// appearing in the same window makes Qt rebuild the window's native surface
// under the video: pictures keep coming, and nothing crashes.
TEST_F(VideoWindowTest, PicturesGoOnWhenTheWindowTurnsToOpenGlComposition) {
  QWidget main;
  main.setGeometry(100, 100, 640, 480);
  auto* video = new CVideoStatic(&main);
  video->setGeometry(0, 0, 320, 240);
  main.show();
  ASSERT_TRUE(PumpUntil([&] { return video->isVisible() && video->IsReady(); }));
  const std::string card = testsupport::MakeSampleCard(dir_->path() + "/gl", "--files 1 --seconds 2 --size 320x240");
  const auto packets = videotest::ReadVideoPackets(std::filesystem::directory_iterator(card)->path().string());
  VideoRig rig(*video, 0);
  ASSERT_TRUE(rig.Start());
  size_t next = 0;
  auto showsTheNextFrame = [&] {
    rig.Push(packets[next]);
    ASSERT_TRUE(PumpUntil([&] { return rig.tap.Pictures().size() > next; }));
    const uint64_t serial = rig.tap.Pictures().back().serial;
    ASSERT_TRUE(PumpUntil([&] { return video->DrawnSerial() == serial; })) << next;
    const QImage frame = video->GrabFramebuffer().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(samplegen::DecodeFrameNumber(frame.constBits(), frame.width(), frame.height(),
                                           static_cast<int>(frame.bytesPerLine()), samplegen::PixelLayout::kBgra32),
              static_cast<int>(next));
    ++next;
  };
  showsTheNextFrame();
  auto* gl = new QOpenGLWidget(&main);
  gl->setGeometry(330, 0, 200, 200);
  gl->show();
  for (int i = 0; i < 10; ++i) showsTheNextFrame();
}
