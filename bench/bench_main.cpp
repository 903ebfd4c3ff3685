// Runs every benchmark, then prints the summary of ratios.
//
//   ko_bench [--ko_times=FILE] [benchmark flags]
//
// FILE holds times measured outside this program in the same run, one "time NAME NS" a
// line (bench/pd_chain.sh writes Pure Data's); they take part in ratios like benchmarks.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/ratio.h"

namespace kobench {

namespace {

std::vector<Ratio>& ratios() {
  static std::vector<Ratio> r;
  return r;
}

// The order of the summary; ratios not named here follow, by name.
const char* const kOrder[] = {
    "hop_vs_pd",      "hop_flat",          "rescale_vs_direct", "sin_sorted",         "sin_random",
    "print_vs_stdio", "heightfield_vs_memcpy", "springmesh_vs_loop", "relief_vs_memcpy", "displaylist_vs_immediate",
};

std::size_t rank(const char* name) {
  for (std::size_t i = 0; i < std::size(kOrder); ++i)
    if (std::strcmp(kOrder[i], name) == 0) return i;
  return std::size(kOrder);
}

// Nanoseconds per iteration of every benchmark that ran.
class TimesReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.error_occurred || r.iterations <= 0) continue;
      const bool best = r.run_type == Run::RT_Aggregate && r.aggregate_name == "best";
      if (r.run_type != Run::RT_Iteration && !best) continue;
      // Named by function and arguments only ("chain_pass/10"), whatever the run options.
      std::string name = r.run_name.function_name;
      if (!r.run_name.args.empty()) name += "/" + r.run_name.args;
      // Wall time where a benchmark asks for it (its work runs on other threads too).
      const bool wall = r.run_name.time_type == "manual_time" || r.run_name.time_type == "real_time";
      const double t = (wall ? r.GetAdjustedRealTime() : r.GetAdjustedCPUTime()) * 1e9 /
                       benchmark::GetTimeUnitMultiplier(r.time_unit);
      // The best of repeated runs; otherwise the one run.
      auto it = times.find(name);
      if (it == times.end() || best || !best_seen.count(name)) times[name] = t;
      if (best) best_seen.insert(name);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
  std::set<std::string> best_seen;
};

void read_times(const std::string& path, std::map<std::string, double>& times) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string tag, name;
    double ns = 0;
    if (words >> tag >> name >> ns && tag == "time" && ns > 0) times[name] = ns;
  }
}

std::string target_text(double t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, t == std::floor(t) ? "%.1f" : "%g", t);
  return buf;
}

}  // namespace

bool add_ratio(const Ratio& r) {
  ratios().push_back(r);
  return true;
}

}  // namespace kobench

int main(int argc, char** argv) {
  std::string times_file;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--ko_times=", 11) == 0)
      times_file = argv[i] + 11;
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);
  kobench::TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (!times_file.empty()) kobench::read_times(times_file, reporter.times);

  auto list = kobench::ratios();
  std::stable_sort(list.begin(), list.end(), [](const kobench::Ratio& a, const kobench::Ratio& b) {
    const auto ra = kobench::rank(a.name), rb = kobench::rank(b.name);
    return ra != rb ? ra < rb : std::strcmp(a.name, b.name) < 0;
  });
  std::printf("\n");
  for (const kobench::Ratio& r : list) {
    auto a = reporter.times.find(r.numerator.benchmark);
    auto b = reporter.times.find(r.denominator.benchmark);
    if (a == reporter.times.end() || b == reporter.times.end()) continue;
    const double value = (a->second / r.numerator.units) / (b->second / r.denominator.units);
    std::printf("ratio %s %.2f %s\n", r.name, value, kobench::target_text(r.target).c_str());
  }
  benchmark::Shutdown();
  return 0;
}
