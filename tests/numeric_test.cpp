#include "frame/numeric.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

namespace ko {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kDegree = 0.017453292519943295;

const double* table() {
  static const bool filled = (sine_table_fill(), true);
  (void)filled;
  return sine_table;
}

void expect_vec(const vec3& v, double x, double y, double z) {
  EXPECT_EQ(v.x, x);
  EXPECT_EQ(v.y, y);
  EXPECT_EQ(v.z, z);
}

// ---------------------------------------------------------------------------
// vec3

TEST(Vec3, ComponentwiseOpsAllowAliasing) {
  vec3 a{};
  vec3 b{};
  vec3 d{};
  vec3_set(a, 1.5, -2.0, 0.25);
  vec3_set(b, 0.5, 4.0, -1.0);
  vec3_copy(d, a);
  expect_vec(d, 1.5, -2.0, 0.25);
  vec3_add(d, a, b);
  expect_vec(d, 2.0, 2.0, -0.75);
  vec3_sub(d, a, b);
  expect_vec(d, 1.0, -6.0, 1.25);
  vec3_scale(d, b, -2.0);
  expect_vec(d, -1.0, -8.0, 2.0);

  vec3_add(a, a, b);  // dst is the first operand
  expect_vec(a, 2.0, 2.0, -0.75);
  vec3_sub(b, a, b);  // dst is the second operand
  expect_vec(b, 1.5, -2.0, 0.25);
  vec3_scale(b, b, 4.0);
  expect_vec(b, 6.0, -8.0, 1.0);
}

TEST(Vec3, Cross) {
  vec3 d{};
  vec3_cross(d, vec3{1, 0, 0}, vec3{0, 1, 0});
  expect_vec(d, 0, 0, 1);
  vec3_cross(d, vec3{0, 1, 0}, vec3{1, 0, 0});
  expect_vec(d, 0, 0, -1);
  // (2*6 - 3*5, 3*4 - 1*6, 1*5 - 2*4)
  vec3_cross(d, vec3{1, 2, 3}, vec3{4, 5, 6});
  expect_vec(d, -3, 6, -3);
  vec3_cross(d, vec3{1, 2, 3}, vec3{2, 4, 6});  // parallel
  expect_vec(d, 0, 0, 0);
}

TEST(Vec3, DivMultipliesByTheReciprocal) {
  // 5 / 3 and 5 * (1 / 3) differ in the last bit.
  ASSERT_NE(5.0 / 3.0, 5.0 * (1.0 / 3.0));
  vec3 v{5.0, 7.0, -3.0};
  vec3_div(v, 3.0);
  EXPECT_EQ(v.x, 0x1.aaaaaaaaaaaaap+0);  // 5 * (1/3); 5 / 3 ends in ...ab
  EXPECT_EQ(v.y, 0x1.2aaaaaaaaaaaap+1);  // 7 * (1/3); 7 / 3 ends in ...ab
  EXPECT_EQ(v.z, -1.0);
}

TEST(Vec3, NormalizeNewton) {
  vec3 v{0, 0, 0};
  vec3_normalize_newton(v);
  expect_vec(v, 0, 0, 0);

  v = {0, 0, 2};
  vec3_normalize_newton(v);
  expect_vec(v, 0, 0, 1);

  v = {0, -2, 0};
  vec3_normalize_newton(v);
  expect_vec(v, 0, -1, 0);

  // A length the iteration only approximates: the result is off by its
  // tolerance, not a unit vector to the last bit.
  v = {1, 1, 1};
  vec3_normalize_newton(v);
  const double len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  EXPECT_NEAR(len, 1.0, 1e-7);
  EXPECT_LT(len, 1.0);  // the Newton root lies above the true length
  EXPECT_EQ(v.x, v.y);
  EXPECT_EQ(v.y, v.z);
}

TEST(Vec3, Normalize) {
  vec3 v{3, 4, 0};
  vec3_normalize(v);
  EXPECT_EQ(v.x, 3 * (1.0 / 5.0));
  EXPECT_EQ(v.y, 4 * (1.0 / 5.0));
  EXPECT_EQ(v.z, 0.0);

  // Squares summed x, y, z: each y * y is below half an ulp of 2.25 and is
  // lost, but their sum would not be, and the length would end in ...01.
  const double y = 0x1.cp-27;
  ASSERT_EQ((2.25 + y * y) + y * y, 2.25);
  ASSERT_NE(2.25 + (y * y + y * y), 2.25);
  v = {1.5, y, y};
  vec3_normalize(v);
  EXPECT_EQ(v.x, 1.0);  // 1.5 * (1 / 1.5); with the other sum 0x1.ffffffffffffep-1
  EXPECT_EQ(v.y, 0x1.2aaaaaaaaaaaap-27);

  // No zero test: IEEE gives 0 * (1 / 0) = NaN.
  v = {0, 0, 0};
  vec3_normalize(v);
  EXPECT_TRUE(std::isnan(v.x) && std::isnan(v.y) && std::isnan(v.z));
}

// ---------------------------------------------------------------------------
// Sine table

TEST(SineTable, Entries) {
  const double* t = table();
  const double step = static_cast<double>(2.3968816094566137e-05f);
  EXPECT_EQ(t[0], 0.0);
  EXPECT_LT(t[65534], 1.0);
  EXPECT_GT(t[65534], 0.9999999997);
  for (const int i : {1, 2, 4, 21842, 21844, 32768, 43690, 65530, 65532, 65534}) {
    EXPECT_EQ(t[i], std::sin(i * step)) << i;
  }
  for (int i = 1; i < kSineTableSize; ++i) {
    ASSERT_LT(t[i - 1], t[i]) << i;  // a rising quarter wave
  }
}

TEST(SineTable, RefillWritesTheSameValues) {
  const double* t = table();
  const std::vector<double> before(t, t + kSineTableSize);
  sine_table[100] = 42.0;
  sine_table_fill();
  EXPECT_EQ(std::memcmp(before.data(), sine_table, sizeof sine_table), 0);
}

TEST(SineTable, FillOnceFillsOnlyTheFirstTime) {
  const double* t = table();
  const std::vector<double> before(t, t + kSineTableSize);
  // Nothing else in this program calls it, so this is the first call: it fills.
  sine_table[100] = 42.0;
  sine_table_fill_once();
  EXPECT_EQ(std::memcmp(before.data(), sine_table, sizeof sine_table), 0);
  // A later call writes nothing: a changed entry stays changed.
  sine_table[100] = 42.0;
  sine_table_fill_once();
  EXPECT_EQ(sine_table[100], 42.0);
  sine_table_fill();
}

TEST(FastSin, KnownAngles) {
  const double* t = table();
  struct Case {
    const char* name;
    double x;
    double sin;
    double cos;
  };
  const Case cases[] = {
      {"0", 0.0, 0.0, t[65534]},
      // a = 65534: the top of the first quadrant, cos is entry 0.
      {"pi/2", std::numbers::pi / 2, t[65534], 0.0},
      {"90 degrees", 90 * kDegree, t[65534], 0.0},
      {"pi/6", std::numbers::pi / 6, t[21844], t[43690]},
      // a = -21844: i = 43692, q = 3; not the mirror of pi/6.
      {"-pi/6", -std::numbers::pi / 6, -t[21842], t[43692]},
      {"pi/4", std::numbers::pi / 4, t[32766], t[32768]},
      // a = 131069: q = 1, i = 65532.
      {"pi", std::numbers::pi, t[2], -t[65532]},
      // a = 196604: q = 2, i = 65532.
      {"3pi/2", 3 * std::numbers::pi / 2, -t[65532], -t[2]},
      // a = -65534: i = 2, q = 3.
      {"-pi/2", -std::numbers::pi / 2, -t[65532], t[2]},
      // a = 262139: i = 65530, q = 3.
      {"360 degrees", 360 * kDegree, -t[4], t[65530]},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fast_sin(c.x), c.sin) << c.name;
    EXPECT_EQ(fast_cos(c.x), c.cos) << c.name;
  }
  EXPECT_LT(fast_sin(std::numbers::pi / 6), 0.5);
  EXPECT_FALSE(std::signbit(fast_cos(std::numbers::pi / 2)));
}

