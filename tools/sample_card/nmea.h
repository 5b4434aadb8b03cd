#pragma once
// Telemetry texts of the sample card, in the form the telemetry parser accepts.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "tools/sample_card/route.h"

namespace samplegen {

// The NMEA checksum: XOR of the characters between '$' and '*' (both excluded; a
// sentence without '$' is taken from its start, one without '*' to its end), as two
// upper-case hexadecimal digits.
std::string NmeaChecksum(std::string_view sentence);

// A "$GPRMC" sentence with its checksum, without line end, for the point at UTC time
// `utc` (seconds since 1970). With a fix:
//   $GPRMC,hhmmss.000,A,ddmm.mmmm,N,dddmm.mmmm,E,k.k,c.c,ddmmyy,,,A*HH
// (latitude with two degree digits and four decimals of minutes, longitude with three
// degree digits and four decimals, 'S'/'W' for negative values, speed in knots and
// course in degrees with one decimal). Without a fix (fix false):
//   $GPRMC,hhmmss.000,V,,,,,,,ddmmyy,,,N*HH
// Numbers are formatted without the C locale's help ('.' always).
std::string BuildGprmc(const RoutePoint& point, int64_t utc, bool fix);

// "X:", "Y:", "Z:" readings with three decimals, as the camera writes them:
//   X:0.012 Y:-0.034 Z:1.003
std::string BuildGSensor(const RoutePoint& point);

// The whole text of one telemetry PES: the G-sensor line, then the sentence, each
// ended by "\r\n". `utc` is the camera clock's instant (the file's start time plus the
// text's PTS); NMEA times are UTC, so the sentence shows gmtime(utc).
std::string BuildTelemetryText(const RoutePoint& point, int64_t utc, bool fix);

// value with `decimals` decimals (rounded half away from zero), '.' as the point.
std::string FormatFixed(double value, int decimals);

} // namespace samplegen
