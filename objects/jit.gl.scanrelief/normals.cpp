// Face normals, vertex normals and texture coordinates of the relief grid.
//
// Cell (i, j) of a C x R grid, with the grid indices as x and y and the heights
// h(i, j) = posit[i * R + j] as z, has the corners B = (i, j), A = (i, j + 1),
// P = (i + 1, j), Q = (i + 1, j + 1) and is split along A-P into two triangles with the
// normals N1 = (A - B) x (A - P) and N2 = (A - P) x (A - Q), normalised. With
// a = hA - hB, b = hA - hP, c = hA - hQ those are (b - a, -a - 0b, 1) and
// (c - 0b, c - b, 1): the products with the corners' 0 and 1 steps are exact, and 0b
// keeps the cross product's sign of a zero (and its NaN for an infinite b), so this is
// the cross product to the last bit. A vertex normal is the normalised sum, from zero
// and in a fixed order, of the normals of the triangles that touch the point; a sum of
// nothing, or of zeros only (squares too large for a float), faces straight up. Lengths
// are float square roots, the same as the square root in double rounded to float.
//
// Where the grid fits the buffers, the normals go in blocks of columns so that two rows of
// face normals stay at hand, eight at a time with AVX where the processor has it, else
// four with SSE. Every lane does the plain code's float operations in the same order, so
// the results are the same to the bit; the plain code does the edges and any grid beyond
// the buffers, stopping at them.
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "objects/jit.gl.scanrelief/relief.h"

