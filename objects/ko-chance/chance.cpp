// ko-chance: a random number between a low and a high bound on every bang, as an int when
// the bounds came as longs and as a float when they came as floats.
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"

namespace {

struct Chance {
  max::Object ob;
  max::Outlet* out;
  double low;
  double high;
  std::uint8_t float_output;
  std::int32_t last_draw;
};

max::Class* chance_class;

// One generator for every instance, kept per calling thread and never seeded, so every
// run of a patch draws the same sequence.
thread_local std::uint32_t generator = 1;

std::int32_t draw() {
  generator = generator * 214013u + 2531011u;
  return static_cast<std::int32_t>((generator >> 16) & 0x7FFFu);
}

void chance_bang(Chance* x) {
  x->last_draw = draw();
  const double v = (x->high - x->low) * x->last_draw * 3.051850947599719e-05 + x->low;
  if (x->float_output)
    max::outlet_float(x->out, v);
  else
    max::outlet_int(x->out, ko::to_long(v));
}

// No values: the defaults. One: the high bound above 0. Two: low and high, the first
// deciding ints or floats; a high bound that is no number stays as it was. A leading
// symbol, or three values or more, change nothing.
void chance_range(Chance* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  if (argc == 0) {
    x->low = 0;
    x->high = 127;
    x->float_output = 1;
    return;
  }
  ko::NumberKind kind = ko::NumberKind::Float;
  if (argc > 2 || !ko::first_kind(argc, argv, kind)) return;
  if (argc == 1) {
    x->low = 0;
    x->high = ko::number_of(argv[0]);
  } else {
    x->low = ko::number_of(argv[0]);
    if (ko::is_number(argv[1])) x->high = ko::number_of(argv[1]);
  }
  x->float_output = kind == ko::NumberKind::Float ? 1 : 0;
}

void chance_assist(Chance*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet, {"(rand)     e         c            h              o"});
}

Chance* chance_new(max::Symbol* s, std::int32_t argc, const max::Atom* argv) {
  auto* x = reinterpret_cast<Chance*>(max::newobject(chance_class));
  x->out = max::listout(&x->ob);
  x->low = 0;
  x->high = 127;
  x->float_output = 1;
  chance_range(x, s, argc, argv);
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&chance_class, ko::handler<chance_new>(), nullptr, sizeof(Chance), nullptr, max::A_GIMME, 0);
  max::addbang(ko::handler<chance_bang>());
  max::addmess(ko::handler<chance_range>(), "range", max::A_GIMME, 0);
  max::addmess(ko::handler<chance_range>(), "list", max::A_GIMME, 0);
  max::addmess(ko::handler<chance_assist>(), "assist", max::A_CANT, 0);
  KO_POST_BANNER(ko::Banner::A, "ko-chance", time);
  return 0;
}
