#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

// The latest telemetry text of the playing recording and its pending flag,
// handed from the reader thread to the user interface. A newer text may
// replace an older one before the older one's message has been handled.
class TelemetryMailbox {
public:
  static constexpr size_t kSize = 2048;
  using Text = std::array<char, kSize>;

  // Copies at most 2047 bytes and a terminating zero, then sets the flag.
  void Put(const uint8_t* data, size_t size);
  // Copies the text (always zero-terminated) when the flag is set; returns the flag.
  bool Read(Text& out) const;
  bool Pending() const { return pending_.load(std::memory_order_acquire); }
  void ClearPending() { pending_.store(false, std::memory_order_release); }

private:
  mutable std::mutex mutex_;
  Text text_{};
  std::atomic<bool> pending_{false};
};

// The mailbox of the application.
TelemetryMailbox& AppTelemetryMailbox();
