#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "telemetry/gps_offset.h"
#include "telemetry/telemetry.h"
#include "tests/support/test_support.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TELEMETRY_TEST_LSAN 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define TELEMETRY_TEST_LSAN 1
#endif
#ifdef TELEMETRY_TEST_LSAN
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// glibc keeps (and never frees) the LOCPATH list it builds while loading a
// locale from there; that allocation is not ours to report.
char* SetLocaleUnchecked(int category, const char* name) {
#ifdef TELEMETRY_TEST_LSAN
  __lsan_disable();
#endif
  char* result = std::setlocale(category, name);
#ifdef TELEMETRY_TEST_LSAN
  __lsan_enable();
#endif
  return result;
}

const std::string kSentence =
    "$GPRMC,123519.000,A,4807.0380,N,01131.0000,E,022.4,084.4,230394,003.1,W,A*6A";

// kSentence with one piece replaced.
std::string With(const std::string& from, const std::string& to) {
  std::string s = kSentence;
  size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return s.replace(at, from.size(), to);
}

constexpr double kUntouched = -999;

struct Row {
  const char* name;
  std::string text;
  int result;
  // nullopt: the slot must keep its previous value.
  std::optional<double> latitude, longitude, speed, course;
};

TEST(ParseTelemetry, SentenceTable) {
  const std::optional<double> keep;
  const std::vector<Row> rows = {
      {"full fix", kSentence, 1, 48.1173, 11.516667, 41.4848, 84.4},
      {"surrounding text", "X:0.1 Y:0.2 Z:0.3\r\n" + kSentence + "\r\n", 1, 48.1173, 11.516667, 41.4848, 84.4},
      {"south and west", With("4807.0380,N,01131.0000,E", "3351.1234,S,15112.3456,W"), 1, -(33 + 51.1234 / 60),
       -(151 + 12.3456 / 60), 41.4848, 84.4},
      {"wrong checksum accepted", With("*6A", "*00"), 1, 48.1173, 11.516667, 41.4848, 84.4},
      {"empty speed is 0", With(",022.4,", ",,"), 1, 48.1173, 11.516667, 0.0, 84.4},
      {"10 knots", With(",022.4,", ",10,"), 1, 48.1173, 11.516667, 18.52, 84.4},
      // Rejected before any field: nothing stored.
      {"status V", With(",A,4807", ",V,4807"), 0, keep, keep, keep, keep},
      {"mode N", With("A*6A", "N*6A"), 0, keep, keep, keep, keep},
      {"no sentence", "X:1 Y:2 Z:3", 0, keep, keep, keep, keep},
      {"no star", With("*6A", ""), 0, keep, keep, keep, keep},
      {"latitude dot misplaced", With("4807.0380", "480.70380"), 0, keep, keep, keep, keep},
      // 1 to 7 decimals of minutes, digits only.
      {"latitude with three decimals", With("4807.0380", "4807.038"), 1, 48.1173, 11.516667, 41.4848, 84.4},
      {"longitude with five decimals", With("01131.0000", "01131.00000"), 1, 48.1173, 11.516667, 41.4848, 84.4},
      {"one decimal each", With("4807.0380,N,01131.0000", "4807.0,N,01131.5"), 1, 48 + 7.0 / 60, 11 + 31.5 / 60,
       41.4848, 84.4},
      {"seven decimals", With("4807.0380,N,01131.0000", "4807.0380001,N,01131.0000001"), 1, 48 + 7.0380001 / 60,
       11 + 31.0000001 / 60, 41.4848, 84.4},
      {"eight decimals", With("4807.0380", "4807.03800001"), 0, keep, keep, keep, keep},
      {"no decimals", With("4807.0380", "4807."), 0, keep, keep, keep, keep},
      {"no dot", With("4807.0380", "48070380"), 0, keep, keep, keep, keep},
      {"damaged longitude digit", With("01131.0000", "12#31.7340"), 0, keep, keep, keep, keep},
      {"sign in latitude", With("4807.0380", "+404.6620"), 0, keep, keep, keep, keep},
      {"blank in minutes", With("4807.0380", "48 7.0380"), 0, keep, keep, keep, keep},
      {"second dot", With("01131.0000", "01131.00.0"), 0, keep, keep, keep, keep},
      // Rejected at a later field: nothing stored either, not even the latitude.
      {"bad north/south", With(",N,", ",Q,"), 0, keep, keep, keep, keep},
      {"bad east/west", With(",E,", ",Q,"), 0, keep, keep, keep, keep},
      // Cut short: no status or position means no fix.
      {"ends before status", "$GPRMC,123519*6A", 0, keep, keep, keep, keep},
      {"ends inside longitude", "$GPRMC,123519,A,4807.0380,N,0113*6A", 0, keep, keep, keep, keep},
      {"ends after position", "$GPRMC,123519,A,4807.0380,N,01131.0000,E,022.4*6A", 1, 48.1173, 11.516667, keep,
       keep},
      {"zero byte ends the text", With(",E,", std::string(",E\0,", 4)), 0, keep, keep, keep, keep},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    double lat = kUntouched, lon = kUntouched, speed = kUntouched, course = kUntouched;
    EXPECT_EQ(ParseTelemetry(row.text, &lat, &lon, &speed, &course), row.result);
    auto check = [](const char* what, double got, const std::optional<double>& want) {
      if (want) {
        EXPECT_NEAR(got, *want, 5e-7) << what;
      } else {
        EXPECT_EQ(got, kUntouched) << what;
      }
    };
    check("latitude", lat, row.latitude);
    check("longitude", lon, row.longitude);
    check("speed", speed, row.speed);
    check("course", course, row.course);
    // Absent slots are not written, but their fields are still checked.
    EXPECT_EQ(ParseTelemetry(row.text, nullptr, nullptr, nullptr, nullptr), row.result);
  }
}

