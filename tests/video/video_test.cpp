#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>
#include <thread>

#include "core/ts_chn.h"
#include "platform/image_file.h"
#include "tests/support/test_support.h"
#include "tests/video/video_rig.h"
#include "tools/sample_card/frame_code.h"
#include "video/av_decoder.h"
#include "video/memory_target.h"
#include "video/snapshot.h"
#include "video/video_ctx.h"

using testsupport::MakeSampleCard;
using testsupport::ScopedClock;
using testsupport::TempDir;
using videotest::Eventually;
using videotest::Packet;
using videotest::Shown;
using videotest::VideoRig;
using videotest::YieldingClock;

namespace {

std::vector<int> Range(int from, int to) { // [from, to)
  std::vector<int> v;
  for (int i = from; i < to; ++i) v.push_back(i);
  return v;
}

// A grey ramp 256 x 64 (luma = column, chroma neutral), three frames, encoded
// losslessly as full-range (yuvj420p) or limited-range 4:2:0 H.264.
std::string MakeRamp(const TempDir& dir, bool fullRange) {
  const std::string raw = dir / "ramp.yuv";
  std::string frame;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 256; ++x) frame += static_cast<char>(x);
  frame += std::string(2 * 128 * 32, static_cast<char>(128));
  testsupport::WriteFile(raw, frame + frame + frame);
  const char* fmt = fullRange ? "yuvj420p" : "yuv420p";
  const std::string out = dir / (std::string(fmt) + ".ts");
  const std::string cmd = std::string("ffmpeg -v error -y -f rawvideo -pix_fmt ") + fmt + " -s 256x64 -r 30 -i '" + raw +
                          "' -c:v libx264 -qp 0 -pix_fmt " + fmt + " -f mpegts '" + out + "' 2>&1";
  std::string log;
  if (testsupport::Run(cmd, &log) != 0) throw std::runtime_error("ffmpeg failed: " + log);
  return out;
}

// Waits (real time) until the video thread has made `turns` more sleeps or
// waits on the clock: each turn of the idle poll and of the hold loop is one.
bool WaitForTurns(YieldingClock& clock, size_t turns) {
  const size_t from = clock.Waits().size();
  return Eventually([&] { return clock.Waits().size() >= from + turns; });
}

class VideoTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    // Two recordings of 2 s, 320x240 at 30 fps, a key frame every 16 frames:
    // frame numbers 0..59 and 60..119.
    card_ = new std::vector<std::string>(testsupport::SortedFiles(MakeSampleCard(dir_->path() + "/card", "--files 2 --seconds 2 --size 320x240 --gop 16 --no-telemetry")));
    small_ = testsupport::SortedFiles(MakeSampleCard(dir_->path() + "/small", "--files 1 --seconds 1 --size 256x144 --no-telemetry")).front();
    packets_ = new std::vector<Packet>(videotest::ReadVideoPackets(card_->front()));
  }
  static void TearDownTestSuite() {
    delete packets_;
    delete card_;
    delete dir_;
  }

  static TempDir* dir_;
  static std::vector<std::string>* card_;
  static std::string small_;
  static std::vector<Packet>* packets_;
  YieldingClock clock_;
  ScopedClock scoped_{clock_};
};
TempDir* VideoTest::dir_ = nullptr;
std::vector<std::string>* VideoTest::card_ = nullptr;
std::string VideoTest::small_;
std::vector<Packet>* VideoTest::packets_ = nullptr;

} // namespace

TEST(AvDecoder, OpensKnownDepthsOnlyAndReopensAfterClose) {
  AvDecoder d;
  ASSERT_TRUE(d.Open(0, 0, 0)) << "a size of 0 only opens the decoder";
  EXPECT_TRUE(d.IsOpen());
  EXPECT_FALSE(d.HasScaler());
  for (int depth : {12, 16, 32}) EXPECT_TRUE(d.Open(64, 48, depth)) << depth;
  for (int depth : {8, 24}) EXPECT_FALSE(d.Open(64, 48, depth)) << depth;
  EXPECT_EQ(d.BitDepth(), 32) << "a refused depth keeps the last one";
  d.Close();
  EXPECT_FALSE(d.IsOpen());
  EXPECT_FALSE(d.HasScaler());
  EXPECT_EQ(d.Width(), 64);
  ASSERT_TRUE(d.Open(64, 48, 32));
  EXPECT_TRUE(d.IsOpen());
  EXPECT_TRUE(d.HasScaler());
}

