#include "tools/sample_card/nmea.h"

#include <cmath>
#include <cstdio>

namespace samplegen {

std::string NmeaChecksum(std::string_view sentence) {
  size_t begin = sentence.find('$');
  begin = begin == std::string_view::npos ? 0 : begin + 1;
  size_t end = sentence.find('*', begin);
  if (end == std::string_view::npos) end = sentence.size();
  unsigned sum = 0;
  for (size_t i = begin; i < end; ++i) sum ^= static_cast<unsigned char>(sentence[i]);
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", sum & 0xFF);
  return hex;
}

std::string FormatFixed(double value, int decimals) {
  int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  int64_t n = std::llround(std::fabs(value) * static_cast<double>(scale));
  std::string s = (value < 0 && n != 0) ? "-" : "";
  s += std::to_string(n / scale);
  if (decimals > 0) {
    std::string frac = std::to_string(n % scale);
    s += '.';
    s += std::string(static_cast<size_t>(decimals) - frac.size(), '0') + frac;
  }
  return s;
}

namespace {

// Degrees as d..dmm.mmmm with `degreeDigits` degree digits.
std::string DegreesMinutes(double degrees, int degreeDigits) {
  int64_t tenThousandths = std::llround(std::fabs(degrees) * 60.0 * 10000.0); // minutes * 1e4
  int64_t deg = tenThousandths / 600000;
  int64_t minutes = tenThousandths % 600000;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*lld%02lld.%04lld", degreeDigits, static_cast<long long>(deg),
                static_cast<long long>(minutes / 10000), static_cast<long long>(minutes % 10000));
  return buf;
}

} // namespace

std::string BuildGprmc(const RoutePoint& point, int64_t utc, bool fix) {
  time_t t = static_cast<time_t>(utc);
  struct tm tm {};
  gmtime_r(&t, &tm);
  char timeField[48], dateField[48];
  std::snprintf(timeField, sizeof timeField, "%02d%02d%02d.000", tm.tm_hour, tm.tm_min, tm.tm_sec);
  std::snprintf(dateField, sizeof dateField, "%02d%02d%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year % 100);
  std::string s = "$GPRMC,";
  s += timeField;
  if (fix) {
    std::string course = FormatFixed(point.courseDeg, 1);
    if (course == "360.0") course = "0.0";
    s += ",A,";
    s += DegreesMinutes(point.latitude, 2);
    s += point.latitude < 0 ? ",S," : ",N,";
    s += DegreesMinutes(point.longitude, 3);
    s += point.longitude < 0 ? ",W," : ",E,";
    s += FormatFixed(point.speedKnots, 1) + ",";
    s += course + ",";
    s += dateField;
    s += ",,,A";
  } else {
    s += ",V,,,,,,,";
    s += dateField;
    s += ",,,N";
  }
  s += '*';
  s += NmeaChecksum(s);
  return s;
}

std::string BuildGSensor(const RoutePoint& point) {
  return "X:" + FormatFixed(point.gX, 3) + " Y:" + FormatFixed(point.gY, 3) + " Z:" + FormatFixed(point.gZ, 3);
}

std::string BuildTelemetryText(const RoutePoint& point, int64_t utc, bool fix) {
  return BuildGSensor(point) + "\r\n" + BuildGprmc(point, utc, fix) + "\r\n";
}

} // namespace samplegen
