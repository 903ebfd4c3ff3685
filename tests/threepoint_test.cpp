#include <cmath>
#include <string>

#include "objects/ko-threepoint/threepoint_math.h"
#include "support/patch_fixture.h"

namespace {

// ---------------------------------------------------------------------------
// The plane and the height on it, in doubles.

TEST(ThreePointMath, PointsLieOnTheirPlaneAndHeightsReturnToThem) {
  // Small integer points keep every product exact, so the checks are exact too.
  const ko::vec3 cases[][3] = {
      {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
      {{2, -3, 5}, {-1, 4, 2}, {7, 1, -6}},
      {{0, 0, 3}, {1, 0, 3}, {0, 1, 3}},     // level plane z = 3
      {{1, 2, 3}, {-4, 0, 9}, {3, -5, -2}},
      {{-2, -2, 0}, {5, 1, 1}, {0, 3, -4}},
  };
  for (const auto& p : cases) {
    const ko::threepoint::Plane pl = ko::threepoint::plane_through(p[0], p[1], p[2]);
    ko::vec3 e1;
    ko::vec3 e2;
    ko::vec3 n;
    ko::vec3_sub(e1, p[1], p[0]);
    ko::vec3_sub(e2, p[2], p[0]);
    ko::vec3_cross(n, e1, e2);
    EXPECT_EQ(pl.a, n.x);
    EXPECT_EQ(pl.b, n.y);
    EXPECT_EQ(pl.c, n.z);
    for (const ko::vec3& v : p) {
      EXPECT_EQ(pl.a * v.x + pl.b * v.y + pl.c * v.z + pl.d, 0.0);
      EXPECT_EQ(ko::threepoint::height_on(pl, v.x, v.y), v.z);
    }
  }
}

TEST(ThreePointMath, NoHeightWhereThePlaneHasNoZComponent) {
  // Points on one line: no plane at all.
  const ko::threepoint::Plane line = ko::threepoint::plane_through({1, 0, 0}, {0, 1, 0}, {3, -2, 0});
  EXPECT_EQ(line.a, 0.0);
  EXPECT_EQ(line.b, 0.0);
  EXPECT_EQ(line.c, 0.0);
  EXPECT_EQ(line.d, 0.0);
  EXPECT_TRUE(std::isnan(ko::threepoint::height_on(line, 1, 1)));
  // A wall x + y = 1.
  const ko::threepoint::Plane wall = ko::threepoint::plane_through({1, 0, 0}, {0, 1, 0}, {1, 0, 1});
  EXPECT_EQ(ko::threepoint::height_on(wall, 0, 0), INFINITY);
  EXPECT_EQ(ko::threepoint::height_on(wall, 2, 0), -INFINITY);
}

// ---------------------------------------------------------------------------
// The object in a patch.

class ThreePointTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-threepoint"}); }
};

TEST_F(ThreePointTest, PointMessageEmitsThePlaneAndPointsLieOnIt) {
  EXPECT_EQ(run("new t ko-threepoint\nsend t p1 1 0 0"), "t.1: list 1.0 1.0 1.0 -1.0\n");
  // x + y + z = 1 above (0, 0) and (1, 1).
  EXPECT_EQ(run("send t bang\nsend t 1 1"), "t.0: list 0.0 0.0 1.0\nt.0: list 1.0 1.0 -1.0\n");
  // The plane does not move with the position, and bang emits the last position again.
  EXPECT_EQ(run("send t 0.5 0.25\nsend t bang"), "t.0: list 0.5 0.25 0.25\nt.0: list 0.5 0.25 0.25\n");
}

TEST_F(ThreePointTest, BangBeforeAnyPointMessageHasNoHeight) {
  EXPECT_EQ(run("new t ko-threepoint\nsend t bang"), "t.0: list 0.0 0.0 nan\n");
  // A short list keeps the coordinate it leaves out; a symbol ends the numbers.
  EXPECT_EQ(run("send t 4 6\nsend t list 9\nsend t list 1 y 7\nsend t list"),
            "t.0: list 4.0 6.0 nan\nt.0: list 9.0 6.0 nan\nt.0: list 1.0 6.0 nan\nt.0: list 1.0 6.0 nan\n");
}

TEST_F(ThreePointTest, LevelPlaneThroughTheOrigin) {
  EXPECT_EQ(run("new t ko-threepoint\nsend t p3 0 0 0\nsend t 5 7\nsend t -2 3"),
            "t.1: list 0.0 0.0 1.0 0.0\nt.0: list 5.0 7.0 0.0\nt.0: list -2.0 3.0 0.0\n");
}

TEST_F(ThreePointTest, PlanesWithoutZComponentGiveNoFiniteHeight) {
  // Three points on one line.
  EXPECT_EQ(run("new t ko-threepoint\nsend t p3 3 -2 0\nsend t bang"),
            "t.1: list 0.0 0.0 0.0 0.0\nt.0: list 0.0 0.0 nan\n");
  // The wall x + y = 1: no height, on either side of it.
  EXPECT_EQ(run("send t p3 1 0 1\nsend t bang\nsend t 2 0"),
            "t.1: list 1.0 1.0 0.0 -1.0\nt.0: list 0.0 0.0 inf\nt.0: list 2.0 0.0 -inf\n");
}

TEST_F(ThreePointTest, ShortPointMessagesKeepTheOtherCoordinates) {
  // p3 becomes (5, 0, 1), not (5, 0, 0).
  EXPECT_EQ(run("new t ko-threepoint\nsend t p3 5"), "t.1: list 1.0 1.0 -4.0 -1.0\n");
  // p2 becomes (3, 1, 0): the symbol stops the numbers, 7 is not taken.
  EXPECT_EQ(run("send t p2 3 w 7"), "t.1: list 1.0 -2.0 -4.0 -1.0\n");
  // No numbers: the plane is recomputed from the points as they are.
  EXPECT_EQ(run("send t p1"), "t.1: list 1.0 -2.0 -4.0 -1.0\n");
  EXPECT_EQ(run("send t p1 0.5 x"), "t.1: list 1.0 -2.5 -4.5 -0.5\n");
}

TEST_F(ThreePointTest, CreationArgumentsOnlyStore) {
  // Nothing is emitted at creation and the plane stays unknown until a point message.
  EXPECT_EQ(run("new t ko-threepoint @p1 0 0 1 @xy 2 3\nsend t bang"), "t.0: list 2.0 3.0 nan\n");
  // Then the position and p1 from the arguments are used: x + y + z = 1.
  EXPECT_EQ(run("send t p3 1 0 0\nsend t bang"), "t.1: list -1.0 -1.0 -1.0 1.0\nt.0: list 2.0 3.0 -4.0\n");
}

TEST_F(ThreePointTest, CreationKeys) {
  // Each case: a bare "p1" recomputes the plane from the points the arguments left,
  // and bang emits the point at the position they left.
  struct Case {
    const char* args;
    const char* plane;
    const char* point;
  };
  const Case cases[] = {
      {"", "1.0 1.0 1.0 -1.0", "0.0 0.0 1.0"},
      // Out of the fixed order: one key per pass, five passes for eleven arguments.
      {"@xy 2 3 @p3 1 0 0 @p1 0 0 1", "-1.0 -1.0 -1.0 1.0", "2.0 3.0 -4.0"},
      // A key twice; the second "@xy" keeps y.
      {"@xy 2 3 @xy 7", "1.0 1.0 1.0 -1.0", "7.0 3.0 -9.0"},
      // "@p1" at the end takes nothing.
      {"@p2 0 1 5 @p1", "1.0 -4.0 1.0 -1.0", "0.0 0.0 1.0"},
      // "@p1" takes 0 for x, keeps y and z; the symbol then stops everything.
      {"@p1 0 foo 1 @xy 4", "1.0 0.0 0.0 0.0", "0.0 0.0 nan"},
      // A first argument that is no key leaves every default.
      {"2 @xy 2 3", "1.0 1.0 1.0 -1.0", "0.0 0.0 1.0"},
      // Keys that only follow the fixed order within a pass need the passes: 4
      // arguments give 2 passes, so "@p2" is never reached.
      {"@xy @p3 @p2 5", "1.0 1.0 1.0 -1.0", "0.0 0.0 1.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    EXPECT_EQ(run(std::string("new t ko-threepoint ") + c.args + "\nsend t p1\nsend t bang\nfree t"),
              std::string("t.1: list ") + c.plane + "\nt.0: list " + c.point + "\n");
    EXPECT_EQ(mistakes(), "");
  }
}

TEST_F(ThreePointTest, AssistTexts) {
  EXPECT_EQ(run("new t ko-threepoint\nassist t inlet 0\nassist t inlet 3\nassist t outlet 0\n"
                "assist t outlet 1\nassist t outlet 2"),
            "assist t inlet 0: echo e   c  h   o\n"
            "assist t inlet 3: echo e   c  h   o\n"
            "assist t outlet 0: (list) xyz     e         c            h              o\n"
            "assist t outlet 1: (list) plane eq    e         c            h              o\n"
            "assist t outlet 2:\n");
}

}  // namespace
