#include "app/logic/telemetry_display.h"

#include <vector>

void GSensorHistory::Add(const GSensorTriple& g) {
  samples_.push_back(g);
  while (static_cast<int>(samples_.size()) > capacity_) samples_.pop_front();
}

RepaintThrottle::Decision RepaintThrottle::OnSample(int64_t now) {
  if (scheduled_) return {};
  if (now - lastPaint_ > kIntervalMs) {
    lastPaint_ = now;
    return {true, -1};
  }
  scheduled_ = true;
  return {false, lastPaint_ + kIntervalMs + 1 - now};
}

void RepaintThrottle::OnTimer(int64_t now) {
  scheduled_ = false;
  lastPaint_ = now;
}

std::vector<GraphPoint> GraphPoints(const std::deque<GSensorTriple>& samples, GAxis axis, int x0, int y0, int k) {
  std::vector<GraphPoint> points;
  points.reserve(samples.size());
  int i = 0;
  for (const auto& s : samples) {
    const double v = axis == GAxis::X ? s.x : axis == GAxis::Y ? s.y : s.z;
    points.push_back({x0 + i, y0 - static_cast<int>(v / 5 * k)});
    ++i;
  }
  return points;
}