// Receivers write 3 to 7 decimals of minutes: each form reads as gpsbabel
// reads the same sentence.
TEST(ParseTelemetry, DecimalsOfMinutesReadAsGpsbabelReadsThem) {
  const std::vector<std::string> bodies = {
      "GPRMC,123519.000,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W,A",
      "GPRMC,123520.000,A,4807.03812,N,01131.00047,E,022.4,084.4,230394,003.1,W,A",
      "GPRMC,123521.000,A,3351.123456,S,15112.345678,W,022.4,084.4,230394,003.1,W,A",
      "GPRMC,123522.000,A,0051.1234567,S,00012.3456789,W,022.4,084.4,230394,003.1,W,A",
  };
  testsupport::TempDir dir;
  std::string nmea;
  for (const std::string& body : bodies) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    nmea += "$" + body + tail;
  }
  testsupport::WriteFile(dir / "fixes.nmea", nmea);
  std::string gpx;
  ASSERT_EQ(testsupport::Run("gpsbabel -i nmea -f '" + (dir / "fixes.nmea") + "' -o gpx -F - 2>&1", &gpx), 0) << gpx;

  // The track points in order: lat="..." lon="...".
  std::vector<std::pair<double, double>> points;
  for (size_t at = gpx.find("<trkpt "); at != std::string::npos; at = gpx.find("<trkpt ", at + 1)) {
    const size_t lat = gpx.find("lat=\"", at), lon = gpx.find("lon=\"", at);
    ASSERT_NE(lat, std::string::npos);
    ASSERT_NE(lon, std::string::npos);
    points.emplace_back(std::strtod(gpx.c_str() + lat + 5, nullptr), std::strtod(gpx.c_str() + lon + 5, nullptr));
  }
  ASSERT_EQ(points.size(), bodies.size()) << gpx;
  for (size_t i = 0; i < bodies.size(); ++i) {
    SCOPED_TRACE(bodies[i]);
    double lat = 0, lon = 0;
    ASSERT_EQ(ParseGpsFix("$" + bodies[i] + "*00", &lat, &lon, nullptr, nullptr), 1);
    // gpsbabel writes nine decimals.
    EXPECT_NEAR(lat, points[i].first, 6e-10);
    EXPECT_NEAR(lon, points[i].second, 6e-10);
  }
}

