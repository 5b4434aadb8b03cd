// The looping sound buffer, the block ring rules of the sound output, and the
// audio thread's block loop on a device and a clock driven by the test.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "audio/audio_ctx.h"
#include "audio/dsound_ctx.h"
#include "core/ts_chn.h"
#include "platform/event.h"
#include "platform/sound_device.h"
#include "tests/audio/audio_rig.h"

using platform::ManualSoundDevice;
using platform::PcmFormat;
using platform::SoundRegions;

namespace {

constexpr uint32_t kBlock = CDSoundCtx::kBlockBytes;
constexpr uint32_t kRing = CDSoundCtx::kBufferBytes;
const PcmFormat kMono48k{1, 48000, 16};

// Makes OpenSoundDevice hand out manual devices, and remembers the last one.
class ManualDevices {
public:
  ManualDevices() {
    platform::SetSoundDeviceOpener([this](const PcmFormat& f) {
      auto d = std::make_unique<ManualSoundDevice>(f);
      last = d.get();
      return d;
    });
  }
  ~ManualDevices() { platform::SetSoundDeviceOpener({}); }
  ManualSoundDevice* last = nullptr;
};

} // namespace

TEST(SoundBuffer, LockedBytesReachTheDeviceAtUnlockAndWrapAtTheEnd) {
  ManualSoundDevice device(kMono48k);
  auto buffer = device.CreateBuffer(kMono48k, 64);
  ASSERT_TRUE(buffer);
  EXPECT_FALSE(device.CreateBuffer({2, 48000, 16}, 64)) << "another format than the device's";
  EXPECT_FALSE(device.CreateBuffer(kMono48k, 63)) << "not whole samples";

  EXPECT_EQ(device.Play(8), std::vector<uint8_t>(8, 0)) << "silence before play";
  ASSERT_TRUE(buffer->SetCurrentPosition(48));
  ASSERT_TRUE(buffer->PlayLooping());

  SoundRegions r;
  ASSERT_TRUE(buffer->Lock(48, 32, r));
  ASSERT_EQ(r.firstBytes, 16u);
  ASSERT_EQ(r.secondBytes, 16u);
  SoundRegions other;
  EXPECT_FALSE(buffer->Lock(0, 8, other)) << "one lock at a time";
  for (uint8_t i = 0; i < 16; ++i) r.first[i] = static_cast<uint8_t>(1 + i), r.second[i] = static_cast<uint8_t>(17 + i);
  EXPECT_EQ(device.Play(4), std::vector<uint8_t>(4, 0)) << "locked bytes are not played before the unlock";
  buffer->Unlock(r);

  // The device went on at 52: the rest of the tail, then the head of the ring.
  std::vector<uint8_t> heard = device.Play(28);
  std::vector<uint8_t> expected;
  for (int i = 5; i <= 32; ++i) expected.push_back(static_cast<uint8_t>(i));
  EXPECT_EQ(heard, expected);
  uint32_t play = 0, write = 0;
  ASSERT_TRUE(buffer->GetCurrentPosition(play, write));
  EXPECT_EQ(play, 52u) << "the start of the bytes pulled last";
  EXPECT_EQ(write, 16u) << "the end of them, wrapped";

  EXPECT_FALSE(buffer->Lock(64, 8, other)) << "offset outside";
  EXPECT_FALSE(buffer->Lock(0, 65, other)) << "longer than the buffer";
}

TEST(SoundBuffer, NotificationsFireWhenTheDeviceReachesTheirPosition) {
  ManualDevices devices;
  CDSoundCtx output;
  ASSERT_TRUE(output.Init(1, 48000, 16));
  platform::AutoResetEvent event;
  auto buffer = output.CreateStreamBuffer(event, 1, 48000, 16);
  ASSERT_TRUE(buffer);
  ASSERT_TRUE(CDSoundCtx::StartLooping(*buffer));

  // Positions sit in the middle of each block: 3072, 9216, ..., 95232.
  struct Step {
    uint32_t play;
    bool fires;
    uint32_t cursorAfter;
  } steps[] = {
      {3071, false, 3071},
      {1, true, 3072},       // reaching the position is enough
      {6143, false, 9215},
      {1, true, 9216},
      {85000, true, 94216},  // several positions in one pull: one signal
      {1000, false, 95216},
      {3100, true, 12},      // past the last position and the end of the ring
      {3060, true, 3072},    // the first position again, on the next lap
      {kRing, true, 3072},   // a whole lap
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.cursorAfter);
    devices.last->Play(s.play);
    EXPECT_EQ(event.TryWait(), s.fires);
    EXPECT_FALSE(event.TryWait());
    uint32_t play = 0, write = 0;
    buffer->GetCurrentPosition(play, write);
    EXPECT_EQ(write, s.cursorAfter);
  }
}