namespace relief {

namespace {

std::int64_t min64(std::int64_t a, std::int64_t b) { return a < b ? a : b; }
std::int64_t max64(std::int64_t a, std::int64_t b) { return a > b ? a : b; }

struct Face {
  float x1, y1, z1, x2, y2, z2;
};

Face face(float hB, float hA, float hP, float hQ) {
  const float a = hA - hB, b = hA - hP, c = hA - hQ;
  const float zb = 0.0f * b;
  const float x1 = b - a, y1 = a * -1.0f - zb, x2 = c - zb, y2 = c - b;
  const float inv1 = 1.0f / std::sqrt(x1 * x1 + y1 * y1 + 1.0f);
  const float inv2 = 1.0f / std::sqrt(x2 * x2 + y2 * y2 + 1.0f);
  return {x1 * inv1, y1 * inv1, inv1, x2 * inv2, y2 * inv2, inv2};
}

void store_face(float* p, const Face& f) {
  p[0] = f.x1, p[1] = f.y1, p[2] = f.z1, p[3] = f.x2, p[4] = f.y2, p[5] = f.z2;
}

struct Sum {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  void add(const float* v) { x = x + v[0], y = y + v[1], z = z + v[2]; }
};

// The normalised sum; nothing to sum (or only zeros) faces straight up.
void store_normal(float* p, const Sum& n) {
  if (n.x == 0.0f && n.y == 0.0f && n.z == 0.0f) {
    p[0] = 0.0f, p[1] = 0.0f, p[2] = 1.0f;
    return;
  }
  const float inv = 1.0f / std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  p[0] = n.x * inv, p[1] = n.y * inv, p[2] = n.z * inv;
}

// One point's vertex normal from the face normals in f.
void vertex_normal(const float* f, float* out, std::int64_t C, std::int64_t R, std::int64_t i, std::int64_t j) {
  const std::int64_t k = i * R + j;
  Sum n;
  if (j <= R - 3 && i <= C - 3) n.add(f + 6 * k);
  if (j <= R - 3 && i >= 1) n.add(f + 6 * (k - R)), n.add(f + 6 * (k - R) + 3);
  if (j >= 1 && i <= C - 3) n.add(f + 6 * (k - 1)), n.add(f + 6 * (k - 1) + 3);
  if (j >= 1 && i >= 1) n.add(f + 6 * (k - R - 1) + 3);
  store_normal(out + 3 * k, n);
}

// Any grid: every cell and point whose indices stay inside the buffers.
void face_normals_bounded(Relief* x, std::int64_t C, std::int64_t R) {
  const float* h = x->posit;
  const std::int64_t cap = x->capacity;
  for (std::int64_t i = 0; i <= C - 3; ++i) {
    // The last point a cell reads is (i + 1, j + 1); stop where it leaves the buffers.
    const std::int64_t first_q = (i + 1) * R + 1;
    if (first_q >= cap) return;
    const std::int64_t jmax = min64(R - 3, cap - 1 - first_q);
    for (std::int64_t j = 0; j <= jmax; ++j) {
      const std::int64_t k = i * R + j;
      store_face(x->facenorms + 6 * k, face(h[k], h[k + 1], h[k + R], h[k + R + 1]));
    }
  }
}

void vertex_normals_bounded(Relief* x, std::int64_t C, std::int64_t R) {
  const std::int64_t cap = x->capacity;
  for (std::int64_t i = 0; i <= C - 2; ++i) {
    if (i * R >= cap) return;
    const std::int64_t jmax = min64(R - 2, cap - 1 - i * R);
    for (std::int64_t j = 0; j <= jmax; ++j) vertex_normal(x->facenorms, x->vertnorms, C, R, i, j);
  }
}

// Blocks of columns: two rows of face normals by component (index j - lo for cell j).
constexpr std::int64_t kBlock = 64;

struct FaceRow {
  alignas(32) float c[6][kBlock + 8];  // x1, y1, z1, x2, y2, z2
};

// Cell j of a row: its face normals into the row and the buffer (out: the row's first cell).
void face_into(FaceRow& row, std::int64_t lo, const float* hr, const float* hn, float* out, std::int64_t j) {
  const Face f = face(hr[j], hr[j + 1], hn[j], hn[j + 1]);
  const std::int64_t at = j - lo;
  row.c[0][at] = f.x1, row.c[1][at] = f.y1, row.c[2][at] = f.z1;
  row.c[3][at] = f.x2, row.c[4][at] = f.y2, row.c[5][at] = f.z2;
  store_face(out + 6 * j, f);
}

// Inner point j of a row: the six triangles N1 of cell (i, j), N1 and N2 of (i - 1, j), N1
// and N2 of (i, j - 1), N2 of (i - 1, j - 1), summed from zero in that order.
void normal_into(const FaceRow& cur, const FaceRow& prev, std::int64_t lo, float* out, std::int64_t j) {
  const std::int64_t at = j - lo;
  float n[3];
  for (int q = 0; q < 3; ++q)
    n[q] = 0.0f + cur.c[q][at] + prev.c[q][at] + prev.c[q + 3][at] + cur.c[q][at - 1] + cur.c[q + 3][at - 1] +
           prev.c[q + 3][at - 1];
  store_normal(out + 3 * j, Sum{n[0], n[1], n[2]});
}

// Face normals of cells [lo, end) of row i (heights hr of row i, hn of row i + 1).
using FaceKernel = void (*)(const float* hr, const float* hn, std::int64_t lo, std::int64_t end, FaceRow& row,
                            float* out);
// Vertex normals of the inner points [first, end) of row i, from its face rows.
using NormalKernel = void (*)(const FaceRow& cur, const FaceRow& prev, std::int64_t lo, std::int64_t first,
                              std::int64_t end, float* out);

void faces_plain(const float* hr, const float* hn, std::int64_t lo, std::int64_t end, FaceRow& row, float* out) {
  for (std::int64_t j = lo; j < end; ++j) face_into(row, lo, hr, hn, out, j);
}

void normals_plain(const FaceRow& cur, const FaceRow& prev, std::int64_t lo, std::int64_t first, std::int64_t end,
                   float* out) {
  for (std::int64_t j = first; j < end; ++j) normal_into(cur, prev, lo, out, j);
}

#if defined(__SSE2__)

// Four cells' face normals (by component) as six floats each: x1 y1 z1 x2, then y2 z2.
inline void faces4_out(float* p, __m128 r0, __m128 r1, __m128 r2, __m128 r3, __m128 r4, __m128 r5) {
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  const __m128 lo2 = _mm_unpacklo_ps(r4, r5), hi2 = _mm_unpackhi_ps(r4, r5);
  _mm_storeu_ps(p, r0);
  _mm_storel_pi(reinterpret_cast<__m64*>(p + 4), lo2);
  _mm_storeu_ps(p + 6, r1);
  _mm_storeh_pi(reinterpret_cast<__m64*>(p + 10), lo2);
  _mm_storeu_ps(p + 12, r2);
  _mm_storel_pi(reinterpret_cast<__m64*>(p + 16), hi2);
  _mm_storeu_ps(p + 18, r3);
  _mm_storeh_pi(reinterpret_cast<__m64*>(p + 22), hi2);
}

// Four points' normals (by component) as three floats each.
inline void normals4_out(float* p, __m128 r0, __m128 r1, __m128 r2) {
  __m128 r3 = _mm_setzero_ps();
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  const __m128 v[4] = {r0, r1, r2, r3};
  for (int q = 0; q < 4; ++q) {
    _mm_storel_pi(reinterpret_cast<__m64*>(p + 3 * q), v[q]);
    _mm_store_ss(p + 3 * q + 2, _mm_movehl_ps(v[q], v[q]));
  }
}

// The same float operations lane by lane, N at a time. A row's last lanes overlap the
// ones before them rather than falling back to one at a time: lanes done twice give the
// same values.
#define KO_FACES(V, N, load, store, set1, zero, add, sub, mul, div, sqrt, out6)                         \
  if (end - lo < N) {                                                                                  \
    for (std::int64_t j = lo; j < end; ++j) face_into(row, lo, hr, hn, out, j);                        \
    return;                                                                                            \
  }                                                                                                    \
  const V one = set1(1.0f), minus_one = set1(-1.0f);                                                  \
  for (std::int64_t j = lo;; j += N) {                                                                 \
    if (j + N > end) j = end - N;                                                                      \
    const V hB = load(hr + j), hA = load(hr + j + 1), hP = load(hn + j), hQ = load(hn + j + 1);        \
    const V a = sub(hA, hB), b = sub(hA, hP), c = sub(hA, hQ), zb = mul(zero(), b);                    \
    const V x1 = sub(b, a), y1 = sub(mul(a, minus_one), zb), x2 = sub(c, zb), y2 = sub(c, b);          \
    const V inv1 = div(one, sqrt(add(add(mul(x1, x1), mul(y1, y1)), one)));                            \
    const V inv2 = div(one, sqrt(add(add(mul(x2, x2), mul(y2, y2)), one)));                            \
    const V r0 = mul(x1, inv1), r1 = mul(y1, inv1), r3 = mul(x2, inv2), r4 = mul(y2, inv2);            \
    const std::int64_t at = j - lo;                                                                    \
    store(&row.c[0][at], r0);                                                                          \
    store(&row.c[1][at], r1);                                                                          \
    store(&row.c[2][at], inv1);                                                                        \
    store(&row.c[3][at], r3);                                                                          \
    store(&row.c[4][at], r4);                                                                          \
    store(&row.c[5][at], inv2);                                                                        \
    out6(out + 6 * j, r0, r1, inv1, r3, r4, inv2);                                                     \
    if (j + N == end) break;                                                                           \
  }

#define KO_NORMALS(V, N, load, set1, zero, add, mul, div, sqrt, eq, and_, andnot, or_, out3)              \
  if (end - first < N) {                                                                               \
    for (std::int64_t j = first; j < end; ++j) normal_into(cur, prev, lo, out, j);                     \
    return;                                                                                            \
  }                                                                                                    \
  for (std::int64_t j = first;; j += N) {                                                              \
    if (j + N > end) j = end - N;                                                                      \
    const std::int64_t at = j - lo;                                                                    \
    V n[3];                                                                                            \
    for (int q = 0; q < 3; ++q) {                                                                      \
      V s = add(zero(), load(&cur.c[q][at]));                                                          \
      s = add(s, load(&prev.c[q][at]));                                                                \
      s = add(s, load(&prev.c[q + 3][at]));                                                            \
      s = add(s, load(&cur.c[q][at - 1]));                                                             \
      s = add(s, load(&cur.c[q + 3][at - 1]));                                                         \
      n[q] = add(s, load(&prev.c[q + 3][at - 1]));                                                     \
    }                                                                                                  \
    const V inv = div(set1(1.0f), sqrt(add(add(mul(n[0], n[0]), mul(n[1], n[1])), mul(n[2], n[2])))); \
    /* a sum of zeros faces straight up, as in store_normal */                                         \
    const V up = and_(and_(eq(n[0], zero()), eq(n[1], zero())), eq(n[2], zero()));                    \
    out3(out + 3 * j, andnot(up, mul(n[0], inv)), andnot(up, mul(n[1], inv)),                          \
         or_(and_(up, set1(1.0f)), andnot(up, mul(n[2], inv))));                                       \
    if (j + N == end) break;                                                                           \
  }

void faces_sse(const float* hr, const float* hn, std::int64_t lo, std::int64_t end, FaceRow& row, float* out) {
  KO_FACES(__m128, 4, _mm_loadu_ps, _mm_storeu_ps, _mm_set1_ps, _mm_setzero_ps, _mm_add_ps, _mm_sub_ps, _mm_mul_ps,
           _mm_div_ps, _mm_sqrt_ps, faces4_out)
}

void normals_sse(const FaceRow& cur, const FaceRow& prev, std::int64_t lo, std::int64_t first, std::int64_t end,
                 float* out) {
  KO_NORMALS(__m128, 4, _mm_loadu_ps, _mm_set1_ps, _mm_setzero_ps, _mm_add_ps, _mm_mul_ps, _mm_div_ps, _mm_sqrt_ps,
             _mm_cmpeq_ps, _mm_and_ps, _mm_andnot_ps, _mm_or_ps, normals4_out)
}

#if defined(__x86_64__) || defined(__i386__)
#define KO_HAVE_AVX 1

// Eight (x, y, z) triples given by component, as three floats each: the first four at lo,
// the last four at hi.
__attribute__((target("avx"))) inline void triples8_out(float* lo, float* hi, __m256 x, __m256 y, __m256 z) {
  const __m256 xy = _mm256_shuffle_ps(x, y, _MM_SHUFFLE(2, 0, 2, 0));  // x0 x2 y0 y2
  const __m256 yz = _mm256_shuffle_ps(y, z, _MM_SHUFFLE(3, 1, 3, 1));  // y1 y3 z1 z3
  const __m256 zx = _mm256_shuffle_ps(z, x, _MM_SHUFFLE(3, 1, 2, 0));  // z0 z2 x1 x3
  const __m256 r0 = _mm256_shuffle_ps(xy, zx, _MM_SHUFFLE(2, 0, 2, 0));  // x0 y0 z0 x1
  const __m256 r1 = _mm256_shuffle_ps(yz, xy, _MM_SHUFFLE(3, 1, 2, 0));  // y1 z1 x2 y2
  const __m256 r2 = _mm256_shuffle_ps(zx, yz, _MM_SHUFFLE(3, 1, 3, 1));  // z2 x3 y3 z3
  _mm_storeu_ps(lo, _mm256_castps256_ps128(r0));
  _mm_storeu_ps(lo + 4, _mm256_castps256_ps128(r1));
  _mm_storeu_ps(lo + 8, _mm256_castps256_ps128(r2));
  _mm_storeu_ps(hi, _mm256_extractf128_ps(r0, 1));
  _mm_storeu_ps(hi + 4, _mm256_extractf128_ps(r1, 1));
  _mm_storeu_ps(hi + 8, _mm256_extractf128_ps(r2, 1));
}

// Eight cells: N1 and N2 of each are two triples in a row. Interleaved within each half,
// the triples of cells 0, 1 | 4, 5 and of cells 2, 3 | 6, 7 come in order.
__attribute__((target("avx"))) inline void faces8_out(float* p, __m256 x1, __m256 y1, __m256 z1, __m256 x2,
                                                      __m256 y2, __m256 z2) {
  triples8_out(p, p + 24, _mm256_unpacklo_ps(x1, x2), _mm256_unpacklo_ps(y1, y2), _mm256_unpacklo_ps(z1, z2));
  triples8_out(p + 12, p + 36, _mm256_unpackhi_ps(x1, x2), _mm256_unpackhi_ps(y1, y2), _mm256_unpackhi_ps(z1, z2));
}

__attribute__((target("avx"))) inline __m256 equal8(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_EQ_OQ); }

__attribute__((target("avx"))) inline void normals8_out(float* p, __m256 x, __m256 y, __m256 z) {
  triples8_out(p, p + 12, x, y, z);
}

__attribute__((target("avx"))) void faces_avx(const float* hr, const float* hn, std::int64_t lo, std::int64_t end,
                                              FaceRow& row, float* out) {
  KO_FACES(__m256, 8, _mm256_loadu_ps, _mm256_storeu_ps, _mm256_set1_ps, _mm256_setzero_ps, _mm256_add_ps,
           _mm256_sub_ps, _mm256_mul_ps, _mm256_div_ps, _mm256_sqrt_ps, faces8_out)
}

__attribute__((target("avx"))) void normals_avx(const FaceRow& cur, const FaceRow& prev, std::int64_t lo,
                                                std::int64_t first, std::int64_t end, float* out) {
  KO_NORMALS(__m256, 8, _mm256_loadu_ps, _mm256_set1_ps, _mm256_setzero_ps, _mm256_add_ps, _mm256_mul_ps,
             _mm256_div_ps, _mm256_sqrt_ps, equal8, _mm256_and_ps, _mm256_andnot_ps, _mm256_or_ps, normals8_out)
}
#endif

#undef KO_FACES
#undef KO_NORMALS

#endif

struct Kernels {
  FaceKernel faces;
  NormalKernel normals;
};

int lanes_limit = 8;

bool cpu_has_avx() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool avx = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
  }();
  return avx;
