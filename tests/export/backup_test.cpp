// The stream copy of a marked stretch, what is refused, and failures that reach the user.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <filesystem>

#include "tests/export/export_fixture.h"
#include "tests/support/test_support.h"

using namespace exporttest;
using testsupport::ReadFile;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr int64_t kTablesEnd = 376; // the camera writes its PAT and PMT as the first two packets

ExportRequest Request(const std::string& output, const MarkPoint& in, const MarkPoint& out) {
  ExportRequest r;
  r.output = output;
  r.start = in;
  r.end = out;
  return r;
}

TEST(StreamCopy, OneRecordingGivesItsTablesThenTheReadsBetweenTheMarks) {
  const std::string& rec = Recordings()[0];
  // The head ends just after the packet that completed the tables: the PMT.
  const std::string pmt = Slice(rec, 188, 376);
  ASSERT_EQ(pmt[0], '\x47');
  ASSERT_EQ(pmt[5], '\x02'); // table id after a zero pointer field
  TempDir dir;
  const std::string out = dir / "segment.nts";
  JobRun run = RunExport(Request(out, Mark(rec, 100000), Mark(rec, 500000)));
  ASSERT_EQ(run.start, ExportStart::Started);
  EXPECT_EQ(run.endCalls, 1);
  EXPECT_EQ(run.end.outcome, ExportOutcome::Finished);
  EXPECT_EQ(run.text, out + " Finish Backup");
  EXPECT_TRUE(run.end.outputKept);
  const std::string want = Slice(rec, 0, kTablesEnd) + Slice(rec, 98304, 499712);
  EXPECT_TRUE(ReadFile(out) == want) << "output of " << SizeOf(out) << " bytes, wanted " << want.size();
  EXPECT_EQ(run.end.bytesWritten, static_cast<int64_t>(want.size()));
  // Progress counts the stretch, rising to its whole.
  ASSERT_FALSE(run.progress.empty());
  for (size_t i = 1; i < run.progress.size(); ++i) EXPECT_GE(run.progress[i].first, run.progress[i - 1].first);
  EXPECT_EQ(run.progress.back(), std::make_pair(int64_t{499712 - 98304}, int64_t{499712 - 98304}));
}

TEST(StreamCopy, AStretchOverThreeRecordingsCopiesTheMiddleOneWhole) {
  const auto& recs = Recordings();
  const int64_t size1 = SizeOf(recs[0]);
  const int64_t in = size1 - 1000, from = in / 8192 * 8192;
  TempDir dir;
  const std::string out = dir / "three.nts";
  JobRun run = RunExport(Request(out, Mark(recs[0], in), Mark(recs[2], 50000)));
  ASSERT_EQ(run.start, ExportStart::Started);
  EXPECT_EQ(run.end.outcome, ExportOutcome::Finished);
  const std::string want =
      Slice(recs[0], 0, kTablesEnd) + Slice(recs[0], from, size1) + ReadFile(recs[1]) + Slice(recs[2], 0, 49152);
  EXPECT_TRUE(ReadFile(out) == want) << "output of " << SizeOf(out) << " bytes, wanted " << want.size();
  EXPECT_EQ(run.progress.back().second, (size1 - from) + SizeOf(recs[1]) + 49152);
}

TEST(StreamCopy, AMissingRecordingEndsTheJobWithWhatWasWritten) {
  const auto& recs = Recordings();
  TempDir card;
  for (int i : {0, 1, 3}) fs::copy_file(recs[static_cast<size_t>(i)], card / fs::path(recs[static_cast<size_t>(i)]).filename().string());
  const std::string first = card / fs::path(recs[0]).filename().string();
  const std::string second = card / fs::path(recs[1]).filename().string();
  const std::string fourth = card / fs::path(recs[3]).filename().string();
  TempDir dir;
  const std::string out = dir / "gap.nts";
  JobRun run = RunExport(Request(out, Mark(first, 100000), Mark(fourth, 100000)));
  ASSERT_EQ(run.start, ExportStart::Started);
  EXPECT_EQ(run.endCalls, 1);
  EXPECT_EQ(run.end.outcome, ExportOutcome::Incomplete);
  EXPECT_TRUE(run.end.outputKept);
  EXPECT_EQ(run.end.reason, ExportReason::RecordingMissing);
  EXPECT_NE(run.text.find("recording number 3 is missing"), std::string::npos) << run.text;
  const std::string want = Slice(first, 0, kTablesEnd) + Slice(first, 98304, SizeOf(first)) + ReadFile(second);
  EXPECT_TRUE(ReadFile(out) == want) << "output of " << SizeOf(out) << " bytes, wanted " << want.size();
}

