#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

#include "core/find_file_path.h"
#include "core/messages.h"
#include "tests/core/reader_rig.h"

using testsupport::MakeSampleCard;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Checks that the frames arrived are exactly the probed packets, in order.
void ExpectSameFrames(const std::vector<Arrived>& got, const std::vector<ProbedPacket>& want, double ptsOffset = 0) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i].pts, want[i].dts + ptsOffset, 1e-4) << "frame " << i;
    EXPECT_EQ(got[i].type, want[i].key ? kFrameKey : kFrameOther) << "frame " << i;
  }
}

// The PES packets of one PID as they start in the file: offset of the first
// packet and the hash of the payload after the PES header.
struct PesAt {
  int64_t offset;
  uint64_t hash;
};
std::vector<PesAt> ListPes(const std::string& bytes, int pid) {
  std::vector<PesAt> list;
  ForEachPes(bytes, pid, [&](int64_t offset, const PesHeader& h, const uint8_t* data, size_t size) {
    list.push_back({offset, HashBytes(data + h.payloadOffset, size - h.payloadOffset)});
  });
  return list;
}

class ReaderTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    card_ = MakeSampleCard(dir_->path() + "/card", "--files 3 --seconds 3 --size 320x240 --gop 15");
  }
  static void TearDownTestSuite() { delete dir_; }
  static TempDir* dir_;
  static std::string card_;
};
TempDir* ReaderTest::dir_ = nullptr;
std::string ReaderTest::card_;

} // namespace

TEST_F(ReaderTest, EveryFrameArrivesOnceInOrderAndTheNextFileFollows) {
  auto files = testsupport::SortedFiles(card_);
  ASSERT_EQ(files.size(), 3u);
  ReaderRig rig;
  rig.Start(files[1]); // the second recording, then the third follows by itself
  auto v1 = ProbePackets(files[1], "v"), v2 = ProbePackets(files[2], "v");
  auto a1 = ProbePackets(files[1], "a"), a2 = ProbePackets(files[2], "a");
  // The last PES of the last file is never cut: nothing follows it.
  size_t videoWanted = v1.size() + v2.size() - 1, audioWanted = a1.size() + a2.size() - 1;
  ASSERT_TRUE(rig.WaitVideo(videoWanted));
  ASSERT_TRUE(rig.WaitAudio(audioWanted));
  ASSERT_TRUE(rig.WaitForwardEnd());
  auto video = rig.Video();
  auto audio = rig.Audio();
  ASSERT_EQ(video.size(), videoWanted);
  ASSERT_EQ(audio.size(), audioWanted);
  ExpectSameFrames({video.begin(), video.begin() + static_cast<long>(v1.size())}, v1);
  ExpectSameFrames({video.begin() + static_cast<long>(v1.size()), video.end()}, {v2.begin(), v2.end() - 1});
  for (const auto& f : video) {
    EXPECT_EQ(f.fps, 30);
    EXPECT_EQ(f.speed, 1);
  }
  for (const auto& f : audio) EXPECT_EQ(f.type, kFrameAudio);
  // Telemetry texts came once a second; no restart was announced between the files.
  EXPECT_GE(rig.mainWindow.Count(WM_TS_TELEMETRY), 5u);
  EXPECT_EQ(rig.mainWindow.Count(WM_TS_FILECHANGE), 0u);
  TelemetryMailbox::Text text;
  ASSERT_TRUE(rig.mailbox.Read(text));
  EXPECT_NE(std::strstr(text.data(), "$GPRMC"), nullptr) << text.data();
  EXPECT_GT(rig.panel.Count(WM_TS_PROGRESS), 0u);
  EXPECT_EQ(rig.reader.GetCurFile(), files[2]);
  EXPECT_EQ(rig.reader.NominalFrameRate(), 30);
}

