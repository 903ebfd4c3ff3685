#include "frame/numeric.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstddef>

namespace ko {
namespace {

constexpr std::size_t kAngleCount = 1024;

// Angles over a few turns both ways, so every quadrant and sign is hit. The
// table is filled here once, before any benchmark runs.
const std::array<double, kAngleCount>& angles() {
  static const std::array<double, kAngleCount> a = [] {
    sine_table_fill();
    std::array<double, kAngleCount> v{};
    for (std::size_t i = 0; i < kAngleCount; ++i) {
      v[i] = -12.0 + 24.0 * static_cast<double>(i) / kAngleCount + 0.001 * static_cast<double>(i % 7);
    }
    return v;
  }();
  return a;
}

void bench_fast_sin(benchmark::State& state) {
  const auto& a = angles();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fast_sin(a[i]));
    i = (i + 1) % kAngleCount;
  }
}

void bench_libc_sin(benchmark::State& state) {
  const auto& a = angles();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::sin(a[i]));
    i = (i + 1) % kAngleCount;
  }
}

BENCHMARK(bench_fast_sin)->Name("fast_sin");
BENCHMARK(bench_libc_sin)->Name("libc_sin");

}  // namespace
}  // namespace ko
