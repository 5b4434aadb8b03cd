#include "core/buffer.h"

#include <algorithm>
#include <mutex>
#include <new>

CBuffer::CBuffer(int slotCount) : slotCount_(slotCount) {
  // The list holds at most slotCount + 1 entries (other video frames and audio
  // frames are admitted up to one more than the slot count); the first push
  // into an empty list adds a placeholder as well.
  list_.resize(static_cast<size_t>(slotCount + 2));
}

CBuffer::~CBuffer() { Release(); }

bool CBuffer::Init(int32_t capacity, uint32_t largestFrame, int blockingMode, uint32_t largestLimit) {
  if (capacity <= 0 || largestFrame == 0 || largestFrame > static_cast<uint32_t>(capacity)) return false;
  largestLimit = std::max(largestLimit, largestFrame);
  const int64_t reserve = std::max<int64_t>(capacity, int64_t{kGrowthFrames} * largestLimit);
  if (reserve > INT32_MAX) return false;
  if (!ring_ || reserved_ < reserve) {
    ring_.reset();
    reserved_ = 0;
    // Not written here: the pages beyond the ring in use are never touched.
    ring_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(reserve)]);
    if (!ring_) {
      capacity_ = 0;
      return false;
    }
    reserved_ = reserve;
  }
  capacity_ = capacity;
  largestLimit_ = largestLimit;
  if (blockingMode == 1) roomEvent_.Reset();
  blockingMode_ = blockingMode;
  largestFrame_ = largestFrame;
  queuedBytes_ = 0;
  head_ = count_ = 0;
  return true;
}

CBuffer::Growth CBuffer::Grow(size_t size, FrameDesc& d) {
  if (size <= largestFrame_) return Growth::Done;
  uint8_t* const base = ring_.get();
  if (!base || !d.pData || size > largestLimit_) return Growth::Never;
  uint64_t largest = largestFrame_;
  while (largest < size) largest *= 2;
  largest = std::min<uint64_t>(largest, largestLimit_);
  const size_t at = static_cast<size_t>(d.pData - base);
  // The ring's new end leaves the new largest frame room after the write position.
  const int64_t capacity =
      std::min<int64_t>(reserved_, std::max<int64_t>({int64_t{kGrowthFrames} * static_cast<int64_t>(largest),
                                                      capacity_, static_cast<int64_t>(at + largest)}));
  if (static_cast<int64_t>(at + largest) > capacity) return Growth::Never;
  // Waiting frames lie between the frame in use and the write position; while
  // the writer is behind the frame in use, its room ends at that frame.
  if (count_ > 0 && static_cast<size_t>(At(0).pData - base) > at) return Growth::Later;
  capacity_ = static_cast<int32_t>(capacity);
  largestFrame_ = static_cast<uint32_t>(largest);
  return Growth::Done;
}

void CBuffer::Release() {
  blockingMode_ = 0;
  roomEvent_.Set();
}

void CBuffer::Append(const FrameDesc& d) {
  list_[static_cast<size_t>((head_ + count_) % listCapacity())] = d;
  ++count_;
}

void CBuffer::DropFirst() {
  head_ = (head_ + 1) % listCapacity();
  --count_;
}

uint8_t* CBuffer::NextWritePos(uint8_t* after) const {
  size_t used = static_cast<size_t>(after - ring_.get());
  if (used + largestFrame_ > static_cast<size_t>(capacity_)) return ring_.get();
  return after;
}

void CBuffer::Flush(FrameDesc* d) {
  uint8_t* next = ring_.get();
  if (count_ > 0) {
    FrameDesc first = At(0);
    count_ = 1;
    if (first.pData) next = NextWritePos(first.pData + first.nSize);
  }
  queuedBytes_ = 0;
  if (d) {
    *d = FrameDesc{};
    d->pData = next;
  }
}

void CBuffer::Clear() {
  // The frame in use stays first in the list, so that the producer, which
  // keeps its write position, cannot write into bytes the consumer still reads.
  if (count_ > 1) count_ = 1;
  queuedBytes_ = 0;
}