// Steps read forward like play: every frame, so that a step shows the next
// picture and no frame comes without the frames it refers to. Each frame carries
// the byte offset where its PES begins in the file.
TEST_F(ReaderTest, StepSpeedDeliversEveryFrameAndReverseKeyFramesOnly) {
  auto files = testsupport::SortedFiles(card_);
  const auto listed = ListVideoPes(ReadFile(files[0]));
  ReaderRig rig;
  rig.state.speedCode = kSpeedStep;
  rig.Start(files[0]);
  ASSERT_TRUE(rig.WaitVideo(listed.size() - 1));
  const auto stepped = rig.Video();
  ASSERT_GE(stepped.size(), listed.size() - 1);
  for (size_t i = 0; i + 1 < listed.size(); ++i) {
    EXPECT_EQ(stepped[i].type, listed[i].key ? kFrameKey : kFrameOther) << i;
    EXPECT_EQ(stepped[i].fps, 30);
    EXPECT_EQ(stepped[i].speed, kSpeedStep);
    EXPECT_EQ(stepped[i].filePos, listed[i].offset) << i;
  }

  // Reverse from the third recording: key frames in descending order, into the
  // recordings before it, no audio and no telemetry.
  ReaderRig back;
  back.Pace(5); // the reader keeps ahead of the consumer
  back.Start(files[2]);
  ASSERT_TRUE(back.WaitVideo(40));
  back.Hold(true);
  back.Pace(0);
  // Frames wait in the queue, so the direction change seeks from the first of them.
  Poll(30000, [&] { return back.videoQueue.LockedCount() > 0; });
  ASSERT_GT(back.videoQueue.LockedCount(), 0);
  size_t telemetry = back.mainWindow.Count(WM_TS_TELEMETRY);
  back.state.speedCode = kSpeedSlowHalf;
  ASSERT_EQ(back.reader.SetDirection(1), 1);
  back.Forget();
  back.Hold(false);
  ASSERT_TRUE(back.WaitReverseEnd(files[0]));
  // A frame the reader was pushing when the request came may still arrive
  // first; reverse frames carry a negative speed.
  auto video = back.Video();
  while (!video.empty() && video.front().speed > 0) video.erase(video.begin());
  ASSERT_GE(video.size(), 6u);
  for (const auto& a : back.Audio()) EXPECT_LT(a.seq, video.front().seq) << "no audio in reverse";
  EXPECT_EQ(back.mainWindow.Count(WM_TS_TELEMETRY), telemetry);
  EXPECT_EQ(back.mainWindow.Count(WM_TS_FILECHANGE), 2u) << "the seek and the direction change";
  double last = 1e9;
  std::string file = back.reader.GetCurFile();
  std::vector<int64_t> keyOffsets;
  for (const std::string& f : files)
    for (const VideoPes& pes : ListVideoPes(ReadFile(f)))
      if (pes.key) keyOffsets.push_back(pes.offset);
  for (const auto& f : video) {
    EXPECT_EQ(f.type, kFrameKey);
    EXPECT_EQ(f.fps, 2);
    EXPECT_EQ(f.speed, -kSpeedSlowHalf);
    EXPECT_NE(std::find(keyOffsets.begin(), keyOffsets.end(), f.filePos), keyOffsets.end()) << f.filePos;
    EXPECT_GT(f.generation, 0u) << "the direction change restarted the stream";
    if (f.pts < last) last = f.pts;
  }
  // Within each recording the time stamps fall; the reader went on into the first recording.
  size_t falls = 0;
  for (size_t i = 1; i < video.size(); ++i) falls += video[i].pts < video[i - 1].pts;
  EXPECT_GE(falls, video.size() - 3);
  EXPECT_EQ(file, files[0]);
}

TEST_F(ReaderTest, ForwardAgainResumesAtTheSecondKeyFrame) {
  auto files = testsupport::SortedFiles(card_);
  ReaderRig rig;
  rig.Start(files[0]);
  ASSERT_TRUE(rig.WaitVideo(60));
  ASSERT_EQ(rig.reader.SetDirection(1), 1);
  ASSERT_TRUE(rig.WaitReverseEnd(files[0]));
  rig.Hold(true);
  ASSERT_EQ(rig.videoQueue.LockedCount(), 0);
  rig.Forget();
  // The queue is empty, so forward reading starts one permille into the file.
  ASSERT_EQ(rig.reader.SetDirection(0), 0);
  rig.Hold(false);
  ASSERT_TRUE(rig.WaitVideo(20));
  // The 20 frames waited for; the reader may have read on into the next recording.
  auto video = rig.Video();
  video.resize(20);
  std::string bytes = ReadFile(files[0]);
  const auto seekByte = static_cast<int64_t>(1 / 1000.0 * static_cast<double>(bytes.size()));
  const auto listed = ListVideoPes(bytes);
  std::vector<size_t> keysAfterSeek;
  for (size_t i = 0; i < listed.size(); ++i)
    if (listed[i].key && listed[i].offset >= seekByte) keysAfterSeek.push_back(i);
  ASSERT_GE(keysAfterSeek.size(), 2u);
  EXPECT_EQ(video.front().type, kFrameKey);
  EXPECT_DOUBLE_EQ(video.front().pts, listed[keysAfterSeek[1]].pts) << "the first key frame met is passed over";
  // From there every frame of the file in order.
  ASSERT_LE(keysAfterSeek[1] + video.size(), listed.size());
  for (size_t i = 0; i < video.size(); ++i) EXPECT_EQ(video[i].filePos, listed[keysAfterSeek[1] + i].offset) << i;
}

