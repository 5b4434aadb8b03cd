#pragma once
// Where everything sits in the main window and in the play control panel, for
// each of the three UI modes (0 = 960*600, 1 = 1280*800, 2 = 1920*1080). The
// windows only read these tables; no rectangle is written anywhere else.
#include <array>
#include <optional>
#include <vector>

namespace layout {

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
  bool operator==(const Rect&) const = default;
};

struct Size {
  int width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

constexpr int kUiModes = 3;
// A UI mode outside 0..2 is taken as the nearest one.
int ClampUiMode(int uiMode);

// Control ids of the main window.
enum MainId : int {
  kIdClose = 1008,
  kIdMaximize = 1009,
  kIdMinimize = 1010,
  kIdMinuteGrid1 = 1019,
  kIdHourGrid1 = 1020,
  kIdCalendar = 1021,
  kIdMinuteGrid2 = 1022,
  kIdHourGrid2 = 1023,
  kIdBanner = 1050,
};

// One timeline grid: where it sits, whether it is shown, how many columns it has
// and which minute (hour) its column 0 stands for.
struct GridPlace {
  int id = 0;
  bool visible = true;
  Rect rect;
  int columns = 0;
  int offset = 0;
  bool minutes = true; // a minute grid (else an hour grid)
};

struct MainLayout {
  Size window;
  int background = 0; // skin bitmap number
  Rect banner;
  int bannerBitmap = 459;
  // The notice line about the playing recording: the title bar from the video
  // area's left edge to the Minimize button; the banner gives way to it.
  Rect notice;
  Rect close;
  Rect minimize;
  int closeBitmap = 134, maximizeBitmap = 135, minimizeBitmap = 136;
  Rect video;  // dock rectangle of the video area
  Rect panel;
  Rect map;    // dock rectangle of the map window
  std::array<GridPlace, 4> grids; // 1019, 1022, 1020, 1023
  Rect calendar;
  Size floatingVideo{800, 470};
};

const MainLayout& MainLayoutFor(int uiMode);
// The grid with this control id in the layout, or null.
const GridPlace* FindGrid(const MainLayout& layout, int id);

// Widths of n columns that share w pixels: column c gets
// trunc((c + 1) * w / n) - trunc(c * w / n), so neighbours differ by at most one
// pixel and the widths add up to w.
std::vector<int> ColumnWidths(int w, int n);

// Control ids of the play control panel.
enum PanelId : int {
  kIdPrevFile = 233,
  kIdPrevFrame = 216,
  kIdBackwardPlay = 235,
  kIdPause = 230,
  kIdStop = 226,
  kIdPlay = 225,
  kIdNextFrame = 217,
  kIdNextFile = 229,
  kIdMarkIn = 237,
  kIdMarkOut = 238,
  kIdBackup = 239,
  kIdOpen = 231,
  kIdSave = 236,
  kIdSnapshot = 220,
  kIdMap = 232,
  kIdConfig = 234,
  kIdSdSet = 221,
  kIdMute = 1013,
  kIdFaster = 227,
  kIdSlower = 228,
  kIdSpeedDigits = 1006,
  kIdSpeedUnit = 1007,
  kIdPositionSlider = 1014,
  kIdVolumeSlider = 1015,
  kIdSpeedSlider = 1016,
  kIdFrameCount = 1017,
  kIdSeparator = 1018,
};

// Commands of the open menu.
constexpr int kCmdOpenCard = 5001;
constexpr int kCmdOpenFile = 5002;

// One button of the panel: its place (absent: not shown in this layout), its
// bitmap and the English key of its tooltip (empty: none).
struct ButtonPlace {
  int id = 0;
  std::optional<Rect> rect;
  int bitmap = 0;
  int altBitmap = 0; // while a backup runs (239), while muted (1013); 0: none
  const char* tooltip = "";
};

struct SliderPlace {
  int id = 0;
  int number = 0; // the slider number its messages carry
  Rect rect;      // top-left and one cell of the track bitmap
  int trackBitmap = 0;
  int thumbBitmap = 0;
  int rangeMax = 0;
  const char* tooltip = "";
};

struct PanelLayout {
  double scale = 1.0; // r
  Size size;
  int background = 0;
  std::vector<ButtonPlace> buttons; // in the order the tooltips are registered
  std::array<SliderPlace, 3> sliders; // position, volume, speed
  Rect speedDigits;
  Rect speedUnit;
  int unitBitmapMph = 167, unitBitmapKnot = 166;
  Rect separator;
  // The G-sensor graph: bitmap, where it is copied, origin and scale of the curves.
  int graphBitmap = 0;
  Size graphBitmapSize;
  Rect graph;
  int graphX0 = 0, graphY0 = 0, graphK = 0;
  int historySize = 0; // G-sensor samples kept
  // The compass: dial bitmap, where it is copied, needle centre, needle bitmap.
  int dialBitmap = 0;
  Size dialBitmapSize;
  Rect dial;
  int needleCentreX = 0, needleCentreY = 0;
  int needleBitmap = 158;
  Size needleSize{15, 51};
  int needleLeft = -7, needleTop = -43; // top-left of the needle around the centre
  int latitudeX = 0, latitudeY = 0, longitudeX = 0, longitudeY = 0; // in the dial
  // The volume wedge: filled and empty bitmaps, where it is drawn.
  int wedgeFull = 0, wedgeEmpty = 0;
  Size wedgeBitmapSize;
  int wedgeX = 0, wedgeY = 0, wedgeHeight = 0;
};

const PanelLayout& PanelLayoutFor(int uiMode);
const ButtonPlace* FindButton(const PanelLayout& layout, int id);

// The volume wedge for a volume slider position (0 loud .. 27 silent): the
// empty part's columns [0, a) and the filled part from a on, in bitmap columns,
// and where both are copied in the panel.
struct WedgeParts {
  int a = 0;               // bitmap columns of the empty part
  Rect empty;              // panel rectangle of the empty part
  int filledSourceX = 0;   // first bitmap column of the filled part
  Rect filled;             // panel rectangle of the filled part
};
WedgeParts VolumeWedge(const PanelLayout& layout, int sliderPosition);

} // namespace layout
