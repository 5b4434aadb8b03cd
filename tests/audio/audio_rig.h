#pragma once
// Helpers of the audio tests: the audio frames of a recording, a producer that
// feeds them to an audio queue as the reader does, environment settings, and
// measures of a stretch of 16-bit sound.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_ctx.h"
#include "core/buffer.h"
#include "core/decode_links.h"
#include "core/ts_demux.h"
#include "core/ts_format.h"
#include "platform/clock.h"
#include "platform/sound_device.h"
#include "tests/support/test_support.h"
#include "tools/sample_card/sample_constants.h"

namespace audiorig {

// The AAC payloads of the audio PES of a recording, in order.
inline std::vector<std::string> AudioFrames(const std::string& path) { return PesPayloads(path, TsStream::Audio); }

// The number of descriptors in the queue, read under its lock.
inline int QueueCount(CABuffer2& queue) {
  return queue.LockedCount();
}

// An audio thread with the queue, playback state and amplification a channel
// would give it (a channel's 15 slots).
struct ThreadRig {
  PlaybackState state;
  CABuffer2 queue{15};
  std::atomic<int> amplification{1};
  CAudioCtx thread{AudioLinks{&state, &queue, &amplification}};
};

// Pushes frames into an audio queue from a thread of its own, blocking while
// the queue is full, as the reader does. The queue must be initialised.
class Feeder {
public:
  Feeder(CBuffer& queue, std::vector<std::string> frames) : queue_(queue), frames_(std::move(frames)) {
    thread_ = std::thread([this] {
      FrameDesc d;
      queue_.Flush(&d);
      for (const auto& f : frames_) {
        std::memcpy(d.pData, f.data(), f.size());
        d.nSize = static_cast<int32_t>(f.size());
        d.nType = kFrameAudio;
        if (!queue_.Push(d)) break; // released
        ++pushed_;
      }
      done_ = true;
    });
  }
  ~Feeder() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  bool Done() const { return done_; }
  int Pushed() const { return pushed_; }

private:
  CBuffer& queue_;
  std::vector<std::string> frames_;
  std::atomic<int> pushed_{0};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// Sets an environment variable for the life of the object (call while no
// other thread runs).
class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  const char* name_;
  std::optional<std::string> old_;
};

inline std::vector<int16_t> ToSamples(const std::string& bytes, size_t from = 0) {
  std::vector<int16_t> s((bytes.size() > from ? bytes.size() - from : 0) / 2);
  if (!s.empty()) std::memcpy(s.data(), bytes.data() + from, s.size() * 2);
  return s;
}

struct Measures {
  double hz = 0;       // by rising zero crossings
  int peak = 0;
  double rms = 0;
  int minimum = 0, maximum = 0;
  int largestStep = 0; // between neighbouring samples
};

inline Measures Measure(const int16_t* s, size_t n) {
  Measures m;
  if (n < 2) return m;
  int crossings = 0;
  double sum = 0;
  m.minimum = m.maximum = s[0];
  for (size_t i = 0; i < n; ++i) {
    const int v = s[i];
    sum += static_cast<double>(v) * v;
    m.peak = std::max(m.peak, std::abs(v));
    m.minimum = std::min(m.minimum, v);
    m.maximum = std::max(m.maximum, v);
    if (i > 0) {
      if (s[i - 1] < 0 && v >= 0) ++crossings;
      m.largestStep = std::max(m.largestStep, std::abs(v - s[i - 1]));
    }
  }
  m.hz = crossings * 48000.0 / static_cast<double>(n);
  m.rms = std::sqrt(sum / static_cast<double>(n));
  return m;
}

inline bool AllZero(const int16_t* s, size_t n) {
  return std::all_of(s, s + n, [](int16_t v) { return v == 0; });
}

// First and one past the last non-zero sample; {0, 0} when all are zero.
inline std::pair<size_t, size_t> SoundSpan(const std::vector<int16_t>& s) {
  auto first = std::find_if(s.begin(), s.end(), [](int16_t v) { return v != 0; });
  if (first == s.end()) return {0, 0};
  auto last = std::find_if(s.rbegin(), s.rend(), [](int16_t v) { return v != 0; });
  return {static_cast<size_t>(first - s.begin()), static_cast<size_t>(s.rend() - last)};
}

// The sound output of a test without real time: a device that plays as fast
// as the audio thread writes, never past what it has written, so that what
// comes out does not depend on how busy the machine is. It learns how far the
// thread has written from the thread's waits for a notification (the only
// clock waits of CAudioCtx::kNotifyWaitMs): the thread writes the first two
// blocks, then one block before each wait. The device starts once the thread
// waits for the first time (the buffer then plays from 0) and pulls 1024 bytes
// at a time while fed() says the thread's producer is ahead.
class LockStepOutput : public platform::Clock {
public:
  explicit LockStepOutput(std::function<bool()> fed) : fed_(std::move(fed)) {
    platform::SetClock(this);
    platform::SetSoundDeviceOpener([this](const platform::PcmFormat& f) { return std::make_unique<Device>(f, *this); });
  }
  ~LockStepOutput() override {
    platform::SetSoundDeviceOpener({});
    platform::SetClock(nullptr);
  }
  LockStepOutput(const LockStepOutput&) = delete;
  LockStepOutput& operator=(const LockStepOutput&) = delete;

  int64_t NowMs() override { return platform::SystemClock().NowMs(); }
  void SleepMs(int64_t ms) override { platform::SystemClock().SleepMs(ms); }
  bool WaitFor(platform::AutoResetEvent& event, int64_t ms) override {
    if (ms == CAudioCtx::kNotifyWaitMs) ++waits_;
    return platform::SystemClock().WaitFor(event, ms);
  }

  // The samples played so far.
  std::vector<int16_t> Samples() {
    std::lock_guard lock(mutex_);
    return samples_;
  }
  size_t Played() {
    std::lock_guard lock(mutex_);
    return samples_.size();
  }
  // Waits (at most 60 s of real time) until ms more milliseconds of sound
  // have been played.
  bool WaitForPlayed(int ms) {
    const size_t until = Played() + static_cast<size_t>(48) * static_cast<size_t>(ms);
    for (int i = 0; i < 60000 && Played() < until; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return Played() >= until;
  }

private:
  class Device final : public platform::SoundDevice {
  public:
    Device(const platform::PcmFormat& format, LockStepOutput& output) : SoundDevice(format), output_(output) {
      thread_ = std::thread([this] { Run(); });
    }
    ~Device() override {
      stop_ = true;
      thread_.join();
    }

  private:
    void Run() {
      constexpr uint32_t kPull = 1024;
      uint64_t pulled = 0;
      std::vector<uint8_t> bytes(kPull);
      while (!stop_) {
        const uint64_t waits = static_cast<uint64_t>(output_.waits_.load());
        if (waits == 0 || pulled + kPull > (waits + 1) * CDSoundCtx::kBlockBytes || !output_.fed_()) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
          continue;
        }
        Render(bytes.data(), kPull);
        pulled += kPull;
        std::lock_guard lock(output_.mutex_);
        const size_t at = output_.samples_.size();
        output_.samples_.resize(at + kPull / 2);
        std::memcpy(output_.samples_.data() + at, bytes.data(), kPull);
      }
    }
    LockStepOutput& output_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
  };

  std::function<bool()> fed_;
  std::atomic<int> waits_{0};
  std::mutex mutex_;
  std::vector<int16_t> samples_;
};

// The tone's peak in samples of full scale.
inline double TonePeak() { return 32767.0 * std::pow(10.0, samplegen::kToneDbfs / 20.0); }

} // namespace audiorig
