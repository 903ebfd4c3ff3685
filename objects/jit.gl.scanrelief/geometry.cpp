// The relief's geometry: the four buffers, heights from a matrix, face and vertex normals,
// texture coordinates, and the vertex matrix filled from them. Every index is computed in
// 64 bits and kept below the buffers' capacity, whatever "dim" says; a buffer that could
// not be allocated is skipped, and what it would have given reads as zero.
#include <cstring>
#include <limits>
#include <utility>

#include "frame/maxapi.h"
#include "objects/jit.gl.scanrelief/relief.h"

namespace relief {

namespace {

struct Vec {
  float x, y, z;
};

Vec sub(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vec cross(const Vec& u, const Vec& v) {
  return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

// Length from the layer's square root in double, rounded to float; then each component
// times its inverse.
Vec normalise(const Vec& v) {
  const auto l = static_cast<float>(jit::jit_math_sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
  const float inv = 1.0f / l;
  return {v.x * inv, v.y * inv, v.z * inv};
}

void store(float* p, const Vec& v) {
  p[0] = v.x;
  p[1] = v.y;
  p[2] = v.z;
}

Vec load(const float* p) { return {p[0], p[1], p[2]}; }

std::int64_t min64(std::int64_t a, std::int64_t b) { return a < b ? a : b; }

struct Buffer {
  float* Relief::*field;
  std::int64_t per_vertex;  // floats
  const char* name;
};

constexpr Buffer kBuffers[] = {
    {&Relief::posit, 1, "posit"},
    {&Relief::vertnorms, 3, "vertnorms"},
    {&Relief::texcoords, 2, "texcoords"},
    {&Relief::facenorms, 6, "facenorms"},
};

void post_allocated(const Buffer& b, long a, long c) {
  const long f = static_cast<long>(sizeof(float));
  if (b.field == &Relief::posit)
    max::post("alloced posit %ld * %ld * %ld (sizeof(float)) = %ld bytes", a, c, f, a * c * f);
  else if (b.field == &Relief::vertnorms)
    max::post("alloced vertnorms %ld * %ld * %ld * 3 *(sizeof(float)) = %ld bytes", a, c, f, a * c * f * 3);
  else if (b.field == &Relief::facenorms)
    max::post("alloced facenorms 2*  %ld * %ld * %ld * 3 *(sizeof(float)) = %ld bytes", a, c, f, a * c * f * 6);
}

}  // namespace

void allocate_buffers(Relief* x, bool lines) {
  const std::int64_t a = x->maxdim[0], b = x->maxdim[1];
  x->capacity = a * b;
  for (const Buffer& buf : kBuffers) {
    float*& p = x->*buf.field;
    if (p) {
      max::sysmem_freeptr(p);
      p = nullptr;
      if (lines) max::post("just free 'd %s", buf.name);
    }
    // At most 65535 * 65535 * 24 bytes: 64 bits hold it, the allocator's size may not.
    const std::int64_t bytes = a * b * buf.per_vertex * static_cast<std::int64_t>(sizeof(float));
    if (bytes <= std::numeric_limits<std::int32_t>::max())
      p = static_cast<float*>(max::sysmem_newptrclear(static_cast<std::int32_t>(bytes)));
    if (!p)
      max::error("couldn't build x->%s", buf.name);
    else if (lines)
      post_allocated(buf, static_cast<long>(a), static_cast<long>(b));
  }
  if (lines) max::post("igniting alloced memory");
}

void free_buffers(Relief* x) {
  const std::pair<float* Relief::*, const char*> order[] = {{&Relief::facenorms, "facenorms"},
                                                           {&Relief::texcoords, "texcoords"},
                                                           {&Relief::vertnorms, "vertnormz"},
                                                           {&Relief::posit, "posit"}};
  for (const auto& [field, name] : order) {
    if (!(x->*field)) continue;
    max::sysmem_freeptr(x->*field);
    x->*field = nullptr;
    max::post("just free 'd %s", name);
  }
}

void read_heights(Relief* x, const jit::MatrixInfo& info, const unsigned char* data) {
  if (!x->posit || !data || info.dimcount < 1) return;
  // At most as many rows as columns are read, and of a matrix of three or more dimensions
  // only the last slice: every slice writes from the start of posit.
  std::int64_t n[jit::kMaxDims];
  for (int d = 0; d < info.dimcount && d < jit::kMaxDims; ++d) n[d] = min64(info.dim[d], info.dim[0]);
  const std::int64_t cols = n[0];
  const std::int64_t rows = info.dimcount >= 2 ? n[1] : 1;
  if (cols < 1 || rows < 1 || cols * rows > x->capacity) return;
  const unsigned char* base = data;
  for (int d = 2; d < info.dimcount && d < jit::kMaxDims; ++d) base += (n[d] - 1) * info.dimstride[d];
  // A cell's height depends only on its value: one table per matrix.
  const double scale = x->zscale;
  float height[256];
  for (int v = 0; v < 256; ++v) height[v] = static_cast<float>(v * scale * 0.00392157);
  for (std::int64_t i = 0; i < rows; ++i) {
    const unsigned char* row = base + i * info.dimstride[1];
    float* out = x->posit + i * cols;
    for (std::int64_t j = 0; j < cols; ++j) out[j] = height[row[j]];
  }
}

namespace {

// Two triangles per cell (i, j), split along the diagonal from A to P.
void face_normals(Relief* x, std::int64_t C, std::int64_t R) {
  const float* h = x->posit;
  float* out = x->facenorms;
  const std::int64_t cap = x->capacity;
  for (std::int64_t i = 0; i <= C - 3; ++i) {
    // The last point a cell reads is (i + 1, j + 1); stop where it leaves the buffers.
    const std::int64_t first_q = (i + 1) * R + 1;
    if (first_q >= cap) return;
    const std::int64_t jmax = min64(R - 3, cap - 1 - first_q);
    const auto fi = static_cast<float>(i);
    for (std::int64_t j = 0; j <= jmax; ++j) {
      const std::int64_t k = i * R + j;
      const auto fj = static_cast<float>(j);
      const Vec B{fi, fj, h[k]};
      const Vec A{fi, fj + 1.0f, h[k + 1]};
      const Vec P{fi + 1.0f, fj, h[k + R]};
      const Vec Q{fi + 1.0f, fj + 1.0f, h[k + R + 1]};
      const Vec AP = sub(A, P);
      store(out + 6 * k, normalise(cross(sub(A, B), AP)));
      store(out + 6 * k + 3, normalise(cross(AP, sub(A, Q))));
    }
  }
}

// The sum of the normals of the triangles that touch each point.
void vertex_normals(Relief* x, std::int64_t C, std::int64_t R) {
  const float* f = x->facenorms;
  float* out = x->vertnorms;
  const std::int64_t cap = x->capacity;
  for (std::int64_t i = 0; i <= C - 2; ++i) {
    if (i * R >= cap) return;
    const std::int64_t jmax = min64(R - 2, cap - 1 - i * R);
    for (std::int64_t j = 0; j <= jmax; ++j) {
      const std::int64_t k = i * R + j;
      Vec n{0.0f, 0.0f, 0.0f};
      bool any = false;
      auto add = [&](std::int64_t cell, int which) {
        const Vec v = load(f + 6 * cell + 3 * which);
        n = {n.x + v.x, n.y + v.y, n.z + v.z};
        any = true;
      };
      if (j <= R - 3 && i <= C - 3) add(k, 0);
      if (j <= R - 3 && i >= 1) add(k - R, 0), add(k - R, 1);
      if (j >= 1 && i <= C - 3) add(k - 1, 0), add(k - 1, 1);
      if (j >= 1 && i >= 1) add(k - R - 1, 1);
      // A grid of two columns or rows has no cells, and faces never computed are zero:
      // such a point faces straight up.
      const bool none = !any || (n.x == 0.0f && n.y == 0.0f && n.z == 0.0f);
      store(out + 3 * k, none ? Vec{0.0f, 0.0f, 1.0f} : normalise(n));
    }
  }
}

void texture_coordinates(Relief* x, std::int64_t C, std::int64_t R) {
  float* out = x->texcoords;
  const std::int64_t cap = x->capacity;
  // With nothing to divide by, a coordinate is 0.
  const auto cs = static_cast<float>(C - 2), rs = static_cast<float>(R - 2);
  for (std::int64_t i = 0; i <= C - 2; ++i) {
    if (i * C >= cap) return;
    const float t = R - 2 != 0 ? static_cast<float>(i) / rs : 0.0f;
    const std::int64_t jmax = min64(R - 2, cap - 1 - i * C);
    for (std::int64_t j = 0; j <= jmax; ++j) {
      float* p = out + 2 * (i * C + j);
      p[0] = C - 2 != 0 ? static_cast<float>(j) / cs : 0.0f;
      p[1] = t;
    }
  }
}

}  // namespace

void derive(Relief* x) {
  const std::int64_t C = x->dim[0], R = x->dim[1];
  if (x->posit && x->facenorms) face_normals(x, C, R);
  if (x->facenorms && x->vertnorms) vertex_normals(x, C, R);
  if (x->texcoords) texture_coordinates(x, C, R);
}

namespace {

struct Grid {
  jit::MatrixInfo info;
  char* data = nullptr;
  std::int64_t cols = 0, rows = 0;
};

// The vertex matrix, when it holds float vertices.
bool grid_of(void* matrix, Grid& g) {
  if (!matrix) return false;
  jit::jit_object_method(matrix, jit::_jit_sym_getinfo, &g.info);
  jit::jit_object_method(matrix, jit::_jit_sym_getdata, &g.data);
  if (!g.data || g.info.type != jit::_jit_sym_float32 || g.info.planecount < 1 || g.info.dimcount < 1) return false;
  g.cols = g.info.dim[0];
  g.rows = g.info.dimcount > 1 ? g.info.dim[1] : 1;
  return true;
}

// The object's colour; (1, 1, 1, 1) unless "getcolor" gives exactly four values.
void colour_of(Relief* x, float out[4]) {
  static max::Symbol* const getcolor = max::gensym("getcolor");
  for (int i = 0; i < 4; ++i) out[i] = 1.0f;
  std::int32_t n = 0;
  max::Atom* av = nullptr;
  jit::jit_object_method(x, getcolor, &n, &av);
  if (n == 4 && av)
    for (int i = 0; i < 4; ++i) out[i] = static_cast<float>(jit::jit_atom_getfloat(&av[i]));
  if (av) jit::jit_freebytes(av, static_cast<std::int64_t>(n > 0 ? n : 0) * static_cast<std::int64_t>(sizeof(max::Atom)));
}

float at(const float* buf, std::int64_t k, std::int64_t cap, std::int64_t stride, int i) {
  return buf && k < cap ? buf[k * stride + i] : 0.0f;
}

}  // namespace

void fill_vertices(Relief* x, void* matrix) {
  Grid g;
  if (!grid_of(matrix, g)) return;
  float colour[4];
  colour_of(x, colour);
  const double xstep = g.cols > 1 ? 2.0 / static_cast<double>(g.cols - 1) : 0.0;
  const double ystep = g.rows > 1 ? 2.0 / static_cast<double>(g.rows - 1) : 0.0;
  const std::size_t planes = g.info.planecount < 12 ? static_cast<std::size_t>(g.info.planecount) : 12;
  const std::int64_t cap = x->capacity;
  for (std::int64_t r = 0; r < g.rows; ++r) {
    char* row = g.data + r * g.info.dimstride[1];
    const auto y = static_cast<float>(static_cast<double>(r) * ystep - 1.0);
    for (std::int64_t c = 0; c < g.cols; ++c) {
      const std::int64_t k = r * g.cols + c;
      const float v[12] = {static_cast<float>(1.0 - static_cast<double>(c) * xstep),
                           y,
                           at(x->posit, k, cap, 1, 0),
                           at(x->texcoords, k, cap, 2, 0),
                           at(x->texcoords, k, cap, 2, 1),
                           at(x->vertnorms, k, cap, 3, 0),
                           at(x->vertnorms, k, cap, 3, 1),
                           at(x->vertnorms, k, cap, 3, 2),
                           colour[0],
                           colour[1],
                           colour[2],
                           colour[3]};
      std::memcpy(row + c * g.info.dimstride[0], v, planes * sizeof(float));
    }
  }
}

void update_colour(Relief* x, void* matrix) {
  Grid g;
  if (!grid_of(matrix, g) || g.info.planecount < 12) return;
  float colour[4];
  colour_of(x, colour);
  if (g.rows < 1 || g.cols < 1) return;
  float first[4];
  std::memcpy(first, g.data + 8 * sizeof(float), sizeof first);
  if (first[0] == colour[0] && first[1] == colour[1] && first[2] == colour[2] && first[3] == colour[3]) return;
  for (std::int64_t r = 0; r < g.rows; ++r) {
    char* row = g.data + r * g.info.dimstride[1];
    for (std::int64_t c = 0; c < g.cols; ++c)
      std::memcpy(row + c * g.info.dimstride[0] + 8 * sizeof(float), colour, sizeof colour);
  }
}

}  // namespace relief
