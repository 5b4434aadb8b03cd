#pragma once
// The panel's telemetry display: the G-sensor history its graph draws, and when
// to repaint. Every sample enters the history; the area is repainted at most
// once per 150 ms, and a sample that arrives sooner is painted at the end of
// those 150 ms, so the last sample of a burst is always shown.
#include <climits>
#include <cstdint>
#include <deque>
#include <vector>

#include "telemetry/telemetry.h"

class GSensorHistory {
public:
  explicit GSensorHistory(int capacity) : capacity_(capacity < 1 ? 1 : capacity) {}
  void Add(const GSensorTriple& g);
  const std::deque<GSensorTriple>& Samples() const { return samples_; } // oldest first
  int Capacity() const { return capacity_; }

private:
  int capacity_;
  std::deque<GSensorTriple> samples_;
};

class RepaintThrottle {
public:
  static constexpr int64_t kIntervalMs = 150;

  struct Decision {
    bool paintNow = false;
    int64_t scheduleInMs = -1; // >= 0: start a one-shot timer of this length
  };
  // A sample arrived at now (milliseconds).
  Decision OnSample(int64_t now);
  // The scheduled timer fired: paint (always).
  void OnTimer(int64_t now);
  bool Scheduled() const { return scheduled_; }

private:
  int64_t lastPaint_ = INT64_MIN / 2;
  bool scheduled_ = false;
};

// The points of one axis of the G-sensor graph: the i-th sample (oldest first)
// at (x0 + i, y0 - trunc(value / 5 * k)).
struct GraphPoint {
  int x = 0, y = 0;
};
enum class GAxis { X, Y, Z };
std::vector<GraphPoint> GraphPoints(const std::deque<GSensorTriple>& samples, GAxis axis, int x0, int y0, int k);
