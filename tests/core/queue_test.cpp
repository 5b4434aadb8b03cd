#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "core/buffer.h"

namespace {

constexpr int32_t kRing = 1000;
constexpr uint32_t kLargest = 100;

// Writes a frame of the given size and kind at the producer's position and commits it.
bool Put(CBuffer& q, FrameDesc& w, int size, int type = kFrameKey, int pos = 0) {
  for (int i = 0; i < size; ++i) w.pData[i] = static_cast<uint8_t>(size);
  w.nSize = size;
  w.nType = type;
  w.nPosPermille = pos;
  return q.Push(w);
}

size_t Offset(const CBuffer& q, const FrameDesc& d) { return static_cast<size_t>(d.pData - q.RingBase()); }

} // namespace

TEST(FrameQueue, FirstFrameIsTakenByTheFirstPopAndTheLastPopEmpties) {
  CBuffer q(5);
  ASSERT_TRUE(q.Init(kRing, kLargest, 0));
  FrameDesc w, got;
  q.Flush(&w);
  EXPECT_EQ(Offset(q, w), 0u);
  EXPECT_FALSE(q.Pop(got)); // empty queue
  ASSERT_TRUE(Put(q, w, 10));
  EXPECT_EQ(q.Count(), 2); // the frame and its placeholder
  EXPECT_EQ(q.QueuedBytes(), 10);
  ASSERT_TRUE(q.Pop(got));
  EXPECT_EQ(got.nSize, 10);
  EXPECT_EQ(Offset(q, got), 0u);
  EXPECT_EQ(q.QueuedBytes(), 0);
  ASSERT_TRUE(Put(q, w, 20));
  ASSERT_TRUE(q.Pop(got));
  EXPECT_EQ(got.nSize, 20);
  EXPECT_EQ(Offset(q, got), 10u);
  EXPECT_FALSE(q.Pop(got)); // drops the frame in use; nothing left
  EXPECT_EQ(q.Count(), 0);
}

TEST(FrameQueue, FullBySlotsOrByBytes) {
  CBuffer q(4);
  ASSERT_TRUE(q.Init(kRing, kLargest, 1));
  FrameDesc w;
  q.Flush(&w);
  Put(q, w, 10); // 2 entries with the placeholder
  Put(q, w, 10);
  EXPECT_TRUE(q.HasRoom());
  Put(q, w, 10); // 4 entries: full by slots
  EXPECT_TRUE(q.IsFull());
  EXPECT_FALSE(q.HasRoom());

  CBuffer bytes(30);
  ASSERT_TRUE(bytes.Init(kRing, kLargest, 1));
  bytes.Flush(&w);
  Put(bytes, w, 99); // placeholder: 99 bytes waiting
  EXPECT_FALSE(bytes.IsFull());
  Put(bytes, w, 1); // 3 x 100 + 100 waiting >= ... not yet: 300 + 100 < 1000
  Put(bytes, w, 100);
  Put(bytes, w, 100);
  Put(bytes, w, 100);
  Put(bytes, w, 100); // 500 waiting: 300 + 500 < 1000
  EXPECT_FALSE(bytes.IsFull());
  Put(bytes, w, 100); // 600 waiting: 300 + 600 < 1000
  Put(bytes, w, 100); // 700 waiting: 300 + 700 >= 1000
  EXPECT_TRUE(bytes.IsFull());
  bytes.Release(); // after release nothing is full and nothing has room
  EXPECT_FALSE(bytes.IsFull());
  EXPECT_FALSE(bytes.HasRoom());
}