// Every index of every quadrant, both ways round: the value is exactly the table entry
// the quadrant names (i from the start, 65534 - i from the end), with its sign, to the bit.
TEST(FastSin, EveryIndexGivesItsQuadrantsEntryExactly) {
  const double* t = table();
  const auto bits = [](double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
  };
  const double scale = 65535.0 / static_cast<double>(static_cast<float>(std::numbers::pi / 2));
  for (std::int64_t n = -(1 << 19); n < (1 << 19); n += 1) {
    const double x = static_cast<double>(n) / scale;
    const auto a = static_cast<std::uint64_t>(static_cast<std::int64_t>(x * scale));
    const std::uint64_t i = a & 0xFFFE;
    const std::uint64_t j = 65534 - i;
    double s = 0, c = 0;
    switch ((a >> 16) & 3) {
      case 0: s = t[i], c = t[j]; break;
      case 1: s = t[j], c = -t[i]; break;
      case 2: s = -t[i], c = -t[j]; break;
      default: s = -t[j], c = t[i]; break;
    }
    ASSERT_EQ(bits(fast_sin(x)), bits(s)) << x;
    ASSERT_EQ(bits(fast_cos(x)), bits(c)) << x;
  }
}

TEST(FastSin, UnrepresentableIndexFallsBackToZeroAngle) {
  const double* t = table();
  // NaN, infinities and products outside int64 (|x| * 41720.9 >= 2^63).
  for (const double x : {kNaN, kInf, -kInf, 1e15, -1e15, 1e300, -DBL_MAX}) {
    EXPECT_EQ(fast_sin(x), 0.0) << x;
    EXPECT_EQ(fast_cos(x), t[65534]) << x;
  }
  // Still inside int64: a real table lookup.
  EXPECT_NE(fast_cos(2e14), t[65534]);
}

