// Reading numbers and keyword creation arguments out of atom lists, the same way for
// every object.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "frame/maxapi.h"
#include "frame/numeric.h"
#include "frame/truncate.h"

namespace ko {

// A float or long atom is a number; anything else is not.
inline bool is_number(const max::Atom& a) { return a.a_type == max::A_LONG || a.a_type == max::A_FLOAT; }
inline double number_of(const max::Atom& a) {
  return a.a_type == max::A_LONG ? static_cast<double>(a.a_w.w_long) : static_cast<double>(a.a_w.w_float);
}
inline bool is_symbol(const max::Atom& a, const max::Symbol* s) {
  return a.a_type == max::A_SYM && a.a_w.w_sym == s;
}


// Lists whose first atom sets the kind of every number in them.
enum class NumberKind { Long, Float };

// The kind of the first atom; false when the list is empty or starts with no number.
inline bool first_kind(std::int32_t argc, const max::Atom* argv, NumberKind& kind) {
  if (argc < 1 || !is_number(argv[0])) return false;
  kind = argv[0].a_type == max::A_LONG ? NumberKind::Long : NumberKind::Float;
  return true;
}

// Atom setters for output buffers.
inline void atom_setfloat(max::Atom& a, double v) {
  a.a_type = max::A_FLOAT;
  a.a_w.w_float = static_cast<float>(v);
}
inline void atom_setlong(max::Atom& a, std::int32_t v) {
  a.a_type = max::A_LONG;
  a.a_w.w_long = v;
}
inline void atom_setsym(max::Atom& a, max::Symbol* s) {
  a.a_type = max::A_SYM;
  a.a_w.w_sym = s;
}

// Sends doubles as a list of float atoms, built in the record's own output buffer.
inline void outlet_floats(max::Outlet* o, max::Atom* buffer, std::initializer_list<double> values) {
  short n = 0;
  for (double v : values) atom_setfloat(buffer[n++], v);
  max::outlet_list(o, nullptr, n, buffer);
}

// A grid cell as it leaves an object: long row, long column, float height.
struct GridPoint {
  std::int32_t i, j;
  double height;
};

// Sends one or more grid points as one list (a point, or a segment of two), built in the
// record's own output buffer.
inline void outlet_grid_points(max::Outlet* o, max::Atom* buffer, std::initializer_list<GridPoint> points) {
  short n = 0;
  for (const GridPoint& p : points) {
    atom_setlong(buffer[n++], p.i);
    atom_setlong(buffer[n++], p.j);
    atom_setfloat(buffer[n++], p.height);
  }
  max::outlet_list(o, nullptr, n, buffer);
}

// A read position in an atom list. A place meant for a number takes the number at the
// position and moves past it; any other atom fills nothing and stays, so every later
// place looks at the same atom. Nothing past the end is ever read.
class ArgCursor {
 public:
  ArgCursor(std::int32_t argc, const max::Atom* argv) : argc_(argc < 0 ? 0 : argc), argv_(argv) {}

  bool at_end() const { return pos_ >= argc_; }
  const max::Atom* peek() const { return at_end() ? nullptr : &argv_[pos_]; }
  void skip() {
    if (!at_end()) ++pos_;
  }
  std::int32_t position() const { return pos_; }
  std::int32_t count() const { return argc_; }

  // Fills out[0..n) by the number rule; unfilled places keep what they held.
  // Returns how many places were filled.
  int read(double* out, int n);
  // One place: true and the value when the atom at the position is a number.
  bool read_one(double& out) { return read(&out, 1) == 1; }
  // Up to three numbers into x, y, z; the components a short list leaves out keep their
  // values. Returns how many were filled.
  int read(vec3& v);
  // Places by position: the next n atoms (fewer at the end of the list) are consumed
  // whatever they are. A number fills its place as `kind` (a float read as a long is
  // truncated toward zero); any other atom fills nothing. Returns the atoms taken.
  int read_as(NumberKind kind, double* out, int n);

 private:
  std::int32_t argc_;
  const max::Atom* argv_;
  std::int32_t pos_ = 0;
};

// The numbers of a message, read from the start of its list by the number rule.
inline int read_numbers(std::int32_t argc, const max::Atom* argv, double* out, int n) {
  ArgCursor c(argc, argv);
  return c.read(out, n);
}

inline int read_vec3(std::int32_t argc, const max::Atom* argv, vec3& v) {
  ArgCursor c(argc, argv);
  return c.read(v);
}

// Keyword creation arguments: keys tried in their fixed order once per pass, each at the
// current position. On a match the key is consumed and on_key(index, cursor) reads what
// follows it. An atom that matches no key stops all further matching.
enum class Passes { Single, Repeated };

template <class OnKey>
void keyword_passes(std::int32_t argc, const max::Atom* argv, Passes passes,
                    std::initializer_list<max::Symbol*> keys, OnKey&& on_key) {
  ArgCursor cur(argc, argv);
  if (cur.count() == 0) return;
  const std::int32_t n = passes == Passes::Repeated ? cur.count() / 2 : 1;
  for (std::int32_t p = 0; p < n; ++p) {
    int index = 0;
    for (max::Symbol* key : keys) {
      const max::Atom* a = cur.peek();
      if (a && is_symbol(*a, key)) {
        cur.skip();
        on_key(index, cur);
      }
      ++index;
    }
  }
}

}  // namespace ko
