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

// The low 16 (or 8) bits of a long, as a short (or byte) field keeps them.
constexpr std::int16_t low16(std::int32_t v) { return static_cast<std::int16_t>(v); }
constexpr std::uint8_t low8(std::int32_t v) { return static_cast<std::uint8_t>(v); }

}  // namespace ko
