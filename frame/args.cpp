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

int ArgCursor::read_as(NumberKind kind, double* out, int n) {
  int taken = 0;
  for (; taken < n && !at_end(); ++taken, ++pos_) {
    const max::Atom& a = argv_[pos_];
    if (!is_number(a)) continue;
    const double v = number_of(a);
    out[taken] = kind == NumberKind::Long ? static_cast<double>(to_long(v)) : v;
  }
  return taken;
}

}  // namespace ko
