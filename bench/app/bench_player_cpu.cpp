// bench_player_cpu: CPU seconds and peak memory of playing 60 s of a 1080p30
// recording at 1x in the main window (1920*1080 layout, map and telemetry shown;
// the map's browser process included once it has ended), against
// `ffplay -autoexit` on the same file, on one virtual display. Ratios are
// ffplay's figure over ours (higher is better).
#include <chrono>
#include <thread>

#include "bench/app/player_bench.h"

int main(int, char** argv) {
  playerbench::EnsureDisplay(argv);
  const std::string media = bench::CachedCard("1080p30-60s-card", "--files 1 --seconds 60 --size 1920x1080 --fps 30 --gop 30");
  const std::string file = bench::FilesOf(media).front();
  bench::WarmUp({file});
  const std::string folder = playerbench::PlayerFolder(2);
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);

  playerbench::Child ours;
  if (!ours.Start({folder + "velmora", file})) return 1;
  std::this_thread::sleep_for(std::chrono::seconds(61));
  ours.Stop();

  playerbench::Child theirs;
  if (!theirs.Start({"ffplay", "-v", "error", "-autoexit", file})) return 1;
  theirs.Wait();

  std::printf("player_cpu_seconds: %.2f s\n", ours.cpuSeconds);
  std::printf("player_peak_rss: %.1f MiB\n", ours.peakRssKb / 1024.0);
  std::printf("ffplay_cpu_seconds: %.2f s\n", theirs.cpuSeconds);
  std::printf("ffplay_peak_rss: %.1f MiB\n", theirs.peakRssKb / 1024.0);
  std::printf("player_cpu_ratio: %.3f\n", ours.cpuSeconds > 0 ? theirs.cpuSeconds / ours.cpuSeconds : 0.0);
  std::printf("player_rss_ratio: %.3f\n", ours.peakRssKb > 0 ? double(theirs.peakRssKb) / ours.peakRssKb : 0.0);
  return 0;
}