TEST(FrameQueue, WrapsToTheBaseOnlyPastTheFrameInUse) {
  CBuffer q(30);
  ASSERT_TRUE(q.Init(kRing, kLargest, 0));
  FrameDesc w, got;
  q.Flush(&w);
  ASSERT_TRUE(Put(q, w, 100)); // 0..99, then the consumer takes it
  ASSERT_TRUE(q.Pop(got));
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(Put(q, w, 100)); // 100..899
  EXPECT_EQ(Offset(q, w), 900u);
  // 900 + 100 + 100 > 1000 and the frame in use starts at 0: the writer may not wrap.
  EXPECT_FALSE(Put(q, w, 100));
  EXPECT_EQ(Offset(q, w), 900u) << "a refused frame leaves the write position";
  ASSERT_TRUE(q.Pop(got)); // in use: 100..199
  EXPECT_TRUE(Put(q, w, 100)); // 900..999, the writer wraps to the base
  EXPECT_EQ(Offset(q, w), 0u);
  // Behind the frame in use the writer needs a frame plus a largest frame of room.
  EXPECT_FALSE(Put(q, w, 50)); // 0 + 50 + 100 > 100
  ASSERT_TRUE(q.Pop(got));    // in use: 200..299
  EXPECT_TRUE(Put(q, w, 50));
}

// A frame over the largest frame grows the queue (largest doubled until it
// fits, ring at least eight of them) up to the limit; while the writer is
// behind the frame in use it must wait; the write position is kept.
TEST(FrameQueue, GrowsForALargerFrameUpToItsLimit) {
  CBuffer q(30);
  ASSERT_TRUE(q.Init(kRing, kLargest, 0, 1000));
  FrameDesc w, got;
  q.Flush(&w);
  for (int i = 0; i < 9; ++i) ASSERT_TRUE(Put(q, w, 100)); // 0..899
  ASSERT_TRUE(q.Pop(got));
  ASSERT_TRUE(q.Pop(got)); // in use: 100..199
  ASSERT_TRUE(Put(q, w, 100)); // 900..999, the writer wraps to the base
  ASSERT_EQ(Offset(q, w), 0u);
  EXPECT_EQ(q.Grow(250, w), CBuffer::Growth::Later) << "behind the frame in use";
  EXPECT_EQ(q.LargestFrame(), kLargest);
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(q.Pop(got)); // in use: 900..999
  ASSERT_TRUE(Put(q, w, 100)); // 0..99, still behind the frame in use
  EXPECT_EQ(q.Grow(250, w), CBuffer::Growth::Later);
  ASSERT_TRUE(q.Pop(got)); // in use: 0..99
  EXPECT_EQ(q.Grow(250, w), CBuffer::Growth::Done);
  EXPECT_EQ(q.LargestFrame(), 400u);
  EXPECT_EQ(q.RingCapacity(), 3200);
  EXPECT_EQ(Offset(q, w), 100u) << "the writer keeps its place";
  EXPECT_TRUE(Put(q, w, 250));
  EXPECT_EQ(q.Grow(1001, w), CBuffer::Growth::Never);
  EXPECT_EQ(q.Grow(300, w), CBuffer::Growth::Done) << "already large enough";
}

TEST(FrameQueue, ClearKeepsTheFrameInUseSafeFromTheWriter) {
  CBuffer q(30);
  ASSERT_TRUE(q.Init(kRing, kLargest, 0));
  FrameDesc w, got;
  q.Flush(&w);
  ASSERT_TRUE(Put(q, w, 100));
  ASSERT_TRUE(q.Pop(got)); // the consumer reads bytes 0..99
  Put(q, w, 100);
  q.Clear();
  EXPECT_EQ(q.QueuedBytes(), 0);
  // However much the reader writes afterwards, it never enters bytes 0..99.
  for (int i = 0; i < 20; ++i) {
    Put(q, w, 100);
    EXPECT_GE(Offset(q, w), 100u);
  }
  // The consumer's next pop releases its frame and finds what came after the clear.
  ASSERT_TRUE(q.Pop(got));
  EXPECT_EQ(Offset(q, got), 200u);
}

TEST(FrameQueue, FlushKeepsOnlyTheFrameInUse) {
  CBuffer q(30);
  ASSERT_TRUE(q.Init(kRing, kLargest, 0));
  FrameDesc w, got;
  q.Flush(&w);
  Put(q, w, 40, kFrameKey, 7);
  ASSERT_TRUE(q.Pop(got));
  Put(q, w, 40, kFrameKey, 8);
  Put(q, w, 40, kFrameKey, 9);
  EXPECT_EQ(q.HeadPos(), 7);
  q.Flush(&w);
  EXPECT_EQ(q.Count(), 1);
  EXPECT_EQ(q.QueuedBytes(), 0);
  EXPECT_EQ(Offset(q, w), 40u); // just after the frame in use
  EXPECT_FALSE(q.Pop(got));
}

