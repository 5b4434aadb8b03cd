// AVI export of a marked stretch, checked with ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "tests/export/export_fixture.h"
#include "tests/support/test_support.h"

using namespace exporttest;

using testsupport::TempDir;

namespace {

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// "key=value" lines of ffprobe about one stream of a file.
std::map<std::string, std::string> StreamInfo(const std::string& file, const char* stream) {
  std::string out;
  testsupport::Run("ffprobe -v error -select_streams " + std::string(stream) + " -show_streams " + Quote(file), &out);
  std::map<std::string, std::string> info;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) info.emplace(line.substr(0, eq), line.substr(eq + 1));
  }
  return info;
}

int64_t AudioSamples(const std::string& file) {
  std::string out;
  testsupport::Run("ffprobe -v error -select_streams a -show_entries packet=size -of csv=p=0 " + Quote(file), &out);
  std::istringstream lines(out);
  int64_t bytes = 0;
  for (std::string line; std::getline(lines, line);) bytes += std::atoll(line.c_str());
  return bytes / 2;
}

// What ffmpeg says when it decodes the whole file (empty when all is well).
std::string DecodeErrors(const std::string& file) {
  std::string out;
  testsupport::Run("ffmpeg -nostdin -v error -i " + Quote(file) + " -f null - 2>&1", &out);
  return out;
}

// The PES packets of the recordings as ffprobe sees them: where each begins.
struct Pes {
  size_t file;
  int64_t pos;
  bool key;
};
std::vector<Pes> ProbePes(const std::vector<std::string>& files, int streamIndex) {
  std::vector<Pes> all;
  for (size_t f = 0; f < files.size(); ++f) {
    std::string out;
    testsupport::Run("ffprobe -v error -select_streams " + std::to_string(streamIndex) +
            " -show_entries packet=pos,flags -of csv=p=0 " + Quote(files[f]),
        &out);
    std::vector<Pes> these;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      size_t comma = line.find(',');
      if (comma == std::string::npos) continue;
      these.push_back({f, std::atoll(line.c_str()), line[comma + 1] == 'K'});
    }
    std::sort(these.begin(), these.end(), [](const Pes& a, const Pes& b) { return a.pos < b.pos; });
    all.insert(all.end(), these.begin(), these.end());
  }
  return all;
}

// The frames and sound an export of [in, out) over the recordings should hold,
// worked out from the packets: a PES is decided when the next PES of its
// stream begins, by the position after the 8192-byte read in which that packet
// and the sync byte after it were seen; the file starts with the first key
// frame taken, and the sound with the first audio PES that began after it.
struct Expected {
  int64_t frames = 0;
  int64_t audioFrames = 0;
};
Expected Expect(const std::vector<std::string>& files, int64_t in, int64_t out) {
  std::vector<int64_t> sizes;
  for (const auto& f : files) sizes.push_back(SizeOf(f));
  auto decided = [&](const Pes& next) -> std::pair<size_t, int64_t> {
    if (next.pos + 188 >= sizes[next.file]) return {next.file + 1, std::min<int64_t>(8192, sizes[next.file + 1])};
    return {next.file, std::min(((next.pos + 189 + 8191) / 8192) * 8192, sizes[next.file])};
  };
  auto belongs = [&](std::pair<size_t, int64_t> at) {
    const bool start = at.first == 0, end = at.first + 1 == files.size();
    if (start && end) return in < at.second && at.second < out;
    if (start) return at.second > in;
    if (end) return at.second < out;
    return true;
  };
  Expected e;
  auto video = ProbePes(files, 0), audio = ProbePes(files, 1);
  std::pair<size_t, int64_t> firstKey{SIZE_MAX, 0};
  for (size_t i = 0; i + 1 < video.size(); ++i) {
    if (!belongs(decided(video[i + 1]))) continue;
    if (firstKey.first == SIZE_MAX && !video[i].key) continue;
    if (firstKey.first == SIZE_MAX) firstKey = {video[i].file, video[i].pos};
    ++e.frames;
  }
  for (size_t i = 0; i + 1 < audio.size(); ++i)
    if (belongs(decided(audio[i + 1])) && std::make_pair(audio[i].file, audio[i].pos) > firstKey) ++e.audioFrames;
  return e;
}

TEST(AviExport, HoldsTheStretchsFramesAsGivenAndItsSoundAsPcm) {
  const auto& recs = Recordings();
  TempDir dir;
  const std::string out = dir / "clip.AVI"; // the extension in capitals still gives AVI
  ExportRequest request;
  request.output = out;
  request.frameRate = 25; // as given, whatever the recording's own rate
  request.start = Mark(recs[0], 100000);
  request.end = Mark(recs[1], 300000);
  JobRun run = RunExport(request);
  ASSERT_EQ(run.start, ExportStart::Started);
  ASSERT_EQ(run.end.outcome, ExportOutcome::Finished) << run.text;
  EXPECT_EQ(run.text, out + " Finish Backup");

  const Expected want = Expect({recs[0], recs[1]}, 100000, 300000);
  ASSERT_GT(want.frames, 100);
  std::string count;
  testsupport::Run("ffprobe -v error -show_entries stream=index -of csv=p=0 " + Quote(out) + " | wc -l", &count);
  EXPECT_EQ(std::atoi(count.c_str()), 2);
  auto video = StreamInfo(out, "v");
  EXPECT_EQ(video["codec_name"], "h264");
  EXPECT_EQ(video["codec_tag_string"], "X264");
  EXPECT_EQ(video["width"], "320"); // from the recording, as the request gave no size
  EXPECT_EQ(video["height"], "240");
  EXPECT_EQ(video["r_frame_rate"], "25/1");
  EXPECT_EQ(video["nb_frames"], std::to_string(want.frames));
  auto audio = StreamInfo(out, "a");
  EXPECT_EQ(audio["codec_name"], "pcm_s16le");
  EXPECT_EQ(audio["sample_rate"], "48000");
  EXPECT_EQ(audio["channels"], "1");
  EXPECT_EQ(AudioSamples(out), want.audioFrames * 1024);
  EXPECT_EQ(DecodeErrors(out), "");
}

