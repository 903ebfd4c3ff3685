// ko-ovalpath: a step counter walking round an ellipse, fractions of a turn, parameter
// messages with the optional bang, creation keys and the console dump.
#include <sstream>
#include <string>
#include <vector>

#include "support/patch_fixture.h"

namespace {

class OvalPathTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-ovalpath"}); }

  // n bangs to o; the lines they printed, one per entry.
  std::vector<std::string> bangs(int n) {
    std::string script;
    for (int i = 0; i < n; ++i) script += "send o bang\n";
    std::istringstream in(run(script));
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }

  // The value of one field line of the "post" dump of o, such as "step".
  std::string field(const std::string& name) {
    std::istringstream in(run("send o post"));
    for (std::string l; std::getline(in, l);) {
      if (l.rfind("console:  " + name + " ", 0) == 0) return l.substr(l.find("= ") + 2);
    }
    return "?";
  }
};

const char* const kFirst = "o.0: list 64.0 86.0";
const char* const kSecond = "o.0: list 61.990704 85.95659";

TEST_F(OvalPathTest, DefaultWalkEmitsThePointAtTheWrapTwice) {
  run("new o ko-ovalpath");
  const auto lines = bangs(103);
  ASSERT_EQ(lines.size(), 103u);
  EXPECT_EQ(lines[0], kFirst);
  EXPECT_EQ(lines[1], kSecond);  // one step on: just left of the first point and slightly below
  EXPECT_EQ(lines[25], "o.0: list 32.0 64.0");
  EXPECT_EQ(lines[50], "o.0: list 64.0 42.0");
  EXPECT_EQ(lines[75], "o.0: list 96.0 64.0");
  EXPECT_EQ(lines[100], kFirst);  // step 100, angle 0
  EXPECT_EQ(lines[101], kFirst);  // step 0 again, angle 2 pi
  EXPECT_EQ(lines[102], kSecond);
}

TEST_F(OvalPathTest, NumbersEmitAFractionOfATurnAndLeaveTheCounter) {
  run("new o ko-ovalpath\nsend o bang");
  EXPECT_EQ(run("send o 25\nsend o 0.5\nsend o 0.75\nsend o 0\nsend o 1.\nsend o 100"),
            "o.0: list 32.0 64.0\no.0: list 64.0 42.0\no.0: list 96.0 64.0\n"
            "o.0: list 64.0 86.0\no.0: list 64.0 86.0\no.0: list 64.0 86.0\n");
  EXPECT_EQ(run("send o bang"), std::string(kSecond) + "\n");
}

TEST_F(OvalPathTest, StepsBelowATenthMeanAHundred) {
  run("new o ko-ovalpath");
  for (const char* v : {"0.05", "-3", "0", "nan", ""}) {
    run("send o steps 7");
    run(std::string("send o steps ") + v);
    EXPECT_EQ(field("steps"), "100.000000") << v;
  }
  run("send o steps 0.1");
  EXPECT_EQ(field("steps"), "0.100000");
}

TEST_F(OvalPathTest, CounterWrapsPastStepsAndBelowZero) {
  run("new o ko-ovalpath\nsend o steps 50.5");
  bangs(50);
  EXPECT_EQ(field("step"), "50.000000");
  bangs(1);
  EXPECT_EQ(field("step"), "0.000000");
  // Backwards: 0, steps, steps - 1, ...
  run("send o stride -1");
  EXPECT_EQ(run("send o bang"), std::string(kFirst) + "\n");
  EXPECT_EQ(field("step"), "50.500000");
  run("send o stride 0.25\nsend o steps 4");
  bangs(1);
  EXPECT_EQ(field("step"), "0.000000");  // 50.75 is past 4
  // A stride of nan sends the counter back to 0 instead of losing it.
  run("send o stride nan");
  bangs(2);
  EXPECT_EQ(field("step"), "0.000000");
  run("send o stride 1");
  bangs(3);
  EXPECT_EQ(field("step"), "3.000000");
}

