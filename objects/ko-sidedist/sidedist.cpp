// ko-sidedist: a point measured against the plane through the first three corners of a
// patch. Bang emits the point's signed distance from that plane.
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"
#include "frame/numeric.h"
#include "sidedist_math.h"

namespace {

struct SideDist {
  max::Object ob;
  max::Outlet* out_value;  // outlet 0: the distance, as a float
  max::Outlet* out_end;    // outlet 1: a bang outlet nothing sends on
  ko::vec3 a, b, c, d;     // d is kept but takes no part in the plane
  ko::vec3 q;
  double value;
};

max::Class* sidedist_class;
max::Symbol* key_plane;
max::Symbol* key_4;
max::Symbol* key_a;
max::Symbol* key_b;
max::Symbol* key_c;
max::Symbol* key_d;

// Numbers fill the coordinates from x on; the ones a short list leaves out keep their values.
// The four heights, a to d; the ones a short list leaves out keep their values.
void read_heights(SideDist* x, ko::ArgCursor& cur, double h[4]) {
  h[0] = x->a.z;
  h[1] = x->b.z;
  h[2] = x->c.z;
  h[3] = x->d.z;
  cur.read(h, 4);
}

void sidedist_bang(SideDist* x) {
  x->value = ko::sidedist::signed_distance(x->a, x->b, x->c, x->q);
  max::outlet_float(x->out_value, x->value);
}

// The corners over the unit square, at the given heights.
void sidedist_plane(SideDist* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  ko::ArgCursor cur(argc, argv);
  double h[4];
  read_heights(x, cur, h);
  ko::vec3_set(x->a, 0, 0, h[0]);
  ko::vec3_set(x->b, 0, 1, h[1]);
  ko::vec3_set(x->c, 1, 1, h[2]);
  ko::vec3_set(x->d, 1, 0, h[3]);
}

void sidedist_list(SideDist* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  ko::ArgCursor cur(argc, argv);
  cur.read(x->q);
}

void sidedist_assist(SideDist*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet,
                   {"(double) sidedist     e         c            h              o",
                    "(ping) sidedist end ramp    e         c            h              o"});
}

SideDist* sidedist_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  auto* x = reinterpret_cast<SideDist*>(max::newobject(sidedist_class));
  x->out_end = max::bangout(&x->ob);
  x->out_value = max::listout(&x->ob);
  ko::vec3_set(x->a, 0, 0, 1);
  ko::vec3_set(x->b, 0, 1, 0);
  ko::vec3_set(x->c, 1, 1, 1);
  ko::vec3_set(x->d, 1, 0, 0);
  ko::vec3_set(x->q, 0, 0, 0);
  x->value = 0;
  // Keys only store; "@plane" and "@4" are one key under two names and change heights only.
  ko::keyword_passes(argc, argv, ko::Passes::Repeated, {key_plane, key_4, key_a, key_b, key_c, key_d},
                     [&](int key, ko::ArgCursor& cur) {
                       if (key <= 1) {
                         double h[4];
                         read_heights(x, cur, h);
                         x->a.z = h[0];
                         x->b.z = h[1];
                         x->c.z = h[2];
                         x->d.z = h[3];
                         return;
                       }
                       ko::vec3* corners[4] = {&x->a, &x->b, &x->c, &x->d};
                       cur.read(*corners[key - 2]);
                     });
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&sidedist_class, ko::handler<sidedist_new>(), nullptr, sizeof(SideDist), nullptr, max::A_GIMME, 0);
  max::addbang(ko::handler<sidedist_bang>());
  max::addmess(ko::handler<sidedist_plane>(), "plane", max::A_GIMME, 0);
  max::addmess(ko::handler<sidedist_list>(), "list", max::A_GIMME, 0);
  max::addmess(ko::handler<sidedist_assist>(), "assist", max::A_CANT, 0);
  key_plane = max::gensym("@plane");
  key_4 = max::gensym("@4");
  key_a = max::gensym("@a");
  key_b = max::gensym("@b");
  key_c = max::gensym("@c");
  key_d = max::gensym("@d");
  KO_POST_BANNER(ko::Banner::A, "ko-sidedist", time);
  return 0;
}
