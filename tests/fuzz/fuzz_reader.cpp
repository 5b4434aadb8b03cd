// Any bytes as a recording: read forward, then (when the program tables were
// found) in reverse, and the duration probe. Run from a corpus of sample files:
//   build-fuzz/bin/fuzz_reader -max_total_time=600 CORPUS_DIR
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/buffer.h"
#include "core/find_file_path.h"
#include "core/telemetry_mailbox.h"
#include "core/ts_analyse.h"
#include "core/ts_chn.h"
#include "platform/clock.h"
#include "platform/event.h"

namespace {

// Time that passes only when somebody sleeps or waits, so the reader's idle
// waits at the end of a recording cost nothing.
class InstantClock : public platform::Clock {
public:
  int64_t NowMs() override { return now_; }
  void SleepMs(int64_t ms) override { now_ += ms; }
  bool WaitFor(platform::AutoResetEvent& event, int64_t ms) override {
    if (event.TryWait()) return true;
    now_ += ms;
    return false;
  }

private:
  int64_t now_ = 0;
};

// The reader driven pass by pass on the calling thread.
class DrivenReader : public CTSAnalyse {
public:
  using CTSAnalyse::CTSAnalyse;
  void Begin() { BeginReading(); }
  void Drive(int passes) {
    running_ = true;
    for (int i = 0; i < passes; ++i) OnePass();
    running_ = false;
  }
};

const std::string& FuzzFile() {
  static const std::string path = [] {
    char dir[] = "/tmp/velmora-fuzz-XXXXXX";
    if (!::mkdtemp(dir)) std::abort();
    return std::string(dir) + "/fuzz_0001.ts";
  }();
  return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static InstantClock clock;
  platform::SetClock(&clock);
  const std::string& path = FuzzFile();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  PlaybackState state;
  TelemetryMailbox mailbox;
  CVBuffer2 video(CTSChn::kVideoSlots);
  CABuffer2 audio(CTSChn::kAudioSlots);
  video.SetGopState(CVBuffer2::kGopWaiting);
  // Not blocking: a full queue refuses frames instead of waiting for a consumer.
  video.Init(CTSChn::kVideoRing, CTSChn::kVideoLargest, 0, CTSChn::kVideoLargestLimit);
  audio.Init(CTSChn::kAudioRing, CTSChn::kAudioLargest, 0);

  DrivenReader reader(ReaderLinks{&state, nullptr, nullptr, &mailbox});
  reader.SetQueues(&video, &audio);
  reader.Begin();
  reader.SetPendingFile(path);
  const int passes = static_cast<int>(size / 8192) + 4;
  reader.Drive(passes);
  FrameDesc taken;
  while (video.Pop(taken)) {
  }
  if (reader.StreamsKnown()) {
    state.speedCode = kSpeedStep;
    reader.SetDirection(1);
    reader.Drive(passes + 2);
    reader.SetDirection(0);
    reader.Drive(3);
  }
  CFindFilePath::SpanSeconds(path);
  return 0;
}
