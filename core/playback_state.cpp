#include "core/playback_state.h"

#include <algorithm>
#include <cstdlib>

namespace {
constexpr double kRate[12] = {1, 1, 2, 2, 2, 3, 4, 0.5, 0.25, 0.125, 0.0625, 1};
constexpr double kGop[12] = {1, 1, 1, 0.5, 0.25, 0.125, 0.0625, 1, 1, 1, 1, 1};
} // namespace

double SpeedRateFactor(int speedCode) {
  int c = std::abs(speedCode);
  return c < 12 ? kRate[c] : 1.0;
}

double SpeedGopFraction(int speedCode) {
  int c = std::abs(speedCode);
  return c < 12 ? kGop[c] : 1.0;
}

int SpeedCodeForSlider(int position) {
  int p = std::clamp(position, 0, 8);
  return p < 4 ? 10 - p : p - 3;
}

bool SliderHasAudio(int position) { return std::clamp(position, 0, 8) == 4; }
