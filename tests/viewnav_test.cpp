#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "frame/numeric.h"
#include "objects/ko-viewnav/viewnav_math.h"
#include "support/patch_fixture.h"

namespace {

// What one bang sends, right to left: up, position, point looked at.
std::string bang_lines(const std::string& up, const std::string& pos, const std::string& at) {
  return "c.2: list " + up + "\nc.1: list " + pos + "\nc.0: list " + at + "\n";
}

const std::string kDefaultBang = bang_lines("0.0 1.0 0.0", "0.0 0.0 0.0", "0.0 0.0 -1.0");

struct Case {
  std::string args;   // creation arguments
  std::string lines;  // script lines sent before the bang
  std::string expected;
};

class ViewNavTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-viewnav"}); }

  // A fresh camera c, the lines, then a bang; returns what the bang sent.
  std::string after(const std::string& args, const std::string& lines) {
    EXPECT_EQ(run("new c ko-viewnav " + args + "\n" + lines), "") << "nothing emits before the bang";
    std::string got = run("send c bang");
    run("free c");
    EXPECT_EQ(mistakes(), "");
    return got;
  }

  void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE("args: " + c.args + " | lines: " + c.lines);
      EXPECT_EQ(after(c.args, c.lines), c.expected);
    }
  }
};

TEST_F(ViewNavTest, BangSendsUpThenPositionThenLookAtPoint) {
  EXPECT_EQ(after("", ""), kDefaultBang);
  EXPECT_EQ(after("", "send c setpos 1 2 3"), bang_lines("0.0 1.0 0.0", "1.0 2.0 3.0", "1.0 2.0 2.0"));
  // Arguments to bang are ignored.
  EXPECT_EQ(run("new c ko-viewnav @pos 1 2 3\nsend c bang 7 8"),
            bang_lines("0.0 1.0 0.0", "1.0 2.0 3.0", "1.0 2.0 2.0"));
}

TEST_F(ViewNavTest, StepsStayInTheHorizontalPlane) {
  check({
      // fwd goes along -look: away from the point looked at.
      {"", "send c fwd 1", bang_lines("0.0 1.0 0.0", "0.0 0.0 1.0", "0.0 0.0 0.0")},
      {"", "send c fwd -0.5", bang_lines("0.0 1.0 0.0", "0.0 0.0 -0.5", "0.0 0.0 -1.5")},
      {"", "send c strafe 2", bang_lines("0.0 1.0 0.0", "2.0 0.0 0.0", "2.0 0.0 -1.0")},
      // With the initial up the up step goes nowhere.
      {"", "send c up 5", kDefaultBang},
      // Whatever the vectors hold, y never moves.
      {"", "send c setlook 1 1 1\nsend c fwd 2", bang_lines("0.0 1.0 0.0", "-2.0 0.0 -2.0", "-1.0 1.0 -1.0")},
      {"", "send c setright 0 3 1\nsend c strafe 2", bang_lines("0.0 1.0 0.0", "0.0 0.0 2.0", "0.0 0.0 1.0")},
      {"", "send c setup 3 4 5\nsend c up 1", bang_lines("3.0 4.0 5.0", "3.0 0.0 5.0", "3.0 0.0 4.0")},
      {"", "send c setpos 0 7 0\nsend c setlook 0 1 0\nsend c fwd 1\nsend c up 1\nsend c strafe 1",
       bang_lines("0.0 1.0 0.0", "1.0 7.0 0.0", "1.0 8.0 0.0")},
      // Only the first atom counts; no number there means no step.
      {"", "send c fwd 1 5 5", bang_lines("0.0 1.0 0.0", "0.0 0.0 1.0", "0.0 0.0 0.0")},
      {"", "send c fwd", kDefaultBang},
      {"", "send c strafe x 2", kDefaultBang},
      {"", "send c up \"3\"", kDefaultBang},
  });
}

