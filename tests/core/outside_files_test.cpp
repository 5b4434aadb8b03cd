// Recordings from other cameras and muxers, and damaged ones: what the reader
// makes of them.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/find_file_path.h"
#include "core/recording_fault.h"
#include "tests/core/reader_rig.h"

using testsupport::MakeSampleCard;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::string Ffmpeg(const TempDir& dir, const std::string& name, const std::string& args) {
  const std::string out = dir / name;
  std::string log;
  if (testsupport::Run("ffmpeg -v error -y " + args + " -f mpegts '" + out + "' 2>&1", &log) != 0)
    throw std::runtime_error("ffmpeg failed: " + log);
  return out;
}

// Offset of the first packet of a PID that starts a section or PES.
size_t FirstUnitStart(const std::string& bytes, int pid) {
  for (size_t at = 0; at + 188 <= bytes.size(); at += 188) {
    TsPacket p;
    if (ParseTsPacket(reinterpret_cast<const uint8_t*>(bytes.data() + at), p) && p.pid == pid && p.unitStart) return at;
  }
  return std::string::npos;
}

template <typename F>
bool Eventually(F&& pred, int timeoutMs = 10000) {
  for (int waited = 0; waited < timeoutMs && !pred(); waited += 10)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return pred();
}

} // namespace

TEST(TableCrc, SectionsOfTheCameraCheckAndOneBadByteFails) {
  TempDir dir;
  const std::string bytes =
      ReadFile(testsupport::SortedFiles(MakeSampleCard(dir / "card", "--files 1 --seconds 1 --size 320x240"))[0]);
  for (int pid : {0, 0x100}) {
    SCOPED_TRACE(pid);
    const size_t at = FirstUnitStart(bytes, pid);
    ASSERT_NE(at, std::string::npos);
    std::string packet = bytes.substr(at, 188);
    TsPacket p;
    ASSERT_TRUE(ParseTsPacket(reinterpret_cast<const uint8_t*>(packet.data()), p));
    auto* payload = reinterpret_cast<uint8_t*>(packet.data()) + (p.payload - reinterpret_cast<const uint8_t*>(packet.data()));
    bool valid = false;
    if (pid == 0) EXPECT_EQ(ParsePat(payload, p.payloadLength, &valid).size(), 1u);
    else EXPECT_EQ(ParsePmt(payload, p.payloadLength, &valid).size(), 3u);
    EXPECT_TRUE(valid);
    payload[1 + 10] ^= 0x02; // the PAT's map PID, the PMT's first stream type
    if (pid == 0) ParsePat(payload, p.payloadLength, &valid);
    else ParsePmt(payload, p.payloadLength, &valid);
    EXPECT_FALSE(valid);
  }
}

// One bad byte in the first PAT or PMT: the reader passes over the damaged
// table, learns from the next copy, and reads the recording again from its
// start, so that every frame is played.
TEST(DamagedTables, TheNextGoodCopyIsUsedAndEveryFramePlays) {
  TempDir dir;
  const std::string clean =
      testsupport::SortedFiles(MakeSampleCard(dir / "card", "--files 1 --seconds 2 --size 320x240 --gop 15"))[0];
  const std::string bytes = ReadFile(clean);
  const auto want = ProbePackets(clean, "v");
  for (int pid : {0, 0x100}) {
    SCOPED_TRACE(pid);
    std::string damaged = bytes;
    const size_t at = FirstUnitStart(bytes, pid);
    TsPacket p;
    ASSERT_TRUE(ParseTsPacket(reinterpret_cast<const uint8_t*>(bytes.data() + at), p));
    // The PAT's map PID or the PMT's video stream type: taken as they are,
    // either loses the whole recording.
    damaged[at + static_cast<size_t>(188 - p.payloadLength) + 1 + (pid == 0 ? 10 : 12)] ^= 0x02;
    const std::string path = dir / ("damaged_" + std::to_string(pid) + "_0001.ts");
    WriteFile(path, damaged);
    ReaderRig rig;
    rig.Start(path);
    ASSERT_TRUE(rig.WaitVideo(want.size() - 1));
    ASSERT_TRUE(rig.WaitForwardEnd());
    const auto video = rig.Video();
    ASSERT_EQ(video.size(), want.size() - 1);
    for (size_t i = 0; i < video.size(); ++i) EXPECT_NEAR(video[i].pts, want[i].dts, 1e-4) << i;
    EXPECT_EQ(rig.reader.Faults(), kFaultNone);
  }
}

