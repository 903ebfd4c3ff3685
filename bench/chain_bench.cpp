// A float through chains of 1, 10 and 100 objects, sent into the first one from outside:
// a minimal pass-through class and ko-rescale with an identity map. Reported per hop;
// bench/pd_chain.sh times the same chains of [+ 0] in Pure Data.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/ratio.h"
#include "frame/bind.h"
#include "host/patch.h"

namespace {

struct Pass {
  max::Object ob;
  max::Outlet* out;
};

max::Class* pass_class;

void pass_float(Pass* x, double v) { max::outlet_float(x->out, v); }

Pass* pass_new(max::Symbol*, std::int32_t, const max::Atom*) {
  auto* x = reinterpret_cast<Pass*>(max::newobject(pass_class));
  x->out = max::floatout(&x->ob);
  return x;
}

int pass_main() {
  max::setup(&pass_class, ko::handler<pass_new>(), nullptr, sizeof(Pass), nullptr, max::A_GIMME, 0);
  max::addfloat(ko::handler<pass_float>());
  return 0;
}

void run_chain(benchmark::State& state, const char* cls, const std::vector<max::Atom>& args) {
  kohost::register_class("bench-pass", pass_main);
  kohost::Patch patch({KO_PLUGIN_DIR});
  patch.on_console([](void*, bool, std::string_view) {}, nullptr);  // load banners
  const int n = static_cast<int>(state.range(0));
  std::vector<max::Object*> chain;
  std::string why;
  for (int i = 0; i < n; ++i) {
    max::Object* x = patch.create("c" + std::to_string(i), cls, args, &why);
    if (!x) {
      state.SkipWithError(why.c_str());
      return;
    }
    if (!chain.empty()) patch.connect(chain.back(), 0, x, 0);
    chain.push_back(x);
  }
  max::Symbol* float_symbol = max::gensym("float");
  // Two values in turn, so that an object that sends only changes sends every time.
  const std::vector<max::Atom> inputs[2] = {{kohost::float_atom(0.25f)}, {kohost::float_atom(0.75f)}};
  std::size_t i = 0;
  for (auto _ : state) {
    patch.send(chain.front(), 0, float_symbol, inputs[i]);
    i ^= 1;
  }
  state.counters["hop"] =
      benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void bench_chain_pass(benchmark::State& state) { run_chain(state, "bench-pass", {}); }

void bench_chain_rescale(benchmark::State& state) {
  run_chain(state, "ko-rescale",
            {kohost::sym_atom("@map"), kohost::long_atom(0), kohost::long_atom(1), kohost::long_atom(0),
             kohost::long_atom(1)});
}

BENCHMARK(bench_chain_pass)->Name("chain_pass")->Arg(1)->Arg(10)->Arg(100)->Apply(kobench::best_of);
BENCHMARK(bench_chain_rescale)->Name("chain_rescale")->Arg(1)->Arg(10)->Arg(100)->Apply(kobench::best_of);

KO_RATIO("hop_vs_pd", {"chain_pass/10", 10}, {"pd_hop/10", 1}, 1.0);
KO_RATIO("hop_flat", {"chain_pass/100", 100}, {"chain_pass/10", 10}, 1.2);

}  // namespace
