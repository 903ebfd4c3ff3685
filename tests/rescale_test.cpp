#include <string>
#include <vector>

#include "objects/ko-rescale/rescale_map.h"
#include "support/patch_fixture.h"

namespace {

// Script lines that create an instance named r and drive it, and what they print.
struct Case {
  std::string lines;
  std::string expected;
};

}  // namespace

class RescaleTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-rescale"}); }

  // Each case runs on a fresh instance named r, freed afterwards.
  void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.lines);
      EXPECT_EQ(run(c.lines), c.expected);
      run("free r");
      EXPECT_EQ(mistakes(), "");
    }
  }
};

TEST_F(RescaleTest, MapsAndEmitsOnlyChangedResults) {
  check({
      // default map 0..1 -> 0..127
      {"new r ko-rescale\nsend r 0.5\nsend r 2\nsend r mode 1\nsend r 2",
       "r.0: float 63.5\nr.0: float 254.0\nr.0: float 127.0\n"},
      // the first result equals the initial result 0; repeats stay quiet
      {"new r ko-rescale\nsend r 0\nsend r 0.25\nsend r 0.25\nsend r echo 0.25\nsend r bang",
       "r.0: float 31.75\n"},
      {"new r ko-rescale\nsend r map 0 100 -1 1\nsend r 75", "r.0: float 0.5\n"},
      // "echo" and an int act as a float
      {"new r ko-rescale\nsend r echo 1\nsend r 2\nsend r echo", "r.0: float 127.0\nr.0: float 254.0\nr.0: float 0.0\n"},
  });
}

TEST_F(RescaleTest, ModesBringResultsIntoTheDestination) {
  check({
      {"new r ko-rescale\nsend r map 0 127 0 127\nsend r mode 2\nsend r 130\nsend r -1\nsend r 127.5",
       "r.0: float 2.0\nr.0: float 127.0\nr.0: float -0.5\n"},
      {"new r ko-rescale\nsend r map 0 127 0 127\nsend r mode 3\nsend r 130\nsend r -1\nsend r 300",
       "r.0: float 124.0\nr.0: float 1.0\nr.0: float 46.0\n"},
      // reversed destination in clip: above 0 gives 0 (dstmax is tested first), the rest 127
      {"new r ko-rescale\nsend r map 0 1 127 0\nsend r mode 1\nsend r 0\nsend r 1\nsend r 0.5\nsend r 2",
       "r.0: float 127.0\nr.0: float 0.0\nr.0: float 127.0\n"},
      // a period of 0 or less cannot be stepped through: the value stays as mapped
      {"new r ko-rescale\nsend r map 0 1 127 0\nsend r mode 2\nsend r 0.5\nsend r 2",
       "r.0: float 63.5\nr.0: float -127.0\n"},
      {"new r ko-rescale\nsend r mode 2\nsend r inf\nsend r -inf\nsend r nan\nsend r nan",
       "r.0: float inf\nr.0: float -inf\nr.0: float nan\nr.0: float nan\n"},
  });
}

TEST_F(RescaleTest, EmptyDestinationMapsEverythingToOneValueInEveryMode) {
  for (const char* mode : {"0", "1", "2", "3", "5"}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(run(std::string("new r ko-rescale @map 0 1 5 5 @mode ") + mode +
                  "\nsend r 0.5\nsend r 300\nsend r -7\nsend r bang"),
              "r.0: float 5.0\n");
    run("free r");
  }
}

TEST_F(RescaleTest, EmptySourceRangeGivesInfinitiesAndNanByMode) {
  // inputs 2, 0, 1, 1: +inf, -inf, nan, nan before the mode; NaN is always sent
  const std::string inputs = "\nsend r 2\nsend r 0\nsend r 1\nsend r 1";
  check({
      {"new r ko-rescale @map 1 1 0 127" + inputs, "r.0: float inf\nr.0: float -inf\nr.0: float nan\nr.0: float nan\n"},
      {"new r ko-rescale @map 1 1 0 127 @mode 1" + inputs,
       "r.0: float 127.0\nr.0: float 0.0\nr.0: float nan\nr.0: float nan\n"},
      {"new r ko-rescale @map 1 1 0 127 @mode 2" + inputs,
       "r.0: float inf\nr.0: float -inf\nr.0: float nan\nr.0: float nan\n"},
      {"new r ko-rescale @map 1 1 0 127 @mode 3" + inputs,
       "r.0: float nan\nr.0: float nan\nr.0: float nan\nr.0: float nan\n"},
  });
}

