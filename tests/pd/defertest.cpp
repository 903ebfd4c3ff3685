// ko-defertest: a plug-in for the Pd library's tests, not shipped. "later ATOMS" defers a
// call that sends ATOMS on the outlet (a newer one replaces one still waiting); inlet 2
// sends on the ints it takes, inlet 1 takes nothing.
#include <cstdint>

#include "frame/bind.h"

namespace {

struct DeferTest {
  max::Object ob;
  max::Outlet* out;
};

max::Class* defertest_class;

void later_run(DeferTest* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  max::outlet_list(x->out, nullptr, static_cast<short>(argc), argv);
}

void later(DeferTest* x, max::Symbol* s, std::int32_t argc, const max::Atom* argv) {
  max::defer_low(&x->ob, ko::handler<later_run>(), s, static_cast<short>(argc), argv);
}

void in2(DeferTest* x, std::int32_t n) { max::outlet_int(x->out, n); }

DeferTest* defertest_new() {
  auto* x = reinterpret_cast<DeferTest*>(max::newobject(defertest_class));
  x->out = max::listout(&x->ob);
  max::intin(&x->ob, 2);
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  max::setup(&defertest_class, ko::handler<defertest_new>(), nullptr, sizeof(DeferTest), nullptr, 0);
  max::addmess(ko::handler<later>(), "later", max::A_GIMME, 0);
  max::addinx(ko::handler<in2>(), 2);
  return 0;
}