TEST(StreamCopy, SavingThePlayingFileCopiesItWholeButNeverOntoItself) {
  const std::string& rec = Recordings()[1];
  TempDir dir;
  const std::string out = dir / "copy.ts";
  CTSBackup job;
  ASSERT_EQ(job.BeginCopy(rec, out), ExportStart::Started);
  job.Wait();
  EXPECT_EQ(job.EndNotice().outcome, ExportOutcome::Finished);
  EXPECT_EQ(ExportEndText(job.EndNotice(), EnglishText), out + " Finish Backup");
  EXPECT_TRUE(ReadFile(out) == ReadFile(rec));
  EXPECT_EQ(job.BeginCopy(rec, rec), ExportStart::OutputIsSource);
  EXPECT_EQ(job.BeginCopy(dir / "gone.ts", out), ExportStart::StartMissing);
  EXPECT_TRUE(ReadFile(out) == ReadFile(rec));
}

TEST(StreamCopy, RefusesStretchesItCannotSaveAndOutputsOntoTheRecordings) {
  const auto& recs = Recordings();
  TempDir dir;
  TempDir other;
  const std::string elsewhere = other / fs::path(recs[2]).filename().string();
  fs::copy_file(recs[2], elsewhere);
  fs::create_symlink(recs[2], dir / "link-to-third.ts");
  fs::create_hard_link(elsewhere, dir / "hard-link.avi");
  // A copy of the first two recordings: the stretch lies in the first, the output names the second.
  TempDir copies;
  const std::string copied[2] = {copies / fs::path(recs[0]).filename().string(),
                                 copies / fs::path(recs[1]).filename().string()};
  for (int i = 0; i < 2; ++i) fs::copy_file(recs[i], copied[i]);
  const std::string middleSpelledOtherwise =
      fs::path(recs[1]).parent_path().string() + "/./" + fs::path(recs[1]).filename().string();
  struct Case {
    const char* what;
    MarkPoint in, out;
    std::string output;
    ExportStart want;
  } cases[] = {
      {"Mark Out before Mark In", Mark(recs[2], 100), Mark(recs[0], 100), dir / "a.nts", ExportStart::MarksNotInOrder},
      {"Mark Out not set", Mark(recs[0], 100), {-1, "", -1}, dir / "b.avi", ExportStart::MarksNotInOrder},
      {"one recording, reversed", Mark(recs[0], 5000), Mark(recs[0], 4000), dir / "c.nts",
       ExportStart::MarksNotInOrder},
      {"marks in different folders", Mark(recs[0], 100), Mark(elsewhere, 100), dir / "d.nts",
       ExportStart::MarksInDifferentFolders},
      {"Mark In's recording gone", Mark(dir / "20240601_070000_0001.ts", 100), Mark(recs[1], 100), dir / "e.nts",
       ExportStart::StartMissing},
      {"onto the start recording", Mark(recs[0], 100), Mark(recs[2], 100), recs[0], ExportStart::OutputIsSource},
      {"onto the middle one, spelled otherwise", Mark(recs[0], 100), Mark(recs[2], 100), middleSpelledOtherwise,
       ExportStart::OutputIsSource},
      {"through a link to the end one", Mark(recs[0], 100), Mark(recs[2], 100), dir / "link-to-third.ts",
       ExportStart::OutputIsSource},
      {"onto a hard link, as AVI", Mark(elsewhere, 100), Mark(elsewhere, 400000), dir / "hard-link.avi",
       ExportStart::OutputIsSource},
      {"onto the next recording, outside the stretch", Mark(copied[0], 0), Mark(copied[0], 100000), copied[1],
       ExportStart::OutputIsRecording},
      {"marks inside one block", Mark(recs[0], 100), Mark(recs[0], 200), dir / "f.nts", ExportStart::EmptyStretch},
  };
  const std::string secondBefore = ReadFile(copied[1]);
  std::vector<std::string> before;
  for (const auto& r : recs) before.push_back(ReadFile(r));
  for (const auto& c : cases) {
    const bool existed = fs::exists(c.output);
    JobRun run = RunExport(Request(c.output, c.in, c.out));
    EXPECT_EQ(run.start, c.want) << c.what;
    EXPECT_EQ(run.endCalls, 0) << c.what;
    if (!existed) {
      EXPECT_FALSE(fs::exists(c.output)) << c.what;
    }
  }
  for (size_t i = 0; i < recs.size(); ++i) EXPECT_TRUE(ReadFile(recs[i]) == before[i]) << recs[i];
  EXPECT_EQ(SizeOf(elsewhere), SizeOf(recs[2]));
  EXPECT_TRUE(ReadFile(copied[1]) == secondBefore);
  for (auto why : {ExportStart::OutputIsSource, ExportStart::OutputIsRecording, ExportStart::EmptyStretch})
    EXPECT_FALSE(ExportRefusalText(why, "x", EnglishText).empty());
}

