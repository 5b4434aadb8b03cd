#include "video/video_ctx.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

extern "C" {
#include <libavutil/frame.h>
}

#include "platform/clock.h"
#include "video/snapshot.h"

namespace {

// Rows and bytes of the chroma planes of a w x h 4:2:0 picture.
int ChromaWidth(int w) { return (w + 1) / 2; }
int ChromaHeight(int h) { return (h + 1) / 2; }

void CopyPlane(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, int bytes, int rows) {
  for (int y = 0; y < rows; ++y)
    std::memcpy(dst + static_cast<ptrdiff_t>(y) * dstStride, src + static_cast<ptrdiff_t>(y) * srcStride,
                static_cast<size_t>(bytes));
}

template <typename List>
void MoveAll(List& from, List& to) {
  std::move(from.begin(), from.end(), std::back_inserter(to));
  from.clear();
}

} // namespace

CVideoCtx::CVideoCtx(const VideoLinks& links) : links_(links) {}

CVideoCtx::~CVideoCtx() {
  Stop(10000);
  Join();
  ReleasePictureBuffers();
  decoder_.Close();
  presenter_.Release();
}

bool CVideoCtx::Start() {
  if (IsRunning()) return false;
  links_.state->pictureWidth = 0;
  links_.state->pictureHeight = 0;
  return InitVideo() && CMyThread::Start();
}

bool CVideoCtx::Stop(int64_t timeoutMs) {
  running_ = false;
  links_.clock->Wake();
  if (!CMyThread::Stop(timeoutMs)) return false;
  // The thread has ended: the presenter is ours now. The window turns black.
  if (presenter_.HasTarget() && presenter_.Clear(backgroundColour_)) presenter_.Show();
  return true;
}

int CVideoCtx::Run() {
  PlaybackState& state = *links_.state;
  CFpsCtrl& clock = *links_.clock;
  CVBuffer2& queue = *links_.queue;

  clock.SetFps(60);
  double rate = clock.GetFps();
  int inGroup = 0;
  clock.Reset();
  FrameDesc frame;
  while (running_.load(std::memory_order_relaxed)) {
    ServiceDisplay();
    if (!queue.Pop(frame)) {
      platform::SleepMs(10);
      clock.Reset();
      continue;
    }
    gotFrame_ = true;
    if (frame.nType == kFrameKey) {
      state.gopLength = inGroup;
      inGroup = 0;
    } else if (frame.nType == kFrameOther) {
      ++inGroup;
    }
    const int code = state.speedCode.load(std::memory_order_relaxed);
    if (frame.nSpeed >= 0 && (!showPictures_.empty() || !gopPictures_.empty())) ReturnStoredPictures();
    // Fast forward: only the first part of each group is decoded. Until a key frame
    // has measured the group, the length is 0 and only key frames pass.
    if (code >= 3 && code <= 6 &&
        static_cast<double>(state.gopLength.load(std::memory_order_relaxed)) * SpeedGopFraction(code) <
            static_cast<double>(inGroup))
      continue;
    if (!DecodeFrame(frame) || !PrepareFrame(frame)) continue;

    if (frame.nFps != 0 && frame.nFps * SpeedRateFactor(code) != rate) rate = frame.nFps * SpeedRateFactor(code);
    clock.Wait(1000.0 / rate);

    if (!PresentFrame()) continue;
    framePending_ = true;
    state.shownFrames.fetch_add(1, std::memory_order_relaxed);
    if (state.pause.load(std::memory_order_relaxed) || state.speedCode.load(std::memory_order_relaxed) == kSpeedStep)
      HoldAfterFrame();

    if (frame.nFps != 0 && frame.nFps != static_cast<int>(clock.GetFps())) rate = clock.SetFps(frame.nFps);
  }
  ReturnStoredPictures();
  return 0;
}

bool CVideoCtx::InitVideo() {
  ReleasePictureBuffers();
  PlaybackState& state = *links_.state;
  int depth = decoder_.BitDepth();
  const int w = state.pictureWidth.load(), h = state.pictureHeight.load();
  if (w != 0 && h != 0) {
    VideoTarget* window = links_.window->load();
    if (presenter_.HasTarget() && (presenter_.Window() != window || decoder_.Width() != w ||
                                   decoder_.Height() != h || presenter_.Width() != w || presenter_.Height() != h))
      presenter_.Release();
    if (!presenter_.HasTarget()) {
      bool yuvRefused = false;
      if (!presenter_.Create(window, w, h, &yuvRefused)) return false;
      if (yuvRefused && links_.displayMode->load(std::memory_order_relaxed) == 0)
        links_.displayMode->store(1, std::memory_order_relaxed);
    }
    presenter_.Clear(backgroundColour_);
    depth = presenter_.BackBufferDepth();
  }
  return decoder_.Open(w, h, depth);
}