// Each recording is read by its own tables: after a camera file comes one from
// another muxer with other PIDs (and H.265 video), and both play.
TEST(DamagedTables, EachOpenedFileIsReadByItsOwnTables) {
  TempDir dir;
  const std::string first =
      testsupport::SortedFiles(MakeSampleCard(dir / "card", "--files 1 --seconds 1 --size 320x240"))[0];
  std::filesystem::copy_file(first, dir / "mix_0001.ts");
  const std::string second =
      Ffmpeg(dir, "mix_0002.ts",
             "-f lavfi -i testsrc=size=320x240:rate=30 -t 1 -c:v libx265 -preset ultrafast -x265-params "
             "log-level=error:keyint=15:bframes=0 -streamid 0:0x200");
  const auto v1 = ProbePackets(first, "v"), v2 = ProbePackets(second, "v");
  ReaderRig rig;
  rig.Start(dir / "mix_0001.ts");
  ASSERT_TRUE(rig.WaitVideo(v1.size() + v2.size() - 1));
  ASSERT_TRUE(rig.WaitForwardEnd());
  const auto video = rig.Video();
  ASSERT_EQ(video.size(), v1.size() + v2.size() - 1);
  EXPECT_EQ(video.front().codec, kCodecH264);
  EXPECT_EQ(video.back().codec, kCodecH265);
  EXPECT_EQ(video[v1.size()].type, kFrameKey);
}

// Key frames of 1.5 MB (a 1080p recording at a high bit rate): the video
// queue grows for them, and every frame arrives whole.
TEST(LargeFrames, TheQueueGrowsAndEveryFrameArrives) {
  TempDir dir;
  const std::string file = Ffmpeg(dir, "big_0001.ts",
                                  "-f lavfi -i 'nullsrc=s=1920x1080:r=30,geq=random(1)*255:128:128' -frames:v 8 "
                                  "-c:v libx264 -preset ultrafast -qp 24 -g 4 -bf 0");
  const auto want = ProbePackets(file, "v");
  ReaderRig rig;
  rig.Start(file);
  ASSERT_TRUE(rig.WaitVideo(want.size() - 1));
  ASSERT_TRUE(rig.WaitForwardEnd());
  const auto video = rig.Video();
  ASSERT_EQ(video.size(), want.size() - 1);
  for (size_t i = 0; i < video.size(); ++i) {
    EXPECT_NEAR(video[i].pts, want[i].dts, 1e-4) << i;
    EXPECT_GT(video[i].size, 1000000) << i;
  }
  EXPECT_GE(video.front().size, 1500000);
  EXPECT_GE(rig.videoQueue.LargestFrame(), 1500000u);
}

TEST(FrameRate, NominalRateFromTheStampSpan) {
  struct Case {
    double span;
    int intervals;
    int rate;
  } cases[] = {{1.0, 30, 30},  {0.5, 30, 60},    {1.2, 30, 25},  {0.6, 30, 50},     {30 / 29.97, 30, 30},
               {30 / 59.94, 30, 60}, {1.25, 30, 24}, {2.0, 30, 15}, {0.0, 30, 0}, {-1.0, 30, 0}, {0.16, 4, 25}};
  for (const auto& c : cases) EXPECT_EQ(NominalRateOf(c.span, c.intervals), c.rate) << c.span << " / " << c.intervals;
}

// 25 and 50 frames a second (also with B-frames, whose presentation stamps are
// out of order) are taken from the stream; the camera's 30 and 60 stay.
TEST(FrameRate, FramesCarryTheStreamsOwnRate) {
  TempDir dir;
  struct Case {
    std::string file;
    int rate;
  } cases[] = {
      {Ffmpeg(dir, "pal_0001.ts", "-f lavfi -i testsrc=size=320x240:rate=25 -t 2 -c:v libx264 -preset ultrafast -g 25 -bf 0"), 25},
      {Ffmpeg(dir, "palb_0001.ts", "-f lavfi -i testsrc=size=320x240:rate=25 -t 2 -c:v libx264 -preset ultrafast -g 25 -bf 2"), 25},
      {Ffmpeg(dir, "pal50_0001.ts", "-f lavfi -i testsrc=size=320x240:rate=50 -t 2 -c:v libx264 -preset ultrafast -g 50 -bf 0"), 50},
      {testsupport::SortedFiles(MakeSampleCard(dir / "c30", "--files 1 --seconds 2 --size 320x240"))[0], 30},
      {testsupport::SortedFiles(MakeSampleCard(dir / "c60", "--files 1 --seconds 2 --size 320x240 --fps 60"))[0], 60},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ReaderRig rig;
    rig.Start(c.file);
    ASSERT_TRUE(rig.WaitForwardEnd());
    EXPECT_EQ(rig.reader.NominalFrameRate(), c.rate);
    const auto video = rig.Video();
    ASSERT_GT(video.size(), 40u);
    // The first estimate comes after five frames; the queue may hold those at the guess.
    for (size_t i = 35; i < video.size(); ++i) EXPECT_EQ(video[i].fps, c.rate) << i;
  }
}

