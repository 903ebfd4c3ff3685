// ko-cornerset: the twelve corner values of a quad, centred or anchored, turned about the
// origin, leaving as longs or floats by the first atom of the last number list.
#include <string>

#include "support/patch_fixture.h"

namespace {

class CornerSetTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-cornerset"}); }
};

std::string quad(const std::string& values) { return "c.0: list " + values + "\n"; }

const std::string kDefault = quad("-5 0 -5 5 0 -5 5 0 5 -5 0 5");

TEST_F(CornerSetTest, ListSetsThePositionAndTheOutputKind) {
  EXPECT_EQ(run("new c ko-cornerset\nsend c bang"), kDefault);
  EXPECT_EQ(run("send c 1. 2. 3."), quad("-4.0 2.0 -2.0 6.0 2.0 -2.0 6.0 2.0 8.0 -4.0 2.0 8.0"));
  // Two numbers are X and Z; Y stays. Longs again.
  EXPECT_EQ(run("send c 4 6"), quad("-1 2 1 9 2 1 9 2 11 -1 2 11"));
  EXPECT_EQ(run("send c list 0.5"), quad("-4.5 2.0 1.0 5.5 2.0 1.0 5.5 2.0 11.0 -4.5 2.0 11.0"));
  // A float among longs is truncated; a symbol keeps its place and fills nothing.
  EXPECT_EQ(run("send c 1 7.9 x 2.5"), quad("-4 7 1 6 7 1 6 7 11 -4 7 11"));
  EXPECT_EQ(run("send c 0. 1 x"), quad("-5.0 1.0 1.0 5.0 1.0 1.0 5.0 1.0 11.0 -5.0 1.0 11.0"));
  // No number first: nothing changes, but the list still emits. An empty list does nothing.
  EXPECT_EQ(run("send c list x 2 3"), quad("-5.0 1.0 1.0 5.0 1.0 1.0 5.0 1.0 11.0 -5.0 1.0 11.0"));
  EXPECT_EQ(run("send c list"), "");
  EXPECT_EQ(mistakes(), "");
}

TEST_F(CornerSetTest, AnchoredQuadUsesTheWidthForBothExtents) {
  EXPECT_EQ(run("new c ko-cornerset\nsend c fix 0\nsend c h 4\nsend c bang"), quad("0 0 0 10 0 0 10 0 10 0 0 10"));
  EXPECT_EQ(run("send c w 3\nsend c 1 2 3"), quad("1 2 3 4 2 3 4 2 6 1 2 6"));
  // Only the low 16 bits of "fix" count: 65536 is off, 65537 on.
  EXPECT_EQ(run("send c fix 65537\nsend c bang"), quad("-1 2 1 3 2 1 3 2 5 -1 2 5"));
  EXPECT_EQ(run("send c fix 65536\nsend c bang"), quad("1 2 3 4 2 3 4 2 6 1 2 6"));
}

TEST_F(CornerSetTest, LongsRoundHalvesAwayFromZero) {
  // Corners at x = -2.5 and 2.5, z = -2.4 and 2.4.
  EXPECT_EQ(run("new c ko-cornerset\nsend c w 5\nsend c h 4.8\nsend c bang"), quad("-3 0 -2 3 0 -2 3 0 2 -3 0 2"));
  // Single precision first: 16777216.5 is 16777216 as a float, so it does not round up.
  EXPECT_EQ(run("send c w 1\nsend c list 16777216"), quad("16777216 0 -2 16777216 0 -2 16777216 0 2 16777216 0 2"));
  run("send c w 5\nsend c list 0");
  // "w", "h" and "rot" keep the output kind.
  EXPECT_EQ(run("send c 0. 0. 0.\nsend c w 1\nsend c h 1\nsend c rot 0 0 0\nsend c bang"),
            quad("-2.5 0.0 -2.4 2.5 0.0 -2.4 2.5 0.0 2.4 -2.5 0.0 2.4") +
                quad("-0.5 0.0 -0.5 0.5 0.0 -0.5 0.5 0.0 0.5 -0.5 0.0 0.5"));
}

