// Small numeric routines compiled into the objects that use them: three-component
// vectors, the table sine and cosine, a Newton square root and the clip, wrap and
// fold range helpers. Plain functions on doubles; the sine table is the only state.
#pragma once

#include <bit>
#include <cstdint>
#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace ko {

struct vec3 {
  double x, y, z;
};

void vec3_set(vec3& v, double x, double y, double z);
void vec3_copy(vec3& dst, const vec3& src);
void vec3_add(vec3& dst, const vec3& a, const vec3& b);
void vec3_sub(vec3& dst, const vec3& a, const vec3& b);
void vec3_scale(vec3& dst, const vec3& src, double s);
// Multiplies each component by 1 / s, in place.
void vec3_div(vec3& v, double s);
// dst must be neither a nor b.
void vec3_cross(vec3& dst, const vec3& a, const vec3& b);
// Length by newton_sqrt; a zero length gives (0, 0, 0).
void vec3_normalize_newton(vec3& v);
// Length by the processor's square root, no zero test.
void vec3_normalize(vec3& v);

// A quarter sine wave in 65,535 steps, shared by every instance of the plug-in that
// compiles it in. Filled by sine_table_fill; every fill writes the same values.
inline constexpr int kSineTableSize = 65535;
extern double sine_table[kSineTableSize];
void sine_table_fill();
// Fills the table the first time it is called in the process (thread-safe); later calls
// do nothing, since every fill writes the same values.
void sine_table_fill_once();

double newton_sqrt(double x);

double clip_range(double x, double lo, double hi);
double wrap_range(double x, double lo, double hi);
double wrap_range_repeat(double x, double lo, double hi);
double fold_range(double x, double lo, double hi);

namespace table_sine {

// 65535 steps over a quarter turn of the single-precision half pi.
inline constexpr double kIndexScale = 41720.87562112031;

// The 18 index bits: 16 for the position inside a quarter, 2 for the quadrant.
// Out of int64 range (or NaN): index 0 instead of an undefined conversion.
inline std::uint64_t index_bits(double x) {
  const double scaled = x * kIndexScale;
#if defined(__x86_64__)
  // The processor's own conversion answers NaN and anything outside int64 with
  // 0x8000000000000000, whose 18 low bits are 0: index 0 without a test.
  return static_cast<std::uint64_t>(_mm_cvttsd_si64(_mm_set_sd(scaled)));
#else
  if (!(scaled >= -0x1p63 && scaled < 0x1p63)) return 0;
  return static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled));
#endif
}

// Entry `index`, negated when `negative` is 1. Negating is flipping the sign bit, exactly.
inline double signed_entry(std::uint64_t index, std::uint64_t negative) {
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(sine_table[index]) ^ (negative << 63));
}

}  // namespace table_sine

// sin and cos from the table, inline: they are a handful of instructions.
// The quadrant q of the index picks an entry counted from the start or from the end of
// the table and a sign, both without a branch: the quadrant of an angle is as hard to
// predict as the angle.
// Counted from the end, the even entry i is 65534 - i, which for an even i up to 0xFFFE
// is i ^ 0xFFFE: a mask, not a choice the compiler could turn into a branch.
inline double fast_sin(double x) {
  const std::uint64_t a = table_sine::index_bits(x);
  const std::uint64_t q = (a >> 16) & 3;
  // Quadrants 1 and 3 count from the end, 2 and 3 are negative.
  const std::uint64_t from_end = (0 - (q & 1)) & 0xFFFE;
  return table_sine::signed_entry((a & 0xFFFE) ^ from_end, q >> 1);
}

inline double fast_cos(double x) {
  const std::uint64_t a = table_sine::index_bits(x);
  const std::uint64_t q = (a >> 16) & 3;
  // Quadrants 0 and 2 count from the end, 1 and 2 are negative.
  const std::uint64_t from_end = (0 - ((q & 1) ^ 1)) & 0xFFFE;
  return table_sine::signed_entry((a & 0xFFFE) ^ from_end, (q ^ (q >> 1)) & 1);
}

}  // namespace ko