// A folder whose list begins with recordings without numbers: each is followed
// by the next entry of the list, then the numbers lead on.
TEST(Neighbours, UnnumberedRecordingsFollowTheList) {
  TempDir dir;
  const auto card = testsupport::SortedFiles(MakeSampleCard(dir / "card", "--files 3 --seconds 1 --size 320x240"));
  const std::string folder = dir / "folder";
  std::filesystem::create_directory(folder);
  std::filesystem::copy_file(card[0], folder + "/intro.ts");
  std::filesystem::copy_file(card[1], folder + "/clip_0001.ts");
  std::filesystem::copy_file(card[2], folder + "/clip_0002.ts");
  CFindFilePath list;
  list.ScanNow(folder + "/clip_0001.ts");
  ASSERT_EQ(list.Entries().size(), 3u);
  ASSERT_EQ(list.Entries()[0].path, folder + "/intro.ts");
  size_t frames = 0;
  for (const auto& f : card) frames += ProbePackets(f, "v").size();

  ReaderRig rig(&list);
  rig.Start(folder + "/intro.ts");
  ASSERT_TRUE(rig.WaitVideo(frames - 1));
  ASSERT_TRUE(rig.WaitForwardEnd());
  EXPECT_EQ(rig.Video().size(), frames - 1);
  EXPECT_EQ(rig.reader.GetCurFile(), folder + "/clip_0002.ts");

  // Backwards from the first numbered recording the numbers end; from the
  // unnumbered one nothing comes before it.
  EXPECT_EQ(list.ListNeighbour(folder + "/intro.ts", -1), "");
  EXPECT_EQ(list.ListNeighbour(folder + "/intro.ts", 1), folder + "/clip_0001.ts");
  EXPECT_EQ(list.ListNeighbour(folder + "/elsewhere.ts", 1), "");
}

// What keeps a recording from playing is said, and what can be played plays:
// a missing file, a file that is no transport stream, video the player cannot
// decode, and sound in MPEG layer 2 (the video of that one plays).
TEST(Faults, EachRecordingSaysWhatKeepsItFromPlaying) {
  TempDir dir;
  WriteFile(dir / "notes_0001.ts", std::string(100000, 'x'));
  struct Case {
    std::string file;
    int fault;
    bool video;
  } cases[] = {
      {dir / "gone_0001.ts", kFaultMissingFile, false},
      {dir / "notes_0001.ts", kFaultNotTransportStream, false},
      {Ffmpeg(dir, "mpeg2_0001.ts", "-f lavfi -i testsrc=size=320x240:rate=30 -t 1 -c:v mpeg2video"),
       kFaultVideoNotSupported, false},
      {Ffmpeg(dir, "mp2_0001.ts",
              "-f lavfi -i testsrc=size=320x240:rate=30 -f lavfi -i sine=sample_rate=48000 -t 1 -c:v libx264 "
              "-preset ultrafast -c:a mp2"),
       kFaultSoundNotSupported, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ReaderRig rig;
    rig.Start(c.file);
    EXPECT_TRUE(Eventually([&] { return rig.reader.Faults() == c.fault; })) << rig.reader.Faults();
    if (c.video) {
      EXPECT_TRUE(rig.WaitVideo(20));
    }
    ASSERT_TRUE(rig.WaitIdle());
    EXPECT_EQ(rig.Video().empty(), !c.video);
    EXPECT_TRUE(rig.Audio().empty());
    EXPECT_STRNE(RecordingFaultText(c.fault), "");
  }
}
