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

}  // namespace ko
