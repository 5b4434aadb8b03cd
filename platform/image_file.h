#pragma once
// Image files: plain pixel buffers written as BMP or JPEG.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A 32-bit picture in memory: rows of `stride` bytes, four bytes a pixel in the
// order B, G, R and one unused.
struct PixelImage {
  std::vector<uint8_t> bytes;
  int width = 0;
  int height = 0;
  int stride = 0;

  bool Empty() const { return bytes.empty(); }
  // The pixel at x, y as 0x00RRGGBB.
  uint32_t Pixel(int x, int y) const;
};

// Whether this build writes image files (a build without the windows does not).
bool CanWriteImageFiles();
// Writes the picture in the format the file's extension names (".bmp", or
// ".jpg" for JPEG at the encoder's default quality). False when nothing could
// be written, an unknown extension included.
bool WriteImageFile(const PixelImage& image, const std::string& path);

} // namespace platform
