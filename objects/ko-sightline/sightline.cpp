// ko-sightline: the distance from an origin to a point of up to three coordinates, and
// the horizontal angle and elevation of the point as seen from the origin, in degrees.
// "ponto" sets the point, "origem" the origin, "modo" what a bang computes.
#include <cmath>
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"

namespace {

constexpr int kValues = 256;

struct SightLine {
  max::Object ob;
  max::Outlet* out[3];  // leftmost first: distance, angle, elevation
  // The numbers of the last "ponto" or "origem" list, by position, shared by both: a
  // short list leaves the later places as earlier lists of either message set them.
  float values[kValues];
  double ox, oy, oz;
  double px, py, pz;
  std::int16_t modo;   // 0 to 3
  std::int16_t count;  // atoms in the last "ponto" list: how many coordinates the distance uses
  double distance;
  double angle;
  double elevation;
  double d0, d1, d2;  // the point relative to the origin
};

// 180 / pi rounded to single precision, and pi / 2 in single precision: (pi / 2) * K is
// exactly 90.
constexpr double K = 57.29577791868205;
constexpr double kHalfPi = 1.5707963705062866;

max::Class* sightline_class;

void measure(SightLine* x) {
  x->d0 = x->px - x->ox;
  x->d1 = x->py - x->oy;
  x->d2 = x->pz - x->oz;
  const double d0 = x->d0, d1 = x->d1, d2 = x->d2;
  switch (x->count) {
    case 0:
      x->distance = 0;
      break;
    case 1:
      x->distance = std::fabs(d0);
      break;
    case 2:
      x->distance = std::sqrt(d0 * d0 + d1 * d1);
      break;
    default:
      x->distance = std::sqrt(d0 * d0 + d1 * d1 + d2 * d2);
      break;
  }
  switch (x->modo) {
    case 1: {  // 0 ... 360
      const double a = std::atan2(d0, d2) * K;
      x->angle = x->distance == 0 ? -1 : a < 0 ? a + 360 : a;
      break;
    }
    case 2:  // -180 ... 180
      x->angle = x->distance == 0 ? -1 : std::atan2(d0, d2) * K;
      break;
    case 3:
      x->elevation = (std::atan2(std::sqrt(d0 * d0 + d2 * d2), d1) - kHalfPi) * K * -1;
      x->angle = std::atan2(d0, d2) * K;
      break;
    default:  // the angles keep their values
      break;
  }
}

void sightline_bang(SightLine* x) {
  measure(x);
  max::outlet_float(x->out[0], x->distance);
  max::outlet_float(x->out[1], x->angle);
  max::outlet_float(x->out[2], x->elevation);
}

// Atom i goes to place i; a symbol leaves its place and is reported.
void glide(SightLine* x, std::int32_t argc, const max::Atom* argv) {
  const std::int32_t n = argc < kValues ? argc : kValues;
  for (std::int32_t i = 0; i < n; ++i) {
    const max::Atom& a = argv[i];
    if (a.a_type == max::A_LONG)
      x->values[i] = static_cast<float>(a.a_w.w_long);
    else if (a.a_type == max::A_FLOAT)
      x->values[i] = a.a_w.w_float;
    else if (a.a_type == max::A_SYM)
      max::error("wrong argument type for list gliding");
  }
}

// Four or more numbers carry the origin after the point. Every atom counts.
void sightline_ponto(SightLine* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  glide(x, argc, argv);
  x->px = x->values[0];
  x->py = x->values[1];
  x->pz = x->values[2];
  x->count = static_cast<std::int16_t>(argc < 0 ? 0 : argc > INT16_MAX ? INT16_MAX : argc);
  if (argc > 3) {
    x->ox = x->values[3];
    x->oy = x->values[4];
    x->oz = x->values[5];
  }
}

void sightline_origem(SightLine* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  glide(x, argc, argv);
  x->ox = x->values[0];
  x->oy = x->values[1];
  x->oz = x->values[2];
}

void sightline_modo(SightLine* x, std::int32_t n) { x->modo = static_cast<std::int16_t>(n >= 0 && n <= 3 ? n : 3); }

// The value places are left as they are.
void sightline_reset(SightLine* x) {
  x->ox = x->oy = x->oz = 0;
  x->px = x->py = x->pz = 1;
  x->modo = 0;
  x->count = 0;
  x->distance = x->angle = x->elevation = 0;
  x->d0 = x->d1 = x->d2 = 0;
  measure(x);
}

// The outlet texts are Mac OS Roman bytes: distância, ângulo, elevação.
void sightline_assist(SightLine*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, "bang, comandos", {"(dist\x89ncia)", "(\x89ngulo)", "(eleva\x8d\x8bo)"});
}

SightLine* sightline_new() {
  auto* x = reinterpret_cast<SightLine*>(max::newobject(sightline_class));
  for (int i = 2; i >= 0; --i) x->out[i] = max::floatout(&x->ob);
  for (float& v : x->values) v = 0;
  sightline_reset(x);
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  max::setup(&sightline_class, ko::handler<sightline_new>(), nullptr, sizeof(SightLine), nullptr, 0);
  max::addbang(ko::handler<sightline_bang>());
  max::addmess(ko::handler<sightline_ponto>(), "ponto", max::A_GIMME, 0);
  max::addmess(ko::handler<sightline_origem>(), "origem", max::A_GIMME, 0);
  max::addmess(ko::handler<sightline_modo>(), "modo", max::A_DEFLONG, 0);
  max::addmess(ko::handler<sightline_reset>(), "reset", 0);
  max::addmess(ko::handler<sightline_assist>(), "assist", max::A_CANT, 0);
  KO_POST_BANNER(ko::Banner::G, "ko-sightline", 0);
  return 0;
}
