#include "app/logic/layout.h"

#include <algorithm>
#include <cmath>

#include "platform/tr_key.h"

namespace layout {

int ClampUiMode(int uiMode) { return std::clamp(uiMode, 0, kUiModes - 1); }

namespace {

constexpr Size kTitleButton{28, 24};

Rect At(int x, int y, Size s) { return {x, y, s.width, s.height}; }

MainLayout MakeMain(int mode) {
  MainLayout m;
  struct Row {
    Size window;
    int background;
    Rect banner;
    int closeX, minimizeX;
    Rect video, panel, map;
    Rect minute1, minute2, hour1, hour2; // a zero width: hidden
    Rect calendar;
  };
  static const Row rows[kUiModes] = {
      {{960, 600}, 438, {340, 0, 474, 30}, 919, 891, {205, 31, 751, 414}, {0, 0, 203, 600},
       {695, 448, 261, 148}, {236, 476, 247, 12}, {236, 499, 247, 12}, {249, 535, 233, 12},
       {249, 569, 233, 12}, {496, 462, 191, 124}},
      {{1280, 800}, 131, {530, 0, 474, 30}, 1239, 1211, {273, 31, 1002, 563}, {0, 0, 271, 800},
       {924, 596, 350, 198}, {314, 634, 328, 14}, {314, 663, 328, 14}, {331, 713, 311, 16},
       {331, 758, 311, 16}, {664, 626, 247, 147}},
      {{1920, 1080}, 448, {875, 0, 474, 30}, 1879, 1851, {315, 31, 1598, 898}, {21, 280, 271, 800},
       {1322, 933, 593, 143}, {373, 976, 658, 12}, {}, {392, 1025, 622, 16}, {}, {1059, 941, 253, 129}},
  };
  const Row& r = rows[mode];
  m.window = r.window;
  m.background = r.background;
  m.banner = r.banner;
  m.close = At(r.closeX, 2, kTitleButton);
  m.minimize = At(r.minimizeX, 2, kTitleButton);
  m.notice = {r.video.x + 8, 3, r.minimizeX - 8 - (r.video.x + 8), 24};
  m.video = r.video;
  m.panel = r.panel;
  m.map = r.map;
  const bool wide = mode == 2; // one grid of each pair carries the whole range
  m.grids[0] = {kIdMinuteGrid1, true, r.minute1, wide ? 60 : 30, 0, true};
  m.grids[1] = {kIdMinuteGrid2, !wide, r.minute2, 30, 30, true};
  m.grids[2] = {kIdHourGrid1, true, r.hour1, wide ? 24 : 12, 0, false};
  m.grids[3] = {kIdHourGrid2, !wide, r.hour2, 12, 12, false};
  m.calendar = r.calendar;
  return m;
}

int Trunc(double v) { return static_cast<int>(v); }
int Round(double v) { return static_cast<int>(v + 0.5); }

PanelLayout MakePanel(int mode) {
  PanelLayout p;
  const bool small = mode == 0;
  const double r = small ? 0.75 : 1.0;
  p.scale = r;
  p.size = small ? Size{203, 600} : Size{271, 800};
  p.background = small ? 439 : mode == 1 ? 130 : 454;

  // Three rows of buttons: first rectangle and step.
  struct RowSpec {
    std::array<int, 6> ids;
    int count;
    int x, y, step;
    Size cell;
  };
  const Size small22{32, 22}, big34{37, 34};
  const RowSpec rows[3] = {
      {{kIdPrevFile, kIdPrevFrame, kIdBackwardPlay, kIdPause, kIdStop, kIdPlay}, 6, small ? 6 : 16,
       small ? 474 : 633, small ? 32 : 40, small22},
      {{kIdNextFrame, kIdNextFile, kIdMarkIn, kIdMarkOut, kIdBackup, 0}, 5, small ? 18 : 32, small ? 500 : 665,
       small ? 32 : 40, small22},
      {{kIdOpen, kIdSave, kIdSnapshot, kIdMap, kIdConfig, 0}, 5, small ? 8 : 10, small ? 537 : 717,
       small ? 37 : 53, big34},
  };
  auto rowRect = [&](int id) -> std::optional<Rect> {
    for (const auto& row : rows)
      for (int i = 0; i < row.count; ++i)
        if (row.ids[static_cast<size_t>(i)] == id) return At(row.x + i * row.step, row.y, row.cell);
    return std::nullopt;
  };
  // SD Card Setup below the third row, Mute left of the volume wedge: both
  // reachable in every layout.
  const Rect sdSet = small ? Rect{8, 575, 32, 22} : Rect{10, 765, 32, 22};
  const Rect mute = small ? Rect{6, 422, 32, 22} : Rect{14, 566, 32, 22};

  struct ButtonSpec {
    int id;
    int bitmap;
    int altBitmap;
    const char* tooltip;
  };
  // In the order the tooltips are registered.
  static const ButtonSpec buttons[] = {
      {kIdPrevFile, 161, 0, TR_KEY("PrevFile")},
      {kIdNextFile, 162, 0, TR_KEY("NextFile")},
      {kIdConfig, 163, 0, TR_KEY("Config")},
      {kIdMap, 437, 0, TR_KEY("Map")},
      {kIdPause, 141, 0, TR_KEY("Pause")},
      {kIdOpen, 139, 0, TR_KEY("Open")},
      {kIdNextFrame, 145, 0, TR_KEY("NextFrame")},
      {kIdSnapshot, 147, 0, TR_KEY("SnapShot")},
      {kIdStop, 142, 0, TR_KEY("Stop")},
      {kIdPlay, 140, 0, TR_KEY("Play")},
      {kIdBackwardPlay, 447, 0, TR_KEY("BackWardPlay")},
      {kIdPrevFrame, 146, 0, TR_KEY("PreFrame")},
      {kIdSave, 449, 0, TR_KEY("Save The Playing File")},
      {kIdMarkIn, 450, 0, TR_KEY("Mark In")},
      {kIdMarkOut, 451, 0, TR_KEY("Mark Out")},
      {kIdBackup, 452, 456, TR_KEY("Backup")},
      {kIdSdSet, 457, 0, TR_KEY("SD Card Setup")},
      {kIdMute, 148, 138, TR_KEY("Mute")},
      {kIdFaster, 143, 0, ""},
      {kIdSlower, 144, 0, ""},
  };
  for (const auto& b : buttons) {
    ButtonPlace place{b.id, rowRect(b.id), b.bitmap, b.altBitmap, b.tooltip};
    if (b.id == kIdSdSet) place.rect = sdSet;
    if (b.id == kIdMute) place.rect = mute;
    p.buttons.push_back(place);
  }

  p.sliders[0] = {kIdPositionSlider, 1, small ? Rect{9, 330, 183, 18} : Rect{12, 440, 244, 18}, small ? 446 : 133,
                  151, 1000, ""};
  p.sliders[1] = {kIdVolumeSlider, 2, small ? Rect{42, 402, 149, 16} : Rect{56, 537, 199, 16}, small ? 442 : 152,
                  155, 27, TR_KEY("Volume")};
  p.sliders[2] = {kIdSpeedSlider, 3, small ? Rect{42, 366, 149, 8} : Rect{55, 489, 199, 10}, small ? 445 : 153,
                  154, 8, TR_KEY("Speed")};

  p.speedDigits = {Trunc(10 * r), Trunc(371 * r), Trunc(160 * r), Trunc(50 * r)};
  p.speedUnit = {Trunc(185 * r), Trunc(381 * r), Trunc(52 * r), Trunc(20 * r)};
  p.separator = small ? Rect{9, 325, 183, 2} : Rect{12, 435, 244, 2};

  p.graphBitmap = small ? 441 : 132;
  p.graphBitmapSize = small ? Size{188, 55} : Size{251, 73};
  p.graph = {Trunc(9 * r), Trunc(281 * r), Round(251 * r), Round(73 * r)};
  p.graphX0 = Trunc(30 * r);
  p.graphY0 = Trunc(38 * r);
  p.graphK = Trunc(33 * r);
  p.historySize = Trunc(220 * r);

  p.dialBitmap = small ? 440 : 156;
  p.dialBitmapSize = small ? Size{162, 171} : Size{216, 209};
  p.dial = {Trunc(25 * r), Trunc(20 * r), Trunc(216 * r), Trunc(209 * r)};
  p.needleCentreX = Trunc(108 * r);
  p.needleCentreY = Trunc(87 * r);
  const int textX = Trunc((small ? 45 : 56) * r);
  p.latitudeX = p.longitudeX = textX;
  p.latitudeY = Trunc(178 * r);
  p.longitudeY = Trunc(191 * r);

  p.wedgeFull = small ? 444 : 159;
  p.wedgeEmpty = small ? 443 : 160;
  p.wedgeBitmapSize = small ? Size{152, 35} : Size{202, 46};
  p.wedgeX = Round(54 * r);
  p.wedgeY = Round(554 * r);
  p.wedgeHeight = Round(46 * r);
  return p;
}

} // namespace

const MainLayout& MainLayoutFor(int uiMode) {
  static const std::array<MainLayout, kUiModes> all = {MakeMain(0), MakeMain(1), MakeMain(2)};
  return all[static_cast<size_t>(ClampUiMode(uiMode))];
}

const GridPlace* FindGrid(const MainLayout& layout, int id) {
  for (const auto& g : layout.grids)
    if (g.id == id) return &g;
  return nullptr;
}

std::vector<int> ColumnWidths(int w, int n) {
  std::vector<int> widths;
  if (n <= 0) return widths;
  // In integers: w / n as a double times n can fall short of w (247 / 30 * 30
  // is 246.999...), which would leave the last pixel column unpainted.
  for (int c = 0; c < n; ++c) widths.push_back((c + 1) * w / n - c * w / n);
  return widths;
}

const PanelLayout& PanelLayoutFor(int uiMode) {
  static const std::array<PanelLayout, kUiModes> all = {MakePanel(0), MakePanel(1), MakePanel(2)};
  return all[static_cast<size_t>(ClampUiMode(uiMode))];
}

const ButtonPlace* FindButton(const PanelLayout& layout, int id) {
  for (const auto& b : layout.buttons)
    if (b.id == id) return &b;
  return nullptr;
}

WedgeParts VolumeWedge(const PanelLayout& layout, int sliderPosition) {
  const double r = layout.scale;
  WedgeParts w;
  w.a = std::clamp(sliderPosition * 202 / 28, 0, 202);
  w.empty = {layout.wedgeX, layout.wedgeY, Round(w.a * r), layout.wedgeHeight};
  w.filledSourceX = Trunc(w.a * r);
  w.filled = {Round((w.a + 54) * r), layout.wedgeY, Round((202 - w.a) * r), layout.wedgeHeight};
  return w;
}

} // namespace layout
