// ko-bearing (also ko-tobearing): converts between a 360-degree angle and an azimuth.
// `om` non-zero takes angles in 0..360 and gives azimuths; 0 goes the other way.
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"
#include "objects/ko-bearing/bearing_math.h"

namespace {

struct Bearing {
  max::Object ob;
  max::Outlet* out;
  std::uint8_t om;
  double input;   // the last input, wrapped
  double output;  // the last converted angle
};

max::Class* bearing_class;

std::uint8_t low_8(std::int32_t n) { return static_cast<std::uint8_t>(static_cast<std::uint32_t>(n) & 0xFFu); }

// Converts the stored input as it is: a value kept under the other `om` is not wrapped
// again, so one outside this direction's range comes out unchanged.
void bearing_bang(Bearing* x) {
  x->output = ko::bearing::convert(x->input, x->om != 0);
  max::outlet_float(x->out, x->output);
}

void bearing_float(Bearing* x, double v) {
  x->input = ko::bearing::wrap_input(v, x->om != 0);
  bearing_bang(x);
}

void bearing_int(Bearing* x, std::int32_t n) { bearing_float(x, static_cast<double>(n)); }

void bearing_om(Bearing* x, std::int32_t n) { x->om = low_8(n); }

void bearing_assist(Bearing* x, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet,
                   {x->om != 0 ? "(double) azi ang    e         c            h              o"
                               : "(double) 360 ang    e         c            h              o"});
}

// `om`, then an input kept as given: neither wrapped nor converted until the next bang.
Bearing* bearing_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  auto* x = reinterpret_cast<Bearing*>(max::newobject(bearing_class));
  x->out = max::floatout(&x->ob);
  x->om = 1;
  ko::ArgCursor cur(argc, argv);
  double v = 0;
  if (cur.read_one(v)) x->om = low_8(ko::to_long(v));
  cur.read_one(x->input);
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&bearing_class, ko::handler<bearing_new>(), nullptr, sizeof(Bearing), nullptr, max::A_GIMME, 0);
  max::addbang(ko::handler<bearing_bang>());
  max::addint(ko::handler<bearing_int>());
  max::addfloat(ko::handler<bearing_float>());
  max::addmess(ko::handler<bearing_om>(), "om", max::A_DEFLONG, 0);
  max::addmess(ko::handler<bearing_assist>(), "assist", max::A_CANT, 0);
  KO_POST_BANNER(ko::Banner::A, "ko-bearing", time);
  max::alias("ko-tobearing");
  return 0;
}
