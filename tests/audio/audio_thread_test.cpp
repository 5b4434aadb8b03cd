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

template <typename F>
bool Eventually(F&& pred, int timeoutMs = 30000) {
  for (int waited = 0; waited < timeoutMs && !pred(); waited += 5) SleepReal(5);
  return pred();
}

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

} // namespace

// A recording played by a channel: the tone at its frequency and level; at
// 1000 % the samples saturate at the ends of the 16-bit range without wrapping.
// The device keeps step with the audio thread, and the thread with the reader.
TEST_F(AudioEndToEnd, ChannelPlaysTheToneAmplifiedWithSaturation) {
  for (int factor : {1, 10}) {
    SCOPED_TRACE(factor);
    const std::atomic<int> amplification{factor};
    std::vector<int16_t> samples;
    {
      CTSChn chn(ChannelLinks{.amplification = &amplification});
      audiorig::LockStepOutput output([&chn] {
        return chn.AudioQueue().LockedCount() >= 4 || chn.Reader().CurrentPosition() == chn.Reader().FileSize();
      });
      std::vector<RecordingEntry> list = {{1, recording_, 1000, 1003, 0}};
      chn.Open(nullptr, recording_);
      ASSERT_TRUE(chn.Start(&list));
      ASSERT_TRUE(dynamic_cast<CAudioCtx&>(chn.AudioThread()).HasSoundBuffer());
      ASSERT_TRUE(output.WaitForPlayed(1600));
      chn.Stop();
      samples = output.Samples();
    }
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
// too. The device keeps step with the audio thread, and the thread with the
// feeder.
TEST_F(AudioEndToEnd, HoldAndAudioFlagSilenceTheOutput) {
  audiorig::ThreadRig chn;
  ASSERT_TRUE(chn.queue.Init(CTSChn::kAudioRing, CTSChn::kAudioLargest, 1));
  audiorig::Feeder feeder(chn.queue, audiorig::AudioFrames(recording_));
  audiorig::LockStepOutput output([&] { return feeder.Done() || audiorig::QueueCount(chn.queue) >= 4; });
  ASSERT_TRUE(Eventually([&] { return chn.queue.IsFullLocked(); }));

  chn.state.audioHold = true;
  const int queued = audiorig::QueueCount(chn.queue);
  ASSERT_TRUE(chn.thread.Start());
  ASSERT_TRUE(chn.thread.HasSoundBuffer());
  ASSERT_TRUE(output.WaitForPlayed(400));
  EXPECT_EQ(audiorig::QueueCount(chn.queue), queued) << "a frame was taken while held";
  const size_t held = output.Played(); // all of it played while held

  chn.state.audioHold = false;
  ASSERT_TRUE(output.WaitForPlayed(600));
  chn.state.audio = false;
  const size_t sound = output.Played(); // at most this much was played with sound on
  ASSERT_TRUE(output.WaitForPlayed(600));
  chn.queue.Release();
  ASSERT_TRUE(chn.thread.Stop(10000));
  feeder.Join();

  const auto samples = output.Samples();
  ASSERT_GT(held, 4800u) << "the device did not run";
  EXPECT_TRUE(audiorig::AllZero(samples.data(), held));
  // Sound once the silence written ahead during the hold has played.
  std::vector<int16_t> played(samples.begin() + static_cast<long>(held), samples.begin() + static_cast<long>(sound));
  auto [first, last] = audiorig::SoundSpan(played);
  ASSERT_GT(last, first + 9600) << "less than 200 ms of sound";
  // (The decoder's first frame starts quiet.)
  auto m = audiorig::Measure(played.data() + first + 2048, last - first - 2048);
  EXPECT_NEAR(m.hz, 1000, 20);
  // Silence after the sound written ahead (at most 160 ms), one device pull
  // and a margin.
  const size_t silentFrom = sound + 7680 + 512 + 4096;
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