TEST_F(ViewNavTest, BoundModesOnX) {
  check({
      {"", "send c boundmode 1 0 0\nsend c strafe 3", bang_lines("0.0 1.0 0.0", "2.0 0.0 0.0", "2.0 0.0 -1.0")},
      // One wrap step: 3 - 2 + (-2 - 1).
      {"", "send c boundmode 2 0 0\nsend c strafe 3", bang_lines("0.0 1.0 0.0", "-2.0 0.0 0.0", "-2.0 0.0 -1.0")},
      {"", "send c boundmode 3 0 0\nsend c strafe 3", bang_lines("0.0 1.0 0.0", "1.0 0.0 0.0", "1.0 0.0 -1.0")},
      // A single wrap step leaves a far position outside the box.
      {"", "send c boundmode 2 0 0\nsend c move 10 0 0", bang_lines("0.0 1.0 0.0", "5.0 0.0 0.0", "5.0 0.0 -1.0")},
      // Any other mode leaves the axis free.
      {"", "send c boundmode 0 0 0\nsend c strafe 3", bang_lines("0.0 1.0 0.0", "3.0 0.0 0.0", "3.0 0.0 -1.0")},
      {"", "send c boundmode 4 0 0\nsend c strafe 3", bang_lines("0.0 1.0 0.0", "3.0 0.0 0.0", "3.0 0.0 -1.0")},
      {"", "send c boundmode -1 0 0\nsend c strafe 3", bang_lines("0.0 1.0 0.0", "3.0 0.0 0.0", "3.0 0.0 -1.0")},
  });
}

TEST_F(ViewNavTest, BoundModesOnYAndZAndEveryBoundedMotion) {
  check({
      {"", "send c boundmode 0 1 0\nsend c move 0 5 0", bang_lines("0.0 1.0 0.0", "0.0 2.0 0.0", "0.0 2.0 -1.0")},
      {"", "send c boundmode 0 0 3\nsend c move 0 0 12", bang_lines("0.0 1.0 0.0", "0.0 0.0 8.0", "0.0 0.0 7.0")},
      // (10 + 1) - (-10 - -11)
      {"", "send c boundmode 0 0 2\nsend c move 0 0 -11", bang_lines("0.0 1.0 0.0", "0.0 0.0 10.0", "0.0 0.0 9.0")},
      {"", "send c boundmode 1\nsend c fwd -20", bang_lines("0.0 1.0 0.0", "0.0 0.0 -10.0", "0.0 0.0 -11.0")},
      {"", "send c boundmode 1\nsend c up 1", kDefaultBang},
      {"", "send c boundmode 1\nsend c setpos 9 -9 9", bang_lines("0.0 1.0 0.0", "2.0 -2.0 9.0", "2.0 -2.0 8.0")},
      {"", "send c boundmode 1\nsend c pov 9 -9 99 0 0 0",
       bang_lines("0.0 1.0 0.0", "2.0 -2.0 10.0", "2.0 -2.0 9.0")},
      {"", "send c boundmode 1\nsend c setpos 1 0 0\nsend c pointrotate 0 0 0 1.5707963 0 20 0",
       bang_lines("0.0 1.0 0.0", "7.54979e-08 0.0 -10.0", "7.54979e-08 0.0 -11.0")},
      {"", "send c setpos 0 0 15\nsend c boundmode 1\nsend c lookrotate 3.1415927 1 0 0",
       bang_lines("0.0 1.0 0.0", "0.0 1.3987644e-06 -10.0", "0.0 1.3987644e-06 -11.0")},
  });
}

TEST_F(ViewNavTest, BoundmodeReading) {
  // After the modes are set, "move 3 3 11" shows each axis: free gives 3 3 11, clip
  // 2 2 10, wrap -2 -2 -10, fold 1 1 9.
  auto probe = [](const std::string& modes) { return "send c boundmode " + modes + "\nsend c move 3 3 11"; };
  auto at = [](const std::string& pos, const std::string& look) {
    return bang_lines("0.0 1.0 0.0", pos, look);
  };
  check({
      {"", probe("2.9"), at("-2.0 -2.0 -10.0", "-2.0 -2.0 -11.0")},
      {"", probe("0 1 3"), at("3.0 2.0 9.0", "3.0 2.0 8.0")},
      {"", probe("65537"), at("2.0 2.0 10.0", "2.0 2.0 9.0")},
      {"", probe("65537.0"), at("2.0 2.0 10.0", "2.0 2.0 9.0")},
      {"", probe("-65535"), at("2.0 2.0 10.0", "2.0 2.0 9.0")},
      {"", probe("-2.9"), at("3.0 3.0 11.0", "3.0 3.0 10.0")},
      {"", probe("1.9 2.9 3.9"), at("2.0 -2.0 9.0", "2.0 -2.0 8.0")},
      {"", probe("65539 65538 65537"), at("1.0 -2.0 10.0", "1.0 -2.0 9.0")},
      // Axes the message does not fill keep their modes.
      {"", "send c boundmode 2\nsend c boundmode 1 3\nsend c move 3 3 11", at("2.0 1.0 -10.0", "2.0 1.0 -11.0")},
      {"", "send c boundmode 2\nsend c boundmode 1 x 3\nsend c move 3 3 11", at("2.0 -2.0 -10.0", "2.0 -2.0 -11.0")},
      {"", "send c boundmode 2\nsend c boundmode x\nsend c move 3 3 11", at("-2.0 -2.0 -10.0", "-2.0 -2.0 -11.0")},
      {"", "send c boundmode 2\nsend c boundmode\nsend c move 3 3 11", at("-2.0 -2.0 -10.0", "-2.0 -2.0 -11.0")},
  });
}

