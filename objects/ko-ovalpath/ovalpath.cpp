// ko-ovalpath: points on an axis-aligned ellipse. A bang emits the point of a step
// counter and moves the counter on by a stride, so repeated bangs walk round the ellipse;
// a number emits the point at that fraction of a turn and leaves the counter alone.
#include <cmath>
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"

namespace {

// The state is kept in single precision.
struct OvalPath {
  max::Object ob;
  max::Outlet* out;
  float coords[2];  // the last point computed
  float cx, cy;
  float rx, ry;
  float mx, my;  // shown by "post" only
  float steps;   // steps per turn
  float step;    // the counter
  float stride;  // added to the counter after each bang
  max::Atom list[2];
  std::uint8_t dir;  // kept, never read
  std::int8_t om;    // non-zero: parameter messages end with a bang
};

constexpr double kTwoPi = 6.283185307179586;

max::Class* ovalpath_class;
max::Symbol* key_center;
max::Symbol* key_c;
max::Symbol* key_move;
max::Symbol* key_raio;
max::Symbol* key_r;
max::Symbol* key_steps;
max::Symbol* key_stride;
max::Symbol* key_step;
max::Symbol* key_dir;
max::Symbol* key_om;

void point_at(OvalPath* x, double angle) {
  x->coords[0] = static_cast<float>(x->cx + x->rx * std::sin(angle));
  x->coords[1] = static_cast<float>(x->cy + x->ry * std::cos(angle));
}

void emit_point(OvalPath* x) { ko::outlet_floats(x->out, x->list, {x->coords[0], x->coords[1]}); }

// Fewer than 0.1 steps per turn (or no number at all) means the default 100, so the
// angle step is never a division by zero.
float steps_of(double v) { return v >= 0.1 ? static_cast<float>(v) : 100.0f; }

// The counter is used up to `steps` itself before it wraps, so the point at the wrap
// (angle 0 and angle 2 pi) goes out twice in a row.
void ovalpath_bang(OvalPath* x) {
  point_at(x, kTwoPi - (kTwoPi / x->steps) * x->step);
  x->step = x->step + x->stride;
  if (x->step > x->steps)
    x->step = 0;
  else if (x->step < 0)
    x->step = x->steps;
  else if (std::isnan(x->step))
    x->step = 0;  // a stride of nan must not lose the counter for good
  emit_point(x);
}

void emit_fraction(OvalPath* x, float f) {
  point_at(x, kTwoPi - kTwoPi * f);
  emit_point(x);
}

void ovalpath_int(OvalPath* x, std::int32_t n) { emit_fraction(x, static_cast<float>(n * 0.01)); }
void ovalpath_float(OvalPath* x, double f) { emit_fraction(x, static_cast<float>(f)); }

void changed(OvalPath* x) {
  if (x->om) ovalpath_bang(x);
}

void ovalpath_raio(OvalPath* x, double rx, double ry) {
  x->rx = static_cast<float>(rx);
  x->ry = static_cast<float>(ry);
  changed(x);
}

void ovalpath_center(OvalPath* x, double cx, double cy) {
  x->cx = static_cast<float>(cx);
  x->cy = static_cast<float>(cy);
  changed(x);
}

void ovalpath_move(OvalPath* x, double mx, double my) {
  x->mx = static_cast<float>(mx);
  x->my = static_cast<float>(my);
  changed(x);
}

void ovalpath_stride(OvalPath* x, double s) {
  x->stride = static_cast<float>(s);
  changed(x);
}

void ovalpath_steps(OvalPath* x, double s) {
  x->steps = steps_of(s);
  changed(x);
}

void ovalpath_post(OvalPath* x) {
  ko::post_dump("  ko-ovalpath 0.3 20031114", {{" x-center    = %f", double{x->cx}},
                                                {" y-center    = %f", double{x->cy}},
                                                {" raio-x    = %f", double{x->rx}},
                                                {" raio-y    = %f", double{x->ry}},
                                                {" coords[0]   = %f", double{x->coords[0]}},
                                                {" coords[1]   = %f", double{x->coords[1]}},
                                                {" move[0]     = %f", double{x->mx}},
                                                {" move[1]     = %f", double{x->my}},
                                                {" steps       = %f", double{x->steps}},
                                                {" step        = %f", double{x->step}},
                                                {" stride      = %f", double{x->stride}},
                                                {" om          = %ld", std::int32_t{x->om}}});
}

void ovalpath_assist(OvalPath*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet,
                   {"(list) ovalpath xy    e         c            h              o"});
}

