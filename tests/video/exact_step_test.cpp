// Exact steps through the whole channel (reader, queue, video thread, window) on
// the sample camera's recordings: every picture shown is read back by its frame
// number and compared with the same picture decoded from the file on its own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>

extern "C" {
#include <libavutil/frame.h>
}

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
using videotest::Shown;
using videotest::YieldingClock;

namespace {

constexpr int kW = 320, kH = 240;

// The luma plane of every picture of a card, by frame number, decoded file by file.
std::map<int, std::vector<uint8_t>> DecodeReference(const std::vector<std::string>& files) {
  std::map<int, std::vector<uint8_t>> out;
  for (const std::string& file : files) {
    const auto packets = videotest::ReadVideoPackets(file);
    AvDecoder d;
    if (!packets.empty()) d.SetCodec(packets.front().codec);
    EXPECT_TRUE(d.Open(0, 0, 0));
    auto take = [&] {
      const AVFrame* p = d.Picture();
      std::vector<uint8_t> luma(static_cast<size_t>(p->width) * p->height);
      for (int y = 0; y < p->height; ++y)
        std::memcpy(&luma[static_cast<size_t>(y) * p->width], p->data[0] + static_cast<ptrdiff_t>(y) * p->linesize[0],
                    static_cast<size_t>(p->width));
      const int n = samplegen::DecodeFrameNumber(luma.data(), p->width, p->height, p->width, samplegen::PixelLayout::kLuma8);
      out[n] = std::move(luma);
    };
    for (const auto& packet : packets) {
      d.Send(packet.bytes.data(), static_cast<int>(packet.bytes.size()), AV_NOPTS_VALUE, -1);
      while (d.Receive()) take();
    }
    d.Drain();
    while (d.Receive()) take();
  }
  return out;
}

struct Card {
  std::vector<std::string> files;
  std::map<int, std::vector<uint8_t>> reference;
};

// The cards the steps run on: each codec without and with B-frames.
struct CardKind {
  const char* name;
  const char* args;
};
constexpr CardKind kCards[] = {
    {"Plain", ""},
    {"BFrames", " --bframes"},
    {"H265", " --codec h265"},
    {"H265BFrames", " --codec h265 --bframes"},
};
constexpr int kCardCount = static_cast<int>(std::size(kCards));

class ExactStepTest : public ::testing::TestWithParam<int> {
protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    // Two recordings of 2 s at 30 fps, a key frame every 16 frames: frames 0..59
    // and 60..119.
    for (int i = 0; i < kCardCount; ++i) {
      Card& card = cards_[i];
      card.files = testsupport::SortedFiles(
          MakeSampleCard(dir_->path() + "/" + kCards[i].name,
                         std::string("--files 2 --seconds 2 --size 320x240 --gop 16 --no-telemetry") + kCards[i].args));
      card.reference = DecodeReference(card.files);
    }
  }
  static void TearDownTestSuite() { delete dir_; }

  const Card& card() const { return cards_[GetParam()]; }

  // Starts the channel on the card's first recording; a 4:2:0 window, so that
  // the pictures can be compared byte for byte.
  void Start(int64_t cacheBytes = 0) {
    ChannelLinks links;
    links.displayMode = &displayMode_;
    links.stepCacheBytes = cacheBytes;
    chn_ = std::make_unique<CTSChn>(links);
    chn_->EnableAudio(false);
    std::vector<RecordingEntry> list;
    for (const auto& f : card().files) list.push_back(RecordingEntry{-1, f, 0, 0, false});
    chn_->Open(&tap_, card().files.front());
    ASSERT_TRUE(chn_->Start(&list));
  }
  // Plays until at least `number` has been shown, then pauses; the picture on screen.
  int PlayAndPauseAt(int number) {
    EXPECT_TRUE(tap_.WaitUntil([&](const std::vector<Shown>& s) { return !s.empty() && s.back().number >= number; }));
    chn_->SetPause(1);
    EXPECT_TRUE(Eventually([&] { return chn_->state.audioHold.load(); }));
    return tap_.Pictures().back().number;
  }
  // The picture that the next change of the screen shows; -1 when none comes.
  int NextShown(size_t before) {
    if (!tap_.WaitUntil([&](const std::vector<Shown>& s) { return s.size() > before; })) return -1;
    return tap_.Pictures()[before].number;
  }
  // One exact step; checks the picture shown is `expected` and decoded with all its references.
  void Step(int direction, int expected) {
    const size_t before = tap_.Pictures().size();
    if (direction < 0) chn_->StepBack();
    else chn_->StepForward();
    ASSERT_EQ(NextShown(before), expected) << (direction < 0 ? "back" : "forward");
    ExpectClean(expected);
    EXPECT_TRUE(Eventually([&] { return chn_->state.speedCode == kSpeedHeld && chn_->state.audioHold; }))
        << "held, as after a step";
  }
  void ExpectClean(int number) {
    auto shown = tap_.Last();
    ASSERT_TRUE(shown);
    ASSERT_EQ(shown->format, PictureFormat::kYuv420);
    const auto& ref = card().reference.at(number);
    double diff = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        diff += std::abs(shown->planes[0][static_cast<ptrdiff_t>(y) * shown->strides[0] + x] - ref[static_cast<size_t>(y) * kW + x]);
    EXPECT_LT(diff / (kW * kH), 0.5) << "picture " << number << " is not the one decoded from its key frame";
  }
  CVideoCtx& Video() { return dynamic_cast<CVideoCtx&>(chn_->VideoThread()); }

