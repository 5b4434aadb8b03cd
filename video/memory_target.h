#pragma once
#include <atomic>
#include <memory>
#include <mutex>

#include "platform/image_file.h"
#include "video/video_target.h"

// A window that is an image in memory: it keeps the last picture shown. Tests and
// benchmarks present into it without a display. The screen depth (16 or 32) and
// whether it takes 4:2:0 pictures are chosen at construction.
class MemoryVideoTarget : public VideoTarget {
public:
  explicit MemoryVideoTarget(int screenDepth = 32, bool takesYuv = true);

  int ScreenDepth() const override { return depth_; }
  bool CanShowYuv() const override { return takesYuv_.load(std::memory_order_relaxed); }
  bool Show(std::shared_ptr<const VideoPicture> picture) override;

  // From now on refuse (or accept again) 4:2:0 pictures, like a window that lost its converter.
  void SetTakesYuv(bool takes) { takesYuv_ = takes; }

  // The picture shown last (null: black or nothing yet), and the count of shows.
  std::shared_ptr<const VideoPicture> Current() const;
  int Shows() const { return shows_.load(); }
  // The picture shown last as a 32-bit RGB image of its own (empty when there is none).
  platform::PixelImage Image() const;

private:
  const int depth_;
  std::atomic<bool> takesYuv_;
  mutable std::mutex mutex_;
  std::shared_ptr<const VideoPicture> current_;
  std::atomic<int> shows_{0};
};
