#pragma once
#include <cstdint>

namespace platform {

class AutoResetEvent;

// The millisecond tick source of the pipeline. Everything that reads the tick
// count, sleeps or waits with a time-out goes through the current clock, so a
// test can install a clock of its own and drive time without sleeping.
class Clock {
public:
  virtual ~Clock() = default;
  // Milliseconds on a monotonic scale.
  virtual int64_t NowMs() = 0;
  virtual void SleepMs(int64_t ms) = 0;
  // Waits for the event at most ms milliseconds; true when it was signalled.
  virtual bool WaitFor(AutoResetEvent& event, int64_t ms) = 0;
};

// The monotonic system clock.
Clock& SystemClock();

// The clock in use: the system clock unless a test installed another one.
Clock& CurrentClock();
// Installs a clock (nullptr restores the system clock). Call it while no
// pipeline thread runs.
void SetClock(Clock* clock);

// Shorthands on the current clock.
inline int64_t TickCount();
inline void SleepMs(int64_t ms) { CurrentClock().SleepMs(ms); }

inline int64_t TickCount() { return CurrentClock().NowMs(); }

} // namespace platform