TEST(SoundOutput, NextBlockFollowsTheRingAndResynchronisesWhenOvertaken) {
  struct Case {
    const char* what;
    uint32_t offset;
    bool known;
    uint32_t play, write;
    uint32_t next;
    bool resync;
  } cases[] = {
      {"first block, device not started", 0, true, 0, 0, kBlock, false},
      {"steady: two blocks ahead", 2 * kBlock, true, kBlock / 2, kBlock / 2 + 960, 3 * kBlock, false},
      {"block 15 wraps to 0", 15 * kBlock, true, 13 * kBlock + 3072, 13 * kBlock + 4032, 0, false},
      {"block 0 just written, device in the last blocks", 0, true, 14 * kBlock + 3072, 14 * kBlock + 4032, kBlock,
       false},
      {"block 1 just written, device in the last block", kBlock, true, 15 * kBlock + 100, 15 * kBlock + 1060,
       2 * kBlock, false},
      {"device pull straddles the end of the ring", 2 * kBlock, true, kRing - 480, 480, 3 * kBlock, false},
      {"device already inside the block just written", 5 * kBlock, true, 5 * kBlock + 100, 5 * kBlock + 1060,
       6 * kBlock, true},
      {"overtaken: block after the write cursor's", 2 * kBlock, true, 38400, 39360, 7 * kBlock, true},
      {"overtaken, write cursor on a block start", 2 * kBlock, true, 42048, 7 * kBlock, 8 * kBlock, true},
      {"overtaken up to the last block: wraps", 4 * kBlock, true, 15 * kBlock + 10, 15 * kBlock + 970, 0, true},
      {"cursors unknown", 5 * kBlock, false, 0, 0, 6 * kBlock, false},
  };
  for (const auto& c : cases) {
    bool resync = !c.resync;
    EXPECT_EQ(CDSoundCtx::NextBlockFor(c.offset, c.known, c.play, c.write, &resync), c.next) << c.what;
    EXPECT_EQ(resync, c.resync) << c.what;
  }
}

TEST(SoundOutput, AfterAResyncBlocksWithinOneAndAHalfBlocksOfTheDeviceAreDueAtOnce) {
  struct Case {
    uint32_t offset, writeCursor;
    bool due;
  } cases[] = {
      {7 * kBlock, 39360, true},   // the block after the cursor's
      {8 * kBlock, 39360, false},  // the middle of block 6 is still ahead: its notification comes in time
      {8 * kBlock, 40320, true},   // past the middle of block 6: the next notification is too late
      {9 * kBlock, 40320, false},
      {0, kRing - 4000, true},     // around the end of the ring
      {kBlock, kRing - 4000, false},
      {kBlock, kRing - 3000, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CDSoundCtx::BlockDueNowFor(c.offset, c.writeCursor), c.due) << c.offset << " " << c.writeCursor;
}

namespace {

// A clock under the test's control. Each wait of the audio thread blocks until
// the test releases it, then reports whether the device signalled meanwhile.
class GatedClock : public platform::Clock {
public:
  int64_t NowMs() override { return now_.load(); }
  void SleepMs(int64_t ms) override { now_ += std::max<int64_t>(ms, 0); }
  bool WaitFor(platform::AutoResetEvent& event, int64_t ms) override {
    std::unique_lock lock(mutex_);
    ++entered_;
    cv_.notify_all();
    cv_.wait(lock, [&] { return open_ || released_ >= entered_; });
    bool signalled = event.TryWait();
    if (!signalled) now_ += ms;
    results_.push_back(signalled);
    return signalled;
  }
  // Waits until the thread has entered its n-th wait (at most 20 s).
  bool AwaitWait(int n) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(20), [&] { return entered_ >= n; });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    ++released_;
    cv_.notify_all();
  }
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }
  std::vector<bool> Results() {
    std::lock_guard lock(mutex_);
    return results_;
  }

