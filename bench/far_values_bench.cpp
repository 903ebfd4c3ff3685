// Messages that once cost milliseconds: a value far outside ko-rescale's destination in
// wrap and fold mode, and the creation of a ko-viewnav camera.
#include <benchmark/benchmark.h>

#include <string>

#include "host/patch.h"
#include "objects/ko-rescale/rescale_map.h"

namespace {

// Destination 0.1 .. 0.7 as the object holds it (single precision): stepping is inexact,
// and 10^8 lies tens of millions of periods out.
void far_value(benchmark::State& state, int mode) {
  double srcmin = 0, srcmax = 1, dstmin = static_cast<float>(0.1), dstmax = static_cast<float>(0.7);
  benchmark::DoNotOptimize(srcmin);
  benchmark::DoNotOptimize(dstmax);
  const double inputs[2] = {1e8, -1e8 - 0.5};
  std::size_t i = 0;
  for (auto _ : state) {
    double input = inputs[i];
    benchmark::DoNotOptimize(input);
    benchmark::DoNotOptimize(ko::rescale_map(srcmin, srcmax, dstmin, dstmax, mode, input));
    i ^= 1;
  }
}

void bench_wrap_far(benchmark::State& state) { far_value(state, ko::kRescaleWrap); }
void bench_fold_far(benchmark::State& state) { far_value(state, ko::kRescaleFold); }

void bench_viewnav_new(benchmark::State& state) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  std::string why;
  if (!patch.find_class("ko-viewnav", &why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  patch.on_console([](void*, bool, std::string_view) {}, nullptr);
  for (auto _ : state) {
    max::Object* x = patch.create("c", "ko-viewnav", {}, &why);
    benchmark::DoNotOptimize(x);
    patch.free(x);
  }
}

BENCHMARK(bench_wrap_far)->Name("rescale_wrap_far");
BENCHMARK(bench_fold_far)->Name("rescale_fold_far");
BENCHMARK(bench_viewnav_new)->Name("viewnav_new");

}  // namespace
