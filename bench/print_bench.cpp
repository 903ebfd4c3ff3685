// kohost with every emission printed: a 300 000-line script of sends into a chain of ten
// ko-rescale objects (identity map), all 3 000 000 emissions written to /dev/null, against
// a plain loop that writes the same lines with std::to_chars and fwrite. kohost runs as
// its own process and is timed by the CPU time it used.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/ratio.h"

extern char** environ;

namespace {

constexpr int kSends = 300000;
constexpr int kChain = 10;
constexpr double kLines = static_cast<double>(kSends) * kChain;

// The value of send i, with three decimals and never twice the same in a row, so that
// every object in the chain sends every time.
std::string value_text(int i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>((static_cast<long>(i) * 7919) % 100000) / 1000.0);
  return buf;
}

struct Script {
  std::string path;
  std::vector<float> values;
};

const Script& script() {
  static const Script s = [] {
    Script sc;
    char tmpl[] = "/tmp/ko_print_bench_XXXXXX";
    const int fd = mkstemp(tmpl);
    if (fd < 0) return sc;
    close(fd);
    sc.path = tmpl;
    std::ofstream out(sc.path);
    for (int k = 0; k < kChain; ++k) out << "new r" << k << " ko-rescale @map 0 1 0 1\n";
    for (int k = 0; k + 1 < kChain; ++k) out << "connect r" << k << " 0 r" << k + 1 << " 0\n";
    for (int i = 1; i <= kSends; ++i) {
      const std::string v = value_text(i);
      out << "send r0 " << v << '\n';
      sc.values.push_back(std::strtof(v.c_str(), nullptr));
    }
    return sc;
  }();
  return s;
}

// The lines kohost prints for the script, written the plain way.
void write_lines(std::FILE* f, const std::vector<float>& values) {
  char line[64];
  for (float v : values) {
    for (int k = 0; k < kChain; ++k) {
      char* p = line;
      *p++ = 'r';
      p = std::to_chars(p, line + sizeof line, k).ptr;
      for (char c : {'.', '0', ':', ' ', 'f', 'l', 'o', 'a', 't', ' '}) *p++ = c;
      char* num = p;
      p = std::to_chars(p, line + sizeof line, v).ptr;
      bool plain = true;
      for (char* q = num; q < p; ++q)
        if (*q == '.' || *q == 'e') plain = false;
      if (plain) {
        *p++ = '.';
        *p++ = '0';
      }
      *p++ = '\n';
      std::fwrite(line, 1, static_cast<std::size_t>(p - line), f);
    }
  }
}

// Runs kohost on the script with standard output to `out`; the CPU seconds it used, or -1.
double run_kohost(const char* out) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string bin = KO_KOHOST_BIN, dir = KO_PLUGIN_DIR;
  std::string p = "-p";
  std::string path = script().path;
  char* argv[] = {bin.data(), p.data(), dir.data(), path.data(), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, bin.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  rusage ru{};
  if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// kohost must print exactly the lines the plain loop writes (and its load banner).
bool same_lines() {
  char a[] = "/tmp/ko_print_a_XXXXXX", b[] = "/tmp/ko_print_b_XXXXXX";
  const int fa = mkstemp(a), fb = mkstemp(b);
  if (fa < 0 || fb < 0) return false;
  close(fa);
  close(fb);
  bool same = false;
  if (run_kohost(a) >= 0) {
    if (std::FILE* f = std::fopen(b, "w")) {
      write_lines(f, script().values);
      std::fclose(f);
      std::string ours = read_file(a);
      if (ours.rfind("console: ", 0) == 0) ours.erase(0, ours.find('\n') + 1);
      same = ours == read_file(b);
    }
  }
  std::remove(a);
  std::remove(b);
  return same;
}

void bench_kohost_print(benchmark::State& state) {
  if (script().path.empty()) return state.SkipWithError("cannot write the script");
  if (!same_lines()) return state.SkipWithError("kohost did not print the lines of the plain loop");
  for (auto _ : state) {
    const double seconds = run_kohost("/dev/null");
    if (seconds < 0) return state.SkipWithError("kohost failed");
    state.SetIterationTime(seconds);
  }
  state.counters["line"] =
      benchmark::Counter(kLines, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void bench_stdio_print(benchmark::State& state) {
  const auto& values = script().values;
  std::FILE* f = std::fopen("/dev/null", "w");
  if (!f) return state.SkipWithError("cannot open /dev/null");
  for (auto _ : state) write_lines(f, values);
  std::fclose(f);
  state.counters["line"] =
      benchmark::Counter(kLines, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(bench_kohost_print)->Name("kohost_print")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond)->Apply(kobench::best_of);
BENCHMARK(bench_stdio_print)->Name("stdio_print")->Iterations(1)->Unit(benchmark::kMillisecond)->Apply(kobench::best_of);

KO_RATIO("print_vs_stdio", {"kohost_print", kLines}, {"stdio_print", kLines}, 2);

}  // namespace