bool CVideoCtx::DecodeFrame(const FrameDesc& frame) {
  if (!frame.pData || frame.nSize <= 0) return false;
  if (frame.nCodec != decoder_.Codec()) {
    // A recording of the other codec: a decoder for it, the scaler kept.
    decoder_.SetCodec(frame.nCodec);
    if (!decoder_.Open(decoder_.Width(), decoder_.Height(), decoder_.BitDepth())) return false;
  }
  if (!decoder_.Decode(frame.pData, frame.nSize)) return false;
  const AVFrame* picture = decoder_.Picture();
  // Only 8-bit 4:2:0 is presented; a picture of another layout is dropped.
  if (!AvDecoder::IsPlanar420(picture)) return false;
  PlaybackState& state = *links_.state;
  if (presenter_.HasTarget() && picture->width == state.pictureWidth.load() &&
      picture->height == state.pictureHeight.load())
    return true;
  state.pictureWidth = picture->width;
  state.pictureHeight = picture->height;
  if (!InitVideo()) {
    state.pictureWidth = 0;
    state.pictureHeight = 0;
    return false;
  }
  return true;
}

void CVideoCtx::PointAtStored(const StoredPicture& p) {
  const int w = storedWidth_, h = storedHeight_;
  uint8_t* base = p.buffer.get();
  picturePlanes_[0] = base;
  picturePlanes_[1] = base + static_cast<ptrdiff_t>(w) * h;
  picturePlanes_[2] = picturePlanes_[1] + static_cast<ptrdiff_t>(ChromaWidth(w)) * ChromaHeight(h);
  picturePlanes_[3] = nullptr;
  pictureStrides_[0] = w;
  pictureStrides_[1] = pictureStrides_[2] = ChromaWidth(w);
  pictureStrides_[3] = 0;
  pictureColour_ = p.colour;
}

bool CVideoCtx::PrepareFrame(FrameDesc& frame) {
  const AVFrame* picture = decoder_.Picture();
  for (int i = 0; i < 4; ++i) {
    picturePlanes_[i] = picture->data[i];
    pictureStrides_[i] = picture->linesize[i];
  }
  pictureColour_ = AvDecoder::ColourOf(picture);
  if (frame.nSpeed >= 0) return true;

  // Reverse play: keep a copy of the picture; show the previous group's pictures from the back.
  StoredPicture stored;
  stored.buffer = TakePictureBuffer();
  if (!stored.buffer) return false;
  stored.frame = frame;
  stored.frame.pData = stored.buffer.get();
  stored.colour = pictureColour_;
  const int w = storedWidth_, h = storedHeight_;
  uint8_t* luma = stored.buffer.get();
  uint8_t* cb = luma + static_cast<ptrdiff_t>(w) * h;
  uint8_t* cr = cb + static_cast<ptrdiff_t>(ChromaWidth(w)) * ChromaHeight(h);
  CopyPlane(picture->data[0], picture->linesize[0], luma, w, w, h);
  CopyPlane(picture->data[1], picture->linesize[1], cb, ChromaWidth(w), ChromaWidth(w), ChromaHeight(h));
  CopyPlane(picture->data[2], picture->linesize[2], cr, ChromaWidth(w), ChromaWidth(w), ChromaHeight(h));

  if (frame.nType == kFrameKey) {
    MoveAll(showPictures_, freePictures_);
    showPictures_.insert(showPictures_.begin(), std::make_move_iterator(gopPictures_.begin()),
                         std::make_move_iterator(gopPictures_.end()));
    gopPictures_.clear();
  }
  gopPictures_.push_back(std::move(stored));
  if (showPictures_.empty()) {
    CountPictures();
    return false;
  }
  StoredPicture shown = std::move(showPictures_.back());
  showPictures_.pop_back();
  frame = shown.frame;
  // Back in the free list it is presented before the next TakePictureBuffer can reuse it.
  freePictures_.push_back(std::move(shown));
  PointAtStored(freePictures_.back());
  CountPictures();
  return true;
}

