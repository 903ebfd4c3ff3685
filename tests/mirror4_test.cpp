#include "support/patch_fixture.h"

class Mirror4Test : public PatchTest {
 protected:
  void SetUp() override { load({"ko-mirror4"}); }
};

TEST_F(Mirror4Test, DefaultsMirrorAboutTheFrameCentreLeftmostFirst) {
  EXPECT_EQ(run("new m ko-mirror4\nsend m bang"),
            "m.0: list 0.0 0.0\nm.1: list 320.0 0.0\nm.2: list 0.0 240.0\nm.3: list 320.0 240.0\n");
}
