// jit.gl.scanrelief's geometry: heights from matrices of every shape (each cell read as
// unsigned), face and vertex normals, texture coordinates, the buffers behind them with
// their console lines, and an object that lives through allocations that fail.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/relief_fixture.h"

namespace {

class ReliefGeometryTest : public ReliefTest {
 protected:
  // The cells of a script matrix, to write directly.
  unsigned char* cells(const char* name) {
    char* data = nullptr;
    jit::jit_object_method(jit::jit_object_findregistered(max::gensym(name)), jit::_jit_sym_getdata, &data);
    return reinterpret_cast<unsigned char*>(data);
  }
  std::vector<float> buffer(const float* p, std::size_t n) { return p ? std::vector<float>(p, p + n) : std::vector<float>{}; }
};

// Independent of the object: the face normals, vertex normals and texture coordinates of
// a C x R grid over heights h, as the relief defines them.
struct Reference {
  std::vector<float> face, vert, tex;

  struct V {
    float x, y, z;
  };
  static V sub(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
  static V cross(V u, V v) { return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x}; }
  static V unit(V v) {
    const auto l = static_cast<float>(std::sqrt(static_cast<double>(v.x * v.x + v.y * v.y + v.z * v.z)));
    return {v.x * (1.0f / l), v.y * (1.0f / l), v.z * (1.0f / l)};
  }

