#pragma once
// The main window's timelines: which hours and minutes of the chosen day hold
// recordings, what a click on an hour or a minute means, and which calendar days
// to mark. Times are seconds since 1970, turned into local calendar times with
// the system's time-zone rules.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/find_file_path.h"

// A calendar day.
struct CivilDate {
  int year = 1970, month = 1, day = 1;
  bool operator==(const CivilDate&) const = default;
  auto operator<=>(const CivilDate&) const = default;
};

// The next calendar day.
CivilDate NextDay(const CivilDate& d);
// The local calendar day of a time.
CivilDate LocalDate(int64_t t);
// The local time of a day's hour, minute and second (the system decides
// daylight saving).
int64_t LocalTime(const CivilDate& d, int hour, int minute, int second);

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

class TimelineModel {
public:
  // Cell states; a cell only ever rises.
  static constexpr int kEmpty = 0;
  static constexpr int kRecording = 2;
  static constexpr int kReadOnly = 3;

  static Rgb StatusColour(int status);

  void Clear();
  // Raises the hours and minutes of [start, end] that lie in the day
  // [dayStart, dayEnd] to status.
  void MarkSpan(int64_t start, int64_t end, int64_t dayStart, int64_t dayEnd, int status);
  // Both tables for the day from the recordings (none: all empty).
  void Rebuild(const CivilDate& date, const std::vector<RecordingEntry>& recordings);

  int Minute(int hour, int minute) const { return minutes_[Index(hour)][Index60(minute)]; }
  int Hour(int hour) const { return hours_[Index(hour)]; }

  // Status of column c of a grid whose column 0 stands for minute (hour) offset;
  // minute grids show the selected hour.
  int MinuteCell(int column, int offset) const { return Minute(selectedHour_, column + offset); }
  int HourCell(int column, int offset) const { return Hour(column + offset); }

  const CivilDate& SelectedDate() const { return date_; }
  void SelectDate(const CivilDate& d) { date_ = d; }
  int SelectedHour() const { return selectedHour_; }
  int SelectedMinute() const { return selectedMinute_; }

  // A click on column of an hour grid whose column 0 is hour offset: selects
  // the hour. False for a click outside the cells.
  bool ClickHour(int column, int offset);
  // A click on a minute grid: selects the minute; when it holds a recording,
  // returns the local time of that minute on the selected day and hour, to be
  // played.
  std::optional<int64_t> ClickMinute(int column, int offset);

private:
  static size_t Index(int h) { return static_cast<size_t>(h < 0 ? 0 : h > 23 ? 23 : h); }
  static size_t Index60(int m) { return static_cast<size_t>(m < 0 ? 0 : m > 59 ? 59 : m); }
  void Raise(int hour, int fromMinute, int toMinute, int status);

  std::array<std::array<int, 60>, 24> minutes_{};
  std::array<int, 24> hours_{};
  CivilDate date_;
  int selectedHour_ = 0;
  int selectedMinute_ = 0;
};

// Every calendar day that a recording spans, each once, in order. Days are
// stepped as calendar days, so days of 23 or 25 hours count once each.
std::vector<CivilDate> RecordingDays(const std::vector<RecordingEntry>& recordings);
