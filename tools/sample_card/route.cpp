#include "tools/sample_card/route.h"

#include <algorithm>
#include <cmath>

#include "tools/sample_card/sample_constants.h"

namespace samplegen {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
constexpr double kKnotMps = 1852.0 / 3600.0;
constexpr double kMetresPerDegree = 6371000.0 * kPi / 180.0;
constexpr double kG = 9.80665;
constexpr double kRampSeconds = 15.0;
constexpr double kBumpPeriod = 20.0;

uint64_t SplitMix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// A number in [0, 1) from the seed and a salt.
double Unit(uint32_t seed, uint64_t salt) {
  return static_cast<double>(SplitMix((static_cast<uint64_t>(seed) << 32) ^ SplitMix(salt)) >> 11) /
         9007199254740992.0;
}

struct Params {
  double phase[4];
  double course0;
};

Params MakeParams(uint32_t seed) {
  Params p{};
  for (int i = 0; i < 4; ++i) p.phase[i] = kTwoPi * Unit(seed, 100 + static_cast<uint64_t>(i));
  p.course0 = 360.0 * Unit(seed, 200);
  return p;
}

// Speed-up factor of the first seconds (smoothstep) and its derivative.
double Ramp(double t) {
  if (t >= kRampSeconds) return 1;
  double x = t / kRampSeconds;
  return x * x * (3 - 2 * x);
}
double RampRate(double t) {
  if (t >= kRampSeconds) return 0;
  double x = t / kRampSeconds;
  return 6 * x * (1 - x) / kRampSeconds;
}

// Cruise speed in knots (before the ramp) and its derivative per second.
double Cruise(const Params& p, double t) {
  return 18 + 9 * std::sin(kTwoPi * t / 113 + p.phase[0]) + 5 * std::sin(kTwoPi * t / 37 + p.phase[1]);
}
double CruiseRate(const Params& p, double t) {
  return 9 * kTwoPi / 113 * std::cos(kTwoPi * t / 113 + p.phase[0]) +
         5 * kTwoPi / 37 * std::cos(kTwoPi * t / 37 + p.phase[1]);
}

double SpeedKnots(const Params& p, double t) { return Ramp(t) * Cruise(p, t); }

double CourseDeg(const Params& p, double t) {
  return p.course0 + 40 * std::sin(kTwoPi * t / 151 + p.phase[2]) + 15 * std::sin(kTwoPi * t / 41 + p.phase[3]);
}
double CourseRateDeg(const Params& p, double t) {
  return 40 * kTwoPi / 151 * std::cos(kTwoPi * t / 151 + p.phase[2]) +
         15 * kTwoPi / 41 * std::cos(kTwoPi * t / 41 + p.phase[3]);
}

// Moves (lat, lon) along the route for dt seconds using the values at mid-step.
void Step(const Params& p, double tMid, double dt, double& lat, double& lon) {
  double metres = SpeedKnots(p, tMid) * kKnotMps * dt;
  double course = CourseDeg(p, tMid) * kPi / 180;
  lat += metres * std::cos(course) / kMetresPerDegree;
  lon += metres * std::sin(course) / (kMetresPerDegree * std::cos(lat * kPi / 180));
}

// Vertical bump (in g) near time t: one per 20-second window, at a place and with a
// strength drawn from the seed and the window.
double Bump(uint32_t seed, double t) {
  double sum = 0;
  long window = static_cast<long>(std::floor(t / kBumpPeriod));
  for (long w = window - 1; w <= window + 1; ++w) {
    if (w < 0) continue;
    double at = static_cast<double>(w) * kBumpPeriod + 2 + 16 * Unit(seed, 1000 + static_cast<uint64_t>(w));
    double strength = 0.15 + 0.35 * Unit(seed, 5000 + static_cast<uint64_t>(w));
    double d = t - at;
    sum += strength * std::exp(-(d * d) / (0.8 * 0.8)) * std::cos(kTwoPi * 0.7 * d);
  }
  return sum;
}

} // namespace

RoutePoint RouteAt(uint32_t seed, double seconds) {
  const Params p = MakeParams(seed);
  double t = std::max(0.0, seconds);
  RoutePoint r;
  double lat = kStartLatitude, lon = kStartLongitude;
  double whole = std::floor(t);
  long steps = static_cast<long>(whole);
  for (long k = 0; k < steps; ++k) Step(p, static_cast<double>(k) + 0.5, 1.0, lat, lon);
  double rest = t - whole;
  if (rest > 0) Step(p, whole + rest / 2, rest, lat, lon);
  r.latitude = lat;
  r.longitude = lon;
  r.speedKnots = std::max(0.0, SpeedKnots(p, t));
  double course = std::fmod(CourseDeg(p, t), 360.0);
  if (course < 0) course += 360.0;
  r.courseDeg = course;
  double speedMps = r.speedKnots * kKnotMps;
  double accel = (RampRate(t) * Cruise(p, t) + Ramp(t) * CruiseRate(p, t)) * kKnotMps; // m/s^2
  double turn = CourseRateDeg(p, t) * kPi / 180;                                       // rad/s
  double bump = Bump(seed, t);
  // A little road vibration while moving (none at rest).
  double shake = std::min(1.0, r.speedKnots / 10) *
                 (0.012 * std::sin(kTwoPi * 1.31 * t + p.phase[0]) + 0.007 * std::sin(kTwoPi * 3.73 * t + p.phase[3]));
  r.gX = speedMps * turn / kG + 0.2 * bump + 0.5 * shake;
  r.gY = accel / kG - 0.3 * bump - 0.3 * shake;
  r.gZ = 1.0 + bump + shake;
  return r;
}

} // namespace samplegen
