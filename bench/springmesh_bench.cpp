// One ko-springmesh step over a 100 x 100 lattice, sent as a bang through the host with
// output off, beside a plain loop doing the same arithmetic on plain arrays.
#include <benchmark/benchmark.h>

#include "bench/ratio.h"

#include <cmath>
#include <string>
#include <vector>

#include "host/patch.h"

namespace {

constexpr int kSide = 100;

void bench_springmesh_step(benchmark::State& state) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  std::string why;
  max::Object* x = patch.create("s", "ko-springmesh", {}, &why);
  if (!x) {
    state.SkipWithError(why.c_str());
    return;
  }
  patch.send(x, 0, max::gensym("grid"), {kohost::long_atom(kSide), kohost::long_atom(kSide)});
  patch.send(x, 0, max::gensym("om"), {kohost::long_atom(7)});
  patch.send(x, 0, max::gensym("shape"), {kohost::long_atom(10)});
  max::Symbol* bang = max::gensym("bang");
  for (auto _ : state) patch.send(x, 0, bang, {});
}

// Forces cleared, eight springs per inner mass (weights 1 and the diagonal's), then
// velocity by dt and height by velocity.
void bench_springmesh_loop(benchmark::State& state) {
  static double z[kSide * kSide];
  static double f[kSide * kSide];
  static double v[kSide * kSide];
  for (int i = 1; i < kSide - 1; ++i)
    for (int j = 1; j < kSide - 1; ++j)
      z[i * kSide + j] = kSide * (std::sin(6.283185307179586 * i / kSide) + std::sin(6.283185307179586 * j / kSide)) / 6;
  const double w = 0.707106781373095;
  double dt = 0.002;
  benchmark::DoNotOptimize(dt);
  const int offsets[8] = {-1, -kSide, 1, kSide, kSide + 1, -kSide - 1, kSide - 1, -kSide + 1};
  const double weights[8] = {1, 1, 1, 1, w, w, w, w};
  for (auto _ : state) {
    for (int c = 0; c < kSide * kSide; ++c) f[c] = 0;
    for (int i = 2; i <= kSide - 3; ++i)
      for (int j = 2; j <= kSide - 3; ++j) {
        const int c = i * kSide + j;
        for (int k = 0; k < 8; ++k) {
          const double d = weights[k] * (z[c] - z[c + offsets[k]]);
          f[c] -= d;
          f[c + offsets[k]] += d;
        }
      }
    for (int c = 0; c < kSide * kSide; ++c) {
      v[c] += f[c] * dt;
      z[c] += v[c];
    }
    benchmark::ClobberMemory();
  }
}

BENCHMARK(bench_springmesh_step)->Name("springmesh_step")->Apply(kobench::best_of);
BENCHMARK(bench_springmesh_loop)->Name("springmesh_loop")->Apply(kobench::best_of);

}  // namespace
KO_RATIO("springmesh_vs_loop", {"springmesh_step", 1}, {"springmesh_loop", 1}, 1.2);
