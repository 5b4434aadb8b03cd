#include "telemetry/telemetry.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/text.h"

namespace {

// The process-wide G-sensor triple. Written by the parser (user-interface
// thread), read by whoever draws the graph.
std::mutex g_sensorMutex;
GSensorTriple g_sensor;

} // namespace

double ReadDecimal(std::string_view text, size_t* used) { return platform::ParseDecimalPrefix(text, used); }

std::string_view TelemetryText(std::string_view buffer) {
  size_t zero = buffer.find('\0');
  return zero == std::string_view::npos ? buffer : buffer.substr(0, zero);
}

GSensorTags ReadGSensorTags(std::string_view text) {
  text = TelemetryText(text);
  GSensorTags tags;
  auto read = [&](std::string_view tag, bool& has, double& value) {
    size_t at = text.find(tag);
    if (at == std::string_view::npos) return;
    has = true;
    value = ReadDecimal(text.substr(at + tag.size()));
  };
  read("X:", tags.hasX, tags.x);
  read("Y:", tags.hasY, tags.y);
  read("Z:", tags.hasZ, tags.z);
  return tags;
}

namespace {

// A coordinate field: `degreeDigits` digits of degrees, two digits of minutes,
// '.', and 1 to 7 decimals of minutes, nothing else. None for any other form.
std::optional<double> ReadCoordinate(std::string_view field, size_t degreeDigits) {
  constexpr size_t kMaxDecimals = 7;
  const size_t dot = degreeDigits + 2;
  if (field.size() < dot + 2 || field.size() > dot + 1 + kMaxDecimals || field[dot] != '.') return std::nullopt;
  for (size_t i = 0; i < field.size(); ++i) {
    if (i != dot && (field[i] < '0' || field[i] > '9')) return std::nullopt;
  }
  double degrees = 0;
  for (size_t i = 0; i < degreeDigits; ++i) degrees = degrees * 10 + (field[i] - '0');
  return degrees + ReadDecimal(field.substr(degreeDigits)) / 60;
}

} // namespace

int ParseGpsFix(std::string_view text, double* latitude, double* longitude, double* speed, double* course) {
  text = TelemetryText(text);
  constexpr std::string_view kTag = "$GPRMC";
  const size_t start = text.find(kTag);
  if (start == std::string_view::npos) return 0;
  const size_t star = text.find('*', start + kTag.size());
  if (star == std::string_view::npos) return 0;
  // Mode indicator 'N': the receiver says the fix is not valid.
  if (text[star - 1] == 'N') return 0;

  // Read into temporaries: nothing is stored unless the whole fix is accepted.
  double lat = 0, lon = 0, spd = 0, crs = 0;
  bool haveSpeed = false, haveCourse = false;
  int lastField = -1;
  size_t pos = start;
  for (int field = 0; field < 12; ++field) {
    const size_t comma = text.find(',', pos);
    if (comma == std::string_view::npos) break;
    // pos <= comma, so the field's first character (its ',' when empty) exists.
    const char c0 = text[pos];
    const std::string_view value = text.substr(pos, comma - pos);
    switch (field) {
    case 2: // status
      if (c0 != 'A') return 0;
      break;
    case 3: { // latitude ddmm.m to ddmm.mmmmmmm
      const std::optional<double> v = ReadCoordinate(value, 2);
      if (!v) return 0;
      lat = *v;
      break;
    }
    case 4:
      if (c0 == 'S') {
        lat = -lat;
      } else if (c0 != 'N') {
        return 0;
      }
      break;
    case 5: { // longitude dddmm.m to dddmm.mmmmmmm
      const std::optional<double> v = ReadCoordinate(value, 3);
      if (!v) return 0;
      lon = *v;
      break;
    }
    case 6:
      if (c0 == 'W') {
        lon = -lon;
      } else if (c0 != 'E') {
        return 0;
      }
      break;
    case 7:
      spd = ReadDecimal(text.substr(pos)) * 1.852;
      haveSpeed = true;
      break;
    case 8:
      crs = ReadDecimal(text.substr(pos));
      haveCourse = true;
      break;
    default: // time, date, magnetic variation: not read here
      break;
    }
    lastField = field;
    pos = comma + 1;
  }
  // A sentence cut short before its status and position carries no fix.
  if (lastField < 6) return 0;
  if (latitude) *latitude = lat;
  if (longitude) *longitude = lon;
  if (speed && haveSpeed) *speed = spd;
  if (course && haveCourse) *course = crs;
  return 1;
}

int ParseTelemetry(std::string_view text, double* latitude, double* longitude, double* speed, double* course) {
  text = TelemetryText(text);
  const GSensorTags tags = ReadGSensorTags(text);
  if (tags.Any()) {
    std::lock_guard lock(g_sensorMutex);
    if (tags.hasX) g_sensor.x = tags.x;
    if (tags.hasY) g_sensor.y = tags.y;
    if (tags.hasZ) g_sensor.z = tags.z;
  }
  return ParseGpsFix(text, latitude, longitude, speed, course);
}

int ParseTelemetry(std::string_view text, TelemetrySample& sample) {
  int fix = ParseTelemetry(text, &sample.latitude, &sample.longitude, &sample.speed, &sample.course);
  GSensorTriple g = CurrentGSensor();
  sample.gX = g.x;
  sample.gY = g.y;
  sample.gZ = g.z;
  return fix;
}

GSensorTriple CurrentGSensor() {
  std::lock_guard lock(g_sensorMutex);
  return g_sensor;
}

const char* SpeedUnitName(int unit) {
  static const char* const kNames[kSpeedUnitCount] = {"Km/h", "Mile/h", "Knot"};
  return unit >= 0 && unit < kSpeedUnitCount ? kNames[unit] : "";
}

double SpeedInUnit(double kmh, int unit) {
  switch (unit) {
  case 1: return kmh / 1.609;
  case 2: return kmh / 1.852;
  default: return kmh;
  }
}

std::string FormatNumber(double value, int precision, int width) {
  // Large enough for any double in fixed notation with the precisions used here.
  char buf[400];
  std::string text;
  if (std::isnan(value)) {
    text = std::signbit(value) ? "-nan" : "nan";
  } else if (std::isinf(value)) {
    text = value < 0 ? "-inf" : "inf";
  } else {
    if (precision < 0) precision = 0;
    if (precision > 60) precision = 60;
    auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    text.assign(buf, result.ec == std::errc() ? result.ptr : buf);
  }
  if (width > 0 && text.size() < static_cast<size_t>(width)) text.insert(0, static_cast<size_t>(width) - text.size(), ' ');
  return text;
}

std::string FormatSpeed(double kmh, int unit) { return FormatNumber(SpeedInUnit(kmh, unit), 0, 3); }

std::string FormatLatitude(double latitude) {
  return FormatNumber(std::fabs(latitude), 6, 12) + ' ' + (latitude >= 0 ? 'N' : 'S');
}

std::string FormatLongitude(double longitude) {
  return FormatNumber(std::fabs(longitude), 6, 12) + ' ' + (longitude >= 0 ? 'E' : 'W');
}

double CompassAngle(double course) {
  if (!std::isfinite(course)) return 0;
  double a = std::fmod(course, 360.0);
  if (a < 0) a += 360.0;
  if (a >= 360.0) a = 0; // -tiny + 360 rounds to 360
  return a;
}