TEST_F(ReaderTest, SeekResynchronisesAtAKeyFrameNearThePosition) {
  auto files = testsupport::SortedFiles(card_);
  ReaderRig rig;
  rig.Start(files[2]); // the last recording: the reader reads it and then waits
  ASSERT_TRUE(rig.WaitForwardEnd());
  rig.Forget();
  rig.reader.Seek(500);
  ASSERT_TRUE(rig.mainWindow.WaitFor(WM_TS_FILECHANGE));
  ASSERT_TRUE(rig.WaitVideo(10));
  auto video = rig.Video();
  std::string bytes = ReadFile(files[2]);
  const auto seekByte = static_cast<int64_t>(0.5 * static_cast<double>(bytes.size()));
  double firstKey = -1;
  for (const auto& pes : ListVideoPes(bytes))
    if (pes.key && pes.offset >= seekByte && firstKey < 0) firstKey = pes.pts;
  EXPECT_EQ(video.front().type, kFrameKey);
  EXPECT_DOUBLE_EQ(video.front().pts, firstKey);
  EXPECT_GE(video.front().permille, 500);
  // A seek to permille 0 is never acted on: the reader takes it, reads on to
  // the end and waits there without a restart.
  rig.reader.Seek(0);
  ASSERT_TRUE(rig.WaitForwardEnd());
  EXPECT_EQ(rig.mainWindow.Count(WM_TS_FILECHANGE), 1u);
}

// The sound queued before a seek never comes out after it: every audio frame
// taken once the seek's WM_TS_FILECHANGE is out lies beyond the seek position.
// A rising tone makes every frame's bytes its own.
TEST(Reader, SoundQueuedBeforeASeekIsDroppedByIt) {
  TempDir dir;
  const std::string file = dir / "tone_0001.ts";
  ASSERT_EQ(testsupport::Run("ffmpeg -v error -f lavfi -i testsrc=d=6:s=320x240:r=30 -f lavfi "
                             "-i \"aevalsrc=sin(2*PI*(300+200*t)*t):s=48000:d=6\" -c:v libx264 -g 30 -bf 0 "
                             "-pix_fmt yuv420p -c:a aac -ac 1 -pes_payload_size 0 " + file),
            0);
  const std::string bytes = ReadFile(file);
  std::map<uint64_t, int64_t> audioAt; // payload hash -> offset of the PES in the file
  for (const auto& pes : ListPes(bytes, 0x101)) audioAt.emplace(pes.hash, pes.offset);
  ASSERT_GT(audioAt.size(), 200u);

  ReaderRig rig;
  rig.Pace(20); // the reader stays ahead, its queues full of the opening seconds
  rig.Start(file);
  ASSERT_TRUE(rig.WaitAudio(5));
  rig.reader.Seek(800);
  ASSERT_TRUE(rig.mainWindow.WaitFor(WM_TS_FILECHANGE));
  ASSERT_TRUE(rig.WaitForwardEnd());
  const auto seekByte = static_cast<int64_t>(0.8 * static_cast<double>(bytes.size()));
  size_t after = 0;
  for (const auto& a : rig.Audio()) {
    if (a.fileChanges == 0) continue;
    ++after;
    const auto it = audioAt.find(a.hash);
    ASSERT_NE(it, audioAt.end()) << "frame " << a.seq << " is no audio frame of the file";
    // An audio PES begun a little before the key frame may be completed after it.
    EXPECT_GT(it->second, seekByte - 16 * 188) << "frame " << a.seq << " was queued before the seek";
  }
  EXPECT_GE(after, 20u) << "the sound after the seek's key frame";
}

