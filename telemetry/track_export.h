#pragma once
// Writes the telemetry of recordings as a GPS track: GPX 1.1 or CSV.
//
// A front end feeds it recording by recording, each recording's telemetry texts
// in order:
//   TrackWriter writer(std::cout, TrackFormat::Gpx, &std::cerr);
//   for each file: writer.BeginRecording(path); for each text: writer.AddText(text);
//                  writer.EndRecording();            (or writer.SkipFile(path, why))
//   writer.Finish();
//
// GPX: one track; one segment per recording that has at least one accepted fix;
// one point per fix with its time (from the sentence's own time and date
// fields, UTC; no time when they cannot be read), position, and speed (m/s)
// and course (degrees) in the Garmin TrackPointExtension v2 of <extensions>
// (GPX 1.1 has no elements of its own for them).
// CSV: a header line, then one row per text that holds a fix or G-sensor
// readings: time, latitude, longitude, speed in km/h, course, X, Y, Z. Rows
// without a fix leave time (when unreadable), position, speed and course empty;
// an axis missing from the text leaves its column empty.
// Numbers always use '.' as decimal point; every text written into the GPX is
// escaped (and invalid UTF-8 replaced), so the output is well-formed XML.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "telemetry/telemetry.h"

enum class TrackFormat { Gpx, Csv };

// A file the front end could not use, and why.
struct SkippedFile {
  std::string path;
  std::string reason;
};

// The UTC time of a $GPRMC sentence, from its time (field 1, hhmmss with
// optional fraction) and date (field 9, ddmmyy; years 80-99 are 1980-1999,
// 00-79 are 2000-2079) fields, as ISO 8601 ("2012-03-23T12:35:19.5Z").
// None when either field is missing or not a valid time or date.
std::optional<std::string> SentenceTime(std::string_view text);

// Escapes text for XML content and attribute values: & < > " ' as entities;
// invalid UTF-8 and characters XML 1.0 does not allow become U+FFFD.
std::string XmlEscape(std::string_view text);

class TrackWriter {
public:
  // out receives the track; diagnostics (when given) one line per skipped file.
  TrackWriter(std::ostream& out, TrackFormat format, std::ostream* diagnostics = nullptr);
  TrackWriter(const TrackWriter&) = delete;
  TrackWriter& operator=(const TrackWriter&) = delete;

  // Starts the next recording (ending one still open). The first recording's
  // file name names the GPX track.
  void BeginRecording(std::string_view path);
  // One telemetry text of the current recording (it ends at its first zero
  // byte). Texts outside BeginRecording/EndRecording count as an unnamed recording.
  void AddText(std::string_view text);
  void EndRecording();
  // Records a file that was not read, and prints "skipped PATH: REASON" on
  // the diagnostics stream.
  void SkipFile(std::string_view path, std::string_view reason);
  // Ends the open recording and the document. Returns whether the output
  // stream is still good. Nothing is written after it.
  bool Finish();

  const std::vector<SkippedFile>& Skipped() const { return skipped_; }
  size_t Points() const { return points_; }     // fixes written
  size_t Segments() const { return segments_; } // GPX segments (recordings with a fix)
  size_t Rows() const { return rows_; }         // CSV rows, header excluded
  size_t Recordings() const { return recordings_; }

private:
  void StartDocument(std::string_view firstName);
  void WriteGpxPoint(double lat, double lon, double speedKmh, double course, const std::optional<std::string>& time);
  void WriteCsvRow(bool fix, double lat, double lon, double speedKmh, double course,
                   const std::optional<std::string>& time, const GSensorTags& tags);

  std::ostream& out_;
  TrackFormat format_;
  std::ostream* diagnostics_;
  bool started_ = false;
  bool finished_ = false;
  bool inRecording_ = false;
  bool segmentOpen_ = false;
  std::vector<SkippedFile> skipped_;
  size_t points_ = 0, segments_ = 0, rows_ = 0, recordings_ = 0;
};
