// Pacing at 1x: the intervals between presented pictures of 30 and 60 frames a
// second recordings over 20 s on the real clock: mean error and 99th percentile
// of the deviation from the nominal interval.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_common.h"
#include "core/ts_chn.h"
#include "video/memory_target.h"
#include "video/video_picture.h"

namespace {

// An in-memory window that notes when each new picture arrives.
class TimingWindow : public MemoryVideoTarget {
public:
  bool Show(std::shared_ptr<const VideoPicture> picture) override {
    if (picture && !picture->blank && picture->serial != lastSerial_) {
      lastSerial_ = picture->serial;
      std::lock_guard lock(mutex_);
      times_.push_back(std::chrono::steady_clock::now());
    }
    return MemoryVideoTarget::Show(std::move(picture));
  }
  std::vector<std::chrono::steady_clock::time_point> Times() {
    std::lock_guard lock(mutex_);
    return times_;
  }

private:
  uint64_t lastSerial_ = 0; // video thread only
  std::mutex mutex_;
  std::vector<std::chrono::steady_clock::time_point> times_;
};

void Measure(int fps) {
  const std::string file = bench::CachedRecording(
      "pacing-" + std::to_string(fps) + "fps", "--seconds 25 --size 640x360 --fps " + std::to_string(fps));
  TimingWindow window;
  {
    std::atomic<int> rgb{1};
    CTSChn channel(ChannelLinks{.displayMode = &rgb});
    channel.EnableAudio(false);
    channel.Open(&window, file);
    channel.Start();
    // The reader measures the rate over its first frames; the first 2 s are left out.
    std::this_thread::sleep_for(std::chrono::seconds(23));
  }
  const auto times = window.Times();
  const double nominal = 1000.0 / fps;
  const size_t first = static_cast<size_t>(2 * fps), count = static_cast<size_t>(20 * fps);
  if (times.size() < first + count + 1) {
    std::printf("pacing_%dfps_pictures: %zu (too few)\n", fps, times.size());
    return;
  }
  std::vector<double> intervals, deviations;
  for (size_t i = first + 1; i <= first + count; ++i) {
    const double ms = std::chrono::duration<double, std::milli>(times[i] - times[i - 1]).count();
    intervals.push_back(ms);
    deviations.push_back(std::fabs(ms - nominal));
  }
  double mean = 0;
  for (double v : intervals) mean += v / static_cast<double>(intervals.size());
  std::sort(deviations.begin(), deviations.end());
  const double p99 = deviations[static_cast<size_t>(0.99 * static_cast<double>(deviations.size() - 1))];
  std::printf("pacing_%dfps_mean_interval: %.3f ms\n", fps, mean);
  std::printf("pacing_%dfps_mean_error: %.3f %%\n", fps, std::fabs(mean - nominal) / nominal * 100.0);
  std::printf("pacing_%dfps_p99_deviation: %.2f ms\n", fps, p99);
}

} // namespace

int main() {
  Measure(30);
  Measure(60);
  return 0;
}
