// The one rule for turning a floating value into a 32-bit long, shared by the host's
// typed arguments and the objects.
#pragma once

#include <cstdint>

namespace ko {

// Truncated toward zero; out of range it saturates and NaN gives 0, so no conversion
// is ever undefined.
constexpr std::int32_t to_long(double v) {
  if (v != v) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<std::int32_t>(v);
}

}  // namespace ko
