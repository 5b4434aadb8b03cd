#pragma once
#include <mutex>

// The lock of the frame queues: a plain mutex, held only for bookkeeping.
class light_lock {
public:
  virtual ~light_lock() = default;
  void lock() { mutex_.lock(); }
  bool try_lock() { return mutex_.try_lock(); }
  void unlock() { mutex_.unlock(); }

private:
  std::mutex mutex_;
};
