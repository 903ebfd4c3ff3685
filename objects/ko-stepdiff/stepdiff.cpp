// ko-stepdiff: the difference between each value or list and the one before it. Inputs go
// into two buffers by turns, so the other one always holds the previous input; with `om`
// set they stop alternating and every difference is taken against one reference.
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"

namespace {

constexpr int kBuffer = 256;

struct StepDiff {
  max::Object ob;
  max::Outlet* out;
  double a[kBuffer];      // receives inputs while the phase is non-zero
  double delta[kBuffer];  // the differences of the last input, for bang
  double b[kBuffer];      // receives inputs while the phase is 0
  max::Atom list[kBuffer];
  std::int32_t last_count;
  std::int16_t om;
  std::int16_t phase;
};

max::Class* stepdiff_class;

// The low 16 bits of a long, read as signed, decide.
std::int16_t om_of(std::int32_t n) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(n) & 0xFFFFu)) > 0 ? 1 : 0;
}

// Longer lists than the buffers keep only their first values.
int list_length(std::int32_t argc) { return argc < 0 ? 0 : argc > kBuffer ? kBuffer : static_cast<int>(argc); }

// Each atom fills its own position; a symbol leaves the position as it was, with one
// error line for each.
void read_list(double* into, int n, const max::Atom* argv) {
  for (int k = 0; k < n; ++k) {
    if (ko::is_number(argv[k]))
      into[k] = ko::number_of(argv[k]);
    else if (argv[k].a_type == max::A_SYM)
      max::error("no syms in this list");
  }
}

// Differences of the n values just written against the other buffer, kept and sent.
void emit_differences(StepDiff* x, const double* written, const double* other, int n) {
  for (int k = 0; k < n; ++k) {
    x->delta[k] = written[k] - other[k];
    ko::atom_setfloat(x->list[k], x->delta[k]);
  }
  x->last_count = n;
}

void stepdiff_bang(StepDiff* x) {
  const int n = x->last_count > 0 ? x->last_count : 0;
  for (int k = 0; k < n; ++k) ko::atom_setfloat(x->list[k], x->delta[k]);
  max::outlet_list(x->out, nullptr, static_cast<short>(n), x->list);
}

void one_value(StepDiff* x, double v) {
  double d = 0;
  if (x->phase != 0) {
    x->a[0] = v;
    d = x->a[0] - x->b[0];
  } else {
    x->b[0] = v;
    d = x->b[0] - x->a[0];
  }
  x->delta[0] = d;
  max::outlet_float(x->out, d);
  x->last_count = 1;
}

void stepdiff_int(StepDiff* x, std::int32_t n) {
  one_value(x, static_cast<double>(n));
  x->phase = x->om != 0 ? 1 : (x->phase == 0 ? 1 : 0);
}

// A float always alternates, whatever `om` says.
void stepdiff_float(StepDiff* x, double f) {
  one_value(x, f);
  x->phase = x->phase == 0 ? 1 : 0;
}

void stepdiff_list(StepDiff* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  const int n = list_length(argc);
  double* written = x->phase != 0 ? x->a : x->b;
  const double* other = x->phase != 0 ? x->b : x->a;
  read_list(written, n, argv);
  emit_differences(x, written, other, n);
  x->phase = x->om != 0 ? 1 : (x->phase == 0 ? 1 : 0);
  max::outlet_list(x->out, nullptr, static_cast<short>(n), x->list);
}

void stepdiff_om(StepDiff* x, std::int32_t n) { x->om = om_of(n); }

// Without values the next input goes to buffer B; with values they become buffer B, and
// the next input is measured against them.
void stepdiff_reset(StepDiff* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  x->phase = 0;
  const int n = list_length(argc);
  if (n == 0) return;
  read_list(x->b, n, argv);
  emit_differences(x, x->b, x->a, n);
  x->phase = 1;
  max::outlet_list(x->out, nullptr, static_cast<short>(n), x->list);
}

void stepdiff_assist(StepDiff*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet, {"(list) delta     e         c            h              o"});
}

StepDiff* stepdiff_new(max::Symbol* s, std::int32_t argc, const max::Atom* argv) {
  auto* x = reinterpret_cast<StepDiff*>(max::newobject(stepdiff_class));
  x->out = max::listout(&x->ob);
  if (argc >= 2) {
    stepdiff_list(x, s, argc, argv);
  } else if (argc == 1 && ko::is_number(argv[0])) {
    stepdiff_om(x, argv[0].a_type == max::A_LONG ? argv[0].a_w.w_long : ko::to_long(argv[0].a_w.w_float));
  }
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&stepdiff_class, ko::handler<stepdiff_new>(), nullptr, sizeof(StepDiff), nullptr, max::A_GIMME, 0);
  max::addbang(ko::handler<stepdiff_bang>());
  max::addint(ko::handler<stepdiff_int>());
  max::addfloat(ko::handler<stepdiff_float>());
  max::addmess(ko::handler<stepdiff_list>(), "list", max::A_GIMME, 0);
  max::addmess(ko::handler<stepdiff_om>(), "om", max::A_DEFLONG, 0);
  max::addmess(ko::handler<stepdiff_reset>(), "reset", max::A_GIMME, 0);
  max::addmess(ko::handler<stepdiff_assist>(), "assist", max::A_CANT, 0);
  KO_POST_BANNER(ko::Banner::A, "ko-stepdiff", time);
  return 0;
}