bool CVideoCtx::PresentFrame() {
  const int w = presenter_.Width(), h = presenter_.Height();
  if (!presenter_.HasTarget() || !picturePlanes_[0]) return false;
  if (links_.displayMode->load(std::memory_order_relaxed) == 0 && presenter_.HasYv12Surface()) {
    VideoPicture* surface = presenter_.LockYv12();
    if (!surface) return false;
    CopyPlane(picturePlanes_[0], pictureStrides_[0], surface->planes[0], surface->strides[0], w, h);
    CopyPlane(picturePlanes_[1], pictureStrides_[1], surface->planes[1], surface->strides[1], ChromaWidth(w),
              ChromaHeight(h));
    CopyPlane(picturePlanes_[2], pictureStrides_[2], surface->planes[2], surface->strides[2], ChromaWidth(w),
              ChromaHeight(h));
    return presenter_.UnlockYv12() && presenter_.BlitYv12(pictureColour_);
  }
  VideoPicture* back = presenter_.LockBackBuffer();
  if (!back) return false;
  uint8_t* const dst[4] = {back->planes[0], nullptr, nullptr, nullptr};
  const int dstStrides[4] = {back->strides[0], 0, 0, 0};
  if (!decoder_.Convert(picturePlanes_, pictureStrides_, 0, decoder_.Height(), dst, dstStrides, pictureColour_))
    return false;
  return presenter_.UnlockBackBuffer();
}

void CVideoCtx::ServiceDisplay() {
  if (!presenter_.HasTarget()) return;
  if (framePending_) {
    framePending_ = false;
    if (!gotFrame_) presenter_.Clear(backgroundColour_);
    if (!presenter_.Show()) return; // released: re-created at the next decoded picture
  }
  // One picture of a snapshot request per call, numbered from the request's count taken.
  SnapshotRequest request = links_.snapshots->State();
  if (request.requested > 0) {
    SaveSnapshot(SnapshotFileName(request.pathTemplate, request.taken + 1));
    links_.snapshots->Taken(request);
  }
}

bool CVideoCtx::HoldAfterFrame() {
  PlaybackState& state = *links_.state;
  if (!state.pause.load() && state.speedCode.load() != kSpeedStep) return false;
  state.audioHold = true;
  // A code the user interface sets meanwhile survives.
  int expected = kSpeedStep;
  state.speedCode.compare_exchange_strong(expected, kSpeedHeld);
  expected = -kSpeedStep;
  state.speedCode.compare_exchange_strong(expected, kSpeedHeld);
  while (running_.load(std::memory_order_relaxed) &&
         (state.pause.load(std::memory_order_relaxed) || state.speedCode.load(std::memory_order_relaxed) == kSpeedHeld)) {
    framePending_ = true;
    ServiceDisplay();
    platform::SleepMs(10);
  }
  state.audioHold = false;
  links_.clock->Reset();
  return false;
}

std::unique_ptr<uint8_t[]> CVideoCtx::TakePictureBuffer() {
  const int w = links_.state->pictureWidth.load(), h = links_.state->pictureHeight.load();
  if (w != storedWidth_ || h != storedHeight_) {
    ReleasePictureBuffers();
    storedWidth_ = w;
    storedHeight_ = h;
  }
  while (!freePictures_.empty()) {
    std::unique_ptr<uint8_t[]> buffer = std::move(freePictures_.back().buffer);
    freePictures_.pop_back();
    if (buffer) return buffer;
  }
  if (w <= 0 || h <= 0) return nullptr;
  const size_t bytes = static_cast<size_t>(w) * h + 2 * static_cast<size_t>(ChromaWidth(w)) * ChromaHeight(h);
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes]);
}

void CVideoCtx::ReturnStoredPictures() {
  MoveAll(showPictures_, freePictures_);
  MoveAll(gopPictures_, freePictures_);
  CountPictures();
}

void CVideoCtx::ReleasePictureBuffers() {
  ReturnStoredPictures();
  freePictures_.clear();
  CountPictures();
}

void CVideoCtx::SaveSnapshot(const std::string& fileName) {
  std::shared_ptr<const VideoPicture> picture = presenter_.Target();
  if (picture) SavePicture(*picture, fileName); // a picture that cannot be written is lost silently
}

void CVideoCtx::CountPictures() {
  heldPictures_.store(static_cast<int>(showPictures_.size() + gopPictures_.size()), std::memory_order_relaxed);
  freeCount_.store(static_cast<int>(freePictures_.size()), std::memory_order_relaxed);
}

std::unique_ptr<CMyThread> MakeVideoThread(const VideoLinks& links) { return std::make_unique<CVideoCtx>(links); }