TEST(VideoQueue, AGroupIsRefusedFromItsFirstRefusedFrameToTheNextKeyFrame) {
  CVBuffer2 q(3);
  ASSERT_TRUE(q.Init(kRing, kLargest, 0)); // not blocking: pushes never wait
  FrameDesc w, got;
  q.Flush(&w);
  // Closed until the channel opens it.
  Put(q, w, 10, kFrameKey);
  EXPECT_EQ(q.Count(), 0);
  q.SetGopState(CVBuffer2::kGopWaiting);
  Put(q, w, 10, kFrameOther, 1); // no key frame yet
  EXPECT_EQ(q.Count(), 0);
  Put(q, w, 10, kFrameKey, 2);   // [K2 K2]
  Put(q, w, 10, kFrameOther, 3); // [K2 K2 O3]
  Put(q, w, 10, kFrameOther, 4); // other frames are admitted up to one past the slots
  EXPECT_EQ(q.Count(), 4);
  Put(q, w, 10, kFrameKey, 5); // refused: the list is at its slots
  EXPECT_EQ(q.Count(), 4);
  ASSERT_TRUE(q.Pop(got));
  ASSERT_TRUE(q.Pop(got));
  EXPECT_EQ(got.nPosPermille, 3);
  Put(q, w, 10, kFrameOther, 6); // room again, but its key frame was refused
  EXPECT_EQ(q.Count(), 2);
  Put(q, w, 10, kFrameKey, 7);
  Put(q, w, 10, kFrameOther, 8);
  EXPECT_EQ(q.Count(), 4);
  std::vector<int> order;
  while (q.Pop(got)) order.push_back(got.nPosPermille);
  EXPECT_EQ(order, (std::vector<int>{4, 7, 8}));
  // A flush returns to waiting: other frames wait for a key frame again.
  q.Flush(&w);
  Put(q, w, 10, kFrameOther, 9);
  EXPECT_EQ(q.Count(), 0);
}

TEST(VideoQueue, ReleaseWakesABlockedProducer) {
  CVBuffer2 q(3);
  ASSERT_TRUE(q.Init(kRing, kLargest, 1));
  q.SetGopState(CVBuffer2::kGopWaiting);
  FrameDesc w;
  q.Flush(&w);
  Put(q, w, 10, kFrameKey); // [K K]
  auto producer = std::async(std::launch::async, [&] { return Put(q, w, 10, kFrameOther); }); // fills and blocks
  EXPECT_EQ(producer.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  // A clear does not wake it; a pop that leaves room does.
  q.Clear();
  EXPECT_EQ(producer.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  FrameDesc got;
  EXPECT_FALSE(q.Pop(got));
  EXPECT_EQ(producer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  producer.get();

  Put(q, w, 10, kFrameKey);
  auto blocked = std::async(std::launch::async, [&] { return Put(q, w, 10, kFrameOther); });
  EXPECT_EQ(blocked.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  q.Release();
  ASSERT_EQ(blocked.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_FALSE(blocked.get()) << "a released queue reports that blocking is off";
}

TEST(AudioQueue, RefusesFramesPastOneMoreThanItsSlots) {
  CABuffer2 q(2);
  ASSERT_TRUE(q.Init(kRing, kLargest, 0));
  FrameDesc w, got;
  q.Flush(&w);
  Put(q, w, 10, kFrameAudio, 1); // [1 1]
  Put(q, w, 10, kFrameAudio, 2); // [1 1 2]
  Put(q, w, 10, kFrameAudio, 3); // refused: 3 > slots
  EXPECT_EQ(q.Count(), 3);
  std::vector<int> order;
  while (q.Pop(got)) order.push_back(got.nPosPermille);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}
