// ko-mirror4: a point and its mirror images about a centre, with an offset.
#include "support/patch_fixture.h"

namespace {

class Mirror4Test : public PatchTest {
 protected:
  void SetUp() override { load({"ko-mirror4"}); }
};

TEST_F(Mirror4Test, DefaultsMirrorAboutTheFrameCentreLeftmostFirst) {
  EXPECT_EQ(run("new m ko-mirror4\nsend m bang"),
            "m.0: list 0.0 0.0\nm.1: list 320.0 0.0\nm.2: list 0.0 240.0\nm.3: list 320.0 240.0\n");
}

TEST_F(Mirror4Test, SizeSetsTheCentreSilentlyAndTheOffsetNeverAccumulates) {
  run("new m ko-mirror4");
  EXPECT_EQ(run("send m size 640 480"), "");
  const char* moved = "m.0: list 110.0 45.0\nm.1: list 550.0 45.0\nm.2: list 110.0 425.0\nm.3: list 550.0 425.0\n";
  EXPECT_EQ(run("send m input 100 50"),
            "m.0: list 100.0 50.0\nm.1: list 540.0 50.0\nm.2: list 100.0 430.0\nm.3: list 540.0 430.0\n");
  EXPECT_EQ(run("send m move 10 -5"), moved);
  EXPECT_EQ(run("send m move 10 -5"), moved);
  EXPECT_EQ(run("send m center 1.5 2\nsend m move 0 0"),
            "m.0: list 110.0 45.0\nm.1: list -87.0 45.0\nm.2: list 110.0 -51.0\nm.3: list -87.0 -51.0\n"
            "m.0: list 100.0 50.0\nm.1: list -97.0 50.0\nm.2: list 100.0 -46.0\nm.3: list -97.0 -46.0\n");
}

TEST_F(Mirror4Test, APointOnTheCentreGivesFourEqualListsAndMissingNumbersAreZero) {
  EXPECT_EQ(run("new m ko-mirror4\nsend m input 160 120"),
            "m.0: list 160.0 120.0\nm.1: list 160.0 120.0\nm.2: list 160.0 120.0\nm.3: list 160.0 120.0\n");
  EXPECT_EQ(run("send m center"), "m.0: list 160.0 120.0\nm.1: list -160.0 120.0\nm.2: list 160.0 -120.0\n"
                                  "m.3: list -160.0 -120.0\n");
}

TEST_F(Mirror4Test, PostDumpsTheStateAsLongsAndModeChangesNothing) {
  run("new m ko-mirror4\nsend m om 200\nsend m mode 7\nsend m input 10.9 -3.9");
  EXPECT_EQ(run("send m post"),
            "console:  \\t\nconsole:  \\t\nconsole:  \\t\\tko-reflect v1.5 20031102\nconsole:  \\t\n"
            "console:  x-center  = 160\nconsole:  y-center  = 120\n"
            "console:  coords[0] = 10\nconsole:  coords[1] = -3\nconsole:  coords[2] = 309\n"
            "console:  coords[3] = 243\nconsole:  om        = -56\n"
            "console:  input[0]  = 10\nconsole:  input[1]  = -3\n"
            "console:  move[0]   = 0\nconsole:  move[1]   = 0\nconsole:  \\t\\t\nconsole:  \\t\n");
}

TEST_F(Mirror4Test, CreationKeysRunInOnePassInTheirOrder) {
  // "@move" emits during creation; "@size" has had its turn, so the centre stays.
  EXPECT_EQ(run("new a ko-mirror4 @move 5 5 @size 10 10"),
            "a.0: list 5.0 5.0\na.1: list 325.0 5.0\na.2: list 5.0 245.0\na.3: list 325.0 245.0\n");
  // "@size" then "@c": the centre ends at (10, 20); "@om" is 3.
  EXPECT_EQ(run("new b ko-mirror4 @size 100 100 @c 10 20 @om 3"),
            "b.0: list 0.0 0.0\nb.1: list 20.0 0.0\nb.2: list 0.0 40.0\nb.3: list 20.0 40.0\n");
  EXPECT_NE(run("send b post").find("om        = 3\n"), std::string::npos);
  // A key with too few numbers takes the rest from what the previous key read.
  EXPECT_EQ(run("new c ko-mirror4 @size 100 60 @center 7"),
            "c.0: list 0.0 0.0\nc.1: list 14.0 0.0\nc.2: list 0.0 120.0\nc.3: list 14.0 120.0\n");
  // Nothing is read after an atom that is no key.
  EXPECT_EQ(run("new d ko-mirror4 1 @move 5 5\nsend d bang"),
            "d.0: list 0.0 0.0\nd.1: list 320.0 0.0\nd.2: list 0.0 240.0\nd.3: list 320.0 240.0\n");
}

TEST_F(Mirror4Test, AssistTexts) {
  EXPECT_EQ(run("new m ko-mirror4\nassist m inlet 0\nassist m outlet 0\nassist m outlet 1\nassist m outlet 2\n"
                "assist m outlet 3\nassist m outlet 4"),
            "assist m inlet 0: echo e   c  h   o\n"
            "assist m outlet 0: (list) xy     e         c            h              o\n"
            "assist m outlet 1: (list) x'y     e         c            h              o\n"
            "assist m outlet 2: (list) xy'     e         c            h              o\n"
            "assist m outlet 3: (list) x'y'     e         c            h              o\n"
            "assist m outlet 4:\n");
}

}  // namespace
