// ko-rectnorm: two corners in any order sent on as (min x, min y, max x, max y).
#include "support/patch_fixture.h"

namespace {

class RectNormTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-rectnorm"}); }
};

TEST_F(RectNormTest, OrdersTheCornersKeepingTheKindOfTheInput) {
  EXPECT_EQ(run("new r ko-rectnorm 1 2 3 4\nsend r bang"), "r.0: list 0 0 0 0\n");  // creation arguments ignored
  EXPECT_EQ(run("send r 10 5 2 8"), "r.0: list 2 5 10 8\n");
  EXPECT_EQ(run("send r 1.5 2. 0.5 3."), "r.0: list 0.5 2.0 1.5 3.0\n");
  EXPECT_EQ(run("send r 3 -3 3 -7"), "r.0: list 3 -7 3 -3\n");  // equal x: min x = max x
  EXPECT_EQ(run("send r bang"), "r.0: list 3 -7 3 -3\n");
}

TEST_F(RectNormTest, OtherListsSendTheLastResultAgain) {
  run("new r ko-rectnorm\nsend r 1.5 2. 0.5 3.");
  const char* last = "r.0: list 0.5 2.0 1.5 3.0\n";
  for (const char* line : {"send r 1 2 3", "send r 1 2 3 4 5", "send r list x 2 3 4", "send r list"}) {
    EXPECT_EQ(run(line), last) << line;
  }
  // Later atoms are read by their own value: a float among longs is truncated, a symbol
  // keeps the previous coordinate.
  EXPECT_EQ(run("send r 7 2.9 x -1.5"), "r.0: list 0 -1 7 2\n");
  EXPECT_EQ(run("send r 7. 2 x -1"), "r.0: list 0.5 -1.0 7.0 2.0\n");
  EXPECT_EQ(mistakes(), "");
}

TEST_F(RectNormTest, AssistTexts) {
  EXPECT_EQ(run("new r ko-rectnorm\nassist r inlet 0\nassist r outlet 0\nassist r outlet 1"),
            "assist r inlet 0: echo e   c  h   o\n"
            "assist r outlet 0: (list) rectnorm     e         c            h              o\n"
            "assist r outlet 1:\n");
}

}  // namespace