#else
  return false;
#endif
}

Kernels kernels() {
#if defined(KO_HAVE_AVX)
  if (lanes() == 8) return Kernels{faces_avx, normals_avx};
#endif
#if defined(__SSE2__)
  if (lanes() == 4) return Kernels{faces_sse, normals_sse};
#endif
  return Kernels{faces_plain, normals_plain};
}

// A grid that fits the buffers, of at least 3 x 3 points.
void normals_in_blocks(Relief* x, std::int64_t C, std::int64_t R) {
  const Kernels k = kernels();
  const std::int64_t cells = R - 2;  // cells per row: j = 0 .. R - 3
  FaceRow rows[2];
  for (std::int64_t j0 = 0; j0 < cells; j0 += kBlock) {
    const std::int64_t end = min64(j0 + kBlock, cells);
    // The cell left of the block too: the block's first points need it.
    const std::int64_t lo = j0 > 0 ? j0 - 1 : 0;
    for (std::int64_t i = 0; i <= C - 3; ++i) {
      FaceRow& cur = rows[i & 1];
      k.faces(x->posit + i * R, x->posit + (i + 1) * R, lo, end, cur, x->facenorms + 6 * i * R);
      if (i >= 1) k.normals(cur, rows[(i - 1) & 1], lo, max64(j0, 1), end, x->vertnorms + 3 * i * R);
    }
  }
  // The points on the grid's edges have fewer triangles.
  const float* f = x->facenorms;
  for (std::int64_t j = 0; j <= R - 2; ++j) {
    vertex_normal(f, x->vertnorms, C, R, 0, j);
    vertex_normal(f, x->vertnorms, C, R, C - 2, j);
  }
  for (std::int64_t i = 1; i < C - 2; ++i) {
    vertex_normal(f, x->vertnorms, C, R, i, 0);
    vertex_normal(f, x->vertnorms, C, R, i, R - 2);
  }
}