TEST_F(CornerSetTest, RotationTurnsAboutTheOriginZThenYThenX) {
  run("new c ko-cornerset");
  // About z: the quad stands up.
  EXPECT_EQ(run("send c rot 1.5707963 0 0\nsend c bang"), quad("0 -5 -5 0 5 -5 0 5 5 0 -5 5"));
  EXPECT_EQ(run("send c rot 0 1.5707963 0\nsend c bang"), quad("-5 0 5 -5 0 -5 5 0 -5 5 0 5"));
  EXPECT_EQ(run("send c rotate 0 0 1.5707963\nsend c bang"), quad("-5 5 0 5 5 0 5 -5 0 -5 -5 0"));
  // z before y: corner 1 (5, 0, -5) goes to (0, 5, -5), then to (-5, 5, 0).
  EXPECT_EQ(run("send c rot 1.5707963 1.5707963 0\nsend c bang"), quad("-5 -5 0 -5 5 0 5 5 0 5 -5 0"));
  // The turn is about the origin: the centre (10, 0, 0) goes to (-10, 0, 0).
  EXPECT_EQ(run("send c rot 3.1415927 0 0\nsend c list 10\nsend c bang"),
            quad("-5 0 -5 -15 0 -5 -15 0 5 -5 0 5") + quad("-5 0 -5 -15 0 -5 -15 0 5 -5 0 5"));
  // Places a short list or a symbol leaves unfilled keep their angle.
  run("send c rot 1 1 1");
  const std::string turned = run("send c bang");
  EXPECT_EQ(run("send c rot x 9\nsend c bang"), turned);
  EXPECT_EQ(run("send c rot 3.1415927\nsend c bang"), run("send c rot 3.1415927 1 1\nsend c bang"));
  EXPECT_EQ(run("send c rot 0 0 0\nsend c list 0 0 0"), kDefault);
}

TEST_F(CornerSetTest, SizeAndAngleMessagesEmitOnlyWithOm) {
  run("new c ko-cornerset");
  EXPECT_EQ(run("send c w 8\nsend c h 6\nsend c wh 8\nsend c hv 8 4\nsend c rot 0 0 0\nsend c rotate 0 0 0\n"
                "send c fix 1\nsend c om 0"),
            "");
  // "wh" with one number sets both; with a float first the output turns to floats.
  EXPECT_EQ(run("send c bang"), quad("-4 0 -2 4 0 -2 4 0 2 -4 0 2"));
  EXPECT_EQ(run("send c wh 8\nsend c bang"), quad("-4 0 -4 4 0 -4 4 0 4 -4 0 4"));
  EXPECT_EQ(run("send c wh 8. 4.\nsend c bang"), quad("-4.0 0.0 -2.0 4.0 0.0 -2.0 4.0 0.0 2.0 -4.0 0.0 2.0"));
  EXPECT_EQ(run("send c hv x 1\nsend c bang"), quad("-4.0 0.0 -2.0 4.0 0.0 -2.0 4.0 0.0 2.0 -4.0 0.0 2.0"));
  run("send c rot.om 1");
  EXPECT_EQ(run("send c w 2"), quad("-1.0 0.0 -2.0 1.0 0.0 -2.0 1.0 0.0 2.0 -1.0 0.0 2.0"));
  EXPECT_EQ(run("send c h 2"), quad("-1.0 0.0 -1.0 1.0 0.0 -1.0 1.0 0.0 1.0 -1.0 0.0 1.0"));
  EXPECT_EQ(run("send c hv 4"), quad("-2 0 -2 2 0 -2 2 0 2 -2 0 2"));
  EXPECT_EQ(run("send c rotate 0 0 0"), quad("-2 0 -2 2 0 -2 2 0 2 -2 0 2"));
  EXPECT_EQ(run("send c rot 0 0 0"), quad("-2 0 -2 2 0 -2 2 0 2 -2 0 2"));
  EXPECT_EQ(run("send c fix 1"), "");
  // Only the low 16 bits of "om" count.
  EXPECT_EQ(run("send c om 65536\nsend c w 2"), "");
}

TEST_F(CornerSetTest, CreationArgumentsAreWidthHeightAndOm) {
  struct Case {
    const char* args;
    const char* then;
    std::string expected;
  } cases[] = {
      {"20 10 1", "send c w 2", quad("-1 0 -5 1 0 -5 1 0 5 -1 0 5")},
      {"4.5", "send c bang", quad("-2.25 0.0 -2.25 2.25 0.0 -2.25 2.25 0.0 2.25 -2.25 0.0 2.25")},
      {"6 2.9 1.9", "send c h 2", quad("-3 0 -1 3 0 -1 3 0 1 -3 0 1")},  // h 2, om 1
      {"2. 3 -1.5", "send c w 2", quad("-1.0 0.0 -1.5 1.0 0.0 -1.5 1.0 0.0 1.5 -1.0 0.0 1.5")},  // om -1
      {"6 x 0", "send c bang", quad("-3 0 -5 3 0 -5 3 0 5 -3 0 5")},  // h keeps 10
      {"x 3", "send c bang", kDefault},
      {"", "send c w 2", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run(std::string("new c ko-cornerset ") + c.args), "") << c.args;
    EXPECT_EQ(run(c.then), c.expected) << c.args;
    run("free c");
  }
}

TEST_F(CornerSetTest, AssistTexts) {
  EXPECT_EQ(run("new c ko-cornerset\nassist c inlet 0\nassist c outlet 0\nassist c outlet 1"),
            "assist c inlet 0: echo e   c  h   o\n"
            "assist c outlet 0: (list) cornerset     e         c            h              o\n"
            "assist c outlet 1:\n");
}

}  // namespace
