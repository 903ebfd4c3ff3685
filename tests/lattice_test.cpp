// jit.gl.lattice: its grid attribute, the segments it draws (seen through the GL trace),
// its wrapper, and real pictures of it rendered offscreen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "host/jit/scene.h"
#include "support/patch_fixture.h"

namespace {

int count_lines(const std::string& text, const std::string& line) {
  int n = 0;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (l == line) ++n;
  return n;
}

class LatticeTest : public PatchTest {
 protected:
  void SetUp() override { load({"jit.gl.lattice"}); }

  // The trace of one draw of l.
  std::string traced_draw() { return run("gltrace on\ndraw l\ngltrace off"); }

  // Segments in one draw; every segment is exactly begin, two vertices, end.
  int segments() {
    const std::string t = traced_draw();
    const int begins = count_lines(t, "gl: glBegin GL_LINES");
    EXPECT_EQ(count_lines(t, "gl: glEnd"), begins);
    int lines = 0;
    for (char c : t) lines += c == '\n';
    EXPECT_EQ(lines, begins * 4);
    return begins;
  }
};

TEST_F(LatticeTest, LoadsWithoutBannerAndAnswersItsGrid) {
  EXPECT_EQ(run("new l jit.gl.lattice\nsend l getgrid"), "l.1: grid 10 10 10\n");
  EXPECT_EQ(run("send l grid 4\nsend l getgrid"), "l.1: grid 4 10 10\n");
  EXPECT_EQ(run("send l grid 1 1 1\nsend l getgrid"), "l.1: grid 2 2 2\n");
  EXPECT_EQ(run("send l grid -5 3.9 7 99\nsend l getgrid"), "l.1: grid 2 3 7\n");
  EXPECT_EQ(run("send l grid\nsend l getgrid"), "l.1: grid 2 3 7\n");
  // NaN is clipped like a value below the minimum.
  EXPECT_EQ(run("send l grid nan inf -inf\nsend l getgrid"), "l.1: grid 2 2147483647 2\n");
  EXPECT_EQ(run("new k jit.gl.lattice @grid 2 6 @color 1 0 0 1\nsend k getgrid\nsend k getcolor"),
            "k.1: grid 2 6 10\nk.1: color 1.0 0.0 0.0 1.0\n");
  EXPECT_EQ(mistakes(), "");
}

TEST_F(LatticeTest, SegmentCountsFollowTheGrid) {
  run("new l jit.gl.lattice");
  EXPECT_EQ(segments(), 3630);
  for (const char* g : {"2 2 2", "3 3 3", "1 1 1", "0 -4 1"}) {
    SCOPED_TRACE(g);
    run(std::string("send l grid ") + g);
    EXPECT_EQ(segments(), 54);
  }
  // 3 g (g + 1)^2 for equal even counts; an odd count draws as the even one below it.
  run("send l grid 4 4 4");
  EXPECT_EQ(segments(), 300);
  run("send l grid 5 5 5");
  EXPECT_EQ(segments(), 300);
  // x -1..1, y -3..3, z -2..2: 2*7*5 + 3*6*5 + 3*7*4.
  run("send l grid 2 6 4");
  EXPECT_EQ(segments(), 70 + 90 + 84);
}

TEST_F(LatticeTest, DrawWalksZThenXThenY) {
  run("new l jit.gl.lattice @grid 2 2 2");
  const std::string t = traced_draw();
  const std::string first =
      "gl: glBegin GL_LINES\ngl: glVertex3f -1.0 -1.0 -1.0\ngl: glVertex3f 0.0 -1.0 -1.0\ngl: glEnd\n"
      "gl: glBegin GL_LINES\ngl: glVertex3f -1.0 -1.0 -1.0\ngl: glVertex3f -1.0 0.0 -1.0\ngl: glEnd\n"
      "gl: glBegin GL_LINES\ngl: glVertex3f -1.0 -1.0 -1.0\ngl: glVertex3f -1.0 -1.0 0.0\ngl: glEnd\n"
      "gl: glBegin GL_LINES\ngl: glVertex3f -1.0 0.0 -1.0\ngl: glVertex3f 0.0 0.0 -1.0\ngl: glEnd\n";
  EXPECT_EQ(t.substr(0, first.size()), first);
  // The last point (1, 1, 1) starts no segment; the last one, along y in the top z layer,
  // ends there.
  const std::string last = "gl: glBegin GL_LINES\ngl: glVertex3f 1.0 0.0 1.0\ngl: glVertex3f 1.0 1.0 1.0\ngl: glEnd\n";
  ASSERT_GE(t.size(), last.size());
  EXPECT_EQ(t.substr(t.size() - last.size()), last);
  // Nothing else goes through the trace: no normals, colours or texture coordinates.
  EXPECT_EQ(t.find("glNormal"), std::string::npos);
  EXPECT_EQ(t.find("glTexCoord"), std::string::npos);
}

TEST_F(LatticeTest, AHugeGridDrawsABoundedLattice) {
  // At most 64 points each side of the origin: x -64..64, y and z -1..1.
  run("new l jit.gl.lattice @grid 100000 2 2");
  EXPECT_EQ(segments(), 128 * 9 + 129 * 2 * 3 + 129 * 3 * 2);
  EXPECT_EQ(run("send l getgrid"), "l.1: grid 100000 2 2\n");
}

TEST_F(LatticeTest, WrapperMessagesAndErrors) {
  EXPECT_EQ(run("new l jit.gl.lattice there @grid 3 3 3\nsend l getdrawto"), "l.1: drawto there\n");
  EXPECT_EQ(run("new n jit.gl.lattice @grid 3 @nope 1 2\nsend n getgrid"),
            "error: jit.gl.lattice: no attribute \"nope\"\nn.1: grid 3 10 10\n");
  // No matrix output for this class, and the layer's private methods are not messages.
  EXPECT_EQ(run("send l matrixoutput 1\nsend l ob3d_draw\nsend l dest_changed\nsend l jit_matrix m"),
            "error: jit.gl.lattice: doesn't understand \"matrixoutput\"\n"
            "error: jit.gl.lattice: doesn't understand \"ob3d_draw\"\n"
            "error: jit.gl.lattice: doesn't understand \"dest_changed\"\n"
            "error: jit.gl.lattice: doesn't understand \"jit_matrix\"\n");
  EXPECT_EQ(run("assist l inlet 0\nassist l outlet 0\nassist l outlet 1\nassist l outlet 2"),
            "assist l inlet 0: (messages) attributes and methods\n"
            "assist l outlet 0: (jit_matrix) geometry when matrixoutput is on\n"
            "assist l outlet 1: (messages) attribute values\n"
            "assist l outlet 2:\n");
  EXPECT_EQ(mistakes(), "");
}

TEST_F(LatticeTest, FreedLatticeLeavesDrawing) {
  // The wrapper frees its inner object without detaching; it must still leave drawing.
  run("new l jit.gl.lattice\nnew k jit.gl.lattice @grid 2 2 2\nfree l\ngltrace on");
  std::vector<std::uint8_t> rgb;
  std::string why;
  ASSERT_TRUE(kohost::render_image(patch, kohost::Camera{}, 32, 32, rgb, &why)) << why;
  // Only k drew.
  EXPECT_EQ(count_lines(out.str(), "gl: glBegin GL_LINES"), 54);
  EXPECT_EQ(run("gltrace off\nfree k"), "");
}

// Where the camera puts a point: pixel column and row (from the bottom) of an image.
struct Projector {
  kohost::Camera cam;
  int w, h;
  bool project(const double p[3], double& col, double& row) const {
    double f[3], s[3], u[3];
    for (int i = 0; i < 3; ++i) f[i] = cam.lookat[i] - cam.eye[i];
    normalize(f);
    cross(f, cam.up, s);
    normalize(s);
    cross(s, f, u);
    double d[3];
    for (int i = 0; i < 3; ++i) d[i] = p[i] - cam.eye[i];
    const double xe = dot(s, d), ye = dot(u, d), ze = -dot(f, d);
    if (ze > -cam.near_clip) return false;
    const double t = 1.0 / std::tan(cam.lens_angle * std::numbers::pi / 360.0);
    const double aspect = static_cast<double>(w) / h;
    col = (t / aspect * xe / -ze + 1.0) * w / 2.0;
    row = (t * ye / -ze + 1.0) * h / 2.0;
    return true;
  }
  static double dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
  static void cross(const double* a, const double* b, double* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
  }
  static void normalize(double* a) {
    const double l = std::sqrt(dot(a, a));
    for (int i = 0; i < 3; ++i) a[i] /= l;
  }
};

struct Seg {
  double a[3], b[3];
};

// The segments of a lattice of half extents h, moved by an offset.
std::vector<Seg> lattice_segments(int hx, int hy, int hz, const double offset[3]) {
  std::vector<Seg> out;
  for (int k = -hz; k <= hz; ++k)
    for (int i = -hx; i <= hx; ++i)
      for (int j = -hy; j <= hy; ++j) {
        const double p[3] = {i + offset[0], j + offset[1], k + offset[2]};
        if (i != hx) out.push_back({{p[0], p[1], p[2]}, {p[0] + 1, p[1], p[2]}});
        if (j != hy) out.push_back({{p[0], p[1], p[2]}, {p[0], p[1] + 1, p[2]}});
        if (k != hz) out.push_back({{p[0], p[1], p[2]}, {p[0], p[1], p[2] + 1}});
      }
  return out;
}

double distance_to_segment(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
  t = t < 0 ? 0 : t > 1 ? 1 : t;
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

struct PixelCase {
  const char* creation;
  kohost::Camera cam;
  double offset[3];
};

TEST_F(LatticeTest, RenderedLinesAreWhereTheCameraPutsThem) {
  kohost::Camera straight;
  straight.eye[2] = 5;
  kohost::Camera oblique;
  oblique.eye[0] = 3;
  oblique.eye[1] = 2;
  oblique.eye[2] = 6;
  oblique.lookat[0] = 0.5;
  oblique.lookat[1] = 0.25;
  const PixelCase cases[] = {
      {"@grid 2 2 2 @color 1 0 0 1", straight, {0, 0, 0}},
      {"@grid 2 2 2 @color 1 0 0 1 @position 0.5 0.25 0", oblique, {0.5, 0.25, 0}},
  };
  const int w = 200, h = 160;
  for (const PixelCase& c : cases) {
    SCOPED_TRACE(c.creation);
    run(std::string("new l jit.gl.lattice ") + c.creation);
    std::vector<std::uint8_t> rgb;
    std::string why;
    ASSERT_TRUE(kohost::render_image(patch, c.cam, w, h, rgb, &why)) << why;
    ASSERT_EQ(rgb.size(), static_cast<std::size_t>(w * h * 3));
    auto at = [&](int col, int row) { return &rgb[(static_cast<std::size_t>(row) * w + col) * 3]; };
    auto lit_near = [&](double col, double row) {
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int x = static_cast<int>(std::floor(col)) + dx, y = static_cast<int>(std::floor(row)) + dy;
          if (x >= 0 && y >= 0 && x < w && y < h && at(x, y)[0] > 0) return true;
        }
      return false;
    };
    const Projector pr{c.cam, w, h};
    std::vector<double> proj;  // a col, a row, b col, b row per segment
    for (const Seg& s : lattice_segments(1, 1, 1, c.offset)) {
      double ac, ar, bc, br;
      ASSERT_TRUE(pr.project(s.a, ac, ar) && pr.project(s.b, bc, br));
      proj.insert(proj.end(), {ac, ar, bc, br});
      for (double t : {0.25, 0.5, 0.75}) {
        EXPECT_TRUE(lit_near(ac + t * (bc - ac), ar + t * (br - ar)))
            << "segment from (" << s.a[0] << " " << s.a[1] << " " << s.a[2] << ") at t " << t;
      }
    }
    ASSERT_EQ(proj.size(), 54u * 4);
    // Lit pixels show the lattice's colour at full strength (the layer turns the normal of
    // geometry without normals towards the light); every pixel away from all segments is
    // the black background.
    int lit = 0, background = 0;
    for (int row = 0; row < h; ++row)
      for (int col = 0; col < w; ++col) {
        const std::uint8_t* p = at(col, row);
        if (p[0] > 0) {
          ++lit;
          EXPECT_EQ(p[1], 0);
          EXPECT_EQ(p[2], 0);
        }
        double nearest = 1e9;
        for (std::size_t i = 0; i < proj.size(); i += 4)
          nearest = std::min(nearest, distance_to_segment(col + 0.5, row + 0.5, proj[i], proj[i + 1], proj[i + 2],
                                                          proj[i + 3]));
        if (nearest > 2.0) {
          ++background;
          EXPECT_TRUE(p[0] == 0 && p[1] == 0 && p[2] == 0) << "pixel " << col << " " << row;
        }
      }
    int full = 0;
    for (int row = 0; row < h; ++row)
      for (int col = 0; col < w; ++col) full += at(col, row)[0] >= 250;
    EXPECT_GT(lit, 300);
    EXPECT_GT(full, lit * 9 / 10);
    EXPECT_GT(background, w * h / 2);
    run("free l");
  }
}

TEST_F(LatticeTest, RenderWritesAPngAndNothingToDrawGivesAnEmptyImage) {
  const auto dir = std::filesystem::temp_directory_path() / ("ko-lattice-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string empty = (dir / "empty.png").string(), full = (dir / "full.png").string();
  EXPECT_EQ(run("render " + empty + " 40 30"), "");
  EXPECT_EQ(run("new l jit.gl.lattice @grid 2 2 2\ncamera eye 0 0 5\nrender " + full + " 40 30"), "");
  EXPECT_EQ(mistakes(), "");
  kohost::GreyImage a, b;
  std::string why;
  ASSERT_TRUE(kohost::read_grey_image(empty, a, &why)) << why;
  ASSERT_TRUE(kohost::read_grey_image(full, b, &why)) << why;
  EXPECT_EQ(a.width, 40);
  EXPECT_EQ(a.height, 30);
  EXPECT_EQ(a.pixels, std::vector<std::uint8_t>(40 * 30, 0));
  int lit = 0;
  for (std::uint8_t v : b.pixels) lit += v > 0;
  EXPECT_GT(lit, 40);
  // The same picture loads back as a grey matrix.
  EXPECT_EQ(run("matrix pic load " + full), "");
  EXPECT_EQ(run("render " + (dir / "nowhere" / "x.png").string() + " 8 8").substr(0, 28),
            "error: render: cannot write ");
  EXPECT_EQ(run("render x.png 0 10\nrender x.png 9000 10"),
            "error: render: the image must be 1 to 8192 pixels a side\n"
            "error: render: the image must be 1 to 8192 pixels a side\n");
  std::filesystem::remove_all(dir);
}

TEST_F(LatticeTest, CameraFollowsWhatAViewnavLastSent) {
  load({"ko-viewnav"});
  const auto dir = std::filesystem::temp_directory_path() / ("ko-follow-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  script.set_base_dir(dir.string());
  const std::string sent = run(
      "new l jit.gl.lattice @grid 2 2 2\nnew c ko-viewnav @pos 1 0.5 6\ncamera follow c\n"
      "send c rotate.y 12\nsend c rotate.x -8\nsend c bang\nrender followed.png 64 48");
  // The same camera set by hand, from the three vectors the bang sent.
  std::istringstream lines(sent);
  std::string by_hand;
  for (std::string l; std::getline(lines, l);) {
    const std::string rest = l.substr(l.find("list ") + 5);
    if (l.rfind("c.0: ", 0) == 0) by_hand += "camera lookat " + rest + "\n";
    if (l.rfind("c.1: ", 0) == 0) by_hand += "camera eye " + rest + "\n";
    if (l.rfind("c.2: ", 0) == 0) by_hand += "camera up " + rest + "\n";
  }
  ASSERT_EQ(std::count(by_hand.begin(), by_hand.end(), '\n'), 3) << sent;
  run(by_hand + "render by_hand.png 64 48\ncamera eye 0 0 2\nrender default.png 64 48");
  // A camera set by hand stops following: a later bang changes nothing.
  run("send c fwd 3\nsend c bang\nrender after.png 64 48");
  EXPECT_EQ(mistakes(), "");
  kohost::GreyImage followed, by_hand_img, plain, after;
  std::string why;
  ASSERT_TRUE(kohost::read_grey_image((dir / "followed.png").string(), followed, &why)) << why;
  ASSERT_TRUE(kohost::read_grey_image((dir / "by_hand.png").string(), by_hand_img, &why)) << why;
  ASSERT_TRUE(kohost::read_grey_image((dir / "default.png").string(), plain, &why)) << why;
  ASSERT_TRUE(kohost::read_grey_image((dir / "after.png").string(), after, &why)) << why;
  EXPECT_EQ(followed.pixels, by_hand_img.pixels);
  EXPECT_NE(followed.pixels, plain.pixels);
  EXPECT_EQ(after.pixels, plain.pixels);
  std::filesystem::remove_all(dir);
}

TEST_F(LatticeTest, ExampleRendersItsPicture) {
  const std::filesystem::path examples = std::filesystem::path(__FILE__).parent_path().parent_path() / "examples";
  const auto dir = std::filesystem::temp_directory_path() / ("ko-example-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ifstream in(examples / "lattice.kpat");
  ASSERT_TRUE(in) << "examples/lattice.kpat";
  std::stringstream text;
  text << in.rdbuf();
  script.set_base_dir(dir.string());
  const std::string printed = run(text.str());
  EXPECT_EQ(mistakes(), "");
  EXPECT_EQ(printed.find("error"), std::string::npos) << printed;
  kohost::GreyImage made, kept;
  std::string why;
  ASSERT_TRUE(kohost::read_grey_image((dir / "lattice.png").string(), made, &why)) << why;
  ASSERT_TRUE(kohost::read_grey_image((examples / "lattice.png").string(), kept, &why)) << why;
  ASSERT_EQ(made.width, kept.width);
  ASSERT_EQ(made.height, kept.height);
  // The committed picture is what the example draws (a few pixels of slack for drivers).
  std::size_t same = 0, lit = 0;
  for (std::size_t i = 0; i < made.pixels.size(); ++i) {
    same += made.pixels[i] == kept.pixels[i];
    lit += made.pixels[i] > 0;
  }
  EXPECT_GT(lit, made.pixels.size() / 50);
  EXPECT_GE(same, made.pixels.size() * 99 / 100);
  std::filesystem::remove_all(dir);
}

}  // namespace
