// The table sine against the C library's, over 1024 sorted angles (the table stays in
// cache, the branches predictable) and over 64k random ones, both in -4 pi .. 4 pi.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <numbers>
#include <random>
#include <vector>

#include "bench/ratio.h"
#include "frame/numeric.h"

namespace ko {
namespace {

constexpr double kSpan = 4 * std::numbers::pi;
constexpr std::size_t kSorted = 1024;
constexpr std::size_t kRandom = 65536;

const std::vector<double>& sorted_angles() {
  static const std::vector<double> a = [] {
    std::vector<double> v(kSorted);
    for (std::size_t i = 0; i < kSorted; ++i) v[i] = -kSpan + 2 * kSpan * (static_cast<double>(i) + 0.5) / kSorted;
    return v;
  }();
  return a;
}

const std::vector<double>& random_angles() {
  static const std::vector<double> a = [] {
    std::mt19937_64 rng(12);
    std::uniform_real_distribution<double> d(-kSpan, kSpan);
    std::vector<double> v(kRandom);
    for (double& x : v) x = d(rng);
    return v;
  }();
  return a;
}

template <double (*F)(double)>
void sines(benchmark::State& state, const std::vector<double>& angles) {
  sine_table_fill();
  std::vector<double> out(angles.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < angles.size(); ++i) out[i] = F(angles[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * angles.size()));
}

double libc_sin(double x) { return std::sin(x); }

void bench_fast_sin_sorted(benchmark::State& s) { sines<fast_sin>(s, sorted_angles()); }
void bench_libc_sin_sorted(benchmark::State& s) { sines<libc_sin>(s, sorted_angles()); }
void bench_fast_sin_random(benchmark::State& s) { sines<fast_sin>(s, random_angles()); }
void bench_libc_sin_random(benchmark::State& s) { sines<libc_sin>(s, random_angles()); }

BENCHMARK(bench_fast_sin_sorted)->Name("fast_sin_sorted")->Apply(kobench::best_of);
BENCHMARK(bench_libc_sin_sorted)->Name("libc_sin_sorted")->Apply(kobench::best_of);
BENCHMARK(bench_fast_sin_random)->Name("fast_sin_random")->Apply(kobench::best_of);
BENCHMARK(bench_libc_sin_random)->Name("libc_sin_random")->Apply(kobench::best_of);

KO_RATIO("sin_sorted", {"fast_sin_sorted", 1}, {"libc_sin_sorted", 1}, 0.25);
KO_RATIO("sin_random", {"fast_sin_random", 1}, {"libc_sin_random", 1}, 0.6);

}  // namespace
}  // namespace ko
