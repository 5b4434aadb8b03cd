// Exact steps back on a 1080p30 recording with groups of 30 pictures: the time
// from CTSChn::StepBack to the new picture in the window (an in-memory window
// with a 32-bit back buffer, so the conversion is included), when the step needs
// the group before (not kept: read and decoded from the file) and when the
// picture is kept from the group decoded before. Walking back from the end of the
// recording, one step in 30 enters a new group. Median and worst of 100 each.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_common.h"
#include "core/ts_chn.h"
#include "video/memory_target.h"
#include "video/video_ctx.h"

namespace {

constexpr int kSamples = 100;

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool WaitFor(const std::atomic<int>& counter, int above, int timeoutMs = 10000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (counter.load() <= above) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

// Walks back from near the end of the file; adds the times of the steps that
// entered a new group to `uncached`, the others to `cached`.
void Walk(const std::string& file, std::vector<double>& uncached, std::vector<double>& cached) {
  MemoryVideoTarget window(32, false);
  std::atomic<int> rgb{1};
  CTSChn channel(ChannelLinks{.displayMode = &rgb});
  channel.EnableAudio(false);
  channel.Open(&window, file);
  channel.Start();
  while (!channel.Reader().StreamsKnown()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  channel.Seek(960);
  // Play a little of the last group, then hold.
  const int before = channel.state.shownFrames.load();
  WaitFor(channel.state.shownFrames, before + 5);
  channel.SetPause(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  auto& video = dynamic_cast<CVideoCtx&>(channel.VideoThread());
  int groupsBefore = video.GroupsDecoded();
  while (uncached.size() < kSamples || cached.size() < kSamples) {
    const int shown = channel.state.shownFrames.load();
    const auto start = std::chrono::steady_clock::now();
    channel.StepBack();
    if (!WaitFor(channel.state.shownFrames, shown)) return; // the start of the recording
    const double ms = Ms(std::chrono::steady_clock::now() - start);
    const int groups = video.GroupsDecoded();
    (groups != groupsBefore ? uncached : cached).push_back(ms);
    groupsBefore = groups;
  }
}

void Print(const char* name, std::vector<double> v) {
  if (v.empty()) return;
  std::sort(v.begin(), v.end());
  if (v.size() > kSamples) v.resize(kSamples);
  std::printf("%s_median: %.1f ms\n", name, v[v.size() / 2]);
  std::printf("%s_worst: %.1f ms\n", name, v.back());
}

} // namespace

int main() {
  const std::string file = bench::CachedRecording("1080p30-60s", "--seconds 60 --size 1920x1080 --fps 30");
  std::vector<double> uncached, cached;
  for (int pass = 0; pass < 3 && (uncached.size() < kSamples || cached.size() < kSamples); ++pass)
    Walk(file, uncached, cached);
  Print("step_back_uncached", uncached);
  Print("step_back_cached", cached);
  return 0;
}
