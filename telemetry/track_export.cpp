#include "telemetry/track_export.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/files.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int TwoDigits(std::string_view s, size_t at) { return (s[at] - '0') * 10 + (s[at + 1] - '0'); }

// Field i (0 = "$GPRMC") of the first sentence in the text: from behind the
// i-th ',' up to the next ',', '*', line end or the end of the text.
std::optional<std::string_view> SentenceField(std::string_view text, int i) {
  size_t pos = text.find("$GPRMC");
  if (pos == std::string_view::npos) return std::nullopt;
  for (int k = 0; k < i; ++k) {
    size_t comma = text.find(',', pos);
    if (comma == std::string_view::npos) return std::nullopt;
    pos = comma + 1;
  }
  size_t end = text.find_first_of(",*\r\n", pos);
  if (end == std::string_view::npos) end = text.size();
  return text.substr(pos, end - pos);
}

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (!IsDigit(c)) return false;
  return true;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

void AppendPadded(std::string& out, int value, int width) {
  std::string digits = std::to_string(value);
  if (digits.size() < static_cast<size_t>(width)) out.append(static_cast<size_t>(width) - digits.size(), '0');
  out += digits;
}

// Shortest text that reads back as the same double ('.' decimal point).
std::string Shortest(double value) {
  char buf[64];
  auto result = std::to_chars(buf, buf + sizeof buf, value);
  return result.ec == std::errc() ? std::string(buf, result.ptr) : std::string();
}

bool ValidPosition(double lat, double lon) {
  return std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90 && std::fabs(lon) <= 180;
}

std::string_view FileName(std::string_view path) {
  size_t sep = platform::LastSeparator(path);
  return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

} // namespace

std::optional<std::string> SentenceTime(std::string_view text) {
  text = TelemetryText(text);
  std::optional<std::string_view> time = SentenceField(text, 1);
  std::optional<std::string_view> date = SentenceField(text, 9);
  if (!time || !date) return std::nullopt;
  // Time: hhmmss, optionally '.' and a fraction.
  std::string_view t = *time;
  if (t.size() < 6 || !AllDigits(t.substr(0, 6))) return std::nullopt;
  std::string_view fraction;
  if (t.size() > 6) {
    if (t[6] != '.' || !AllDigits(t.substr(7))) return std::nullopt;
    fraction = t.substr(7);
    while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
    if (fraction.size() > 9) fraction = fraction.substr(0, 9);
  }
  const int hour = TwoDigits(t, 0), minute = TwoDigits(t, 2), second = TwoDigits(t, 4);
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  // Date: ddmmyy.
  std::string_view d = *date;
  if (d.size() != 6 || !AllDigits(d)) return std::nullopt;
  const int day = TwoDigits(d, 0), month = TwoDigits(d, 2), yy = TwoDigits(d, 4);
  const int year = yy < 80 ? 2000 + yy : 1900 + yy;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;

  std::string iso;
  AppendPadded(iso, year, 4);
  iso += '-';
  AppendPadded(iso, month, 2);
  iso += '-';
  AppendPadded(iso, day, 2);
  iso += 'T';
  AppendPadded(iso, hour, 2);
  iso += ':';
  AppendPadded(iso, minute, 2);
  iso += ':';
  AppendPadded(iso, second, 2);
  if (!fraction.empty()) {
    iso += '.';
    iso += fraction;
  }
  iso += 'Z';
  return iso;
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const char* kReplacement = "\xEF\xBF\xBD";
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') out += kReplacement;
        else out += static_cast<char>(c);
      }
      ++i;
      continue;
    }
    // A multi-byte sequence: its length, the smallest code point it may encode.
    size_t length;
    uint32_t cp, minimum;
    if ((c & 0xE0) == 0xC0) length = 2, cp = c & 0x1Fu, minimum = 0x80;
    else if ((c & 0xF0) == 0xE0) length = 3, cp = c & 0x0Fu, minimum = 0x800;
    else if ((c & 0xF8) == 0xF0) length = 4, cp = c & 0x07u, minimum = 0x10000;
    else {
      out += kReplacement;
      ++i;
      continue;
    }
    size_t k = 1;
    for (; k < length && i + k < text.size(); ++k) {
      const auto cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) break;
      cp = (cp << 6) | (cc & 0x3Fu);
    }
    const bool allowed = k == length && cp >= minimum && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF) &&
                         cp != 0xFFFE && cp != 0xFFFF;
    if (allowed) out.append(text.substr(i, length));
    else out += kReplacement;
    i += k; // an invalid sequence is replaced as far as it went
  }
  return out;
}

TrackWriter::TrackWriter(std::ostream& out, TrackFormat format, std::ostream* diagnostics)
    : out_(out), format_(format), diagnostics_(diagnostics) {}

