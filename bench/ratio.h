// The summary that ./ko bench ends with: one line per ratio, "ratio NAME VALUE TARGET",
// each the time of one benchmark over another's, measured in the same run. A bench file
// adds its own ratios with KO_RATIO; a ratio whose two benchmarks did not both run (a
// filter, a skipped benchmark, no Pure Data) is left out.
#pragma once

#include <benchmark/benchmark.h>

#include <alloca.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kobench {

// Runs a benchmark of a ratio several times and keeps the best run: on a busy machine the
// least disturbed run is the one that shows the code's own cost.
// BENCHMARK(f)->Apply(kobench::best_of);
inline void best_of(benchmark::internal::Benchmark* b) {
  b->Repetitions(5)->DisplayAggregatesOnly(true)->ComputeStatistics(
      "best", [](const std::vector<double>& v) { return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end()); });
}

// Runs `body` with its stack placed a little lower on each call. Where a benchmark's
// stack data falls 4 KB apart from other data it touches, the processor can stall on
// dependencies that are not there, and which placement one process gets is chance (it
// moves with address randomisation). Varying it over the repetitions of best_of lets the
// best run be one without that stall, so a ratio does not swing from process to process.
template <class F>
void at_varied_stack(F&& body) {
  static unsigned calls = 0;
  const std::size_t bytes = 16 + (calls++ % 8) * 528;  // 528 = 8 cache lines and 16: every 4 KB offset class
  auto* pad = static_cast<volatile char*>(alloca(bytes));
  pad[0] = 0;
  body();
  pad[bytes - 1] = 0;
}

// One side of a ratio: a benchmark's time per iteration (CPU time, or the wall or manual time of a
// benchmark that sets its own; the best run where it ran several times), divided by how
// many units (hops, lines, calls) one iteration is.
struct Side {
  const char* benchmark;
  double units;
};

struct Ratio {
  const char* name;
  Side numerator;
  Side denominator;
  double target;  // the value must not exceed it
};

bool add_ratio(const Ratio& r);

}  // namespace kobench

#define KO_RATIO_CAT2(a, b) a##b
#define KO_RATIO_CAT(a, b) KO_RATIO_CAT2(a, b)
// KO_RATIO("name", {"bench_a", units_a}, {"bench_b", units_b}, target);
#define KO_RATIO(...) \
  [[maybe_unused]] static const bool KO_RATIO_CAT(ko_ratio_, __LINE__) = ::kobench::add_ratio({__VA_ARGS__})
