// ko-mirror4: a point and its three mirror images about a vertical and a horizontal
// axis through a centre, plus an offset added to all four.
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"

namespace {

struct Mirror {
  max::Object ob;
  max::Outlet* out[4];  // leftmost first
  double coords[4];     // x, y, x', y' as last emitted
  double cx, cy;
  double input[2];
  double move[2];
  max::Atom list[255];
  std::uint8_t mode;
  std::int8_t om;
};

max::Class* mirror_class;
max::Symbol* key_size;
max::Symbol* key_center;
max::Symbol* key_c;
max::Symbol* key_move;
max::Symbol* key_om;

// Outputs are recomputed from the input each time, so the offset never accumulates.
void mirror_bang(Mirror* x) {
  double px = x->input[0];
  double py = x->input[1];
  double qx = 2 * x->cx - x->input[0];
  double qy = 2 * x->cy - x->input[1];
  if (x->move[0] != 0 || x->move[1] != 0) {
    px += x->move[0];
    qx += x->move[0];
    py += x->move[1];
    qy += x->move[1];
  }
  x->coords[0] = px;
  x->coords[1] = py;
  x->coords[2] = qx;
  x->coords[3] = qy;
  const double points[4][2] = {{px, py}, {qx, py}, {px, qy}, {qx, qy}};
  for (int i = 0; i < 4; ++i) ko::outlet_floats(x->out[i], x->list, {points[i][0], points[i][1]});
}

void mirror_input(Mirror* x, double px, double py) {
  x->input[0] = px;
  x->input[1] = py;
  mirror_bang(x);
}

void mirror_center(Mirror* x, double cx, double cy) {
  x->cx = cx;
  x->cy = cy;
  mirror_bang(x);
}

void mirror_size(Mirror* x, double w, double h) {
  x->cx = w * 0.5;
  x->cy = h * 0.5;
}

void mirror_move(Mirror* x, double mx, double my) {
  x->move[0] = mx;
  x->move[1] = my;
  mirror_bang(x);
}

void mirror_mode(Mirror* x, std::int32_t n) { x->mode = static_cast<std::uint8_t>(n); }
void mirror_om(Mirror* x, std::int32_t n) { x->om = static_cast<std::int8_t>(static_cast<std::uint8_t>(n)); }

void mirror_post(Mirror* x) {
  ko::post_dump(" \t\tko-reflect v1.5 20031102",
                {{" x-center  = %ld", ko::to_long(x->cx)},
                 {" y-center  = %ld", ko::to_long(x->cy)},
                 {" coords[0] = %ld", ko::to_long(x->coords[0])},
                 {" coords[1] = %ld", ko::to_long(x->coords[1])},
                 {" coords[2] = %ld", ko::to_long(x->coords[2])},
                 {" coords[3] = %ld", ko::to_long(x->coords[3])},
                 {" om        = %ld", static_cast<std::int32_t>(x->om)},
                 {" input[0]  = %ld", ko::to_long(x->input[0])},
                 {" input[1]  = %ld", ko::to_long(x->input[1])},
                 {" move[0]   = %ld", ko::to_long(x->move[0])},
                 {" move[1]   = %ld", ko::to_long(x->move[1])}});
}

void mirror_assist(Mirror*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet,
                   {"(list) xy     e         c            h              o",
                    "(list) x'y     e         c            h              o",
                    "(list) xy'     e         c            h              o",
                    "(list) x'y'     e         c            h              o"});
}

Mirror* mirror_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  auto* x = reinterpret_cast<Mirror*>(max::newobject(mirror_class));
  for (int i = 3; i >= 0; --i) x->out[i] = max::listout(&x->ob);
  x->cx = 160;
  x->cy = 120;
  x->mode = 1;
  // One scratch pair serves every key of the pass: a key with fewer numbers keeps what
  // an earlier key read there (0 before any).
  double scratch[2] = {0, 0};
  ko::keyword_passes(argc, argv, ko::Passes::Single, {key_size, key_center, key_c, key_move, key_om},
                     [&](int key, ko::ArgCursor& cur) {
                       if (key == 4) {
                         cur.read(scratch, 1);
                         mirror_om(x, ko::to_long(scratch[0]));
                         return;
                       }
                       cur.read(scratch, 2);
                       if (key == 0)
                         mirror_size(x, scratch[0], scratch[1]);
                       else if (key == 3)
                         mirror_move(x, scratch[0], scratch[1]);
                       else
                         mirror_center(x, scratch[0], scratch[1]);
                     });
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&mirror_class, ko::handler<mirror_new>(), nullptr, sizeof(Mirror), nullptr, max::A_GIMME, 0);
  max::addbang(ko::handler<mirror_bang>());
  max::addmess(ko::handler<mirror_input>(), "input", max::A_DEFFLOAT, max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<mirror_center>(), "center", max::A_DEFFLOAT, max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<mirror_size>(), "size", max::A_DEFFLOAT, max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<mirror_move>(), "move", max::A_DEFFLOAT, max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<mirror_mode>(), "mode", max::A_DEFLONG, 0);
  max::addmess(ko::handler<mirror_om>(), "om", max::A_DEFLONG, 0);
  max::addmess(ko::handler<mirror_post>(), "post", 0);
  max::addmess(ko::handler<mirror_assist>(), "assist", max::A_CANT, 0);
  key_size = max::gensym("@size");
  key_center = max::gensym("@center");
  key_c = max::gensym("@c");
  key_move = max::gensym("@move");
  key_om = max::gensym("@om");
  KO_POST_BANNER(ko::Banner::E, "ko-mirror4", time);
  return 0;
}