TEST(Failures, AnOutputThatCannotBeCreatedOrWrittenEndsAsAFailedExport) {
  const auto& recs = Recordings();
  TempDir dir;
  testsupport::WriteFile(dir / "plain-file", "not a folder");
  struct Case {
    const char* what;
    std::string output;
  } cases[] = {
      {"a full disk", "/dev/full"},
      {"a missing folder", dir / "no-such-folder/clip.nts"},
      {"a folder that is a file", dir / "plain-file/clip.nts"},
      {"a full disk, AVI", "/dev/full.avi"},
      {"a missing folder, AVI", dir / "no-such-folder/clip.avi"},
      {"a folder that is a file, AVI", dir / "plain-file/clip.AVI"},
  };
  for (auto& c : cases) {
    std::string output = c.output;
    if (output == "/dev/full.avi") {
      // The AVI mode follows the name, so the full device is reached through a link.
      output = dir / "full.avi";
      fs::create_symlink("/dev/full", output);
    }
    JobRun run = RunExport(Request(output, Mark(recs[0], 100000), Mark(recs[1], 300000)));
    ASSERT_EQ(run.start, ExportStart::Started) << c.what;
    EXPECT_EQ(run.endCalls, 1) << c.what;
    EXPECT_EQ(run.end.outcome, ExportOutcome::Failed) << c.what;
    EXPECT_FALSE(run.end.outputKept) << c.what;
    EXPECT_NE(run.text.find("Backup failed"), std::string::npos) << c.what << ": " << run.text;
    EXPECT_EQ(run.text.find("Finish Backup"), std::string::npos) << c.what;
  }
  struct stat st {};
  ASSERT_EQ(::stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode)); // never removed as a "partial output"
  EXPECT_FALSE(fs::exists(dir / "no-such-folder"));
}

TEST(Failures, AnOutputCutShortIsRemovedAndTheMessageSaysSo) {
  const auto& recs = Recordings();
  TempDir dir;
  // Files of this process cannot grow past 64 KiB: a disk that fills up.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 64 * 1024;
  auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  JobRun runs[2];
  const std::string outputs[2] = {dir / "cut.nts", dir / "cut.avi"};
  for (int i = 0; i < 2; ++i) runs[i] = RunExport(Request(outputs[i], Mark(recs[0], 0), Mark(recs[1], 400000)));
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldSignal);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(runs[i].end.outcome, ExportOutcome::Failed) << outputs[i];
    EXPECT_FALSE(runs[i].end.outputKept) << outputs[i];
    EXPECT_FALSE(fs::exists(outputs[i])) << outputs[i];
    EXPECT_NE(runs[i].text.find("removed"), std::string::npos) << runs[i].text;
  }
}

} // namespace

