// bench_startup: from launching `velmora FILE` to its first picture on screen,
// and the same for `ffplay FILE`, on one virtual display (1920x1080x24; the
// program starts one itself when there is no display). The first picture is
// found the same way for both: the screen is grabbed every few milliseconds
// until the recording's green fields fill a large part of it. Best and median
// of nine starts each, the two players taking turns, so that other work on the
// machine weighs on both alike; startup_ratio is ffplay's median over ours
// (higher is better).
#include <algorithm>
#include <chrono>
#include <thread>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include "bench/app/player_bench.h"

namespace {

// Pixels of the sample's grass green, counted on every second pixel of every second row.
int GreenPixels(const QImage& img) {
  int n = 0;
  for (int y = 0; y < img.height(); y += 2) {
    const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < img.width(); x += 2) {
      const QRgb p = line[x];
      if (qGreen(p) > 100 && qRed(p) < 90 && qBlue(p) < 90) ++n;
    }
  }
  return n;
}

// Seconds from the launch to the first picture; -1 when none came in 30 s.
double TimeToFirstPicture(const std::vector<std::string>& argv) {
  QScreen* screen = QGuiApplication::primaryScreen();
  playerbench::Child child;
  const auto start = std::chrono::steady_clock::now();
  if (!child.Start(argv)) return -1;
  double seconds = -1;
  while (bench::Seconds(start) < 30 && child.Running()) {
    const QImage img = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    if (GreenPixels(img) > 150000 / 4) {
      seconds = bench::Seconds(start);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  child.Stop();
  // The screen is clear again before the next start.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  return seconds;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
  playerbench::EnsureDisplay(argv);
  QGuiApplication app(argc, argv);
  const std::string media = bench::CachedCard("1080p30-60s-card", "--files 1 --seconds 60 --size 1920x1080 --fps 30 --gop 30");
  const std::string file = bench::FilesOf(media).front();
  bench::WarmUp({file});
  const std::string folder = playerbench::PlayerFolder(2);
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::vector<double> ours, theirs;
  for (int i = 0; i < 9; ++i) {
    ours.push_back(TimeToFirstPicture({folder + "velmora", file}));
    theirs.push_back(TimeToFirstPicture({"ffplay", "-v", "error", file}));
  }
  if (std::count(ours.begin(), ours.end(), -1.0) || std::count(theirs.begin(), theirs.end(), -1.0)) {
    std::fprintf(stderr, "a player showed no picture within 30 s\n");
    return 1;
  }
  std::printf("startup_best: %.3f s\n", *std::min_element(ours.begin(), ours.end()));
  std::printf("startup_median: %.3f s\n", Median(ours));
  std::printf("ffplay_startup_best: %.3f s\n", *std::min_element(theirs.begin(), theirs.end()));
  std::printf("ffplay_startup_median: %.3f s\n", Median(theirs));
  std::printf("startup_ratio: %.3f\n", Median(theirs) / Median(ours));
  return 0;
}
