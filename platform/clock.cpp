#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/event.h"

namespace platform {
namespace {

class SteadyClock final : public Clock {
public:
  int64_t NowMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  void SleepMs(int64_t ms) override {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    else std::this_thread::yield();
  }
  bool WaitFor(AutoResetEvent& event, int64_t ms) override { return event.Wait(ms); }
};

std::atomic<Clock*> g_clock{nullptr};

} // namespace

Clock& SystemClock() {
  static SteadyClock clock;
  return clock;
}

Clock& CurrentClock() {
  Clock* c = g_clock.load(std::memory_order_acquire);
  return c ? *c : SystemClock();
}

void SetClock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

} // namespace platform
