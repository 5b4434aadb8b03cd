// The telemetry display's history and repaint timing, and the key table.
#include <gtest/gtest.h>

#include <set>

#include "app/logic/keymap.h"
#include "app/logic/layout.h"
#include "app/logic/telemetry_display.h"

TEST(GSensorHistory, KeepsTheNewestSamplesOfTheLayout) {
  for (int mode : {0, 1}) {
    GSensorHistory h(layout::PanelLayoutFor(mode).historySize);
    for (int i = 0; i < 221; ++i) h.Add({double(i), 0, 0});
    const size_t keep = mode == 0 ? 165 : 220;
    ASSERT_EQ(h.Samples().size(), keep);
    EXPECT_EQ(h.Samples().front().x, 221.0 - keep);
    EXPECT_EQ(h.Samples().back().x, 220.0);
  }
  GSensorHistory h(3);
  h.Add({0, 1, -1});
  h.Add({5, 0, 2.5});
  const auto pts = GraphPoints(h.Samples(), GAxis::Z, 30, 38, 33);
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_EQ(pts[0].x, 30);
  EXPECT_EQ(pts[0].y, 38 + 6); // trunc(-1 / 5 * 33) = -6
  EXPECT_EQ(pts[1].x, 31);
  EXPECT_EQ(pts[1].y, 38 - 16);
}

TEST(RepaintThrottle, AtMostEvery150MsAndTheLastSampleOfABurstIsPainted) {
  RepaintThrottle t;
  auto now = t.OnSample(1000);
  EXPECT_TRUE(now.paintNow);
  // A burst: the first sample within 150 ms schedules a paint for its end, the
  // others wait for it.
  auto d = t.OnSample(1040);
  EXPECT_FALSE(d.paintNow);
  EXPECT_EQ(d.scheduleInMs, 111);
  d = t.OnSample(1100);
  EXPECT_FALSE(d.paintNow);
  EXPECT_EQ(d.scheduleInMs, -1);
  EXPECT_TRUE(t.Scheduled());
  t.OnTimer(1151);
  EXPECT_FALSE(t.Scheduled());
  d = t.OnSample(1200);
  EXPECT_EQ(d.scheduleInMs, 102);
  t.OnTimer(1302);
  EXPECT_TRUE(t.OnSample(1500).paintNow);
}

TEST(KeyMap, KeysFollowCommonPlayersAndEachKeyHasOneMeaning) {
  const struct {
    int key;
    uint32_t mods;
    std::optional<PlayerCommand> want;
  } cases[] = {
      {keys::kSpace, 0, PlayerCommand::TogglePause},
      {keys::kPeriod, 0, PlayerCommand::StepForward},
      {keys::kComma, 0, PlayerCommand::StepBack},
      {keys::kBracketLeft, 0, PlayerCommand::Slower},
      {keys::kBracketRight, 0, PlayerCommand::Faster},
      {keys::kBackspace, 0, PlayerCommand::NormalSpeed},
      {keys::kLess, keys::kShift, PlayerCommand::PrevFile},
      {keys::kGreater, keys::kShift, PlayerCommand::NextFile},
      {keys::kGreater, 0, PlayerCommand::NextFile},
      {keys::kLeft, 0, PlayerCommand::SeekBack5},
      {keys::kUp, 0, PlayerCommand::SeekForward60},
      {keys::kS, 0, PlayerCommand::Snapshot},
      {keys::kI, 0, PlayerCommand::MarkIn},
      {keys::kO, 0, PlayerCommand::MarkOut},
      {keys::kO, keys::kControl, PlayerCommand::OpenFile},
      {keys::kF, 0, PlayerCommand::FullScreen},
      {keys::kM, 0, PlayerCommand::Mute},
      {keys::kEscape, 0, PlayerCommand::LeaveFullScreen},
      {keys::kS, keys::kControl, std::nullopt},
      {keys::kF, keys::kShift, std::nullopt},
      {0x41, 0, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(CommandForKey(c.key, c.mods), c.want) << c.key;
  std::set<std::pair<int, uint32_t>> seen;
  for (const auto& b : kKeyBindings) EXPECT_TRUE(seen.insert({b.key, b.modifiers}).second) << b.name;
  EXPECT_EQ(TooltipWithKeys("Pause", 230), "Pause (Space, P)");
  EXPECT_EQ(TooltipWithKeys("Config", 234), "Config");
  // The frame keys step exactly, which the frame buttons do not: their tooltips say so.
  EXPECT_EQ(TooltipWithKeys("NextFrame", 217, [](const char* s) { return "<" + std::string(s) + ">"; }),
            "NextFrame (.: <exactly the next picture>)");
}