// A seek while the frame rate is still being measured (within the first
// second read) does not measure the jump: the frames after it carry 30.
TEST_F(ReaderTest, ASeekWhileTheRateIsMeasuredKeepsTheRate) {
  auto files = testsupport::SortedFiles(card_);
  ReaderRig rig;
  rig.state.audio = 0; // no sound: the video queue fills with the opening second
  rig.Hold(true);
  rig.Start(files[0]);
  for (int i = 0; i < 500 && rig.videoQueue.LockedCount() < CTSChn::kVideoSlots; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(rig.videoQueue.LockedCount(), CTSChn::kVideoSlots);
  rig.reader.Seek(700);
  rig.Hold(false);
  ASSERT_TRUE(rig.mainWindow.WaitFor(WM_TS_FILECHANGE));
  ASSERT_TRUE(rig.WaitForwardEnd());
  const auto video = rig.Video();
  ASSERT_FALSE(video.empty());
  const uint32_t after = video.back().generation;
  int seen = 0;
  for (const auto& f : video) {
    if (f.generation != after) continue;
    ++seen;
    EXPECT_EQ(f.fps, 30) << "frame " << f.seq;
  }
  EXPECT_GE(seen, 5);
}

TEST_F(ReaderTest, PendingFileAndNeighbourRequestsSwitchRecordings) {
  auto files = testsupport::SortedFiles(card_);
  ReaderRig rig;
  rig.Pace(10); // slow enough that the reader does not read a whole recording before we look
  rig.Start(files[0]);
  ASSERT_TRUE(rig.WaitVideo(5));
  rig.reader.SetPendingFile(files[2]);
  ASSERT_TRUE(rig.mainWindow.WaitFor(WM_TS_FILECHANGE));
  EXPECT_EQ(rig.reader.GetCurFile(), files[2]);
  rig.reader.Seek(kSeekPrevFile);
  EXPECT_TRUE(Poll(30000, [&] { return rig.reader.GetCurFile() == files[1]; })) << rig.reader.GetCurFile();
}

TEST(Reader, FilesWithoutTelemetryOrFromOtherMuxersPlay) {
  TempDir dir;
  std::string card = MakeSampleCard(dir / "card", "--files 1 --seconds 2 --size 320x240 --no-telemetry");
  std::string plain = testsupport::SortedFiles(card)[0];
  std::vector<std::string> cases = {plain};
  for (const char* bf : {"0", "2"}) {
    std::string out = dir / (std::string("ffmpeg_bf") + bf + "_0001.ts");
    ASSERT_EQ(testsupport::Run("ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=30 -f lavfi "
                               "-i sine=frequency=1000:sample_rate=48000 -t 2 -c:v libx264 -preset ultrafast -bf " +
                               std::string(bf) + " -g 15 -c:a aac -ac 1 -f mpegts '" + out + "'"),
              0);
    cases.push_back(out);
  }
  // H.265: the camera's own and another muxer's (key frames are the random access pictures).
  cases.push_back(testsupport::SortedFiles(
      MakeSampleCard(dir / "h265", "--files 1 --seconds 2 --size 320x240 --no-telemetry --codec h265"))[0]);
  const std::string hevc = dir / "ffmpeg_h265_0001.ts";
  ASSERT_EQ(testsupport::Run("ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=30 -f lavfi "
                             "-i sine=frequency=1000:sample_rate=48000 -t 2 -c:v libx265 -preset ultrafast "
                             "-x265-params log-level=error:keyint=15 -c:a aac -ac 1 -f mpegts '" + hevc + "'"),
            0);
  cases.push_back(hevc);
  for (const auto& file : cases) {
    SCOPED_TRACE(file);
    auto want = ProbePackets(file, "v");
    ReaderRig rig;
    rig.Start(file);
    ASSERT_TRUE(rig.WaitVideo(want.size() - 1));
    ASSERT_TRUE(rig.WaitAudio(3)); // other muxers put several AAC frames in one PES
    ASSERT_TRUE(rig.WaitForwardEnd());
    ExpectSameFrames(rig.Video(), {want.begin(), want.end() - 1});
    EXPECT_EQ(rig.mainWindow.Count(WM_TS_TELEMETRY), 0u);
  }
}

TEST(Reader, GarbageBetweenPacketsIsPassedOver) {
  TempDir dir;
  std::string card = MakeSampleCard(dir / "card", "--files 1 --seconds 2 --size 320x240");
  std::string clean = testsupport::SortedFiles(card)[0];
  std::string bytes = ReadFile(clean);
  // Junk (with stray sync bytes) after every 50th packet.
  std::string dirty;
  for (size_t at = 0; at < bytes.size(); at += 188) {
    dirty.append(bytes, at, 188);
    if ((at / 188) % 50 == 49) dirty += std::string("\x47\x00\x47junk\x47", 8) + std::string(100, '\x47');
  }
  std::string path = dir / "dirty_0001.ts";
  WriteFile(path, dirty);
  auto want = ProbePackets(clean, "v");
  ReaderRig rig;
  rig.Start(path);
  // A packet followed by junk is not taken, so a few frames are lost; the rest arrive in order.
  size_t junks = bytes.size() / 188 / 50;
  ASSERT_TRUE(rig.WaitForwardEnd());
  auto video = rig.Video();
  EXPECT_GE(video.size(), want.size() - 1 - 2 * junks);
  for (size_t i = 1; i < video.size(); ++i) EXPECT_GT(video[i].pts, video[i - 1].pts);
}

TEST(Reader, RecordingOverFourGigabytesIsReadAtItsTrueOffsets) {
  TempDir dir;
  std::string card = MakeSampleCard(dir / "card", "--files 1 --seconds 2 --size 320x240");
  std::string bytes = ReadFile(testsupport::SortedFiles(card)[0]);
  // A sparse file of 4 GiB + 8 MiB: the recording's program tables at the
  // start, and the recording again where a seek to 999 permille lands.
  const int64_t size = (int64_t{1} << 32) + (8 << 20);
  const auto seekByte = static_cast<int64_t>(999 / 1000.0 * static_cast<double>(size));
  const int64_t at = seekByte - 1000;
  std::string path = dir / "big_0001.ts";
  int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, bytes.data(), 188 * 8, 0), 188 * 8);
  ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), at), static_cast<ssize_t>(bytes.size()));
  ASSERT_EQ(::ftruncate(fd, size), 0);
  ::close(fd);

  EXPECT_EQ(CFindFilePath::SpanSeconds(path), 1);
  ReaderRig rig;
  rig.Start(path);
  ASSERT_TRUE(Poll(30000, [&] { return rig.reader.StreamsKnown(); }));
  EXPECT_EQ(rig.reader.FileSize(), size);
  rig.reader.Seek(999);
  ASSERT_TRUE(rig.WaitVideo(20));
  for (const auto& f : rig.Video()) EXPECT_EQ(f.permille, 999);
  EXPECT_GT(rig.reader.CurrentPosition(), seekByte);
}

