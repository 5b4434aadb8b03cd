#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/frame_desc.h"
#include "core/locks.h"
#include "platform/event.h"

// A bounded frame queue between one producer (the reader) and one consumer (a
// decode thread). Frame bytes live in one ring region; the producer writes a
// frame in place at its write position and commits it with Push; the consumer
// takes descriptors with Pop and reads the bytes in place until its next Pop.
//
// The descriptor list's first entry is the frame the consumer is using (or a
// placeholder standing for it); the producer's write position never enters its
// bytes, and always has at least "largest frame" contiguous bytes of room.
//
// The base class does no locking; CVBuffer2 and CABuffer2 wrap it in their lock.
class CBuffer {
public:
  explicit CBuffer(int slotCount);
  virtual ~CBuffer();
  CBuffer(const CBuffer&) = delete;
  CBuffer& operator=(const CBuffer&) = delete;

  // Reserves the ring (reusing one that is large enough), sets the largest
  // frame and the blocking mode, and empties the queue. With a largest-frame
  // limit above the largest frame, room is reserved for the ring to grow to
  // kGrowthFrames frames of that limit (Grow); only the part in use is touched.
  virtual bool Init(int32_t capacity, uint32_t largestFrame, int blockingMode, uint32_t largestLimit = 0);

  // Growing for a frame of `size` bytes, larger than the largest frame: the
  // largest frame doubles until it holds it and the ring becomes at least
  // kGrowthFrames of them, within the reserved room. The producer's working
  // descriptor keeps its write position. Later: the producer's position lies
  // behind the frame in use (the ring has wrapped), try again once the consumer
  // has moved on; Never: the frame is over the limit.
  enum class Growth { Done, Later, Never };
  static constexpr int kGrowthFrames = 8;
  virtual Growth Grow(size_t size, FrameDesc& d);
  // Blocking off; a producer waiting for room wakes up.
  virtual void Release();
  // Drops every waiting frame (the frame in use stays protected) and gives the
  // producer its next write position in d (when given).
  virtual void Flush(FrameDesc* d);
  // Drops every waiting frame; the producer keeps its write position.
  virtual void Clear();
  // Commits the frame written at d.pData (d.nSize bytes). Afterwards d.pData is
  // the next write position and d.nSize 0. Returns whether it was appended.
  virtual bool Push(FrameDesc& d);
  // Releases the frame in use and takes the next one into d; false when none waits.
  virtual bool Pop(FrameDesc& d);

  int Count() const;
  bool IsFull() const;
  bool HasRoom() const;
  int HeadPos() const;

  int SlotCount() const { return slotCount_; }
  int32_t QueuedBytes() const { return queuedBytes_; }
  uint32_t LargestFrame() const { return largestFrame_; }
  const uint8_t* RingBase() const { return ring_.get(); }
  int32_t RingCapacity() const { return capacity_; }

protected:
  // Waits on the room event while the queue is full (the lock must not be held).
  void WaitForRoom();
public:
  // IsFull under the derived class's lock.
  virtual bool IsFullLocked() { return IsFull(); }

protected:

  platform::AutoResetEvent roomEvent_;
  std::atomic<int> blockingMode_{0};

private:
  const FrameDesc& At(int i) const { return list_[static_cast<size_t>((head_ + i) % listCapacity())]; }
  int listCapacity() const { return static_cast<int>(list_.size()); }
  void Append(const FrameDesc& d);
  void DropFirst();
  uint8_t* NextWritePos(uint8_t* after) const;

  const int slotCount_;
  std::unique_ptr<uint8_t[]> ring_;
  int32_t capacity_ = 0;
  int32_t queuedBytes_ = 0;
  uint32_t largestFrame_ = 0;
  uint32_t largestLimit_ = 0;
  int64_t reserved_ = 0; // bytes of the ring's region
  // The descriptor list: a circular array, so that queuing never allocates.
  std::vector<FrameDesc> list_;
  int head_ = 0;
  int count_ = 0;
};

// The base of the two queues: the queue operations under the queue's lock.
class CLockedBuffer : public CBuffer, public light_lock {
public:
  explicit CLockedBuffer(int slotCount) : CBuffer(slotCount) {}
  void Flush(FrameDesc* d) override;
  void Clear() override;
  // Takes the next frame, and wakes the producer when that left room.
  bool Pop(FrameDesc& d) override;
  bool IsFullLocked() override;
  Growth Grow(size_t size, FrameDesc& d) override;
  int LockedCount();

protected:
  // The end of every push, outside the lock: the working descriptor is
  // emptied and the producer waits while the queue is full. Returns whether
  // blocking mode is still on.
  bool AfterPush(FrameDesc& d);
};

// The video queue: admits frames by group of pictures, so that the decoder
// never receives a frame whose key frame was refused.
class CVBuffer2 : public CLockedBuffer {
public:
  static constexpr int kGopClosed = -1;
  static constexpr int kGopWaiting = 0;

  explicit CVBuffer2(int slotCount) : CLockedBuffer(slotCount) {}
  void Flush(FrameDesc* d) override;
  void Clear() override;
  // Admits the frame by the group-of-pictures rule, then blocks while the
  // queue is full. Returns whether blocking mode is still on.
  bool Push(FrameDesc& d) override;
  int LockedHeadPos();
  void SetGopState(int state);
  int GopState();

private:
  int gopState_ = kGopClosed;
};

// The audio queue: refuses frames beyond one more than its slots.
class CABuffer2 : public CLockedBuffer {
public:
  explicit CABuffer2(int slotCount) : CLockedBuffer(slotCount) {}
  bool Push(FrameDesc& d) override;
};
