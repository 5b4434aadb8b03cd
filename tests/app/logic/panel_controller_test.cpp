// The play control panel's logic over a channel and a view of the test's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>

#include "app/logic/panel_controller.h"
#include "app/settings.h"
#include "core/messages.h"
#include "core/telemetry_mailbox.h"
#include "export/ts_backup.h"
#include "tests/support/test_support.h"

using testsupport::MessageRecorder;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

// Records what the panel asks of its channel.
struct FakeChannel : PlayerChannel {
  struct Log {
    std::vector<std::string> calls;
    std::string path;
    bool hadList = false;
    bool muted = false;
    int pause = 0;
    MarkPoint in, out;
    std::string current;
    std::vector<RecordingEntry> recordings;
    std::string snapshot;
    int faults = 0;
  };
  explicit FakeChannel(std::shared_ptr<Log> log) : log_(std::move(log)) {}
  void Start(const std::string& path, const std::vector<RecordingEntry>* list) override {
    log_->path = path;
    log_->hadList = list != nullptr;
    if (list) log_->recordings = *list;
    if (log_->current.empty()) log_->current = path;
  }
  void Seek(int a) override { Call("Seek " + std::to_string(a)); }
  void SeekToFileStart() override { Call("SeekToFileStart"); }
  void SetDirection(int d) override { Call("SetDirection " + std::to_string(d)); }
  void SetPause(int p) override {
    log_->pause = p;
    Call("SetPause " + std::to_string(p));
  }
  int Pause() const override { return log_->pause; }
  void SetSpeed(int code) override { Call("SetSpeed " + std::to_string(code)); }
  void StepExact(int d) override { Call("StepExact " + std::to_string(d)); }
  void EnableAudio(bool on) override { Call(std::string("EnableAudio ") + (on ? "1" : "0")); }
  void SetMuted(bool m) override { log_->muted = m; }
  int PlayAtTime(int64_t) override { return 0; }
  std::string CurrentFile() const override { return log_->current; }
  int Faults() const override { return log_->faults; }
  void MarkIn() override { Call("MarkIn"); }
  void MarkOut() override { Call("MarkOut"); }
  MarkPoint MarkInPoint() const override { return log_->in; }
  MarkPoint MarkOutPoint() const override { return log_->out; }
  ExportRequest ExportRequestFor(const std::string& output) override {
    ExportRequest r;
    r.output = output;
    r.start = log_->in;
    r.end = log_->out;
    return r;
  }
  void Snapshot(const std::string& t, int count) override { log_->snapshot = t + " x" + std::to_string(count); }
  int TakeFrameCount() override { return 25; }
  std::vector<RecordingEntry> Recordings() const override { return log_->recordings; }
  void Call(const std::string& c) { log_->calls.push_back(c); }
  std::shared_ptr<Log> log_;
};

struct FakeView : PanelView {
  std::vector<std::string> messages;
  std::deque<bool> answers;          // for AskYesNo
  std::deque<std::string> files;     // for AskFile
  std::vector<std::string> asked;    // questions and dialogs shown
  int position = -1, speed = -1, volume = -1;
  bool backupRunning = false, muted = false;
  int opened = 0, stopped = 0, recordingsChanged = 0, fps = -1;
  std::vector<std::string> notices;

  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    asked.push_back(text);
    bool a = !answers.empty() && answers.front();
    if (!answers.empty()) answers.pop_front();
    return a;
  }
  std::string AskFile(const FileDialogRequest& rule, const std::string& initial) override {
    asked.push_back(std::string(rule.filter) + " [" + initial + "]");
    std::string f = files.empty() ? "" : files.front();
    if (!files.empty()) files.pop_front();
    return f;
  }
  void SetPositionSlider(int p) override { position = p; }
  void SetSpeedSlider(int p) override { speed = p; }
  void SetVolumeSlider(int p) override { volume = p; }
  void SetBackupRunning(bool r) override { backupRunning = r; }
  void SetMuted(bool m) override { muted = m; }
  void ShowFrameCount(int f) override { fps = f; }
  void ShowNotice(const std::string& text) override { notices.push_back(text); }
  void PlaybackOpened() override { ++opened; }
  void PlaybackStopped() override { ++stopped; }
  void RecordingsChanged() override { ++recordingsChanged; }
};

struct FakeMixer : VolumeMixer {
  uint32_t volume = 0;
  uint32_t GetVolume() const override { return volume; }
  void SetVolume(uint32_t v) override { volume = v; }
};

