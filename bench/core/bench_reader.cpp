// The reader's throughput: a chain of 1080p recordings read by the reader with
// consumers that take every frame at once, against ffmpeg copying the same
// files to nowhere (the telemetry stream, which ffmpeg cannot map, left out).
// Also the allocations per frame and the peak memory.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

#include "bench/bench_common.h"
#include "core/buffer.h"
#include "core/telemetry_mailbox.h"
#include "core/ts_analyse.h"
#include "core/ts_chn.h"

namespace {
std::atomic<uint64_t> g_allocations{0};
}

void* operator new(size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

int main() {
  // Five one-minute 1080p recordings at 16 Mbit/s, about 600 MB.
  auto files = bench::FilesOf(
      bench::CachedCard("reader-1080p", "--files 5 --seconds 60 --size 1920x1080 --bitrate 16000 --gop 30"));
  const uint64_t bytes = bench::TotalBytes(files);
  bench::WarmUp(files);

  PlaybackState state;
  TelemetryMailbox mailbox;
  CVBuffer2 video(CTSChn::kVideoSlots);
  CABuffer2 audio(CTSChn::kAudioSlots);
  video.SetGopState(CVBuffer2::kGopWaiting);
  video.Init(CTSChn::kVideoRing, CTSChn::kVideoLargest, 1, CTSChn::kVideoLargestLimit);
  audio.Init(CTSChn::kAudioRing, CTSChn::kAudioLargest, 1);
  CTSAnalyse reader(ReaderLinks{&state, nullptr, nullptr, &mailbox});
  reader.SetQueues(&video, &audio);

  std::atomic<bool> done{false};
  std::atomic<uint64_t> frames{0};
  auto consume = [&](CBuffer& q) {
    FrameDesc d;
    while (!done.load(std::memory_order_relaxed)) {
      if (q.Pop(d)) frames.fetch_add(1, std::memory_order_relaxed);
      else std::this_thread::yield();
    }
  };
  std::thread videoConsumer(consume, std::ref(video));
  std::thread audioConsumer(consume, std::ref(audio));

  auto start = std::chrono::steady_clock::now();
  uint64_t allocationsAtStart = 0, framesAtStart = 0;
  reader.Start(files.front());
  // Steady state begins once the reader is past its start-up allocations.
  while (frames.load() < 100) std::this_thread::yield();
  allocationsAtStart = g_allocations.load();
  framesAtStart = frames.load();
  // Only the atomic position is polled (asking for the path would allocate);
  // the path is checked when a recording has been read to its end.
  const int64_t lastSize = static_cast<int64_t>(std::filesystem::file_size(files.back()));
  for (;;) {
    if (reader.FileSize() == lastSize && reader.CurrentPosition() >= lastSize && reader.GetCurFile() == files.back()) break;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  const double ours = bench::Seconds(start);
  const uint64_t steadyFrames = frames.load() - framesAtStart;
  const uint64_t steadyAllocations = g_allocations.load() - allocationsAtStart;
  done = true;
  video.Release();
  audio.Release();
  reader.Stop();
  videoConsumer.join();
  audioConsumer.join();

  double peer = 0;
  for (const auto& f : files) peer += bench::TimeCommand("ffmpeg -v error -i '" + f + "' -map 0 -ignore_unknown -c copy -f null -");

  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("reader_input: %.0f MB\n", mb);
  std::printf("reader_frames: %llu frames\n", static_cast<unsigned long long>(frames.load()));
  std::printf("reader_allocations_per_frame: %.4f allocations\n",
              steadyFrames ? static_cast<double>(steadyAllocations) / static_cast<double>(steadyFrames) : 0.0);
  std::printf("reader_peak_rss: %.1f MB\n", static_cast<double>(bench::PeakRssKb()) / 1024.0);
  std::printf("reader_rate: %.1f MB/s\n", mb / ours);
  std::printf("ffmpeg_copy_rate: %.1f MB/s\n", mb / peer);
  std::printf("reader_rate_ratio: %.2f\n", peer / ours);
  return 0;
}
