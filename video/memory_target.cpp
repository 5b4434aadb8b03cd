#include "video/memory_target.h"

#include "video/snapshot.h"
#include "video/video_picture.h"

MemoryVideoTarget::MemoryVideoTarget(int screenDepth, bool takesYuv)
    : depth_(screenDepth == 16 ? 16 : 32), takesYuv_(takesYuv) {}

bool MemoryVideoTarget::Show(std::shared_ptr<const VideoPicture> picture) {
  if (picture && picture->format == PictureFormat::kYuv420 && !CanShowYuv()) return false;
  {
    std::lock_guard lock(mutex_);
    current_ = std::move(picture);
  }
  ++shows_;
  return true;
}

std::shared_ptr<const VideoPicture> MemoryVideoTarget::Current() const {
  std::lock_guard lock(mutex_);
  return current_;
}

platform::PixelImage MemoryVideoTarget::Image() const {
  std::shared_ptr<const VideoPicture> picture = Current();
  if (!picture) return {};
  return PictureImage(*picture);
}