TEST(Snapshot, NamesFollowTheTemplate) {
  std::tm t{};
  t.tm_year = 115, t.tm_mon = 2, t.tm_mday = 3, t.tm_hour = 14, t.tm_min = 5, t.tm_sec = 9, t.tm_isdst = -1;
  const std::time_t when = std::mktime(&t);
  EXPECT_EQ(SnapshotTemplate("/cap", 1, when), "/cap/2015-03-03 14-05-09.jpg");
  EXPECT_EQ(SnapshotTemplate("/cap/", 0, when), "/cap/2015-03-03 14-05-09.bmp") << "one separator either way";
  struct Case {
    int number;
    const char* name;
  } cases[] = {{1, "/cap/a--001.bmp"}, {42, "/cap/a--042.bmp"}, {1000, "/cap/a--1000.bmp"}};
  for (const auto& c : cases) EXPECT_EQ(SnapshotFileName("/cap/a.bmp", c.number), c.name);
  EXPECT_EQ(SnapshotCount(0), 1);
  EXPECT_EQ(SnapshotCount(5), 5);
}

// The whole path: reader, queue, video thread, presenter, window. Every frame of
// both recordings is shown once, in order (but the very last), whatever the back buffer's format; a
// window that cannot take 4:2:0 turns the display mode to RGB. Stop leaves black.
TEST_F(VideoTest, ForwardPlayShowsEveryFrameInOrder) {
  struct Case {
    int displayMode, depth;
    bool windowTakesYuv;
    PictureFormat format;
    int displayModeAfter;
  } cases[] = {
      {0, 32, true, PictureFormat::kYuv420, 0},
      {1, 32, true, PictureFormat::kBgra32, 1},
      {1, 16, true, PictureFormat::kRgb565, 1},
      {0, 32, false, PictureFormat::kBgra32, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.displayMode << " depth " << c.depth << " yuv " << c.windowTakesYuv);
    std::atomic<int> displayMode{c.displayMode};
    MemoryVideoTarget window(c.depth, c.windowTakesYuv);
    videotest::Tap tap(window);
    auto chn = std::make_unique<CTSChn>(ChannelLinks{.displayMode = &displayMode});
    chn->EnableAudio(false);
    chn->Open(&tap, card_->front());
    ASSERT_TRUE(chn->Start());
    // The reader holds the last frame of the last recording back (it waits for
    // the next unit to know the frame has ended).
    ASSERT_TRUE(tap.WaitForCount(119)) << tap.Pictures().size();
    EXPECT_EQ(tap.Numbers(), Range(0, 119));
    for (const Shown& s : tap.Pictures()) {
      EXPECT_EQ(s.format, c.format);
      EXPECT_EQ(s.width, 320);
      EXPECT_EQ(s.height, 240);
    }
    EXPECT_EQ(chn->state.shownFrames.load(), 119);
    EXPECT_EQ(chn->state.gopLength.load(), 15);
    EXPECT_EQ(displayMode.load(), c.displayModeAfter);
    chn->Stop();
    auto last = window.Current();
    ASSERT_TRUE(last);
    EXPECT_TRUE(last->blank);
    EXPECT_EQ(window.Image().Pixel(160, 120), 0u) << "black after stop";
    chn.reset();
  }
}