TEST_F(ViewNavTest, BoxAndModesActOnlyAtTheNextMotionAndAreNeverReordered) {
  const std::string outside = bang_lines("0.0 1.0 0.0", "5.0 5.0 5.0", "5.0 5.0 4.0");
  check({
      {"", "send c setpos 5 5 5\nsend c boundmode 1\nsend c min -1 -1 -1\nsend c max 1 1 1", outside},
      {"", "send c setpos 5 5 5\nsend c boundmode 1\nsend c min -1 -1 -1\nsend c max 1 1 1\nsend c move 0 0 0",
       bang_lines("0.0 1.0 0.0", "1.0 1.0 1.0", "1.0 1.0 0.0")},
      // A reversed box is used as it stands: below lo clips to lo.
      {"", "send c boundmode 1\nsend c min 2 2 2\nsend c max -2 -2 -2\nsend c move 0 0 0",
       bang_lines("0.0 1.0 0.0", "2.0 2.0 2.0", "2.0 2.0 1.0")},
      // Unfilled places keep the corner's component.
      {"", "send c boundmode 1\nsend c min -1\nsend c move -5 -5 -50",
       bang_lines("0.0 1.0 0.0", "-1.0 -2.0 -10.0", "-1.0 -2.0 -11.0")},
      {"", "send c boundmode 1\nsend c max 4 x 1\nsend c move 5 5 50",
       bang_lines("0.0 1.0 0.0", "4.0 2.0 10.0", "4.0 2.0 9.0")},
  });
}

TEST_F(ViewNavTest, ResetRestoresTheVectorsButKeepsBoxAndModesAndRunsNoBoundsStep) {
  const std::string lines =
      "send c boundmode 1\nsend c min 1 1 1\nsend c max 3 3 3\nsend c move 0 0 0\n"
      "send c setup 1 0 0\nsend c setlook 0 1 0\nsend c setright 0 0 1\nsend c reset 4 5 6";
  check({
      // The origin lies outside the box and stays there.
      {"", lines, kDefaultBang},
      // The box and the clip mode are still in force at the next motion; right is back
      // to (1, 0, 0).
      {"", lines + "\nsend c strafe 2", bang_lines("0.0 1.0 0.0", "2.0 1.0 1.0", "2.0 1.0 0.0")},
  });
}

TEST_F(ViewNavTest, ThreeNumberMessagesKeepWhatTheyDoNotFill) {
  check({
      {"", "send c move 1 2 3\nsend c move 1", bang_lines("0.0 1.0 0.0", "2.0 2.0 3.0", "2.0 2.0 2.0")},
      {"", "send c move 1 x 2", bang_lines("0.0 1.0 0.0", "1.0 0.0 0.0", "1.0 0.0 -1.0")},
      {"", "send c setpos 1 2 3\nsend c setpos 7", bang_lines("0.0 1.0 0.0", "7.0 2.0 3.0", "7.0 2.0 2.0")},
      {"", "send c setpos 1 2 3\nsend c pov 7 8", bang_lines("0.0 1.0 0.0", "7.0 8.0 3.0", "7.0 8.0 2.0")},
      {"", "send c pov 1 2 3 4 5 6", bang_lines("0.0 1.0 0.0", "1.0 2.0 3.0", "1.0 2.0 2.0")},
      {"", "send c setup 1 x 2", bang_lines("1.0 1.0 0.0", "0.0 0.0 0.0", "0.0 0.0 -1.0")},
      {"", "send c setlook 5", bang_lines("0.0 1.0 0.0", "0.0 0.0 0.0", "5.0 0.0 -1.0")},
      {"", "send c setlook 0.5 -0.25 2.5", bang_lines("0.0 1.0 0.0", "0.0 0.0 0.0", "0.5 -0.25 2.5")},
      {"", "send c setright 0 0", bang_lines("0.0 1.0 0.0", "0.0 0.0 0.0", "0.0 0.0 -1.0")},
      {"", "send c setright 0 0\nsend c strafe 1", kDefaultBang},
  });
}

