#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "video/av_decoder.h"

// What a back buffer holds.
enum class PictureFormat {
  kYuv420, // three planes: Y (width x height), Cb and Cr ((width+1)/2 x (height+1)/2)
  kRgb565, // 16-bit words, R in bits 15-11, G 10-5, B 4-0, little-endian
  kBgra32, // bytes B, G, R, A (alpha 255)
};

// One surface of the picture's size: the back buffer the video thread fills and
// the window shows stretched over its whole area. Rows are packed without gaps
// (stride = width times bytes per pixel, chroma stride = (width+1)/2).
struct VideoPicture {
  int width = 0;
  int height = 0;
  PictureFormat format = PictureFormat::kBgra32;
  PictureColour colour; // for kYuv420: how its samples map to RGB
  uint8_t* planes[3] = {nullptr, nullptr, nullptr};
  int strides[3] = {0, 0, 0};
  // A number of its own for every picture put in (a cleared surface counts too),
  // unique in the process.
  uint64_t serial = 0;
  bool blank = false; // filled with a plain colour by a clear, not a decoded picture

  // Gives the surface its size and format, reusing the storage when it is large enough.
  bool Allocate(int w, int h, PictureFormat f);
  size_t Bytes() const { return bytes_; }

  // Held by a window while it has the picture to show; the video thread fills
  // only surfaces nobody holds (see CD3DPresenter).
  std::atomic<int> holds{0};

private:
  std::unique_ptr<uint8_t[]> storage_;
  size_t capacity_ = 0;
  size_t bytes_ = 0;
};

// Bytes one pixel of a packed RGB format takes.
inline int PixelBytes(PictureFormat f) { return f == PictureFormat::kBgra32 ? 4 : f == PictureFormat::kRgb565 ? 2 : 1; }