// A step shows exactly one more frame and holds with speed code 0 and the audio
// held; a pause holds the picture on screen until play.
TEST_F(VideoTest, StepShowsOneFrameAndPauseHoldsThePicture) {
  MemoryVideoTarget window;
  VideoRig rig(window);
  PlaybackState& state = rig.state;
  state.speedCode = kSpeedStep;
  for (int i = 0; i < 10; ++i) rig.Push((*packets_)[static_cast<size_t>(i)], 30, kSpeedStep);
  ASSERT_TRUE(rig.Start());

  auto holdingAfter = [&](int shown) {
    EXPECT_TRUE(Eventually([&] { return state.shownFrames == shown && state.audioHold; }));
    EXPECT_TRUE(WaitForTurns(clock_, 100)); // a hundred turns of the hold loop
    EXPECT_EQ(state.shownFrames.load(), shown);
    EXPECT_TRUE(state.audioHold.load());
    EXPECT_EQ(rig.tap.Numbers(), Range(0, shown));
    EXPECT_EQ(videotest::FrameNumberOf(*rig.tap.Last()), shown - 1) << "the held picture stays on screen";
  };
  holdingAfter(1);
  EXPECT_EQ(state.speedCode.load(), kSpeedHeld);
  state.speedCode = kSpeedStep;
  holdingAfter(2);
  EXPECT_EQ(state.speedCode.load(), kSpeedHeld);

  // Pause during the hold: play does not release it while paused.
  state.pause = 1;
  state.speedCode = kSpeedNormal;
  holdingAfter(2);
  state.pause = 0;
  ASSERT_TRUE(rig.tap.WaitForCount(10));
  EXPECT_TRUE(Eventually([&] { return !state.audioHold; }));

  // Pause while playing: one more picture, then it holds.
  state.pause = 1;
  for (int i = 10; i < 20; ++i) rig.Push((*packets_)[static_cast<size_t>(i)]);
  holdingAfter(11);
  state.pause = 0;
  EXPECT_TRUE(rig.tap.WaitForCount(20));
  EXPECT_EQ(rig.tap.Numbers(), Range(0, 20));
}

// Codes 3 to 6 decode only the first part of each group of 16 frames (the group
// length is 15 non-key frames); until the second key frame has measured it, only
// key frames pass.
TEST_F(VideoTest, FastCodesShowOnlyTheFirstPartOfEachGroup) {
  for (int code : {3, 4, 5, 6}) {
    SCOPED_TRACE(code);
    std::vector<int> expected;
    for (int i = 0; i < 60; ++i) {
      const int inGroup = i % 16;
      if (inGroup == 0 || (i >= 16 && inGroup <= 15 * SpeedGopFraction(code))) expected.push_back(i);
    }
    MemoryVideoTarget window;
    VideoRig rig(window);
    rig.state.speedCode = code;
    ASSERT_TRUE(rig.Start());
    for (const Packet& p : *packets_) rig.Push(p, 30, code);
    ASSERT_TRUE(rig.tap.WaitForCount(expected.size()));
    ASSERT_TRUE(rig.WaitUntilDrained());
    // The last frame's pacing wait, then the idle poll: nothing more is coming.
    ASSERT_TRUE(WaitForTurns(clock_, 3));
    EXPECT_EQ(rig.tap.Numbers(), expected);
  }
}

// Slow codes wait 2, 4, 8 and 16 times the nominal interval per picture.
TEST_F(VideoTest, SlowCodesWaitMultiplesOfTheNominalInterval) {
  struct Case {
    int code;
    double multiple;
  } cases[] = {{7, 2}, {8, 4}, {9, 8}, {10, 16}, {1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    YieldingClock clock;
    ScopedClock scoped(clock);
    MemoryVideoTarget window;
    VideoRig rig(window);
    rig.state.speedCode = c.code;
    for (int i = 0; i < 12; ++i) rig.Push((*packets_)[static_cast<size_t>(i)], 30, c.code);
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.tap.WaitForCount(11));
    rig.video.Stop(10000);
    // The pacing waits, without the 10 ms polls of the idle queue. The first ones
    // are cut short by the rate changes at the start.
    std::vector<int64_t> waits;
    for (int64_t w : clock.Waits())
      if (w != 10) waits.push_back(w);
    ASSERT_GE(waits.size(), 10u);
    const double interval = 1000.0 / 30 * c.multiple;
    for (size_t i = waits.size() - 6; i < waits.size(); ++i)
      EXPECT_NEAR(static_cast<double>(waits[i]), interval, 1.0) << "wait " << i;
  }
}