void texture_coordinates(Relief* x, std::int64_t C, std::int64_t R) {
  float* out = x->texcoords;
  const std::int64_t cap = x->capacity;
  // With nothing to divide by, a coordinate is 0.
  const auto cs = static_cast<float>(C - 2), rs = static_cast<float>(R - 2);
  // s depends on the column only: worked out once for rows of up to kTable points.
  constexpr std::int64_t kTable = 1024;
  alignas(16) float table[kTable];
  const bool tabled = R - 1 <= kTable;
  [[maybe_unused]] const bool wide = lanes() >= 4;
  if (tabled)
    for (std::int64_t j = 0; j <= R - 2; ++j) table[j] = C - 2 != 0 ? static_cast<float>(j) / cs : 0.0f;
  for (std::int64_t i = 0; i <= C - 2; ++i) {
    if (i * C >= cap) return;
    const float t = R - 2 != 0 ? static_cast<float>(i) / rs : 0.0f;
    const std::int64_t jmax = min64(R - 2, cap - 1 - i * C);
    float* p = out + 2 * i * C;
    std::int64_t j = 0;
    if (tabled) {
#if defined(__SSE2__)
      const __m128 tt = _mm_set1_ps(t);
      for (; wide && j + 3 <= jmax; j += 4) {
        const __m128 s = _mm_load_ps(table + j);
        _mm_storeu_ps(p + 2 * j, _mm_unpacklo_ps(s, tt));
        _mm_storeu_ps(p + 2 * j + 4, _mm_unpackhi_ps(s, tt));
      }
#endif
      for (; j <= jmax; ++j) p[2 * j] = table[j], p[2 * j + 1] = t;
      continue;
    }
    for (; j <= jmax; ++j) {
      p[2 * j] = C - 2 != 0 ? static_cast<float>(j) / cs : 0.0f;
      p[2 * j + 1] = t;
    }
  }
}

}  // namespace

int lanes() {
  if (lanes_limit >= 8 && cpu_has_avx()) return 8;
#if defined(__SSE2__)
  if (lanes_limit >= 4) return 4;
#endif
  return 1;
}

void limit_lanes(int widest) { lanes_limit = widest; }

void derive(Relief* x) {
  const std::int64_t C = x->dim[0], R = x->dim[1];
  const bool faces = x->posit && x->facenorms;
  if (faces && x->vertnorms && C >= 3 && R >= 3 && C * R <= x->capacity) {
    normals_in_blocks(x, C, R);
  } else {
    if (faces) face_normals_bounded(x, C, R);
    if (x->facenorms && x->vertnorms) vertex_normals_bounded(x, C, R);
  }
  if (x->texcoords) texture_coordinates(x, C, R);
}

}  // namespace relief
