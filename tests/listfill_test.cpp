// ko-listfill: runs of a pad value between the neighbours of a stored list.
#include <string>

#include "support/patch_fixture.h"

namespace {

class ListFillTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-listfill"}); }

  void check(const std::string& lines, const std::string& expected) {
    SCOPED_TRACE(lines);
    EXPECT_EQ(run(lines), expected);
    run("free l");
    EXPECT_EQ(mistakes(), "");
  }
};

// "l.0: list" followed by the values.
std::string padded(std::initializer_list<const char*> values) {
  std::string s = "l.0: list";
  for (const char* v : values) s += std::string(" ") + v;
  return s + "\n";
}

TEST_F(ListFillTest, PadsBetweenNeighboursAndBangPadsAgainWithTheCurrentSettings) {
  check("new l ko-listfill\nsend l 1 2 3", padded({"1.0", "0.0", "0.0", "2.0", "0.0", "0.0", "3.0"}));
  check("new l ko-listfill\nsend l num 1\nsend l val 5.5\nsend l 1 2", padded({"1.0", "5.5", "2.0"}));
  check("new l ko-listfill\nsend l list 7\nsend l 1 2 3\nsend l num 1\nsend l 7.5\nsend l bang",
        padded({"7.0"}) + padded({"1.0", "0.0", "0.0", "2.0", "0.0", "0.0", "3.0"}) +
            padded({"1.0", "7.5", "2.0", "7.5", "3.0"}));
  // An int sets the pad value as a float does; values pass as 32-bit floats.
  check("new l ko-listfill\nsend l num 1\nsend l 4\nsend l 0.1 16777217", padded({"0.1", "4.0", "16777216.0"}));
}

TEST_F(ListFillTest, NumIsLimitedToZeroAnd257) {
  for (const char* n : {"0", "-4"}) check(std::string("new l ko-listfill\nsend l num ") + n + "\nsend l 1 2 3",
                                          padded({"1.0", "2.0", "3.0"}));
  // "num" 300 gives 257: one pad run fills the list after the first value.
  std::string full = "l.0: list 1.0";
  for (int i = 0; i < 256; ++i) full += " 0.0";
  check("new l ko-listfill\nsend l num 300\nsend l 1 2", full + "\n");
}

TEST_F(ListFillTest, OutputIsCutAt257Values) {
  // 1, 100 pads, 2, 100 pads, 3, and 54 of the pads after 3: 304 values cut to 257.
  std::string expected = "l.0: list 1.0";
  for (int k = 2; k <= 3; ++k) {
    for (int i = 0; i < 100; ++i) expected += " 0.0";
    expected += " " + std::to_string(k) + ".0";
  }
  for (int i = 0; i < 54; ++i) expected += " 0.0";
  check("new l ko-listfill\nsend l num 100\nsend l 1 2 3 4", expected + "\n");
  // A list longer than the store keeps its first 257 values.
  std::string list = "send l list";
  std::string out = "l.0: list";
  for (int i = 1; i <= 300; ++i) {
    list += " " + std::to_string(i);
    if (i <= 257) out += " " + std::to_string(i) + ".0";
  }
  check("new l ko-listfill 0\n" + list, out + "\n");
  // A creation pad length beyond 257 is kept, and still cut.
  std::string ones = "l.0: list 5.0";
  for (int i = 0; i < 256; ++i) ones += " 1.0";
  check("new l ko-listfill 30000 1\nsend l 5 6", ones + "\n");
}

TEST_F(ListFillTest, ASymbolKeepsItsPositionsPreviousValue) {
  check("new l ko-listfill 0\nsend l 4 5 6\nsend l 1 s 3\nsend l bang",
        padded({"4.0", "5.0", "6.0"}) + "error: now, that's a sym isn't it?\n" + padded({"1.0", "5.0", "3.0"}) +
            padded({"1.0", "5.0", "3.0"}));
}

TEST_F(ListFillTest, EmptyListsChangeNothingAndAnEarlyBangSendsAnEmptyList) {
  check("new l ko-listfill\nsend l bang\nsend l list\nsend l 1 2\nsend l list\nsend l bang",
        "l.0: list\n" + padded({"1.0", "0.0", "0.0", "2.0"}) + padded({"1.0", "0.0", "0.0", "2.0"}));
}

TEST_F(ListFillTest, CreationArgumentsSetNumAndVal) {
  const char* list = "\nsend l 1 2";
  check(std::string("new l ko-listfill 3 1.5") + list, padded({"1.0", "1.5", "1.5", "1.5", "2.0"}));
  check(std::string("new l ko-listfill 2.7 4") + list, padded({"1.0", "4.0", "4.0", "2.0"}));
  check(std::string("new l ko-listfill 1") + list, padded({"1.0", "0.0", "2.0"}));
  check(std::string("new l ko-listfill -3 9") + list, padded({"1.0", "2.0"}));
  // A first argument that is no number sets nothing; nor does a second that is none.
  check(std::string("new l ko-listfill x 9") + list, padded({"1.0", "0.0", "0.0", "2.0"}));
  check(std::string("new l ko-listfill 1 y 9") + list, padded({"1.0", "0.0", "2.0"}));
  // The low 16 bits of a long: 65537 is 1.
  check(std::string("new l ko-listfill 65537 8") + list, padded({"1.0", "8.0", "2.0"}));
  check("new l ko-listfill\nassist l inlet 3\nassist l outlet 0",
        "assist l inlet 3: echo e   c  h   o\nassist l outlet 0: (list) pad     e         c            h              o\n");
}

}  // namespace
