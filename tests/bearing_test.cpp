// ko-bearing: 360-degree angles to azimuths and back.
#include <cmath>
#include <limits>
#include <string>

#include "objects/ko-bearing/bearing_math.h"
#include "support/patch_fixture.h"

namespace {

class BearingTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-bearing"}); }

  // Sends each input to a fresh instance made with the creation line and compares the
  // emitted values.
  void table(const char* creation, std::initializer_list<std::pair<const char*, const char*>> rows) {
    for (const auto& [in, out] : rows) {
      SCOPED_TRACE(in);
      EXPECT_EQ(run(std::string(creation) + "\nsend b " + in), std::string("b.0: float ") + out + "\n");
      run("free b");
      EXPECT_EQ(mistakes(), "");
    }
  }
};

TEST_F(BearingTest, AnglesBecomeAzimuths) {
  table("new b ko-bearing", {{"0", "90.0"},
                             {"90", "0.0"},
                             {"180", "-90.0"},
                             {"270", "-180.0"},
                             {"300", "150.0"},
                             {"360", "90.0"},
                             {"45", "45.0"},
                             {"45.0", "45.0"},
                             {"135.5", "-45.5"},
                             {"359.75", "90.25"}});
}

TEST_F(BearingTest, AzimuthsBecomeAngles) {
  table("new b ko-bearing 0", {{"0", "90.0"},
                               {"90", "0.0"},
                               {"-90", "180.0"},
                               {"-180", "270.0"},
                               {"135", "315.0"},
                               {"180", "270.0"},
                               {"45.5", "44.5"},
                               {"-0.5", "90.5"}});
}

TEST_F(BearingTest, InputsWrapByWholeTurns) {
  table("new b ko-bearing", {{"361", "89.0"},
                             {"370", "80.0"},
                             {"-10", "100.0"},
                             {"720", "90.0"},
                             {"-360", "90.0"},
                             {"1000000000", "170.0"},  // 1e9 is 280 past a whole turn
                             {"-0.5", "90.5"},          // wrapped to 359.5
                             {"inf", "inf"},
                             {"-inf", "-inf"},
                             {"nan", "nan"}});
  table("new b ko-bearing 0", {{"181", "269.0"}, {"-181", "271.0"}, {"540", "270.0"}, {"-inf", "-inf"}});
  table("new b ko-bearing 0", {{"1e30", "150.0"}});  // -60 past whole turns
}

TEST_F(BearingTest, WrapIsAClosedFormForAnyFiniteValue) {
  using ko::bearing::wrap_turns;
  EXPECT_EQ(wrap_turns(361, 0), 1);
  EXPECT_EQ(wrap_turns(360, 0), 360);
  EXPECT_EQ(wrap_turns(-180, -180), -180);
  EXPECT_EQ(wrap_turns(-540, -180), -180);
  EXPECT_EQ(wrap_turns(1e300, 0), std::fmod(1e300, 360.0));
  EXPECT_EQ(wrap_turns(-1e-300, 0), 360);  // a sliver below 0 rounds up to the full turn
  EXPECT_EQ(wrap_turns(std::numeric_limits<double>::max(), -180),
            std::fmod(std::numeric_limits<double>::max() + 180.0, 360.0) - 180.0);
  EXPECT_TRUE(std::isnan(wrap_turns(std::nan(""), 0)));
}

TEST_F(BearingTest, BangConvertsTheStoredInputWithoutWrappingIt) {
  EXPECT_EQ(run("new b ko-bearing\nsend b 300\nsend b om 0\nsend b bang\nsend b om 1\nsend b bang"),
            "b.0: float 150.0\nb.0: float 300.0\nb.0: float 150.0\n");
  EXPECT_EQ(run("new c ko-bearing\nsend c bang"), "c.0: float 90.0\n");
  // Creation: om, then an input kept as given until a bang.
  EXPECT_EQ(run("new d ko-bearing 0 45\nsend d bang"), "d.0: float 45.0\n");
  EXPECT_EQ(run("new e ko-bearing 1 400\nsend e bang"), "e.0: float 400.0\n");
  EXPECT_EQ(run("new f ko-bearing 256.9 -45\nsend f bang"), "f.0: float 135.0\n");  // 256 is om 0
  EXPECT_EQ(run("new g ko-bearing x 10\nsend g bang"), "g.0: float 90.0\n");  // the symbol stops the reading
  EXPECT_EQ(mistakes(), "");
}

TEST_F(BearingTest, OmTakesTheLow8BitsAndTheOutletTextFollowsIt) {
  EXPECT_EQ(run("new b ko-bearing\nsend b om 256\nsend b 0\nsend b om 257\nsend b 0\nsend b om -255\nsend b 0"),
            "b.0: float 90.0\nb.0: float 90.0\nb.0: float 90.0\n");
  EXPECT_EQ(run("send b om 256\nsend b -90\nsend b om 1\nsend b 180"), "b.0: float 180.0\nb.0: float -90.0\n");
  const std::string azi = "assist b outlet 0: (double) azi ang    e         c            h              o\n";
  const std::string ang = "assist b outlet 0: (double) 360 ang    e         c            h              o\n";
  EXPECT_EQ(run("assist b inlet 0\nassist b outlet 0"), "assist b inlet 0: echo e   c  h   o\n" + azi);
  EXPECT_EQ(run("send b om 0\nassist b outlet 0\nassist b outlet 1"), ang + "assist b outlet 1:\n");
}

}  // namespace
