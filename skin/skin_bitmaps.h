#pragma once
#include <span>
#include <string>
#include <vector>

#include <QImage>
#include <QPixmap>

// The numbered skin bitmaps. Windows ask for a bitmap by its number only; the
// table in skin_bitmaps.cpp is the one place that knows which artwork file
// draws it, its size in logical pixels and how many state cells it holds.
// The artwork is SVG, rendered at the screen's pixel ratio so it stays sharp;
// sizes, cells and hit areas stay in logical pixels.
namespace skin {

struct SkinBitmapInfo {
  int number;
  const char* source; // artwork file under resources/skin/art/
  int width;          // logical pixels, the whole strip
  int height;
  int cells;          // 1 for a plain picture, 4 for a state strip
};

// Every numbered bitmap, in number order.
std::span<const SkinBitmapInfo> SkinBitmapTable();
// The entry of a number, or null.
const SkinBitmapInfo* FindSkinBitmap(int number);

// The bitmaps a UI mode lays out where the three layouts differ
// (0 = 960*600, 1 = 1280*800, 2 = 1920*1080).
struct SkinModeBitmaps {
  int mainBackground;  // main window
  int panelBackground; // play control panel
  int positionTrack;   // slider 1014
  int volumeTrack;     // slider 1015
  int speedTrack;      // slider 1016
  int gsensorGraph;
  int compassDial;
  int volumeFilled;
  int volumeEmpty;
};
// The mode's numbers; a mode outside 0..2 gives mode 1's.
const SkinModeBitmaps& SkinBitmapsOf(int uiMode);
// Every number the windows of a UI mode use (mode-specific and shared), sorted.
std::vector<int> SkinBitmapsForMode(int uiMode);

// The bitmap rendered for a pixel ratio (0: the primary screen's). The pixmap
// carries the ratio, so its logical size is the table's. Unknown numbers and
// artwork that cannot be read give a null pixmap. Rendered pictures are kept
// for the life of the process (GUI thread only).
QPixmap LoadSkinBitmap(int number, qreal devicePixelRatio = 0);
QImage LoadSkinImage(int number, qreal devicePixelRatio = 0);

// A word painted into a bitmap (a caption such as "TIMELINE"): the artwork
// marks it with the English key it is looked up by and the room it may take.
// It is painted in capitals in the language in use; a translation wider than
// its room is painted smaller so that it fits.
struct PaintedLabel {
  std::string key; // the English text looked up
  QString text;    // what is painted, before any shrinking
  double room;     // the width it may take, in logical pixels
  double width;    // the width the text needs at the artwork's size
};
// The painted words of a bitmap, in the language in use.
std::vector<PaintedLabel> PaintedLabelsOf(int number);

// The language in use changed: renders the bitmaps again from now on and
// tells every widget (QEvent::LanguageChange), so that skinned windows take
// their pictures and texts anew.
void ApplyLanguage();

} // namespace skin
