// The script language: tokens, commands, and how mistakes are reported.
#include <gtest/gtest.h>

#include <string>

#include "support/patch_fixture.h"
#include "tools/kohost/lines.h"

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

TEST_F(ScriptTest, ANulByteIsAMistakeWhereverItIs) {
  using namespace std::string_literals;
  // Cut at the NUL, the class name would name the plug-in already loaded.
  EXPECT_EQ(run("new b ko-mirror4.so\0\nnew c \"ko-mirror4\0\"\nnew d ko-mirror4 @size\0 1 1\n"
                "echo a\0b\necho # \0\n#\0\n"s),
            "");
  EXPECT_EQ(mistakes(),
            "kohost: 1: NUL byte at column 20\n"
            "kohost: 2: NUL byte at column 18\n"
            "kohost: 3: NUL byte at column 23\n"
            "kohost: 4: NUL byte at column 7\n"
            "kohost: 5: NUL byte at column 8\n"
            "kohost: 6: NUL byte at column 2\n");
  EXPECT_EQ(patch.find("b"), nullptr);
  EXPECT_EQ(patch.find("c"), nullptr);
  EXPECT_EQ(patch.find("d"), nullptr);
}

TEST_F(ScriptTest, MistakesAreEscapedAsConsoleLinesAre) {
  EXPECT_EQ(run("\x1B]0;owned\x07\nsend \"\t\xC3\xA9\\\\\" bang\nnew \x1B[2J ko-mirror4"), "");
  EXPECT_EQ(mistakes(),
            "kohost: 1: unknown command \"\\x1B]0;owned\\a\"\n"
            "kohost: 2: no object \"\\t\\xC3\\xA9\\\\\"\n"
            "kohost: 3: bad id \"\\x1B[2J\"\n");
}

TEST_F(ScriptTest, LinesEndAtLfCrlfOrALoneCrAfterAByteOrderMark) {
  EXPECT_EQ(run("\xEF\xBB\xBFnew m ko-mirror4 @size 2 2\rsend m input 1 1\r\nfrob\rsend m:9 1\n\r\nfrob"),
            "m.0: list 1.0 1.0\nm.1: list 1.0 1.0\nm.2: list 1.0 1.0\nm.3: list 1.0 1.0\n");
  EXPECT_EQ(mistakes(),
            "kohost: 3: unknown command \"frob\"\n"
            "kohost: 4: \"m\" has no inlet 9\n"
            "kohost: 6: unknown command \"frob\"\n");
}

TEST_F(ScriptTest, AnOverlongLineIsAMistakeAndTheNextLinesRun) {
  const std::string huge = "echo " + std::string(kohost::LineReader::kMaxLine, 'x');
  EXPECT_EQ(run("echo before\n" + huge + "\necho after"), "before\nafter\n");
  EXPECT_EQ(mistakes(), "kohost: 2: line longer than 1048576 bytes\n");
}

TEST_F(ScriptTest, ANamedFileLabelsItsMistakes) {
  script.name_file("one.kpat");
  run("echo\nfrob");
  script.name_file("t\x1Bo.kpat");
  run("frob");
  script.name_file("");
  run("frob");
  EXPECT_EQ(mistakes(),
            "kohost: one.kpat:2: unknown command \"frob\"\n"
            "kohost: t\\x1Bo.kpat:1: unknown command \"frob\"\n"
            "kohost: 1: unknown command \"frob\"\n");
}

TEST_F(ScriptTest, AQuotedNumberIsASymbol) {
  run("new m ko-mirror4");
  EXPECT_EQ(run("send m input \"1\" 2"), "error: ko-mirror4: bad arguments for message \"input\"\n");
}

}  // namespace
