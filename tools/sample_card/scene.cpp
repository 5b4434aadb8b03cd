#include "tools/sample_card/scene.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "tools/sample_card/frame_code.h"
#include "tools/sample_card/nmea.h"

namespace samplegen {
namespace {

constexpr double kTwoPi = 6.28318530717958647692;

// 5x7 glyphs, one string of 35 '0'/'1' per character, row after row.
struct Glyph {
  char c;
  const char* bits;
};
constexpr Glyph kGlyphs[] = {
    {'0', "01110100011001110101110011000101110"}, {'1', "00100011000010000100001000010001110"},
    {'2', "01110100010000100010001000100011111"}, {'3', "11111000100010000010000011000101110"},
    {'4', "00010001100101010010111110001000010"}, {'5', "11111100001111000001000011000101110"},
    {'6', "00110010001000011110100011000101110"}, {'7', "11111000010001000100010000100001000"},
    {'8', "01110100011000101110100011000101110"}, {'9', "01110100011000101111000010001001100"},
    {'A', "01110100011000111111100011000110001"}, {'B', "11110100011000111110100011000111110"},
    {'C', "01110100011000010000100001000101110"}, {'D', "11100100101000110001100011001011100"},
    {'E', "11111100001000011110100001000011111"}, {'F', "11111100001000011110100001000010000"},
    {'G', "01110100011000010111100011000101111"}, {'H', "10001100011000111111100011000110001"},
    {'I', "01110001000010000100001000010001110"}, {'J', "00111000100001000010000101001001100"},
    {'K', "10001100101010011000101001001010001"}, {'L', "10000100001000010000100001000011111"},
    {'M', "10001110111010110101100011000110001"}, {'N', "10001100011100110101100111000110001"},
    {'O', "01110100011000110001100011000101110"}, {'P', "11110100011000111110100001000010000"},
    {'Q', "01110100011000110001101011001001101"}, {'R', "11110100011000111110101001001010001"},
    {'S', "01111100001000001110000010000111110"}, {'T', "11111001000010000100001000010000100"},
    {'U', "10001100011000110001100011000101110"}, {'V', "10001100011000110001100010101000100"},
    {'W', "10001100011000110101101011010101010"}, {'X', "10001100010101000100010101000110001"},
    {'Y', "10001100011000101010001000010000100"}, {'Z', "11111000010001000100010001000011111"},
    {':', "00000011000110000000011000110000000"}, {'-', "00000000000000011111000000000000000"},
    {'.', "00000000000000000000000000110001100"}, {'/', "00000000010001000100010001000000000"},
    {'#', "01010010101111101010111110101001010"}, {'+', "00000001000010011111001000010000000"},
};

const char* GlyphBits(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const auto& g : kGlyphs)
    if (g.c == c) return g.bits;
  return nullptr;
}

Yuv Lerp(Yuv a, Yuv b, double f) {
  auto mix = [f](uint8_t p, uint8_t q) { return static_cast<uint8_t>(std::lround(p + (q - p) * f)); };
  return {mix(a.y, b.y), mix(a.u, b.u), mix(a.v, b.v)};
}

double Frac(double x) { return x - std::floor(x); }

std::string Pad(int64_t n, int width) {
  std::string s = std::to_string(n);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
  return s;
}

// The largest scale <= want at which the text fits into maxWidth (at least 1).
int FitScale(std::string_view text, int want, int maxWidth) {
  int s = std::max(1, want);
  while (s > 1 && TextWidth(text, s) > maxWidth) --s;
  return s;
}

} // namespace

Yuv RgbToYuv(int r, int g, int b) {
  double y = 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255.0;
  double u = 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0;
  double v = 128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255.0;
  auto clip = [](double x) { return static_cast<uint8_t>(std::clamp(std::lround(x), 0L, 255L)); };
  return {clip(y), clip(u), clip(v)};
}

void FillSpan(const YuvImage& img, int y, int x0, int x1, Yuv c) {
  if (y < 0 || y >= img.height) return;
  x0 = std::max(0, x0);
  x1 = std::min(img.width, x1);
  if (x0 >= x1) return;
  std::memset(img.y + static_cast<ptrdiff_t>(y) * img.yStride + x0, c.y, static_cast<size_t>(x1 - x0));
  if (y % 2 == 0) {
    int c0 = x0 / 2, c1 = (x1 + 1) / 2;
    std::memset(img.u + static_cast<ptrdiff_t>(y / 2) * img.uvStride + c0, c.u, static_cast<size_t>(c1 - c0));
    std::memset(img.v + static_cast<ptrdiff_t>(y / 2) * img.uvStride + c0, c.v, static_cast<size_t>(c1 - c0));
  }
}

void FillRect(const YuvImage& img, int x, int y, int w, int h, Yuv c) {
  for (int row = std::max(0, y); row < std::min(img.height, y + h); ++row) FillSpan(img, row, x, x + w, c);
}

int TextWidth(std::string_view text, int scale) {
  return text.empty() ? 0 : static_cast<int>(text.size()) * 6 * scale - scale;
}

void DrawText(const YuvImage& img, int x, int y, int scale, std::string_view text) {
  if (text.empty() || scale < 1) return;
  const Yuv black{16, 128, 128};
  // The box starts and ends on even rows so that its chroma is neutral throughout.
  int boxTop = (y - scale) & ~1, boxBottom = (y + 8 * scale + 1) & ~1;
  FillRect(img, x - scale, boxTop, TextWidth(text, scale) + 2 * scale, boxBottom - boxTop, black);
  for (size_t i = 0; i < text.size(); ++i) {
    const char* bits = GlyphBits(text[i]);
    if (!bits) continue;
    int gx = x + static_cast<int>(i) * 6 * scale;
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col) {
        if (bits[row * 5 + col] != '1') continue;
        for (int dy = 0; dy < scale; ++dy) {
          int py = y + row * scale + dy;
          if (py < 0 || py >= img.height) continue;
          int px0 = std::max(0, gx + col * scale), px1 = std::min(img.width, gx + (col + 1) * scale);
          if (px0 < px1)
            std::memset(img.y + static_cast<ptrdiff_t>(py) * img.yStride + px0, 235, static_cast<size_t>(px1 - px0));
        }
      }
  }
}