TEST_F(RescaleTest, SilenceStoresWithoutMapping) {
  check({
      {"new r ko-rescale\nsend r silence 1\nsend r 1\nsend r 0.5\nsend r echo 0.25\nsend r bang\nsend r bang",
       "r.0: float 31.75\n"},
      {"new r ko-rescale\nsend r silence 5\nsend r silence -1\nsend r 1", "r.0: float 127.0\n"},
      {"new r ko-rescale\nsend r silence 1\nsend r silence\nsend r 1", "r.0: float 127.0\n"},
  });
}

TEST_F(RescaleTest, ModeMessageLimitsAndQueriesAnswer) {
  check({
      {"new r ko-rescale\nsend r mode 7\nsend r getmode\nsend r mode 4\nsend r getmode\nsend r mode -2\nsend r getmode",
       "r.1: list mode 3 fold\nr.1: list mode 3 fold\nr.1: list mode 0 inter/extra(-)polate\n"},
      // a float on a long method is truncated; no argument is 0
      {"new r ko-rescale\nsend r mode 2.9\nsend r getmode\nsend r mode 1\nsend r getmode\nsend r mode\nsend r getmode",
       "r.1: list mode 2 wrap\nr.1: list mode 1 clip\nr.1: list mode 0 inter/extra(-)polate\n"},
      {"new r ko-rescale\nsend r getmap\nsend r srcmin 2\nsend r srcmax 0.25\nsend r dstmin -3\nsend r dstmax\nsend r getmap",
       "r.1: list map 0.0 1.0 0.0 127.0\nr.1: list map 2.0 0.25 -3.0 0.0\n"},
  });
}

TEST_F(RescaleTest, ResetRestoresEveryField) {
  EXPECT_EQ(run("new r ko-rescale @map 0 2 0 10 @mode 3 @silence 1\nsend r 1\nsend r bang\nsend r reset\n"
                "send r getmode\nsend r getmap\nsend r bang\nsend r 1"),
            "r.0: float 5.0\n"
            "r.1: list mode 0 inter/extra(-)polate\n"
            "r.1: list map 0.0 1.0 0.0 127.0\n"
            "r.0: float 127.0\n");
}

TEST_F(RescaleTest, MapMessageSetsFieldsByPosition) {
  check({
      {"new r ko-rescale\nsend r map\nsend r map x 1 2 3\nsend r getmap", "r.1: list map 0.0 1.0 0.0 127.0\n"},
      // a symbol keeps its field; missing atoms keep theirs; extra atoms are ignored
      {"new r ko-rescale\nsend r map 5 x 7\nsend r getmap\nsend r map 1 2 3 4 5\nsend r getmap",
       "r.1: list map 5.0 1.0 7.0 127.0\nr.1: list map 1.0 2.0 3.0 4.0\n"},
  });
}

TEST_F(RescaleTest, NumbersAndRangeMessagesPassThroughSinglePrecision) {
  // 16777217 has no float: an int, "echo" or "srcmax" turns it into 16777216, while "map"
  // keeps the long's exact value.
  check({
      {"new r ko-rescale\nsend r map 16777216 16777217 0 10\nsend r 16777217\nsend r echo 16777217\n"
       "send r srcmax 16777217\nsend r bang",
       "r.0: float nan\n"},
      {"new r ko-rescale\nsend r map 16777216 16777217 0 10\nsend r 16777218", "r.0: float 20.0\n"},
  });
}

TEST_F(RescaleTest, CreationKeys) {
  check({
      {"new r ko-rescale @mode 5\nsend r getmode\nsend r 2", "r.1: list mode 5 inter/extra(-)polate\nr.0: float 254.0\n"},
      // low 8 bits, signed, after truncation toward zero
      {"new r ko-rescale @mode 258\nsend r getmode", "r.1: list mode 2 wrap\n"},
      {"new r ko-rescale @mode -2.7\nsend r getmode", "r.1: list mode -2 inter/extra(-)polate\n"},
      {"new r ko-rescale @mode fold\nsend r getmode", "r.1: list mode 3 fold\n"},
      {"new r ko-rescale @mode clip\nsend r getmode", "r.1: list mode 1 clip\n"},
      {"new r ko-rescale @mode wrap\nsend r getmode", "r.1: list mode 2 wrap\n"},
      {"new r ko-rescale @mode 3 @mode polate\nsend r getmode", "r.1: list mode 0 inter/extra(-)polate\n"},
      // an atom "@mode" does not take is left for "@silence"
      {"new r ko-rescale @mode @silence 1\nsend r getmode\nsend r 1",
       "r.1: list mode 0 inter/extra(-)polate\n"},
      // "@" takes four atoms whatever they are, the key "@mode" among them
      {"new r ko-rescale @ 1 2 @mode 3 @silence 1\nsend r getmap\nsend r getmode\nsend r 1.5\nsend r bang",
       "r.1: list map 1.0 2.0 0.0 3.0\nr.1: list mode 0 inter/extra(-)polate\nr.0: float 1.5\n"},
      {"new r ko-rescale @map 0 x 10 20 @mode 1\nsend r getmap\nsend r getmode",
       "r.1: list map 0.0 1.0 10.0 20.0\nr.1: list mode 1 clip\n"},
      {"new r ko-rescale @map -1 2\nsend r getmap", "r.1: list map -1.0 2.0 0.0 127.0\n"},
      // keys out of their order apply over repeated passes
      {"new r ko-rescale @silence 1 @mode fold @map 0 1 0 10\nsend r getmap\nsend r getmode\nsend r 2.5\nsend r bang",
       "r.1: list map 0.0 1.0 0.0 10.0\nr.1: list mode 3 fold\nr.0: float 5.0\n"},
      // a first atom that is no key stops everything
      {"new r ko-rescale 5 @mode 2 @map 0 1 0 10\nsend r getmode\nsend r getmap",
       "r.1: list mode 0 inter/extra(-)polate\nr.1: list map 0.0 1.0 0.0 127.0\n"},
      // creation emits nothing
      {"new r ko-rescale @map 0 1 5 6", ""},
  });
}

