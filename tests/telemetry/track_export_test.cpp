#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "telemetry/track_export.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::TempDir;

// A fix as the camera writes it: G-sensor line, then the sentence.
std::string Fix(const std::string& time, const std::string& lat, const std::string& lon, const std::string& knots,
                const std::string& course, const std::string& date = "230394") {
  return "X:0.012 Y:-0.034 Z:1.003\r\n$GPRMC," + time + ",A," + lat + "," + lon + "," + knots + "," + course + "," +
         date + ",,,A*00\r\n";
}
std::string NoFix(const std::string& time) {
  return "X:0.5 Z:-1\r\n$GPRMC," + time + ",V,,,,,,,230394,,,N*00\r\n";
}

std::string WriteGpx(const std::vector<std::pair<std::string, std::vector<std::string>>>& recordings) {
  std::ostringstream out;
  TrackWriter writer(out, TrackFormat::Gpx);
  for (const auto& [path, texts] : recordings) {
    writer.BeginRecording(path);
    for (const std::string& text : texts) writer.AddText(text);
    writer.EndRecording();
  }
  EXPECT_TRUE(writer.Finish());
  return out.str();
}

// Runs xmllint on the document: whether it is well-formed, and (when given)
// the result of an XPath expression.
bool WellFormed(const std::string& gpx, const std::string& xpath = "", std::string* result = nullptr) {
  TempDir dir;
  testsupport::WriteFile(dir / "t.gpx", gpx);
  if (testsupport::Run("xmllint --noout '" + (dir / "t.gpx") + "' 2>&1") != 0) return false;
  if (!xpath.empty()) {
    testsupport::Run("xmllint --xpath \"" + xpath + "\" '" + (dir / "t.gpx") + "' 2>/dev/null", result);
    while (result && !result->empty() && result->back() == '\n') result->pop_back();
  }
  return true;
}

std::string XPath(const std::string& gpx, const std::string& xpath) {
  std::string result;
  EXPECT_TRUE(WellFormed(gpx, xpath, &result));
  return result;
}

TEST(TrackWriter, GpxTrackWithOneSegmentPerRecordingWithFixes) {
  const std::string gpx = WriteGpx({
      {"/card/DCIM/100MEDIA/FILE0001_1.ts",
       {Fix("123519.000", "4807.0380", "N,01131.0000", "E,022.4", "084.4"), NoFix("123520.000"),
        Fix("123521.500", "4807.0400", "N,01131.0100", "E,010.0", "359.9")}},
      {"/card/DCIM/100MEDIA/FILE0002_2.ts", {NoFix("123600.000"), "X:1 Y:2 Z:3"}},
      {"/card/DCIM/100MEDIA/FILE0003_3.ts", {Fix("235959", "3351.1234", "S,15112.3456", "W,0", "0", "311299")}},
  });
  ASSERT_TRUE(WellFormed(gpx)) << gpx;
  auto count = [&](const std::string& name) { return XPath(gpx, "count(//*[local-name()='" + name + "'])"); };
  EXPECT_EQ(count("trk"), "1");
  EXPECT_EQ(count("trkseg"), "2");
  EXPECT_EQ(count("trkpt"), "3");
  EXPECT_EQ(XPath(gpx, "string(//*[local-name()='trk']/*[local-name()='name'])"), "FILE0001_1.ts");

  const std::string first = "(//*[local-name()='trkpt'])[1]";
  EXPECT_EQ(XPath(gpx, "string(" + first + "/@lat)"), "48.1173000");
  EXPECT_EQ(XPath(gpx, "string(" + first + "/@lon)"), "11.5166667");
  EXPECT_EQ(XPath(gpx, "string(" + first + "/*[local-name()='time'])"), "1994-03-23T12:35:19Z");
  EXPECT_EQ(XPath(gpx, "string(" + first + "//*[local-name()='speed'])"), "11.524"); // 41.4848 km/h in m/s
  EXPECT_EQ(XPath(gpx, "string(" + first + "//*[local-name()='course'])"), "84.40");
  EXPECT_EQ(XPath(gpx, "string((//*[local-name()='trkpt'])[2]/*[local-name()='time'])"),
            "1994-03-23T12:35:21.5Z");

  const std::string last = "(//*[local-name()='trkpt'])[3]";
  EXPECT_EQ(XPath(gpx, "string(" + last + "/@lat)"), "-33.8520567");
  EXPECT_EQ(XPath(gpx, "string(" + last + "/@lon)"), "-151.2057600");
  EXPECT_EQ(XPath(gpx, "string(" + last + "/*[local-name()='time'])"), "1999-12-31T23:59:59Z");

  // gpsbabel reads the same points and times.
  TempDir dir;
  testsupport::WriteFile(dir / "t.gpx", gpx);
  std::string csv;
  if (testsupport::Run("command -v gpsbabel >/dev/null") != 0) GTEST_SKIP() << "gpsbabel is not installed";
  ASSERT_EQ(testsupport::Run("gpsbabel -t -i gpx -f '" + (dir / "t.gpx") + "' -o unicsv -F - 2>&1", &csv), 0) << csv;
  EXPECT_NE(csv.find("48.117300,11.516667,1994/03/23,12:35:19"), std::string::npos) << csv;
  EXPECT_NE(csv.find("-33.852057,-151.205760,1999/12/31,23:59:59"), std::string::npos) << csv;
}