// Reverse: key frames arrive last-first; each is shown when the next one (the
// earlier one in the recording) arrives. Forward frames give the stored pictures back.
TEST_F(VideoTest, ReverseShowsKeyFramesOneGroupLateAndForwardFreesThem) {
  MemoryVideoTarget window;
  VideoRig rig(window);
  CVideoCtx& video = rig.video;
  rig.state.speedCode = kSpeedSlowHalf;
  ASSERT_TRUE(rig.Start());
  rig.Push((*packets_)[48], 2, -kSpeedSlowHalf);
  ASSERT_TRUE(Eventually([&] { return video.HeldPictures() == 1; }));
  ASSERT_TRUE(WaitForTurns(clock_, 2)); // back at the idle poll
  EXPECT_TRUE(rig.tap.Pictures().empty()) << "nothing before the second key frame";
  for (int key : {32, 16, 0}) rig.Push((*packets_)[static_cast<size_t>(key)], 2, -kSpeedSlowHalf);
  ASSERT_TRUE(rig.tap.WaitForCount(3));
  EXPECT_TRUE(Eventually([&] { return video.HeldPictures() == 1; })) << "frame 0 waits for an earlier group";
  EXPECT_EQ(rig.tap.Numbers(), (std::vector<int>{48, 32, 16}));
  const int stored = video.HeldPictures() + video.FreePictures();

  rig.state.speedCode = kSpeedNormal;
  rig.Push((*packets_)[16], 30, kSpeedNormal);
  ASSERT_TRUE(rig.tap.WaitForCount(4));
  EXPECT_EQ(video.HeldPictures(), 0);
  EXPECT_EQ(video.FreePictures(), stored);
  EXPECT_EQ(rig.tap.Numbers().back(), 16);
}

// A stream whose picture size changes: presenter and scaler are made again and
// the first picture of the new size is shown.
TEST_F(VideoTest, SizeChangeShowsTheFirstPictureOfTheNewSize) {
  for (int mode : {0, 1}) {
    SCOPED_TRACE(mode);
    MemoryVideoTarget window;
    VideoRig rig(window, mode);
    ASSERT_TRUE(rig.Start());
    const auto second = videotest::ReadVideoPackets(small_);
    for (int i = 0; i < 20; ++i) rig.Push((*packets_)[static_cast<size_t>(i)]);
    for (const Packet& p : second) rig.Push(p);
    for (int i = 0; i < 16; ++i) rig.Push((*packets_)[static_cast<size_t>(i)]);
    ASSERT_TRUE(rig.tap.WaitForCount(20 + second.size() + 16));
    const auto shown = rig.tap.Pictures();
    std::vector<int> expected = Range(0, 20);
    for (int i = 0; i < static_cast<int>(second.size()); ++i) expected.push_back(i);
    for (int i = 0; i < 16; ++i) expected.push_back(i);
    EXPECT_EQ(rig.tap.Numbers(), expected);
    for (size_t i = 0; i < shown.size(); ++i) {
      const bool small = i >= 20 && i < 20 + second.size();
      EXPECT_EQ(shown[i].width, small ? 256 : 320) << i;
      EXPECT_EQ(shown[i].height, small ? 144 : 240) << i;
    }
    EXPECT_EQ(rig.state.pictureWidth.load(), 320);
  }
}

// Damaged units and pictures of a layout the presenter does not take (4:4:4) are
// dropped; the pictures after the next good key frame are shown again.
TEST_F(VideoTest, DamagedUnitsAreDropped) {
  MemoryVideoTarget window;
  VideoRig rig(window);
  ASSERT_TRUE(rig.Start());
  std::mt19937 random(7);
  std::vector<uint8_t> garbage(5000);
  for (auto& b : garbage) b = static_cast<uint8_t>(random());
  for (int i = 0; i < 10; ++i) rig.Push((*packets_)[static_cast<size_t>(i)]);
  rig.Push(garbage, kFrameOther);
  rig.Push(garbage, kFrameKey);
  const auto& key = (*packets_)[16].bytes;
  rig.Push(std::vector<uint8_t>(key.begin(), key.begin() + static_cast<ptrdiff_t>(key.size() / 3)), kFrameKey);
  rig.Push(std::vector<uint8_t>{0, 0, 1}, kFrameOther);
  for (int i = 16; i < 32; ++i) rig.Push((*packets_)[static_cast<size_t>(i)]);
  ASSERT_TRUE(rig.tap.WaitUntil([](const std::vector<Shown>& s) { return !s.empty() && s.back().number == 31; }));
  const auto shown = rig.tap.Pictures();
  ASSERT_GE(shown.size(), 26u);
  std::vector<int> first, last;
  for (size_t i = 0; i < 10; ++i) first.push_back(shown[i].number);
  for (size_t i = shown.size() - 16; i < shown.size(); ++i) last.push_back(shown[i].number);
  EXPECT_EQ(first, Range(0, 10));
  EXPECT_EQ(last, Range(16, 32));
}

