// ko-threepoint: three points in space and the plane through them. A point message
// emits the plane's coefficients; bang or a list (x, y) emits the point of that plane
// above (x, y).
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"
#include "frame/numeric.h"
#include "threepoint_math.h"

namespace {

struct ThreePoint {
  max::Object ob;
  max::Outlet* out_point;  // outlet 0: x y z
  max::Outlet* out_plane;  // outlet 1: A B C D
  ko::vec3 p1, p2, p3;
  double x, y;
  ko::threepoint::Plane plane;  // all zero until the first point message
  max::Atom list[4];
};

max::Class* threepoint_class;
max::Symbol* key_p1;
max::Symbol* key_p2;
max::Symbol* key_p3;
max::Symbol* key_xy;

void threepoint_bang(ThreePoint* x) {
  const double z = ko::threepoint::height_on(x->plane, x->x, x->y);
  ko::outlet_floats(x->out_point, x->list, {x->x, x->y, z});
}

void threepoint_list(ThreePoint* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  double xy[2] = {x->x, x->y};
  ko::read_numbers(argc, argv, xy, 2);
  x->x = xy[0];
  x->y = xy[1];
  threepoint_bang(x);
}

void set_point(ThreePoint* x, ko::vec3& p, std::int32_t argc, const max::Atom* argv) {
  ko::ArgCursor cur(argc, argv);
  cur.read(p);
  x->plane = ko::threepoint::plane_through(x->p1, x->p2, x->p3);
  ko::outlet_floats(x->out_plane, x->list, {x->plane.a, x->plane.b, x->plane.c, x->plane.d});
}

void threepoint_p1(ThreePoint* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  set_point(x, x->p1, argc, argv);
}
void threepoint_p2(ThreePoint* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  set_point(x, x->p2, argc, argv);
}
void threepoint_p3(ThreePoint* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  set_point(x, x->p3, argc, argv);
}

void threepoint_assist(ThreePoint*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet,
                   {"(list) xyz     e         c            h              o",
                    "(list) plane eq    e         c            h              o"});
}

ThreePoint* threepoint_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  auto* x = reinterpret_cast<ThreePoint*>(max::newobject(threepoint_class));
  x->out_plane = max::listout(&x->ob);
  x->out_point = max::listout(&x->ob);
  ko::vec3_set(x->p1, 1, 0, 0);
  ko::vec3_set(x->p2, 0, 1, 0);
  ko::vec3_set(x->p3, 0, 0, 1);
  x->x = 0;
  x->y = 0;
  x->plane = {0, 0, 0, 0};
  // Keys only store: the plane waits for the first point message.
  ko::keyword_passes(argc, argv, ko::Passes::Repeated, {key_p1, key_p2, key_p3, key_xy},
                     [&](int key, ko::ArgCursor& cur) {
                       if (key == 3) {
                         double xy[2] = {x->x, x->y};
                         cur.read(xy, 2);
                         x->x = xy[0];
                         x->y = xy[1];
                         return;
                       }
                       cur.read(key == 0 ? x->p1 : key == 1 ? x->p2 : x->p3);
                     });
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&threepoint_class, ko::handler<threepoint_new>(), nullptr, sizeof(ThreePoint), nullptr,
             max::A_GIMME, 0);
  max::addbang(ko::handler<threepoint_bang>());
  max::addmess(ko::handler<threepoint_list>(), "list", max::A_GIMME, 0);
  max::addmess(ko::handler<threepoint_p1>(), "p1", max::A_GIMME, 0);
  max::addmess(ko::handler<threepoint_p2>(), "p2", max::A_GIMME, 0);
  max::addmess(ko::handler<threepoint_p3>(), "p3", max::A_GIMME, 0);
  max::addmess(ko::handler<threepoint_assist>(), "assist", max::A_CANT, 0);
  key_p1 = max::gensym("@p1");
  key_p2 = max::gensym("@p2");
  key_p3 = max::gensym("@p3");
  key_xy = max::gensym("@xy");
  KO_POST_BANNER(ko::Banner::A, "ko-threepoint", time);
  return 0;
}
