// What a jit.gl.lattice costs in the offscreen context: one draw of the default grid (3630
// segments, each its own glBegin/glEnd pair), and a whole 640 x 480 render of it.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "host/jit/scene.h"
#include "host/patch.h"

namespace {

void bench_lattice_draw(benchmark::State& state) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  std::string why;
  max::Object* x = patch.create("l", "jit.gl.lattice", {}, &why);
  if (!x || !kohost::draw_object(patch, x, kohost::Camera{}, &why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  for (auto _ : state) kohost::draw_object(patch, x, kohost::Camera{}, &why);
  state.counters["segments/s"] = benchmark::Counter(3630.0 * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}

void bench_lattice_render(benchmark::State& state) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  std::string why;
  kohost::Camera cam;
  cam.eye[0] = 9;
  cam.eye[1] = 7;
  cam.eye[2] = 14;
  std::vector<std::uint8_t> rgb;
  if (!patch.create("l", "jit.gl.lattice", {}, &why) || !kohost::render_image(patch, cam, 640, 480, rgb, &why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  for (auto _ : state) kohost::render_image(patch, cam, 640, 480, rgb, &why);
}

}  // namespace

BENCHMARK(bench_lattice_draw)->Name("lattice_draw")->Unit(benchmark::kMillisecond);
BENCHMARK(bench_lattice_render)->Name("lattice_render_640x480")->Unit(benchmark::kMillisecond);
