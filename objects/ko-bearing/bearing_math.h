// The conversion between a 360-degree angle (0..360) and an azimuth (-180..180): each is
// 90 minus the other, brought into its range. Plain functions, tested directly.
#pragma once

#include <cmath>

namespace ko::bearing {

// Brings x into lo..lo + 360 by whole turns; a value already there stays as it is, and
// one that no turn can move (infinite, NaN) passes unchanged.
inline double wrap_turns(double x, double lo) {
  const double hi = lo + 360.0;
  if ((lo <= x && x <= hi) || !std::isfinite(x)) return x;
  double r = std::fmod(x - lo, 360.0);
  if (r < 0) r += 360.0;
  return lo + r;
}

// The input range of each direction: 360-degree angles in, or azimuths in.
inline double wrap_input(double x, bool angle_in) { return wrap_turns(x, angle_in ? 0.0 : -180.0); }

// (b - a1) * (c2 - c1) / (a2 - a1) + c1, in this order.
inline double map(double b, double a1, double a2, double c1, double c2) { return (b - a1) * (c2 - c1) / (a2 - a1) + c1; }

// angle_in: a 360-degree angle becomes an azimuth; otherwise an azimuth becomes a
// 360-degree angle. Values outside the input range (and NaN) pass unchanged.
inline double convert(double b, bool angle_in) {
  if (angle_in) {
    if (0 <= b && b <= 90) return 90 - b;
    if (90 < b && b <= 180) return map(b, 90, 180, 0, -90);
    if (180 < b && b <= 270) return map(b, 180, 270, -90, -180);
    if (270 < b && b <= 360) return map(b, 270, 360, 180, 90);
    return b;
  }
  if (0 < b && b <= 90) return map(b, 0, 90, 90, 0);
  if (-90 < b && b <= 0) return map(b, -90, 0, 180, 90);
  if (-180 <= b && b <= -90) return map(b, -180, -90, 270, 180);
  if (90 < b && b <= 180) return map(b, 90, 180, 360, 270);
  return b;
}

}  // namespace ko::bearing
