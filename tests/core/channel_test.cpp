#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include "core/messages.h"
#include "core/ts_chn.h"
#include "tests/support/test_support.h"

using testsupport::MakeSampleCard;
using testsupport::MessageRecorder;
using testsupport::TempDir;

namespace {

template <typename F>
bool Eventually(F&& pred, int timeoutMs = 30000) {
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return pred();
}

class ChannelTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    card_ = MakeSampleCard(dir_->path() + "/card", "--files 3 --seconds 10 --size 320x240");
  }
  static void TearDownTestSuite() { delete dir_; }
  static TempDir* dir_;
  static std::string card_;
  MessageRecorder panel, mainWindow;
};
TempDir* ChannelTest::dir_ = nullptr;
std::string ChannelTest::card_;

} // namespace

TEST(SpeedSlider, PositionsMapToSpeedCodesAndOnlyNormalSpeedHasSound) {
  struct Case {
    int position, code;
    bool audio;
  } cases[] = {{-3, 10, false}, {0, 10, false}, {1, 9, false}, {2, 8, false}, {3, 7, false}, {4, 1, true},
               {5, 2, false},   {6, 3, false},  {7, 4, false}, {8, 5, false}, {9, 5, false}, {40, 5, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(SpeedCodeForSlider(c.position), c.code) << c.position;
    EXPECT_EQ(SliderHasAudio(c.position), c.audio) << c.position;
  }
  EXPECT_EQ(SpeedRateFactor(10), 0.0625);
  EXPECT_EQ(SpeedRateFactor(-7), 0.5);
  EXPECT_EQ(SpeedGopFraction(5), 0.125);
  EXPECT_EQ(SpeedGopFraction(2), 1);
}

TEST_F(ChannelTest, PlayAtTimePicksTheRecordingThatCoversTheMinute) {
  auto files = testsupport::SortedFiles(card_);
  CTSChn chn({&panel, &mainWindow});
  std::vector<RecordingEntry> list = {
      {1, files[0], 1000, 1060, 0}, {2, files[1], 1060, 1120, 0}, {3, files[2], 1120, 1180, 0}};
  chn.Open(nullptr, files[0]);
  ASSERT_TRUE(chn.Start(&list));
  ASSERT_TRUE(panel.WaitFor(WM_TS_FILECHANGE)) << "a given list is complete at once";
  struct Case {
    int64_t t;
    int result;
  } cases[] = {
      {1030, 0}, // inside the file being read: the reader stays
      {1180, 0}, // at or after the end of the last recording: nothing
      {5000, 0},
      {1060, 1}, // an end time equal to t does not cover it: the second recording
  };
  for (const auto& c : cases) EXPECT_EQ(chn.PlayAtTime(c.t), c.result) << c.t;
  EXPECT_TRUE(Eventually([&] { return chn.GetCurFile() == files[1]; }));
  EXPECT_EQ(chn.PlayAtTime(0), 1); // the first recording
  EXPECT_TRUE(Eventually([&] { return chn.GetCurFile() == files[0]; }));
}

TEST_F(ChannelTest, MarksRecordPathNumberAndPosition) {
  auto files = testsupport::SortedFiles(card_);
  CTSChn chn({&panel, &mainWindow});
  chn.Open(nullptr, files[1]);
  ASSERT_TRUE(chn.Start());
  ASSERT_TRUE(panel.WaitFor(WM_TS_FILECHANGE)) << "the folder scan completes";
  EXPECT_EQ(chn.RecordingList().Entries().size(), 3u);
  EXPECT_EQ(chn.MarkInPoint().position, -1);
  ASSERT_TRUE(Eventually([&] { return chn.Reader().CurrentPosition() > 0; }));
  chn.MarkOut();
  EXPECT_EQ(chn.MarkOutPoint().file, files[1]);
  EXPECT_EQ(chn.MarkOutPoint().number, 2);
  EXPECT_GT(chn.MarkOutPoint().position, 0);
  chn.MarkIn(); // Mark In after Mark Out clears its number and position, not its path
  EXPECT_EQ(chn.MarkInPoint().file, files[1]);
  EXPECT_EQ(chn.MarkInPoint().number, 2);
  EXPECT_GT(chn.MarkInPoint().position, 0);
  EXPECT_EQ(chn.MarkOutPoint().number, -1);
  EXPECT_EQ(chn.MarkOutPoint().position, -1);
  EXPECT_EQ(chn.MarkOutPoint().file, files[1]);
}

TEST_F(ChannelTest, SeeksAndNeighbourRequestsReachTheReader) {
  auto files = testsupport::SortedFiles(card_);
  CTSChn chn({&panel, &mainWindow});
  chn.Open(nullptr, files[0]);
  ASSERT_TRUE(chn.Start());
  EXPECT_EQ(chn.Seek(-1002), -1002);
  EXPECT_TRUE(Eventually([&] { return chn.GetCurFile() == files[1]; }));
  EXPECT_EQ(chn.Seek(-1001), -1001);
  EXPECT_TRUE(Eventually([&] { return chn.GetCurFile() == files[0]; }));
  ASSERT_TRUE(Eventually([&] { return chn.Reader().StreamsKnown(); }));
  mainWindow.Clear();
  EXPECT_EQ(chn.Seek(900), 900);
  EXPECT_TRUE(mainWindow.WaitFor(WM_TS_FILECHANGE));
  EXPECT_EQ(chn.SetDirection(1), 1);
  EXPECT_EQ(chn.SetDirection(1), 1);
  // The video thread counts what it shows; taking the count zeroes it.
  EXPECT_TRUE(Eventually([&] { return chn.state.shownFrames > 0; }));
  chn.TakeFrameCount();
  EXPECT_GT(chn.FramesPerSecond(), 0);
}

TEST_F(ChannelTest, DeletingAChannelWhoseReaderIsBlockedEndsPromptly) {
  auto files = testsupport::SortedFiles(card_);
  for (int pause : {0, 1}) {
    auto chn = std::make_unique<CTSChn>(ChannelLinks{&panel, &mainWindow});
    chn->Open(nullptr, files[0]);
    chn->SetPause(pause);
    ASSERT_TRUE(chn->Start());
    // The video thread takes 30 pictures a second; the reader soon waits on a full queue.
    ASSERT_TRUE(Eventually([&] { return chn->VideoQueue().GopState() > 0 && chn->VideoQueue().IsFullLocked(); }));
    // The blocked reader wakes and no decode thread has to be waited out. A
    // reader left blocked never ends: that ends the test program at once.
    std::promise<bool> stopped;
    std::future<bool> result = stopped.get_future();
    std::thread stopper([&] { stopped.set_value(chn->Stop()); });
    if (result.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
      std::fprintf(stderr, "the channel did not stop (pause %d): its reader stays blocked\n", pause);
      std::_Exit(1);
    }
    stopper.join();
    EXPECT_TRUE(result.get()) << "pause " << pause;
    chn.reset();
  }
}
