// Small numeric routines compiled into the objects that use them: three-component
// vectors, the table sine and cosine, a Newton square root and the clip, wrap and
// fold range helpers. Plain functions on doubles; the sine table is the only state.
#pragma once

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

double fast_sin(double x);
double fast_cos(double x);
double newton_sqrt(double x);

double clip_range(double x, double lo, double hi);
double wrap_range(double x, double lo, double hi);
double wrap_range_repeat(double x, double lo, double hi);
double fold_range(double x, double lo, double hi);

}  // namespace ko
