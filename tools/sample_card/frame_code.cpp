#include "tools/sample_card/frame_code.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace samplegen {
namespace {

// The cells' values (true = white) for a number.
std::array<bool, kFrameCodeCells> Cells(int64_t frameNumber) {
  uint32_t n = static_cast<uint32_t>(((frameNumber % kFrameCodeModulus) + kFrameCodeModulus) % kFrameCodeModulus);
  std::array<bool, kFrameCodeCells> c{};
  c[0] = true;
  c[1] = false;
  bool even = false, odd = false;
  for (int bit = 0; bit < kFrameCodeBits; ++bit) {
    bool v = (n >> bit) & 1;
    c[static_cast<size_t>(2 + kFrameCodeBits - 1 - bit)] = v;
    if (bit % 2 == 0) even ^= v; else odd ^= v;
  }
  c[22] = even;
  c[23] = odd;
  c[24] = false;
  c[25] = true;
  return c;
}

int BytesPerPixel(PixelLayout layout) {
  switch (layout) {
    case PixelLayout::kBgra32:
    case PixelLayout::kRgba32: return 4;
    case PixelLayout::kRgb24:
    case PixelLayout::kBgr24: return 3;
    case PixelLayout::kRgb565: return 2;
    case PixelLayout::kLuma8: return 1;
  }
  return 1;
}

void PutLevel(uint8_t* p, PixelLayout layout, bool white) {
  uint8_t v = white ? 255 : 0;
  switch (layout) {
    case PixelLayout::kBgra32:
    case PixelLayout::kRgba32: p[0] = p[1] = p[2] = v; p[3] = 255; break;
    case PixelLayout::kRgb24:
    case PixelLayout::kBgr24: p[0] = p[1] = p[2] = v; break;
    case PixelLayout::kRgb565: p[0] = p[1] = v; break;
    case PixelLayout::kLuma8: p[0] = white ? 235 : 16; break;
  }
}

int LumaAt(const uint8_t* p, PixelLayout layout) {
  int r = 0, g = 0, b = 0;
  switch (layout) {
    case PixelLayout::kBgra32: b = p[0]; g = p[1]; r = p[2]; break;
    case PixelLayout::kRgba32: r = p[0]; g = p[1]; b = p[2]; break;
    case PixelLayout::kRgb24: r = p[0]; g = p[1]; b = p[2]; break;
    case PixelLayout::kBgr24: b = p[0]; g = p[1]; r = p[2]; break;
    case PixelLayout::kRgb565: {
      int w = p[0] | (p[1] << 8);
      r = ((w >> 11) & 31) * 255 / 31;
      g = ((w >> 5) & 63) * 255 / 63;
      b = (w & 31) * 255 / 31;
      break;
    }
    case PixelLayout::kLuma8: return p[0];
  }
  return (77 * r + 150 * g + 29 * b + 128) >> 8;
}

} // namespace

int FrameCodeStripHeight(int height) { return std::max(2, (height / 10) & ~1); }

void DrawFrameNumber(uint8_t* pixels, int width, int height, int strideBytes, PixelLayout layout,
                     int64_t frameNumber) {
  if (!pixels || width <= 0 || height <= 0) return;
  const auto cells = Cells(frameNumber);
  const int rows = std::min(height, FrameCodeStripHeight(height));
  const int bpp = BytesPerPixel(layout);
  for (int y = 0; y < rows; ++y) {
    uint8_t* row = pixels + static_cast<ptrdiff_t>(y) * strideBytes;
    for (int i = 0; i < kFrameCodeCells; ++i) {
      int x0 = i * width / kFrameCodeCells, x1 = (i + 1) * width / kFrameCodeCells;
      for (int x = x0; x < x1; ++x) PutLevel(row + static_cast<ptrdiff_t>(x) * bpp, layout, cells[static_cast<size_t>(i)]);
    }
  }
}

int DecodeFrameNumber(const uint8_t* pixels, int width, int height, int strideBytes, PixelLayout layout) {
  if (!pixels || width < kFrameCodeCells || height < 4) return -1;
  const int bpp = BytesPerPixel(layout);
  if (strideBytes < width * bpp) return -1;
  // The strip is the top tenth of the picture; sample the middle of its height.
  const double cellW = static_cast<double>(width) / kFrameCodeCells;
  const int cy = std::max(0, static_cast<int>(height * 0.05));
  const int ry = std::max(0, static_cast<int>(height * 0.02));
  const int rx = std::max(0, static_cast<int>(cellW * 0.2));
  std::array<int, kFrameCodeCells> level{};
  for (int i = 0; i < kFrameCodeCells; ++i) {
    int cx = static_cast<int>((i + 0.5) * cellW);
    int sum = 0, count = 0;
    for (int y = std::max(0, cy - ry); y <= std::min(height - 1, cy + ry); ++y) {
      const uint8_t* row = pixels + static_cast<ptrdiff_t>(y) * strideBytes;
      for (int x = std::max(0, cx - rx); x <= std::min(width - 1, cx + rx); ++x) {
        sum += LumaAt(row + static_cast<ptrdiff_t>(x) * bpp, layout);
        ++count;
      }
    }
    level[static_cast<size_t>(i)] = count ? sum / count : 0;
  }
  const int white = std::min(level[0], level[25]);
  const int black = std::max(level[1], level[24]);
  if (white - black < 40) return -1;
  const int threshold = (level[0] + level[25] + level[1] + level[24]) / 4;
  const int margin = (white - black) / 5;
  std::array<bool, kFrameCodeCells> cells{};
  for (int i = 0; i < kFrameCodeCells; ++i) {
    int v = level[static_cast<size_t>(i)];
    if (v >= threshold + margin) cells[static_cast<size_t>(i)] = true;
    else if (v <= threshold - margin) cells[static_cast<size_t>(i)] = false;
    else return -1;
  }
  int n = 0;
  for (int i = 2; i < 2 + kFrameCodeBits; ++i) n = (n << 1) | (cells[static_cast<size_t>(i)] ? 1 : 0);
  if (Cells(n) != cells) return -1;
  return n;
}

} // namespace samplegen