TEST(ParseTelemetry, NeverReadsPastTheBuffer) {
  // Exactly sized heap buffers without a zero byte: the sanitizers see any
  // read beyond them. Fields and numbers cut short at the very end.
  const std::vector<std::string> endings = {
      "$GPRMC", "$GPRMC,", "$GPRMC,1,A,4807.0", "$GPRMC,1,A,4807.0380,N,01131.0000,E,5e", "X:", "X:-", "Y:1.5e+",
      "$GPRMC,1,A,4807.0380,N,01131.0000,E,022.4,084.4,230394,,,A*", "\xff\xfe$GPRMC\x80,A*",
  };
  for (const std::string& ending : endings) {
    std::string filler(2048 - ending.size(), 'Q');
    std::string text = filler + ending;
    std::vector<char> buffer(text.begin(), text.end());
    double lat = 0, lon = 0, speed = 0, course = 0;
    ParseTelemetry(std::string_view(buffer.data(), buffer.size()), &lat, &lon, &speed, &course);
  }
  // Absurd numbers: huge exponents and very long digit runs.
  std::string huge = With("022.4", "9e99999999999999999999");
  double speed = 0;
  EXPECT_EQ(ParseTelemetry(huge, nullptr, nullptr, &speed, nullptr), 1);
  EXPECT_TRUE(std::isinf(speed));
  std::string longDigits = With("084.4", std::string(1500, '7'));
  double course = 0;
  EXPECT_EQ(ParseTelemetry(longDigits, nullptr, nullptr, nullptr, &course), 1);
  EXPECT_GT(course, 1e300);
}

TEST(ParseTelemetry, GSensorAxesChangeOnlyWithTheirTags) {
  ParseTelemetry("X:1 Y:2 Z:3", nullptr, nullptr, nullptr, nullptr);
  struct Step {
    std::string text;
    double x, y, z;
  };
  const std::vector<Step> steps = {
      {"X:0.12", 0.12, 2, 3},
      {"Y:-0.5", 0.12, -0.5, 3},
      // No fix, but the readings count.
      {"Z:+1.25e1 " + With(",A,4807", ",V,4807"), 0.12, -0.5, 12.5},
      {"X: 7 and later X:8", 7, -0.5, 12.5},                // first occurrence, blanks skipped
      {"Y:abc", 7, 0, 12.5},                                // no number reads as 0
      {"Z:1,5", 7, 0, 1},                                   // ',' is no decimal point
      {std::string("X:9\0Y:9", 7), 9, 0, 1},                // the text ends at its zero byte
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.text);
    ParseTelemetry(step.text, nullptr, nullptr, nullptr, nullptr);
    GSensorTriple g = CurrentGSensor();
    EXPECT_DOUBLE_EQ(g.x, step.x);
    EXPECT_DOUBLE_EQ(g.y, step.y);
    EXPECT_DOUBLE_EQ(g.z, step.z);
  }
  TelemetrySample sample;
  EXPECT_EQ(ParseTelemetry("X:0.5 Y:0.25 Z:-1 " + kSentence, sample), 1);
  EXPECT_NEAR(sample.latitude, 48.1173, 1e-9);
  EXPECT_DOUBLE_EQ(sample.gX, 0.5);
  EXPECT_DOUBLE_EQ(sample.gY, 0.25);
  EXPECT_DOUBLE_EQ(sample.gZ, -1);
}

TEST(ParseTelemetry, GSensorTripleIsReadWhole) {
  ParseTelemetry("X:0 Y:0 Z:0", nullptr, nullptr, nullptr, nullptr);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i)
      ParseTelemetry(i % 2 ? "X:1 Y:1 Z:1" : "X:2 Y:2 Z:2", nullptr, nullptr, nullptr, nullptr);
    done = true;
  });
  int torn = 0;
  while (!done) {
    GSensorTriple g = CurrentGSensor();
    torn += !(g.x == g.y && g.y == g.z);
  }
  writer.join();
  EXPECT_EQ(torn, 0);
}

