#include "core/my_thread.h"

#include <chrono>

#include "platform/clock.h"

bool StartThread(std::thread& thread, std::atomic<bool>& running, std::function<void()> body) {
  running = true;
  try {
    thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    running = false;
    return false;
  }
  return true;
}

CMyThread::~CMyThread() { Join(); }

bool CMyThread::Start() {
  if (thread_.joinable()) return false;
  {
    std::lock_guard lock(mutex_);
    ended_ = false;
  }
  const bool started = StartThread(thread_, running_, [this] {
    Run();
    std::lock_guard lock(mutex_);
    ended_ = true;
    endedCv_.notify_all();
  });
  if (!started) {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }
  return started;
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
