// The relief's buffers, heights from a matrix, and the vertex matrix filled from the
// buffers (normals and texture coordinates: normals.cpp). Every index is computed in 64
// bits and kept below the buffers' capacity, whatever "dim" says; a buffer that could not
// be allocated is skipped, and what it would have given reads as zero.
#include <cstring>
#include <limits>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "frame/maxapi.h"
#include "objects/jit.gl.scanrelief/relief.h"

namespace relief {

namespace {

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

namespace {

// A row of heights: (value * zscale) * 0.00392157 in double, kept as a float.
using HeightKernel = void (*)(const unsigned char* row, float* out, std::int64_t n, double scale);

void heights_plain(const unsigned char* row, float* out, std::int64_t n, double scale) {
  for (std::int64_t j = 0; j < n; ++j) out[j] = static_cast<float>(row[j] * scale * 0.00392157);
}

#if defined(__x86_64__) || defined(__i386__)
// The same double operations, eight cells at a time.
__attribute__((target("avx"))) void heights_avx(const unsigned char* row, float* out, std::int64_t n, double scale) {
  const __m256d s = _mm256_set1_pd(scale), k = _mm256_set1_pd(0.00392157);
  const __m128i zero = _mm_setzero_si128();
  std::int64_t j = 0;
  for (; j + 8 <= n; j += 8) {
    const __m128i w = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + j)), zero);
    const __m256d v0 = _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm_unpacklo_epi16(w, zero)), s), k);
    const __m256d v1 = _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm_unpackhi_epi16(w, zero)), s), k);
    _mm_storeu_ps(out + j, _mm256_cvtpd_ps(v0));
    _mm_storeu_ps(out + j + 4, _mm256_cvtpd_ps(v1));
  }
  heights_plain(row + j, out + j, n - j, scale);
}
#endif

HeightKernel height_kernel() {
#if defined(__x86_64__) || defined(__i386__)
  if (lanes() == 8) return heights_avx;
#endif
  return heights_plain;
}

}  // namespace

void read_heights(Relief* x, const jit::MatrixInfo& info, const unsigned char* data) {
  if (!x->posit || !data || info.dimcount < 1) return;
  // At most as many rows as columns are read, and of a matrix of three or more dimensions
  // only the last slice: every slice writes from the start of posit.
  const std::int64_t cols = info.dim[0];
  const std::int64_t rows = info.dimcount >= 2 ? min64(info.dim[1], cols) : 1;
  if (cols < 1 || rows < 1 || cols * rows > x->capacity) return;
  const unsigned char* base = data;
  for (int d = 2; d < info.dimcount && d < jit::kMaxDims; ++d) base += (min64(info.dim[d], cols) - 1) * info.dimstride[d];
  const double scale = x->zscale;
  const HeightKernel heights = height_kernel();
  for (std::int64_t i = 0; i < rows; ++i) heights(base + i * info.dimstride[1], x->posit + i * cols, cols, scale);
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
