#pragma once
// The sample card's drive: a pure function of (seed, seconds since the card's start).
#include <cstdint>

namespace samplegen {

struct RoutePoint {
  double latitude = 0;   // decimal degrees, north positive
  double longitude = 0;  // decimal degrees, east positive
  double speedKnots = 0; // ground speed, >= 0
  double courseDeg = 0;  // track angle, clockwise from north, [0, 360)
  double gX = 0;         // lateral acceleration in g (positive: pushed to the right)
  double gY = 0;         // longitudinal acceleration in g (positive: speeding up)
  double gZ = 1;         // vertical, about 1.0 g, with a bump now and then
};

// Where the car is at `seconds` (>= 0; negative counts as 0) after the card's start.
// The drive starts at rest at kStartLatitude, kStartLongitude (sample_constants.h),
// speeds up over the first 15 s, then varies smoothly between about 3 and 33 knots
// with a slowly swinging course; the position follows speed and course (integrated
// with one-second midpoint steps, so a call costs O(seconds)). About every 20 s the
// road has a bump (gZ up to about +0.5 g, lasting about two seconds), and while moving
// the readings shake by about 0.02 g. Everything
// depends only on the two arguments: the same seed gives the same drive.
// File k (counting from 0) of a card of S-second files covers seconds k*S to (k+1)*S;
// its telemetry texts are taken at k*S, k*S + 1, ..., k*S + S - 1.
RoutePoint RouteAt(uint32_t seed, double seconds);

} // namespace samplegen
