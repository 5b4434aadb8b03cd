// The audio thread end to end: sample recordings played through SDL's disk
// driver (real device timing, the output written to a file), and without any
// sound device.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "audio/audio_ctx.h"
#include "core/ts_chn.h"
#include "tests/audio/audio_rig.h"

using audiorig::ScopedEnv;
using testsupport::TempDir;

namespace {

void SleepReal(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class AudioEndToEnd : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    recording_ = testsupport::MakeSampleCard(dir_->path() + "/card", "--files 1 --seconds 3 --size 320x240") +
                 "/20240601_080000_0001.ts";
  }
  static void TearDownTestSuite() { delete dir_; }

  static TempDir* dir_;
  static std::string recording_;
  TempDir out_;
};
TempDir* AudioEndToEnd::dir_ = nullptr;
std::string AudioEndToEnd::recording_;

int64_t FileSize(const std::string& path) {
  std::error_code ec;
  auto n = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<int64_t>(n);
}

// Waits (at most 20 s of real time) until the device has played ms more
// milliseconds of sound (48000 samples a second, 2 bytes each) into the file.
bool WaitForPlayed(const std::string& pcm, int ms) {
  const int64_t until = FileSize(pcm) + int64_t{96} * ms;
  for (int i = 0; i < 4000; ++i) {
    if (FileSize(pcm) >= until) return true;
    SleepReal(5);
  }
  return FileSize(pcm) >= until;
}

} // namespace

// A recording played by a channel: the tone at its frequency and level; at
// 1000 % the samples saturate at the ends of the 16-bit range without wrapping.
TEST_F(AudioEndToEnd, ChannelPlaysTheToneAmplifiedWithSaturation) {
  for (int factor : {1, 10}) {
    SCOPED_TRACE(factor);
    const std::string pcm = out_ / ("out" + std::to_string(factor) + ".raw");
    ScopedEnv driver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", pcm);
    const std::atomic<int> amplification{factor};
    {
      CTSChn chn(ChannelLinks{.amplification = &amplification});
      std::vector<RecordingEntry> list = {{1, recording_, 1000, 1003, 0}};
      chn.Open(nullptr, recording_);
      ASSERT_TRUE(chn.Start(&list));
      ASSERT_TRUE(dynamic_cast<CAudioCtx&>(chn.AudioThread()).HasSoundBuffer());
      ASSERT_TRUE(WaitForPlayed(pcm, 1600));
      chn.Stop();
    }
    auto samples = audiorig::ToSamples(testsupport::ReadFile(pcm));
    auto [first, last] = audiorig::SoundSpan(samples);
    // The middle of what was played, away from the decoder's quiet start.
    ASSERT_GT(last, first + 48000) << "less than a second of sound";
    auto m = audiorig::Measure(samples.data() + first + 9600, last - first - 19200);
    EXPECT_NEAR(m.hz, 1000, 20);
    if (factor == 1) {
      EXPECT_NEAR(m.peak, audiorig::TonePeak(), audiorig::TonePeak() * 0.1);
      EXPECT_NEAR(m.rms, audiorig::TonePeak() / std::sqrt(2.0), audiorig::TonePeak() * 0.1);
    } else {
      EXPECT_EQ(m.minimum, -32768);
      EXPECT_EQ(m.maximum, 32767);
      // A wrapped sample would jump across the whole range.
      EXPECT_LT(m.largestStep, 20000);
    }
  }
}

