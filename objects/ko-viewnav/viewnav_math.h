// The camera of ko-viewnav as plain data and pure functions: steps, turns, orbits and
// the bounds step. The plug-in reads message arguments and calls these; the tests call
// them directly to look at the double values below the float32 output.
#pragma once

#include <cmath>
#include <cstdint>

#include "frame/numeric.h"
#include "frame/truncate.h"

namespace viewnav {

// Per-axis bound modes; any other value leaves the axis free.
inline constexpr std::int16_t kClip = 1;
inline constexpr std::int16_t kWrap = 2;
inline constexpr std::int16_t kFold = 3;

// Field order is the record order the patches were written against.
struct Camera {
  std::int16_t mode[3];  // x, y, z
  ko::vec3 min;
  ko::vec3 max;
  ko::vec3 pos;
  ko::vec3 up;
  ko::vec3 look;  // relative to pos
  ko::vec3 right;
};

inline double& axis(ko::vec3& v, int k) { return k == 0 ? v.x : (k == 1 ? v.y : v.z); }
inline double axis(const ko::vec3& v, int k) { return k == 0 ? v.x : (k == 1 ? v.y : v.z); }

// A mode keeps the low 16 bits of its number, as a signed value (65537 gives 1).
inline std::int16_t mode_of(double n) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(ko::to_long(n))));
}

// The four vectors only: the box and the modes survive a reset.
inline void reset(Camera& c) {
  ko::vec3_set(c.pos, 0, 0, 0);
  ko::vec3_set(c.up, 0, 1, 0);
  ko::vec3_set(c.look, 0, 0, -1);
  ko::vec3_set(c.right, 1, 0, 0);
}

inline void init(Camera& c) {
  c.mode[0] = c.mode[1] = c.mode[2] = 0;
  ko::vec3_set(c.min, -2, -2, -10);
  ko::vec3_set(c.max, 2, 2, 10);
  reset(c);
}

// Keeps pos in the box axis by axis. min and max are used as they stand, never
// reordered; the wrap is a single step, so a far-out position stays outside.
inline void bound(Camera& c) {
  for (int k = 0; k < 3; ++k) {
    double& p = axis(c.pos, k);
    const double lo = axis(c.min, k);
    const double hi = axis(c.max, k);
    switch (c.mode[k]) {
      case kClip: p = ko::clip_range(p, lo, hi); break;
      case kWrap: p = ko::wrap_range(p, lo, hi); break;
      case kFold: p = ko::fold_range(p, lo, hi); break;
      default: break;
    }
  }
}

inline void move(Camera& c, const ko::vec3& v) {
  ko::vec3_add(c.pos, c.pos, v);
  bound(c);
}

inline void set_pos(Camera& c, const ko::vec3& v) {
  c.pos = v;
  bound(c);
}

// The three steps walk in the x-z plane only; "fwd" goes along -look, away from the
// point looked at, which is what existing patches expect.
inline void fwd(Camera& c, double d) {
  c.pos.x += -d * c.look.x;
  c.pos.z += -d * c.look.z;
  bound(c);
}

inline void strafe(Camera& c, double d) {
  c.pos.x += d * c.right.x;
  c.pos.z += d * c.right.z;
  bound(c);
}

inline void rise(Camera& c, double d) {
  c.pos.x += d * c.up.x;
  c.pos.z += d * c.up.z;
  bound(c);
}

inline constexpr double kDegree = 0.017453292519943295;

// Turns use the table sine; only the turned vector is renormalised, the one rebuilt
// by a cross product is left as it comes out.
inline void rotate_x(Camera& c, double degrees) {
  const double s = ko::fast_sin(degrees * kDegree);
  const double co = ko::fast_cos(degrees * kDegree);
  ko::vec3_set(c.look, co * c.look.x + s * c.up.x, co * c.look.y + s * c.up.y, co * c.look.z + s * c.up.z);
  ko::vec3_normalize_newton(c.look);
  ko::vec3 t{};
  ko::vec3_cross(t, c.look, c.right);
  ko::vec3_set(c.up, -t.x, -t.y, -t.z);
}

inline void rotate_y(Camera& c, double degrees) {
  const double s = ko::fast_sin(degrees * kDegree);
  const double co = ko::fast_cos(degrees * kDegree);
  ko::vec3_set(c.look, co * c.look.x - s * c.right.x, co * c.look.y - s * c.right.y,
               co * c.look.z - s * c.right.z);
  ko::vec3_normalize_newton(c.look);
  ko::vec3 t{};
  ko::vec3_cross(t, c.look, c.up);
  c.right = t;
}

inline void rotate_z(Camera& c, double degrees) {
  const double s = ko::fast_sin(degrees * kDegree);
  const double co = ko::fast_cos(degrees * kDegree);
  ko::vec3_set(c.right, co * c.right.x + s * c.up.x, co * c.right.y + s * c.up.y, co * c.right.z + s * c.up.z);
  ko::vec3_normalize_newton(c.right);
  ko::vec3 t{};
  ko::vec3_cross(t, c.look, c.right);
  ko::vec3_set(c.up, -t.x, -t.y, -t.z);
}

// Orbits pos about the pivot q by theta radians about the axis a, at full precision.
// The axis is taken as given: one that is not of unit length scales and skews.
inline void orbit(Camera& c, const ko::vec3& q, double theta, const ko::vec3& a) {
  ko::vec3 d{};
  ko::vec3_sub(d, c.pos, q);
  const double co = std::cos(theta);
  const double s = std::sin(theta);
  const double f = 1 - co;
  const double r11 = co + f * a.x * a.x, r12 = f * a.x * a.y - s * a.z, r13 = f * a.x * a.z + s * a.y;
  const double r21 = f * a.x * a.y + s * a.z, r22 = co + f * a.y * a.y, r23 = f * a.y * a.z - s * a.x;
  const double r31 = f * a.x * a.z - s * a.y, r32 = f * a.y * a.z + s * a.x, r33 = co + f * a.z * a.z;
  const ko::vec3 e{r11 * d.x + r12 * d.y + r13 * d.z, r21 * d.x + r22 * d.y + r23 * d.z,
                   r31 * d.x + r32 * d.y + r33 * d.z};
  ko::vec3_add(c.pos, q, e);
  bound(c);
}

// "lookrotate" pivots on the point whose coordinates are look's components (not
// pos + look); patches rely on it.
inline void look_orbit(Camera& c, double theta, const ko::vec3& a) {
  const ko::vec3 q = c.look;
  orbit(c, q, theta, a);
}

}  // namespace viewnav