TEST_F(OvalPathTest, ParameterMessagesBangOnlyWithOm) {
  run("new o ko-ovalpath");
  EXPECT_EQ(run("send o raio 10 40\nsend o center 1 2\nsend o move 5 5\nsend o stride 2\nsend o steps 4"), "");
  EXPECT_EQ(field("step"), "0.000000");
  // "@raio" takes y first; the "raio" message x first.
  EXPECT_EQ(run("send o 0\nsend o 0.25"), "o.0: list 1.0 42.0\no.0: list -9.0 2.0\n");
  // With om each message is a full bang: the next point, and the counter moves on.
  run("free o\nnew o ko-ovalpath @raio 10. 40. @steps 4 @om 1");
  EXPECT_EQ(run("send o 0\nsend o 0.25"), "o.0: list 64.0 74.0\no.0: list 24.0 64.0\n");
  EXPECT_EQ(run("send o raio 10 40"), "o.0: list 64.0 104.0\n");
  EXPECT_EQ(run("send o center 0 0"), "o.0: list -10.0 -7.34788e-15\n");
  EXPECT_EQ(run("send o move 100 100"), "o.0: list 1.2246468e-15 -40.0\n");  // "move" shifts nothing
  EXPECT_EQ(run("send o stride 2"), "o.0: list 10.0 2.4492936e-15\n");
  EXPECT_EQ(run("send o steps 8"), "o.0: list -2.4492936e-15 40.0\n");
  EXPECT_EQ(field("step"), "2.000000");  // 5 passed 4 and wrapped to 0; then 0 + 2
}

TEST_F(OvalPathTest, CreationKeysTakeTheirAtomCountsInOnePass) {
  struct Case {
    const char* args;
    const char* name;
    const char* value;
  } cases[] = {
      {"@raio 10. 40.", "raio-x", "40.000000"},
      {"@raio 10. 40.", "raio-y", "10.000000"},
      {"@r 3", "raio-y", "3.000000"},          // the list ends: rx keeps 32
      {"@r 3", "raio-x", "32.000000"},
      {"@center 1 x @c 7", "x-center", "7.000000"},  // "x" is taken by "@center" and fills nothing
      {"@center 1 x @c 7", "y-center", "64.000000"},
      {"@center 1 @move 2 3", "x-center", "1.000000"},  // "@move" is taken as y and fills nothing,
      {"@center 1 @move 2 3", "move[0]", "0.000000"},   // then 2 is no key
      {"@move 2 3 @center 9 9", "x-center", "64.000000"},  // "@center" had its turn
      {"@steps 0", "steps", "100.000000"},
      {"@steps -5", "steps", "100.000000"},
      {"@steps 2.7", "steps", "2.000000"},  // read as a long
      {"@steps x", "steps", "100.000000"},
      {"@step 2.5 @dir 9 @om 300", "step", "2.500000"},
      {"@step 2.5 @dir 9 @om 300", "om", "44"},
      {"@om -1.9", "om", "-1"},
      {"@stride 3 @step -1", "stride", "3.000000"},
      {"@stride 3 @step -1", "step", "-1.000000"},
      {"@om 1 @steps 4", "om", "1"},
      {"@om 1 @steps 4", "steps", "100.000000"},
      {"1 @steps 4", "steps", "100.000000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run(std::string("new o ko-ovalpath ") + c.args), "") << c.args;  // no key emits
    EXPECT_EQ(field(c.name), c.value) << c.args;
    run("free o");
  }
  EXPECT_EQ(mistakes(), "");
}

TEST_F(OvalPathTest, PostDumpsTheState) {
  // om is set: "move" and "stride" each bang, so the counter is at 1 + 0.5.
  run("new o ko-ovalpath @om -3\nsend o move 1.5 -2\nsend o stride 0.5\nsend o 25");
  EXPECT_EQ(run("send o post"),
            "console:  \\t\nconsole:  \\t\nconsole:   ko-ovalpath 0.3 20031114\nconsole:  \\t\n"
            "console:  x-center    = 64.000000\nconsole:  y-center    = 64.000000\n"
            "console:  raio-x    = 32.000000\nconsole:  raio-y    = 22.000000\n"
            "console:  coords[0]   = 32.000000\nconsole:  coords[1]   = 64.000000\n"
            "console:  move[0]     = 1.500000\nconsole:  move[1]     = -2.000000\n"
            "console:  steps       = 100.000000\nconsole:  step        = 1.500000\n"
            "console:  stride      = 0.500000\nconsole:  om          = -3\n"
            "console:  \\t\\t\nconsole:  \\t\n");
}

TEST_F(OvalPathTest, AssistTexts) {
  EXPECT_EQ(run("new o ko-ovalpath\nassist o inlet 0\nassist o outlet 0\nassist o outlet 1"),
            "assist o inlet 0: echo e   c  h   o\n"
            "assist o outlet 0: (list) ovalpath xy    e         c            h              o\n"
            "assist o outlet 1:\n");
}

}  // namespace
