// The timelines: which hours and minutes a recording marks, what clicks mean,
// and the calendar's days, in a zone with daylight saving.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "app/logic/timeline.h"

namespace {

// Central European time, with its summer time rules written out (no zone files needed).
class CentralEurope : public ::testing::Test {
protected:
  void SetUp() override {
    const char* old = std::getenv("TZ");
    saved_ = old ? old : "";
    hadTz_ = old != nullptr;
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
  }
  void TearDown() override {
    if (hadTz_) ::setenv("TZ", saved_.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }
  std::string saved_;
  bool hadTz_ = false;
};

int64_t At(CivilDate d, int h, int m) { return LocalTime(d, h, m, 0); }

// The marked minutes of a model as text: "HH:MM-HH:MM=v" runs, hours as "hH=v".
std::string Marks(const TimelineModel& t) {
  std::string out;
  for (int h = 0; h < 24; ++h) {
    if (t.Hour(h)) out += "h" + std::to_string(h) + "=" + std::to_string(t.Hour(h)) + " ";
    for (int m = 0; m < 60;) {
      const int v = t.Minute(h, m);
      int e = m;
      while (e + 1 < 60 && t.Minute(h, e + 1) == v) ++e;
      if (v) {
        char run[40];
        std::snprintf(run, sizeof run, "%02d:%02d-%02d:%02d=%d ", h, m, h, e, v);
        out += run;
      }
      m = e + 1;
    }
  }
  return out;
}

struct Span {
  CivilDate startDay;
  int sh, sm;
  CivilDate endDay;
  int eh, em;
  int readOnly;
};

RecordingEntry Entry(const Span& s) {
  RecordingEntry e;
  e.startTime = At(s.startDay, s.sh, s.sm);
  e.endTime = At(s.endDay, s.eh, s.em);
  e.readOnly = s.readOnly;
  return e;
}

} // namespace

TEST_F(CentralEurope, RecordingsMarkTheirHoursAndMinutesOfTheDay) {
  const CivilDate day{2024, 6, 1}, before{2024, 5, 31}, after{2024, 6, 2};
  const CivilDate fallBack{2025, 10, 26}; // 25 hours
  struct Case {
    const char* name;
    CivilDate shown;
    std::vector<Span> spans;
    const char* marks;
  };
  const Case cases[] = {
      {"across midnight", day, {{before, 23, 50, day, 0, 10, 0}}, "h0=2 00:00-00:10=2 "},
      {"within an hour", day, {{day, 10, 20, day, 10, 40, 0}}, "h10=2 10:20-10:40=2 "},
      {"over two hours", day, {{day, 10, 50, day, 12, 5, 0}}, "h10=2 10:50-10:59=2 h11=2 11:00-11:59=2 h12=2 12:00-12:05=2 "},
      {"into the next day", day, {{day, 23, 58, after, 0, 2, 0}}, "h23=2 23:58-23:59=2 "},
      {"read-only over normal",
       day,
       {{day, 9, 0, day, 9, 3, 0}, {day, 9, 2, day, 9, 4, 1}, {day, 9, 3, day, 9, 5, 0}},
       "h9=3 09:00-09:01=2 09:02-09:04=3 09:05-09:05=2 "},
      {"end before start", day, {{day, 10, 40, day, 10, 20, 0}}, ""},
      {"another day", day, {{after, 10, 0, after, 11, 0, 0}}, ""},
      {"last hour of a 25-hour day", fallBack, {{fallBack, 23, 30, fallBack, 23, 45, 0}}, "h23=2 23:30-23:45=2 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<RecordingEntry> list;
    for (const auto& s : c.spans) list.push_back(Entry(s));
    TimelineModel t;
    t.Rebuild(c.shown, list);
    EXPECT_EQ(Marks(t), c.marks);
  }
  // A day wholly covered, and the colours.
  TimelineModel all;
  all.Rebuild(day, {Entry({before, 12, 0, after, 12, 0, 1})});
  for (int h = 0; h < 24; ++h) EXPECT_EQ(all.Minute(h, 59), TimelineModel::kReadOnly);
  EXPECT_EQ(TimelineModel::StatusColour(0), (Rgb{104, 104, 104}));
  EXPECT_EQ(TimelineModel::StatusColour(2), (Rgb{0, 255, 0}));
  EXPECT_EQ(TimelineModel::StatusColour(3), (Rgb{255, 0, 0}));
}

TEST_F(CentralEurope, ClicksSelectHoursAndPlayMarkedMinutes) {
  const CivilDate day{2024, 6, 1};
  TimelineModel t;
  t.SelectDate(day);
  t.Rebuild(day, {Entry({day, 14, 31, day, 14, 33, 0})});
  // Column 0 of the second hour grid is hour 12, of the second minute grid minute 30.
  EXPECT_TRUE(t.ClickHour(2, 12));
  EXPECT_EQ(t.SelectedHour(), 14);
  EXPECT_EQ(t.MinuteCell(1, 30), TimelineModel::kRecording);
  EXPECT_EQ(t.HourCell(2, 12), TimelineModel::kRecording);
  EXPECT_EQ(t.ClickMinute(2, 30), At(day, 14, 32));
  EXPECT_EQ(t.SelectedMinute(), 32);
  EXPECT_EQ(t.ClickMinute(0, 30), std::nullopt) << "grey minute";
  EXPECT_EQ(t.SelectedMinute(), 30);
  EXPECT_EQ(t.ClickMinute(-1, 0), std::nullopt);
  EXPECT_FALSE(t.ClickHour(-1, 0));
  EXPECT_EQ(t.SelectedHour(), 14);
  // The selection survives a rebuild.
  t.Rebuild(day, {});
  EXPECT_EQ(t.SelectedHour(), 14);
  EXPECT_EQ(t.MinuteCell(1, 30), TimelineModel::kEmpty);
}

TEST_F(CentralEurope, CalendarMarksEveryDaySpannedAlsoAcrossA25HourDay) {
  const std::vector<RecordingEntry> list = {
      Entry({{2025, 10, 25}, 12, 0, {2025, 10, 28}, 1, 0, 0}), // over the change back from summer time
      Entry({{2025, 3, 29}, 23, 0, {2025, 3, 31}, 0, 0, 0}),   // over the 23-hour day
      Entry({{2025, 12, 31}, 23, 59, {2026, 1, 1}, 0, 1, 0}),
  };
  const std::vector<CivilDate> want = {{2025, 3, 29}, {2025, 3, 30}, {2025, 3, 31}, {2025, 10, 25},
                                       {2025, 10, 26}, {2025, 10, 27}, {2025, 10, 28}, {2025, 12, 31},
                                       {2026, 1, 1}};
  EXPECT_EQ(RecordingDays(list), want);
  EXPECT_EQ(NextDay({2024, 2, 28}), (CivilDate{2024, 2, 29}));
  EXPECT_EQ(NextDay({2023, 2, 28}), (CivilDate{2023, 3, 1}));
}