TEST_F(RescaleTest, SilenceKeyReadsLowBitsOfTheNextAtom) {
  const std::string loud = "r.0: float 254.0\n";
  check({
      {"new r ko-rescale @silence 1\nsend r 2", ""},
      {"new r ko-rescale @silence -1\nsend r 2", ""},
      {"new r ko-rescale @silence 257\nsend r 2", ""},
      {"new r ko-rescale @silence 256\nsend r 2", loud},
      {"new r ko-rescale @silence 0\nsend r 2", loud},
      // a float is truncated toward zero first
      {"new r ko-rescale @silence 2.9\nsend r 2", ""},
      {"new r ko-rescale @silence 0.5\nsend r 2", loud},
      {"new r ko-rescale @silence -256.0\nsend r 2", loud},
      // a symbol is consumed and changes nothing, so "@mode" still applies
      {"new r ko-rescale @silence x @mode 1\nsend r 2", "r.0: float 127.0\n"},
      {"new r ko-rescale @mode 1 @silence\nsend r 2", "r.0: float 127.0\n"},
  });
}

TEST_F(RescaleTest, WrapTakesSingleStepsThatCanLeaveTheDestination) {
  check({
      // a period of dstmax - dstmin + 1 = 1.6: from 1.5 one step lands below dstmin
      {"new r ko-rescale @map 0.1 0.7 0.1 0.7 @mode wrap\nsend r 1.5\nsend r 0.9\nsend r -0.5\nsend r 0.4",
       "r.0: float -0.09999999\nr.0: float -0.7\nr.0: float 1.1\nr.0: float 0.4\n"},
  });
}

TEST_F(RescaleTest, FarValuesWrapAndFoldWithoutSteppingThere) {
  check({
      // tens of millions of periods out: the closed form past 256 steps
      {"new r ko-rescale @map 0 1 0.1 0.7 @mode wrap\nsend r 1e8\nsend r -1e8\nsend r 3e38",
       "r.0: float -0.7381903\nr.0: float 0.93819034\nr.0: float 1.8e+38\n"},
      // exact arithmetic all the way: what stepping gives, however far
      {"new r ko-rescale @map 0 127 0 127 @mode wrap\nsend r 1000000\nsend r -1000000.5",
       "r.0: float 64.0\nr.0: float 63.5\n"},
      {"new r ko-rescale @map 0 1 0.1 0.7 @mode fold\nsend r 1e8\nsend r 3e38\nsend r -3e38",
       "r.0: float 0.1\nr.0: float 0.7\nr.0: float 0.1\n"},
  });
}

TEST_F(RescaleTest, WrongArgumentsAndAssist) {
  EXPECT_EQ(run("new r ko-rescale\nsend r srcmin x\nsend r getmap\nassist r inlet 3\nassist r outlet 0\n"
                "assist r outlet 1\nassist r outlet 2"),
            "error: ko-rescale: bad arguments for message \"srcmin\"\n"
            "r.1: list map 0.0 1.0 0.0 127.0\n"
            "assist r inlet 3: echo e   c  h   o\n"
            "assist r outlet 0: (float)     e         c            h              o\n"
            "assist r outlet 1: (list)       e             c                h                   o\n"
            "assist r outlet 2:\n");
}

TEST(RescaleMap, EvaluatesProductBeforeDivision) {
  // (5 * 7) / 3 rounds differently from 5 * (7 / 3) and from (5 / 3) * 7.
  EXPECT_EQ(ko::rescale_map(0, 3, 0, 7, 0, 5), 35.0 / 3.0);
  EXPECT_NE(ko::rescale_map(0, 3, 0, 7, 0, 5), 5.0 * (7.0 / 3.0));
}