class Panel : public ::testing::Test {
protected:
  Panel() { Make(); }
  void Make() {
    panel_.reset();
    panel_ = std::make_unique<PanelController>(
        view_,
        [this](uint64_t tag) {
          tags_.push_back(tag);
          log_ = std::make_shared<FakeChannel::Log>();
          return std::make_unique<FakeChannel>(log_);
        },
        mixer_, &posted_, &mailbox_);
  }
  void Open(const std::string& path = "/card/DCIM/100MEDIA/a_0001.ts") { panel_->OpenRecording(path, nullptr); }
  std::vector<std::string> TakeCalls() {
    auto c = log_->calls;
    log_->calls.clear();
    return c;
  }

  FakeView view_;
  FakeMixer mixer_;
  MessageRecorder posted_;
  TelemetryMailbox mailbox_;
  std::shared_ptr<FakeChannel::Log> log_;
  std::vector<uint64_t> tags_;
  std::unique_ptr<PanelController> panel_;
};

using Calls = std::vector<std::string>;

} // namespace

TEST_F(Panel, SpeedSliderPositionsGiveSpeedCodesAndSoundOnlyAtNormalSpeed) {
  Open();
  const struct {
    int position;
    Calls calls;
  } cases[] = {
      {0, {"SetSpeed 10", "EnableAudio 0"}}, {1, {"SetSpeed 9", "EnableAudio 0"}},
      {3, {"SetSpeed 7", "EnableAudio 0"}},  {4, {"SetSpeed 1", "EnableAudio 1"}},
      {5, {"SetSpeed 2", "EnableAudio 0"}},  {8, {"SetSpeed 5", "EnableAudio 0"}},
      {12, {"SetSpeed 5", "EnableAudio 0"}}, {-3, {"SetSpeed 10", "EnableAudio 0"}},
  };
  for (const auto& c : cases) {
    panel_->SliderUp(3, c.position);
    EXPECT_EQ(TakeCalls(), c.calls) << c.position;
  }
  // Keys move the slider a step at a time, within its ends.
  panel_->SliderUp(3, 4);
  TakeCalls();
  panel_->ChangeSpeed(1);
  EXPECT_EQ(view_.speed, 5);
  EXPECT_EQ(TakeCalls(), (Calls{"SetSpeed 2", "EnableAudio 0"}));
  panel_->ChangeSpeed(-9);
  EXPECT_EQ(view_.speed, 0);
  // Play puts the slider back to normal speed.
  panel_->Button(225);
  EXPECT_EQ(TakeCalls(), (Calls{"SetSpeed 10", "EnableAudio 0", "SetDirection 0", "SetPause 0", "SetSpeed 1", "EnableAudio 1"}));
  EXPECT_EQ(view_.speed, 4);
}

TEST_F(Panel, VolumeSliderAndMixer) {
  const struct {
    uint32_t mixer;
    int start;
  } starts[] = {{65535, 0}, {65529, 0}, {2427, 26}, {2426, 27}, {0, 27}};
  for (const auto& s : starts) {
    mixer_.volume = s.mixer;
    Make();
    EXPECT_EQ(view_.volume, s.start) << s.mixer;
    EXPECT_EQ(panel_->VolumeSlider(), s.start);
  }
  panel_->SliderUp(2, 27);
  EXPECT_EQ(mixer_.volume, 0u);
  panel_->SliderUp(2, 0);
  EXPECT_EQ(mixer_.volume, 65529u);
  panel_->SliderUp(2, 1);
  EXPECT_EQ(mixer_.volume, 65529u - 2427u);
}

TEST_F(Panel, ButtonsDriveTheChannelAndDoNothingWithoutOne) {
  for (int id : {233, 216, 235, 230, 225, 217, 229, 237, 238, 239, 236, 220}) panel_->Button(id);
  EXPECT_TRUE(view_.asked.empty());
  Open();
  const struct {
    int id;
    Calls calls;
  } cases[] = {
      {233, {"Seek -1001"}},
      {229, {"Seek -1002"}},
      {216, {"SetDirection 1", "SetPause 0", "SetSpeed 11"}},
      {217, {"SetDirection 0", "SetPause 0", "SetSpeed 11"}},
      {235, {"SetDirection 1", "SetPause 0", "SetSpeed 7"}},
      {230, {"SetPause 1"}},
      {237, {"MarkIn"}},
      {238, {"MarkOut"}},
  };
  for (const auto& c : cases) {
    panel_->Button(c.id);
    EXPECT_EQ(TakeCalls(), c.calls) << c.id;
  }
  panel_->TogglePause();
  panel_->TogglePause();
  EXPECT_EQ(TakeCalls(), (Calls{"SetPause 0", "SetPause 1"}));
  // The frame keys step exactly, whatever the buttons do.
  panel_->StepExact(1);
  panel_->StepExact(-1);
  EXPECT_EQ(TakeCalls(), (Calls{"StepExact 1", "StepExact -1"}));
}