TEST(Reader, ARecordingThatVanishesOrShrinksEndsLikeAnUnreadableOne) {
  TempDir dir;
  std::string card = MakeSampleCard(dir / "card", "--files 2 --seconds 3 --size 320x240");
  auto files = testsupport::SortedFiles(card);
  auto second = ProbePackets(files[1], "v");
  for (bool truncate : {false, true}) {
    SCOPED_TRACE(truncate ? "truncated" : "deleted");
    std::string first = dir / "clip_0001.ts", next = dir / "clip_0002.ts";
    std::filesystem::copy_file(files[0], first, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(files[1], next, std::filesystem::copy_options::overwrite_existing);
    ReaderRig rig;
    rig.Start(first);
    ASSERT_TRUE(rig.WaitVideo(3));
    rig.Hold(true); // the reader blocks on a full queue mid-file
    ASSERT_TRUE(Poll(30000, [&] { return rig.videoQueue.IsFullLocked() || rig.audioQueue.IsFullLocked(); }));
    if (truncate) ASSERT_EQ(::truncate(first.c_str(), 188 * 100), 0);
    else std::filesystem::remove(first);
    rig.Hold(false);
    // The reader goes on into the next recording and plays it to its end.
    EXPECT_TRUE(Poll(30000, [&] { return rig.reader.GetCurFile() == next; })) << rig.reader.GetCurFile();
    ASSERT_TRUE(rig.WaitForwardEnd());
    EXPECT_NEAR(rig.Video().back().pts, second[second.size() - 2].dts, 1e-4);
  }
}
