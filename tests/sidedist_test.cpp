#include <string>

#include "support/patch_fixture.h"

namespace {

class SideDistTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-sidedist"}); }
};

TEST_F(SideDistTest, FreshInstanceMeasuresTheOriginAgainstTheDefaultCorners) {
  // Normal (−1, 1, 1)/√3 through (0, 0, 1): the origin lies 1/√3 behind it.
  EXPECT_EQ(run("new s ko-sidedist\nsend s bang\nsend s bang"),
            "s.0: float -0.57735026\ns.0: float -0.57735026\n");
}

TEST_F(SideDistTest, SignedDistanceFromPlanesOverTheUnitSquare) {
  // Each case: the messages after creation, then one bang per expected value.
  struct Case {
    const char* messages;
    const char* values;
  };
  const Case cases[] = {
      {"send s plane 0 0 0 0\nsend s 3 4 5", "5.0"},
      // A level plane at height h gives z − h, below it as well as above.
      {"send s plane 2 2 2 2\nsend s 0 0 -2", "-4.0"},
      {"send s plane 2 2 2 2\nsend s 0 0 2", "0.0"},
      {"send s plane 2 2 2 2\nsend s 7 -9 2.5", "0.5"},
      // Corner d takes no part.
      {"send s plane 0 0 0 9\nsend s 3 4 5", "5.0"},
      // The plane z = y, (0, 0, 1) is 1/√2 above it.
      {"send s plane 0 1 1 0\nsend s 0 0 1", "0.70710677"},
      // A short list keeps z; a symbol ends the numbers.
      {"send s plane 0 0 0 0\nsend s 0 0 5\nsend s 1 2", "5.0"},
      {"send s plane 0 0 0 0\nsend s 0 0 5\nsend s list 1 z 8", "5.0"},
      // A short "plane" keeps the other heights: a at 0, b and c at 2, so the plane
      // z = 2y with normal (0, −2, 1)/√5; (0, 0, 5) is √5 above it.
      {"send s plane 2 2 2 2\nsend s plane 0\nsend s 0 0 5", "2.236068"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.messages);
    EXPECT_EQ(run(std::string("new s ko-sidedist\n") + c.messages + "\nsend s bang\nfree s"),
              std::string("s.0: float ") + c.values + "\n");
    EXPECT_EQ(mistakes(), "");
  }
}

TEST_F(SideDistTest, PlaneMessagePutsTheCornersBackOverTheUnitSquare) {
  // With a left at (5, 5) the level plane's normal points down and the value is −5.
  EXPECT_EQ(run("new s ko-sidedist @plane 0 0 0 0 @a 5 5\nsend s 3 4 5\nsend s bang\n"
                "send s plane 0 0 0 0\nsend s bang"),
            "s.0: float -5.0\ns.0: float 5.0\n");
}

TEST_F(SideDistTest, CreationKeys) {
  struct Case {
    const char* args;
    const char* point;  // q, sent before the bang
    const char* value;
  };
  const Case cases[] = {
      // Twelve arguments, six passes: the level plane through the origin, so the value is z.
      {"@a 0 0 0 @b 0 1 0 @c 1 1 0", "0 0 0", "0.0"},
      {"@a 0 0 0 @b 0 1 0 @c 1 1 0", "1 2 3", "3.0"},
      // The same corners out of the fixed order, one per pass.
      {"@c 1 1 0 @b 0 1 0 @a 0 0 0", "1 2 3", "3.0"},
      // Heights only; x and y stay at the defaults: normal (−1, −1, 1)/√3 through (0, 0, 1).
      {"@plane 1 2 3 4", "0 1 0", "-1.1547005"},
      {"@4 1 2 3 4", "0 1 0", "-1.1547005"},
      // The default corners give 0 there.
      {"", "0 1 0", "0.0"},
      {"@plane 0 0 0 0 @d 9 9 9", "3 4 5", "5.0"},
      // A short "@plane" keeps the other heights (a 0, b 0, c 1): the plane z = x,
      // (0, 0, 5) is 5/√2 above it.
      {"@plane 0", "0 0 5", "3.535534"},
      // A first argument that is no key leaves every default.
      {"1 @plane 0 0 0 0", "0 1 0", "0.0"},
      // Corners on one line.
      {"@a 0 0 0 @b 1 1 1 @c 2 2 2", "0 0 0", "nan"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    EXPECT_EQ(run(std::string("new s ko-sidedist ") + c.args + "\nsend s " + c.point + "\nsend s bang\nfree s"),
              std::string("s.0: float ") + c.value + "\n");
    EXPECT_EQ(mistakes(), "");
  }
}

TEST_F(SideDistTest, OnlyBangEmitsAndNeverOnOutletOne) {
  // A bang counter on outlet 1 would show any bang there as a line of its own.
  EXPECT_EQ(run("new s ko-sidedist @plane 1 2 3 4 @a 0 0 0\nsend s plane 1 2 3 4\nsend s 1 2 3\n"
                "send s list 4\nsend s plane\nsend s list"),
            "");
  // The plane 1 2 3 4 again (normal (−1, −1, 1)/√3 through (0, 0, 1)) and q = (4, 2, 3).
  EXPECT_EQ(run("send s bang"), "s.0: float -2.309401\n");
}

TEST_F(SideDistTest, AssistTexts) {
  EXPECT_EQ(run("new s ko-sidedist\nassist s inlet 0\nassist s inlet 1\nassist s outlet 0\n"
                "assist s outlet 1\nassist s outlet 2"),
            "assist s inlet 0: echo e   c  h   o\n"
            "assist s inlet 1: echo e   c  h   o\n"
            "assist s outlet 0: (double) sidedist     e         c            h              o\n"
            "assist s outlet 1: (ping) sidedist end ramp    e         c            h              o\n"
            "assist s outlet 2:\n");
}

}  // namespace
