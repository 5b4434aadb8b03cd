#pragma once
#include <cstdint>

namespace platform {

constexpr uint32_t kWmUser = 0x0400;

// A window that accepts posted messages (number, wParam, lParam). Posting never
// blocks and never waits for the receiver; messages posted to one target are
// delivered in the order they were posted. The pipeline reaches the windows
// only through this interface.
class MessageTarget {
public:
  virtual ~MessageTarget() = default;
  virtual void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

// Posts when the target is set; a missing window simply gets nothing.
inline void PostTo(MessageTarget* target, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) {
  if (target) target->Post(message, wParam, lParam);
}

} // namespace platform