// Streams of other layouts (4:4:4, 4:2:2, 10 bits) are shown like the camera's
// 4:2:0 ones, every picture at its size.
TEST_F(VideoTest, OtherLayoutsAreShownAs420) {
  const struct {
    const char* name;
    const char* codec;
  } cases[] = {{"yuv444p", "libx264"}, {"yuv422p", "libx264"}, {"yuv420p10le", "libx264"},
               {"yuv420p10le", "libx265 -x265-params log-level=none"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.codec) + " " + c.name);
    const std::string file = dir_->path() + "/layout.ts";
    std::string log;
    ASSERT_EQ(testsupport::Run(std::string("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=30 -frames:v 10 "
                                           "-c:v ") + c.codec + " -bf 0 -pix_fmt " + c.name + " -f mpegts '" + file +
                                   "' 2>&1", &log), 0) << log;
    const auto packets = videotest::ReadVideoPackets(file);
    ASSERT_EQ(packets.size(), 10u);
    MemoryVideoTarget window;
    VideoRig rig(window);
    ASSERT_TRUE(rig.Start());
    for (const Packet& p : packets) rig.Push(p);
    ASSERT_TRUE(rig.tap.WaitUntil([](const std::vector<Shown>& s) { return s.size() >= 10; }));
    for (const Shown& s : rig.tap.Pictures()) {
      EXPECT_EQ(s.width, 160);
      EXPECT_EQ(s.height, 120);
    }
  }
}

// A burst of 5 saves the pictures of 5 consecutive passes, numbered --001 to --005,
// into a folder that is made on the way; each file holds a picture that was shown.
TEST_F(VideoTest, SnapshotBurstSavesShownPictures) {
  struct Case {
    int displayMode, depth;
    const char* extension;
    int count;
  } cases[] = {{1, 32, ".bmp", 5}, {0, 32, ".jpg", 2}, {1, 16, ".bmp", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extension);
    TempDir out;
    const std::string pathTemplate = out / (std::string("new/deeper/shot") + c.extension);
    MemoryVideoTarget window(c.depth);
    VideoRig rig(window, c.displayMode);
    ASSERT_TRUE(rig.Start());
    for (int i = 0; i < 5; ++i) rig.Push((*packets_)[static_cast<size_t>(i)]);
    ASSERT_TRUE(rig.tap.WaitForCount(5));
    rig.snapshots.Place(pathTemplate, c.count);
    for (int i = 5; i < 30; ++i) rig.Push((*packets_)[static_cast<size_t>(i)]);
    ASSERT_TRUE(Eventually([&] { return rig.snapshots.State().requested == 0; }));
    EXPECT_EQ(rig.snapshots.State().taken, c.count);
    const std::vector<int> shown = rig.tap.Numbers();
    int previous = -1;
    for (int n = 1; n <= c.count; ++n) {
      const std::string file = SnapshotFileName(pathTemplate, n);
      if (!platform::CanWriteImageFiles()) {
        EXPECT_FALSE(std::filesystem::exists(file)) << "a build without image files";
        continue;
      }
      const platform::PixelImage image = videotest::ReadImageFile(file);
      ASSERT_FALSE(image.Empty()) << file;
      EXPECT_EQ(image.width, 320);
      EXPECT_EQ(image.height, 240);
      const int number = samplegen::DecodeFrameNumber(image.bytes.data(), image.width, image.height, image.stride,
                                                      samplegen::PixelLayout::kBgra32);
      EXPECT_NE(std::find(shown.begin(), shown.end(), number), shown.end()) << file << " holds " << number;
      EXPECT_GE(number, previous) << "later pictures in later files";
      previous = number;
    }
    EXPECT_FALSE(std::filesystem::exists(SnapshotFileName(pathTemplate, c.count + 1)));
  }
}