// ---------------------------------------------------------------------------
// newton_sqrt

TEST(NewtonSqrt, ExactValues) {
  struct Case {
    double x;
    double want;
  };
  const Case cases[] = {
      {4.0, 2.0},  // x / 2 is already the root: the first residual is 0
      // One step always follows the last residual test: 1.0003048780487804
      // is where the residual first passes, the result is one step further.
      {1.0, 0x1.000000c78c926p+0},
      {2.0, 0x1.6a09e667f57dbp+0},
      {0.01, 0x1.99999999b3d9ap-4},
      {-4.0, 0.0},
      {0.0, 0.0},
      {-0.0, 0.0},
      {-kInf, 0.0},
      {kNaN, 0.0},
      {kInf, kInf},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(newton_sqrt(c.x), c.want) << c.x;
  }
  EXPECT_GT(newton_sqrt(1.0), 1.0);
  EXPECT_NEAR(newton_sqrt(1.0), 1.0, 1e-7);
  EXPECT_GT(newton_sqrt(2.0), std::numbers::sqrt2);
  EXPECT_NEAR(newton_sqrt(2.0), std::numbers::sqrt2, 1e-7);
}

TEST(NewtonSqrt, ExtremeMagnitudesStayFiniteAndClose) {
  // Where (x / 2)^2 overflows or x * 0.001 is subnormal, the plain iteration
  // runs off to NaN; these must still give a root.
  for (const double x : {DBL_TRUE_MIN, 1e-310, DBL_MIN, 0x1p-1001, 0x1p-1000, 1e-200, 1e200,
                         0x1p510, 0x1p511, 0x1p513, 1e308, DBL_MAX}) {
    const double r = newton_sqrt(x);
    const double root = std::sqrt(x);
    ASSERT_TRUE(std::isfinite(r)) << x;
    EXPECT_GE(r, root) << x;
    EXPECT_LT((r - root) / root, 2e-7) << x;
  }
}

// ---------------------------------------------------------------------------
// clip, wrap, fold

TEST(ClipRange, Cases) {
  struct Case {
    double x, lo, hi, want;
  };
  const Case cases[] = {
      {5, 0, 10, 5},  {0, 0, 10, 0},     {10, 0, 10, 10},   {-3, 0, 10, 0},
      {12, 0, 10, 10}, {5, 10, 0, 10},   // reversed bounds: below lo wins
      {-0.5, -0.25, 0.25, -0.25},        {kNaN, 0, 10, 10},  // NaN takes hi
  };
  for (const Case& c : cases) {
    EXPECT_EQ(clip_range(c.x, c.lo, c.hi), c.want) << c.x << " " << c.lo << " " << c.hi;
  }
}

