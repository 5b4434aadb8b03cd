// Which bytes belong to a stretch, and when a pair of marks makes one.
#include <gtest/gtest.h>

#include "export/segment_plan.h"

namespace {

TEST(SegmentPlan, TakesTheReadsThatEndPastMarkInAndBeforeMarkOut) {
  constexpr int64_t kGiB = int64_t{1} << 30;
  struct Case {
    const char* what;
    int64_t size;
    bool isStart;
    int64_t start;
    bool isEnd;
    int64_t end;
    int64_t from, to;
  } cases[] = {
      {"both marks in one file", 1000000, true, 100000, true, 500000, 98304, 499712},
      {"Mark In on a read boundary", 1000000, true, 98304, true, 500000, 98304, 499712},
      {"Mark Out on a read boundary", 1000000, true, 0, true, 499712, 0, 491520},
      {"start file: from its read to the end", 1000000, true, 100000, false, 0, 98304, 1000000},
      {"Mark In at the end of its file", 1000000, true, 1000000, false, 0, 1000000, 1000000},
      {"end file: up to the last read before Mark Out", 1000000, false, 0, true, 50000, 0, 49152},
      {"Mark Out at the file's end leaves out the read that reaches it", 1000000, false, 0, true, 1000000, 0, 999424},
      {"Mark Out past a file that shrank", 1000000, false, 0, true, 2000000, 0, 1000000},
      {"a file in between, whole", 1000000, false, 0, false, 0, 0, 1000000},
      {"marks inside one read", 1000000, true, 100000, true, 100100, 98304, 98304},
      {"offsets past 4 GiB", 6 * kGiB, true, 4 * kGiB + 100000, true, 5 * kGiB + 1, 4 * kGiB + 98304, 5 * kGiB},
  };
  for (const auto& c : cases) {
    int64_t from = -1, to = -1;
    SegmentPlan::BlockRange(c.size, c.isStart, c.start, c.isEnd, c.end, &from, &to);
    EXPECT_EQ(from, c.from) << c.what;
    EXPECT_EQ(to, c.to) << c.what;
  }
}

TEST(SegmentPlan, MarksMakeAStretchOnlyInOrder) {
  const std::string a = "/card/20240601_080000_0012.ts", b = "/card/20240601_080100_0013.ts";
  const std::string plain = "/card/clip.ts";
  struct Case {
    const char* what;
    MarkPoint in, out;
    bool ok;
  } cases[] = {
      {"one file, in before out", {12, a, 100}, {12, a, 200}, true},
      {"one file, in after out", {12, a, 200}, {12, a, 100}, false},
      {"one file, same position", {12, a, 100}, {12, a, 100}, false},
      {"next file", {12, a, 900}, {13, b, 10}, true},
      {"Mark Out in an earlier file", {13, b, 10}, {12, a, 900}, false},
      {"Mark Out not set", {12, a, 100}, {-1, "", -1}, false},
      {"Mark In again after Mark Out", {13, b, 10}, {-1, b, -1}, false},
      {"Mark In not set", {-1, "", -1}, {12, a, 100}, false},
      {"from a file without a number to another", {-1, plain, 0}, {12, a, 100}, false},
      {"within a file without a number", {-1, plain, 0}, {-1, plain, 100}, true},
  };
  for (const auto& c : cases) EXPECT_EQ(MarksInOrder(c.in, c.out), c.ok) << c.what;
}

TEST(SegmentPlan, AviForANameEndingInAviInAnyCase) {
  EXPECT_EQ(ExportModeFor("/out/clip.avi"), ExportMode::Avi);
  EXPECT_EQ(ExportModeFor("/out/clip.AVI"), ExportMode::Avi);
  EXPECT_EQ(ExportModeFor("/out/clip.aVi"), ExportMode::Avi);
  EXPECT_EQ(ExportModeFor("/out/clip.nts"), ExportMode::StreamCopy);
  EXPECT_EQ(ExportModeFor("/out/clip.avi.ts"), ExportMode::StreamCopy);
  EXPECT_EQ(ExportModeFor("/out/clipavi"), ExportMode::StreamCopy);
  EXPECT_EQ(ExportModeFor("avi"), ExportMode::StreamCopy);
}

} // namespace
