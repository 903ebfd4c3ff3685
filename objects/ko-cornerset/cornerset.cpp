// ko-cornerset: the four corners of a quad lying in a horizontal plane, as one list of
// twelve numbers (x, y, z of each corner). The quad is centred on a position or anchored
// at it, then turned about the origin. The numbers leave as longs or floats, following
// the first atom of the last number list.
#include <cmath>
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"

namespace {

struct Corner {
  double x, y, z;
};

struct CornerSet {
  max::Object ob;
  max::Outlet* out;
  double w;  // extent along x (and along z when not centred)
  double h;  // extent along z when centred
  std::int16_t fix;        // non-zero: centred on the position; 0: the position is corner 0
  std::int16_t float_out;  // non-zero: emit floats; 0: longs
  std::int16_t om;         // non-zero: size and angle messages end with an emission
  double px, py, pz;
  Corner corners[4];
  double a, b, c;  // radians about z, y and x
  max::Atom list[12];
};

max::Class* cornerset_class;

Corner turn(const Corner& p, double a, double b, double c) {
  const double x1 = p.x * std::cos(a) - p.y * std::sin(a);
  const double y1 = p.x * std::sin(a) + p.y * std::cos(a);
  const double z1 = p.z;
  const double x2 = x1 * std::cos(b) + z1 * std::sin(b);
  const double z2 = z1 * std::cos(b) - x1 * std::sin(b);
  const double y2 = y1;
  return {x2, y2 * std::cos(c) - z2 * std::sin(c), y2 * std::sin(c) + z2 * std::cos(c)};
}

// Through single precision first, then halves away from zero.
std::int32_t rounded_long(double d) {
  const float v = static_cast<float>(d);
  return ko::to_long(v >= 0 ? v + 0.5 : v - 0.5);
}

// The corners turn about the origin, not about the quad's centre.
void cornerset_bang(CornerSet* x) {
  double xlo = x->px, xhi = x->px + x->w, zlo = x->pz, zhi = x->pz + x->w;
  if (x->fix) {
    xlo = x->px - x->w * 0.5;
    xhi = x->px + x->w * 0.5;
    zlo = x->pz - x->h * 0.5;
    zhi = x->pz + x->h * 0.5;
  }
  const Corner flat[4] = {{xlo, x->py, zlo}, {xhi, x->py, zlo}, {xhi, x->py, zhi}, {xlo, x->py, zhi}};
  for (int i = 0; i < 4; ++i) {
    const Corner& p = x->corners[i] = turn(flat[i], x->a, x->b, x->c);
    const double v[3] = {p.x, p.y, p.z};
    for (int k = 0; k < 3; ++k) {
      if (x->float_out)
        ko::atom_setfloat(x->list[3 * i + k], v[k]);
      else
        ko::atom_setlong(x->list[3 * i + k], rounded_long(v[k]));
    }
  }
  max::outlet_list(x->out, nullptr, 12, x->list);
}

void changed(CornerSet* x) {
  if (x->om) cornerset_bang(x);
}

// Reads a number list whose first atom sets the output kind. Returns how many atoms it
// has (0 when the first is no number, and nothing is read).
int read_kind_list(CornerSet* x, std::int32_t argc, const max::Atom* argv, double* out, int n) {
  ko::NumberKind kind;
  if (!ko::first_kind(argc, argv, kind)) return 0;
  x->float_out = kind == ko::NumberKind::Float ? 1 : 0;
  ko::ArgCursor(argc, argv).read_as(kind, out, n);
  return argc;
}

// One number sets X; two set X and Z; three set X, Y and Z.
void cornerset_list(CornerSet* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  if (argc <= 0) return;
  double v[3] = {x->px, x->py, x->pz};
  const int n = read_kind_list(x, argc, argv, v, 3);
  if (n == 1) {
    x->px = v[0];
  } else if (n == 2) {
    x->px = v[0];
    x->pz = v[1];
  } else if (n >= 3) {
    x->px = v[0];
    x->py = v[1];
    x->pz = v[2];
  }
  cornerset_bang(x);
}

// From n atoms read into v: one number sets both extents.
void set_extents(CornerSet* x, int n, const double* v) {
  if (n == 1) {
    x->w = x->h = v[0];
  } else if (n >= 2) {
    x->w = v[0];
    x->h = v[1];
  }
}

void cornerset_wh(CornerSet* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  double v[2] = {x->w, x->h};
  set_extents(x, read_kind_list(x, argc, argv, v, 2), v);
  changed(x);
}

void cornerset_w(CornerSet* x, double w) {
  x->w = w;
  changed(x);
}

void cornerset_h(CornerSet* x, double h) {
  x->h = h;
  changed(x);
}

void cornerset_fix(CornerSet* x, std::int32_t n) { x->fix = static_cast<std::int16_t>(n); }
void cornerset_om(CornerSet* x, std::int32_t n) { x->om = static_cast<std::int16_t>(n); }

// Places a short list leaves unfilled keep their angle.
void cornerset_rot(CornerSet* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  double v[3] = {x->a, x->b, x->c};
  ko::read_numbers(argc, argv, v, 3);
  x->a = v[0];
  x->b = v[1];
  x->c = v[2];
  changed(x);
}

void cornerset_assist(CornerSet*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet,
                   {"(list) cornerset     e         c            h              o"});
}

// w and h as "wh" takes them; a third number is `om`.
CornerSet* cornerset_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  auto* x = reinterpret_cast<CornerSet*>(max::newobject(cornerset_class));
  x->out = max::listout(&x->ob);
  x->w = 10;
  x->h = 10;
  x->fix = 1;
  double v[3] = {x->w, x->h, 0};
  const int n = read_kind_list(x, argc, argv, v, 3);
  set_extents(x, n, v);
  if (n >= 3) x->om = static_cast<std::int16_t>(ko::to_long(v[2]));
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&cornerset_class, ko::handler<cornerset_new>(), nullptr, sizeof(CornerSet), nullptr, max::A_GIMME, 0);
  max::addbang(ko::handler<cornerset_bang>());
  max::addmess(ko::handler<cornerset_list>(), "list", max::A_GIMME, 0);
  max::addmess(ko::handler<cornerset_w>(), "w", max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<cornerset_h>(), "h", max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<cornerset_wh>(), "wh", max::A_GIMME, 0);
  max::addmess(ko::handler<cornerset_wh>(), "hv", max::A_GIMME, 0);
  max::addmess(ko::handler<cornerset_fix>(), "fix", max::A_DEFLONG, 0);
  max::addmess(ko::handler<cornerset_om>(), "om", max::A_DEFLONG, 0);
  max::addmess(ko::handler<cornerset_om>(), "rot.om", max::A_DEFLONG, 0);
  max::addmess(ko::handler<cornerset_rot>(), "rot", max::A_GIMME, 0);
  max::addmess(ko::handler<cornerset_rot>(), "rotate", max::A_GIMME, 0);
  max::addmess(ko::handler<cornerset_assist>(), "assist", max::A_CANT, 0);
  KO_POST_BANNER(ko::Banner::B, "ko-cornerset", time);
  return 0;
}
