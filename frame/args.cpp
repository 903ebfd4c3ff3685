#include "frame/args.h"

namespace ko {

int ArgCursor::read(double* out, int n) {
  int filled = 0;
  for (int i = 0; i < n; ++i) {
    const max::Atom* a = peek();
    if (!a || !is_number(*a)) continue;
    out[i] = number_of(*a);
    ++pos_;
    ++filled;
  }
  return filled;
}

int ArgCursor::read(vec3& v) {
  double n[3] = {v.x, v.y, v.z};
  const int filled = read(n, 3);
  vec3_set(v, n[0], n[1], n[2]);
  return filled;
}

}  // namespace ko
