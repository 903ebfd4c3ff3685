// ko-pointbank: ko-trail's history plus a bank of screens of points.
#include <string>

#include "support/patch_fixture.h"

namespace {

class PointBankTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-pointbank"}); }

  void check(const std::string& lines, const std::string& expected) {
    SCOPED_TRACE(lines);
    EXPECT_EQ(run(lines), expected);
    run("free p");
    EXPECT_EQ(mistakes(), "");
  }
};

// The closing list of a bang on a history that holds only zeros.
std::string zeros(int n) {
  std::string s = "p.0: list";
  for (int i = 0; i < n; ++i) s += " 0.0";
  return s + "\n";
}

std::string point(int x, int y, int screen) {
  return "p.0: list " + std::to_string(x) + ".0 " + std::to_string(y) + ".0 " + std::to_string(screen) + ".0\n";
}

// Lists "send p k k" for k = from..to.
std::string lists(int from, int to) {
  std::string s;
  for (int k = from; k <= to; ++k) s += "send p " + std::to_string(k) + " " + std::to_string(k) + "\n";
  return s;
}

TEST_F(PointBankTest, BangSendsEveryStoredPointThenTheHistoryWindow) {
  check("new p ko-pointbank\nsend p bang", zeros(16));
  // Pairs of the list become the points of screen 9; an odd last number is dropped.
  check("new p ko-pointbank 2\nsend p 1 2 3 4 5\nsend p bang", point(1, 2, 9) + point(3, 4, 9) + zeros(2));
  // The closing list is the oldest-first window, as ko-trail's bang sends it.
  check("new p ko-pointbank 3 2\nsend p 1\nsend p 2\nsend p 3.5\nsend p 5 6\nsend p bang",
        point(5, 6, 9) + "p.0: list 0.0 1.0 2.0\n");
}

TEST_F(PointBankTest, ListsCycleThroughEveryShownScreen) {
  // Ten lists fill screens 9 down to 0; bang shows them all, screen 0 first.
  std::string shown;
  for (int s = 0; s <= 9; ++s) shown += point(10 - s, 10 - s, s);
  check("new p ko-pointbank 1\n" + lists(1, 10) + "send p bang", shown + zeros(1));
  // The eleventh goes round to screen 9 again.
  std::string again = shown;
  again.replace(again.find(point(1, 1, 9)), point(1, 1, 9).size(), point(11, 11, 9));
  check("new p ko-pointbank 1\n" + lists(1, 11) + "send p bang", again + zeros(1));
  // Three screens: 2, 1, 0, 2.
  check("new p ko-pointbank 1\nsend p num_ecran 3\n" + lists(1, 4) + "send p bang",
        point(3, 3, 0) + point(2, 2, 1) + point(4, 4, 2) + zeros(1));
}

TEST_F(PointBankTest, NumEcranIsClampedAndTakesEffectAtTheNextList) {
  check("new p ko-pointbank 1\nsend p num_ecran 0\n" + lists(1, 3) + "send p bang", point(3, 3, 0) + zeros(1));
  // Raised: the cycle goes on down from 9, then starts again at 99, the last screen.
  std::string expected;
  for (int s = 0; s <= 9; ++s) expected += point(10 - s, 10 - s, s);
  check("new p ko-pointbank 1\nsend p num_ecran 500\n" + lists(1, 11) + "send p bang",
        expected + point(11, 11, 99) + zeros(1));
  // Lowered below the current screen: the next list goes to the new top.
  check("new p ko-pointbank 1\nsend p 1 1\nsend p num_ecran 4\nsend p 2 2\nsend p 3 3\nsend p bang",
        point(3, 3, 2) + point(2, 2, 3) + zeros(1));
  // Screens beyond num_ecran keep their points but are not shown.
  check("new p ko-pointbank 1\nsend p 1 1\nsend p num_ecran 9\nsend p bang\nsend p num_ecran 10\nsend p bang",
        zeros(1) + point(1, 1, 9) + zeros(1));
}

TEST_F(PointBankTest, AScreenShowsOnlyItsCountedPoints) {
  // Twenty numbers at most; a place a symbol leaves unfilled is 0.
  std::string twenty_five = "send p";
  std::string ten;
  for (int i = 1; i <= 25; ++i) twenty_five += " " + std::to_string(i);
  for (int i = 1; i <= 19; i += 2) ten += point(i, i + 1, 9);
  check("new p ko-pointbank 1\n" + twenty_five + "\nsend p bang", ten + zeros(1));
  check("new p ko-pointbank 1\nsend p list 1 2 x 4\nsend p bang", point(1, 2, 9) + point(0, 0, 9) + zeros(1));
  // Five points, then one, then none (a lone number): only counted points are shown.
  check("new p ko-pointbank 1\nsend p num_ecran 1\nsend p 1 2 3 4 5 6 7 8 9 10\nsend p 7 7\nsend p list 3\nsend p bang"
        "\nsend p list 8 9\nsend p bang",
        zeros(1) + point(8, 9, 0) + zeros(1));
}

TEST_F(PointBankTest, TheHistoryMessagesWorkAsInTrail) {
  check("new p ko-pointbank 3 0\nsend p 1\nsend p 2.5\nsend p om 1\nsend p 3\nsend p set 7 8 9\nsend p:1 2\nsend p om 2"
        "\nsend p 4\nsend p bang",
        "p.0: list 1.0 0.0 0.0\np.0: list 2.5 1.0 0.0\np.0: list 0.0 1.0 2.5\np.0: list 9.0 3.0\n");
  check("new p ko-pointbank\nassist p inlet 1\nassist p outlet 0",
        "assist p inlet 1: e c ho    e   c  h   o\n"
        "assist p outlet 0: (list) pointbank   e         c              h              o\n");
}

}  // namespace