  static TempDir* dir_;
  static Card cards_[kCardCount];
  YieldingClock clock_;
  ScopedClock scoped_{clock_};
  std::atomic<int> displayMode_{0};
  MemoryVideoTarget window_;
  videotest::Tap tap_{window_};
  std::unique_ptr<CTSChn> chn_;
};
TempDir* ExactStepTest::dir_ = nullptr;
Card ExactStepTest::cards_[kCardCount];

} // namespace

// Paused in play: two steps back and three forward show the pictures around the
// one on screen, each whole; Play goes on from the picture on screen.
TEST_P(ExactStepTest, BackTwiceForwardThriceThenPlay) {
  Start();
  const int n = PlayAndPauseAt(40);
  Step(-1, n - 1);
  Step(-1, n - 2);
  Step(1, n - 1);
  Step(1, n);
  Step(1, n + 1);
  const size_t before = tap_.Pictures().size();
  chn_->SetDirection(0);
  chn_->SetPause(0);
  chn_->SetSpeed(kSpeedNormal);
  ASSERT_TRUE(tap_.WaitForCount(before + 5));
  const auto shown = tap_.Pictures();
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(shown[before + i].number, n + 2 + static_cast<int>(i)) << i;
  EXPECT_EQ(Video().CachedPictures(), 0) << "play drops the kept pictures";
}

// Steps back walk picture by picture across group boundaries and into the
// previous recording; forward after back shows the next picture; a snapshot saves
// the picture on screen.
TEST_P(ExactStepTest, BackAcrossGroupsAndRecordings) {
  Start();
  const int n = PlayAndPauseAt(70); // in the second recording (60..119)
  const int k = n - 44;             // down to 44: over the group starting 76 or so, 60 (the file) and 48
  for (int i = 1; i <= k; ++i) {
    SCOPED_TRACE(i);
    Step(-1, n - i);
    if (HasFatalFailure()) return;
  }
  Step(1, n - k + 1);
  TempDir out;
  const std::string pathTemplate = out / "shot.bmp";
  chn_->Snapshot(pathTemplate, 1);
  ASSERT_TRUE(Eventually([&] { return chn_->SnapshotState().requested == 0; }));
  const std::string file = SnapshotFileName(pathTemplate, 1);
  if (!platform::CanWriteImageFiles()) return; // a build without image files writes none
  const platform::PixelImage image = videotest::ReadImageFile(file);
  ASSERT_FALSE(image.Empty()) << file;
  EXPECT_EQ(samplegen::DecodeFrameNumber(image.bytes.data(), image.width, image.height, image.stride,
                                         samplegen::PixelLayout::kBgra32),
            n - k + 1);
}

// With room for only a few pictures the steps stay exact and the kept pictures
// never take more than the bound.
TEST_P(ExactStepTest, TheKeptPicturesStayWithinTheirBound) {
  const int64_t picture = kW * kH * 3 / 2;
  const int64_t bound = picture * 5 / 2;
  Start(bound);
  const int n = PlayAndPauseAt(40);
  for (int i = 1; i <= 20; ++i) {
    SCOPED_TRACE(i);
    Step(-1, n - i);
    if (HasFatalFailure()) return;
    EXPECT_LE(Video().CachedPictures(), 2);
  }
  for (int i = 19; i >= 15; --i) Step(1, n - i);
  EXPECT_GT(Video().PeakCachedBytes(), 0);
  EXPECT_LE(Video().PeakCachedBytes(), bound);
}

INSTANTIATE_TEST_SUITE_P(Cards, ExactStepTest, ::testing::Range(0, kCardCount),
                         [](const ::testing::TestParamInfo<int>& p) { return std::string(kCards[p.param].name); });