// Full-range 4:2:0 (cameras writing yuvj420p) keeps black at 0 and white at 255;
// limited range is stretched from 16..235. Grey ramp, lossless, read back from the
// back buffer (and, for the 4:2:0 back buffer, from its snapshot image).
TEST_F(VideoTest, LevelsFollowTheRangeOfTheStream) {
  struct Case {
    bool fullRange;
    int displayMode, depth;
    int tolerance;
  } cases[] = {
      // 5 bits of red and blue: one step is 8 levels.
      {true, 1, 32, 2},  {false, 1, 32, 2}, {true, 1, 16, 9},
      {false, 1, 16, 9}, {true, 0, 32, 2},  {false, 0, 32, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "full " << c.fullRange << " mode " << c.displayMode << " depth " << c.depth);
    TempDir tmp;
    const auto ramp = videotest::ReadVideoPackets(MakeRamp(tmp, c.fullRange));
    ASSERT_FALSE(ramp.empty());
    MemoryVideoTarget window(c.depth);
    VideoRig rig(window, c.displayMode);
    ASSERT_TRUE(rig.Start());
    for (const Packet& p : ramp) rig.Push(p);
    ASSERT_TRUE(rig.tap.WaitForCount(ramp.size()));
    const platform::PixelImage image = window.Image();
    ASSERT_EQ(image.width, 256);
    for (int x = 0; x < 256; ++x) {
      const double expected =
          c.fullRange ? x : std::clamp(std::round((x - 16) * 255.0 / 219.0), 0.0, 255.0);
      // The mean of 8 rows: 5-6-5 pixels are dithered.
      double r = 0, g = 0, b = 0;
      for (int y = 28; y < 36; ++y) {
        const uint32_t px = image.Pixel(x, y);
        r += (px >> 16 & 0xFF) / 8.0, g += (px >> 8 & 0xFF) / 8.0, b += (px & 0xFF) / 8.0;
      }
      EXPECT_NEAR(r, expected, c.tolerance) << "column " << x;
      EXPECT_NEAR(g, expected, c.tolerance) << "column " << x;
      EXPECT_NEAR(b, expected, c.tolerance) << "column " << x;
    }
  }
}

