// jit.gl.scanrelief rendered offscreen: where a high cell lands in the picture, shading
// that follows the normals, a picture that follows each new matrix, the camera following a
// ko-viewnav, and the two example scripts run by kohost itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "support/relief_fixture.h"

namespace {

namespace fs = std::filesystem;

using Rgb = std::vector<std::uint8_t>;

// Where the camera puts a point: pixel column and row (from the bottom).
bool project(const kohost::Camera& cam, int w, int h, const double p[3], double& col, double& row) {
  auto dot = [](const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
  auto cross = [](const double* a, const double* b, double* o) {
    o[0] = a[1] * b[2] - a[2] * b[1], o[1] = a[2] * b[0] - a[0] * b[2], o[2] = a[0] * b[1] - a[1] * b[0];
  };
  auto unit = [&](double* a) {
    const double l = std::sqrt(dot(a, a));
    for (int i = 0; i < 3; ++i) a[i] /= l;
  };
  double f[3], s[3], u[3], d[3];
  for (int i = 0; i < 3; ++i) f[i] = cam.lookat[i] - cam.eye[i], d[i] = p[i] - cam.eye[i];
  unit(f);
  cross(f, cam.up, s);
  unit(s);
  cross(s, f, u);
  const double ze = -dot(f, d);
  if (ze > -cam.near_clip) return false;
  const double t = 1.0 / std::tan(cam.lens_angle * std::numbers::pi / 360.0);
  col = (t * h / w * dot(s, d) / -ze + 1.0) * w / 2.0;
  row = (t * dot(u, d) / -ze + 1.0) * h / 2.0;
  return true;
}

class ReliefRenderTest : public ReliefTest {
 protected:
  Rgb render(const kohost::Camera& cam, int w, int h) {
    Rgb rgb;
    std::string why;
    EXPECT_TRUE(kohost::render_image(patch, cam, w, h, rgb, &why)) << why;
    return rgb;
  }
  unsigned char* cells(const char* name) {
    char* data = nullptr;
    jit::jit_object_method(jit::jit_object_findregistered(max::gensym(name)), jit::_jit_sym_getdata, &data);
    return reinterpret_cast<unsigned char*>(data);
  }
  // Mean red of the pixels in a box (columns, rows from the bottom).
  static double mean(const Rgb& rgb, int w, int c0, int c1, int r0, int r1) {
    double s = 0;
    int n = 0;
    for (int r = r0; r < r1; ++r)
      for (int c = c0; c < c1; ++c, ++n) s += rgb[(static_cast<std::size_t>(r) * w + c) * 3];
    return s / n;
  }
};

TEST_F(ReliefRenderTest, AHighCellStandsWhereTheCameraSeesIt) {
  // A flat 20 x 20 grid of points with one cell of 255, seen edge-on from the side.
  run("new r jit.gl.scanrelief @zscale 1 @point_size 4\nmatrix m char 1 20 20");
  cells("m")[5 * 20 + 14] = 255;  // row 5, column 14
  run("send r jit_matrix m");
  kohost::Camera cam;
  cam.eye[0] = 0, cam.eye[1] = -5, cam.eye[2] = 0;
  cam.up[0] = 0, cam.up[1] = 0, cam.up[2] = 1;
  const int w = 160, h = 120;
  const Rgb rgb = render(cam, w, h);
  auto lit = [&](int c, int r) { return c >= 0 && r >= 0 && c < w && r < h && rgb[(r * w + c) * 3] > 0; };
  const double high[3] = {1.0 - 14 * (2.0 / 19), 5 * (2.0 / 19) - 1.0, height(255, 1.0f)};
  double hc, hr, fc, fr;
  ASSERT_TRUE(project(cam, w, h, high, hc, hr));
  const double flat[3] = {0, 0, 0};
  ASSERT_TRUE(project(cam, w, h, flat, fc, fr));
  ASSERT_GT(hr, fr + 20);
  bool found = false;
  for (int dr = -2; dr <= 2; ++dr)
    for (int dc = -2; dc <= 2; ++dc) found = found || lit(static_cast<int>(hc) + dc, static_cast<int>(hr) + dr);
  EXPECT_TRUE(found) << "no point at column " << hc << ", row " << hr;
  // Above the flat grid's line nothing else is drawn.
  int stray = 0;
  for (int r = static_cast<int>(fr) + 8; r < h; ++r)
    for (int c = 0; c < w; ++c)
      if (lit(c, r) && std::hypot(c - hc, r - hr) > 5) ++stray;
  EXPECT_EQ(stray, 0);
  // The grid's line itself is there.
  int line = 0;
  for (int c = 0; c < w; ++c) line += lit(c, static_cast<int>(fr)) || lit(c, static_cast<int>(fr) + 1);
  EXPECT_GT(line, w / 4);
}

TEST_F(ReliefRenderTest, ShadingFollowsTheNormals) {
  // A ridge along the middle columns, seen from straight above: the normals of one slope
  // lean towards the light (from the viewer's left and above), those of the other away.
  run("new r jit.gl.scanrelief @zscale 3 @gridmode 5\nmatrix m char 1 20 20");
  unsigned char* c = cells("m");
  for (int row = 0; row < 20; ++row)
    for (int col = 0; col < 20; ++col) c[row * 20 + col] = static_cast<unsigned char>(25 * std::min(col, 19 - col));
  run("send r jit_matrix m");
  kohost::Camera cam;
  cam.eye[2] = 5;
  const int w = 200, h = 200;
  Rgb rgb = render(cam, w, h);
  // Columns of high index lie at negative x, on the left of the picture.
  const double left = mean(rgb, w, 60, 85, 90, 110), right = mean(rgb, w, 115, 140, 90, 110);
  EXPECT_GT(left, 130);
  EXPECT_LT(right, 100);
  // Flat heights: one shade all over (away from the last row and column, which have no
  // normals).
  run("matrix m fill 100\nsend r jit_matrix m");
  rgb = render(cam, w, h);
  const double a = mean(rgb, w, 65, 90, 65, 90), b = mean(rgb, w, 110, 135, 110, 135);
  EXPECT_NEAR(a, b, 1.0);
  EXPECT_GT(a, 80);
  EXPECT_LT(a, 160);
}

TEST_F(ReliefRenderTest, ThePictureFollowsEachNewMatrix) {
  run("new r jit.gl.scanrelief @zscale 0.8 @gridmode 8\nmatrix a char 1 20 20\nmatrix b char 1 20 20\n"
      "matrix b fill 200\nsend r jit_matrix a");
  kohost::Camera cam;
  cam.eye[1] = -3, cam.eye[2] = 2.5;
  cam.up[1] = 0, cam.up[2] = 1;
  const Rgb first = render(cam, 96, 72);
  run("send r jit_matrix b");
  const Rgb second = render(cam, 96, 72);
  EXPECT_NE(first, second);
  run("send r jit_matrix a");
  EXPECT_EQ(render(cam, 96, 72), first);
}

TEST_F(ReliefRenderTest, CameraFollowTakesWhatTheNavigatorSentEvenBefore) {
  load({"ko-viewnav"});
  run("new r jit.gl.scanrelief @zscale 1 @gridmode 5\nmatrix m char 1 20 20\nmatrix m fill 120\n"
      "send r jit_matrix m\nnew nav ko-viewnav @pos 0.5 -2.5 2 @look -0.5 2.5 -2 @up 0 0 1\nsend nav bang");
  // Followed after it sent: its last eye, point looked at and up vector count.
  run("camera follow nav");
  std::string why;
  const fs::path dir = fs::temp_directory_path() / ("ko-relief-follow-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  script.set_base_dir(dir.string());
  run("render followed.png 64 48\ncamera eye 0.5 -2.5 2\ncamera lookat 0 0 0\ncamera up 0 0 1\n"
      "render by_hand.png 64 48\ncamera follow nav\nfree nav\nnew nav ko-viewnav\nsend nav bang\n"
      "render after_free.png 64 48");
  EXPECT_EQ(mistakes(), "");
  kohost::GreyImage a, b, c;
  ASSERT_TRUE(kohost::read_grey_image((dir / "followed.png").string(), a, &why)) << why;
  ASSERT_TRUE(kohost::read_grey_image((dir / "by_hand.png").string(), b, &why)) << why;
  ASSERT_TRUE(kohost::read_grey_image((dir / "after_free.png").string(), c, &why)) << why;
  EXPECT_EQ(a.pixels, b.pixels);
  // A followed object that goes away leaves the camera where it was: a new one of the same
  // name is not followed.
  EXPECT_EQ(c.pixels, a.pixels);
  int lit = 0;
  for (std::uint8_t v : a.pixels) lit += v > 0;
  EXPECT_GT(lit, 64 * 48 / 4);
  fs::remove_all(dir);
}

// The examples, run by kohost in a folder of their own: what they print, and pictures in
// which the terrain is plainly there.
class ReliefExamples : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("ko-relief-examples-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (const char* f : {"relief.kpat", "flyover.kpat", "terrain.png"}) fs::copy_file(examples / f, dir / f);
  }
  void TearDown() override { fs::remove_all(dir); }

  // kohost's standard output and error for one script; its exit status in status.
  std::string kohost(const std::string& script, int& status) {
    const fs::path bin = fs::path(KO_PLUGIN_DIR).parent_path() / "bin" / "kohost";
    const std::string cmd = "cd '" + dir.string() + "' && '" + bin.string() + "' " + script + " > out.txt 2>&1";
    status = std::system(cmd.c_str());
    std::ifstream in(dir / "out.txt");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static double lit_share(const kohost::GreyImage& img) {
    std::size_t lit = 0;
    for (std::uint8_t v : img.pixels) lit += v > 10;
    return static_cast<double>(lit) / static_cast<double>(img.pixels.size());
  }

  const fs::path examples = fs::path(__FILE__).parent_path().parent_path() / "examples";
  fs::path dir;
};

const char* const kStamp = "console: // 20041212   \\xF5\\xF5\\xF5  \\xF8\\xF8\\xF8\\xF8\\xF8\\xF8  \\xF5\\xF5\\xF5\n";

TEST_F(ReliefExamples, ReliefRendersTheTerrain) {
  int status = -1;
  EXPECT_EQ(kohost("relief.kpat", status), std::string(kStamp) + "ground.1: dim 48 48\n");
  EXPECT_EQ(status, 0);
  kohost::GreyImage made, kept, terrain;
  std::string why;
  ASSERT_TRUE(kohost::read_grey_image((dir / "relief.png").string(), made, &why)) << why;
  ASSERT_TRUE(kohost::read_grey_image((examples / "relief.png").string(), kept, &why)) << why;
  ASSERT_TRUE(kohost::read_grey_image((examples / "terrain.png").string(), terrain, &why)) << why;
  EXPECT_EQ(terrain.width, 48);
  EXPECT_EQ(terrain.height, 48);
  ASSERT_EQ(made.width, 640);
  ASSERT_EQ(made.height, 480);
  ASSERT_EQ(made.pixels.size(), kept.pixels.size());
  EXPECT_GT(lit_share(made), 0.15);
  // The committed picture is what the example draws (a little slack for drivers).
  std::size_t same = 0;
  for (std::size_t i = 0; i < made.pixels.size(); ++i) same += std::abs(made.pixels[i] - kept.pixels[i]) <= 2;
  EXPECT_GE(same, made.pixels.size() * 99 / 100);
}

TEST_F(ReliefExamples, FlyoverFramesFollowTheNavigator) {
  int status = -1;
  const std::string printed = kohost("flyover.kpat", status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(printed.substr(0, std::string(kStamp).size()), kStamp);
  EXPECT_EQ(printed.find("error"), std::string::npos) << printed;
  EXPECT_NE(printed.find("nav.1: list 0.0 2.4 6.0\n"), std::string::npos) << printed;
  std::vector<kohost::GreyImage> frames(4);
  std::string why;
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i + 1);
    const std::string name = "frame" + std::to_string(i + 1) + ".png";
    ASSERT_TRUE(kohost::read_grey_image((dir / name).string(), frames[i], &why)) << why;
    EXPECT_EQ(frames[i].width, 480);
    EXPECT_GT(lit_share(frames[i]), 0.3);
    for (int j = 0; j < i; ++j) EXPECT_NE(frames[i].pixels, frames[j].pixels);
    kohost::GreyImage kept;
    ASSERT_TRUE(kohost::read_grey_image((examples / name).string(), kept, &why)) << why;
    std::size_t same = 0;
    for (std::size_t p = 0; p < kept.pixels.size(); ++p) same += std::abs(frames[i].pixels[p] - kept.pixels[p]) <= 2;
    EXPECT_GE(same, kept.pixels.size() * 99 / 100);
  }
}

}  // namespace
