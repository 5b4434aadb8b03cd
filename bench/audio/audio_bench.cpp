// The audio thread on SDL's disk driver (which plays in real time and writes
// the sound to a file, here /dev/null unless SDL_DISKAUDIOFILE says otherwise):
//
//   audio_thread_cpu_per_minute   CPU time of the audio thread per minute of
//                                 sound played (thread CPU clock)
//   pause_to_silence_*            from setting the hold flag (what a pause does)
//                                 to the first silent 10 ms pulled by the device
//   resume_to_sound_*             from clearing it to the first sound pulled
//
// Usage: velmora-audio-bench [--seconds N] [--pauses N]
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_ctx.h"
#include "bench/bench_common.h"
#include "core/ts_chn.h"
#include "core/ts_demux.h"
#include "core/ts_format.h"
#include "platform/clock.h"
#include "platform/sound_device.h"
#include "tools/sample_card/sample_constants.h"

namespace {

CAudioCtx& Audio(CTSChn& channel) { return dynamic_cast<CAudioCtx&>(channel.AudioThread()); }

using Steady = std::chrono::steady_clock;

double MsSince(Steady::time_point t) {
  return std::chrono::duration<double, std::milli>(Steady::now() - t).count();
}

int64_t ThreadCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::vector<std::string> AudioFrames(const std::string& path) { return PesPayloads(path, TsStream::Audio); }

// The system clock; a wait also notes the CPU time of the thread that waits
// (only the audio thread waits on the clock here).
class CpuNotingClock : public platform::Clock {
public:
  int64_t NowMs() override { return platform::SystemClock().NowMs(); }
  void SleepMs(int64_t ms) override {
    cpuNs = ThreadCpuNs();
    platform::SystemClock().SleepMs(ms);
  }
  bool WaitFor(platform::AutoResetEvent& event, int64_t ms) override {
    cpuNs = ThreadCpuNs();
    return platform::SystemClock().WaitFor(event, ms);
  }
  std::atomic<int64_t> cpuNs{0};
};

// Feeds the frames round and round into the queue as the reader would, until
// the limit or until the queue is released.
class Feeder {
public:
  Feeder(CBuffer& queue, const std::vector<std::string>& frames, int64_t limit) {
    thread_ = std::thread([&queue, &frames, limit, this] {
      FrameDesc d;
      queue.Flush(&d);
      for (int64_t n = 0; limit < 0 || n < limit; ++n) {
        const std::string& f = frames[static_cast<size_t>(n) % frames.size()];
        std::memcpy(d.pData, f.data(), f.size());
        d.nSize = static_cast<int32_t>(f.size());
        d.nType = kFrameAudio;
        if (!queue.Push(d)) break;
        ++pushed;
      }
      done = true;
    });
  }
  ~Feeder() {
    if (thread_.joinable()) thread_.join();
  }
  std::atomic<int64_t> pushed{0};
  std::atomic<bool> done{false};

private:
  std::thread thread_;
};

int QueueCount(CABuffer2& queue) {
  std::lock_guard lock(queue);
  return queue.Count();
}

bool AllZero(const uint8_t* b, size_t n) {
  return std::all_of(b, b + n, [](uint8_t v) { return v == 0; });
}

} // namespace