bool CBuffer::Push(FrameDesc& d) {
  bool appended = false;
  uint8_t* const base = ring_.get();
  if (!base || !d.pData || d.nSize <= 0 || static_cast<uint32_t>(d.nSize) > largestFrame_ ||
      count_ >= listCapacity()) {
    d.nSize = 0;
    return false;
  }
  const size_t at = static_cast<size_t>(d.pData - base);
  const size_t size = static_cast<size_t>(d.nSize);
  const size_t largest = largestFrame_;
  const size_t end = static_cast<size_t>(capacity_);
  if (count_ == 0) {
    Append(d);
    Append(d);
    queuedBytes_ = d.nSize;
    d.pData = NextWritePos(d.pData + d.nSize);
    appended = true;
  } else {
    const size_t first = static_cast<size_t>(At(0).pData - base);
    uint8_t* next = nullptr;
    if (first <= at) {
      if (at + size + largest <= end) next = d.pData + d.nSize;
      else if (largest <= first) next = base;
    } else if (at + size + largest <= first) {
      next = d.pData + d.nSize;
    }
    if (next) {
      Append(d);
      queuedBytes_ += d.nSize;
      d.pData = next;
      appended = true;
    }
  }
  d.nSize = 0;
  return appended;
}

bool CBuffer::Pop(FrameDesc& d) {
  if (count_ == 0) {
    queuedBytes_ = 0;
    return false;
  }
  DropFirst();
  if (count_ == 0) {
    queuedBytes_ = 0;
    return false;
  }
  d = At(0);
  queuedBytes_ -= d.nSize;
  return true;
}

int CBuffer::Count() const { return count_; }

bool CBuffer::IsFull() const {
  return blockingMode_ == 1 &&
         (count_ >= slotCount_ || 3 * static_cast<int64_t>(largestFrame_) + queuedBytes_ >= capacity_);
}

bool CBuffer::HasRoom() const {
  return blockingMode_ == 1 && count_ < slotCount_ &&
         3 * static_cast<int64_t>(largestFrame_) + queuedBytes_ < capacity_;
}

int CBuffer::HeadPos() const {
  for (int i = 0; i < count_; ++i)
    if (At(i).pData) return At(i).nPosPermille;
  return 0;
}

void CBuffer::WaitForRoom() {
  while (IsFullLocked()) roomEvent_.Wait(-1);
}

// ---- locked queues ----

void CLockedBuffer::Flush(FrameDesc* d) {
  std::lock_guard lock(*this);
  CBuffer::Flush(d);
}

void CLockedBuffer::Clear() {
  std::lock_guard lock(*this);
  CBuffer::Clear();
}

bool CLockedBuffer::Pop(FrameDesc& d) {
  bool got, room;
  {
    std::lock_guard lock(*this);
    got = CBuffer::Pop(d);
    room = HasRoom();
  }
  if (room) roomEvent_.Set();
  return got;
}

bool CLockedBuffer::IsFullLocked() {
  std::lock_guard lock(*this);
  return IsFull();
}

CBuffer::Growth CLockedBuffer::Grow(size_t size, FrameDesc& d) {
  std::lock_guard lock(*this);
  return CBuffer::Grow(size, d);
}

int CLockedBuffer::LockedCount() {
  std::lock_guard lock(*this);
  return Count();
}

bool CLockedBuffer::AfterPush(FrameDesc& d) {
  d.nType = kFrameNone;
  d.nSize = 0;
  WaitForRoom();
  return blockingMode_ != 0;
}

// ---- video queue ----

void CVBuffer2::Flush(FrameDesc* d) {
  std::lock_guard lock(*this);
  CBuffer::Flush(d);
  if (gopState_ != kGopClosed) gopState_ = kGopWaiting;
}

void CVBuffer2::Clear() {
  std::lock_guard lock(*this);
  CBuffer::Clear();
  if (gopState_ != kGopClosed) gopState_ = kGopWaiting;
}

bool CVBuffer2::Push(FrameDesc& d) {
  {
    std::lock_guard lock(*this);
    bool admitted = false;
    if (d.nType == kFrameKey) {
      admitted = gopState_ >= 0 && Count() < SlotCount() && CBuffer::Push(d);
      if (admitted) gopState_ = 1;
    } else if (d.nType == kFrameOther) {
      admitted = gopState_ > 0 && Count() <= SlotCount() && CBuffer::Push(d);
    }
    if (!admitted && gopState_ != kGopClosed) gopState_ = kGopWaiting;
  }
  return AfterPush(d);
}

int CVBuffer2::LockedHeadPos() {
  std::lock_guard lock(*this);
  return HeadPos();
}

void CVBuffer2::SetGopState(int state) {
  std::lock_guard lock(*this);
  gopState_ = state;
}

int CVBuffer2::GopState() {
  std::lock_guard lock(*this);
  return gopState_;
}

// ---- audio queue ----

bool CABuffer2::Push(FrameDesc& d) {
  {
    std::lock_guard lock(*this);
    if (Count() <= SlotCount()) CBuffer::Push(d);
    else d.nSize = 0;
  }
  return AfterPush(d);
}
