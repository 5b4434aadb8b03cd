#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// Sets the running flag and runs body on a new thread held in `thread`. When no
// thread can be made the flag is cleared again and the result is false.
bool StartThread(std::thread& thread, std::atomic<bool>& running, std::function<void()> body);

// The base of the pipeline's worker threads: Start runs Run() on a new thread;
// Stop clears the running flag, which Run() polls, and waits for the thread.
class CMyThread {
public:
  CMyThread() = default;
  CMyThread(const CMyThread&) = delete;
  CMyThread& operator=(const CMyThread&) = delete;
  // Joins a thread that is still running: a derived class must call Stop()
  // and Join() in its own destructor, before its members go.
  virtual ~CMyThread();

  virtual bool Start();
  // Clears the running flag and waits at most timeoutMs for the thread to end.
  // Returns whether it ended.
  virtual bool Stop(int64_t timeoutMs);
  // Waits without limit for the thread to end.
  void Join();
  bool IsRunning() const { return running_.load(std::memory_order_relaxed); }

protected:
  virtual int Run() = 0;
  // Sleeps in 10 ms steps while running, at most ms milliseconds.
  virtual void SleepWhileRunning(int64_t ms);

  std::atomic<bool> running_{false};

private:
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable endedCv_;
  bool ended_ = true;
};
