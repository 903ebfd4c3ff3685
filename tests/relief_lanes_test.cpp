// jit.gl.scanrelief's geometry passes at every lane width (eight cells at a time with AVX,
// four with SSE, one), each against the passes written out plainly here: heights from
// matrices of any shape, then face normals, vertex normals and texture coordinates of
// grids of odd sizes, one after another in the same buffers, of grids larger than the
// buffers, and of heights so large that their squares leave the floats. Results must be
// the same to the bit (a NaN matches any NaN), and nothing outside what a pass writes may
// change. The passes are built into this test, in buffers of exactly their capacity.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "objects/jit.gl.scanrelief/relief.h"

namespace {

using i64 = std::int64_t;

// The relief's buffers for cap vertices, and the passes written out plainly over copies.
struct Plain {
  explicit Plain(i64 cap) : cap(cap), posit(cap), vert(3 * cap), tex(2 * cap), face(6 * cap) {}
  i64 cap;
  std::vector<float> posit, vert, tex, face;

  struct V {
    float x, y, z;
  };
  static V sub(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
  static V cross(V u, V v) { return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x}; }
  // The length is the square root in double, rounded to a float.
  static V unit(V v) {
    const auto l = static_cast<float>(std::sqrt(static_cast<double>(v.x * v.x + v.y * v.y + v.z * v.z)));
    return {v.x * (1 / l), v.y * (1 / l), v.z * (1 / l)};
  }

  // D dimensions of sizes n (each at most dimension 0), one byte per cell.
  void heights(int D, const i64* n, const i64* stride, const unsigned char* data, float zscale) {
    if (D < 1) return;
    if (D >= 3) {
      for (i64 m = 0; m < n[D - 1]; ++m) heights(D - 1, n, stride, data + m * stride[D - 1], zscale);
      return;
    }
    const i64 rows = D == 1 ? 1 : n[1];
    for (i64 i = 0; i < rows; ++i)
      for (i64 j = 0; j < n[0]; ++j)
        posit[i * n[0] + j] = static_cast<float>(data[i * stride[1] + j] * static_cast<double>(zscale) * 0.00392157);
  }

  // A cell, point or coordinate whose entries would lie outside the buffers is left.
  void derive(i64 C, i64 R) {
    auto h = [&](i64 i, i64 j) { return posit[i * R + j]; };
    for (i64 i = 0; i <= C - 3; ++i)
      for (i64 j = 0; j <= R - 3; ++j) {
        if ((i + 1) * R + j + 1 >= cap) continue;
        const float fi = static_cast<float>(i), fj = static_cast<float>(j);
        const V B{fi, fj, h(i, j)}, A{fi, fj + 1, h(i, j + 1)}, P{fi + 1, fj, h(i + 1, j)};
        const V Q{fi + 1, fj + 1, h(i + 1, j + 1)};
        const V n1 = unit(cross(sub(A, B), sub(A, P))), n2 = unit(cross(sub(A, P), sub(A, Q)));
        float* f = &face[6 * (i * R + j)];
        f[0] = n1.x, f[1] = n1.y, f[2] = n1.z, f[3] = n2.x, f[4] = n2.y, f[5] = n2.z;
      }
    for (i64 i = 0; i <= C - 2; ++i)
      for (i64 j = 0; j <= R - 2; ++j) {
        if (i * R + j >= cap) continue;
        V n{0, 0, 0};
        int terms = 0;
        auto add = [&](i64 ci, i64 cj, int which) {
          const float* f = &face[6 * (ci * R + cj) + 3 * which];
          n = {n.x + f[0], n.y + f[1], n.z + f[2]};
          ++terms;
        };
        if (j <= R - 3 && i <= C - 3) add(i, j, 0);
        if (j <= R - 3 && i >= 1) add(i - 1, j, 0), add(i - 1, j, 1);
        if (j >= 1 && i <= C - 3) add(i, j - 1, 0), add(i, j - 1, 1);
        if (j >= 1 && i >= 1) add(i - 1, j - 1, 1);
        // Nothing to sum, or zeros only: straight up.
        const bool none = terms == 0 || (n.x == 0 && n.y == 0 && n.z == 0);
        const V u = none ? V{0, 0, 1} : unit(n);
        float* v = &vert[3 * (i * R + j)];
        v[0] = u.x, v[1] = u.y, v[2] = u.z;
      }
    for (i64 i = 0; i <= C - 2; ++i)
      for (i64 j = 0; j <= R - 2; ++j) {
        if (i * C + j >= cap) continue;
        tex[2 * (i * C + j)] = C == 2 ? 0.0f : static_cast<float>(j) / static_cast<float>(C - 2);
        tex[2 * (i * C + j) + 1] = R == 2 ? 0.0f : static_cast<float>(i) / static_cast<float>(R - 2);
      }
  }
};

// The first entry whose bits differ (a NaN matching any NaN), or -1.
i64 first_difference(const std::vector<float>& want, const float* got) {
  for (std::size_t k = 0; k < want.size(); ++k)
    if (std::memcmp(&want[k], &got[k], sizeof(float)) != 0 && !(std::isnan(want[k]) && std::isnan(got[k])))
      return static_cast<i64>(k);
  return -1;
}

class ReliefLanesTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { relief::limit_lanes(GetParam()); }
  void TearDown() override { relief::limit_lanes(8); }

