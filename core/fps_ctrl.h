#pragma once
#include <atomic>

#include "platform/event.h"

// The pacing clock of the video thread: an absolute deadline on the tick count
// that moves forward one interval per picture, so lateness does not accumulate.
// All time comes from platform::CurrentClock().
class CFpsCtrl {
public:
  explicit CFpsCtrl(double fps);
  virtual ~CFpsCtrl() = default;

  // Sets the rate, wakes a waiter, and returns the rate the interval gives.
  double SetFps(double fps);
  double GetFps() const { return fps_.load(std::memory_order_relaxed); }
  // The deadline becomes now.
  void Reset();
  // The next Wait(ms) returns at once and the ones after pace from now: for the
  // first picture of a stream, which has no picture before it to keep pace with.
  void Restart(double ms);
  // Ends a wait in progress (or the next one) at once. Any thread.
  void Wake() { wake_.Set(); }
  // Advances the deadline by ms (by one interval when ms is 0) and sleeps until
  // it when it is more than 5 ms ahead.
  void Wait(double ms);

  double Deadline() const { return deadline_; }
  double Interval() const { return interval_.load(std::memory_order_relaxed); }

private:
  std::atomic<double> fps_{0};
  std::atomic<double> interval_{0};
  double deadline_ = 0; // touched by the video thread only
  platform::AutoResetEvent wake_;
};
