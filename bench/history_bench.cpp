// The heaviest messages of the value history objects, through the host: a push into
// ko-trail that sends a full window of 255 values, and a ko-pointbank bang over a full
// bank (1,000 point lists and the window).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/patch.h"

namespace {

void count_emission(void* ctx, const kohost::Emission&) { ++*static_cast<std::int64_t*>(ctx); }

void bench_trail_push(benchmark::State& state) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  std::string why;
  max::Object* x = patch.create("t", "ko-trail", {kohost::long_atom(255), kohost::long_atom(0)}, &why);
  if (!x) {
    state.SkipWithError(why.c_str());
    return;
  }
  std::int64_t emitted = 0;
  patch.on_emit(&count_emission, &emitted);
  max::Symbol* float_symbol = max::gensym("float");
  const std::vector<max::Atom> value = {kohost::float_atom(1.5f)};
  for (auto _ : state) patch.send(x, 0, float_symbol, value);
  if (emitted != static_cast<std::int64_t>(state.iterations())) state.SkipWithError("a push sent no window");
}

void bench_pointbank_bang(benchmark::State& state) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  std::string why;
  max::Object* x = patch.create("p", "ko-pointbank", {kohost::long_atom(255), kohost::long_atom(2)}, &why);
  if (!x) {
    state.SkipWithError(why.c_str());
    return;
  }
  max::Symbol* list = max::gensym("list");
  patch.send(x, 0, max::gensym("num_ecran"), {kohost::long_atom(100)});
  const std::vector<max::Atom> points(20, kohost::float_atom(2.5f));
  for (int i = 0; i < 100; ++i) patch.send(x, 0, list, points);
  std::int64_t emitted = 0;
  patch.on_emit(&count_emission, &emitted);
  max::Symbol* bang = max::gensym("bang");
  const std::vector<max::Atom> none;
  for (auto _ : state) patch.send(x, 0, bang, none);
  if (emitted != 1001 * static_cast<std::int64_t>(state.iterations())) state.SkipWithError("a bang missed a list");
}

BENCHMARK(bench_trail_push)->Name("trail_push_255");
BENCHMARK(bench_pointbank_bang)->Name("pointbank_bang_full");

}  // namespace