TEST(TrackWriter, GpxStaysWellFormedWithoutFixesAndWithHostileNames) {
  // No recording at all, and one recording without a fix.
  for (const std::string& gpx :
       {WriteGpx({}), WriteGpx({{"/card/only.ts", {NoFix("120000"), "garbage \x01\xff<&>", ""}}})}) {
    ASSERT_TRUE(WellFormed(gpx)) << gpx;
    EXPECT_EQ(XPath(gpx, "count(//*[local-name()='trkpt'])"), "0");
    EXPECT_EQ(XPath(gpx, "count(//*[local-name()='trk'])"), "1");
  }
  // Markup characters, control characters and broken UTF-8 in a file name.
  const std::string name = "a&b<c>\"d'\x01\x7f\xff\xc3\x28\xed\xa0\x80\xe2\x82\xac]]>.ts";
  const std::string gpx = WriteGpx({{"/card/" + name, {Fix("123519", "4807.0380", "N,01131.0000", "E,1", "2")}}});
  ASSERT_TRUE(WellFormed(gpx)) << gpx;
  EXPECT_EQ(XPath(gpx, "string(//*[local-name()='name'])"),
            "a&b<c>\"d'\xEF\xBF\xBD\x7f\xEF\xBF\xBD\xEF\xBF\xBD(\xEF\xBF\xBD\xe2\x82\xac]]>.ts");
}

TEST(TrackWriter, CsvRows) {
  std::ostringstream out, diagnostics;
  TrackWriter writer(out, TrackFormat::Csv, &diagnostics);
  writer.BeginRecording("/card/a.ts");
  writer.AddText(Fix("123519.000", "4807.0380", "N,01131.0000", "E,022.4", "084.4"));
  writer.AddText(NoFix("123520"));                                        // G-sensor only
  writer.AddText("$GPRMC,123521,A,4807.0380,N,01131.0000,E,,,,,,A*00"); // fix, no date, no speed
  writer.AddText("nothing to say");                                       // no row
  writer.AddText("$GPRMC,1,A,9807.0380,N,01131.0000,E,1,2,230394,,,A*00 Y:4"); // latitude out of range
  writer.EndRecording();
  writer.SkipFile("/card/b.ts", "not a transport stream");
  EXPECT_TRUE(writer.Finish());
  EXPECT_EQ(out.str(),
            "time,latitude,longitude,speed_kmh,course,x,y,z\n"
            "1994-03-23T12:35:19Z,48.1173000,11.5166667,41.485,84.4,0.012,-0.034,1.003\n"
            "1994-03-23T12:35:20Z,,,,,0.5,,-1\n"
            ",48.1173000,11.5166667,0.000,0,,,\n"
            ",,,,,,4,\n");
  EXPECT_EQ(writer.Rows(), 4u);
  EXPECT_EQ(writer.Points(), 2u);
  ASSERT_EQ(writer.Skipped().size(), 1u);
  EXPECT_EQ(writer.Skipped()[0].reason, "not a transport stream");
  EXPECT_EQ(diagnostics.str(), "skipped /card/b.ts: not a transport stream\n");
}

TEST(SentenceTime, TimeAndDateFields) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"$GPRMC,123519.000,A,,,,,,,230394,,,A*00", "1994-03-23T12:35:19Z"},
      {"$GPRMC,000000.250,V,,,,,,,010100*00", "2000-01-01T00:00:00.25Z"},
      {"$GPRMC,120000,V,,,,,,,290200*00", "2000-02-29T12:00:00Z"},
      {"$GPRMC,120000,V,,,,,,,290201*00", std::nullopt}, // no 29 February in 2001
      {"$GPRMC,120000,V,,,,,,,310494*00", std::nullopt}, // no 31 April
      {"$GPRMC,240000,V,,,,,,,230394*00", std::nullopt},
      {"$GPRMC,12351,V,,,,,,,230394*00", std::nullopt},
      {"$GPRMC,123519.x,V,,,,,,,230394*00", std::nullopt},
      {"$GPRMC,123519,V,,,,,,,23039*00", std::nullopt},
      {"$GPRMC,123519,V,,,,,*00", std::nullopt}, // no date field
      {"123519,230394", std::nullopt},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(SentenceTime(text), want) << text;
}

} // namespace