private:
  std::atomic<int64_t> now_{1000000};
  std::mutex mutex_;
  std::condition_variable cv_;
  int entered_ = 0, released_ = 0;
  bool open_ = false;
  std::vector<bool> results_;
};

} // namespace

// The thread writes blocks 0 and 1, then one block per notification, two
// blocks ahead. The device here pulls 960 bytes (10 ms) at a time; after a
// stall of the writer it has played past unwritten blocks, and the writer
// goes on right after the device's write cursor instead of behind it.
TEST(AudioThread, WritesOneBlockPerNotificationAndRecoversFromAStall) {
  testsupport::TempDir dir;
  const std::string card = testsupport::MakeSampleCard(dir / "card", "--files 1 --seconds 3 --size 320x240");
  auto frames = audiorig::AudioFrames(card + "/20240601_080000_0001.ts");
  ASSERT_GT(frames.size(), 130u);

  ManualDevices devices;
  GatedClock clock;
  testsupport::ScopedClock useClock(clock);
  audiorig::ThreadRig chn;
  ASSERT_TRUE(chn.queue.Init(CTSChn::kAudioRing, CTSChn::kAudioLargest, 1));
  audiorig::Feeder feeder(chn.queue, frames);
  for (int i = 0; i < 2000 && !chn.queue.IsFullLocked(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  // However the test ends: let the thread and the producer go.
  struct Cleanup {
    GatedClock& clock;
    audiorig::ThreadRig& chn;
    audiorig::Feeder& feeder;
    ~Cleanup() {
      clock.Open();
      chn.queue.Release();
      chn.thread.Stop(10000);
      feeder.Join();
    }
  } cleanup{clock, chn, feeder};
  ASSERT_TRUE(chn.thread.Start());
  ASSERT_TRUE(chn.thread.HasSoundBuffer());

  std::vector<uint8_t> heard;
  auto playUntil = [&](uint64_t position) {
    while (heard.size() < position) {
      auto chunk = devices.last->Play(960);
      heard.insert(heard.end(), chunk.begin(), chunk.end());
    }
  };
  int waits = 1;
  auto wakeWriter = [&] {
    // The device runs faster than real time here: let the producer catch up.
    for (int i = 0; i < 4000 && !chn.queue.IsFullLocked() && !feeder.Done(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    clock.Release();
    ASSERT_TRUE(clock.AwaitWait(++waits));
  };

  ASSERT_TRUE(clock.AwaitWait(1)) << "blocks 0 and 1 written, then a wait";
  playUntil(kBlock / 2); // the middle of block 0
  wakeWriter();          // writes block 2
  // The writer stalls while the device plays on to block 6, before its middle.
  playUntil(39360);
  wakeWriter(); // writes block 3 too late, then block 7 at once
  for (uint64_t k = 6; k < 6 + 36; ++k) {
    playUntil(k * kBlock + kBlock / 2);
    wakeWriter();
  }

  for (bool signalled : clock.Results()) EXPECT_TRUE(signalled) << "every wake-up came from a notification";
  auto samples = audiorig::ToSamples(std::string(heard.begin(), heard.end()));
  const size_t blockSamples = kBlock / 2;
  // Blocks 0 to 2: the tone (after the decoder's first frame, which starts quiet).
  auto head = audiorig::Measure(samples.data() + 2048, 3 * blockSamples - 2048);
  EXPECT_NEAR(head.hz, 1000, 20);
  // Blocks 3 to 6 were not written on this lap.
  EXPECT_TRUE(audiorig::AllZero(samples.data() + 3 * blockSamples, 4 * blockSamples));
  // From block 7 on, sound without a gap, over more than two laps.
  const size_t from = 7 * blockSamples;
  ASSERT_GT(samples.size(), from + 2 * kRing / 2);
  for (size_t at = from; at + 480 <= samples.size(); at += 480) {
    auto m = audiorig::Measure(samples.data() + at, 480);
    ASSERT_GT(m.rms, audiorig::TonePeak() / std::sqrt(2.0) * 0.7) << "gap at sample " << at;
    ASSERT_NEAR(m.hz, 1000, 150) << "at sample " << at;
  }
}