TEST(WrapRange, SingleStep) {
  struct Case {
    double x, lo, hi, want;
  };
  const Case cases[] = {
      {11, 0, 10, 0},   {-1, 0, 10, 10},  {25, 0, 10, 14},  // one step only
      {5, 0, 10, 5},    {0, 0, 10, 0},    {10, 0, 10, 10},  {-30, 0, 10, -19},
      {10.5, 0, 10, -0.5}, {-0.5, 0, 10, 10.5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wrap_range(c.x, c.lo, c.hi), c.want) << c.x << " " << c.lo << " " << c.hi;
  }
  EXPECT_TRUE(std::isnan(wrap_range(kNaN, 0, 10)));
}

// The rule itself, stepped literally; only for inputs where it ends.
double stepped_wrap(double x, double lo, double hi) {
  if (lo <= x && x <= hi) return x;
  if (x > hi) {
    do x = (x - hi) + (lo - 1); while (!(x <= hi));
  } else {
    do x = (hi + 1) - (lo - x); while (!(x >= lo));
  }
  return x;
}

TEST(WrapRangeRepeat, RequiredValues) {
  EXPECT_EQ(wrap_range_repeat(130, 0, 127), 2);
  EXPECT_EQ(wrap_range_repeat(127.5, 0, 127), -0.5);  // ends just below lo
  EXPECT_EQ(wrap_range_repeat(-1, 0, 127), 127);
  EXPECT_EQ(wrap_range_repeat(-0.5, 0, 127), 127.5);  // ends just above hi
}

TEST(WrapRangeRepeat, MatchesLiteralStepping) {
  struct Case {
    double x, lo, hi;
  };
  const Case cases[] = {
      // whole numbers
      {130, 0, 127},
      {1000, 0, 127},
      {128, 0, 127},
      {256, 0, 127},
      {255, 0, 127},  // lands exactly on hi
      {-128, 0, 127},
      {-1000, 0, 127},
      {1000003, 0, 127},
      {-1000003, 0, 127},
      {10, -5, -2},
      {-20, -5, -2},
      {10, 3, 3},  // period 1
      {5, 127, 127},
      // halves, quarters and other binary fractions
      {127.5, 0, 127},
      {-0.5, 0, 127},
      {1000.25, 0.5, 3.75},
      {-1000.75, 0.5, 3.75},
      {-10.5, 3, 3},
      {10, 5, 4.5},  // lo above hi, period still 0.5
      {-3, 5, 4.5},
      {123456.125, -7.5, 9},
      {3 + 0x1p-51, 0, 1},  // needs 51 fraction bits
      {0x1p53 - 1, 0x1p53 - 200, 0x1p53 - 190},
      // inexact: stepped with rounding, up to the last step that is still taken
      {300.3, 0.1, 0.7},
      {-300.3, 0.1, 0.7},
      {409.0, 0.1, 0.7},   // 256 steps
      {-408.0, 0.1, 0.7},  // 256 steps
      {5.5, 0.1, 0.2},
      {-77.7, -1.3, 2.9},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wrap_range_repeat(c.x, c.lo, c.hi), stepped_wrap(c.x, c.lo, c.hi))
        << c.x << " " << c.lo << " " << c.hi;
  }
}

TEST(WrapRangeRepeat, PastTheStepBoundEndsWithTheClosedForm) {
  // More than 256 steps of inexact arithmetic: the closed form rounds once where stepping
  // rounds at every step, so the two agree to within what stepping accumulates (about
  // half a unit of x per step), give or take a period where that drift crosses an end.
  struct Case {
    double x, lo, hi, tolerance;
  };
  const Case cases[] = {
      {410.5, 0.1, 0.7, 1e-12},  // 257 steps
      {1000.3, 0.1, 0.7, 1e-10},
      {-1000.3, 0.1, 0.7, 1e-10},
      {1e6 + 0.3, 0.1, 0.7, 1e-4},
      {-77777.7, -1.3, 2.9, 1e-6},  // stepping drifts across lo; the closed form stays below hi + 1
  };
  for (const Case& c : cases) {
    const double r = wrap_range_repeat(c.x, c.lo, c.hi);
    const double period = c.hi - c.lo + 1;
    const double apart = std::fabs(r - stepped_wrap(c.x, c.lo, c.hi));
    EXPECT_LT(std::min(apart, std::fabs(apart - period)), c.tolerance) << c.x << " " << c.lo << " " << c.hi;
    // Where a last step would land: just past the far end at most.
    if (c.x > c.hi) {
      EXPECT_GT(r, c.lo - 1) << c.x;
      EXPECT_LE(r, c.hi) << c.x;
    } else {
      EXPECT_GE(r, c.lo) << c.x;
      EXPECT_LT(r, c.hi + 1) << c.x;
    }
  }
}