TEST(AviExport, StoppedHalfwayLeavesAPlayableFileOfWhatWasWritten) {
  const auto& recs = Recordings();
  TempDir dir;
  const std::string out = dir / "stopped.avi";
  CTSBackup job;
  std::atomic<bool> halfway{false};
  ExportEnd end;
  int endCalls = 0;
  // The job waits, at its first report past a megabyte, until it has been told to stop.
  job.SetProgressCallback([&](int64_t done, int64_t) {
    if (done < (1 << 20) || halfway.exchange(true)) return;
    for (int i = 0; i < 5000 && job.IsRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  job.SetEndCallback([&](const ExportEnd& e) {
    end = e;
    ++endCalls;
  });
  ExportRequest request;
  request.output = out;
  request.start = Mark(recs[0], 0);
  request.end = Mark(recs[3], SizeOf(recs[3]));
  ASSERT_EQ(job.BeginExport(request), ExportStart::Started);
  for (int i = 0; i < 5000 && !halfway; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(halfway.load());
  job.Stop();
  EXPECT_EQ(endCalls, 1);
  EXPECT_EQ(end.outcome, ExportOutcome::Stopped);
  EXPECT_TRUE(end.outputKept);
  const int64_t frames = std::atoll(StreamInfo(out, "v")["nb_frames"].c_str());
  EXPECT_GT(frames, 30);
  EXPECT_LT(frames, 4 * 300);
  EXPECT_GT(AudioSamples(out), 0);
  EXPECT_EQ(DecodeErrors(out), "");
}

// Recordings from beyond the camera: H.265 video goes in as it is (four-character
// code HEVC), and key frames of 1.5 MB are kept; every frame of the stretch is there.
TEST(AviExport, H265AndLargeFramesKeepEveryFrame) {
  TempDir dir;
  const std::string hevc = testsupport::SortedFiles(testsupport::MakeSampleCard(
      dir / "h265", "--files 1 --seconds 3 --size 320x240 --gop 15 --codec h265"))[0];
  const std::string big = dir / "big_0001.ts";
  std::string log;
  ASSERT_EQ(testsupport::Run("ffmpeg -v error -y -f lavfi -i 'nullsrc=s=1920x1080:r=30,geq=random(1)*255:128:128' "
                             "-frames:v 8 -c:v libx264 -preset ultrafast -qp 24 -g 4 -bf 0 -f mpegts " + Quote(big) + " 2>&1",
                             &log),
            0)
      << log;
  struct Case {
    std::string file;
    const char* codec;
    const char* tag;
    int64_t least;
  } cases[] = {{hevc, "hevc", "HEVC", 80}, {big, "h264", "X264", 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string out = dir / (std::string(c.codec) + ".avi");
    ExportRequest request;
    request.output = out;
    request.start = Mark(c.file, 1);
    request.end = Mark(c.file, SizeOf(c.file));
    JobRun run = RunExport(request);
    ASSERT_EQ(run.end.outcome, ExportOutcome::Finished) << run.text;
    const Expected want = Expect({c.file}, 1, SizeOf(c.file));
    EXPECT_GE(want.frames, c.least);
    auto video = StreamInfo(out, "v");
    EXPECT_EQ(video["codec_name"], c.codec);
    EXPECT_EQ(video["codec_tag_string"], c.tag);
    EXPECT_EQ(video["nb_frames"], std::to_string(want.frames));
    EXPECT_EQ(DecodeErrors(out), "");
  }
}

// A stretch that yields no picture (it holds no key frame) makes no usable
// file: the export fails and says so, and removes what it had begun.
TEST(AviExport, AStretchWithoutAPictureFails) {
  const auto& recs = Recordings();
  const auto video = ProbePes({recs[0]}, 0);
  int64_t in = -1, out = -1;
  for (size_t k = 0; k < video.size() && in < 0; ++k) {
    if (!video[k].key) continue;
    for (int64_t at = video[k].pos; at < video[k].pos + 65536 && in < 0; at += 4096)
      if (Expect({recs[0]}, at, at + 8192 * 2).frames == 0) in = at, out = at + 8192 * 2;
  }
  ASSERT_GE(in, 0);
  TempDir dir;
  ExportRequest request;
  request.output = dir / "empty.avi";
  request.start = Mark(recs[0], in);
  request.end = Mark(recs[0], out);
  JobRun run = RunExport(request);
  EXPECT_EQ(run.end.outcome, ExportOutcome::Failed) << run.text;
  EXPECT_EQ(run.end.reason, ExportReason::NoPicture);
  EXPECT_TRUE(run.end.outputRemoved);
  EXPECT_FALSE(std::filesystem::exists(request.output));
  EXPECT_NE(run.text.find("holds no picture"), std::string::npos) << run.text;
}

} // namespace
