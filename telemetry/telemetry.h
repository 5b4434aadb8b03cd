#pragma once
// Telemetry texts as the camera writes them: three G-sensor readings tagged
// "X:", "Y:" and "Z:", and a GPS fix as an NMEA "$GPRMC" sentence.
// No Qt here: the pipeline and the command-line tools use it too.
#include <string>
#include <string_view>

// The values one telemetry text yields.
struct TelemetrySample {
  double latitude = 0;  // decimal degrees, north positive
  double longitude = 0; // decimal degrees, east positive
  double speed = 0;     // km/h (the sentence's knots x 1.852)
  double course = 0;    // degrees clockwise from north, as written
  double gX = 0, gY = 0, gZ = 0; // G-sensor readings exactly as written
};

// The G-sensor triple.
struct GSensorTriple {
  double x = 0, y = 0, z = 0;
};

// The G-sensor readings found in one text: an axis whose tag is absent has
// its flag clear and its value 0.
struct GSensorTags {
  bool hasX = false, hasY = false, hasZ = false;
  double x = 0, y = 0, z = 0;
  bool Any() const { return hasX || hasY || hasZ; }
};

// Reads the decimal number at the start of the text, as strtod would in the
// "C" locale but never past the end of the view: blanks skipped, an optional
// sign, digits with an optional '.' and fraction, an optional exponent. No
// "inf", "nan" or hexadecimal forms. Returns 0 when no number starts there;
// values beyond the range of a double give +-HUGE_VAL, tiny ones 0.
// *used (when given) receives the number of characters taken, 0 for none.
double ReadDecimal(std::string_view text, size_t* used = nullptr);

// The text ends at its first zero byte, or at the end of the view.
std::string_view TelemetryText(std::string_view buffer);

// Step 1 of parsing: the first "X:", "Y:" and "Z:" anywhere in the text and
// the numbers right after them. Touches no shared state.
GSensorTags ReadGSensorTags(std::string_view text);

// The GPS part of parsing, on its own: finds the first "$GPRMC" sentence and
// reads its status, position, speed and course. Latitude is ddmm.m and
// longitude dddmm.m with 1 to 7 decimals of minutes, digits only. The output
// slots (any may be null) are written only for an accepted fix: position
// always, speed and course when the sentence reaches their fields. A rejected
// sentence leaves every slot as it was. Returns 1 for an accepted fix, 0
// otherwise. Touches no shared state.
int ParseGpsFix(std::string_view text, double* latitude, double* longitude, double* speed, double* course);

// Parses one telemetry text (ending at its first zero byte or at the end of
// the view, whichever comes first): updates the process-wide G-sensor triple
// with the tags found, then reads the GPS fix as ParseGpsFix does.
// Returns 1 for an accepted fix, 0 otherwise.
int ParseTelemetry(std::string_view text, double* latitude, double* longitude, double* speed, double* course);

// The same into a sample: position, speed and course as ParseTelemetry stores
// them, the G-sensor fields set to the process-wide triple afterwards.
int ParseTelemetry(std::string_view text, TelemetrySample& sample);

// The process-wide G-sensor triple: starts at 0, 0, 0 and changes only through
// ParseTelemetry. Safe to read from any thread; the three values always come
// from the same update.
GSensorTriple CurrentGSensor();

// Units of speed ("UnitOfSpeed"): 0 km/h, 1 miles per hour, 2 knots.
constexpr int kSpeedUnitCount = 3;
// "Km/h", "Mile/h", "Knot"; "" for a unit outside 0..2.
const char* SpeedUnitName(int unit);
// km/h shown in the unit: as stored, / 1.609 or / 1.852; other units show km/h.
double SpeedInUnit(double kmh, int unit);
// The speed digits' text: "%3.0f" of SpeedInUnit, with '.' whatever the locale.
std::string FormatSpeed(double kmh, int unit);
// "%12f %c" of the absolute value with 'N' (latitude >= 0) or 'S'.
std::string FormatLatitude(double latitude);
// "%12f %c" of the absolute value with 'E' (longitude >= 0) or 'W'.
std::string FormatLongitude(double longitude);
// The compass needle's rotation for a course, clockwise degrees in [0, 360);
// 0 for a course that is not a finite number.
double CompassAngle(double course);

// printf's "%*.*f" without the locale: width is a minimum, padded with blanks
// on the left.
std::string FormatNumber(double value, int precision, int width = 0);
