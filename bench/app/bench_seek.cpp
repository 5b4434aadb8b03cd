// bench_seek: on a 1080p30 recording with a key frame every 30 frames, played in
// the main window (1280*800 layout) on a virtual display, the time from a
// position-slider release to the first picture of the new position on screen:
// median and worst of 50 releases at random positions, each at least a fifth of
// the file away from the playing one. The new picture is known by the frame
// number every sample picture carries (read from the drawn window): the first
// that lies more than two seconds away from the picture shown at the release
// (byte positions do not map exactly onto frames, so no exact frame is
// expected). The time includes reading back the pictures drawn after the
// release (see SEEK_TRACE). No peer figure:
// ffplay's seek cannot be driven the same way here. With SEEK_TRACE set, each
// seek tells when the first picture came after the release, how many pictures
// were read before the new position showed, and the time spent reading them.
#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>

#include "app/main_window/dev_show_dlg.h"
#include "app/main_window/velmora_dlg.h"
#include "app/settings.h"
#include "app/velmora_app.h"
#include "bench/app/player_bench.h"
#include "telemetry/map/map_dlg.h"
#include "tools/sample_card/frame_code.h"
#include "video/video_static.h"

namespace {

bool PumpUntil(const std::function<bool()>& pred, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!pred()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
  }
  return true;
}

int FrameOnScreen(CVideoStatic& video) {
  const QImage img = video.GrabFramebuffer().convertToFormat(QImage::Format_RGBA8888);
  return samplegen::DecodeFrameNumber(img.constBits(), img.width(), img.height(), static_cast<int>(img.bytesPerLine()),
                                      samplegen::PixelLayout::kRgba32);
}

} // namespace

int main(int argc, char** argv) {
  playerbench::EnsureDisplay(argv);
  const std::string media = bench::CachedCard("1080p30-60s-card", "--files 1 --seconds 60 --size 1920x1080 --fps 30 --gop 30");
  const std::string file = bench::FilesOf(media).front();
  bench::WarmUp({file});
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  CMapDlg::PrepareApplication();
  QApplication app(argc, argv);
  bench::Run("mkdir -p '" + bench::CacheFolder() + "/seek-program'");
  ResetSettings(bench::CacheFolder() + "/seek-program");
  testsupport::Run("printf '[Config]\\nUIMode=1\\n' > '" + bench::CacheFolder() + "/seek-program/Config.ini'");

  CVelmoraApp player;
  player.Start({file});
  CVelmoraDlg& window = *player.MainWindow();
  CVideoStatic& video = *window.VideoArea().Video();
  if (!PumpUntil([&] { return FrameOnScreen(video) >= 0; }, 20000)) {
    std::fprintf(stderr, "no picture\n");
    return 1;
  }
  constexpr int kJump = 60;
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> where(20, 960);
  int position = 0; // permille of the picture shown
  std::vector<double> ms;
  int lost = 0;
  bool drawn = false;
  QObject::connect(&video, &CVideoStatic::pictureDrawn, [&] { drawn = true; });
  for (int i = 0; i < 50; ++i) {
    int pos = where(rng);
    while (std::abs(pos - position) < 200) pos = where(rng);
    position = pos;
    const int before = FrameOnScreen(video);
    uint64_t serial = video.DrawnSerial();
    drawn = false;
    const auto start = std::chrono::steady_clock::now();
    window.Panel().Controller().SliderUp(1, pos);
    int checked = 0;
    double firstDraw = -1, grabMs = 0;
    const bool ok = PumpUntil(
        [&] {
          if (!drawn) return false;
          drawn = false;
          // A picture drawn again (the window repaints) is not read again.
          if (video.DrawnSerial() == serial) return false;
          serial = video.DrawnSerial();
          if (firstDraw < 0) firstDraw = bench::Seconds(start) * 1000;
          ++checked;
          const auto g = std::chrono::steady_clock::now();
          const int f = FrameOnScreen(video);
          grabMs += bench::Seconds(g) * 1000;
          if (std::getenv("SEEK_FRAMES")) std::fprintf(stderr, " %d@%.0f", f, bench::Seconds(start) * 1000);
          return f >= 0 && before >= 0 && std::abs(f - before) > kJump;
        },
        5000);
    if (std::getenv("SEEK_TRACE"))
      std::fprintf(stderr, "seek %d: first draw %.0f ms, %d pictures checked, %.0f ms grabbing, total %.0f ms\n", pos,
                   firstDraw, checked, grabMs, bench::Seconds(start) * 1000);
    if (ok) ms.push_back(bench::Seconds(start) * 1000);
    else ++lost;
    PumpUntil([] { return false; }, 300);
  }
  player.Finish();
  if (ms.empty()) {
    std::fprintf(stderr, "no seek reached its picture\n");
    return 1;
  }
  std::sort(ms.begin(), ms.end());
  std::printf("seek_median: %.1f ms\n", ms[ms.size() / 2]);
  std::printf("seek_worst: %.1f ms\n", ms.back());
  std::printf("seek_missed: %d\n", lost);
  return 0;
}
