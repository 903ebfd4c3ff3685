// What a jit.gl.scanrelief costs: reading a 256 x 256 matrix (heights, face and vertex
// normals, texture coordinates) against a memcpy of the bytes that reading writes; and
// drawing a 256 x 256 relief in the offscreen context through its display list against
// immediate mode, each draw finished by the driver.
#include <benchmark/benchmark.h>

#include "bench/ratio.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "frame/jitapi.h"
#include "host/jit/glcontext.h"
#include "host/jit/scene.h"
#include "host/patch.h"

namespace {

constexpr int kSide = 256;
constexpr int kTarget = 64;

// A 256 x 256 grey matrix of rough terrain, registered as "bench_terrain".
bool make_terrain(std::string* why) {
  if (!kohost::matrix_create("bench_terrain", "char", 1, {kSide, kSide}, why)) return false;
  char* data = nullptr;
  jit::jit_object_method(jit::jit_object_findregistered(max::gensym("bench_terrain")), jit::_jit_sym_getdata, &data);
  std::uint32_t s = 2024;
  for (int i = 0; i < kSide * kSide; ++i) data[i] = static_cast<char>((s = s * 1103515245u + 12345u) >> 24);
  return true;
}

max::Object* make_relief(kohost::Patch& patch, const std::vector<max::Atom>& extra, std::string* why) {
  std::vector<max::Atom> args = {kohost::sym_atom("@dim"), kohost::long_atom(kSide), kohost::long_atom(kSide)};
  args.insert(args.end(), extra.begin(), extra.end());
  max::Object* x = patch.create("r", "jit.gl.scanrelief", args, why);
  if (!x || !make_terrain(why)) return nullptr;
  patch.send(x, 0, max::gensym("jit_matrix"), {kohost::sym_atom("bench_terrain")});
  kohost::run_deferred();
  return x;
}

// The bytes one reading writes: every height, the face normals of 254 x 254 cells, the
// vertex normals and texture coordinates of 255 x 255 points.
constexpr std::size_t kWritten = (kSide * kSide * 1 + 254 * 254 * 6 + 255 * 255 * 3 + 255 * 255 * 2) * sizeof(float);

void bench_relief_read(benchmark::State& state) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  std::string why;
  max::Object* x = make_relief(patch, {}, &why);
  if (!x) {
    state.SkipWithError(why.c_str());
    return;
  }
  max::Symbol* jit_matrix = max::gensym("jit_matrix");
  const std::vector<max::Atom> name = {kohost::sym_atom("bench_terrain")};
  for (auto _ : state) {
    patch.send(x, 0, jit_matrix, name);
    kohost::run_deferred();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(kWritten) * state.iterations());
}

void bench_memcpy_written(benchmark::State& state) {
  std::vector<char> from(kWritten, 1), to(kWritten, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kWritten);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(kWritten) * state.iterations());
}

void bench_relief_draw(benchmark::State& state, bool displaylist) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  std::string why;
  max::Object* x = make_relief(
      patch, {kohost::sym_atom("@gridmode"), kohost::long_atom(5), kohost::sym_atom("@displaylist"),
              kohost::long_atom(displaylist ? 1 : 0)},
      &why);
  kohost::Camera cam;
  cam.eye[1] = -2.5;
  cam.eye[2] = 2;
  // A small target: the rasterizer's work, the same both ways, does not drown what the two
  // ways of sending the geometry cost. The first draw fills the vertex matrix (and compiles
  // the list); the rest only draw.
  std::vector<std::uint8_t> rgb;
  if (!x || !kohost::render_image(patch, cam, kTarget, kTarget, rgb, &why) ||
      !kohost::draw_object(patch, x, cam, &why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  const kohost::gl::Fns& gl = kohost::gl::fns();
  gl.glFinish();
  for (auto _ : state) {
    kohost::draw_object(patch, x, cam, &why);
    gl.glFinish();
  }
  state.counters["vertices/s"] = benchmark::Counter(2.0 * kSide * (kSide - 1) * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}

void bench_relief_displaylist(benchmark::State& state) { bench_relief_draw(state, true); }
void bench_relief_immediate(benchmark::State& state) { bench_relief_draw(state, false); }

}  // namespace

BENCHMARK(bench_relief_read)->Name("relief_read_256")->Apply(kobench::best_of)->Unit(benchmark::kMicrosecond);
BENCHMARK(bench_memcpy_written)->Name("memcpy_relief_bytes")->Apply(kobench::best_of)->Unit(benchmark::kMicrosecond);
BENCHMARK(bench_relief_displaylist)->Name("relief_draw_displaylist_256")->UseRealTime()->Apply(kobench::best_of)->Unit(benchmark::kMillisecond);
BENCHMARK(bench_relief_immediate)->Name("relief_draw_immediate_256")->UseRealTime()->Apply(kobench::best_of)->Unit(benchmark::kMillisecond);
KO_RATIO("relief_vs_memcpy", {"relief_read_256", 1}, {"memcpy_relief_bytes", 1}, 3);
KO_RATIO("displaylist_vs_immediate", {"relief_draw_displaylist_256", 1}, {"relief_draw_immediate_256", 1}, 0.5);