int main(int argc, char** argv) {
  int seconds = 20, pauses = 10;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--seconds")) seconds = std::max(1, std::atoi(argv[i + 1]));
    else if (!std::strcmp(argv[i], "--pauses")) pauses = std::max(1, std::atoi(argv[i + 1]));
  }
  if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "disk", 1);
  if (!std::getenv("SDL_DISKAUDIOFILE")) setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);

  const auto frames = AudioFrames(bench::FilesOf(bench::CachedCard("audio-10s", "--files 1 --seconds 10 --size 160x120"))[0]);
  if (frames.empty()) return 1;
  const double frameSeconds = static_cast<double>(samplegen::kAudioFrameSamples) / samplegen::kAudioSampleRate;

  // CPU time per minute of sound.
  {
    CpuNotingClock clock;
    platform::SetClock(&clock);
    CTSChn chn;
    chn.AudioQueue().Init(CTSChn::kAudioRing, CTSChn::kAudioLargest, 1);
    const auto limit = static_cast<int64_t>(seconds / frameSeconds);
    Feeder feeder(chn.AudioQueue(), frames, limit);
    while (!chn.AudioQueue().IsFullLocked() && !feeder.done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!Audio(chn).Start() || !Audio(chn).HasSoundBuffer()) {
      std::fprintf(stderr, "no sound device (SDL_AUDIODRIVER=%s)\n", std::getenv("SDL_AUDIODRIVER"));
      return 1;
    }
    auto start = Steady::now();
    while (!feeder.done || QueueCount(chn.AudioQueue()) > 1) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double wallMs = MsSince(start);
    const double cpuMs = static_cast<double>(clock.cpuNs.load()) / 1e6;
    const double soundSeconds = static_cast<double>(feeder.pushed.load()) * frameSeconds;
    chn.AudioQueue().Release();
    Audio(chn).Stop(10000);
    platform::SetClock(nullptr);
    std::fprintf(stderr, "%.1f s of sound in %.1f s, audio thread CPU %.1f ms\n", soundSeconds, wallMs / 1000, cpuMs);
    std::printf("audio_thread_cpu_per_minute: %.1f ms\n", cpuMs / soundSeconds * 60);
    std::printf("audio_thread_cpu_load: %.3f %%\n", cpuMs / wallMs * 100);
  }

  // From a pause to silence at the output, and back.
  {
    // 0 idle; 1 waiting for the first silent pull; 2 waiting for the first sound.
    std::atomic<int> armed{0};
    std::atomic<int64_t> seenNs{0};
    std::atomic<bool> sounding{false};
    platform::SetSoundDeviceOpener([&](const platform::PcmFormat& f) {
      auto device = platform::OpenSdlSoundDevice(f);
      if (device)
        device->SetTap([&](const uint8_t* b, size_t n) {
          const bool silent = AllZero(b, n);
          sounding = !silent;
          int want = silent ? 1 : 2;
          if (armed.compare_exchange_strong(want, 0))
            seenNs = std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now().time_since_epoch()).count();
        });
      return device;
    });
    CTSChn chn;
    chn.AudioQueue().Init(CTSChn::kAudioRing, CTSChn::kAudioLargest, 1);
    Feeder feeder(chn.AudioQueue(), frames, -1);
    if (!Audio(chn).Start() || !Audio(chn).HasSoundBuffer()) return 1;

    auto waitFor = [&](int state, Steady::time_point from) {
      while (armed == state) std::this_thread::sleep_for(std::chrono::microseconds(200));
      return static_cast<double>(seenNs.load() -
                                 std::chrono::duration_cast<std::chrono::nanoseconds>(from.time_since_epoch()).count()) /
             1e6;
    };
    std::mt19937 random(1);
    std::vector<double> toSilence, toSound;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (int i = 0; i < pauses; ++i) {
      // Pause at a random point of the block being played.
      std::this_thread::sleep_for(std::chrono::milliseconds(300 + random() % 64));
      while (!sounding) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      armed = 1;
      auto t = Steady::now();
      chn.state.audioHold = true;
      toSilence.push_back(waitFor(1, t));
      std::this_thread::sleep_for(std::chrono::milliseconds(300 + random() % 64));
      armed = 2;
      t = Steady::now();
      chn.state.audioHold = false;
      toSound.push_back(waitFor(2, t));
    }
    chn.AudioQueue().Release();
    Audio(chn).Stop(10000);
    platform::SetSoundDeviceOpener({});

    auto mean = [](const std::vector<double>& v) {
      double s = 0;
      for (double x : v) s += x;
      return s / static_cast<double>(v.size());
    };
    std::printf("pause_to_silence_mean: %.1f ms\n", mean(toSilence));
    std::printf("pause_to_silence_max: %.1f ms\n", *std::max_element(toSilence.begin(), toSilence.end()));
    std::printf("resume_to_sound_mean: %.1f ms\n", mean(toSound));
    std::printf("resume_to_sound_max: %.1f ms\n", *std::max_element(toSound.begin(), toSound.end()));
  }
  return 0;
}
