// jit.gl.scanrelief: a one-plane 8-bit matrix (a grey image or video frame) drawn as a
// relief grid whose heights are the cell values. An inner object of the matrix layer,
// jit_gl_scanrelief, holds the state and draws; a thin patch object wraps it. The grid is
// one primitive per pair of neighbouring rows, drawn directly, through a display list or
// handed to the layer as a geometry matrix.
#include <cstddef>
#include <cstdint>

#include "frame/bind.h"
#include "frame/console.h"
#include "frame/glapi.h"
#include "frame/jitapi.h"
#include "frame/jitbind.h"
#include "frame/jitwrapper.h"
#include "objects/jit.gl.scanrelief/relief.h"

namespace relief {

namespace {

struct Wrapper {
  max::Object ob;
  void* obex;
};

jit::Class* relief_class;
max::Class* wrapper_class;
max::Symbol* inner_name;
max::Symbol* quad;
max::Symbol* matrixoutput;

GLenum primitive(std::int8_t gridmode) {
  // 2 and 3 are swapped against the enumerants' order: 2 is the strip, 3 the loop.
  static constexpr GLenum kPrims[] = {GL_POINTS,         GL_LINES,        GL_LINE_STRIP, GL_LINE_LOOP,
                                      GL_TRIANGLES,      GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_QUADS,
                                      GL_QUAD_STRIP,     GL_POLYGON};
  return gridmode >= 0 && gridmode <= 9 ? kPrims[gridmode] : GL_TRIANGLE_STRIP;
}

// Normal, texture coordinate and position, as many as the vertex has planes for.
void emit(const float* v, std::int32_t planes) {
  if (planes >= 8 && planes <= 16) {
    glNormal3f(v[5], v[6], v[7]);
    glTexCoord2f(v[3], v[4]);
    glVertex3f(v[0], v[1], v[2]);
  } else if (planes >= 5 && planes <= 7) {
    glTexCoord2f(v[3], v[4]);
    glVertex3f(v[0], v[1], v[2]);
  } else if (planes == 3 || planes == 4) {
    glVertex3f(v[0], v[1], v[2]);
  }
}

// One primitive per pair of neighbouring rows, each column's vertex of the row and then
// of the row above.
void draw_strips(void* matrix, GLenum prim) {
  jit::MatrixInfo info;
  char* data = nullptr;
  jit::jit_object_method(matrix, jit::_jit_sym_getinfo, &info);
  jit::jit_object_method(matrix, jit::_jit_sym_getdata, &data);
  if (!data || info.type != jit::_jit_sym_float32 || info.dimcount < 1) return;
  const std::int64_t cols = info.dim[0];
  const std::int64_t rows = info.dimcount > 1 ? info.dim[1] : 1;
  const std::int32_t planes = info.planecount;
  for (std::int64_t r = 0; r + 1 < rows; ++r) {
    const char* lower = data + r * info.dimstride[1];
    const char* upper = lower + info.dimstride[1];
    glBegin(prim);
    for (std::int64_t c = 0; c < cols; ++c) {
      emit(reinterpret_cast<const float*>(lower + c * info.dimstride[0]), planes);
      emit(reinterpret_cast<const float*>(upper + c * info.dimstride[0]), planes);
    }
    glEnd();
  }
}

jit::jit_err relief_draw(Relief* x) {
  const GLenum prim = primitive(x->gridmode);
  void* vertex = x->chunk ? x->chunk->vertex : nullptr;
  if (x->rebuild) {
    if (vertex && x->shape == quad) fill_vertices(x, vertex);
    if (x->displaylist) {
      if (x->listid) {
        glDeleteLists(x->listid, 1);
        x->listid = 0;
      }
      x->listid = glGenLists(1);
      if (x->listid) {
        glNewList(x->listid, GL_COMPILE);
        if (vertex) draw_strips(vertex, prim);
        glEndList();
      }
    }
    x->rebuild = 0;
  }
  if (!vertex) return 0;
  if (jit::jit_attr_getlong(x, matrixoutput)) {
    update_colour(x, vertex);
    return jit::jit_ob3d_draw_chunk(x->ob3d, x->chunk);
  }
  if (x->displaylist && x->listid) {
    glCallList(x->listid);
    return 0;
  }
  draw_strips(vertex, prim);
  return 0;
}

jit::jit_err relief_dest_changed(Relief* x) {
  if (x->listid) x->rebuild = 1;
  return 0;
}

jit::jit_err relief_dest_closing(Relief* x) {
  if (x->listid) {
    glDeleteLists(x->listid, 1);
    x->listid = 0;
    x->rebuild = 1;
  }
  return 0;
}

// "jit_matrix NAME": the named matrix's cells become the heights.
void relief_jit_matrix(Relief* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  if (argc < 1 || !argv) return;
  void* m = jit::jit_object_findregistered(jit::jit_atom_getsym(&argv[0]));
  if (!m) return;
  const std::intptr_t saved = ko::jit_result(jit::jit_object_method(m, jit::_jit_sym_lock, 1));
  jit::MatrixInfo info{};
  char* data = nullptr;
  jit::jit_object_method(m, jit::_jit_sym_getinfo, &info);
  jit::jit_object_method(m, jit::_jit_sym_getdata, &data);
  if (data && info.type == jit::_jit_sym_char && info.planecount <= 1 && info.dimcount >= 1 && info.dim[0] <= 256 &&
      (info.dimcount < 2 || info.dim[1] <= 256)) {
    read_heights(x, info, reinterpret_cast<const unsigned char*>(data));
    derive(x);
    x->rebuild = 1;
  }
  jit::jit_object_method(m, jit::_jit_sym_lock, saved);
}

jit::jit_err relief_shape(Relief* x, void*, std::int32_t argc, const max::Atom* argv) {
  if (argc < 1 || !argv || argv[0].a_type != max::A_SYM || !argv[0].a_w.w_sym) return 0;
  x->shape = argv[0].a_w.w_sym;
  x->rebuild = 1;
  return 0;
}

// The clip filter has raised every value below 2 before this runs.
jit::jit_err relief_dim(Relief* x, void*, std::int32_t argc, const max::Atom* argv) {
  if (argc < 1 || !argv || !x->chunk || !x->chunk->vertex) return 0;
  void* vertex = x->chunk->vertex;
  jit::jit_object_method(vertex, jit::_jit_sym_dim, argc, argv);
  jit::MatrixInfo info{};
  jit::jit_object_method(vertex, jit::_jit_sym_getinfo, &info);
  x->dim[0] = info.dim[0];
  x->dim[1] = info.dimcount > 1 ? info.dim[1] : 0;
  derive(x);
  x->rebuild = 1;
  return 0;
}

jit::jit_err relief_displaylist(Relief* x, void*, std::int32_t argc, const max::Atom* argv) {
  if (argc < 1 || !argv) return 0;
  x->displaylist = static_cast<std::int8_t>(static_cast<std::uint8_t>(jit::jit_atom_getlong(&argv[0]) & 0xFF));
  x->rebuild = 1;
  return 0;
}

std::int32_t clamp_maxdim(std::int32_t v) { return v < kMinMaxdim ? kMinMaxdim : v > kMaxMaxdim ? kMaxMaxdim : v; }

// A value not given counts as 512.
jit::jit_err relief_maxdim(Relief* x, void*, std::int32_t argc, const max::Atom* argv) {
  const bool has = argv != nullptr;
  x->maxdim[0] = clamp_maxdim(has && argc > 0 ? jit::jit_atom_getlong(&argv[0]) : kMinMaxdim);
  x->maxdim[1] = clamp_maxdim(has && argc > 1 ? jit::jit_atom_getlong(&argv[1]) : kMinMaxdim);
  allocate_buffers(x, true);
  return 0;
}

Relief* relief_new(max::Symbol* dest) {
  auto* x = static_cast<Relief*>(jit::jit_object_alloc(relief_class));
  if (!x) return nullptr;
  jit::jit_ob3d_new(x, dest);
  x->dim[0] = x->dim[1] = 20;
  x->shape = quad;
  x->chunk = jit::jit_glchunk_grid_new(jit::_jit_sym_gl_quad_grid, 12, 20, 20);
  x->rebuild = 1;
  x->displaylist = 0;
  x->listid = 0;
  x->gridmode = 0;
  x->zscale = -1.0f;
  x->maxdim[0] = x->maxdim[1] = kMinMaxdim;
  allocate_buffers(x, false);
  return x;
}

void relief_free(Relief* x) {
  free_buffers(x);
  if (x->chunk) jit::jit_glchunk_delete(x->chunk);
  x->chunk = nullptr;
  if (jit::jit_ob3d_set_context(x) == jit::kOk && x->listid) glDeleteLists(x->listid, 1);
  x->listid = 0;
  jit::jit_ob3d_free(x);
}

Wrapper* wrapper_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  return static_cast<Wrapper*>(ko::new_drawing_wrapper(wrapper_class, inner_name, "jit.gl.scanrelief", argc, argv));
}

void wrapper_free(Wrapper* x) {
  jit::max_jit_ob3d_detach(x);
  jit::jit_object_free(jit::max_jit_obex_jitob_get(x));
  jit::max_jit_obex_free(x);
}

constexpr std::int32_t kDeferred = jit::kAttrSetDeferred | jit::kAttrGetDeferred;

void add_array(const char* name, jit::method set, std::size_t offset, bool clip) {
  void* a = jit::jit_object_new(jit::_jit_sym_jit_attr_offset_array, name, jit::_jit_sym_long, 2, kDeferred, nullptr,
                                set, 0, offset);
  if (clip) jit::jit_attr_addfilterset_clip(a, 2.0, 0.0, 1, 0);
  jit::jit_class_addattr(relief_class, a);
}

void add_scalar(const char* name, max::Symbol* type, jit::method set, std::size_t offset) {
  jit::jit_class_addattr(relief_class,
                         jit::jit_object_new(jit::_jit_sym_jit_attr_offset, name, type, kDeferred, nullptr, set, offset));
}

void setup_inner() {
  relief_class = jit::jit_class_new("jit_gl_scanrelief", ko::jit_handler<relief_new>(), ko::jit_handler<relief_free>(),
                                    sizeof(Relief), jit::kPrivate, 0);
  jit::jit_ob3d_setup(relief_class, offsetof(Relief, ob3d), 0);
  add_scalar("shape", jit::_jit_sym_symbol, ko::jit_handler<relief_shape>(), offsetof(Relief, shape));
  add_array("dim", ko::jit_handler<relief_dim>(), offsetof(Relief, dim), true);
  add_scalar("displaylist", jit::_jit_sym_char, ko::jit_handler<relief_displaylist>(), offsetof(Relief, displaylist));
  add_scalar("gridmode", jit::_jit_sym_char, nullptr, offsetof(Relief, gridmode));
  add_scalar("zscale", jit::_jit_sym_float32, nullptr, offsetof(Relief, zscale));
  add_array("maxdim", ko::jit_handler<relief_maxdim>(), offsetof(Relief, maxdim), false);
  jit::jit_class_addmethod(relief_class, ko::jit_handler<relief_jit_matrix>(), "jit_matrix", jit::kDeferredUsurp, 0);
  jit::jit_class_addmethod(relief_class, ko::jit_handler<relief_draw>(), "ob3d_draw", jit::kPrivate, 0);
  jit::jit_class_addmethod(relief_class, ko::jit_handler<relief_dest_changed>(), "dest_changed", jit::kPrivate, 0);
  jit::jit_class_addmethod(relief_class, ko::jit_handler<jit::jit_object_register>(), "register", jit::kPrivate, 0);
  jit::jit_class_addmethod(relief_class, ko::jit_handler<relief_dest_closing>(), "dest_closing", jit::kPrivate, 0);
  jit::jit_class_register(relief_class);
  quad = max::gensym("quad");
}

}  // namespace

}  // namespace relief

__attribute__((visibility("default"))) int main() {
  using namespace relief;
  inner_name = max::gensym("jit_gl_scanrelief");
  matrixoutput = max::gensym("matrixoutput");
  setup_inner();
  max::setup(&wrapper_class, ko::handler<wrapper_new>(), ko::handler<wrapper_free>(), sizeof(Wrapper), nullptr,
             max::A_GIMME, 0);
  void* ex = jit::max_jit_classex_setup(offsetof(Wrapper, obex));
  jit::max_jit_classex_standard_wrap(ex, jit::jit_class_findbyname(inner_name), 0);
  max::addmess(max::as_method(&jit::max_jit_ob3d_assist), "assist", max::A_CANT, 0);
  KO_POST_BANNER(ko::Banner::H, "jit.gl.scanrelief", 0);
  jit::max_ob3d_setup();
  return 0;
}