TEST_F(Panel, PositionSliderSeeksOnReleaseAndTheLeftEndIsTheFileStart) {
  Open();
  panel_->OnMessage(WM_TS_PROGRESS, 300, tags_.back());
  EXPECT_EQ(view_.position, 300);
  panel_->SliderDown(1);
  panel_->OnMessage(WM_TS_PROGRESS, 310, tags_.back());
  EXPECT_EQ(view_.position, 300) << "progress moved the slider while dragged";
  EXPECT_TRUE(TakeCalls().empty());
  panel_->SliderUp(1, 0);
  EXPECT_EQ(TakeCalls(), Calls{"SeekToFileStart"});
  panel_->SliderUp(1, 640);
  EXPECT_EQ(TakeCalls(), Calls{"Seek 640"});
  panel_->OnMessage(WM_TS_PROGRESS, 650, tags_.back());
  EXPECT_EQ(view_.position, 650);

  // Seeking by seconds goes through the recording's length (here 100 s).
  log_->recordings = {{1, log_->current, 1000, 1100, 0}};
  panel_->SeekSeconds(5);
  panel_->SeekSeconds(-60);
  panel_->SeekSeconds(-60);
  panel_->OnMessage(WM_TS_PROGRESS, 990, tags_.back());
  panel_->SeekSeconds(60);
  EXPECT_EQ(TakeCalls(), (Calls{"Seek 700", "Seek 100", "SeekToFileStart", "Seek -1002"}));
}

TEST_F(Panel, MessagesOfAClosedChannelAreDropped) {
  Open("/card/a_0001.ts");
  const uint64_t first = tags_.back();
  mailbox_.Put(reinterpret_cast<const uint8_t*>("X:1"), 3);
  Open("/card/a_0002.ts");
  EXPECT_FALSE(mailbox_.Pending()) << "a text of the old channel waits to be shown";
  const uint64_t second = tags_.back();
  ASSERT_NE(first, second);
  EXPECT_FALSE(panel_->IsCurrent(first));
  panel_->OnMessage(WM_TS_FILECHANGE, 0, first);
  panel_->OnMessage(WM_TS_PROGRESS, 500, first);
  EXPECT_EQ(view_.recordingsChanged, 0);
  EXPECT_EQ(view_.position, 0);
  panel_->OnMessage(WM_TS_FILECHANGE, 0, second);
  EXPECT_EQ(view_.recordingsChanged, 1);
  panel_->Stop();
  EXPECT_FALSE(panel_->IsCurrent(second));
  panel_->OnMessage(WM_TS_FILECHANGE, 0, second);
  EXPECT_EQ(view_.recordingsChanged, 1);
  EXPECT_EQ(view_.stopped, 1);
  EXPECT_EQ(panel_->Channel(), nullptr);
}

TEST_F(Panel, MuteSilencesThisAndEveryLaterChannel) {
  Open();
  panel_->ToggleMute();
  EXPECT_TRUE(log_->muted);
  EXPECT_TRUE(view_.muted);
  Open();
  EXPECT_TRUE(log_->muted);
  panel_->Button(1013);
  EXPECT_FALSE(log_->muted);
  EXPECT_FALSE(view_.muted);
}

TEST_F(Panel, AVanishedRecordingStopsPlaybackAndSaysSo) {
  TempDir dir;
  const std::string file = dir / "a_0001.ts";
  testsupport::WriteFile(file, "x");
  Open(file);
  panel_->OnTimer();
  EXPECT_EQ(view_.fps, 25);
  EXPECT_NE(panel_->Channel(), nullptr);
  fs::remove(file);
  panel_->OnTimer();
  EXPECT_EQ(panel_->Channel(), nullptr);
  EXPECT_EQ(view_.stopped, 1);
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0], "The card was removed. Playback has stopped.");
}