void TrackWriter::StartDocument(std::string_view firstName) {
  if (started_) return;
  started_ = true;
  if (format_ == TrackFormat::Csv) {
    out_ << "time,latitude,longitude,speed_kmh,course,x,y,z\n";
    return;
  }
  out_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<gpx version=\"1.1\" creator=\"Velmora " VELMORA_VERSION "\"\n"
          "     xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
          "     xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\"\n"
          "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
          "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
          "http://www.topografix.com/GPX/1/1/gpx.xsd "
          "http://www.garmin.com/xmlschemas/TrackPointExtension/v2 "
          "http://www.garmin.com/xmlschemas/TrackPointExtensionv2.xsd\">\n"
          "  <trk>\n";
  if (!firstName.empty()) out_ << "    <name>" << XmlEscape(firstName) << "</name>\n";
}

void TrackWriter::BeginRecording(std::string_view path) {
  if (finished_) return;
  EndRecording();
  StartDocument(FileName(path));
  inRecording_ = true;
  ++recordings_;
}

void TrackWriter::AddText(std::string_view text) {
  if (finished_) return;
  if (!inRecording_) BeginRecording("");
  text = TelemetryText(text);

  const GSensorTags tags = ReadGSensorTags(text);
  double lat = 0, lon = 0, speed = NAN, course = NAN;
  bool fix = ParseGpsFix(text, &lat, &lon, &speed, &course) == 1 && ValidPosition(lat, lon);
  const std::optional<std::string> time = SentenceTime(text);

  if (format_ == TrackFormat::Gpx) {
    if (fix) WriteGpxPoint(lat, lon, speed, course, time);
  } else if (fix || tags.Any()) {
    WriteCsvRow(fix, lat, lon, speed, course, time, tags);
  }
}

void TrackWriter::WriteGpxPoint(double lat, double lon, double speedKmh, double course,
                                const std::optional<std::string>& time) {
  if (!segmentOpen_) {
    out_ << "    <trkseg>\n";
    segmentOpen_ = true;
    ++segments_;
  }
  out_ << "      <trkpt lat=\"" << FormatNumber(lat, 7) << "\" lon=\"" << FormatNumber(lon, 7) << "\">\n";
  if (time) out_ << "        <time>" << XmlEscape(*time) << "</time>\n";
  const bool hasSpeed = std::isfinite(speedKmh) && speedKmh >= 0;
  const bool hasCourse = std::isfinite(course);
  if (hasSpeed || hasCourse) {
    out_ << "        <extensions><gpxtpx:TrackPointExtension>";
    if (hasSpeed) out_ << "<gpxtpx:speed>" << FormatNumber(speedKmh / 3.6, 3) << "</gpxtpx:speed>";
    if (hasCourse) out_ << "<gpxtpx:course>" << FormatNumber(CompassAngle(course), 2) << "</gpxtpx:course>";
    out_ << "</gpxtpx:TrackPointExtension></extensions>\n";
  }
  out_ << "      </trkpt>\n";
  ++points_;
}

void TrackWriter::WriteCsvRow(bool fix, double lat, double lon, double speedKmh, double course,
                              const std::optional<std::string>& time, const GSensorTags& tags) {
  auto number = [](bool present, const std::string& text) { return present ? text : std::string(); };
  std::string row;
  if (time) row += *time;
  row += ',';
  if (fix) {
    row += FormatNumber(lat, 7);
    row += ',';
    row += FormatNumber(lon, 7);
    row += ',';
    row += number(std::isfinite(speedKmh), FormatNumber(speedKmh, 3));
    row += ',';
    row += number(std::isfinite(course), Shortest(course));
  } else {
    row += ",,,";
  }
  row += ',';
  row += number(tags.hasX && std::isfinite(tags.x), Shortest(tags.x));
  row += ',';
  row += number(tags.hasY && std::isfinite(tags.y), Shortest(tags.y));
  row += ',';
  row += number(tags.hasZ && std::isfinite(tags.z), Shortest(tags.z));
  out_ << row << '\n';
  ++rows_;
  if (fix) ++points_;
}

void TrackWriter::EndRecording() {
  if (segmentOpen_) out_ << "    </trkseg>\n";
  segmentOpen_ = false;
  inRecording_ = false;
}

void TrackWriter::SkipFile(std::string_view path, std::string_view reason) {
  skipped_.push_back({std::string(path), std::string(reason)});
  if (diagnostics_) *diagnostics_ << "skipped " << path << ": " << reason << '\n';
}

bool TrackWriter::Finish() {
  if (!finished_) {
    EndRecording();
    StartDocument("");
    if (format_ == TrackFormat::Gpx) out_ << "  </trk>\n</gpx>\n";
    out_.flush();
    finished_ = true;
  }
  return out_.good();
}
