#include "frame/numeric.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <numbers>

namespace ko {

// ---------------------------------------------------------------------------
// vec3

void vec3_set(vec3& v, double x, double y, double z) {
  v.x = x;
  v.y = y;
  v.z = z;
}

void vec3_copy(vec3& dst, const vec3& src) { dst = src; }

void vec3_add(vec3& dst, const vec3& a, const vec3& b) {
  dst.x = a.x + b.x;
  dst.y = a.y + b.y;
  dst.z = a.z + b.z;
}

void vec3_sub(vec3& dst, const vec3& a, const vec3& b) {
  dst.x = a.x - b.x;
  dst.y = a.y - b.y;
  dst.z = a.z - b.z;
}

void vec3_scale(vec3& dst, const vec3& src, double s) {
  dst.x = src.x * s;
  dst.y = src.y * s;
  dst.z = src.z * s;
}

void vec3_div(vec3& v, double s) {
  // One division, three multiplications: results can differ from v / s in the
  // last bit, and the objects depend on exactly these values.
  const double t = 1.0 / s;
  v.x *= t;
  v.y *= t;
  v.z *= t;
}

void vec3_cross(vec3& dst, const vec3& a, const vec3& b) {
  // Through locals so a stray alias still gets the right answer.
  const double x = a.y * b.z - a.z * b.y;
  const double y = a.z * b.x - a.x * b.z;
  const double z = a.x * b.y - a.y * b.x;
  dst.x = x;
  dst.y = y;
  dst.z = z;
}

void vec3_normalize_newton(vec3& v) {
  const double len = newton_sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (len != 0.0) {
    vec3_div(v, len);
  } else {
    vec3_set(v, 0.0, 0.0, 0.0);
  }
}

void vec3_normalize(vec3& v) {
  // No zero test on purpose: a zero vector turns into NaNs, as IEEE gives it.
  vec3_div(v, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
}

// ---------------------------------------------------------------------------
// Table sine

namespace {

// Half of pi in single precision: the table step and the index scale both come
// from it, so they are written as float constants widened to double.
constexpr double kHalfPiFloat = static_cast<double>(static_cast<float>(std::numbers::pi / 2));
constexpr double kTableStep = static_cast<double>(2.3968816094566137e-05f);
static_assert(table_sine::kIndexScale == 65535.0 / kHalfPiFloat);
static_assert(kTableStep == static_cast<double>(static_cast<float>((std::numbers::pi / 2) / 65535)));

}  // namespace

double sine_table[kSineTableSize];

void sine_table_fill() {
  for (int i = 0; i < kSineTableSize; ++i) {
    // i * kTableStep is exact (16 bits times 24 bits), so the entry is sin of
    // exactly that angle.
    sine_table[i] = std::sin(static_cast<double>(i) * kTableStep);
  }
}

void sine_table_fill_once() {
  static const bool filled = (sine_table_fill(), true);
  (void)filled;
}

// ---------------------------------------------------------------------------
// Newton square root

namespace {

// The iteration itself. Only called where no intermediate can overflow or lose
// bits to underflow; there it ends within a few hundred steps, the bound is a
// backstop.
double newton_sqrt_steps(double x) {
  double r = x * 0.5;
  const double tol = x * 0.001;
  double c = 0.0;
  for (int n = 0; n < 2000; ++n) {
    c = r * r - x;
    r = r - c / (r + r);
    if (-tol <= c && c <= tol) break;
  }
  return r;
}

// Inside this range r * r, r + r and x * 0.001 stay normal and finite for every
// step (r starts at x / 2 and never exceeds max(x / 2, 2)).
constexpr double kNewtonLow = 0x1p-1000;
constexpr double kNewtonHigh = 0x1p+510;

}  // namespace

double newton_sqrt(double x) {
  if (!(x > 0.0)) return 0.0;  // negatives, zero and NaN
  if (std::isinf(x)) return x;
  if (x >= kNewtonLow && x <= kNewtonHigh) return newton_sqrt_steps(x);
  // Out there x / 2 squared overflows (or x * 0.001 is subnormal), and the
  // iteration runs off to NaN. Run it on x scaled by an even power of two into
  // [1, 4) and scale the root back; both scalings are exact.
  int e = 0;
  std::frexp(x, &e);  // x = m * 2^e, m in [0.5, 1)
  const int half = (e - 1) >> 1;  // floor((e - 1) / 2)
  return std::ldexp(newton_sqrt_steps(std::ldexp(x, -2 * half)), half);
}

// ---------------------------------------------------------------------------
// Ranges

double clip_range(double x, double lo, double hi) {
  if (lo <= x && x <= hi) return x;
  if (x < lo) return lo;
  return hi;  // also NaN x
}

double wrap_range(double x, double lo, double hi) {
  if (lo <= x && x <= hi) return x;
  if (x < lo) return (hi + 1.0) - (lo - x);
  if (x > hi) return (x - hi) + (lo - 1.0);
  return x;  // NaN
}

namespace {

constexpr double kExactLimit = 0x1p53;

// Smallest k such that v * 2^k is a whole number, or -1 when k would exceed 52. v is
// finite.
int fraction_bits(double v) {
  if (v == 0.0) return 0;
  int e = 0;
  const double m = std::frexp(v, &e);  // v = m * 2^e, 0.5 <= |m| < 1
  // v = M * 2^(e - 53) with M a whole number of at most 53 bits; its trailing zeros
  // lower the power of two needed.
  const auto M = static_cast<std::uint64_t>(std::fabs(std::ldexp(m, 53)));
  const int k = std::max(0, 53 - e - std::countr_zero(M));
  return k <= 52 ? k : -1;
}

bool below_exact_limit(std::int64_t v) { return v > -(std::int64_t{1} << 53) && v < (std::int64_t{1} << 53); }

// When x, lo and hi are all multiples of 2^-k and every value the stepping can
// produce stays below 2^53 once scaled by 2^k, each step is exact in double and
// n steps are x -/+ n * period. Computes that in integers on the scaled values.
// Returns false when the precondition does not hold.
bool wrap_repeat_exact(double x, double lo, double hi, double& out) {
  int k = 0;
  for (const double v : {x, lo, hi}) {
    const int kv = fraction_bits(v);
    if (kv < 0) return false;
    if (kv > k) k = kv;
  }
  for (const double v : {x, lo, hi}) {
    if (!(std::fabs(std::ldexp(v, k)) < kExactLimit)) return false;
  }
  const std::int64_t X = static_cast<std::int64_t>(std::ldexp(x, k));
  const std::int64_t L = static_cast<std::int64_t>(std::ldexp(lo, k));
  const std::int64_t H = static_cast<std::int64_t>(std::ldexp(hi, k));
  const std::int64_t one = std::int64_t{1} << k;
  const std::int64_t period = H - L + one;  // > 0, checked by the caller
  if (!below_exact_limit(L - one) || !below_exact_limit(H + one)) return false;

  std::int64_t result = 0;
  if (X > H) {
    // Every step computes (x - hi) + (lo - 1); x - hi is largest at the start,
    // and the stepped values lie between the result (> lo - 1) and x.
    const std::int64_t d = X - H;
    if (!below_exact_limit(d)) return false;
    // The last step starts from a value whose distance above hi is in (0, period].
    std::int64_t last = d % period;
    if (last == 0) last = period;
    result = last + (L - one);
  } else {
    // Below: every step computes (hi + 1) - (lo - x), lo - x largest at the start.
    const std::int64_t d = L - X;
    if (!below_exact_limit(d)) return false;
    std::int64_t last = d % period;
    if (last == 0) last = period;
    result = (H + one) - last;
  }
  out = std::ldexp(static_cast<double>(result), -k);
  return true;
}

// Literal steps taken in the inexact case before the closed form takes over: cheap (about
// a microsecond), and no message waits on a value far out.
constexpr int kWrapStepCap = 256;

}  // namespace

double wrap_range_repeat(double x, double lo, double hi) {
  if (lo <= x && x <= hi) return x;
  if (!std::isfinite(x) || !std::isfinite(lo) || !std::isfinite(hi)) return x;
  const double period = hi - lo + 1.0;
  // A period that is not positive would move x away from the range forever.
  if (!(period > 0.0)) return x;

  double exact = 0.0;
  if (wrap_repeat_exact(x, lo, hi, exact)) return exact;

  // Rounding is in play: step for real, so the result is what stepping gives.
  const double lo_minus_1 = lo - 1.0;
  const double hi_plus_1 = hi + 1.0;
  if (x > hi) {
    for (int n = 0; n < kWrapStepCap; ++n) {
      const double next = (x - hi) + lo_minus_1;
      // A step that fails to move x down (rounding can stall it, or even push
      // it up) means stepping would never finish: stop at the value reached.
      if (!(next < x)) return x;
      x = next;
      if (x <= hi) return x;
    }
    // Still above after the cap. Stepping on from here is the same as stepping
    // from the start, so the exact form may apply now; if not, the closed form with
    // fmod, which rounds once where stepping would round at every step.
    if (wrap_repeat_exact(x, lo, hi, exact)) return exact;
    double last = std::fmod(x - hi, period);
    if (last == 0.0) last = period;
    return last + lo_minus_1;
  }
  for (int n = 0; n < kWrapStepCap; ++n) {
    const double next = hi_plus_1 - (lo - x);
    if (!(next > x)) return x;
    x = next;
    if (x >= lo) return x;
  }
  if (wrap_repeat_exact(x, lo, hi, exact)) return exact;
  double last = std::fmod(lo - x, period);
  if (last == 0.0) last = period;
  return hi_plus_1 - last;
}

double fold_range(double x, double lo, double hi) {
  if (lo > hi) {
    const double t = lo;
    lo = hi;
    hi = t;
  }
  if ((lo <= x && x <= hi) || lo == hi) return x;
  const double p = 2.0 * std::fabs(hi - lo);
  if (x < lo) {
    const double r = lo - std::fmod(x - lo, p);
    if (lo <= r && r <= hi) return r;
    return hi + (hi - r);
  }
  // x > hi, and also NaN x (or a NaN bound), which comes out as NaN through fmod.
  const double r = hi - std::fmod(x - hi, p);
  if (r > lo - p / 2.0 && r <= lo) return lo + (lo - r);
  return r;
}

}  // namespace ko
