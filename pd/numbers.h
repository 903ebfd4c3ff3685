// Pure Data has one kind of number, a float; the plug-ins tell longs from floats. At the
// border a whole float within the 32-bit range becomes a long and any other stays a
// float, so 3 reaches an int handler and 0.5 a float one, as they would from a message box
// in kohost. A long leaving an object becomes a float: above 2^24 it loses precision.
#pragma once

#include <cmath>
#include <cstdint>

namespace kopd {

inline bool whole_long(float f, std::int32_t& out) {
  // 2^31 itself is a float; NaN fails both comparisons.
  if (!(f >= -2147483648.0f && f < 2147483648.0f) || std::trunc(f) != f) return false;
  out = static_cast<std::int32_t>(f);
  return true;
}

}  // namespace kopd