TEST_F(ViewNavTest, CircleAimsAtAPointWithoutNormalising) {
  check({
      {"", "send c circle.up 0 0 -5", bang_lines("0.0 1.0 0.0", "0.0 0.0 0.0", "0.0 0.0 -5.0")},
      // look is p - pos: fwd then steps 3 along x and 1 along z.
      {"", "send c setpos 1 2 3\nsend c circle.right 4 4 4\nsend c fwd -1",
       bang_lines("0.0 1.0 0.0", "4.0 2.0 4.0", "7.0 4.0 5.0")},
      // An unfilled place keeps look's component.
      {"", "send c setpos 1 2 3\nsend c circle.up 7", bang_lines("0.0 1.0 0.0", "1.0 2.0 3.0", "7.0 2.0 2.0")},
      {"", "send c setpos 1 2 3\nsend c circle.right 7 x 9", bang_lines("0.0 1.0 0.0", "1.0 2.0 3.0", "7.0 2.0 2.0")},
      {"", "send c circle.up", kDefaultBang},
  });
}

TEST_F(ViewNavTest, TurnsThroughTheTableSine) {
  // The turned vectors come out just below unit length (newton_sqrt ends a little high);
  // the one rebuilt by a cross product picks up negative zeros from the negation.
  check({
      {"", "send c rotate.y 90", bang_lines("0.0 1.0 0.0", "0.0 0.0 0.0", "-0.99999994 0.0 0.0")},
      // right is now about (0, 0, -1).
      {"", "send c rotate.y 90\nsend c strafe 1",
       bang_lines("0.0 1.0 0.0", "0.0 0.0 -0.99999994", "-0.99999994 0.0 -0.99999994")},
      {"", "send c rotate.x 90", bang_lines("-0.0 -0.0 0.99999994", "0.0 0.0 0.0", "0.0 0.99999994 0.0")},
      {"", "send c rotate.z 90", bang_lines("-0.99999994 0.0 -0.0", "0.0 0.0 0.0", "0.0 0.0 -1.0")},
      // The table cosine of 0 is just below 1: a turn by 0 still renormalises.
      {"", "send c rotate.x 0", bang_lines("-0.0 0.99999994 -0.0", "0.0 0.0 0.0", "0.0 0.0 -0.99999994")},
      // No number, no turn.
      {"", "send c rotate.x", kDefaultBang},
      {"", "send c rotate.y x 90", kDefaultBang},
      {"", "send c rotate.z \"90\"", kDefaultBang},
  });
}

TEST_F(ViewNavTest, OrbitsAboutAPointAndAboutTheLookComponents) {
  check({
      {"", "send c setpos 1 0 0\nsend c pointrotate 0 0 0 1.5707963 0 1 0",
       bang_lines("0.0 1.0 0.0", "7.54979e-08 0.0 -1.0", "7.54979e-08 0.0 -2.0")},
      // The axis length is not removed.
      {"", "send c setpos 1 0 0\nsend c pointrotate 0 0 0 1.5707963 0 2 0",
       bang_lines("0.0 1.0 0.0", "7.54979e-08 0.0 -2.0", "7.54979e-08 0.0 -3.0")},
      {"", "send c setpos 2 0 0\nsend c pointrotate 1 0 0 1.5707963 0 1 0",
       bang_lines("0.0 1.0 0.0", "1.0000001 0.0 -1.0", "1.0000001 0.0 -2.0")},
      // The pivot is (0, 0, -1), look's own components, not pos + look = (1, 0, -1).
      {"", "send c setpos 1 0 0\nsend c lookrotate 1.5707963 0 1 0",
       bang_lines("0.0 1.0 0.0", "1.0000001 0.0 -1.9999999", "1.0000001 0.0 -3.0")},
      // Every place must be filled.
      {"", "send c setpos 1 0 0\nsend c pointrotate 0 0 0 1.5707963 0 1",
       bang_lines("0.0 1.0 0.0", "1.0 0.0 0.0", "1.0 0.0 -1.0")},
      {"", "send c setpos 1 0 0\nsend c pointrotate 0 0 0 x 1.5707963 0 1 0",
       bang_lines("0.0 1.0 0.0", "1.0 0.0 0.0", "1.0 0.0 -1.0")},
      {"", "send c setpos 1 0 0\nsend c lookrotate 1.5707963 0 1",
       bang_lines("0.0 1.0 0.0", "1.0 0.0 0.0", "1.0 0.0 -1.0")},
  });
}

