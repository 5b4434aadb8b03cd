#include "video/snapshot.h"

#include <algorithm>
#include <cstdio>

#include <QString>

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

QImage PictureImage(const VideoPicture& p) {
  if (p.width <= 0 || p.height <= 0 || !p.planes[0]) return {};
  switch (p.format) {
  case PictureFormat::kBgra32:
    return QImage(p.planes[0], p.width, p.height, p.strides[0], QImage::Format_RGB32);
  case PictureFormat::kRgb565:
    return QImage(p.planes[0], p.width, p.height, p.strides[0], QImage::Format_RGB16);
  case PictureFormat::kYuv420: break;
  }
  QImage image(p.width, p.height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  SwsContext* sws = sws_getContext(p.width, p.height, AV_PIX_FMT_YUV420P, p.width, p.height, AV_PIX_FMT_BGRA,
                                   SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
  if (!sws) return {};
  const int* coefficients = sws_getCoefficients(p.colour.bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
  sws_setColorspaceDetails(sws, coefficients, p.colour.fullRange ? 1 : 0, coefficients, 1, 0, 1 << 16, 1 << 16);
  const uint8_t* src[3] = {p.planes[0], p.planes[1], p.planes[2]};
  uint8_t* dst[1] = {image.bits()};
  const int dstStride[1] = {static_cast<int>(image.bytesPerLine())};
  sws_scale(sws, src, p.strides, 0, p.height, dst, dstStride);
  sws_freeContext(sws);
  return image;
}

bool SavePicture(const VideoPicture& picture, const std::string& fileName) {
  QImage image = PictureImage(picture);
  if (image.isNull()) return false;
  platform::EnsureFolderFor(fileName);
  return image.save(QString::fromStdString(fileName));
}
