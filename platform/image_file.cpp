#include "platform/image_file.h"

#include <cstddef>

namespace platform {

uint32_t PixelImage::Pixel(int x, int y) const {
  const uint8_t* p = bytes.data() + static_cast<ptrdiff_t>(y) * stride + static_cast<ptrdiff_t>(x) * 4;
  return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

} // namespace platform
