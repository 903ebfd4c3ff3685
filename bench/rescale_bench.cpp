// The cost of one ko-rescale mapping through the host (dispatch, handler, outlet, observer)
// against the bare mapping it performs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/ratio.h"
#include "host/patch.h"
#include "objects/ko-rescale/rescale_map.h"

namespace {

void count_emission(void* ctx, const kohost::Emission&) { ++*static_cast<std::int64_t*>(ctx); }

void host_rescale(benchmark::State& state) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  std::string why;
  max::Object* x = patch.create("r", "ko-rescale", {}, &why);
  if (!x) {
    state.SkipWithError(why.c_str());
    return;
  }
  std::int64_t emitted = 0;
  patch.on_emit(&count_emission, &emitted);
  max::Symbol* float_symbol = max::gensym("float");
  // Two inputs taken in turn, so that every one changes the result and is sent.
  const std::vector<max::Atom> inputs[2] = {{kohost::float_atom(0.25f)}, {kohost::float_atom(0.75f)}};
  std::size_t i = 0;
  for (auto _ : state) {
    patch.send(x, 0, float_symbol, inputs[i]);
    i ^= 1;
  }
  if (emitted != static_cast<std::int64_t>(state.iterations())) state.SkipWithError("an input was not emitted");
  state.counters["emitted"] = static_cast<double>(emitted);
}

void direct_rescale(benchmark::State& state) {
  double srcmin = 0, srcmax = 1, dstmin = 0, dstmax = 127;
  int mode = ko::kRescalePolate;
  benchmark::DoNotOptimize(srcmin);
  benchmark::DoNotOptimize(srcmax);
  benchmark::DoNotOptimize(dstmin);
  benchmark::DoNotOptimize(dstmax);
  benchmark::DoNotOptimize(mode);
  const double inputs[2] = {0.25, 0.75};
  std::size_t i = 0;
  for (auto _ : state) {
    double input = inputs[i];
    benchmark::DoNotOptimize(input);  // keeps the mapping from being folded at compile time
    benchmark::DoNotOptimize(ko::rescale_map(srcmin, srcmax, dstmin, dstmax, mode, input));
    i ^= 1;
  }
}

void bench_host_rescale(benchmark::State& state) {
  kobench::at_varied_stack([&] { host_rescale(state); });
}
void bench_direct_rescale(benchmark::State& state) {
  kobench::at_varied_stack([&] { direct_rescale(state); });
}

BENCHMARK(bench_host_rescale)->Name("host_rescale")->Apply(kobench::best_of);
BENCHMARK(bench_direct_rescale)->Name("direct_rescale")->Apply(kobench::best_of);

KO_RATIO("rescale_vs_direct", {"host_rescale", 1}, {"direct_rescale", 1}, 5);

}  // namespace
