// ko-stepdiff: differences against the previous input, two buffers by turns.
#include <string>

#include "support/patch_fixture.h"

namespace {

class StepDiffTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-stepdiff"}); }

  // Each case runs on a fresh instance named s, freed afterwards.
  void check(const char* lines, const char* expected) {
    SCOPED_TRACE(lines);
    EXPECT_EQ(run(lines), expected);
    run("free s");
    EXPECT_EQ(mistakes(), "");
  }
};

TEST_F(StepDiffTest, NumbersAlternateUnlessOmHoldsTheReference) {
  check("new s ko-stepdiff\nsend s 5\nsend s 8\nsend s 6", "s.0: float 5.0\ns.0: float 3.0\ns.0: float -2.0\n");
  // With om both later ints are measured against the first.
  check("new s ko-stepdiff\nsend s om 1\nsend s 5\nsend s 8\nsend s 6",
        "s.0: float 5.0\ns.0: float 3.0\ns.0: float 1.0\n");
  // A float ignores om and alternates.
  check("new s ko-stepdiff\nsend s om 1\nsend s 5.0\nsend s 8.0\nsend s 6.0",
        "s.0: float 5.0\ns.0: float 3.0\ns.0: float -2.0\n");
  // Bang after a number re-emits it as a one-element list.
  check("new s ko-stepdiff\nsend s 5\nsend s 8\nsend s bang\nsend s bang",
        "s.0: float 5.0\ns.0: float 3.0\ns.0: list 3.0\ns.0: list 3.0\n");
}

TEST_F(StepDiffTest, ListsDifferElementWiseAndKeepHigherPositions) {
  check("new s ko-stepdiff\nsend s 1 2 3\nsend s 2 4 8\nsend s bang",
        "s.0: list 1.0 2.0 3.0\ns.0: list 1.0 2.0 5.0\ns.0: list 1.0 2.0 5.0\n");
  // A symbol keeps its position's previous value (A[1] is 0) and still gives a difference.
  check("new s ko-stepdiff\nsend s 1 2 3\nsend s 4 x 6",
        "s.0: list 1.0 2.0 3.0\nerror: no syms in this list\ns.0: list 3.0 -2.0 3.0\n");
  check("new s ko-stepdiff\nsend s list a b", "error: no syms in this list\nerror: no syms in this list\ns.0: list 0.0 0.0\n");
  // A shorter list leaves the other positions: 3 stays in B[2] for the next three-value list.
  check("new s ko-stepdiff\nsend s 1 2 3\nsend s 5 5\nsend s 7 7\nsend s 1 1 1\nsend s bang",
        "s.0: list 1.0 2.0 3.0\ns.0: list 4.0 3.0\ns.0: list 2.0 2.0\ns.0: list -6.0 -6.0 -2.0\n"
        "s.0: list -6.0 -6.0 -2.0\n");
  // Differences are taken in double and leave as 32-bit floats.
  check("new s ko-stepdiff\nsend s 0.1 16777217\nsend s 0.3 1", "s.0: list 0.1 16777216.0\ns.0: list 0.20000002 -16777216.0\n");
  // A one-value list is a list: it keeps the list form and follows om.
  check("new s ko-stepdiff\nsend s om 1\nsend s list 5\nsend s list 8\nsend s list 6",
        "s.0: list 5.0\ns.0: list 3.0\ns.0: list 1.0\n");
}

TEST_F(StepDiffTest, ResetLoadsAReferenceOrRestartsTheTurns) {
  check("new s ko-stepdiff\nsend s 1 1\nsend s 2 2\nsend s reset 10 20\nsend s 11 22",
        "s.0: list 1.0 1.0\ns.0: list 1.0 1.0\ns.0: list 8.0 18.0\ns.0: list 1.0 2.0\n");
  // The reference holds with om too, and later inputs all go to A.
  check("new s ko-stepdiff\nsend s om 1\nsend s reset 10 20\nsend s 11 22\nsend s 12 24",
        "s.0: list 10.0 20.0\ns.0: list 1.0 2.0\ns.0: list 2.0 4.0\n");
  // Without values nothing is emitted and the next input goes to B, against A.
  check("new s ko-stepdiff\nsend s 4\nsend s 3\nsend s reset\nsend s 10\nsend s bang",
        "s.0: float 4.0\ns.0: float -1.0\ns.0: float 7.0\ns.0: list 7.0\n");
  check("new s ko-stepdiff\nsend s reset 1 q", "error: no syms in this list\ns.0: list 1.0 0.0\n");
}

TEST_F(StepDiffTest, OmReadsTheLow16BitsAsSigned) {
  struct Case {
    const char* om;
    const char* third;  // the third of the ints 5, 8, 6
  };
  const Case cases[] = {{"1", "1.0"}, {"65541", "1.0"}, {"32769", "-2.0"}, {"0", "-2.0"}, {"-1", "-2.0"},
                        {"65536", "-2.0"}, {"2.9", "1.0"}};
  for (const Case& c : cases) {
    check((std::string("new s ko-stepdiff\nsend s om ") + c.om + "\nsend s 5\nsend s 8\nsend s 6").c_str(),
          (std::string("s.0: float 5.0\ns.0: float 3.0\ns.0: float ") + c.third + "\n").c_str());
  }
}

TEST_F(StepDiffTest, CreationArgumentsSetOmOrActAsAList) {
  check("new s ko-stepdiff 1\nsend s 5\nsend s 8\nsend s 6", "s.0: float 5.0\ns.0: float 3.0\ns.0: float 1.0\n");
  check("new s ko-stepdiff 1.9\nsend s 5\nsend s 8\nsend s 6", "s.0: float 5.0\ns.0: float 3.0\ns.0: float 1.0\n");
  check("new s ko-stepdiff 65536\nsend s 5\nsend s 8\nsend s 6", "s.0: float 5.0\ns.0: float 3.0\ns.0: float -2.0\n");
  check("new s ko-stepdiff x\nsend s 5\nsend s 8\nsend s 6", "s.0: float 5.0\ns.0: float 3.0\ns.0: float -2.0\n");
  // Two or more are a list, emission included; the next input is measured against it.
  check("new s ko-stepdiff 3 4\nsend s 4 6", "s.0: list 3.0 4.0\ns.0: list 1.0 2.0\n");
  // An early bang sends an empty list.
  check("new s ko-stepdiff\nsend s bang", "s.0: list\n");
  check("new s ko-stepdiff\nassist s inlet 0\nassist s outlet 0\nassist s outlet 1",
        "assist s inlet 0: echo e   c  h   o\n"
        "assist s outlet 0: (list) delta     e         c            h              o\nassist s outlet 1:\n");
}

TEST_F(StepDiffTest, ListsLongerThanTheBuffersKeepTheirFirst256Values) {
  std::string list = "send s list";
  std::string diffs;
  for (int i = 1; i <= 300; ++i) {
    list += " " + std::to_string(i);
    if (i <= 256) diffs += " " + std::to_string(i) + ".0";
  }
  check(("new s ko-stepdiff\n" + list + "\nsend s bang").c_str(),
        ("s.0: list" + diffs + "\ns.0: list" + diffs + "\n").c_str());
  check(("new s ko-stepdiff\nsend s " + list.substr(12)).c_str(), ("s.0: list" + diffs + "\n").c_str());
}

}  // namespace
