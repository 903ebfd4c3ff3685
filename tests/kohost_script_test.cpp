// The script language: tokens, commands, and how mistakes are reported.
#include <gtest/gtest.h>

#include "support/patch_fixture.h"

namespace {

class ScriptTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-mirror4"}); }
};

TEST_F(ScriptTest, CommentsQuotesAndEcho) {
  EXPECT_EQ(run("# a comment line\n\n   \necho hello  # kept as written\nnew m ko-mirror4 # trailing\n"
                "send m \"bang\""),
            "hello  # kept as written\nm.0: list 0.0 0.0\nm.1: list 320.0 0.0\nm.2: list 0.0 240.0\n"
            "m.3: list 320.0 240.0\n");
  EXPECT_EQ(mistakes(), "");
}

TEST_F(ScriptTest, MistakesAreReportedWithTheirLineAndTheRunGoesOn) {
  EXPECT_EQ(run("frobnicate\nnew m ko-mirror4\nnew m ko-mirror4\nnew 3$ ko-mirror4\nsend x bang\n"
                "send m:1 5\nsend m:z 5\nsend m\nsend m 99999999999\nsend m \"unterminated\n"
                "assist m side 0\ndefer later\nnew n ko-mirror4 @size 1e40\nfree\nsend m bang"),
            "m.0: list 0.0 0.0\nm.1: list 320.0 0.0\nm.2: list 0.0 240.0\nm.3: list 320.0 240.0\n");
  EXPECT_EQ(mistakes(),
            "kohost: 1: unknown command \"frobnicate\"\n"
            "kohost: 3: \"m\" exists already\n"
            "kohost: 4: bad id \"3$\"\n"
            "kohost: 5: no object \"x\"\n"
            "kohost: 6: \"m\" has no inlet 1\n"
            "kohost: 7: bad inlet in \"m:z\"\n"
            "kohost: 8: usage: send ID[:N] ATOM ...\n"
            "kohost: 9: number out of range: 99999999999\n"
            "kohost: 10: unterminated quote\n"
            "kohost: 11: usage: assist ID inlet|outlet N\n"
            "kohost: 12: usage: defer hold|run\n"
            "kohost: 13: number out of range: 1e40\n"
            "kohost: 14: usage: free ID\n");
  EXPECT_TRUE(script.failed());
}

TEST_F(ScriptTest, AQuotedNumberIsASymbol) {
  run("new m ko-mirror4");
  EXPECT_EQ(run("send m input \"1\" 2"), "error: ko-mirror4: bad arguments for message \"input\"\n");
}

}  // namespace
