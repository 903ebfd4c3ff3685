// The drawing layer: the drawing record each drawing object keeps, its attributes, the
// list of objects attached to drawing, geometry chunks and how a chunk is drawn or sent
// out as a matrix.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "host/jit/glcontext.h"
#include "host/jit/layer.h"

namespace jit {

namespace {

std::vector<Ob3d*>& attached_list() {
  static auto* v = new std::vector<Ob3d*>;
  return *v;
}
std::unordered_set<const Ob3d*>& live_records() {
  static auto* s = new std::unordered_set<const Ob3d*>;
  return *s;
}
std::unordered_set<const GlChunk*>& live_chunks() {
  static auto* s = new std::unordered_set<const GlChunk*>;
  return *s;
}

struct Ob3dAttr {
  const char* name;
  max::Symbol* type;
  std::int32_t count;
  std::size_t offset;
};

void add_ob3d_attr(Class* c, const Ob3dAttr& d) {
  void* attr = d.count == 1 ? jit_object_new(_jit_sym_jit_attr_offset, d.name, d.type, 0, nullptr, nullptr, d.offset)
                            : jit_object_new(_jit_sym_jit_attr_offset_array, d.name, d.type, d.count, 0, nullptr,
                                             nullptr, 0, d.offset);
  if (!attr) return;
  reinterpret_cast<Attribute*>(attr)->in_ob3d = true;
  jit_class_addattr(c, attr);
}

void detach(Ob3d* o) {
  auto& v = attached_list();
  v.erase(std::remove(v.begin(), v.end(), o), v.end());
  o->attached = false;
  o->wrapper = nullptr;
  o->matrix_out = nullptr;
}

}  // namespace

jit_err jit_ob3d_setup(Class* c, std::size_t ob3d_offset, std::int32_t flags) {
  if (!c || ob3d_offset < sizeof(Object) || ob3d_offset + sizeof(void*) > c->size) return kErrInvalidObject;
  c->ob3d = true;
  c->ob3d_offset = ob3d_offset;
  c->ob3d_flags = flags;
  max::Symbol* const l = _jit_sym_long;
  max::Symbol* const f = _jit_sym_float32;
  const Ob3dAttr attrs[] = {
      {"enable", l, 1, offsetof(Ob3d, enable)},
      {"color", f, 4, offsetof(Ob3d, color)},
      {"matrixoutput", l, 1, offsetof(Ob3d, matrixoutput)},
      {"position", f, 3, offsetof(Ob3d, position)},
      {"rotatexyz", f, 3, offsetof(Ob3d, rotatexyz)},
      {"scale", f, 3, offsetof(Ob3d, scale)},
      {"line_width", f, 1, offsetof(Ob3d, line_width)},
      {"point_size", f, 1, offsetof(Ob3d, point_size)},
      {"lighting_enable", l, 1, offsetof(Ob3d, lighting_enable)},
      {"depth_enable", l, 1, offsetof(Ob3d, depth_enable)},
      {"blend_enable", l, 1, offsetof(Ob3d, blend_enable)},
      {"poly_mode", l, 2, offsetof(Ob3d, poly_mode)},
      {"drawto", _jit_sym_symbol, 1, offsetof(Ob3d, drawto)},
  };
  for (const Ob3dAttr& a : attrs) {
    if ((flags & kOb3dNoMatrixOutput) && std::strcmp(a.name, "matrixoutput") == 0) continue;
    add_ob3d_attr(c, a);
  }
  return kOk;
}

Ob3d* ob3d_of(void* x) {
  Class* c = class_of(x);
  if (!c || !c->ob3d) return nullptr;
  Ob3d* o = nullptr;
  std::memcpy(&o, static_cast<char*>(x) + c->ob3d_offset, sizeof o);
  return live_records().count(o) ? o : nullptr;
}

void* jit_ob3d_new(void* x, max::Symbol* dest) {
  Class* c = class_of(x);
  if (!c || !c->ob3d) return nullptr;
  if (Ob3d* old = ob3d_of(x)) return old;
  auto* o = new Ob3d{};
  o->enable = 1;
  for (float& v : o->color) v = 1.0f;
  for (float& v : o->scale) v = 1.0f;
  o->line_width = 1.0f;
  o->point_size = 1.0f;
  o->lighting_enable = 1;
  o->depth_enable = 1;
  o->drawto = dest ? dest : _jit_sym_nothing;
  o->owner = x;
  live_records().insert(o);
  std::memcpy(static_cast<char*>(x) + c->ob3d_offset, &o, sizeof o);
  return o;
}

void jit_ob3d_free(void* x) {
  Ob3d* o = ob3d_of(x);
  if (!o) return;
  detach(o);
  live_records().erase(o);
  delete o;
  Ob3d* none = nullptr;
  std::memcpy(static_cast<char*>(x) + class_of(x)->ob3d_offset, &none, sizeof none);
}

jit_err jit_ob3d_set_context(void* x) {
  (void)x;
  // Never makes a context: without one there is nothing of the object's to release.
  if (!kohost::gl::exists()) return kErrGeneric;
  return kohost::gl::make_current(nullptr) ? kOk : kErrGeneric;
}

const std::vector<Ob3d*>& attached() { return attached_list(); }

Ob3d* attached_for(const max::Object* wrapper) {
  for (Ob3d* o : attached_list())
    if (o->wrapper == wrapper) return o;
  return nullptr;
}

bool still_attached(const Ob3d* o) {
  const auto& v = attached_list();
  return std::find(v.begin(), v.end(), o) != v.end();
}

jit_err max_jit_ob3d_attach(void* x, void* inner, max::Outlet* matrix_outlet) {
  Ob3d* o = ob3d_of(inner);
  if (!x || !o) return kErrInvalidObject;
  if (Ob3d* other = attached_for(static_cast<max::Object*>(x)); other && other != o) detach(other);
  o->wrapper = static_cast<max::Object*>(x);
  o->matrix_out = matrix_outlet;
  if (!o->attached) attached_list().push_back(o);
  o->attached = true;
  return kOk;
}

jit_err max_jit_ob3d_detach(void* x) {
  if (Ob3d* o = attached_for(static_cast<max::Object*>(x))) detach(o);
  return kOk;
}

GlChunk* jit_glchunk_grid_new(max::Symbol* prim, std::int32_t planes, std::int32_t width, std::int32_t height) {
  MatrixInfo info{};
  info.type = _jit_sym_float32;
  info.planecount = planes;
  info.dimcount = 2;
  info.dim[0] = width;
  info.dim[1] = height;
  void* m = jit_object_new(_jit_sym_jit_matrix, &info);
  if (!m) return nullptr;
  jit_object_register(m, nullptr);
  auto* chunk = new GlChunk{prim ? prim : _jit_sym_gl_quad_grid, m, jit_object_name(m), nullptr};
  live_chunks().insert(chunk);
  return chunk;
}

void jit_glchunk_delete(GlChunk* chunk) {
  if (!chunk || !live_chunks().count(chunk)) return;
  live_chunks().erase(chunk);
  jit_object_free(chunk->vertex);
  delete chunk;
}

namespace {

// Row pairs of a grid as strips: vertex, texture coordinate, normal and colour planes as
// many as the matrix has.
void draw_grid(const Matrix* m, max::Symbol* prim) {
  const kohost::gl::Fns& f = kohost::gl::fns();
  const MatrixInfo& in = m->info;
  if (!m->data || in.type != _jit_sym_float32 || in.planecount < 3) return;
  const std::int64_t cols = in.dim[0];
  const std::int64_t rows = in.dimcount > 1 ? in.dim[1] : 1;
  const int p = in.planecount;
  const GLenum mode = prim == _jit_sym_gl_tri_grid ? GL_TRIANGLE_STRIP : GL_QUAD_STRIP;
  auto vertex = [&](std::int64_t r, std::int64_t c) {
    const auto* v = reinterpret_cast<const float*>(m->data + r * in.dimstride[1] + c * in.dimstride[0]);
    if (p >= 12) f.glColor4f(v[8], v[9], v[10], v[11]);
    if (p >= 8) f.glNormal3f(v[5], v[6], v[7]);
    if (p >= 5) f.glTexCoord2f(v[3], v[4]);
    f.glVertex3f(v[0], v[1], v[2]);
  };
  for (std::int64_t r = 0; r + 1 < rows; ++r) {
    f.glBegin(mode);
    for (std::int64_t c = 0; c < cols; ++c) {
      vertex(r, c);
      vertex(r + 1, c);
    }
    f.glEnd();
  }
}

}  // namespace

jit_err jit_ob3d_draw_chunk(void* ob3d, GlChunk* chunk) {
  auto* o = static_cast<Ob3d*>(ob3d);
  if (!o || !live_records().count(o)) return kErrInvalidObject;
  if (!chunk || !live_chunks().count(chunk) || !is_matrix(chunk->vertex)) return kErrInvalidObject;
  Class* c = class_of(o->owner);
  const bool has_output = c && !(c->ob3d_flags & kOb3dNoMatrixOutput);
  if (has_output && o->matrixoutput) {
    if (o->matrix_out) {
      max::Atom name{};
      name.a_type = max::A_SYM;
      name.a_w.w_sym = jit_object_name(chunk->vertex);
      max::outlet_anything(o->matrix_out, _jit_sym_jit_matrix, 1, &name);
    }
    return kOk;
  }
  if (!kohost::gl::exists()) return kErrGeneric;
  draw_grid(static_cast<const Matrix*>(chunk->vertex), chunk->prim);
  return kOk;
}

}  // namespace jit