// While the video thread holds the audio, the output is silent and no frame
// is taken from the queue; with the audio flag clear the output turns silent
// too.
TEST_F(AudioEndToEnd, HoldAndAudioFlagSilenceTheOutput) {
  const std::string pcm = out_ / "out.raw";
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");
  ScopedEnv file("SDL_DISKAUDIOFILE", pcm);
  audiorig::ThreadRig chn;
  ASSERT_TRUE(chn.queue.Init(CTSChn::kAudioRing, CTSChn::kAudioLargest, 1));
  audiorig::Feeder feeder(chn.queue, audiorig::AudioFrames(recording_));
  for (int i = 0; i < 2000 && !chn.queue.IsFullLocked(); ++i) SleepReal(5);

  chn.state.audioHold = true;
  const int queued = audiorig::QueueCount(chn.queue);
  ASSERT_TRUE(chn.thread.Start());
  ASSERT_TRUE(chn.thread.HasSoundBuffer());
  ASSERT_TRUE(WaitForPlayed(pcm, 400));
  EXPECT_EQ(audiorig::QueueCount(chn.queue), queued) << "a frame was taken while held";
  const int64_t heldBytes = FileSize(pcm); // all of it played while held

  chn.state.audioHold = false;
  ASSERT_TRUE(WaitForPlayed(pcm, 600));
  chn.state.audio = false;
  const int64_t soundBytes = FileSize(pcm); // at most this much was played with sound on
  ASSERT_TRUE(WaitForPlayed(pcm, 600));
  chn.queue.Release();
  ASSERT_TRUE(chn.thread.Stop(10000));
  feeder.Join();

  auto samples = audiorig::ToSamples(testsupport::ReadFile(pcm));
  ASSERT_GT(heldBytes, 9600) << "the device did not run";
  EXPECT_TRUE(audiorig::AllZero(samples.data(), static_cast<size_t>(heldBytes / 2)));
  // Sound once the silence written ahead during the hold has played.
  std::vector<int16_t> played(samples.begin() + heldBytes / 2, samples.begin() + soundBytes / 2);
  auto [first, last] = audiorig::SoundSpan(played);
  ASSERT_GT(last, first + 9600) << "less than 200 ms of sound";
  // (The decoder's first frame starts quiet.)
  auto m = audiorig::Measure(played.data() + first + 2048, last - first - 2048);
  EXPECT_NEAR(m.hz, 1000, 20);
  // Silence after the sound written ahead (at most 160 ms), one device pull
  // and what the driver's file buffer held back when the size was read.
  const size_t silentFrom = static_cast<size_t>(soundBytes / 2) + 7680 + 480 + 4096;
  ASSERT_GT(samples.size(), silentFrom + 9600);
  EXPECT_TRUE(audiorig::AllZero(samples.data() + silentFrom, samples.size() - silentFrom));
}

// Muted: the frames are taken at their pace (the reader is not held back) and
// only silence reaches the device.
TEST_F(AudioEndToEnd, MutedChannelTakesFramesAndPlaysSilence) {
  const std::string pcm = out_ / "out.raw";
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");
  ScopedEnv file("SDL_DISKAUDIOFILE", pcm);
  audiorig::ThreadRig chn;
  ASSERT_TRUE(chn.queue.Init(CTSChn::kAudioRing, CTSChn::kAudioLargest, 1));
  audiorig::Feeder feeder(chn.queue, audiorig::AudioFrames(recording_));
  for (int i = 0; i < 2000 && !chn.queue.IsFullLocked(); ++i) SleepReal(5);
  const int queued = audiorig::QueueCount(chn.queue);

  chn.state.muted = true;
  ASSERT_TRUE(chn.thread.Start());
  ASSERT_TRUE(chn.thread.HasSoundBuffer());
  // Wait until well over a queue's worth of frames has been played.
  for (int i = 0; i < 2000 && FileSize(pcm) < 96000 * 2; ++i) SleepReal(5);
  chn.queue.Release();
  ASSERT_TRUE(chn.thread.Stop(10000));
  feeder.Join();

  auto samples = audiorig::ToSamples(testsupport::ReadFile(pcm));
  ASSERT_GE(samples.size(), 96000u) << "the device did not run";
  EXPECT_GT(feeder.Pushed(), queued) << "no frame was taken while muted";
  EXPECT_TRUE(audiorig::AllZero(samples.data(), samples.size()));
}

// Without a sound device the thread drains the queue, so a producer never
// waits on it for long.
TEST_F(AudioEndToEnd, WithoutASoundDeviceTheQueueIsDrained) {
  ScopedEnv driver("SDL_AUDIODRIVER", "velmora-no-such-driver");
  testsupport::ManualClock clock; // the thread's 10 ms sleeps take no time
  testsupport::ScopedClock useClock(clock);
  audiorig::ThreadRig chn;
  ASSERT_TRUE(chn.queue.Init(CTSChn::kAudioRing, CTSChn::kAudioLargest, 1));
  auto frames = audiorig::AudioFrames(recording_);
  ASSERT_TRUE(chn.thread.Start()) << "no device is not a failure";
  EXPECT_FALSE(chn.thread.HasSoundBuffer());
  audiorig::Feeder feeder(chn.queue, frames);
  for (int i = 0; i < 4000 && !feeder.Done(); ++i) SleepReal(5);
  EXPECT_TRUE(feeder.Done());
  EXPECT_EQ(feeder.Pushed(), static_cast<int>(frames.size()));
  chn.queue.Release();
  EXPECT_TRUE(chn.thread.Stop(10000));
}
