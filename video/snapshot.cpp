#include "video/snapshot.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libswscale/swscale.h>
}

#include "platform/files.h"
#include "video/video_picture.h"

std::string SnapshotTemplate(const std::string& folder, int imageType, std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[64];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H-%M-%S", &local);
  std::string path = folder + "/" + stamp + (imageType != 0 ? ".jpg" : ".bmp");
  // One separator where the folder already ended with one.
  std::string out;
  for (char c : path) {
    const bool sep = c == '/' || c == '\\';
    if (sep && !out.empty() && (out.back() == '/' || out.back() == '\\')) continue;
    out += c;
  }
  return out;
}

int SnapshotCount(int burstCount) { return std::max(burstCount, 1); }

std::string SnapshotFileName(const std::string& pathTemplate, int number) {
  const size_t cut = pathTemplate.size() >= 4 ? pathTemplate.size() - 4 : 0;
  char digits[16];
  std::snprintf(digits, sizeof digits, "--%03d", number);
  return pathTemplate.substr(0, cut) + digits + pathTemplate.substr(cut);
}

platform::PixelImage PictureImage(const VideoPicture& p) {
  platform::PixelImage image;
  if (p.width <= 0 || p.height <= 0 || !p.planes[0]) return image;
  image.width = p.width;
  image.height = p.height;
  image.stride = 4 * p.width;
  image.bytes.resize(static_cast<size_t>(image.stride) * static_cast<size_t>(p.height));
  switch (p.format) {
  case PictureFormat::kBgra32:
    for (int y = 0; y < p.height; ++y)
      std::memcpy(image.bytes.data() + static_cast<ptrdiff_t>(y) * image.stride,
                  p.planes[0] + static_cast<ptrdiff_t>(y) * p.strides[0], static_cast<size_t>(image.stride));
    return image;
  case PictureFormat::kRgb565:
    // Each field widened to 8 bits by repeating its top bits.
    for (int y = 0; y < p.height; ++y) {
      const uint8_t* src = p.planes[0] + static_cast<ptrdiff_t>(y) * p.strides[0];
      uint8_t* dst = image.bytes.data() + static_cast<ptrdiff_t>(y) * image.stride;
      for (int x = 0; x < p.width; ++x, src += 2, dst += 4) {
        const unsigned v = static_cast<unsigned>(src[0] | src[1] << 8);
        const unsigned r = v >> 11, g = (v >> 5) & 0x3F, b = v & 0x1F;
        dst[0] = static_cast<uint8_t>(b << 3 | b >> 2);
        dst[1] = static_cast<uint8_t>(g << 2 | g >> 4);
        dst[2] = static_cast<uint8_t>(r << 3 | r >> 2);
        dst[3] = 0xFF;
      }
    }
    return image;
  case PictureFormat::kYuv420: break;
  }
  SwsContext* sws = sws_getContext(p.width, p.height, AV_PIX_FMT_YUV420P, p.width, p.height, AV_PIX_FMT_BGRA,
                                   SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
  if (!sws) return {};
  const int* coefficients = sws_getCoefficients(p.colour.bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
  sws_setColorspaceDetails(sws, coefficients, p.colour.fullRange ? 1 : 0, coefficients, 1, 0, 1 << 16, 1 << 16);
  const uint8_t* src[3] = {p.planes[0], p.planes[1], p.planes[2]};
  uint8_t* dst[1] = {image.bytes.data()};
  const int dstStride[1] = {image.stride};
  sws_scale(sws, src, p.strides, 0, p.height, dst, dstStride);
  sws_freeContext(sws);
  return image;
}

bool SavePicture(const VideoPicture& picture, const std::string& fileName) {
  const platform::PixelImage image = PictureImage(picture);
  if (image.Empty()) return false;
  platform::EnsureFolderFor(fileName);
  return platform::WriteImageFile(image, fileName);
}
