#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <utility>

#include "host/text.h"
#include "support/patch_fixture.h"

namespace {

using Heights = std::map<std::pair<int, int>, std::string>;

// What a bang sends in layout 1 from object s: (i, j, height) row by row over a
// rows x cols lattice; cells not named are 0.
std::string cells(int rows, int cols, const Heights& heights = {}, const std::string& id = "s") {
  std::string s;
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) {
      auto it = heights.find({i, j});
      s += id + ".0: list " + std::to_string(i) + " " + std::to_string(j) + " " +
           (it == heights.end() ? "0.0" : it->second) + "\n";
    }
  return s;
}

std::size_t line_count(const std::string& s) { return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n')); }

// The heights of the lines that are not 0, as "i j h" lines.
std::string not_flat(const std::string& out) {
  std::istringstream in(out);
  std::string line;
  std::string s;
  while (std::getline(in, line))
    if (line.size() < 4 || line.compare(line.size() - 4, 4, " 0.0") != 0) s += line.substr(line.find("list ") + 5) + "\n";
  return s;
}

const std::string kDiagonalRise = "0.042426407";  // 0.06 * 0.707106781373095

class SpringMeshTest : public PatchTest {
 protected:
  // The stores outlive instances: every test starts from a flat 100 x 100 surface.
  void SetUp() override {
    load({"ko-springmesh"});
    run("new flat ko-springmesh\nsend flat grid 100 100\nsend flat zero\nfree flat");
  }
};

TEST_F(SpringMeshTest, FreshInstanceSendsAFlat10By10Lattice) {
  EXPECT_EQ(run("new s ko-springmesh\nsend s bang"), cells(10, 10));
  EXPECT_EQ(mistakes(), "");
}

TEST_F(SpringMeshTest, SpikeSpreadsToItsEightNeighbours) {
  EXPECT_EQ(run("new s ko-springmesh\nsend s shape 2"), "");
  // Z(5, 5) = 15 - 0.002 * 2 * 15 * (4 + 4 w).
  EXPECT_EQ(not_flat(run("send s bang")),
            "4 4 " + kDiagonalRise + "\n4 5 0.06\n4 6 " + kDiagonalRise +
                "\n"
                "5 4 0.06\n5 5 14.590295\n5 6 0.06\n"
                "6 4 " +
                kDiagonalRise + "\n6 5 0.06\n6 6 " + kDiagonalRise + "\n");
  EXPECT_EQ(kohost::format_float(static_cast<float>(15 - 0.002 * 2 * 15 * (4 + 4 * 0.707106781373095))), "14.590295");
  // "shape 0" applies shape 2 again, still.
  EXPECT_EQ(run("send s shape 0\nsend s om 7\nsend s bang\nsend s shape\nsend s om 1\nsend s dt 0\nsend s bang"),
            cells(10, 10, {{{5, 5}, "15.0"}}));
}

TEST_F(SpringMeshTest, PresetShapes) {
  run("new s ko-springmesh\nsend s dt 0");  // with dt 0 and no velocity a bang shows the shape
  const auto shape = [&](int n) { return not_flat(run("send s shape " + std::to_string(n) + "\nsend s bang")); };
  // Row 1 holds m / 4 = 2 inside the edges.
  EXPECT_EQ(shape(4), "1 1 2.0\n1 2 2.0\n1 3 2.0\n1 4 2.0\n1 5 2.0\n1 6 2.0\n1 7 2.0\n1 8 2.0\n");
  // m / 6 = 1 where m - i - j is 1 or 2; the edge rule clears the band's ends.
  EXPECT_EQ(shape(3), "1 7 1.0\n1 8 1.0\n2 6 1.0\n2 7 1.0\n3 5 1.0\n3 6 1.0\n4 4 1.0\n4 5 1.0\n"
                      "5 3 1.0\n5 4 1.0\n6 2 1.0\n6 3 1.0\n7 1 1.0\n7 2 1.0\n8 1 1.0\n");
  // Middle square 3 < i, j < 6: 2 outside it (shape 5), 2 inside it (shape 6).
  EXPECT_EQ(shape(6), "4 4 2.0\n4 5 2.0\n5 4 2.0\n5 5 2.0\n");
  EXPECT_EQ(line_count(shape(5)), 64u - 4u);
  // i, j > 7.
  EXPECT_EQ(shape(8), "8 8 2.0\n");
  EXPECT_EQ(line_count(shape(7)), 43u);  // m - i - j < 3 inside the edges
  EXPECT_EQ(shape(1), "");
  // 10 (sin(pi i / 10) + sin(pi j / 10)) / 6 inside, the edges (row 9 and column 9) 0.
  std::string sines;
  std::string waves;
  for (int i = 1; i < 9; ++i)
    for (int j = 1; j < 9; ++j) {
      const double a = 10 * (std::sin(std::numbers::pi * i / 10) + std::sin(std::numbers::pi * j / 10)) *
                       0.16666666666666666;
      const double b = 10 * (std::sin(2 * std::numbers::pi * i / 10) + std::sin(2 * std::numbers::pi * j / 10)) *
                       0.16666666666666666;
      sines += std::to_string(i) + " " + std::to_string(j) + " " + kohost::format_float(static_cast<float>(a)) + "\n";
      if (b != 0) waves += std::to_string(i) + " " + std::to_string(j) + " " + kohost::format_float(static_cast<float>(b)) + "\n";
    }
  EXPECT_EQ(shape(9), sines);
  EXPECT_EQ(not_flat(run("send s shape 9\nsend s bang")).substr(0, 28), "1 1 1.0300566\n1 2 1.4946704\n");
  EXPECT_EQ(shape(10), waves);
}

TEST_F(SpringMeshTest, OtherShapeNumbersKeepHeightsButFlattenTheEdges) {
  run("new s ko-springmesh\nsend s dt 0\nsend s xyz 3 3 4\nsend s xyz 0 5 2\nsend s xyz 9 9 1\nsend s xyz 4 9 7");
  // Before any shape: a rebuild keeps the inside and flattens the edges.
  EXPECT_EQ(not_flat(run("send s shape 0\nsend s bang")), "3 3 4.0\n");
  for (const char* n : {"11", "-2", "65536"}) {
    SCOPED_TRACE(n);
    run("send s xyz 0 5 2\nsend s xyz 3 3 4");
    EXPECT_EQ(not_flat(run(std::string("send s shape ") + n + "\nsend s bang")), "3 3 4.0\n");
  }
}

TEST_F(SpringMeshTest, ShapeFlattensTheTrueEdgesOfALatticeThatIsNotSquare) {
  // Shape 5 at m = 6: 1 everywhere but the middle square 2 < i, j < 4.
  run("new s ko-springmesh\nsend s dt 0\nsend s grid 6 10\nsend s shape 5");
  std::string lines;
  for (int i = 1; i < 5; ++i)
    for (int j = 1; j < 9; ++j)
      if (!(i == 3 && j == 3)) lines += std::to_string(i) + " " + std::to_string(j) + " 1.0\n";
  EXPECT_EQ(not_flat(run("send s bang")), lines);
  // Ten rows, six columns: column 5 is the edge, row 5 is not.
  run("send s grid 100 100\nsend s zero\nsend s grid 10 6\nsend s shape 5");
  lines.clear();
  for (int i = 1; i < 9; ++i)
    for (int j = 1; j < 5; ++j)
      if (!(i == 3 && j == 3)) lines += std::to_string(i) + " " + std::to_string(j) + " 1.0\n";
  EXPECT_EQ(not_flat(run("send s bang")), lines);
}

TEST_F(SpringMeshTest, ForcesAccumulateWithoutZeroForce) {
  // Two steps with dt 0 gather the spike's forces twice; the third step adds them a third
  // time and moves the neighbours three times as far as one step would.
  run("new s ko-springmesh\nsend s shape 2\nsend s zero_force 0\nsend s dt 0\nsend s om 7\nsend s bang\nsend s bang");
  const std::string out = not_flat(run("send s dt 0.002\nsend s om 1\nsend s bang"));
  EXPECT_NE(out.find("4 5 0.18\n"), std::string::npos) << out;
  EXPECT_NE(out.find("5 4 0.18\n"), std::string::npos) << out;
  // zero_force keeps its low 8 bits: 256 is 0 as well.
  run("send s shape 2\nsend s zero_force 256\nsend s dt 0\nsend s om 7\nsend s bang\nsend s bang");
  EXPECT_EQ(not_flat(run("send s dt 0.002\nsend s om 1\nsend s bang")), out);
  // With zero_force on, each step starts from no force. ("dt" arrives as a 32-bit float,
  // a little above 0.002.)
  run("send s shape 2\nsend s zero_force 1\nsend s dt 0\nsend s om 7\nsend s bang\nsend s bang");
  EXPECT_NE(not_flat(run("send s dt 0.002\nsend s om 1\nsend s bang")).find("4 5 0.060000002\n"), std::string::npos);
}

TEST_F(SpringMeshTest, WithoutForceOrDtHeightsMoveByTheirVelocity) {
  run("new s ko-springmesh\nsend s shape 2\nsend s om 7\nsend s bang");
  // dt 0 (no argument): velocities stay, heights keep moving by them.
  const std::string two = not_flat(run("send s dt\nsend s om 1\nsend s bang"));
  EXPECT_NE(two.find("4 5 0.12\n"), std::string::npos) << two;
  // A poke at (2, 2) gives (1, 2) a velocity of 0.002. Four rows or fewer: no spring
  // forces, the velocity stays and lifts (1, 2) again.
  run("send s shape 1\nsend s dt 0.002\nsend s xyz 2 2 1\nsend s om 7\nsend s bang\nsend s grid 4 10\nsend s bang");
  EXPECT_NE(run("send s grid 10 10\nsend s dt 0\nsend s om 1\nsend s bang").find("s.0: list 1 2 0.006\n"),
            std::string::npos);
}

TEST_F(SpringMeshTest, PokesWriteTheSelectedCell) {
  run("new s ko-springmesh");
  // "xy" then a float: the height is set, then one step and the output.
  const std::string poke = run("send s xy 3 4\nsend s 1.5");
  EXPECT_EQ(line_count(poke), 100u);
  EXPECT_NE(poke.find("s.0: list 3 4 1.4590294\n"), std::string::npos) << not_flat(poke);
  EXPECT_EQ(run("send s zero\nsend s xyz 3 4 1.5\nsend s bang"), poke);
  // An int goes as a 32-bit float; row 0 never moves.
  EXPECT_EQ(run("send s xy 0 0\nsend s 16777217").substr(0, 27), "s.0: list 0 0 16777216.0\ns.");
  EXPECT_EQ(run("send s xyz 0 0 5\nsend s bang\nsend s bang\nsend s bang").substr(0, 20), "s.0: list 0 0 5.0\ns.");
  EXPECT_EQ(run("send s om 7\nsend s xyz 0 0 5.5\nsend s bang\nsend s om 1\nsend s bang").substr(0, 20),
            "s.0: list 0 0 5.5\ns.");
  // The selection keeps its low 16 bits: 65536 is 0.
  EXPECT_EQ(run("send s xyz 65536 0 6\nsend s bang").substr(0, 20), "s.0: list 0 0 6.0\ns.");
}

TEST_F(SpringMeshTest, ACellOutsideTheStoreIsNotWritten) {
  run("new s ko-springmesh\nsend s dt 0");
  for (const char* sel : {"100 0", "0 100", "-1 5", "5 -1", "32767 32767"}) {
    SCOPED_TRACE(sel);
    EXPECT_EQ(run(std::string("send s xy ") + sel + "\nsend s 9.5"), cells(10, 10));
    EXPECT_EQ(run(std::string("send s xyz ") + sel + " 3\nsend s bang"), cells(10, 10));
  }
  EXPECT_EQ(mistakes(), "");
}

TEST_F(SpringMeshTest, GridResizesWithoutRebuilding) {
  run("new s ko-springmesh\nsend s dt 0");
  // 150 rows become 100.
  std::string out = run("send s grid 150 50\nsend s bang");
  EXPECT_EQ(line_count(out), 5000u);
  EXPECT_TRUE(out.ends_with("\ns.0: list 99 49 0.0\n"));
  // A count of 0 or less changes nothing; a missing one is 0.
  for (const char* g : {"0 20", "20 -1", "5", ""}) {
    SCOPED_TRACE(g);
    EXPECT_EQ(line_count(run(std::string("send s grid ") + g + "\nsend s bang")), 5000u);
  }
  // Cells brought in keep what the store holds there.
  run("send s xyz 20 30 2.5\nsend s grid 10 10");
  EXPECT_EQ(run("send s grid 21 31\nsend s bang").find("s.0: list 20 30 2.5\n") != std::string::npos, true);
  EXPECT_EQ(run("send s grid 5.9 3\nsend s bang"), cells(5, 3));
}

TEST_F(SpringMeshTest, OutputLayouts) {
  // Two rows, three columns: no spring forces, and with dt 0 nothing moves. Row 2 lies
  // outside the lattice.
  run("new s ko-springmesh\nsend s dt 0\nsend s grid 3 3\nsend s xyz 0 1 1\nsend s xyz 1 2 2\n"
      "send s xyz 2 0 3\nsend s grid 2 3");
  const std::string rows = cells(2, 3, {{{0, 1}, "1.0"}, {{1, 2}, "2.0"}});
  // Layout 0 runs its first index over cols and its second over rows.
  const std::string columns =
      "s.0: list 0 0 0.0\ns.0: list 1 0 0.0\ns.0: list 2 0 3.0\n"
      "s.0: list 0 1 1.0\ns.0: list 1 1 0.0\ns.0: list 2 1 0.0\n";
  EXPECT_EQ(run("send s om 0\nsend s bang"), columns);
  EXPECT_EQ(run("send s om 1\nsend s bang"), rows);
  EXPECT_EQ(run("send s om 2\nsend s bang"), rows + columns);
  EXPECT_EQ(run("send s om 3\nsend s bang"),
            "s.0: list 0 0 0.0\ns.0: list 1 0 0.0\ns.0: list 0 1 1.0\ns.0: list 1 1 0.0\n"
            "s.0: list 0 2 0.0\ns.0: list 1 2 2.0\ns.0: list 1 0 0.0\ns.0: list 2 0 3.0\n"
            "s.0: list 1 1 0.0\ns.0: list 2 1 0.0\ns.0: list 1 2 2.0\ns.0: list 2 2 0.0\n");
  EXPECT_EQ(run("send s om 4\nsend s bang\nsend s om -1\nsend s bang"), "");
  EXPECT_EQ(run("send s om 65537\nsend s bang"), rows);
  // At 100 rows layout 3 reads a row past the store as 0.
  const std::string out = run("send s grid 100 100\nsend s xyz 99 99 7\nsend s om 3\nsend s bang");
  EXPECT_EQ(line_count(out), 20000u);
  EXPECT_TRUE(out.ends_with("\ns.0: list 99 99 7.0\ns.0: list 100 99 0.0\n"));
}

TEST_F(SpringMeshTest, InstancesShareOneSurface) {
  run("new a ko-springmesh\nsend a shape 2\nnew b ko-springmesh\nsend b dt 0");
  // b's creation applied its own (empty) shape to the corner: the spike is still there.
  EXPECT_EQ(not_flat(run("send b bang")), "5 5 15.0\n");
  EXPECT_EQ(run("send a zero\nsend b bang"), cells(10, 10, {}, "b"));
  // A new instance resets its 10 x 10 corner only, and freeing one leaves the surface.
  run("send a grid 20 20\nsend a xyz 15 15 3\nsend a xyz 5 5 4\nsend a xyz 9 5 2\nfree b\nnew c ko-springmesh\nfree c");
  EXPECT_EQ(not_flat(run("send a dt 0\nsend a om 7\nsend a bang\nsend a om 1\nsend a bang")),
            "5 5 4.0\n15 15 3.0\n");
}

TEST_F(SpringMeshTest, AssistText) {
  EXPECT_EQ(run("new s ko-springmesh\nassist s inlet 0\nassist s inlet 1\nassist s outlet 0\nassist s outlet 1"),
            "assist s inlet 0: echo e   c  h   o\n"
            "assist s inlet 1: echo e   c  h   o\n"
            "assist s outlet 0: (list)  x,y,Z   e         c            h              o\n"
            "assist s outlet 1:\n");
}

}  // namespace
