// ko-pdtest: a plug-in for the Pd library's tests, not shipped. "later ATOMS" defers a
// call that sends ATOMS on the outlet (a newer one replaces one still waiting); "say N"
// posts a console line of N '=' and a '|'; inlet 2 sends on the ints it takes, inlet 1
// takes nothing.
#include <cstdint>
#include <string>

#include "frame/bind.h"

namespace {

struct PdTest {
  max::Object ob;
  max::Outlet* out;
};

max::Class* pdtest_class;

void later_run(PdTest* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  max::outlet_list(x->out, nullptr, static_cast<short>(argc), argv);
}

void later(PdTest* x, max::Symbol* s, std::int32_t argc, const max::Atom* argv) {
  max::defer_low(&x->ob, ko::handler<later_run>(), s, static_cast<short>(argc), argv);
}

void say(PdTest*, std::int32_t n) {
  const std::string line(static_cast<std::size_t>(n > 0 && n < 100000 ? n : 0), '=');
  max::post("%s|", line.c_str());
}

void in2(PdTest* x, std::int32_t n) { max::outlet_int(x->out, n); }

PdTest* pdtest_new() {
  auto* x = reinterpret_cast<PdTest*>(max::newobject(pdtest_class));
  x->out = max::listout(&x->ob);
  max::intin(&x->ob, 2);
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  max::setup(&pdtest_class, ko::handler<pdtest_new>(), nullptr, sizeof(PdTest), nullptr, 0);
  max::addmess(ko::handler<later>(), "later", max::A_GIMME, 0);
  max::addmess(ko::handler<say>(), "say", max::A_LONGARG, 0);
  max::addinx(ko::handler<in2>(), 2);
  return 0;
}