void DrawScene(const YuvImage& img, const SceneInfo& info) {
  const int W = img.width, H = img.height;
  const double t = static_cast<double>(info.cardFrame) / std::max(1, info.fps);
  const int strip = FrameCodeStripHeight(H);

  // Sky down to a horizon that moves up and down, its colours slowly changing.
  int horizon = strip + static_cast<int>((H - strip) * (0.45 + 0.06 * std::sin(kTwoPi * t / 5)));
  horizon = std::clamp(horizon, strip + 2, H - 2);
  const Yuv skyTop = RgbToYuv(30 + static_cast<int>(25 * std::sin(kTwoPi * t / 11)), 60, 150);
  const Yuv skyLow = RgbToYuv(160, 195, 230);
  for (int y = strip; y < horizon; ++y)
    FillSpan(img, y, 0, W, Lerp(skyTop, skyLow, static_cast<double>(y - strip) / (horizon - strip)));

  // Fields and road in perspective; stripes move towards the viewer.
  const Yuv field1 = RgbToYuv(60, 140, 50), field2 = RgbToYuv(40, 110, 40);
  const Yuv asphalt = RgbToYuv(95, 95, 100), line = RgbToYuv(240, 240, 240), dash = RgbToYuv(235, 200, 60);
  const double vanishX = W / 2.0 + W * 0.18 * std::sin(kTwoPi * t / 9);
  for (int y = horizon; y < H; ++y) {
    double d = static_cast<double>(y - horizon + 1) / (H - horizon); // 0 at the horizon, 1 at the bottom
    bool stripe = Frac(1.5 / d + t * 2.0) < 0.5;
    // Stripes thinner than 3 rows (near the horizon) would only flicker: blend them there.
    bool blend = 0.5 * d * d * (H - horizon) / 1.5 < 3.0;
    FillSpan(img, y, 0, W, blend ? Lerp(field1, field2, 0.5) : stripe ? field1 : field2);
    double cx = vanishX + (W / 2.0 - vanishX) * d;
    double half = W * (0.02 + 0.40 * d);
    double lw = std::max(1.0, W * 0.01 * d);
    FillSpan(img, y, static_cast<int>(cx - half), static_cast<int>(cx + half), asphalt);
    FillSpan(img, y, static_cast<int>(cx - half), static_cast<int>(cx - half + lw), line);
    FillSpan(img, y, static_cast<int>(cx + half - lw), static_cast<int>(cx + half), line);
    if (stripe) FillSpan(img, y, static_cast<int>(cx - lw / 2), static_cast<int>(cx + lw / 2 + 1), dash);
  }

  // A bar sweeping left to right every two seconds.
  const int barW = std::max(2, W / 48);
  const int barX = static_cast<int>(Frac(t / 2) * (W + barW)) - barW;
  FillRect(img, barX, strip, barW, H - strip, RgbToYuv(220, 40, 40));

  // The frame code strip (neutral chroma under it).
  DrawFrameNumber(img.y, W, H, img.yStride, PixelLayout::kLuma8, info.cardFrame);
  for (int y = 0; y < strip / 2; ++y) {
    std::memset(img.u + static_cast<ptrdiff_t>(y) * img.uvStride, 128, static_cast<size_t>(W / 2));
    std::memset(img.v + static_cast<ptrdiff_t>(y) * img.uvStride, 128, static_cast<size_t>(W / 2));
  }

  // Big digits of the frame number, and the file and in-file frame under them.
  const std::string big = Pad(info.cardFrame, 6);
  const int bigScale = FitScale(big, H / 40, W * 8 / 10);
  int y = strip + std::max(2, H / 30);
  DrawText(img, (W - TextWidth(big, bigScale)) / 2, y, bigScale, big);
  y += 9 * bigScale + std::max(2, H / 60);
  const std::string sub = "FILE " + Pad(info.fileNumber, 4) + " FRAME " + Pad(info.fileFrame, 4);
  const int subScale = FitScale(sub, H / 160, W - 4);
  DrawText(img, (W - TextWidth(sub, subScale)) / 2, y, subScale, sub);

  // Camera-style lines at the bottom: position and speed, then the clock.
  time_t clock = static_cast<time_t>(info.clock);
  struct tm tm {};
  localtime_r(&clock, &tm);
  char when[80];
  std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  std::string where = "NO GPS";
  if (info.fix) {
    where = std::string(info.latitude < 0 ? "S" : "N") + FormatFixed(std::fabs(info.latitude), 4) + " " +
            (info.longitude < 0 ? "W" : "E") + FormatFixed(std::fabs(info.longitude), 4) + " " +
            Pad(std::lround(info.speedKmh), 3) + "KM/H";
  }
  const int lineScale = std::min(FitScale(where, H / 160, W - 4), FitScale(when, H / 160, W - 4));
  const int margin = std::max(2, lineScale * 2);
  const int clockY = H - margin - 8 * lineScale;
  DrawText(img, margin, clockY, lineScale, when);
  DrawText(img, margin, clockY - 10 * lineScale, lineScale, where);
}

} // namespace samplegen
