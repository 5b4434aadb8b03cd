#include "core/telemetry_mailbox.h"

#include <algorithm>
#include <cstring>

void TelemetryMailbox::Put(const uint8_t* data, size_t size) {
  size_t n = std::min(size, kSize - 1);
  {
    std::lock_guard lock(mutex_);
    std::memcpy(text_.data(), data, n);
    text_[n] = '\0';
  }
  pending_.store(true, std::memory_order_release);
}

bool TelemetryMailbox::Read(Text& out) const {
  if (!Pending()) return false;
  std::lock_guard lock(mutex_);
  out = text_;
  return true;
}

TelemetryMailbox& AppTelemetryMailbox() {
  static TelemetryMailbox mailbox;
  return mailbox;
}