TEST(WrapRangeRepeat, ReturnsWhereSteppingWouldNotEnd) {
  // Exact closed form, 7.8e12 steps: 1e15 is a multiple of 128.
  EXPECT_EQ(wrap_range_repeat(1e15, 0, 127), 0);
  EXPECT_EQ(wrap_range_repeat(1e15 + 3, 0, 127), 3);
  EXPECT_EQ(wrap_range_repeat(-1e15, 0, 127), 0);
  EXPECT_EQ(wrap_range_repeat(-1e15 - 1, 0, 127), 127);
  EXPECT_EQ(wrap_range_repeat(0x1p51 + 0.5, 0, 127), 0.5);  // 2^52 + 1 halves
  // Above 2^53: exact again after the capped stepping brings x under 2^53.
  EXPECT_EQ(wrap_range_repeat(0x1p53 + 2, 0, 127), 2);

  // The step rounds back to x, so stepping never moves.
  EXPECT_EQ(wrap_range_repeat(1e300, 0, 127), 1e300);
  EXPECT_EQ(wrap_range_repeat(-1e300, 0, 127), -1e300);
  // The step stalls after moving: 2^54 - 0.5 - 1 rounds back up to 2^54.
  EXPECT_EQ(wrap_range_repeat(0x1p54, 0, 0.5), 0x1p54);

  // Not finite, or no positive period: x unchanged.
  EXPECT_TRUE(std::isnan(wrap_range_repeat(kNaN, 0, 127)));
  EXPECT_EQ(wrap_range_repeat(kInf, 0, 127), kInf);
  EXPECT_EQ(wrap_range_repeat(-kInf, 0, 127), -kInf);
  EXPECT_EQ(wrap_range_repeat(5, kNaN, 127), 5);
  EXPECT_EQ(wrap_range_repeat(500, 0, kNaN), 500);
  EXPECT_EQ(wrap_range_repeat(500, -kInf, 127), 500);
  EXPECT_EQ(wrap_range_repeat(-500, 0, kInf), -500);
  EXPECT_EQ(wrap_range_repeat(5, 127, 0), 5);
  EXPECT_EQ(wrap_range_repeat(200, 127, 0), 200);
  EXPECT_EQ(wrap_range_repeat(5, 10, 9), 5);  // period exactly 0

  // Inexact and 6e11 steps: capped stepping, then fmod. Not bit-checked, but
  // it lands where a last step would.
  const double r = wrap_range_repeat(1e12 + 0.3, 0.1, 0.7);
  EXPECT_GT(r, 0.1 - 1);
  EXPECT_LE(r, 0.7);
  const double s = wrap_range_repeat(-1e12 - 0.3, 0.1, 0.7);
  EXPECT_GE(s, 0.1);
  EXPECT_LT(s, 0.7 + 1);
}

TEST(FoldRange, Cases) {
  struct Case {
    double x, lo, hi, want;
  };
  const Case cases[] = {
      {130, 0, 127, 124},
      {300, 0, 127, 46},
      {-300, 127, 0, 46},  // bounds swapped first
      {5, 3, 3, 5},        // empty range: x as is
      {-1, 0, 127, 1},
      {64, 0, 127, 64},
      {-200, 0, 127, 54},  // reflected at lo, then at hi
      {400, 0, 127, 108},
      {254, 0, 127, 0},
      {-254, 0, 127, 0},
      {127.5, 0, 127, 126.5},
      {-0.25, 0, 1, 0.25},
      {12, -5, 5, -2},
      {-12, -5, 5, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fold_range(c.x, c.lo, c.hi), c.want) << c.x << " " << c.lo << " " << c.hi;
  }
  // fmod of NaN or infinity is NaN; a NaN x stays NaN.
  for (const double x : {kNaN, kInf, -kInf}) {
    EXPECT_TRUE(std::isnan(fold_range(x, 0, 127))) << x;
  }
  EXPECT_TRUE(std::isnan(fold_range(5, kNaN, 127)));
}

}  // namespace
}  // namespace ko
