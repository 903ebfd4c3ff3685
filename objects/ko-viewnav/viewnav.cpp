// ko-viewnav: a first-person camera. Keeps a position and up, look and right vectors,
// steps, turns and orbits them, keeps the position in a box and, on bang, sends what a
// renderer needs: up, eye position and the point looked at.
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"
#include "frame/numeric.h"
#include "objects/ko-viewnav/viewnav_math.h"

namespace {

struct ViewNav {
  max::Object ob;
  max::Outlet* out[3];  // leftmost first: look-at point, position, up
  viewnav::Camera cam;
  max::Atom list[3];
};

max::Class* viewnav_class;
max::Symbol* key_pos;
max::Symbol* key_up;
max::Symbol* key_look;
max::Symbol* key_right;
max::Symbol* key_min;
max::Symbol* key_max;

// The one-number messages ("fwd", "strafe", "up" and the turns) take the first atom or
// nothing: a turn by a made-up 0 would still move the vectors, since the table cosine of
// 0 is not 1.
template <void (*Op)(viewnav::Camera&, double)>
void viewnav_one_number(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  double d = 0;
  if (ko::ArgCursor(argc, argv).read_one(d)) Op(x->cam, d);
}

void viewnav_bang(ViewNav* x, max::Symbol*, std::int32_t, const max::Atom*) {
  const viewnav::Camera& c = x->cam;
  ko::outlet_floats(x->out[2], x->list, {c.up.x, c.up.y, c.up.z});
  ko::outlet_floats(x->out[1], x->list, {c.pos.x, c.pos.y, c.pos.z});
  ko::outlet_floats(x->out[0], x->list, {c.pos.x + c.look.x, c.pos.y + c.look.y, c.pos.z + c.look.z});
}

void viewnav_move(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  ko::vec3 v{0, 0, 0};
  ko::read_vec3(argc, argv, v);
  viewnav::move(x->cam, v);
}

// Aims at the point p: look := p - pos. A place left unfilled keeps look's component.
void viewnav_circle(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  ko::vec3 p{0, 0, 0};
  const int filled = ko::read_vec3(argc, argv, p);
  for (int k = 0; k < filled; ++k) viewnav::axis(x->cam.look, k) = viewnav::axis(p, k) - viewnav::axis(x->cam.pos, k);
}

void viewnav_setpos(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  ko::vec3 v = x->cam.pos;
  ko::read_vec3(argc, argv, v);
  viewnav::set_pos(x->cam, v);
}

void viewnav_setup(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  ko::read_vec3(argc, argv, x->cam.up);
}

void viewnav_setlook(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  ko::read_vec3(argc, argv, x->cam.look);
}

void viewnav_setright(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  ko::read_vec3(argc, argv, x->cam.right);
}

void viewnav_reset(ViewNav* x, max::Symbol*, std::int32_t, const max::Atom*) { viewnav::reset(x->cam); }

void viewnav_boundmode(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  if (argc == 1 && ko::is_number(argv[0])) {
    const std::int16_t m = viewnav::mode_of(ko::number_of(argv[0]));
    x->cam.mode[0] = x->cam.mode[1] = x->cam.mode[2] = m;
    return;
  }
  double n[3] = {0, 0, 0};
  const int filled = ko::read_numbers(argc, argv, n, 3);
  for (int k = 0; k < filled; ++k) x->cam.mode[k] = viewnav::mode_of(n[k]);
}

// The box takes effect at the next motion that runs the bounds step.
void viewnav_min(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  ko::read_vec3(argc, argv, x->cam.min);
}

void viewnav_max(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  ko::read_vec3(argc, argv, x->cam.max);
}

// Up to six numbers; only the first three, the position, are used.
void viewnav_pov(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  const ko::vec3& p = x->cam.pos;
  double n[6] = {p.x, p.y, p.z, 0, 0, 0};
  ko::read_numbers(argc, argv, n, 6);
  viewnav::set_pos(x->cam, ko::vec3{n[0], n[1], n[2]});
}

void viewnav_pointrotate(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  double n[7] = {0, 0, 0, 0, 0, 0, 0};
  if (ko::read_numbers(argc, argv, n, 7) < 7) return;
  viewnav::orbit(x->cam, ko::vec3{n[0], n[1], n[2]}, n[3], ko::vec3{n[4], n[5], n[6]});
}

void viewnav_lookrotate(ViewNav* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  double n[4] = {0, 0, 0, 0};
  if (ko::read_numbers(argc, argv, n, 4) < 4) return;
  viewnav::look_orbit(x->cam, n[0], ko::vec3{n[1], n[2], n[3]});
}

void viewnav_assist(ViewNav*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet,
                   {"(list) lookat     e         c            h              o",
                    "(list) pos    e         c            h              o",
                    "(list) up    e         c            h              o"});
}

ViewNav* viewnav_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  // The table is the same for every instance: 65,535 sines once, not per camera.
  ko::sine_table_fill_once();
  auto* x = reinterpret_cast<ViewNav*>(max::newobject(viewnav_class));
  for (int i = 2; i >= 0; --i) x->out[i] = max::listout(&x->ob);
  viewnav::init(x->cam);
  // One scratch vector serves every key: a key whose numbers stop early hands its field
  // what the previous key left in the other places.
  ko::vec3 scratch{0, 0, 0};
  ko::vec3* const fields[6] = {&x->cam.pos, &x->cam.up, &x->cam.look, &x->cam.right, &x->cam.min, &x->cam.max};
  ko::keyword_passes(argc, argv, ko::Passes::Repeated, {key_pos, key_up, key_look, key_right, key_min, key_max},
                     [&](int key, ko::ArgCursor& cur) {
                       double n[3] = {scratch.x, scratch.y, scratch.z};
                       cur.read(n, 3);
                       ko::vec3_set(scratch, n[0], n[1], n[2]);
                       *fields[key] = scratch;
                     });
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&viewnav_class, ko::handler<viewnav_new>(), nullptr, sizeof(ViewNav), nullptr, max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_bang>(), "bang", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_move>(), "move", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_circle>(), "circle.up", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_circle>(), "circle.right", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_one_number<viewnav::rotate_x>>(), "rotate.x", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_one_number<viewnav::rotate_y>>(), "rotate.y", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_one_number<viewnav::rotate_z>>(), "rotate.z", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_one_number<viewnav::fwd>>(), "fwd", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_one_number<viewnav::strafe>>(), "strafe", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_one_number<viewnav::rise>>(), "up", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_setpos>(), "setpos", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_setup>(), "setup", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_setlook>(), "setlook", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_setright>(), "setright", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_reset>(), "reset", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_boundmode>(), "boundmode", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_min>(), "min", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_max>(), "max", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_pov>(), "pov", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_pointrotate>(), "pointrotate", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_lookrotate>(), "lookrotate", max::A_GIMME, 0);
  max::addmess(ko::handler<viewnav_assist>(), "assist", max::A_CANT, 0);
  key_pos = max::gensym("@pos");
  key_up = max::gensym("@up");
  key_look = max::gensym("@look");
  key_right = max::gensym("@right");
  key_min = max::gensym("@min");
  key_max = max::gensym("@max");
  KO_POST_BANNER(ko::Banner::A, "ko-viewnav", time);
  return 0;
}