  Reference(const std::vector<float>& h, int C, int R, std::size_t cap)
      : face(6 * cap, 0.0f), vert(3 * cap, 0.0f), tex(2 * cap, 0.0f) {
    auto at = [&](int i, int j) { return h[static_cast<std::size_t>(i * R + j)]; };
    for (int i = 0; i <= C - 3; ++i)
      for (int j = 0; j <= R - 3; ++j) {
        const V B{float(i), float(j), at(i, j)}, A{float(i), float(j + 1), at(i, j + 1)};
        const V P{float(i + 1), float(j), at(i + 1, j)}, Q{float(i + 1), float(j + 1), at(i + 1, j + 1)};
        const V n1 = unit(cross(sub(A, B), sub(A, P))), n2 = unit(cross(sub(A, P), sub(A, Q)));
        const std::size_t k = 6u * static_cast<std::size_t>(i * R + j);
        face[k] = n1.x, face[k + 1] = n1.y, face[k + 2] = n1.z;
        face[k + 3] = n2.x, face[k + 4] = n2.y, face[k + 5] = n2.z;
      }
    auto fn = [&](int i, int j, int which) {
      const std::size_t k = 6u * static_cast<std::size_t>(i * R + j) + 3u * static_cast<std::size_t>(which);
      return V{face[k], face[k + 1], face[k + 2]};
    };
    for (int i = 0; i <= C - 2; ++i)
      for (int j = 0; j <= R - 2; ++j) {
        V n{0, 0, 0};
        int terms = 0;
        auto add = [&](V v) { n = {n.x + v.x, n.y + v.y, n.z + v.z}, ++terms; };
        if (j <= R - 3 && i <= C - 3) add(fn(i, j, 0));
        if (j <= R - 3 && i >= 1) add(fn(i - 1, j, 0)), add(fn(i - 1, j, 1));
        if (j >= 1 && i <= C - 3) add(fn(i, j - 1, 0)), add(fn(i, j - 1, 1));
        if (j >= 1 && i >= 1) add(fn(i - 1, j - 1, 1));
        const V u = terms ? unit(n) : V{0, 0, 1};
        const std::size_t k = 3u * static_cast<std::size_t>(i * R + j);
        vert[k] = u.x, vert[k + 1] = u.y, vert[k + 2] = u.z;
        const std::size_t t = 2u * static_cast<std::size_t>(i * C + j);
        tex[t] = C == 2 ? 0.0f : float(j) / float(C - 2);
        tex[t + 1] = R == 2 ? 0.0f : float(i) / float(R - 2);
      }
  }
};

TEST_F(ReliefGeometryTest, EachCellIsReadUnsigned) {
  run("new r jit.gl.scanrelief\nmatrix m char 1 20 20\nmatrix m fill 255\nsend r jit_matrix m");
  // 255 is the highest cell: 255 * -1 * 0.00392157, not -1 * 0.00392157.
  const std::vector<float> all = buffer(inner("r")->posit, 400);
  EXPECT_EQ(all, std::vector<float>(400, height(255, -1.0f)));
  EXPECT_EQ(height(255, -1.0f), static_cast<float>(-1.00000035));
  const std::string t = traced_draw("r");
  EXPECT_EQ(count(t, "gl: glVertex3f 1.0 -1.0 " + f(height(255, -1.0f))), 1);
  // Each value, low and high, scaled by zscale when the matrix is read.
  unsigned char* c = cells("m");
  const int values[] = {0, 1, 127, 128, 129, 200, 254, 255};
  for (int i = 0; i < 8; ++i) c[i] = static_cast<unsigned char>(values[i]);
  run("send r zscale 2.5\nsend r jit_matrix m");
  for (int i = 0; i < 8; ++i) EXPECT_EQ(inner("r")->posit[i], height(values[i], 2.5f)) << values[i];
  // A later zscale changes nothing stored.
  run("send r zscale 1");
  EXPECT_EQ(inner("r")->posit[7], height(255, 2.5f));
}

TEST_F(ReliefGeometryTest, MatricesThatAreIgnored) {
  run("new r jit.gl.scanrelief\nmatrix good char 1 20 20\nmatrix good fill 9\nsend r jit_matrix good");
  traced_draw("r");
  const std::vector<float> before = buffer(inner("r")->posit, 65536);
  for (const char* m : {"matrix m char 1 300 10", "matrix m char 1 10 300", "matrix m float32 1 20 20",
                        "matrix m char 4 20 20", "matrix m long 1 20 20", "matrix m char 1 257 2 2"}) {
    SCOPED_TRACE(m);
    run(std::string(m) + "\nmatrix m fill 50");
    void* matrix = jit::jit_object_findregistered(max::gensym("m"));
    jit::jit_object_method(matrix, jit::_jit_sym_lock, 7);
    EXPECT_EQ(run("send r jit_matrix m"), "");
    EXPECT_EQ(buffer(inner("r")->posit, 65536), before);
    EXPECT_EQ(inner("r")->rebuild, 0);
    // The lock state is given back.
    EXPECT_EQ(ko::jit_result(jit::jit_object_method(matrix, jit::_jit_sym_lock, 0)), 7);
  }
  // No name, a name nothing has, a name that is no matrix.
  EXPECT_EQ(run("send r jit_matrix\nsend r jit_matrix nowhere\nsend r jit_matrix 5"), "");
  jit::jit_object_register(inner("r"), max::gensym("myself"));
  EXPECT_EQ(run("send r jit_matrix myself"), "");
  EXPECT_EQ(buffer(inner("r")->posit, 65536), before);
  EXPECT_EQ(inner("r")->rebuild, 0);
  EXPECT_EQ(mistakes(), "");
}

TEST_F(ReliefGeometryTest, MatrixShapesAndWhereTheirHeightsGo) {
  run("new r jit.gl.scanrelief @zscale 1");
  // 40 columns, 20 rows: 20 rows of 40 heights; the 20 x 20 grid reads them in rows of 20.
  run("matrix m char 1 40 20");
  unsigned char* c = cells("m");
  for (int i = 0; i < 20; ++i)
    for (int j = 0; j < 40; ++j) c[i * 40 + j] = static_cast<unsigned char>((i * 7 + j * 3) % 256);
  run("send r jit_matrix m\ndraw r");
  for (int i = 0; i < 20; ++i)
    for (int j = 0; j < 40; ++j) ASSERT_EQ(inner("r")->posit[i * 40 + j], height((i * 7 + j * 3) % 256, 1.0f));
  std::vector<float> v = vertices("r");
  for (int r = 0; r < 20; ++r)
    for (int col = 0; col < 20; ++col) {
      const int i = r / 2, j = (r % 2) * 20 + col;  // the first 10 rows, each split in two
      ASSERT_EQ(v[static_cast<std::size_t>(r * 20 + col) * 12 + 2], height((i * 7 + j * 3) % 256, 1.0f));
    }
  // 20 columns, 40 rows: only the first 20 rows are read.
  run("free r\nnew r jit.gl.scanrelief @zscale 1\nmatrix m char 1 20 40\nmatrix m fill 100");
  c = cells("m");
  for (int j = 0; j < 20; ++j) c[19 * 20 + j] = 3, c[20 * 20 + j] = 4;
  run("send r jit_matrix m");
  EXPECT_EQ(inner("r")->posit[19 * 20 + 5], height(3, 1.0f));
  EXPECT_EQ(buffer(inner("r")->posit + 400, 1000), std::vector<float>(1000, 0.0f));
  // 4 x 4 x 3: the slice with last index 2 stays.
  run("matrix m char 1 4 4 3");
  c = cells("m");
  for (int k = 0; k < 3; ++k)
    for (int n = 0; n < 16; ++n) c[k * 16 + n] = static_cast<unsigned char>(k * 50 + n);
  run("send r jit_matrix m");
  for (int n = 0; n < 16; ++n) EXPECT_EQ(inner("r")->posit[n], height(100 + n, 1.0f));
  // One dimension: one row.
  run("matrix m char 1 6\nmatrix m fill 60\nsend r jit_matrix m");
  EXPECT_EQ(buffer(inner("r")->posit, 7), (std::vector<float>{height(60, 1), height(60, 1), height(60, 1),
                                                              height(60, 1), height(60, 1), height(60, 1),
                                                              height(106, 1)}));
}

TEST_F(ReliefGeometryTest, FlatHeightsFaceStraightUp) {
  run("new r jit.gl.scanrelief\nmatrix m char 1 20 20\nmatrix m fill 77\nsend r jit_matrix m");
  const relief::Relief* x = inner("r");
  for (int i = 0; i < 20; ++i)
    for (int j = 0; j < 20; ++j) {
      const int k = i * 20 + j;
      const bool cell = i <= 17 && j <= 17, point = i <= 18 && j <= 18;
      for (int n = 0; n < 6; ++n) ASSERT_EQ(x->facenorms[6 * k + n], cell && n % 3 == 2 ? 1.0f : 0.0f) << i << " " << j;
      for (int n = 0; n < 3; ++n) ASSERT_EQ(x->vertnorms[3 * k + n], point && n == 2 ? 1.0f : 0.0f) << i << " " << j;
      // Texture coordinates run 0 .. 1 over the first 19 rows and columns.
      ASSERT_EQ(x->texcoords[2 * k], point ? static_cast<float>(j) / 18.0f : 0.0f);
      ASSERT_EQ(x->texcoords[2 * k + 1], point ? static_cast<float>(i) / 18.0f : 0.0f);
    }
  // Sending the same matrix again changes nothing.
  const std::vector<float> f1 = buffer(x->facenorms, 6 * 400), v1 = buffer(x->vertnorms, 3 * 400);
  run("send r jit_matrix m");
  EXPECT_EQ(buffer(x->facenorms, 6 * 400), f1);
  EXPECT_EQ(buffer(x->vertnorms, 3 * 400), v1);
}

TEST_F(ReliefGeometryTest, NormalsAndTextureCoordinatesOfAnyGrid) {
  run("new r jit.gl.scanrelief @zscale 3\nmatrix m char 1 256 256");
  unsigned char* c = cells("m");
  std::uint32_t s = 12345;
  for (int n = 0; n < 256 * 256; ++n) c[n] = static_cast<unsigned char>((s = s * 1103515245u + 12345u) >> 24);
  run("send r jit_matrix m");
  const std::size_t cap = 512 * 512;
  const std::vector<float> h = buffer(inner("r")->posit, cap);
  // Grids of many blocks of columns, with ragged ends, and the smallest.
  for (const auto& [C, R] : {std::pair{30, 30}, {256, 256}, {70, 133}, {131, 67}, {9, 4}, {4, 9}, {2, 6}, {6, 2},
                             {3, 3}, {3, 5}, {5, 3}}) {
    SCOPED_TRACE(std::to_string(C) + " x " + std::to_string(R));
    run("send r dim " + std::to_string(C) + " " + std::to_string(R));
    const relief::Relief* x = inner("r");
    const Reference ref(h, C, R, cap);
    // Compare only what this grid writes, cell by cell.
    for (int i = 0; i <= C - 3; ++i)
      for (int j = 0; j <= R - 3; ++j)
        for (int q = 0; q < 6; ++q) {
          const std::size_t k = 6u * static_cast<std::size_t>(i * R + j) + static_cast<std::size_t>(q);
          ASSERT_EQ(x->facenorms[k], ref.face[k]) << i << " " << j;
        }
    for (int i = 0; i <= C - 2; ++i)
      for (int j = 0; j <= R - 2; ++j) {
        for (int q = 0; q < 3; ++q) {
          const std::size_t k = 3u * static_cast<std::size_t>(i * R + j) + static_cast<std::size_t>(q);
          ASSERT_EQ(x->vertnorms[k], ref.vert[k]) << i << " " << j;
        }
        const std::size_t t = 2u * static_cast<std::size_t>(i * C + j);
        ASSERT_EQ(x->texcoords[t], ref.tex[t]) << i << " " << j;
        ASSERT_EQ(x->texcoords[t + 1], ref.tex[t + 1]) << i << " " << j;
      }
  }
  // A 2 x 2 grid: one point written, facing up (no cell to sum), texture coordinate 0.
  run("send r dim 2 2");
  EXPECT_EQ(traced_draw("r"),
            "gl: glBegin GL_POINTS\n"
            "gl: glNormal3f 0.0 0.0 1.0\ngl: glTexCoord2f 0.0 0.0\ngl: glVertex3f 1.0 -1.0 " + f(h[0]) + "\n" +
            "gl: glNormal3f " + f(inner("r")->vertnorms[6]) + " " + f(inner("r")->vertnorms[7]) + " " +
            f(inner("r")->vertnorms[8]) + "\ngl: glTexCoord2f " + f(inner("r")->texcoords[4]) + " " +
            f(inner("r")->texcoords[5]) + "\ngl: glVertex3f 1.0 1.0 " + f(h[2]) + "\n" +
            "gl: glNormal3f " + f(inner("r")->vertnorms[3]) + " " + f(inner("r")->vertnorms[4]) + " " +
            f(inner("r")->vertnorms[5]) + "\ngl: glTexCoord2f " + f(inner("r")->texcoords[2]) + " " +
            f(inner("r")->texcoords[3]) + "\ngl: glVertex3f -1.0 -1.0 " + f(h[1]) + "\n" +
            "gl: glNormal3f " + f(inner("r")->vertnorms[9]) + " " + f(inner("r")->vertnorms[10]) + " " +
            f(inner("r")->vertnorms[11]) + "\ngl: glTexCoord2f " + f(inner("r")->texcoords[6]) + " " +
            f(inner("r")->texcoords[7]) + "\ngl: glVertex3f -1.0 1.0 " + f(h[3]) + "\ngl: glEnd\n");
}

TEST_F(ReliefGeometryTest, MaxdimReallocatesWithItsLines) {
  run("new r jit.gl.scanrelief\nmatrix m char 1 20 20\nmatrix m fill 90\nsend r jit_matrix m");
  EXPECT_EQ(run("send r maxdim 100 70000\nsend r getmaxdim"),
            "console: just free 'd posit\n"
            "console: alloced posit 512 * 65535 * 4 (sizeof(float)) = 134215680 bytes\n"
            "console: just free 'd vertnorms\n"
            "console: alloced vertnorms 512 * 65535 * 4 * 3 *(sizeof(float)) = 402647040 bytes\n"
            "console: just free 'd texcoords\n"
            "console: just free 'd facenorms\n"
            "console: alloced facenorms 2*  512 * 65535 * 4 * 3 *(sizeof(float)) = 805294080 bytes\n"
            "console: igniting alloced memory\n"
            "r.1: maxdim 512 65535\n");
  // The old contents are gone; nothing is recomputed.
  EXPECT_EQ(buffer(inner("r")->posit, 400), std::vector<float>(400, 0.0f));
  EXPECT_EQ(inner("r")->capacity, 512 * 65535);
  // Missing values count as 512.
  EXPECT_EQ(run("send r maxdim 600\nsend r getmaxdim"),
            "console: just free 'd posit\n"
            "console: alloced posit 600 * 512 * 4 (sizeof(float)) = 1228800 bytes\n"
            "console: just free 'd vertnorms\n"
            "console: alloced vertnorms 600 * 512 * 4 * 3 *(sizeof(float)) = 3686400 bytes\n"
            "console: just free 'd texcoords\n"
            "console: just free 'd facenorms\n"
            "console: alloced facenorms 2*  600 * 512 * 4 * 3 *(sizeof(float)) = 7372800 bytes\n"
            "console: igniting alloced memory\n"
            "r.1: maxdim 600 512\n");
  const std::vector<std::string> l = lines_of(run("send r maxdim\nsend r getmaxdim"));
  ASSERT_EQ(l.size(), 9u);
  EXPECT_EQ(l[1], "console: alloced posit 512 * 512 * 4 (sizeof(float)) = 1048576 bytes");
  EXPECT_EQ(l[8], "r.1: maxdim 512 512");
}

TEST_F(ReliefGeometryTest, BuffersTooLargeToAllocateLeaveAnObjectThatStillDraws) {
  run("new r jit.gl.scanrelief\nmatrix m char 1 20 20\nmatrix m fill 90");
  // 65535 * 65535 floats do not fit the allocator's size.
  EXPECT_EQ(run("send r maxdim 65535 70000"),
            "console: just free 'd posit\nerror: couldn't build x->posit\n"
            "console: just free 'd vertnorms\nerror: couldn't build x->vertnorms\n"
            "console: just free 'd texcoords\nerror: couldn't build x->texcoords\n"
            "console: just free 'd facenorms\nerror: couldn't build x->facenorms\n"
            "console: igniting alloced memory\n");
  EXPECT_EQ(run("send r jit_matrix m\nsend r dim 30 30\nsend r displaylist 1\nsend r matrixoutput 0"), "");
  const std::string t = traced_draw("r");
  EXPECT_EQ(count(t, "gl: glBegin GL_POINTS"), 29);
  EXPECT_EQ(count(t, "gl: glNormal3f 0.0 0.0 0.0"), 29 * 60);
  // Nothing left to free.
  EXPECT_EQ(run("free r"), "");
}

TEST_F(ReliefGeometryTest, AFailedAllocationSkipsOnlyThatBuffer) {
  const char* names[] = {"posit", "vertnorms", "texcoords", "facenorms"};
  const char* freed[] = {"posit", "vertnormz", "texcoords", "facenorms"};
  for (int n = 1; n <= 4; ++n) {
    SCOPED_TRACE(names[n - 1]);
    kohost::fail_allocation(n);
    EXPECT_EQ(run("new r jit.gl.scanrelief @zscale 1"), std::string("error: couldn't build x->") + names[n - 1] + "\n");
    // Heights, normals and texture coordinates of the buffers that are there.
    run("matrix m char 1 20 20\nmatrix m fill 255\nsend r jit_matrix m");
    const std::string t = traced_draw("r");
    EXPECT_EQ(count(t, "gl: glBegin GL_POINTS"), 19);
    EXPECT_EQ(count(t, "gl: glVertex3f 1.0 -1.0 " + f(height(255, 1.0f))), n == 1 ? 0 : 1);
    // Vertex normals need their own buffer and the face normals'; without heights the
    // faces are all zero and every point written faces straight up (19 columns of 37
    // vertices in the trace: rows 1 to 18 are drawn twice).
    EXPECT_EQ(count(t, "gl: glNormal3f 0.0 0.0 1.0") == 19 * 37, n == 1 || n == 3);
    EXPECT_EQ(count(t, "gl: glNormal3f 0.0 0.0 0.0") == 19 * 40, n == 2 || n == 4);
    std::string lines;
    for (const char* b : {"facenorms", "texcoords", "vertnormz", "posit"})
      if (std::string(b) != freed[n - 1]) lines += std::string("console: just free 'd ") + b + "\n";
    EXPECT_EQ(run("free r"), lines);
  }
  // A "maxdim" set whose third allocation fails.
  run("new r jit.gl.scanrelief");
  kohost::fail_allocation(3);
  EXPECT_EQ(run("send r maxdim 512 512"),
            "console: just free 'd posit\n"
            "console: alloced posit 512 * 512 * 4 (sizeof(float)) = 1048576 bytes\n"
            "console: just free 'd vertnorms\n"
            "console: alloced vertnorms 512 * 512 * 4 * 3 *(sizeof(float)) = 3145728 bytes\n"
            "console: just free 'd texcoords\nerror: couldn't build x->texcoords\n"
            "console: just free 'd facenorms\n"
            "console: alloced facenorms 2*  512 * 512 * 4 * 3 *(sizeof(float)) = 6291456 bytes\n"
            "console: igniting alloced memory\n");
  EXPECT_EQ(inner("r")->texcoords, nullptr);
  EXPECT_EQ(run("send r dim 5 5\nsend r jit_matrix m\ndraw r"), "");
}

TEST_F(ReliefGeometryTest, TheNewestMatrixWins) {
  run("new r jit.gl.scanrelief @zscale 1\nmatrix a char 1 20 20\nmatrix a fill 10\nmatrix b char 1 20 20\n"
      "matrix b fill 20\ndefer hold\nsend r jit_matrix a\nsend r jit_matrix b");
  EXPECT_EQ(inner("r")->posit[0], 0.0f);
  run("defer run");
  EXPECT_EQ(inner("r")->posit[0], height(20, 1.0f));
}

}  // namespace