// An H.265 card (stream type 0x24) plays every frame through the whole path,
// steps, plays in reverse and gives snapshots like an H.264 one; a decoder of
// the other codec takes over when the frames change codec.
TEST_F(VideoTest, H265CardPlaysStepsReversesAndSnapshotsLikeH264) {
  const auto card = testsupport::SortedFiles(MakeSampleCard(
      dir_->path() + "/h265", "--files 2 --seconds 2 --size 320x240 --gop 16 --no-telemetry --codec h265"));
  const auto packets = videotest::ReadVideoPackets(card.front());
  ASSERT_EQ(packets.size(), 60u);
  ASSERT_EQ(packets.front().codec, kCodecH265);
  {
    MemoryVideoTarget window;
    videotest::Tap tap(window);
    CTSChn chn;
    chn.EnableAudio(false);
    chn.Open(&tap, card.front());
    ASSERT_TRUE(chn.Start());
    ASSERT_TRUE(tap.WaitForCount(119)) << tap.Pictures().size();
    EXPECT_EQ(tap.Numbers(), Range(0, 119));
    EXPECT_EQ(chn.Faults(), 0);
  }
  { // a step shows one frame and holds
    MemoryVideoTarget window;
    VideoRig rig(window);
    rig.state.speedCode = kSpeedStep;
    for (int i = 0; i < 3; ++i) rig.Push(packets[static_cast<size_t>(i)], 30, kSpeedStep);
    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(Eventually([&] { return rig.state.shownFrames == 1 && rig.state.speedCode == kSpeedHeld; }));
    EXPECT_EQ(rig.tap.Numbers(), Range(0, 1));
  }
  { // reverse: key frames last-first, one group late
    MemoryVideoTarget window;
    VideoRig rig(window);
    rig.state.speedCode = kSpeedSlowHalf;
    ASSERT_TRUE(rig.Start());
    for (int key : {48, 32, 16, 0}) rig.Push(packets[static_cast<size_t>(key)], 2, -kSpeedSlowHalf);
    ASSERT_TRUE(rig.tap.WaitForCount(3));
    EXPECT_EQ(rig.tap.Numbers(), (std::vector<int>{48, 32, 16}));
  }
  { // a snapshot of a shown picture, then H.264 frames after the H.265 ones
    TempDir out;
    const std::string pathTemplate = out / "shot.bmp";
    MemoryVideoTarget window;
    VideoRig rig(window, 1);
    ASSERT_TRUE(rig.Start());
    for (int i = 0; i < 5; ++i) rig.Push(packets[static_cast<size_t>(i)]);
    ASSERT_TRUE(rig.tap.WaitForCount(5));
    rig.snapshots.Place(pathTemplate, 1);
    for (int i = 5; i < 16; ++i) rig.Push(packets[static_cast<size_t>(i)]);
    ASSERT_TRUE(Eventually([&] { return rig.snapshots.State().requested == 0; }));
    const std::string file = SnapshotFileName(pathTemplate, 1);
    if (platform::CanWriteImageFiles()) {
      const platform::PixelImage image = videotest::ReadImageFile(file);
      ASSERT_FALSE(image.Empty()) << file;
      const int number = samplegen::DecodeFrameNumber(image.bytes.data(), image.width, image.height, image.stride,
                                                      samplegen::PixelLayout::kBgra32);
      EXPECT_GE(number, 4);
      EXPECT_LT(number, 16);
    }
    for (int i = 0; i < 16; ++i) rig.Push((*packets_)[static_cast<size_t>(i)]);
    ASSERT_TRUE(rig.tap.WaitForCount(32));
    EXPECT_EQ(rig.tap.Numbers(), [] { auto v = Range(0, 16); for (int i = 0; i < 16; ++i) v.push_back(i); return v; }());
  }
}

// A 25 frames-a-second recording is presented at 25 a second (on the test
// clock), not at the camera's 30: the pacing clock runs at the stream's rate
// and, with only the video thread waiting on it, its waits are 40 ms.
TEST_F(VideoTest, TwentyFiveFramesASecondArePresentedAtTheirRate) {
  const std::string file = dir_->path() + "/pal_0001.ts";
  std::string log;
  ASSERT_EQ(testsupport::Run("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25 -t 3 -c:v libx264 "
                             "-preset ultrafast -pix_fmt yuv420p -g 25 -bf 2 -f mpegts '" + file + "' 2>&1", &log), 0) << log;
  MemoryVideoTarget window;
  {
    CTSChn chn;
    chn.EnableAudio(false);
    chn.Open(&window, file);
    ASSERT_TRUE(chn.Start());
    // B-frames: the decoder holds the last pictures back (nothing follows them).
    ASSERT_TRUE(Eventually([&] { return chn.state.shownFrames >= 70; }, 20000)) << chn.state.shownFrames;
    EXPECT_EQ(chn.FpsCtrl().GetFps(), 25.0);
    EXPECT_NEAR(chn.FpsCtrl().Interval(), 40.0, 0.01);
  }
  const auto packets = videotest::ReadVideoPackets(file);
  YieldingClock clock;
  ScopedClock scoped(clock);
  VideoRig rig(window);
  for (size_t i = 0; i < 12; ++i) rig.Push(packets[i], 25);
  ASSERT_TRUE(rig.Start());
  ASSERT_TRUE(Eventually([&] { return rig.state.shownFrames >= 9; }));
  rig.video.Stop(10000);
  std::vector<int64_t> waits;
  for (int64_t w : clock.Waits())
    if (w != 10) waits.push_back(w);
  ASSERT_GE(waits.size(), 8u);
  for (size_t i = waits.size() - 5; i < waits.size(); ++i) EXPECT_NEAR(static_cast<double>(waits[i]), 40.0, 1.0) << i;
}