  // A relief record over buffers that start as the plain ones do.
  void start(i64 cap) {
    plain = std::make_unique<Plain>(cap);
    posit = plain->posit, vert = plain->vert, tex = plain->tex, face = plain->face;
    x = relief::Relief{};
    x.posit = posit.data(), x.vertnorms = vert.data(), x.texcoords = tex.data(), x.facenorms = face.data();
    x.capacity = cap;
  }
  void read(const std::vector<i64>& dims, const std::vector<unsigned char>& cells, float zscale) {
    jit::MatrixInfo info{};
    info.planecount = 1;
    info.dimcount = static_cast<std::int32_t>(dims.size());
    i64 step = 1, n[jit::kMaxDims] = {}, stride[jit::kMaxDims] = {};
    for (std::size_t d = 0; d < dims.size(); ++d) {
      info.dim[d] = static_cast<std::int32_t>(dims[d]);
      info.dimstride[d] = stride[d] = step;
      n[d] = dims[d] < dims[0] ? dims[d] : dims[0];
      step *= dims[d];
    }
    x.zscale = zscale;
    relief::read_heights(&x, info, cells.data());
    plain->heights(info.dimcount, n, stride, cells.data(), zscale);
  }
  void derive(i64 C, i64 R) {
    x.dim[0] = static_cast<std::int32_t>(C), x.dim[1] = static_cast<std::int32_t>(R);
    relief::derive(&x);
    plain->derive(C, R);
  }
  void expect_same(const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(first_difference(plain->posit, x.posit), -1);
    EXPECT_EQ(first_difference(plain->face, x.facenorms), -1);
    EXPECT_EQ(first_difference(plain->vert, x.vertnorms), -1);
    EXPECT_EQ(first_difference(plain->tex, x.texcoords), -1);
  }

  static std::vector<unsigned char> noise(i64 n, std::uint32_t seed) {
    std::vector<unsigned char> v(static_cast<std::size_t>(n));
    for (auto& c : v) c = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 24);
    return v;
  }

  std::unique_ptr<Plain> plain;
  std::vector<float> posit, vert, tex, face;
  relief::Relief x{};
};

TEST_P(ReliefLanesTest, HeightsOfMatricesOfAnyShape) {
  start(512 * 512);
  const std::vector<std::vector<i64>> shapes = {{256, 256}, {255, 3},   {7, 9},    {9, 40},       {13},      {1, 1},
                                                {4, 4, 3},  {3, 2, 5},  {33, 256}, {17, 5, 2, 3}, {256, 1}};
  std::uint32_t seed = 7;
  for (const float zscale : {-1.0f, 2.5f, -0.0f, 3e38f, 1e-40f, INFINITY})
    for (const auto& dims : shapes) {
      i64 cells = 1;
      for (i64 d : dims) cells *= d;
      read(dims, noise(cells, ++seed), zscale);
      expect_same(std::to_string(dims[0]) + " wide, zscale " + std::to_string(zscale));
    }
}

TEST_P(ReliefLanesTest, GridsOneAfterAnotherAndBeyondTheBuffers) {
  const struct {
    i64 cap;
    std::vector<std::pair<i64, i64>> dims;
  } runs[] = {
      // maxdim 512 512: grids that fit, ragged blocks of columns, the smallest, rows longer
      // than the texture table, the buffers' exact size, and grids past them.
      {512 * 512,
       {{30, 30}, {256, 256}, {70, 133}, {131, 67}, {9, 4}, {4, 9}, {2, 6}, {6, 2}, {3, 3}, {3, 5}, {5, 3},
        {2, 2}, {67, 1100}, {512, 512}, {513, 511}, {600, 500}, {2000, 3}, {3, 90000}, {1100, 300}, {20, 20}}},
      // maxdim 600 512: a wider buffer, and a grid just past it.
      {600 * 512, {{600, 512}, {700, 450}, {37, 251}}},
  };
  for (const auto& run : runs) {
    start(run.cap);
    read({256, 256}, noise(256 * 256, 99), 3.0f);
    for (const auto& [C, R] : run.dims) {
      derive(C, R);
      expect_same(std::to_string(C) + " x " + std::to_string(R) + " in " + std::to_string(run.cap));
    }
  }
}

TEST_P(ReliefLanesTest, HeightsWithoutSoundNormals) {
  // Huge heights (squares past the floats: zero face normals, then zero sums), infinite
  // ones and NaN, among zeros of both signs.
  for (const float zscale : {1e20f, -1e30f, 3e38f, INFINITY, NAN}) {
    start(512 * 512);
    std::vector<unsigned char> cells = noise(256 * 256, 5);
    for (std::size_t k = 0; k < cells.size(); k += 7) cells[k] = 0;
    read({256, 256}, cells, zscale);
    for (const auto& [C, R] : {std::pair<i64, i64>{256, 256}, {70, 133}, {600, 500}}) {
      derive(C, R);
      expect_same(std::to_string(C) + " x " + std::to_string(R) + ", zscale " + std::to_string(zscale));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, ReliefLanesTest, ::testing::Values(8, 4, 1),
                         [](const ::testing::TestParamInfo<int>& p) { return std::to_string(p.param) + "lanes"; });

TEST(ReliefLanes, TheWidestThereIs) {
#if defined(__x86_64__)
  relief::limit_lanes(8);
  EXPECT_EQ(relief::lanes(), __builtin_cpu_supports("avx") ? 8 : 4);
#endif
  relief::limit_lanes(4);
  EXPECT_EQ(relief::lanes(), 4);
  relief::limit_lanes(1);
  EXPECT_EQ(relief::lanes(), 1);
  relief::limit_lanes(8);
}

}  // namespace
