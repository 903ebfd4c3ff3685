// One "list" pushed into ko-heightfield at its largest grid (254 x 254) through the
// host: the row goes into the history ring and the whole grid is rebuilt from it. Beside
// it, one memcpy of the bytes that rebuild writes.
#include <benchmark/benchmark.h>

#include "bench/ratio.h"

#include <cstring>
#include <string>
#include <vector>

#include "host/patch.h"

namespace {

constexpr int kCount = 254;

void bench_heightfield_push(benchmark::State& state) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  std::string why;
  max::Object* x =
      patch.create("h", "ko-heightfield", {kohost::sym_atom("@dim"), kohost::long_atom(kCount), kohost::long_atom(kCount)}, &why);
  if (!x) {
    state.SkipWithError(why.c_str());
    return;
  }
  std::vector<max::Atom> row;
  for (int c = 0; c < kCount; ++c) row.push_back(kohost::float_atom(static_cast<float>(c) * 0.5f));
  max::Symbol* list = max::gensym("list");
  for (auto _ : state) patch.send(x, 0, list, row);
  state.SetBytesProcessed(state.iterations() * kCount * kCount * static_cast<int64_t>(sizeof(double)));
}

void bench_heightfield_memcpy(benchmark::State& state) {
  // The same stores: a 257-row ring and a 256-row grid of 256 doubles a row.
  static double ring[257 * 256];
  static double grid[256 * 256];
  const std::size_t bytes = static_cast<std::size_t>(kCount) * kCount * sizeof(double);
  for (auto _ : state) {
    std::memcpy(grid, ring, bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

BENCHMARK(bench_heightfield_push)->Name("heightfield_push")->Apply(kobench::best_of);
BENCHMARK(bench_heightfield_memcpy)->Name("heightfield_memcpy")->Apply(kobench::best_of);

}  // namespace
KO_RATIO("heightfield_vs_memcpy", {"heightfield_push", 1}, {"heightfield_memcpy", 1}, 2);
