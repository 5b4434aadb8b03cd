#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "tests/support/test_support.h"
#include "tools/sample_card/route.h"

using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

struct Point {
  double lat, lon;
};

std::vector<Point> TrackPoints(const std::string& gpx) {
  std::vector<Point> points;
  std::regex trkpt(R"re(<trkpt lat="([-0-9.]+)" lon="([-0-9.]+)")re");
  for (std::sregex_iterator it(gpx.begin(), gpx.end(), trkpt), end; it != end; ++it)
    points.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
  return points;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

} // namespace

TEST(CliTelemetry, GpxTrackFollowsTheRecordedRoute) {
  TempDir dir;
  // Two 5-second recordings; the first two seconds have no fix.
  std::string card = testsupport::MakeSampleCard(dir / "card", "--files 2 --seconds 5 --size 128x96 --no-fix-seconds 2");
  std::string gpx = dir / "track.gpx", err;
  ASSERT_EQ(testsupport::Run(testsupport::BinDir() + "velmora-cli telemetry --gpx -o " + gpx + " " + card + " 2>&1", &err), 0) << err;
  ASSERT_EQ(testsupport::Run("xmllint --noout " + gpx + " 2>&1", &err), 0) << err;
  std::string text = ReadFile(gpx);
  auto points = TrackPoints(text);
  ASSERT_EQ(points.size(), 8u); // texts at seconds 0..9, fixes from second 2
  EXPECT_EQ(Count(text, "<trkseg>"), 2u);
  for (auto [point, second] : {std::pair{points.front(), 2.0}, std::pair{points.back(), 9.0}}) {
    samplegen::RoutePoint want = samplegen::RouteAt(1, second);
    EXPECT_NEAR(point.lat, want.latitude, 2e-6) << second;
    EXPECT_NEAR(point.lon, want.longitude, 2e-6) << second;
  }
  EXPECT_NE(text.find("<time>2024-06-01T08:00:02Z</time>"), std::string::npos);

  std::string csv;
  ASSERT_EQ(testsupport::Run(testsupport::BinDir() + "velmora-cli telemetry --csv " + card, &csv), 0);
  EXPECT_EQ(Count(csv, "\n"), 11u); // header and one row per text, fix or not
}

TEST(CliTelemetry, RecordingsWithoutFixesOrTelemetryStillGiveWellFormedGpx) {
  TempDir dir;
  std::string card = testsupport::MakeSampleCard(dir / "card", "--files 1 --seconds 3 --size 128x96 --no-fix-seconds 3");
  std::string bare = testsupport::MakeSampleCard(dir / "bare", "--files 1 --seconds 2 --size 128x96 --no-telemetry");
  testsupport::WriteFile(card + "/junk_0002.ts", std::string(5000, 'x'));
  std::string out, err = dir / "err.txt";
  EXPECT_EQ(testsupport::Run(testsupport::BinDir() + "velmora-cli telemetry " + card + " " + bare + " " + (dir / "missing.ts") +
                    " 2>" + err + " > " + (dir / "t.gpx")),
            1);
  EXPECT_EQ(testsupport::Run("xmllint --noout " + (dir / "t.gpx")), 0);
  EXPECT_TRUE(TrackPoints(ReadFile(dir / "t.gpx")).empty());
  std::string messages = ReadFile(err);
  EXPECT_NE(messages.find("junk_0002.ts: not a recording"), std::string::npos) << messages;
  EXPECT_NE(messages.find("no telemetry stream"), std::string::npos) << messages;
  EXPECT_NE(messages.find("missing.ts"), std::string::npos) << messages;
  EXPECT_EQ(testsupport::Run(testsupport::BinDir() + "velmora-cli telemetry --kml " + card + " 2>/dev/null"), 2);
}
