// Runs every benchmark, then reports each pair as a ratio: how many times slower the
// first of the pair is than the second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0) times[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

const std::pair<const char*, const char*> kPairs[] = {
    {"host_rescale", "direct_rescale"},
    {"fast_sin", "libc_sin"},
    {"heightfield_push", "heightfield_memcpy"},
    {"springmesh_step", "springmesh_loop"},
    {"relief_read_256", "memcpy_relief_bytes"},                       // relief_vs_memcpy, target 3
    {"relief_draw_displaylist_256", "relief_draw_immediate_256"},   // displaylist_vs_immediate, target 0.5
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  for (const auto& [a, b] : kPairs) {
    auto ia = reporter.times.find(a);
    auto ib = reporter.times.find(b);
    if (ia == reporter.times.end() || ib == reporter.times.end() || ib->second <= 0) continue;
    std::printf("ratio %s / %s: %.2f\n", a, b, ia->second / ib->second);
  }
  benchmark::Shutdown();
  return 0;
}
