#include "core/my_thread.h"

#include <chrono>

#include "platform/clock.h"

CMyThread::~CMyThread() { Join(); }

bool CMyThread::Start() {
  if (thread_.joinable()) return false;
  running_ = true;
  {
    std::lock_guard lock(mutex_);
    ended_ = false;
  }
  try {
    thread_ = std::thread([this] {
      Run();
      std::lock_guard lock(mutex_);
      ended_ = true;
      endedCv_.notify_all();
    });
  } catch (const std::system_error&) {
    running_ = false;
    std::lock_guard lock(mutex_);
    ended_ = true;
    return false;
  }
  return true;
}

bool CMyThread::Stop(int64_t timeoutMs) {
  running_ = false;
  if (!thread_.joinable()) return true;
  {
    std::unique_lock lock(mutex_);
    if (!endedCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return ended_; })) return false;
  }
  thread_.join();
  return true;
}

void CMyThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void CMyThread::SleepWhileRunning(int64_t ms) {
  int64_t start = platform::TickCount();
  while (running_.load(std::memory_order_relaxed) && platform::TickCount() - start < ms) platform::SleepMs(10);
}
