// velmora-cli telemetry and list, run as built.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST(CliTelemetry, AnOutputIsReplacedOnlyByATrackWithPoints) {
  TempDir dir;
  std::string card = testsupport::MakeSampleCard(dir / "card", "--files 1 --seconds 3 --size 128x96");
  const std::string keep = dir / "keep.gpx";
  testsupport::WriteFile(keep, "the user's own track");
  const std::string cli = testsupport::BinDir() + "velmora-cli telemetry ";
  struct Case {
    const char* what;
    std::string args;
    int status;
    std::string message;
  } cases[] = {
      {"every input fails, asked to replace", "-y -o " + keep + " " + (dir / "missing") + " " + (dir / "card/junk.dat"), 1,
       "no GPS position found; " + keep + " was not written"},
      {"an existing output", "-o " + keep + " " + card, 1, "keep.gpx exists; give --overwrite (-y)"},
      {"a recording as output", "-y -o " + card + "/20240601_080000_0001.ts " + card, 2, "a track is not a recording"},
      {"a missing option value", card + " -o", 2, "-o needs a file name"},
      {"an unknown option", "--kml " + card, 2, "unknown option '--kml'"},
  };
  testsupport::WriteFile(dir / "card/junk.dat", std::string(3000, 'j'));
  for (const auto& c : cases) {
    std::string err;
    EXPECT_EQ(testsupport::Run(cli + c.args + " 2>&1 >/dev/null", &err), c.status) << c.what << ": " << err;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.what << ": " << err;
    EXPECT_EQ(ReadFile(keep), "the user's own track") << c.what;
    EXPECT_EQ(testsupport::SortedFiles(dir.path()).size(), 2u) << c.what; // card and keep.gpx: nothing left aside
  }
  std::string err;
  ASSERT_EQ(testsupport::Run(cli + "--overwrite -o " + keep + " " + card + " 2>&1", &err), 0) << err;
  EXPECT_EQ(TrackPoints(ReadFile(keep)).size(), 3u);
}

TEST(CliList, FindsACardsRecordingsAndSkipsWhatIsNoRecording) {
  TempDir dir;
  const std::string media = testsupport::MakeSampleCard(dir / "card", "--files 2 --seconds 2 --size 128x96");
  const std::string cli = testsupport::BinDir() + "velmora-cli list ";
  std::string out;
  // From the card's root, from its DCIM folder and from the media folder itself.
  for (const std::string& folder : {dir / "card", dir / "card/DCIM", media}) {
    ASSERT_EQ(testsupport::Run(cli + folder, &out), 0) << folder;
    EXPECT_EQ(Count(out, "\n"), 3u) << out;
    EXPECT_NE(out.find(media + "/20240601_080002_0002.ts"), std::string::npos) << out;
  }
  // A segment saved by the player is listed beside the recordings; junk is not.
  ASSERT_EQ(testsupport::Run("cp " + media + "/20240601_080000_0001.ts " + media + "/saved.nts"), 0);
  testsupport::WriteFile(media + "/zero_0007.ts", "");
  testsupport::WriteFile(media + "/junk_0008.ts", std::string(5000, 'x'));
  std::string err = dir / "err.txt";
  ASSERT_EQ(testsupport::Run(cli + media + " 2>" + err, &out), 0);
  EXPECT_EQ(Count(out, "\n"), 4u) << out;
  EXPECT_NE(out.find("saved.nts"), std::string::npos) << out;
  EXPECT_EQ(out.find("_0007"), std::string::npos) << out;
  const std::string skipped = ReadFile(err);
  EXPECT_NE(skipped.find("skipped " + media + "/zero_0007.ts: empty file"), std::string::npos) << skipped;
  EXPECT_NE(skipped.find("skipped " + media + "/junk_0008.ts: not a transport stream"), std::string::npos) << skipped;

  // A folder of junk and an empty folder hold no recordings.
  ::mkdir((dir / "junk").c_str(), 0755);
  testsupport::WriteFile(dir / "junk/a_0001.ts", "");
  ::mkdir((dir / "nothing").c_str(), 0755);
  for (const std::string& folder : {dir / "junk", dir / "nothing"}) {
    EXPECT_EQ(testsupport::Run(cli + folder + " 2>" + err, &out), 1) << folder;
    EXPECT_EQ(out, "");
    EXPECT_NE(ReadFile(err).find("no recordings found in " + folder), std::string::npos) << ReadFile(err);
  }
}

TEST(CliList, DurationsComeFromTheVideoStreamsOwnStamps) {
  // Files of another muxer: video on PID 0x100, time stamps from 1.4 s, and
  // stamps that wrap past 2^33 in the middle of the second file.
  TempDir dir;
  const std::string make = "ffmpeg -v error -f lavfi -i testsrc=d=10:s=320x240:r=30 -c:v libx264 -bf 0 -pix_fmt yuv420p ";
  ASSERT_EQ(testsupport::Run(make + (dir / "a_0001.ts")), 0);
  ASSERT_EQ(testsupport::Run(make + "-output_ts_offset 95438 " + (dir / "b_0002.ts")), 0);
  std::string out;
  ASSERT_EQ(testsupport::Run(testsupport::BinDir() + "velmora-cli list " + dir.path(), &out), 0);
  std::regex row(R"re(\n +([12]) .* 0:00:([0-9]{2}) )re");
  int rows = 0;
  for (std::sregex_iterator it(out.begin(), out.end(), row), end; it != end; ++it, ++rows) {
    const int seconds = std::stoi((*it)[2]);
    EXPECT_GE(seconds, 8) << out;
    EXPECT_LE(seconds, 10) << out;
  }
  EXPECT_EQ(rows, 2) << out;
}
