// jit.gl.lattice: a lattice of unit line segments centred on the origin, drawn in
// immediate mode, one glBegin/glEnd pair per segment. Its one setting is "grid", the
// extent along x, y and z.
#include <cstddef>
#include <cstdint>

#include "frame/bind.h"
#include "frame/glapi.h"
#include "frame/jitapi.h"
#include "frame/jitbind.h"
#include "frame/jitwrapper.h"

namespace {

struct Lattice {
  jit::Object ob;
  void* ob3d;
  std::int32_t grid[3];
};

struct Wrapper {
  max::Object ob;
  void* obex;
};

jit::Class* lattice_class;
max::Class* wrapper_class;
max::Symbol* inner_name;

// The draw walks at most this many points each side of the origin along an axis, so a
// huge "grid" cannot stall the host (2 * 64 + 1 points: over six million segments).
constexpr std::int32_t kMaxHalfExtent = 64;

std::int32_t half_extent(std::int32_t count) {
  const std::int32_t h = count / 2;
  return h > kMaxHalfExtent ? kMaxHalfExtent : h;
}

void segment(float x0, float y0, float z0, float x1, float y1, float z1) {
  glBegin(GL_LINES);
  glVertex3f(x0, y0, z0);
  glVertex3f(x1, y1, z1);
  glEnd();
}

jit::jit_err lattice_draw(Lattice* x) {
  const std::int32_t hx = half_extent(x->grid[0]);
  const std::int32_t hy = half_extent(x->grid[1]);
  const std::int32_t hz = half_extent(x->grid[2]);
  for (std::int32_t k = -hz; k <= hz; ++k) {
    for (std::int32_t i = -hx; i <= hx; ++i) {
      for (std::int32_t j = -hy; j <= hy; ++j) {
        const auto fi = static_cast<float>(i), fj = static_cast<float>(j), fk = static_cast<float>(k);
        if (i != hx) segment(fi, fj, fk, fi + 1.0f, fj, fk);
        if (j != hy) segment(fi, fj, fk, fi, fj + 1.0f, fk);
        if (k != hz) segment(fi, fj, fk, fi, fj, fk + 1.0f);
      }
    }
  }
  return 0;
}

jit::jit_err lattice_dest_changed(Lattice*) { return 0; }

// The clip filter has raised every value below 2 before this runs.
jit::jit_err lattice_grid(Lattice* x, void*, std::int32_t argc, const max::Atom* argv) {
  if (argc <= 0 || !argv) return 0;
  const std::int32_t n = argc < 3 ? argc : 3;
  for (std::int32_t i = 0; i < n; ++i) x->grid[i] = jit::jit_atom_getlong(&argv[i]);
  return 0;
}

Lattice* lattice_new(max::Symbol* dest) {
  auto* x = static_cast<Lattice*>(jit::jit_object_alloc(lattice_class));
  if (!x) return nullptr;
  jit::jit_ob3d_new(x, dest);
  x->grid[0] = x->grid[1] = x->grid[2] = 10;
  return x;
}

void lattice_free(Lattice* x) { jit::jit_ob3d_free(x); }

Wrapper* wrapper_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  return static_cast<Wrapper*>(ko::new_drawing_wrapper(wrapper_class, inner_name, "jit.gl.lattice", argc, argv));
}

// No detach: freeing the inner object takes it out of drawing.
void wrapper_free(Wrapper* x) {
  jit::jit_object_free(jit::max_jit_obex_jitob_get(x));
  jit::max_jit_obex_free(x);
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  lattice_class = jit::jit_class_new("jit_gl_lattice", ko::jit_handler<lattice_new>(), ko::jit_handler<lattice_free>(),
                                     sizeof(Lattice), jit::kPrivate, 0);
  jit::jit_ob3d_setup(lattice_class, offsetof(Lattice, ob3d), jit::kOb3dNoMatrixOutput);
  void* grid = jit::jit_object_new(jit::_jit_sym_jit_attr_offset_array, "grid", jit::_jit_sym_long, 3, 0, nullptr,
                                   ko::jit_handler<lattice_grid>(), 0, offsetof(Lattice, grid));
  jit::jit_attr_addfilterset_clip(grid, 2.0, 0.0, 1, 0);
  jit::jit_class_addattr(lattice_class, grid);
  jit::jit_class_addmethod(lattice_class, ko::jit_handler<lattice_draw>(), "ob3d_draw", jit::kPrivate, 0);
  jit::jit_class_addmethod(lattice_class, ko::jit_handler<lattice_dest_changed>(), "dest_changed", jit::kPrivate, 0);
  jit::jit_class_addmethod(lattice_class, ko::jit_handler<jit::jit_object_register>(), "register", jit::kPrivate, 0);
  jit::jit_class_register(lattice_class);
  inner_name = max::gensym("jit_gl_lattice");

  max::setup(&wrapper_class, ko::handler<wrapper_new>(), ko::handler<wrapper_free>(), sizeof(Wrapper), nullptr,
             max::A_GIMME, 0);
  void* ex = jit::max_jit_classex_setup(offsetof(Wrapper, obex));
  jit::max_jit_classex_standard_wrap(ex, jit::jit_class_findbyname(inner_name), 0);
  max::addmess(max::as_method(&jit::max_jit_ob3d_assist), "assist", max::A_CANT, 0);
  jit::max_ob3d_setup();
  return 0;
}