TEST_F(ViewNavTest, CreationKeysInRepeatedPassesWithOneScratchVector) {
  check({
      // Eight atoms, four passes: out-of-order keys still apply.
      {"@look 0 0 -5 @pos 0 0 10", "", bang_lines("0.0 1.0 0.0", "0.0 0.0 10.0", "0.0 0.0 5.0")},
      // The short key takes the place it misses from the previous key's numbers.
      {"@pos 1 2 3 @look 4 5", "", bang_lines("0.0 1.0 0.0", "1.0 2.0 3.0", "5.0 7.0 6.0")},
      {"@pos 1 2 3 @up", "", bang_lines("1.0 2.0 3.0", "1.0 2.0 3.0", "1.0 2.0 2.0")},
      // Before any key the scratch holds zeros.
      {"@pos 1", "", bang_lines("0.0 1.0 0.0", "1.0 0.0 0.0", "1.0 0.0 -1.0")},
      {"@pos 0.5 -1.5 2.25", "", bang_lines("0.0 1.0 0.0", "0.5 -1.5 2.25", "0.5 -1.5 1.25")},
      // A symbol ends a key's numbers and is tried as the next key.
      {"@pos @look 1 2 3", "", bang_lines("0.0 1.0 0.0", "0.0 0.0 0.0", "1.0 2.0 3.0")},
      // Anything that is no key stops the reading.
      {"5 @pos 1 2 3", "", kDefaultBang},
      {"@pos 1 2 3 junk @look 4 5 6", "", bang_lines("0.0 1.0 0.0", "1.0 2.0 3.0", "1.0 2.0 2.0")},
      // Three atoms give one pass: @pos comes after @max in the fixed order.
      {"@max 1 @pos", "", kDefaultBang},
      // The box keys; creation runs no bounds step.
      {"@min 1 1 1 @max 3 3 3 @pos 9 9 9", "", bang_lines("0.0 1.0 0.0", "9.0 9.0 9.0", "9.0 9.0 8.0")},
      {"@min 1 1 1 @max 3 3 3 @pos 9 9 9", "send c boundmode 1\nsend c move 0 0 0",
       bang_lines("0.0 1.0 0.0", "3.0 3.0 3.0", "3.0 3.0 2.0")},
      {"@right 0 0 1 @up 2 2 2", "send c strafe 1", bang_lines("2.0 2.0 2.0", "0.0 0.0 1.0", "0.0 0.0 0.0")},
  });
}

TEST_F(ViewNavTest, AssistTexts) {
  EXPECT_EQ(run("new c ko-viewnav\n"
                "assist c inlet 0\nassist c inlet 3\n"
                "assist c outlet 0\nassist c outlet 1\nassist c outlet 2\nassist c outlet 3"),
            "assist c inlet 0: echo e   c  h   o\n"
            "assist c inlet 3: echo e   c  h   o\n"
            "assist c outlet 0: (list) lookat     e         c            h              o\n"
            "assist c outlet 1: (list) pos    e         c            h              o\n"
            "assist c outlet 2: (list) up    e         c            h              o\n"
            "assist c outlet 3:\n");
}

TEST_F(ViewNavTest, InstancesKeepTheirOwnState) {
  EXPECT_EQ(run("new a ko-viewnav @pos 1 1 1\nnew b ko-viewnav\nsend a rotate.y 90\nsend b fwd 1\n"
                "send a bang\nsend b bang"),
            "a.2: list 0.0 1.0 0.0\na.1: list 1.0 1.0 1.0\na.0: list 4.6461146e-08 1.0 1.0\n"
            "b.2: list 0.0 1.0 0.0\nb.1: list 0.0 0.0 1.0\nb.0: list 0.0 0.0 0.0\n");
}

// ---------------------------------------------------------------------------
// The double values under the float32 output.

class CameraMath : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ko::sine_table_fill(); }
  CameraMath() { viewnav::init(cam); }

  static double length(const ko::vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
  static void expect_just_below_unit(const ko::vec3& v) {
    EXPECT_LT(length(v), 1.0);
    EXPECT_GT(length(v), 1.0 - 1e-7);
  }
  static void expect_vec(const ko::vec3& v, double x, double y, double z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
  }

  viewnav::Camera cam{};
};

