// Any bytes as the 2048-byte telemetry buffer: the parser, the G-sensor tags,
// the sentence time and the track writer must stay inside them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string_view>

#include "telemetry/telemetry.h"
#include "telemetry/track_export.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 2048) size = 2048;
  // An exactly sized copy, so that reading one byte too far is caught.
  std::unique_ptr<char[]> buffer(new char[size ? size : 1]);
  if (size) std::memcpy(buffer.get(), data, size);
  const std::string_view text(buffer.get(), size);

  double lat = 0, lon = 0, speed = 0, course = 0;
  ParseTelemetry(text, &lat, &lon, &speed, &course);
  ParseTelemetry(text, nullptr, nullptr, nullptr, nullptr);
  (void)FormatSpeed(speed, static_cast<int>(size % 4));
  (void)FormatLatitude(lat);
  (void)FormatLongitude(lon);
  (void)CompassAngle(course);
  (void)SentenceTime(text);
  (void)XmlEscape(text);

  for (TrackFormat format : {TrackFormat::Gpx, TrackFormat::Csv}) {
    std::ostringstream out;
    TrackWriter writer(out, format);
    writer.BeginRecording(text);
    writer.AddText(text);
    writer.EndRecording();
    writer.Finish();
  }
  return 0;
}
