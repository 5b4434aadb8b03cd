// 4K: a 3840x2160 30 fps recording at 40 Mbit/s, as 4K cameras record.
// 1. Played at 1x for 20 s in velmora-play on a virtual display (xvfb-run,
//    1920x1080x24, no audio): pictures shown a second (goal 30) and pictures put on
//    screen more than one interval late (goal 0).
// 2. Decoded through the whole video path (reader, queue, video thread, 4:2:0 back
//    buffer of an in-memory window) with pacing off, against `ffmpeg -threads 2
//    -f null -` on the same file: pictures a second, best of three, alternating.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "bench/bench_common.h"
#include "core/ts_chn.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "video/memory_target.h"

namespace {

constexpr int kSeconds = 30;
constexpr int kFrames = kSeconds * 30;
constexpr int kPlaySeconds = 20;

class NoPacingClock : public platform::Clock {
public:
  int64_t NowMs() override { return platform::SystemClock().NowMs(); }
  void SleepMs(int64_t ms) override { platform::SystemClock().SleepMs(ms); }
  bool WaitFor(platform::AutoResetEvent& event, int64_t) override { return event.TryWait(); }
};

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double OurFps(const std::string& file) {
  NoPacingClock clock;
  platform::SetClock(&clock);
  MemoryVideoTarget window(32, true);
  double fps = 0;
  {
    std::atomic<int> yuv{0};
    CTSChn channel(ChannelLinks{.displayMode = &yuv});
    channel.EnableAudio(false);
    channel.Open(&window, file);
    const auto start = std::chrono::steady_clock::now();
    channel.Start();
    // The reader keeps the very last frame back, and the decoder's threads a picture or two.
    const int wanted = kFrames - 4;
    while (channel.state.shownFrames.load() < wanted) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    fps = wanted / Seconds(std::chrono::steady_clock::now() - start);
  }
  platform::SetClock(nullptr);
  return fps;
}

double FfmpegFps(const std::string& file) {
  const auto start = std::chrono::steady_clock::now();
  if (bench::Run("ffmpeg -v error -threads 2 -i '" + file + "' -f null - 2>&1") != 0) return 0;
  return kFrames / Seconds(std::chrono::steady_clock::now() - start);
}

// Pictures shown and late in velmora-play over kPlaySeconds.
bool Play(const std::string& file, double& fps, int& late) {
  std::string out;
  bench::Run("xvfb-run -a -s '-screen 0 1920x1080x24' '" + bench::BinDir() + "velmora-play' --no-audio --quit-after " +
                 std::to_string(kPlaySeconds) + " '" + file + "' 2>&1",
             &out);
  long long shown = 0;
  const size_t at = out.find(" pictures shown");
  const size_t lateAt = out.find(" pictures late");
  if (at == std::string::npos || lateAt == std::string::npos ||
      std::sscanf(out.c_str() + out.rfind(": ", at) + 2, "%lld", &shown) != 1 ||
      std::sscanf(out.c_str() + out.rfind(": ", lateAt) + 2, "%d", &late) != 1) {
    std::fprintf(stderr, "no count from velmora-play:\n%s\n", out.c_str());
    return false;
  }
  fps = static_cast<double>(shown) / kPlaySeconds;
  return true;
}

} // namespace

int main() {
  const std::string file =
      bench::CachedRecording("2160p30-30s-40M", "--seconds 30 --size 3840x2160 --fps 30 --bitrate 40000");
  double playFps = 0;
  int late = 0;
  if (!Play(file, playFps, late)) return 1;
  std::printf("video_4k_play_fps: %.1f fps\n", playFps);
  std::printf("video_4k_late_pictures: %d\n", late);
  double ours = 0, theirs = 0;
  for (int run = 0; run < 3; ++run) {
    ours = std::max(ours, OurFps(file));
    theirs = std::max(theirs, FfmpegFps(file));
  }
  std::printf("video_4k_decode_fps: %.1f fps\n", ours);
  std::printf("ffmpeg_4k_decode_fps: %.1f fps\n", theirs);
  std::printf("video_4k_ratio: %.3f\n", theirs > 0 ? ours / theirs : 0.0);
  return 0;
}
