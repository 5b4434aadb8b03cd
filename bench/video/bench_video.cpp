// Decode and present speed: a 1080p30 recording played through the whole video
// path (reader, queue, video thread, RGB back buffer of an in-memory window) with
// pacing off, against `ffmpeg -threads 1 ... -pix_fmt bgra -f null -` on the same file.
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

// The system clock, except that pacing waits return at once.
class NoPacingClock : public platform::Clock {
public:
  int64_t NowMs() override { return platform::SystemClock().NowMs(); }
  void SleepMs(int64_t ms) override { platform::SystemClock().SleepMs(ms); }
  bool WaitFor(platform::AutoResetEvent& event, int64_t) override { return event.TryWait(); }
};

constexpr int kSeconds = 60;
constexpr int kFrames = kSeconds * 30;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Frames a second through the video path; the reader keeps the very last frame back.
double OurFps(const std::string& file) {
  NoPacingClock clock;
  platform::SetClock(&clock);
  MemoryVideoTarget window(32, false);
  double fps = 0;
  {
    std::atomic<int> rgb{1}; // the RGB path: the scaler fills the 32-bit back buffer
    CTSChn channel(ChannelLinks{.displayMode = &rgb});
    channel.EnableAudio(false);
    channel.Open(&window, file);
    const auto start = std::chrono::steady_clock::now();
    channel.Start();
    while (channel.state.shownFrames.load() < kFrames - 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    fps = (kFrames - 1) / Seconds(std::chrono::steady_clock::now() - start);
  }
  platform::SetClock(nullptr);
  return fps;
}

double FfmpegFps(const std::string& file) {
  const auto start = std::chrono::steady_clock::now();
  if (bench::Run("ffmpeg -v error -threads 1 -i '" + file + "' -pix_fmt bgra -f null - 2>&1") != 0) return 0;
  return kFrames / Seconds(std::chrono::steady_clock::now() - start);
}

} // namespace

int main() {
  const std::string file =
      bench::CachedRecording("1080p30-60s", "--seconds 60 --size 1920x1080 --fps 30");
  // Best of three each, alternating, so that other load on the machine hurts both alike.
  double ours = 0, theirs = 0;
  for (int run = 0; run < 3; ++run) {
    ours = std::max(ours, OurFps(file));
    theirs = std::max(theirs, FfmpegFps(file));
  }
  std::printf("video_decode_fps: %.1f fps\n", ours);
  std::printf("ffmpeg_decode_fps: %.1f fps\n", theirs);
  std::printf("video_decode_ratio: %.3f\n", theirs > 0 ? ours / theirs : 0.0);
  return 0;
}
