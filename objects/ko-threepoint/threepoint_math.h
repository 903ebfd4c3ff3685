// The plane through three points and the point of that plane above (x, y). Pure
// functions on doubles, shared by the object and its tests.
#pragma once

#include "frame/numeric.h"

namespace ko::threepoint {

// A·x + B·y + C·z + D = 0.
struct Plane {
  double a, b, c, d;
};

// Adding +0.0 turns a negative zero into a plain one (and leaves everything else alone),
// so a zero coefficient or height never prints as "-0.0".
inline double unsigned_zero(double v) { return v + 0.0; }

// (A, B, C) is (p2 − p1) × (p3 − p1), not normalised; D puts p1 (and so p2 and p3) on the
// plane. Three points on one line give all four zero.
inline Plane plane_through(const vec3& p1, const vec3& p2, const vec3& p3) {
  Plane pl;
  pl.a = p1.y * (p2.z - p3.z) + p2.y * (p3.z - p1.z) + p3.y * (p1.z - p2.z);
  pl.b = p1.z * (p2.x - p3.x) + p2.z * (p3.x - p1.x) + p3.z * (p1.x - p2.x);
  pl.c = p1.x * (p2.y - p3.y) + p2.x * (p3.y - p1.y) + p3.x * (p1.y - p2.y);
  pl.d = -p1.x * (p2.y * p3.z - p3.y * p2.z) - p2.x * (p3.y * p1.z - p1.y * p3.z) -
         p3.x * (p1.y * p2.z - p2.y * p1.z);
  pl.a = unsigned_zero(pl.a);
  pl.b = unsigned_zero(pl.b);
  pl.c = unsigned_zero(pl.c);
  pl.d = unsigned_zero(pl.d);
  return pl;
}

// The height at which (x, y, z) lies on the plane. No guard: a plane with C = 0 (parallel
// to the z axis, or no plane at all) has no such height, and z comes out as nan or ±inf.
inline double height_on(const Plane& pl, double x, double y) {
  return unsigned_zero(-(pl.a * x + pl.b * y + pl.d) / pl.c);
}

}  // namespace ko::threepoint
