// A build without the windows writes no image files.
#include "platform/image_file.h"

namespace platform {

bool CanWriteImageFiles() { return false; }

bool WriteImageFile(const PixelImage&, const std::string&) { return false; }

} // namespace platform
