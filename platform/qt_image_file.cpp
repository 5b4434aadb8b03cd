// Image files through QImage.
#include <QImage>
#include <QImageWriter>
#include <QString>

#include "platform/image_file.h"

namespace {

// Qt takes the first thread that makes one of its objects for its main thread,
// and the image plugins belong to it until the process ends. Snapshots are
// written on the video thread, which ends long before: the plugins are loaded
// here, on the thread that starts the program.
[[maybe_unused]] const bool kPluginsLoaded = !QImageWriter::supportedImageFormats().isEmpty();

} // namespace

namespace platform {

bool CanWriteImageFiles() { return true; }

bool WriteImageFile(const PixelImage& image, const std::string& path) {
  if (image.Empty() || image.width <= 0 || image.height <= 0) return false;
  const QImage view(image.bytes.data(), image.width, image.height, image.stride, QImage::Format_RGB32);
  return view.save(QString::fromStdString(path)); // the format follows the extension
}

} // namespace platform