// What cannot be played of the recording is a notice beside the playing
// picture, not a box: it follows the faults of the file being read, goes with
// Stop, and a file that was never there is not a card pulled out.
TEST_F(Panel, FaultsOfThePlayingRecordingAreANoticeWhilePlaybackGoesOn) {
  TempDir dir;
  const std::string file = dir / "b_0002.ts";
  testsupport::WriteFile(file, "x");
  Open(file);
  panel_->OnTimer();
  EXPECT_TRUE(view_.notices.empty());
  log_->faults = kFaultSoundNotSupported;
  panel_->OnTimer();
  panel_->OnTimer(); // said once
  EXPECT_EQ(view_.notices, std::vector<std::string>{"b_0002.ts: sound format not supported"});
  log_->faults = kFaultVideoNotSupported | kFaultSoundNotSupported;
  panel_->OnTimer();
  EXPECT_EQ(view_.notices.back(), "b_0002.ts: video format not supported; sound format not supported");
  // The next recording plays whole.
  const std::string next = dir / "b_0003.ts";
  testsupport::WriteFile(next, "x");
  log_->current = next;
  log_->faults = 0;
  panel_->OnTimer();
  EXPECT_EQ(view_.notices.back(), "");
  EXPECT_NE(panel_->Channel(), nullptr);
  EXPECT_TRUE(view_.messages.empty());
  log_->faults = kFaultSoundNotSupported;
  panel_->OnTimer();
  panel_->Stop();
  EXPECT_EQ(view_.notices.back(), "");

  view_.notices.clear();
  Open(dir / "missing_0001.ts");
  log_->faults = kFaultMissingFile;
  panel_->OnTimer();
  panel_->OnTimer();
  EXPECT_NE(panel_->Channel(), nullptr);
  EXPECT_TRUE(view_.messages.empty());
  EXPECT_EQ(view_.notices, std::vector<std::string>{"missing_0001.ts: file not found"});
}

TEST(FaultNotice, EveryFaultHasTheReadersTextAsItsKey) {
  int all = 0;
  for (const auto& f : kFaultTexts) {
    EXPECT_STREQ(f.english, RecordingFaultText(f.fault));
    all |= f.fault;
  }
  EXPECT_EQ(FaultNotice("/a/b.ts", 0), "");
  EXPECT_EQ(FaultNotice("/a/b.ts", all).rfind("b.ts: file not found; ", 0), 0u);
}

TEST_F(Panel, SnapshotFolderIsPlainText) {
  Settings().snapshotFolder = "/shots/100%d%s/";
  Settings().imageType = 1;
  Settings().burstCount = 0;
  Open();
  panel_->Button(220);
  EXPECT_EQ(log_->snapshot.rfind("/shots/100%d%s/", 0), 0u) << log_->snapshot;
  EXPECT_NE(log_->snapshot.find(".jpg x1"), std::string::npos) << log_->snapshot;
}

TEST_F(Panel, OpenCardFindsTheCardOrSaysItIsMissing) {
  TempDir dir;
  ::setenv("VELMORA_REMOVABLE_ROOTS", (dir.path() + "/nothing").c_str(), 1);
  EXPECT_FALSE(panel_->OpenCard(false));
  EXPECT_TRUE(view_.messages.empty());
  EXPECT_FALSE(panel_->OpenCard(true));
  EXPECT_EQ(view_.messages, std::vector<std::string>{"Record SD Card Not Find"});
  const std::string media = dir / "card/DCIM/100MEDIA";
  fs::create_directories(media);
  testsupport::WriteFile(media + "/20240601_080100_0002.ts", "");
  testsupport::WriteFile(media + "/20240601_080000_0001.ts", "");
  ::setenv("VELMORA_REMOVABLE_ROOTS", (dir.path() + "/card").c_str(), 1);
  EXPECT_TRUE(panel_->OpenCard(false));
  ::unsetenv("VELMORA_REMOVABLE_ROOTS");
  EXPECT_EQ(log_->path, media + "/20240601_080000_0001.ts");
  EXPECT_TRUE(log_->hadList);
  EXPECT_EQ(log_->recordings.size(), 2u);
  EXPECT_EQ(view_.opened, 1);
  EXPECT_EQ(view_.speed, 4);

  // The open menu's file dialog: cancelled, then a file.
  panel_->OpenFile();
  EXPECT_EQ(view_.opened, 1);
  view_.files = {"/some/file_0001.nts"};
  panel_->OpenFile();
  EXPECT_EQ(log_->path, "/some/file_0001.nts");
  EXPECT_FALSE(log_->hadList);
  EXPECT_EQ(view_.asked.back(), "ts file(*.ts);nts file(*.nts)|*.ts;*.nts|All Files(*.*)|*.*|| []");
}