TEST_F(CameraMath, InitialState) {
  EXPECT_EQ(cam.mode[0], 0);
  EXPECT_EQ(cam.mode[1], 0);
  EXPECT_EQ(cam.mode[2], 0);
  expect_vec(cam.min, -2, -2, -10);
  expect_vec(cam.max, 2, 2, 10);
  expect_vec(cam.pos, 0, 0, 0);
  expect_vec(cam.up, 0, 1, 0);
  expect_vec(cam.look, 0, 0, -1);
  expect_vec(cam.right, 1, 0, 0);
}

TEST_F(CameraMath, RotateYTurnsLookAndRebuildsRight) {
  viewnav::rotate_y(cam, 90);
  EXPECT_GT(cam.look.x, -1.0);
  EXPECT_LT(cam.look.x, -1.0 + 1e-7);
  EXPECT_EQ(cam.look.y, 0.0);
  EXPECT_EQ(cam.look.z, 0.0);
  expect_just_below_unit(cam.look);
  expect_vec(cam.right, 0, 0, cam.look.x);
  expect_vec(cam.up, 0, 1, 0);
}

TEST_F(CameraMath, RotateXTurnsLookAndRebuildsUp) {
  viewnav::rotate_x(cam, 90);
  expect_vec(cam.look, 0, cam.look.y, 0);
  expect_just_below_unit(cam.look);
  expect_vec(cam.up, 0, 0, cam.look.y);
  EXPECT_TRUE(std::signbit(cam.up.x));
  expect_vec(cam.right, 1, 0, 0);
}

TEST_F(CameraMath, RotateZTurnsRightAndRebuildsUp) {
  viewnav::rotate_z(cam, 90);
  expect_vec(cam.right, 0, cam.right.y, 0);
  expect_just_below_unit(cam.right);
  expect_vec(cam.up, -cam.right.y, 0, 0);
  expect_vec(cam.look, 0, 0, -1);
}

TEST_F(CameraMath, TheCrossProductIsNotNormalised) {
  ko::vec3_set(cam.up, 0, 2, 0);
  viewnav::rotate_y(cam, 90);
  expect_just_below_unit(cam.look);
  EXPECT_EQ(cam.right.z, 2 * cam.look.x);
}

TEST_F(CameraMath, TurnsMixTheOldVectors) {
  // A look half way between look and up: 45 degrees about x.
  viewnav::rotate_x(cam, 45);
  EXPECT_NEAR(cam.look.y, std::sqrt(0.5), 1e-4);
  EXPECT_NEAR(cam.look.z, -std::sqrt(0.5), 1e-4);
  EXPECT_NEAR(cam.up.y, std::sqrt(0.5), 1e-4);
  EXPECT_NEAR(cam.up.z, std::sqrt(0.5), 1e-4);
}

TEST_F(CameraMath, OrbitIsFullPrecisionWithTheAxisAsGiven) {
  const double half_pi = std::numbers::pi / 2;
  ko::vec3_set(cam.pos, 1, 0, 0);
  viewnav::orbit(cam, ko::vec3{0, 0, 0}, half_pi, ko::vec3{0, 1, 0});
  EXPECT_EQ(cam.pos.x, std::cos(half_pi));
  EXPECT_EQ(cam.pos.y, 0.0);
  EXPECT_EQ(cam.pos.z, -1.0);

  ko::vec3_set(cam.pos, 1, 0, 0);
  viewnav::orbit(cam, ko::vec3{0, 0, 0}, half_pi, ko::vec3{0, 2, 0});
  EXPECT_EQ(cam.pos.z, -2.0);

  // Turning by 0 is exact.
  ko::vec3_set(cam.pos, 0.1, 0.2, 0.3);
  viewnav::orbit(cam, ko::vec3{5, 6, 7}, 0, ko::vec3{0.3, 0.4, 0.5});
  EXPECT_NEAR(cam.pos.x, 0.1, 1e-15);
  EXPECT_NEAR(cam.pos.y, 0.2, 1e-15);
  EXPECT_NEAR(cam.pos.z, 0.3, 1e-15);
}

TEST(CameraModes, LowSixteenBitsSigned) {
  struct {
    double in;
    std::int16_t mode;
  } const cases[] = {{2.9, 2}, {-2.9, -2}, {65537, 1}, {-65535, 1}, {32768, -32768}, {65535, -1},
                     {1e12, -1}, {-1e12, 0}, {std::nan(""), 0}};
  for (const auto& c : cases) EXPECT_EQ(viewnav::mode_of(c.in), c.mode) << c.in;
}

}  // namespace
