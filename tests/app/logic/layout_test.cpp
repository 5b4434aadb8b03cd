// The layout tables: what the windows place, for each UI mode.
#include <gtest/gtest.h>

#include <numeric>

#include "app/logic/layout.h"

using namespace layout;

namespace {

bool Inside(const Rect& r, Size s) { return r.x >= 0 && r.y >= 0 && r.Right() <= s.width && r.Bottom() <= s.height; }
bool Overlap(const Rect& a, const Rect& b) {
  return a.x < b.Right() && b.x < a.Right() && a.y < b.Bottom() && b.y < a.Bottom();
}

} // namespace

TEST(MainLayout, RectanglesOfEachMode) {
  struct Case {
    int mode;
    Size window;
    int background;
    Rect video, panel, map, minute1, hour2, calendar;
    int closeX;
  };
  const Case cases[] = {
      {0, {960, 600}, 438, {205, 31, 751, 414}, {0, 0, 203, 600}, {695, 448, 261, 148}, {236, 476, 247, 12},
       {249, 569, 233, 12}, {496, 462, 191, 124}, 919},
      {1, {1280, 800}, 131, {273, 31, 1002, 563}, {0, 0, 271, 800}, {924, 596, 350, 198}, {314, 634, 328, 14},
       {331, 758, 311, 16}, {664, 626, 247, 147}, 1239},
      {2, {1920, 1080}, 448, {315, 31, 1598, 898}, {21, 280, 271, 800}, {1322, 933, 593, 143}, {373, 976, 658, 12},
       {}, {1059, 941, 253, 129}, 1879},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    const MainLayout& m = MainLayoutFor(c.mode);
    EXPECT_EQ(m.window, c.window);
    EXPECT_EQ(m.background, c.background);
    EXPECT_EQ(m.video, c.video);
    EXPECT_EQ(m.panel, c.panel);
    EXPECT_EQ(m.map, c.map);
    EXPECT_EQ(FindGrid(m, kIdMinuteGrid1)->rect, c.minute1);
    EXPECT_EQ(FindGrid(m, kIdHourGrid2)->rect, c.hour2);
    EXPECT_EQ(m.calendar, c.calendar);
    EXPECT_EQ(m.close, (Rect{c.closeX, 2, 28, 24}));
    EXPECT_EQ(m.minimize, (Rect{c.closeX - 28, 2, 28, 24}));
    for (const Rect& r : {m.video, m.map, m.calendar, m.banner, m.close}) EXPECT_TRUE(Inside(r, m.window));
  }
  // The widest layout carries each timeline in one grid.
  const MainLayout& wide = MainLayoutFor(2);
  EXPECT_EQ(FindGrid(wide, kIdMinuteGrid1)->columns, 60);
  EXPECT_EQ(FindGrid(wide, kIdHourGrid1)->columns, 24);
  EXPECT_FALSE(FindGrid(wide, kIdMinuteGrid2)->visible);
  EXPECT_FALSE(FindGrid(wide, kIdHourGrid2)->visible);
  EXPECT_EQ(FindGrid(MainLayoutFor(0), kIdMinuteGrid2)->offset, 30);
  EXPECT_EQ(FindGrid(MainLayoutFor(1), kIdHourGrid2)->offset, 12);
  EXPECT_EQ(&MainLayoutFor(7), &MainLayoutFor(2));
}

TEST(MainLayout, ColumnWidthsShareTheGridWithinOnePixel) {
  for (auto [w, n] : {std::pair{328, 30}, {247, 30}, {658, 60}, {311, 12}, {622, 24}}) {
    const auto widths = ColumnWidths(w, n);
    ASSERT_EQ(widths.size(), static_cast<size_t>(n));
    EXPECT_EQ(std::accumulate(widths.begin(), widths.end(), 0), w);
    for (int x : widths) EXPECT_TRUE(x == w / n || x == w / n + 1) << w << "/" << n << ": " << x;
  }
}

TEST(PanelLayout, ButtonRowsAndControlsOfEachMode) {
  const PanelLayout& big = PanelLayoutFor(1);
  EXPECT_EQ(*FindButton(big, kIdPrevFile)->rect, (Rect{16, 633, 32, 22}));
  EXPECT_EQ(*FindButton(big, kIdPlay)->rect, (Rect{216, 633, 32, 22}));
  EXPECT_EQ(*FindButton(big, kIdBackup)->rect, (Rect{192, 665, 32, 22}));
  EXPECT_EQ(*FindButton(big, kIdConfig)->rect, (Rect{222, 717, 37, 34}));
  EXPECT_EQ(big.sliders[0].rect, (Rect{12, 440, 244, 18}));
  EXPECT_EQ(big.speedDigits, (Rect{10, 371, 160, 50}));
  EXPECT_EQ(big.historySize, 220);

  const PanelLayout& small = PanelLayoutFor(0);
  EXPECT_EQ(small.scale, 0.75);
  EXPECT_EQ(*FindButton(small, kIdPlay)->rect, (Rect{166, 474, 32, 22}));
  EXPECT_EQ(*FindButton(small, kIdConfig)->rect, (Rect{156, 537, 37, 34}));
  EXPECT_EQ(small.sliders[2].rect, (Rect{42, 366, 149, 8}));
  EXPECT_EQ(small.speedDigits, (Rect{7, 278, 120, 37}));
  EXPECT_EQ(small.graph, (Rect{6, 210, 188, 55}));
  EXPECT_EQ(small.historySize, 165);
  EXPECT_EQ(small.latitudeX, 33);
  EXPECT_EQ(PanelLayoutFor(2).background, 454);

  // Every shown button (SD Card Setup and Mute included) lies inside the panel
  // and clear of the others and of the sliders and the volume wedge.
  for (int mode = 0; mode < kUiModes; ++mode) {
    SCOPED_TRACE(mode);
    const PanelLayout& p = PanelLayoutFor(mode);
    std::vector<Rect> taken;
    for (const auto& s : p.sliders) taken.push_back(s.rect);
    const WedgeParts wedge = VolumeWedge(p, 0);
    taken.push_back(wedge.filled);
    for (int id : {kIdSdSet, kIdMute}) ASSERT_TRUE(FindButton(p, id)->rect.has_value());
    for (const auto& b : p.buttons) {
      if (!b.rect) continue;
      EXPECT_TRUE(Inside(*b.rect, p.size)) << b.id;
      for (const Rect& t : taken) EXPECT_FALSE(Overlap(*b.rect, t)) << b.id;
      taken.push_back(*b.rect);
    }
  }
}

TEST(PanelLayout, VolumeWedgeSplitsAtTheSliderPosition) {
  const PanelLayout& big = PanelLayoutFor(1);
  WedgeParts loud = VolumeWedge(big, 0);
  EXPECT_EQ(loud.empty.width, 0);
  EXPECT_EQ(loud.filled, (Rect{54, 554, 202, 46}));
  WedgeParts silent = VolumeWedge(big, 27);
  EXPECT_EQ(silent.a, 194);
  EXPECT_EQ(silent.empty, (Rect{54, 554, 194, 46}));
  EXPECT_EQ(silent.filled, (Rect{248, 554, 8, 46}));
  WedgeParts small = VolumeWedge(PanelLayoutFor(0), 14);
  EXPECT_EQ(small.a, 101);
  EXPECT_EQ(small.empty, (Rect{41, 416, 76, 35}));
  EXPECT_EQ(small.filledSourceX, 75);
  EXPECT_EQ(small.filled, (Rect{116, 416, 76, 35}));
}