// Backup over recordings of the project's camera, numbered 5 and 6.
class PanelBackup : public Panel {
protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    media_ = testsupport::MakeSampleCard(dir_->path() + "/card", "--files 2 --seconds 4 --size 160x120 --first-number 5");
  }
  static void TearDownTestSuite() { delete dir_; }
  static std::string Recording(int n) {
    for (const auto& f : testsupport::SortedFiles(media_))
      if (CFindFilePath::FileNumber(f) == n) return f;
    return {};
  }
  // Delivers the export job's posted end to the panel.
  void DeliverEnd() {
    ASSERT_TRUE(posted_.WaitFor(WM_PANEL_EXPORT_ENDED, 20000));
    for (const auto& m : posted_.Messages()) panel_->OnMessage(m.number, m.wParam, 0);
    posted_.Clear();
  }
  static TempDir* dir_;
  static std::string media_;
  TempDir out_;
};
TempDir* PanelBackup::dir_ = nullptr;
std::string PanelBackup::media_;

TEST_F(PanelBackup, MarksOutOfOrderDoNothingAndAnOrderedStretchIsSaved) {
  const std::string five = Recording(5), six = Recording(6);
  ASSERT_FALSE(five.empty());
  ASSERT_FALSE(six.empty());
  Open(five);
  log_->in = {5, five, 1000};
  log_->out = {5, five, 800};
  panel_->Button(239);
  EXPECT_TRUE(view_.asked.empty()) << "a dialog for marks out of order";
  log_->out = {6, six, 0};
  panel_->Button(239); // cancelled dialog
  ASSERT_EQ(view_.asked.size(), 1u);
  EXPECT_EQ(view_.asked[0], "avi Files(*.avi)|*.avi|nts file(*.nts)|*.nts|| []");
  EXPECT_EQ(panel_->Job(), nullptr);

  const std::string target = out_ / "stretch.nts";
  view_.files = {target};
  panel_->Button(239);
  EXPECT_TRUE(view_.backupRunning);
  DeliverEnd();
  EXPECT_FALSE(view_.backupRunning);
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_EQ(view_.messages[0], target + " Finish Backup");
  // The stretch: file 5 from the read that passed byte 1000 to its end.
  const int64_t size5 = static_cast<int64_t>(fs::file_size(five));
  const int64_t saved = static_cast<int64_t>(fs::file_size(target));
  EXPECT_GE(saved, size5);
  EXPECT_LE(saved, size5 + 376);
  std::string probe;
  testsupport::Run("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 '" +
                       target + "'",
                   &probe);
  EXPECT_GT(std::atoi(probe.c_str()), 30) << probe;
}

TEST_F(PanelBackup, BackupWhileRunningAsksToCancelAndCancelDeletesThePart) {
  const std::string five = Recording(5), six = Recording(6);
  Open(five);
  log_->in = {5, five, 0};
  log_->out = {6, six, static_cast<int64_t>(fs::file_size(six))};
  const std::string target = out_ / "whole.nts";
  view_.files = {target};
  panel_->Button(239);
  ASSERT_TRUE(view_.backupRunning);
  if (!panel_->ExportRunning()) GTEST_SKIP() << "the job ended before it could be asked about";
  view_.answers = {false};
  panel_->Button(239);
  EXPECT_EQ(view_.asked.back(), "A backup is running. Stop it and delete the part saved so far?");
  view_.answers = {true};
  panel_->Button(239);
  EXPECT_FALSE(view_.backupRunning);
  if (panel_->Job()->EndNotice().outcome == ExportOutcome::Stopped) {
    EXPECT_FALSE(fs::exists(target));
  }
  // Its end notice is not shown.
  ASSERT_TRUE(posted_.WaitFor(WM_PANEL_EXPORT_ENDED, 20000));
  for (const auto& m : posted_.Messages()) panel_->OnMessage(m.number, m.wParam, 0);
  EXPECT_TRUE(view_.messages.empty());
}

TEST_F(PanelBackup, SavingThePlayingFileOffersItsNameAndCopiesIt) {
  const std::string five = Recording(5);
  Open(five);
  panel_->Button(236);
  ASSERT_EQ(view_.asked.size(), 1u);
  EXPECT_EQ(view_.asked[0], "ts Files (*.ts)|*.ts|| [" + fs::path(five).filename().string() + "]");
  const std::string target = out_ / "copy.ts";
  view_.files = {target};
  panel_->Button(236);
  DeliverEnd();
  EXPECT_EQ(testsupport::ReadFile(target), testsupport::ReadFile(five));
  EXPECT_EQ(view_.messages, std::vector<std::string>{target + " Finish Backup"});
}
