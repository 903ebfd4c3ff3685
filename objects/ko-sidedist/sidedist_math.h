// The signed distance of a point from the plane through three corners. A pure function
// on doubles, shared by the object and its tests.
#pragma once

#include "frame/numeric.h"

namespace ko::sidedist {

// N·(q − a), with N the unit normal (a − b) × (c − b). Positive on the side N points to.
// No guard: corners on one line give a zero normal, and the division by its zero length
// makes the result nan.
inline double signed_distance(const vec3& a, const vec3& b, const vec3& c, const vec3& q) {
  vec3 d1;
  vec3 d2;
  vec3_sub(d1, a, b);
  vec3_sub(d2, c, b);
  vec3 n;
  vec3_cross(n, d1, d2);
  vec3_normalize(n);
  vec3 r;
  vec3_sub(r, q, a);
  // +0.0 so that a zero distance never prints as "-0.0".
  return n.x * r.x + n.y * r.y + n.z * r.z + 0.0;
}

}  // namespace ko::sidedist
