#include "video/presenter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "video/video_target.h"

namespace {

// Where a channel without a window presents: nowhere. Its pictures still pass
// through the back buffer, so counting and snapshots work as with a window.
class NoWindow : public VideoTarget {
public:
  int ScreenDepth() const override { return 32; }
  bool CanShowYuv() const override { return true; }
  bool Show(std::shared_ptr<const VideoPicture>) override { return true; }
};

NoWindow& TheNoWindow() {
  static NoWindow window;
  return window;
}

// At most this many surfaces circulate: the window's, the back buffer's content,
// the one being filled, and one spare for a window slow to let go.
constexpr size_t kMaxSurfaces = 4;

// Picture serials are unique in the process, so that a window can tell a new
// picture from one it already has, whichever presenter sent it.
uint64_t NextSerial() {
  static std::atomic<uint64_t> serial{0};
  return ++serial;
}

} // namespace

bool VideoPicture::Allocate(int w, int h, PictureFormat f) {
  if (w <= 0 || h <= 0) return false;
  const size_t luma = static_cast<size_t>(w) * static_cast<size_t>(h);
  const int cw = (w + 1) / 2, ch = (h + 1) / 2;
  const size_t chroma = static_cast<size_t>(cw) * static_cast<size_t>(ch);
  const size_t need = f == PictureFormat::kYuv420 ? luma + 2 * chroma : luma * static_cast<size_t>(PixelBytes(f));
  if (need > capacity_) {
    storage_.reset(new (std::nothrow) uint8_t[need]);
    capacity_ = storage_ ? need : 0;
    if (!storage_) return false;
  }
  width = w;
  height = h;
  format = f;
  bytes_ = need;
  planes[0] = storage_.get();
  if (f == PictureFormat::kYuv420) {
    planes[1] = planes[0] + luma;
    planes[2] = planes[1] + chroma;
    strides[0] = w;
    strides[1] = strides[2] = cw;
  } else {
    planes[1] = planes[2] = nullptr;
    strides[0] = w * PixelBytes(f);
    strides[1] = strides[2] = 0;
  }
  return true;
}

bool CD3DPresenter::Create(VideoTarget* window, int width, int height, bool* yuvRefused) {
  Release();
  if (width <= 0 || height <= 0) return false;
  VideoTarget* target = window ? window : &TheNoWindow();
  window_ = window;
  width_ = width;
  height_ = height;
  depth_ = target->ScreenDepth() == 16 ? 16 : 32;
  yuvAllowed_ = target->CanShowYuv();
  if (yuvRefused) *yuvRefused = !yuvAllowed_;
  created_ = true;
  return true;
}

void CD3DPresenter::Release() {
  // A window may still hold a surface: it keeps it alive until it lets go.
  pool_.clear();
  current_.reset();
  filling_.reset();
  filled_ = false;
  created_ = false;
  yuvAllowed_ = false;
  window_ = nullptr;
}

std::shared_ptr<VideoPicture> CD3DPresenter::Acquire(PictureFormat format) {
  if (!created_) return nullptr;
  std::shared_ptr<VideoPicture> picture;
  for (auto& p : pool_) {
    if (p != current_ && p->holds.load(std::memory_order_acquire) == 0) {
      picture = p;
      break;
    }
  }
  if (!picture) {
    if (pool_.size() >= kMaxSurfaces) return nullptr;
    picture = std::make_shared<VideoPicture>();
    pool_.push_back(picture);
  }
  if (!picture->Allocate(width_, height_, format)) return nullptr;
  return picture;
}

bool CD3DPresenter::Clear(uint32_t colour) {
  std::shared_ptr<VideoPicture> p = Acquire(RgbFormat());
  if (!p) return false;
  const uint8_t r = static_cast<uint8_t>(colour >> 16), g = static_cast<uint8_t>(colour >> 8),
                b = static_cast<uint8_t>(colour);
  const size_t pixels = static_cast<size_t>(p->width) * static_cast<size_t>(p->height);
  if (p->format == PictureFormat::kBgra32) {
    const uint32_t bgra = 0xFF000000u | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
    auto* px = reinterpret_cast<uint32_t*>(p->planes[0]);
    std::fill(px, px + pixels, bgra);
  } else {
    const auto word = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
    auto* px = reinterpret_cast<uint16_t*>(p->planes[0]);
    std::fill(px, px + pixels, word);
  }
  p->colour = {};
  p->blank = true;
  p->serial = NextSerial();
  current_ = std::move(p);
  return true;
}

bool CD3DPresenter::Show() {
  if (!created_) return false;
  std::shared_ptr<const VideoPicture> handed;
  if (current_) {
    std::shared_ptr<VideoPicture> picture = current_;
    picture->holds.fetch_add(1, std::memory_order_relaxed);
    // The window's pointer: letting go of it releases the hold (and, after a
    // Release of the presenter, the surface).
    handed = std::shared_ptr<const VideoPicture>(picture.get(), [picture](const VideoPicture*) mutable {
      picture->holds.fetch_sub(1, std::memory_order_release);
      picture.reset();
    });
  }
  VideoTarget* target = window_ ? window_ : &TheNoWindow();
  if (target->Show(std::move(handed))) return true;
  Release();
  return false;
}

VideoPicture* CD3DPresenter::LockYv12() {
  if (!HasYv12Surface()) return nullptr;
  filling_ = Acquire(PictureFormat::kYuv420);
  filled_ = false;
  return filling_.get();
}

bool CD3DPresenter::UnlockYv12() {
  if (!filling_ || filling_->format != PictureFormat::kYuv420) return false;
  filled_ = true;
  return true;
}

bool CD3DPresenter::BlitYv12(const PictureColour& colour) {
  if (!filling_ || !filled_ || filling_->format != PictureFormat::kYuv420) return false;
  filling_->colour = colour;
  filling_->blank = false;
  filling_->serial = NextSerial();
  current_ = std::move(filling_);
  filled_ = false;
  return true;
}

VideoPicture* CD3DPresenter::LockBackBuffer() {
  filling_ = Acquire(RgbFormat());
  filled_ = false;
  return filling_.get();
}

bool CD3DPresenter::UnlockBackBuffer() {
  if (!filling_ || filling_->format == PictureFormat::kYuv420) return false;
  filling_->colour = {};
  filling_->blank = false;
  filling_->serial = NextSerial();
  current_ = std::move(filling_);
  return true;
}