// Each key takes exactly its count of atoms after it, whatever they are: numbers are read
// as the key's kind, anything else leaves that value as it was. No key emits.
void apply_key(OvalPath* x, int key, ko::ArgCursor& cur) {
  using ko::NumberKind;
  switch (key) {
    case 0:  // "@center"
    case 1: {  // "@c"
      double v[2] = {x->cx, x->cy};
      cur.read_as(NumberKind::Float, v, 2);
      x->cx = static_cast<float>(v[0]);
      x->cy = static_cast<float>(v[1]);
      break;
    }
    case 2: {  // "@move"
      double v[2] = {x->mx, x->my};
      cur.read_as(NumberKind::Float, v, 2);
      x->mx = static_cast<float>(v[0]);
      x->my = static_cast<float>(v[1]);
      break;
    }
    case 3:    // "@raio"
    case 4: {  // "@r": y radius first, the reverse of the "raio" message
      double v[2] = {x->ry, x->rx};
      cur.read_as(NumberKind::Float, v, 2);
      x->ry = static_cast<float>(v[0]);
      x->rx = static_cast<float>(v[1]);
      break;
    }
    case 5: {  // "@steps"
      double v = x->steps;
      cur.read_as(NumberKind::Long, &v, 1);
      x->steps = steps_of(v);
      break;
    }
    case 6: {  // "@stride"
      double v = x->stride;
      cur.read_as(NumberKind::Float, &v, 1);
      x->stride = static_cast<float>(v);
      break;
    }
    case 7: {  // "@step"
      double v = x->step;
      cur.read_as(NumberKind::Float, &v, 1);
      x->step = static_cast<float>(v);
      break;
    }
    case 8: {  // "@dir"
      double v = x->dir;
      cur.read_as(NumberKind::Long, &v, 1);
      x->dir = static_cast<std::uint8_t>(ko::to_long(v));
      break;
    }
    default: {  // "@om"
      double v = x->om;
      cur.read_as(NumberKind::Long, &v, 1);
      x->om = static_cast<std::int8_t>(static_cast<std::uint8_t>(ko::to_long(v)));
      break;
    }
  }
}

OvalPath* ovalpath_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  auto* x = reinterpret_cast<OvalPath*>(max::newobject(ovalpath_class));
  x->out = max::listout(&x->ob);
  x->cx = 64;
  x->cy = 64;
  x->rx = 32;
  x->ry = 22;
  x->steps = 100;
  x->stride = 1;
  x->dir = 1;
  ko::keyword_passes(argc, argv, ko::Passes::Single,
                     {key_center, key_c, key_move, key_raio, key_r, key_steps, key_stride, key_step, key_dir, key_om},
                     [x](int key, ko::ArgCursor& cur) { apply_key(x, key, cur); });
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&ovalpath_class, ko::handler<ovalpath_new>(), nullptr, sizeof(OvalPath), nullptr, max::A_GIMME, 0);
  max::addbang(ko::handler<ovalpath_bang>());
  max::addint(ko::handler<ovalpath_int>());
  max::addfloat(ko::handler<ovalpath_float>());
  max::addmess(ko::handler<ovalpath_raio>(), "raio", max::A_DEFFLOAT, max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<ovalpath_center>(), "center", max::A_DEFFLOAT, max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<ovalpath_move>(), "move", max::A_DEFFLOAT, max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<ovalpath_stride>(), "stride", max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<ovalpath_steps>(), "steps", max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<ovalpath_post>(), "post", 0);
  max::addmess(ko::handler<ovalpath_assist>(), "assist", max::A_CANT, 0);
  key_center = max::gensym("@center");
  key_c = max::gensym("@c");
  key_move = max::gensym("@move");
  key_raio = max::gensym("@raio");
  key_r = max::gensym("@r");
  key_steps = max::gensym("@steps");
  key_stride = max::gensym("@stride");
  key_step = max::gensym("@step");
  key_dir = max::gensym("@dir");
  key_om = max::gensym("@om");
  KO_POST_BANNER(ko::Banner::D, "ko-ovalpath", time);
  return 0;
}
