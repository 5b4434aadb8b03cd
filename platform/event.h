#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

// An auto-reset event: Set() releases one waiter (or the next one to wait when
// nobody waits yet); a successful wait clears the event again.
class AutoResetEvent {
public:
  AutoResetEvent() = default;
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;

  void Set();
  void Reset();
  // Waits at most timeoutMs milliseconds (negative: without limit).
  // Returns true when the event was signalled, false on time-out.
  bool Wait(int64_t timeoutMs);
  // Takes the signal if it is set, without waiting.
  bool TryWait();

private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

} // namespace platform
