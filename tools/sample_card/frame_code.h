#pragma once
// The frame number that every picture of a sample recording carries, as a row of
// black and white blocks that a test can read back from a decoded picture.
//
// Pattern: a strip across the whole width of the picture, at its top, FrameCodeStripHeight
// rows high (about a tenth of the height), divided into kFrameCodeCells = 26 equal cells:
//
//   cell  0       white  (marker)
//   cell  1       black  (marker)
//   cells 2..21   the 20 bits of the number, most significant first; white = 1
//   cell  22      parity of the bits in even positions (bit 0, 2, ... 18): white when odd
//   cell  23      parity of the bits in odd positions (bit 1, 3, ... 19): white when odd
//   cell  24      black  (marker)
//   cell  25      white  (marker)
//
// Cell i spans columns i*width/26 to (i+1)*width/26 (integer division). The blocks are
// large enough to survive H.264 compression, any YUV <-> RGB conversion (full or
// limited range) and scaling of the whole picture down to 160x120 or less, with any
// filter and a different factor in each direction: the decoder samples a small box
// around each cell's centre, at positions proportional to the picture's size, and
// takes its threshold from the four marker cells. Cropping or letterboxing is not
// allowed for: pass the picture exactly as decoded (or scaled as a whole).
//
// The numbers of velmora-sample-card count the frames of the whole card from 0 (the
// first picture of the first file written) and continue across its files: frame i of
// file k (k from 0, every file having S seconds at F frames per second) carries
// k*S*F + i. Numbers wrap at 2^20 (1048576 frames, 9.7 hours at 30 fps).
#include <cstdint>

namespace samplegen {

constexpr int kFrameCodeBits = 20;
constexpr int kFrameCodeCells = 26;
constexpr int kFrameCodeModulus = 1 << kFrameCodeBits;

enum class PixelLayout {
  kBgra32, // 4 bytes a pixel in the order B, G, R, A (AV_PIX_FMT_BGRA; QImage::Format_ARGB32/RGB32 on little-endian)
  kRgba32, // 4 bytes a pixel in the order R, G, B, A (AV_PIX_FMT_RGBA)
  kRgb24,  // 3 bytes: R, G, B (AV_PIX_FMT_RGB24)
  kBgr24,  // 3 bytes: B, G, R (AV_PIX_FMT_BGR24)
  kRgb565, // 16-bit little-endian words, R in bits 15-11, G 10-5, B 4-0 (AV_PIX_FMT_RGB565LE, the native RGB565 here)
  kLuma8,  // one byte a pixel: a luma (Y) plane, or any grey picture
};

// Rows the strip covers at the top of a picture of this height: (height / 10) rounded
// down to an even number, at least 2.
int FrameCodeStripHeight(int height);

// Draws the pattern of `frameNumber` (taken modulo 2^20) into the strip of a picture.
// kLuma8 pictures get video-range levels (16 black, 235 white); the RGB layouts 0 and 255.
// The alpha byte of the 32-bit layouts is set to 255. The caller of a YUV picture
// also sets the chroma under the strip to neutral (128), as velmora-sample-card does.
void DrawFrameNumber(uint8_t* pixels, int width, int height, int strideBytes, PixelLayout layout,
                     int64_t frameNumber);

// Reads the frame number back from a picture (width x height pixels, rows strideBytes
// apart, first row at `pixels`). Returns the number (0 to 2^20 - 1), or -1 when no
// valid pattern is found: markers missing or without contrast (less than 40 levels
// out of 255 between white and black markers), a cell that is neither clearly black
// nor clearly white, or a parity that does not match. Needs width >= 26 and height >= 4.
// Reads only; thread-safe.
int DecodeFrameNumber(const uint8_t* pixels, int width, int height, int strideBytes, PixelLayout layout);

} // namespace samplegen