// Every phrase of the texts goes through the caller's translation; paths, names,
// numbers and the system's error texts do not.
TEST(Texts, EveryPhraseGoesThroughTheCallersTranslation) {
  const auto marked = [](std::string_view english) { return "<" + std::string(english) + ">"; };
  struct Case {
    ExportOutcome outcome;
    ExportReason reason;
    const char* subject;
    const char* detail;
    bool created, removed;
    const char* want;
  } cases[] = {
      {ExportOutcome::Finished, ExportReason::None, "", "", false, false, "/o.nts <Finish Backup>"},
      {ExportOutcome::Incomplete, ExportReason::RecordingMissing, "3", "", false, false,
       "/o.nts <Backup incomplete>: <recording number> 3 <is missing>. <The file holds the part saved before it.>"},
      {ExportOutcome::Incomplete, ExportReason::ReadShort, "a_0002.ts", "", false, false,
       "/o.nts <Backup incomplete>: a_0002.ts <could not be read to the end>. <The file holds the part saved before it.>"},
      {ExportOutcome::Incomplete, ExportReason::CannotOpen, "a_0002.ts", "Permission denied", false, false,
       "/o.nts <Backup incomplete>: a_0002.ts <cannot be opened> (Permission denied). <The file holds the part saved "
       "before it.>"},
      {ExportOutcome::Failed, ExportReason::CannotWrite, "", "No space left on device", true, true,
       "/o.nts <Backup failed>: <cannot write the file> (No space left on device). <The incomplete file was removed.>"},
      {ExportOutcome::Failed, ExportReason::CannotCreate, "", "Permission denied", false, false,
       "/o.nts <Backup failed>: <cannot create the file> (Permission denied)."},
      {ExportOutcome::Failed, ExportReason::WriterFailed, "", "the muxer's own words", true, false,
       "/o.nts <Backup failed>: the muxer's own words. <The file is incomplete.>"},
      {ExportOutcome::Failed, ExportReason::NoProgramTables, "a_0001.ts", "", false, false,
       "/o.nts <Backup failed>: a_0001.ts <holds no program tables>."},
      {ExportOutcome::Stopped, ExportReason::None, "", "", false, false, ""},
  };
  for (const auto& c : cases) {
    ExportEnd end;
    end.output = "/o.nts";
    end.outcome = c.outcome;
    end.reason = c.reason;
    end.subject = c.subject;
    end.detail = c.detail;
    end.outputCreated = c.created;
    end.outputRemoved = c.removed;
    EXPECT_EQ(ExportEndText(end, marked), c.want);
  }
  EXPECT_EQ(ExportRefusalText(ExportStart::OutputIsSource, "/o.nts", marked),
            "/o.nts <is one of the recordings to be saved. Choose another file name.>");
  EXPECT_EQ(ExportRefusalText(ExportStart::MarksNotInOrder, "/o.nts", marked), "");
}

// A cancelled job deletes what it had written; a finished one is never touched.
TEST(StreamCopy, CancelledJobDeletesItsPartialOutput) {
  const auto& recs = Recordings();
  TempDir dir;
  const std::string out = dir / "cancelled.nts";
  CTSBackup job;
  std::atomic<bool> halfway{false};
  ExportEnd end;
  job.SetProgressCallback([&](int64_t done, int64_t) {
    if (done < (1 << 20) || halfway.exchange(true)) return;
    for (int i = 0; i < 5000 && job.IsRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  job.SetEndCallback([&](const ExportEnd& e) { end = e; });
  ASSERT_EQ(job.BeginExport(Request(out, Mark(recs[0], 0), Mark(recs[3], SizeOf(recs[3])))), ExportStart::Started);
  for (int i = 0; i < 5000 && !halfway; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(halfway.load());
  ASSERT_TRUE(fs::exists(out));
  job.Cancel();
  EXPECT_EQ(end.outcome, ExportOutcome::Stopped);
  EXPECT_FALSE(end.outputKept);
  EXPECT_FALSE(fs::exists(out));

  const std::string done = dir / "done.nts";
  CTSBackup finished;
  ASSERT_EQ(finished.BeginExport(Request(done, Mark(recs[0], 0), Mark(recs[0], 100000))), ExportStart::Started);
  finished.Wait();
  ASSERT_EQ(finished.EndNotice().outcome, ExportOutcome::Finished);
  finished.Cancel(); // it has ended: nothing to do
  EXPECT_TRUE(fs::exists(done));
}
