#include "app/logic/timeline.h"

#include <algorithm>
#include <ctime>
#include <set>

namespace {

int DaysInMonth(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

struct LocalParts {
  int hour = 0, minute = 0;
};

LocalParts LocalHm(int64_t t) {
  time_t tt = static_cast<time_t>(t);
  struct tm tmv {};
  if (!::localtime_r(&tt, &tmv)) return {};
  return {tmv.tm_hour, tmv.tm_min};
}

} // namespace

CivilDate NextDay(const CivilDate& d) {
  CivilDate n = d;
  if (++n.day > DaysInMonth(n.year, n.month)) {
    n.day = 1;
    if (++n.month > 12) {
      n.month = 1;
      ++n.year;
    }
  }
  return n;
}

CivilDate LocalDate(int64_t t) {
  time_t tt = static_cast<time_t>(t);
  struct tm tmv {};
  if (!::localtime_r(&tt, &tmv)) return {};
  return {tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday};
}

int64_t LocalTime(const CivilDate& d, int hour, int minute, int second) {
  struct tm tmv {};
  tmv.tm_year = d.year - 1900;
  tmv.tm_mon = d.month - 1;
  tmv.tm_mday = d.day;
  tmv.tm_hour = hour;
  tmv.tm_min = minute;
  tmv.tm_sec = second;
  tmv.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tmv));
}

Rgb TimelineModel::StatusColour(int status) {
  switch (status) {
    case kRecording: return {0, 255, 0};
    case kReadOnly: return {255, 0, 0};
    default: return {104, 104, 104};
  }
}

void TimelineModel::Clear() {
  for (auto& h : minutes_) h.fill(kEmpty);
  hours_.fill(kEmpty);
}

void TimelineModel::Raise(int hour, int fromMinute, int toMinute, int status) {
  const size_t h = Index(hour);
  hours_[h] = std::max(hours_[h], status);
  for (int m = std::max(fromMinute, 0); m <= std::min(toMinute, 59); ++m)
    minutes_[h][static_cast<size_t>(m)] = std::max(minutes_[h][static_cast<size_t>(m)], status);
}

void TimelineModel::MarkSpan(int64_t start, int64_t end, int64_t dayStart, int64_t dayEnd, int status) {
  if (start > end || start > dayEnd || end < dayStart) return;
  const LocalParts s = LocalHm(start), e = LocalHm(end);
  if (start <= dayStart) {
    if (end >= dayEnd) {
      for (int h = 0; h < 24; ++h) Raise(h, 0, 59, status);
    } else {
      for (int h = 0; h < e.hour; ++h) Raise(h, 0, 59, status);
      Raise(e.hour, 0, e.minute, status);
    }
    return;
  }
  if (end >= dayEnd) {
    Raise(s.hour, s.minute, 59, status);
    for (int h = s.hour + 1; h < 24; ++h) Raise(h, 0, 59, status);
    return;
  }
  Raise(s.hour, s.minute, s.hour < e.hour ? 59 : e.minute, status);
  for (int h = s.hour + 1; h < e.hour; ++h) Raise(h, 0, 59, status);
  if (s.hour < e.hour) Raise(e.hour, 0, e.minute, status);
}

void TimelineModel::Rebuild(const CivilDate& date, const std::vector<RecordingEntry>& recordings) {
  Clear();
  // The day's last second is found on the calendar, not as 86399 seconds after
  // midnight: days of 23 and 25 hours exist.
  const int64_t dayStart = LocalTime(date, 0, 0, 0);
  const int64_t dayEnd = LocalTime(date, 23, 59, 59);
  for (const auto& e : recordings)
    MarkSpan(e.startTime, e.endTime, dayStart, dayEnd, e.readOnly ? kReadOnly : kRecording);
}

bool TimelineModel::ClickHour(int column, int offset) {
  if (column < 0 || column + offset > 23) return false;
  selectedHour_ = column + offset;
  return true;
}

std::optional<int64_t> TimelineModel::ClickMinute(int column, int offset) {
  if (column < 0 || column + offset > 59) return std::nullopt;
  selectedMinute_ = column + offset;
  const int status = Minute(selectedHour_, selectedMinute_);
  if (status != kRecording && status != kReadOnly) return std::nullopt;
  return LocalTime(date_, selectedHour_, selectedMinute_, 0);
}

std::vector<CivilDate> RecordingDays(const std::vector<RecordingEntry>& recordings) {
  std::set<CivilDate> days;
  for (const auto& e : recordings) {
    if (e.endTime < e.startTime) continue;
    const CivilDate last = LocalDate(e.endTime);
    // A span of years would be a broken time stamp; a card holds days, not decades.
    int guard = 0;
    for (CivilDate d = LocalDate(e.startTime); d <= last && guard < 3700; d = NextDay(d), ++guard) days.insert(d);
  }
  return {days.begin(), days.end()};
}