TEST(ReadDecimal, ReadsLikeStrtodInTheCLocaleWithinTheView) {
  struct Case {
    std::string text;
    double value;
    size_t used;
  };
  const std::vector<Case> cases = {
      {" \t+1.5e2,", 150, 8}, {"-.5x", -0.5, 3},  {"5.", 5, 2},       {"1e", 1, 1},          {"1e+", 1, 1},
      {"2E-2", 0.02, 4},      {"--5", 0, 0},      {"+-5", 0, 0},      {"inf", 0, 0},         {"nan", 0, 0},
      {"0x10", 0, 1},         {".", 0, 0},        {"", 0, 0},         {"-", 0, 0},           {"1e-400", 0, 6},
      {"0.000001e-400", 0, 13},
  };
  for (const Case& c : cases) {
    size_t used = 99;
    EXPECT_EQ(ReadDecimal(c.text, &used), c.value) << c.text;
    EXPECT_EQ(used, c.used) << c.text;
  }
  EXPECT_EQ(ReadDecimal("1e400"), HUGE_VAL);
  EXPECT_EQ(ReadDecimal("-1" + std::string(400, '0')), -HUGE_VAL);
  // The view ends inside the digits: nothing behind it is read.
  std::string digits = "12345";
  EXPECT_EQ(ReadDecimal(std::string_view(digits).substr(0, 3)), 123);
}

TEST(Display, SpeedPositionCompassAndUnitNames) {
  // 10 knots stored as 18.52 km/h.
  EXPECT_EQ(FormatSpeed(18.52, 0), " 19");
  EXPECT_EQ(FormatSpeed(18.52, 1), " 12");
  EXPECT_EQ(FormatSpeed(18.52, 2), " 10");
  EXPECT_EQ(FormatSpeed(1234.4, 0), "1234");
  EXPECT_EQ(FormatSpeed(0, 0), "  0");
  EXPECT_STREQ(SpeedUnitName(0), "Km/h");
  EXPECT_STREQ(SpeedUnitName(1), "Mile/h");
  EXPECT_STREQ(SpeedUnitName(2), "Knot");
  EXPECT_STREQ(SpeedUnitName(3), "");

  EXPECT_EQ(FormatLatitude(48.1173), "   48.117300 N");
  EXPECT_EQ(FormatLatitude(-33.5), "   33.500000 S");
  EXPECT_EQ(FormatLongitude(-151.2057), "  151.205700 W");
  EXPECT_EQ(FormatLongitude(0), "    0.000000 E");

  EXPECT_EQ(CompassAngle(84.4), 84.4);
  EXPECT_EQ(CompassAngle(-90), 270);
  EXPECT_EQ(CompassAngle(720), 0);
  EXPECT_EQ(CompassAngle(HUGE_VAL), 0);
}

// A locale whose decimal point is ',' (built into a temporary folder, so the
// machine needs no generated locales).
class CommaLocale {
public:
  CommaLocale() {
    int rc = testsupport::Run("localedef -i de_DE -f UTF-8 '" + dir_.path() + "/de_DE.UTF-8' >/dev/null 2>&1");
    if (rc > 1) return; // 1 means warnings only
    ::setenv("LOCPATH", dir_.path().c_str(), 1);
    active_ = SetLocaleUnchecked(LC_ALL, "de_DE.UTF-8") != nullptr;
    if (active_) {
#ifdef TELEMETRY_TEST_LSAN
      __lsan_disable();
#endif
      try {
        std::locale::global(std::locale("de_DE.UTF-8"));
      } catch (...) {
      }
#ifdef TELEMETRY_TEST_LSAN
      __lsan_enable();
#endif
    }
  }
  ~CommaLocale() {
    SetLocaleUnchecked(LC_ALL, "C");
    std::locale::global(std::locale::classic());
    ::unsetenv("LOCPATH");
  }
  bool active() const { return active_; }

private:
  testsupport::TempDir dir_;
  bool active_ = false;
};

TEST(Locale, DecimalPointIsAlwaysADot) {
  CommaLocale locale;
  if (!locale.active()) GTEST_SKIP() << "no de_DE locale could be built";
  char check[16];
  std::snprintf(check, sizeof check, "%.1f", 1.5);
  ASSERT_STREQ(check, "1,5");

  double lat = 0, speed = 0;
  EXPECT_EQ(ParseTelemetry("X:0.25 " + kSentence, &lat, nullptr, &speed, nullptr), 1);
  EXPECT_NEAR(lat, 48.1173, 1e-9);
  EXPECT_NEAR(speed, 41.4848, 1e-9);
  EXPECT_DOUBLE_EQ(CurrentGSensor().x, 0.25);
  EXPECT_EQ(FormatLatitude(48.1173), "   48.117300 N");
  EXPECT_EQ(FormatSpeed(18.52, 0), " 19");
  EXPECT_EQ(ReadDecimal("0,5"), 0);
}

} // namespace
