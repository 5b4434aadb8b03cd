#include "video/video_ctx.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

extern "C" {
#include <libavutil/frame.h>
}

#include "core/find_file_path.h"
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

// The decoder carries a unit's recording serial and byte offset through its
// reordering as one number.
constexpr int kPosBits = 40;
int64_t PackPos(int file, int64_t pos) { return pos < 0 ? -1 : (static_cast<int64_t>(file) << kPosBits) | pos; }

template <typename List>
void MoveAll(List& from, List& to) {
  std::move(from.begin(), from.end(), std::back_inserter(to));
  from.clear();
}

} // namespace

CVideoCtx::CVideoCtx(const VideoLinks& links) : links_(links) {}

CVideoCtx::PictureId CVideoCtx::IdOf(const AVFrame* picture) {
  PictureId id;
  id.pts = picture->pts == AV_NOPTS_VALUE ? -1 : picture->pts;
  if (picture->pkt_pos >= 0) {
    id.file = static_cast<int>(picture->pkt_pos >> kPosBits);
    id.pos = picture->pkt_pos & ((int64_t{1} << kPosBits) - 1);
  }
  return id;
}

void CVideoCtx::FrameFree::operator()(AVFrame* f) const { av_frame_free(&f); }

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
  FrameDesc frame, last;
  while (running_.load(std::memory_order_relaxed)) {
    ServiceDisplay();
    if (state.exactSteps.load(std::memory_order_relaxed) != 0) {
      HoldAfterFrame();
      continue;
    }
    if (!queue.Pop(frame)) {
      // Nothing more for a while (the end of the last recording): the pictures the
      // decoder still holds back are shown.
      if (++idlePolls_ == kIdlePollsBeforeDrain && unitsInDecoder_ > 0 && decoder_.HoldsBack()) ShowHeldBack(last);
      platform::SleepMs(10);
      clock.Reset();
      restartClock_ = true;
      continue;
    }
    idlePolls_ = 0;
    if (!TakeFromQueue(frame)) continue;
    if (needKey_ && frame.nType != kFrameKey) continue;
    needKey_ = false;
    if (frame.nSpeed >= 0) last = frame;
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
    if (resuming_) {
      // Back from exact steps: the pictures up to the one on screen are not shown again.
      if (frame.nSpeed >= 0 && decoded_.pts >= 0 && decoded_.pts <= resumeAfterPts_ &&
          links_.files->Path(decoded_.file) == resumePath_)
        continue;
      resuming_ = false;
    }

    if (frame.nFps != 0 && frame.nFps * SpeedRateFactor(code) != rate) rate = frame.nFps * SpeedRateFactor(code);
    // The back buffer is filled before the picture is due and handed to the
    // window as soon as it is: the conversion does not make the picture late.
    if (!PresentFrame()) continue;
    if (restartClock_) clock.Restart(1000.0 / rate);
    restartClock_ = false;
    clock.Wait(1000.0 / rate);
    shown_ = decoded_;
    exact_.path.clear();
    state.shownFrames.fetch_add(1, std::memory_order_relaxed);
    framePending_ = true; // handed to the window at the top of the loop, or by the hold
    if (static_cast<double>(platform::TickCount()) - clock.Deadline() > 1000.0 / rate)
      state.latePictures.fetch_add(1, std::memory_order_relaxed);
    const int after = state.speedCode.load(std::memory_order_relaxed);
    if (state.pause.load(std::memory_order_relaxed) || after == kSpeedStep || after == kSpeedHeld) HoldAfterFrame();

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

// Frames read after a restart of the reader (seek, jump, direction change, another
// recording) are a new stream: the decoder forgets the old one, so that no
// picture is shown that was decoded without its references, or held back from
// before the restart. While a jump asked for by exact steps is on its way, the
// frames read before it are dropped.
bool CVideoCtx::TakeFromQueue(const FrameDesc& frame) {
  if (awaitingJump_) {
    uint32_t generation = 0;
    if (!links_.files->IsJumpDone(jumpTicket_, &generation) ||
        static_cast<int32_t>(frame.nGeneration - generation) < 0)
      return false;
    awaitingJump_ = false;
    resuming_ = true;
    resumeGeneration_ = generation;
  }
  const bool restart = frame.nGeneration != generation_;
  if (restart) {
    generation_ = frame.nGeneration;
    restartClock_ = true;
    decoder_.Flush();
    unitsInDecoder_ = 0;
  }
  ChooseThreads(frame, restart);
  if (resuming_ && frame.nGeneration != resumeGeneration_) resuming_ = false; // moved on meanwhile
  return true;
}

// Large pictures in forward play at normal speed and faster are decoded by several
// threads at once (frame and slice threads, one a core): one thread cannot keep up
// with 3840 x 2160 at 30 a second. Everything that needs the picture of a unit at
// once (reverse, slow motion, decoding after a restart for a step) uses one thread.
// The decoder changes only where its state may be lost: at a restart of the stream,
// or at a key frame once the picture size has shown it is needed.
void CVideoCtx::ChooseThreads(const FrameDesc& frame, bool restart) {
  const PlaybackState& state = *links_.state;
  const int code = state.speedCode.load(std::memory_order_relaxed);
  int64_t area = static_cast<int64_t>(state.pictureWidth.load()) * state.pictureHeight.load();
  // The first key frame of a stream tells its size before it is decoded.
  int w = 0, h = 0;
  if ((restart || area == 0) && frame.nType == kFrameKey && AvDecoder::ProbeSize(frame.pData, frame.nSize, &w, &h))
    area = static_cast<int64_t>(w) * h;
  const bool many = frame.nSpeed > 0 && code >= kSpeedNormal && code <= 6 && area > kThreadedArea;
  const int wanted = many ? 0 : 1;
  const bool differs = many ? decoder_.Threads() == 1 : decoder_.Threads() != 1;
  if (!differs || !(restart || (many && frame.nType == kFrameKey))) return;
  decoder_.SetThreads(wanted);
  decoder_.Open(decoder_.Width(), decoder_.Height(), decoder_.BitDepth());
}

// Takes the pictures the decoder holds back (reordering, threads) and presents
// them in order at the last frame's rate; the decoder then starts afresh, from the
// next key frame.
void CVideoCtx::ShowHeldBack(FrameDesc last) {
  unitsInDecoder_ = 0;
  decoder_.Drain();
  while (running_.load(std::memory_order_relaxed) && decoder_.Receive()) {
    const AVFrame* picture = decoder_.Picture();
    if (!AvDecoder::IsPlanar420(picture) || picture->width != links_.state->pictureWidth.load() ||
        picture->height != links_.state->pictureHeight.load() || !PrepareFrame(last))
      continue;
    decoded_ = IdOf(picture);
    links_.clock->Wait(last.nFps > 0 ? 1000.0 / (last.nFps * SpeedRateFactor(links_.state->speedCode.load())) : 0);
    if (!PresentFrame()) continue;
    shown_ = decoded_;
    framePending_ = true;
    links_.state->shownFrames.fetch_add(1, std::memory_order_relaxed);
    ServiceDisplay();
  }
  decoder_.Renew();
  needKey_ = true;
}

bool CVideoCtx::DecodeFrame(const FrameDesc& frame) {
  if (!frame.pData || frame.nSize <= 0) return false;
  if (frame.nCodec != decoder_.Codec()) {
    // A recording of the other codec: a decoder for it, the scaler kept.
    decoder_.SetCodec(frame.nCodec);
    if (!decoder_.Open(decoder_.Width(), decoder_.Height(), decoder_.BitDepth())) return false;
  }
  const int64_t pos = PackPos(frame.nFile, frame.nFilePos);
  if (frame.nSpeed < 0) {
    // Reverse: key frames on their own, each must give its own picture at once.
    decoder_.Flush();
    if (!decoder_.Send(frame.pData, frame.nSize, frame.nPts, pos)) return false;
    decoder_.Drain();
    bool got = false;
    while (decoder_.Receive()) got = true;
    decoder_.Flush();
    if (!got) return false;
  } else {
    ++unitsInDecoder_;
    if (!decoder_.Decode(frame.pData, frame.nSize, frame.nPts, pos)) return false;
  }
  const AVFrame* picture = decoder_.Picture();
  decoded_ = IdOf(picture);
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
  stored.id = decoded_;
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
  decoded_ = shown.id;
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
  const int code = state.speedCode.load();
  if (!state.pause.load() && code != kSpeedStep && code != kSpeedHeld && state.exactSteps.load() == 0) return false;
  state.audioHold = true;
  // A code the user interface sets meanwhile survives.
  int expected = kSpeedStep;
  state.speedCode.compare_exchange_strong(expected, kSpeedHeld);
  expected = -kSpeedStep;
  state.speedCode.compare_exchange_strong(expected, kSpeedHeld);
  while (running_.load(std::memory_order_relaxed) &&
         (state.pause.load(std::memory_order_relaxed) || state.speedCode.load(std::memory_order_relaxed) == kSpeedHeld ||
          state.exactSteps.load(std::memory_order_relaxed) != 0)) {
    if (state.exactSteps.load(std::memory_order_relaxed) != 0) TakeExactSteps();
    framePending_ = true;
    ServiceDisplay();
    platform::SleepMs(10);
  }
  if (exactMode_) LeaveExactMode();
  state.audioHold = false;
  links_.clock->Reset();
  restartClock_ = true;
  return false;
}

// Exact steps: the pictures of the group around the one on screen are decoded
// from the file on a decoder of their own and kept, so that the next steps within
// the group are served from memory.
void CVideoCtx::TakeExactSteps() {
  const int steps = links_.state->exactSteps.exchange(0);
  if (steps == 0 || !links_.files) return;
  if (!exactMode_) {
    // From the picture on screen: shown from the queue, or the last exact step's.
    if (shown_.Valid()) exact_ = Place{links_.files->Path(shown_.file), shown_.pos, shown_.pts};
    if (exact_.path.empty()) return;
    exactMode_ = true;
    movesAtStep_ = links_.files->Moves();
  }
  const int direction = steps < 0 ? -1 : 1;
  bool moved = false;
  for (int i = 0; i != steps; i += direction) {
    if (!StepOnce(direction)) break;
    moved = true;
  }
  if (moved && PresentCached(exact_.pts)) {
    framePending_ = true;
    links_.state->shownFrames.fetch_add(1, std::memory_order_relaxed);
  }
}

bool CVideoCtx::LoadGroup(const std::string& path, const PictureGroup& group) {
  DropCache();
  groupPath_ = path;
  group_ = group;
  groupPts_.clear();
  for (const AccessUnit& u : group_.units)
    if (u.pts >= 0) groupPts_.push_back(u.pts);
  std::sort(groupPts_.begin(), groupPts_.end());
  return !groupPts_.empty();
}

// Moves exact_ one picture back or forward, decoding its group when the picture
// is not kept.
bool CVideoCtx::StepOnce(int direction) {
  const bool inGroup = groupPath_ == exact_.path && group_.keyPos >= 0 && group_.keyPos <= exact_.pos &&
                       (group_.nextKeyPos < 0 || exact_.pos < group_.nextKeyPos);
  if (!inGroup) {
    PictureGroup group;
    if (!ReadGroupBefore(exact_.path, exact_.pos + 1, group) || !LoadGroup(exact_.path, group)) return false;
  }
  int64_t target = -1;
  if (direction < 0) {
    auto it = std::lower_bound(groupPts_.begin(), groupPts_.end(), exact_.pts);
    if (it != groupPts_.begin()) target = *std::prev(it);
  } else {
    auto it = std::upper_bound(groupPts_.begin(), groupPts_.end(), exact_.pts);
    if (it != groupPts_.end()) target = *it;
  }
  if (target < 0) {
    // Into the group before (after), or the recording before (after).
    PictureGroup group;
    std::string path = exact_.path;
    bool found = direction < 0 ? group_.keyPos > 0 && ReadGroupBefore(path, group_.keyPos, group)
                               : group_.nextKeyPos >= 0 && ReadGroupFrom(path, group_.nextKeyPos, group);
    if (!found) {
      path = direction < 0 ? CFindFilePath::PrevPath(exact_.path) : CFindFilePath::NextPath(exact_.path);
      found = !path.empty() && (direction < 0 ? ReadGroupBefore(path, kEndOfFile, group) : ReadGroupFrom(path, 0, group));
    }
    if (!found || !LoadGroup(path, group)) return false;
    target = direction < 0 ? groupPts_.back() : groupPts_.front();
  }
  const bool kept = std::any_of(cache_.begin(), cache_.end(), [&](const CachedPicture& p) { return p.pts == target; });
  if (!kept && !DecodeGroup(target, direction)) return false;
  int64_t pos = -1;
  for (const AccessUnit& u : group_.units)
    if (u.pts == target) pos = u.pos;
  exact_ = Place{groupPath_, pos, target};
  return true;
}

// Decodes the whole group and keeps its pictures within the byte bound: going back,
// those up to the picture it came from (the latest first); going forward, those
// from the target on (the earliest first). At least the target is kept.
bool CVideoCtx::DecodeGroup(int64_t target, int direction) {
  DropCache();
  // A whole group at once: frame threads are welcome here for camera-sized pictures
  // (small ones decode fast enough on one), the pictures are taken after the last unit.
  // A decoder of its own for each group: it is drained at the end of the group.
  const int64_t area = static_cast<int64_t>(links_.state->pictureWidth.load()) * links_.state->pictureHeight.load();
  stepDecoder_.SetCodec(decoder_.Codec());
  stepDecoder_.SetThreads(area >= kStepThreadedArea ? 0 : 1);
  if (!stepDecoder_.Renew()) return false;
  const int64_t bound = links_.stepCacheBytes;
  int64_t keepMax = target;
  if (direction < 0 && groupPath_ == exact_.path && exact_.pts > target) keepMax = exact_.pts;
  bool targetSeen = false;
  auto take = [&] {
    const AVFrame* picture = stepDecoder_.Picture();
    if (!AvDecoder::IsPlanar420(picture) || picture->pts == AV_NOPTS_VALUE) return;
    const int64_t pts = picture->pts;
    if (direction < 0 ? pts > keepMax : pts < target) return;
    const int w = picture->width, h = picture->height;
    const int64_t bytes = static_cast<int64_t>(w) * h + 2 * static_cast<int64_t>(ChromaWidth(w)) * ChromaHeight(h);
    if (direction > 0 && targetSeen && cacheBytes_ + bytes > bound) return;
    CachedPicture p;
    p.frame.reset(av_frame_clone(picture));
    if (!p.frame) return;
    p.pts = pts;
    p.bytes = bytes;
    targetSeen = targetSeen || pts == target;
    auto at = std::upper_bound(cache_.begin(), cache_.end(), pts,
                               [](int64_t v, const CachedPicture& c) { return v < c.pts; });
    cache_.insert(at, std::move(p));
    cacheBytes_ += bytes;
    // Going back the earliest go first; with room for the target alone, only the target stays.
    while (direction < 0 && cacheBytes_ > bound && cache_.size() > 1) {
      auto drop = cache_.front().pts != target ? cache_.begin() : std::prev(cache_.end());
      cacheBytes_ -= drop->bytes;
      cache_.erase(drop);
    }
    peakCachedBytes_.store(std::max(peakCachedBytes_.load(std::memory_order_relaxed), cacheBytes_),
                           std::memory_order_relaxed);
  };
  for (const AccessUnit& u : group_.units) {
    // A unit refused for pictures not taken yet goes in once they are; a damaged one is left out.
    while (!stepDecoder_.Send(u.bytes.data(), static_cast<int>(u.bytes.size()), u.pts, u.pos) &&
           stepDecoder_.Receive())
      take();
    while (stepDecoder_.Receive()) take();
  }
  stepDecoder_.Drain();
  while (stepDecoder_.Receive()) take();
  groupsDecoded_.fetch_add(1, std::memory_order_relaxed);
  cachedPictures_.store(static_cast<int>(cache_.size()), std::memory_order_relaxed);
  return targetSeen;
}

bool CVideoCtx::PresentCached(int64_t pts) {
  auto it = std::find_if(cache_.begin(), cache_.end(), [&](const CachedPicture& p) { return p.pts == pts; });
  if (it == cache_.end()) return false;
  PlaybackState& state = *links_.state;
  const int w = it->frame->width, h = it->frame->height;
  if (!presenter_.HasTarget() || w != state.pictureWidth.load() || h != state.pictureHeight.load()) {
    state.pictureWidth = w;
    state.pictureHeight = h;
    if (!InitVideo()) {
      state.pictureWidth = 0;
      state.pictureHeight = 0;
      return false;
    }
  }
  const AVFrame* f = it->frame.get();
  for (int i = 0; i < 4; ++i) {
    picturePlanes_[i] = f->data[i];
    pictureStrides_[i] = f->linesize[i];
  }
  pictureColour_ = AvDecoder::ColourOf(f);
  gotFrame_ = true;
  return PresentFrame();
}

// Play, a step or reverse play after exact steps: the reader reads on from the key
// frame of the group on screen (unless the user has sent it elsewhere meanwhile),
// and forward play goes on with the picture after the one on screen.
void CVideoCtx::LeaveExactMode() {
  exactMode_ = false;
  const bool sameGroup = groupPath_ == exact_.path && group_.keyPos >= 0;
  const int64_t keyPos = sameGroup ? group_.keyPos : exact_.pos;
  DropCache();
  groupPath_.clear();
  group_ = PictureGroup{};
  groupPts_.clear();
  if (links_.files->Moves() != movesAtStep_) return;
  jumpTicket_ = links_.files->RequestJump(exact_.path, keyPos);
  awaitingJump_ = true;
  resumePath_ = exact_.path;
  resumeAfterPts_ = exact_.pts;
  shown_ = PictureId{}; // exact_ stays the picture on screen until the queue shows another
}

void CVideoCtx::DropCache() {
  cache_.clear();
  cacheBytes_ = 0;
  cachedPictures_.store(0, std::memory_order_relaxed);
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
