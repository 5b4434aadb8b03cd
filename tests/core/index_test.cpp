#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "core/find_file_path.h"
#include "core/messages.h"
#include "tests/support/test_support.h"

using testsupport::MakeSampleCard;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(RecordingIndex, FileNumberReadsTheDigitsBetweenTheLastUnderscoreAndDot) {
  struct Case {
    const char* path;
    int number;
  } cases[] = {
      {"/card/DCIM/100MEDIA/20240601_080000_0123.ts", 123},
      {"/card/DCIM/100MEDIA/20240601_080000_0000.TS", 0},
      {"/card/x_12a.ts", -1},
      {"/card/x_.ts", -1},
      {"/card/clip.ts", -1},
      {"/card_dir/clip.ts", -1}, // the underscore is in a folder name
      {"/card/x_5", -1},
      {"/card/a_7.nts", 7},
      {"/card/x_99999999999.ts", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(CFindFilePath::FileNumber(c.path), c.number) << c.path;
}

TEST(RecordingIndex, NeighboursAreFoundByExactNumber) {
  TempDir dir;
  for (const char* name : {"a_0122.ts", "a_0123.ts", "b_1124.ts", "a_0124.ts", "c_0125.nts", "a_2122.ts"})
    WriteFile(dir / name, "");
  EXPECT_EQ(CFindFilePath::NextPath(dir / "a_0123.ts"), dir / "a_0124.ts");
  EXPECT_EQ(CFindFilePath::PrevPath(dir / "a_0123.ts"), dir / "a_0122.ts");
  EXPECT_EQ(CFindFilePath::NextPath(dir / "a_0124.ts"), "") << "no .ts file has number 125";
  EXPECT_EQ(CFindFilePath::PrevPath(dir / "a_0122.ts"), "") << "2122 is not 121";
  EXPECT_EQ(CFindFilePath::NextPath(dir / "clip.ts"), "");
}

TEST(RecordingIndex, ScanListsNumbersTimesAndWriteProtection) {
  TempDir dir;
  std::string card = MakeSampleCard(dir / "card", "--files 3 --seconds 4 --size 320x240 --read-only 2 --first-number 9");
  WriteFile(card + "/notes_0001.txt", "");
  WriteFile(card + "/unnumbered.ts", "");
  testsupport::MessageRecorder panel;
  CFindFilePath list;
  ASSERT_TRUE(list.ScanAsync(card + "/x_0009.ts", &panel));
  ASSERT_TRUE(panel.WaitFor(WM_TS_FILECHANGE));
  auto m = panel.Messages();
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0].number, WM_TS_TELEMETRY);
  auto entries = list.Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].number, -1); // sorted first
  EXPECT_EQ(entries[0].startTime, entries[0].endTime); // no time stamp: duration 0
  for (size_t i = 1; i < entries.size(); ++i) {
    const auto& e = entries[i];
    EXPECT_EQ(e.number, static_cast<int>(8 + i));
    struct stat st {};
    ASSERT_EQ(::stat(e.path.c_str(), &st), 0);
    EXPECT_EQ(e.endTime, st.st_mtim.tv_sec);
    // The last frame of a 4-second recording is stamped 3.97 s: three whole seconds.
    EXPECT_EQ(e.endTime - e.startTime, 3);
    EXPECT_EQ(CFindFilePath::SpanSeconds(e.path), 3);
    EXPECT_EQ(e.readOnly, i == 2 ? 1 : 0);
  }
  EXPECT_EQ(entries[2].startTime, entries[1].endTime + 1);

  // A path without a number lists nothing and tells nobody.
  testsupport::MessageRecorder quiet;
  CFindFilePath none;
  none.ScanAsync(card + "/unnumbered.ts", &quiet);
  none.StopScan();
  EXPECT_TRUE(none.Entries().empty());
  EXPECT_TRUE(quiet.Messages().empty());
}

TEST(RecordingIndex, DurationIsTheSpanOfTheVideoStreamsOwnStamps) {
  TempDir dir;
  WriteFile(dir / "t_0001.ts", std::string(8000, '\x47'));
  // Another muxer's files: video on PID 0x200 with stamps from 1.4 s (10 s of
  // pictures end at 11.37 s), and the same with the 33-bit clock wrapping in
  // the middle (first stamp 95439.4 s, last 5.67 s after the wrap).
  const std::string make = "ffmpeg -v error -f lavfi -i testsrc=d=10:s=160x120:r=30 -c:v libx264 -bf 0 "
                           "-pix_fmt yuv420p -streamid 0:0x200 ";
  ASSERT_EQ(testsupport::Run(make + (dir / "pid_0002.ts")), 0);
  ASSERT_EQ(testsupport::Run(make + "-output_ts_offset 95438 " + (dir / "wrap_0003.ts")), 0);
  struct Case {
    std::string path;
    int seconds;
  } cases[] = {
      {dir / "t_0001.ts", 0},       // no packet with a time stamp
      {dir / "missing_0004.ts", 0}, // no file
      {dir / "pid_0002.ts", 11 - 1},
      {dir / "wrap_0003.ts", 5 + 95443 - 95439},
  };
  for (const auto& c : cases) EXPECT_EQ(CFindFilePath::SpanSeconds(c.path), c.seconds) << c.path;
}
