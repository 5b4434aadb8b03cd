#pragma once
// The pictures of the sample card: a road scene with the frame number (as blocks and
// digits), the camera clock, the file number, speed and position, drawn straight into
// a planar YUV 4:2:0 picture (video range, BT.601).
#include <cstdint>
#include <string>
#include <string_view>

namespace samplegen {

// A planar YUV 4:2:0 picture owned by someone else. Width and height are even.
struct YuvImage {
  int width = 0, height = 0;
  uint8_t* y = nullptr;
  int yStride = 0;
  uint8_t* u = nullptr;
  uint8_t* v = nullptr;
  int uvStride = 0;
};

struct Yuv {
  uint8_t y, u, v;
};

// BT.601 video range.
Yuv RgbToYuv(int r, int g, int b);

// Fills columns [x0, x1) of row y; the chroma of even rows covers the 2x2 blocks.
void FillSpan(const YuvImage& img, int y, int x0, int x1, Yuv c);
void FillRect(const YuvImage& img, int x, int y, int w, int h, Yuv c);

// Text in a 5x7 pixel font (digits, A-Z, a-z shown as capitals, space and : - . / # +;
// anything else shows as a blank), each glyph pixel `scale` x `scale`, one blank column
// between glyphs. A character cell is 6*scale wide and 7*scale high.
int TextWidth(std::string_view text, int scale);
// Draws white text on a black box (the box reaches `scale` pixels beyond the text on
// every side). (x, y) is the top left corner of the first glyph. Clipped to the picture.
void DrawText(const YuvImage& img, int x, int y, int scale, std::string_view text);

// What one picture shows.
struct SceneInfo {
  int64_t cardFrame = 0;  // the frame number across the card: the blocks and the big digits
  int64_t fileFrame = 0;  // the frame number within its file
  int fileNumber = 1;     // the file's sequence number
  int fps = 30;
  int64_t clock = 0;      // camera clock, seconds since 1970, shown as local time
  bool fix = true;        // GPS fix: shows position and speed, otherwise "NO GPS"
  double latitude = 0, longitude = 0, speedKmh = 0;
};

// Draws the whole picture: sky with a moving horizon, a road with dashes moving
// towards the viewer and a curve that swings, a red bar sweeping left to right every
// two seconds, the frame code strip (frame_code.h) with cardFrame, the big digits of
// cardFrame, "FILE nnnn FRAME ffff" below them, and at the bottom the position and
// speed and the camera clock "YYYY-MM-DD HH:MM:SS". Motion depends on cardFrame / fps.
void DrawScene(const YuvImage& img, const SceneInfo& info);

} // namespace samplegen
