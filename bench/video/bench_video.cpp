// Decode and present speed: a 1080p30 recording played through the whole video
// path (reader, queue, video thread, RGB back buffer of an in-memory window) with
// pacing off, against `ffmpeg -threads 1 ... -pix_fmt bgra -f null -` on the same file;
// then the same for an H.265 recording of the sample camera.
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


double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Frames a second through the video path; the reader keeps the very last frame back.
double OurFps(const std::string& file, int frames) {
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
    while (channel.state.shownFrames.load() < frames - 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    fps = (frames - 1) / Seconds(std::chrono::steady_clock::now() - start);
  }
  platform::SetClock(nullptr);
  return fps;
}

double FfmpegFps(const std::string& file, int frames) {
  const auto start = std::chrono::steady_clock::now();
  if (bench::Run("ffmpeg -v error -threads 1 -i '" + file + "' -pix_fmt bgra -f null - 2>&1") != 0) return 0;
  return frames / Seconds(std::chrono::steady_clock::now() - start);
}

} // namespace

// Best of three each, alternating, so that other load on the machine hurts both alike.
void Compare(const std::string& file, int frames, const char* ours, const char* peer, const char* ratio) {
  double a = 0, b = 0;
  for (int run = 0; run < 3; ++run) {
    a = std::max(a, OurFps(file, frames));
    b = std::max(b, FfmpegFps(file, frames));
  }
  std::printf("%s: %.1f fps\n", ours, a);
  std::printf("%s: %.1f fps\n", peer, b);
  std::printf("%s: %.3f\n", ratio, b > 0 ? a / b : 0.0);
}

int main() {
  Compare(bench::CachedRecording("1080p30-60s", "--seconds 60 --size 1920x1080 --fps 30"), 60 * 30,
          "video_decode_fps", "ffmpeg_decode_fps", "video_decode_ratio");
  Compare(bench::CachedRecording("1080p30-h265-30s", "--seconds 30 --size 1920x1080 --fps 30 --codec h265"), 30 * 30,
          "video_h265_decode_fps", "ffmpeg_h265_decode_fps", "video_h265_decode_ratio");
  return 0;
}
