#include "core/fps_ctrl.h"

#include "platform/clock.h"

CFpsCtrl::CFpsCtrl(double fps) {
  Reset();
  SetFps(fps);
}

double CFpsCtrl::SetFps(double fps) {
  fps_ = fps;
  interval_ = 1000.0 / fps;
  Wake();
  return 1000.0 / interval_;
}

void CFpsCtrl::Reset() { deadline_ = static_cast<double>(platform::TickCount()); }

void CFpsCtrl::Restart(double ms) { deadline_ = static_cast<double>(platform::TickCount()) - (ms == 0 ? interval_.load() : ms); }

void CFpsCtrl::Wait(double ms) {
  deadline_ += ms == 0 ? interval_.load() : ms;
  auto remaining = static_cast<int64_t>(deadline_ - static_cast<double>(platform::TickCount()));
  if (remaining > 5) platform::CurrentClock().WaitFor(wake_, remaining);
}
