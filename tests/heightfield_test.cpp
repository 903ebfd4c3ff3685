#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "support/patch_fixture.h"

namespace {

using Heights = std::map<std::pair<int, int>, std::string>;

// What bang sends in layout 0 from object h: every point (i, j, height) of an R x C grid,
// row by row; cells not named are 0.
std::string points(int rows, int cols, const Heights& heights = {}) {
  std::string s;
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) {
      auto it = heights.find({i, j});
      s += "h.0: list " + std::to_string(i) + " " + std::to_string(j) + " " +
           (it == heights.end() ? "0.0" : it->second) + "\n";
    }
  return s;
}

std::size_t line_count(const std::string& s) { return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n')); }

class HeightFieldTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-heightfield"}); }
};

TEST_F(HeightFieldTest, FreshGridIs400FlatPointsRowByRow) {
  EXPECT_EQ(run("new h ko-heightfield\nsend h bang"), points(20, 20));
  // Arguments to bang are ignored.
  EXPECT_EQ(run("send h bang 3 x"), points(20, 20));
  EXPECT_EQ(mistakes(), "");
}

TEST_F(HeightFieldTest, NewestListIsRowZeroOrRowRMinusOne) {
  EXPECT_EQ(run("new h ko-heightfield\nsend h 1 2 3\nsend h bang"),
            points(20, 20, {{{0, 0}, "1.0"}, {{0, 1}, "2.0"}, {{0, 2}, "3.0"}}));
  EXPECT_EQ(run("free h\nnew h ko-heightfield @dir 1\nsend h 1 2 3\nsend h bang"),
            points(20, 20, {{{19, 0}, "1.0"}, {{19, 1}, "2.0"}, {{19, 2}, "3.0"}}));
  // "dir" takes effect at the next list, which rebuilds the whole grid the other way up.
  EXPECT_EQ(run("send h dir 0\nsend h bang"), points(20, 20, {{{19, 0}, "1.0"}, {{19, 1}, "2.0"}, {{19, 2}, "3.0"}}));
  // One number alone is no list: a one-value row goes as "list".
  EXPECT_EQ(run("send h 4.5"), "error: ko-heightfield: doesn't understand \"float\"\n");
  EXPECT_EQ(run("send h list 4.5\nsend h bang"),
            points(20, 20, {{{0, 0}, "4.5"}, {{1, 0}, "1.0"}, {{1, 1}, "2.0"}, {{1, 2}, "3.0"}}));
}

TEST_F(HeightFieldTest, OlderListsMoveOneRowOnAndEmptyListsDoNothing) {
  run("new h ko-heightfield @dim 3 4");
  // An empty list writes nothing and leaves the ring where it is; a list of symbols
  // writes nothing but still takes a ring row.
  EXPECT_EQ(run("send h 1 2 3\nsend h list\nsend h 4 5 6\nsend h bang"),
            points(4, 3, {{{0, 0}, "4.0"}, {{0, 1}, "5.0"}, {{0, 2}, "6.0"},  //
                          {{1, 0}, "1.0"}, {{1, 1}, "2.0"}, {{1, 2}, "3.0"}}));
  EXPECT_EQ(run("send h list foo 7\nsend h bang"),
            points(4, 3, {{{1, 0}, "4.0"}, {{1, 1}, "5.0"}, {{1, 2}, "6.0"},  //
                          {{2, 0}, "1.0"}, {{2, 1}, "2.0"}, {{2, 2}, "3.0"}}));
}

TEST_F(HeightFieldTest, AListTakesAtMostOneValuePerColumn) {
  // 30 columns, 10 rows: a list of 31 values fills the 30 columns of row 0.
  std::string list = "send h";
  Heights row0;
  for (int c = 0; c < 31; ++c) {
    list += " " + std::to_string(c + 1);
    if (c < 30) row0[{0, c}] = std::to_string(c + 1) + ".0";
  }
  EXPECT_EQ(run("new h ko-heightfield\nsend h dim 30 10\n" + list + "\nsend h bang"), points(10, 30, row0));
  // Fewer columns than values: the excess is dropped.
  EXPECT_EQ(run("send h dim 2 1\nsend h 7 8 9\nsend h bang"), "h.0: list 0 0 7.0\nh.0: list 0 1 8.0\n");
}

TEST_F(HeightFieldTest, ASymbolEndsTheListAndTheRingRowKeepsTheRest) {
  // The ring has 257 rows: after 257 lists the same ring row comes round again, and a
  // list cut short by a symbol leaves that row's earlier values behind the cut.
  std::string script = "new h ko-heightfield @dim 3 2\nsend h 1 1 1\n";
  for (int k = 0; k < 256; ++k) script += "send h list x\n";
  script += "send h 5 foo 7\nsend h bang";
  EXPECT_EQ(run(script), points(2, 3, {{{0, 0}, "5.0"}, {{0, 1}, "1.0"}, {{0, 2}, "1.0"}}));
}

TEST_F(HeightFieldTest, OmGatesAndDrawChoosesTheLayout) {
  run("new h ko-heightfield @dim 3 2\nsend h 1 2 3");
  const std::string grid = points(2, 3, {{{0, 0}, "1.0"}, {{0, 1}, "2.0"}, {{0, 2}, "3.0"}});
  EXPECT_EQ(run("send h om 2\nsend h bang"), "");
  EXPECT_EQ(run("send h om -1\nsend h bang"), "");
  EXPECT_EQ(run("send h om 1\nsend h bang"), grid);
  EXPECT_EQ(run("send h om 2.9\nsend h bang"), "");
  EXPECT_EQ(run("send h om 0\nsend h bang"), grid);
  // Kept to 16 bits: 65536 is 0, 65537 is 1.
  EXPECT_EQ(run("send h om 2\nsend h om 65537\nsend h bang"), grid);
  EXPECT_EQ(run("send h draw 8\nsend h bang"), "");
  EXPECT_EQ(run("send h draw 65536\nsend h bang"), grid);
  // No number: the field stays.
  EXPECT_EQ(run("send h om\nsend h om x 2\nsend h bang"), grid);
}

TEST_F(HeightFieldTest, TheEightLayouts) {
  // Rows 0..2 hold 4 5 6, 1 2 3, 7 8 9; then the grid shrinks to 3 columns x 2 rows, so
  // row 2 lies outside it but still holds 7 8 9.
  run("new h ko-heightfield @dim 3 3\nsend h 7 8 9\nsend h 1 2 3\nsend h 4 5 6\nsend h dim 3 2");
  struct Case {
    int draw;
    const char* lines;
  };
  const Case cases[] = {
      {0, "0 0 4.0|0 1 5.0|0 2 6.0|1 0 1.0|1 1 2.0|1 2 3.0"},
      {1, "0 0 4.0|1 0 1.0|0 1 5.0|1 1 2.0|0 2 6.0|1 2 3.0|1 0 1.0|2 0 7.0|1 1 2.0|2 1 8.0|1 2 3.0|2 2 9.0"},
      {2, "0 0 4.0 1 0 1.0|0 1 5.0 1 1 2.0|0 2 6.0 1 2 3.0"},
      {3, "0 0 4.0 0 1 5.0|0 1 5.0 0 2 6.0|1 0 1.0 1 1 2.0|1 1 2.0 1 2 3.0"},
      {4, "0 0 4.0 1 0 1.0|0 1 5.0 1 1 2.0|0 2 6.0 1 2 3.0|"
          "0 0 4.0 0 1 5.0|0 1 5.0 0 2 6.0|1 0 1.0 1 1 2.0|1 1 2.0 1 2 3.0"},
      {5, "0 0 4.0|1 0 1.0|0 1 5.0|1 1 2.0|0 2 6.0|1 2 3.0"},
      // The first pass runs its first index over C and its second over R.
      {6, "0 0 4.0|0 1 5.0|1 0 1.0|1 1 2.0|2 0 7.0|2 1 8.0|"
          "0 0 4.0|1 0 1.0|0 1 5.0|1 1 2.0|0 2 6.0|1 2 3.0"},
      {7, "0 0 4.0|1 0 1.0|0 1 5.0|1 1 2.0|1 0 1.0|2 0 7.0|1 1 2.0|2 1 8.0|2 0 7.0|3 0 0.0|2 1 8.0|3 1 0.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.draw);
    std::string expected = "h.0: list ";
    for (const char* p = c.lines; *p; ++p) expected += *p == '|' ? std::string("\nh.0: list ") : std::string(1, *p);
    EXPECT_EQ(run("send h draw " + std::to_string(c.draw) + "\nsend h bang"), expected + "\n");
  }
  // Segments need two rows (layout 2) or two columns (layout 3).
  EXPECT_EQ(run("send h dim 3 1\nsend h draw 2\nsend h bang"), "");
  EXPECT_EQ(run("send h dim 1 2\nsend h draw 3\nsend h bang"), "");
}

TEST_F(HeightFieldTest, ShiftMovesTheGridDiagonally) {
  run("new h ko-heightfield @dim 5 4\nsend h 1 2 3");
  // Row 0 stays; row 1 holds 1 2 3 one column on, its column 0 keeps its 0.
  EXPECT_EQ(run("send h shift 1\nsend h bang"),
            points(4, 5, {{{0, 0}, "1.0"}, {{0, 1}, "2.0"}, {{0, 2}, "3.0"},  //
                          {{1, 1}, "1.0"}, {{1, 2}, "2.0"}, {{1, 3}, "3.0"}}));
  // Back one column: 1 2 3 in columns 0..2 of row 2.
  EXPECT_EQ(run("send h shift 0\nsend h bang"),
            points(4, 5, {{{0, 0}, "1.0"}, {{0, 1}, "2.0"}, {{0, 2}, "3.0"},  //
                          {{1, 0}, "2.0"}, {{1, 1}, "3.0"},                   //
                          {{2, 0}, "1.0"}, {{2, 1}, "2.0"}, {{2, 2}, "3.0"}}));
  // The next list rebuilds every active cell from the ring.
  EXPECT_EQ(run("send h list 9\nsend h bang"),
            points(4, 5, {{{0, 0}, "9.0"}, {{1, 0}, "1.0"}, {{1, 1}, "2.0"}, {{1, 2}, "3.0"}}));
}

TEST_F(HeightFieldTest, ShiftDirections) {
  // Two shifts on a fresh 5 x 4 grid whose row 0 holds 1 2 3.
  auto after = [&](const std::string& first, const std::string& second) {
    return run("new h ko-heightfield @dim 5 4\nsend h 1 2 3\nsend h " + first + "\nsend h " + second +
               "\nsend h bang\nfree h");
  };
  const std::string on_on = after("shift 1", "shift 1");
  const std::string on_back = after("shift 1", "shift 0");
  ASSERT_NE(on_on, on_back);
  // Kept to 16 bits; a symbol counts as a non-zero direction.
  EXPECT_EQ(after("shift 1", "shift 65536"), on_back);
  EXPECT_EQ(after("shift 1", "shift 0.9"), on_back);
  EXPECT_EQ(after("shift 1", "shift 65537"), on_on);
  EXPECT_EQ(after("shift 1", "shift -3"), on_on);
  EXPECT_EQ(after("shift 1", "shift up"), on_on);
  // No argument: nothing happens.
  EXPECT_EQ(after("shift", "shift 1"), after("shift 1", "wh"));
  EXPECT_EQ(mistakes(), "");
}

TEST_F(HeightFieldTest, ShiftReachesRowRAndColumnC) {
  // One column, one row: the value goes to (1, 1) and comes back to (2, 0).
  run("new h ko-heightfield @dim 1 1\nsend h list 6\nsend h shift 1\nsend h dim 2 3");
  EXPECT_EQ(run("send h bang"), points(3, 2, {{{0, 0}, "6.0"}, {{1, 1}, "6.0"}}));
  EXPECT_EQ(run("send h dim 1 2\nsend h shift 0\nsend h dim 2 3\nsend h bang"),
            points(3, 2, {{{0, 0}, "6.0"}, {{1, 1}, "6.0"}, {{2, 0}, "6.0"}}));
}

TEST_F(HeightFieldTest, CoordAndCoreReadTheNearestCell) {
  // Row r holds 10 r + c in column c for r, c in 0..9.
  std::string script = "new h ko-heightfield @dim 10 10\n";
  for (int r = 9; r >= 0; --r) {
    script += "send h";
    for (int c = 0; c < 10; ++c) script += " " + std::to_string(10 * r + c);
    script += "\n";
  }
  run(script);
  struct Case {
    const char* message;
    const char* value;
  };
  const Case cases[] = {
      {"coord 3.4 7.6 0", "38.0"},
      {"coord 3.5 7.49 0", "47.0"},
      {"coord 2", "27.0"},  // y and z keep their stored values
      {"coord -4 -1 0", "0.0"},
      // Clamped to x = 10, y = 10: row 10 and column 10 lie outside the grid.
      {"coord 25 25 0", "0.0"},
      {"core 0 0 0", "5.5"},       // (0 + 1 + 10 + 11) / 4
      {"core 4.4 6.6 0", "52.5"},  // (47 + 48 + 57 + 58) / 4
      {"core 9 0 0", "45.25"},     // (90 + 91 + 0 + 0) / 4: row 10 is outside
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(run(std::string("send h ") + c.message), std::string("h.1: float ") + c.value + "\n");
  }
  // No arguments: no answer. A symbol first: the stored point is used.
  EXPECT_EQ(run("send h coord\nsend h core\nsend h coords"), "");
  EXPECT_EQ(run("send h coord 3.4 7.6 0\nsend h coord foo 1"), "h.1: float 38.0\nh.1: float 38.0\n");
}

TEST_F(HeightFieldTest, QueriesClampToTheCountsAndReadRowR) {
  EXPECT_EQ(run("new h ko-heightfield\nsend h coord 25 5 0"), "h.1: float 0.0\n");
  // Write row 20 (one row more, newest at the bottom), then shrink back to 20 rows.
  EXPECT_EQ(run("send h dim 20 21\nsend h dir 1\nsend h 0 1 2 3 4 5 6\nsend h dim 20 20\nsend h coord 25 5 0"),
            "h.1: float 5.0\n");
  // The point is stored clamped: with more rows, x is still 20.
  EXPECT_EQ(run("send h dim 30 30\nsend h coord foo"), "h.1: float 5.0\n");
}

TEST_F(HeightFieldTest, CoordsIsTheSignedDistanceFromThePlaneOfThreeGridPoints) {
  // A flat grid of height 3: the distance is z - 3.
  run("new h ko-heightfield @dim 4 4\nsend h 3 3 3 3\nsend h 3 3 3 3\nsend h 3 3 3 3\nsend h 3 3 3 3");
  EXPECT_EQ(run("send h coords 1.5 1.5 10"), "h.1: float 7.0\n");
  EXPECT_EQ(run("send h coords 0 2.9 -1"), "h.1: float -4.0\n");
  EXPECT_EQ(run("send h coords 2.2 0.7 3"), "h.1: float 0.0\n");
  // The slope z = y: rows 0 1 2 3. The normal is (0, -1, 1) / sqrt 2.
  run("send h 0 1 2 3\nsend h 0 1 2 3\nsend h 0 1 2 3\nsend h 0 1 2 3");
  EXPECT_EQ(run("send h coords 1.5 2.5 2.5"), "h.1: float 0.0\n");
  EXPECT_EQ(run("send h coords 1.5 2.5 3.5"), "h.1: float 0.70710677\n");
  EXPECT_EQ(run("send h coords 0 0 -1"), "h.1: float -0.70710677\n");
  // Heights 6 (0, 0), 7 (0, 1), 1 (1, 0): the normal is (5, -1, 1) / sqrt 27.
  run("send h 1 0 0 0\nsend h 6 7 0 0");
  EXPECT_EQ(run("send h coords 0 0 5"), "h.1: float -0.19245009\n");
}

TEST_F(HeightFieldTest, ANewInstanceClearsTheSharedGrid) {
  run("new a ko-heightfield @dim 3 2\nsend a 1 2 3");
  EXPECT_EQ(run("new b ko-heightfield\nsend a bang"),
            "a.0: list 0 0 0.0\na.0: list 0 1 0.0\na.0: list 0 2 0.0\n"
            "a.0: list 1 0 0.0\na.0: list 1 1 0.0\na.0: list 1 2 0.0\n");
  // One ring, a position each: b writes ring row 256 (where a's first list was), a,
  // whose position has moved on, the row after it, and sees b's list one row down.
  EXPECT_EQ(run("send b 2 2 2\nsend a 3 3 3\nsend a bang"),
            "a.0: list 0 0 3.0\na.0: list 0 1 3.0\na.0: list 0 2 3.0\n"
            "a.0: list 1 0 2.0\na.0: list 1 1 2.0\na.0: list 1 2 2.0\n");
  // Freeing an instance leaves the grid.
  EXPECT_EQ(run("free b\nsend a coord 1 1 0"), "a.1: float 2.0\n");
}

TEST_F(HeightFieldTest, DimKeepsTheCountsInsideTheStores) {
  // Counts above 254 are 254, negative ones 0; floats are truncated.
  EXPECT_EQ(line_count(run("new h ko-heightfield\nsend h dim 300 1.9\nsend h bang")), 254u);
  EXPECT_EQ(run("send h dim -5\nsend h bang"), "");
  EXPECT_EQ(run("send h dim 2.9 foo 5\nsend h bang"), "h.0: list 0 0 0.0\nh.0: list 0 1 0.0\n");
  EXPECT_EQ(run("send h dim foo 5\nsend h bang"), "h.0: list 0 0 0.0\nh.0: list 0 1 0.0\n");
  // At the largest grid every operation reaches at most row and column 255.
  std::string list = "send h";
  for (int c = 1; c <= 300; ++c) list += " " + std::to_string(c);
  run("send h dim 1000 1000\n" + list + "\nsend h shift 1\nsend h shift 0");
  EXPECT_EQ(run("send h coord 0 253 0\nsend h coord 999 999 0\nsend h core 999 999 0\nsend h coords 999 999 1"),
            "h.1: float 254.0\nh.1: float 0.0\nh.1: float 0.0\nh.1: float 1.0\n");
  EXPECT_EQ(line_count(run("send h draw 1\nsend h bang")), 2u * 254 * 254);
  EXPECT_EQ(line_count(run("send h draw 7\nsend h bang")), 2u * 254 * 254);
  EXPECT_EQ(mistakes(), "");
}

TEST_F(HeightFieldTest, ARebuildChangesOnlyTheActiveCells) {
  // 250 columns, 3 rows. A shift puts 250 into column 250 of row 1, right of the grid.
  std::string script = "new h ko-heightfield @dim 250 3\nsend h";
  for (int c = 1; c <= 250; ++c) script += " " + std::to_string(c);
  script += "\nsend h shift 1\n";
  // 257 one-value lists: the ring comes round to the first list's row and wraps in the
  // middle of the grid.
  for (int k = 1; k <= 257; ++k) script += "send h list " + std::to_string(k) + "\n";
  run(script);
  EXPECT_EQ(run("send h coord 0 0 0\nsend h coord 0 249 0\nsend h coord 1 0 0\nsend h coord 2 0 0\n"
                "send h coord 1 250 0\nsend h coord 0 250 0\nsend h coord 1 249 0"),
            "h.1: float 257.0\nh.1: float 250.0\nh.1: float 256.0\nh.1: float 255.0\n"
            "h.1: float 250.0\nh.1: float 0.0\nh.1: float 0.0\n");
  // The same with the newest row at the bottom.
  EXPECT_EQ(run("send h dir 1\nsend h list 9\nsend h coord 2 0 0\nsend h coord 1 0 0\nsend h coord 1 250 0"),
            "h.1: float 9.0\nh.1: float 257.0\nh.1: float 250.0\n");
}

TEST_F(HeightFieldTest, CreationKeys) {
  struct Case {
    const char* args;
    const char* script;  // after creation
    std::size_t lines;   // what the script prints
  };
  const Case cases[] = {
      {"@dim 30 30", "send h bang", 900},
      {"@dim 30 30 @draw 4", "send h bang", 2 * 30 * 29},
      {"@draw 4 @dim 30 30", "send h bang", 2 * 30 * 29},
      {"@om 2 @dim 8 8", "send h bang", 0},
      {"@om 1 @dim 8 8", "send h bang", 64},
      {"@dim 5", "send h bang", 100},           // C = 5, R stays 20
      {"@dim 5 x 3", "send h bang", 100},       // the symbol ends everything
      {"@dim -3 400", "send h bang", 0},        // C = 0, R = 254
      {"@dim 2.9 3.9", "send h bang", 6},       // truncated
      {"foo @om 2", "send h bang", 400},        // no key first: nothing is read
      {"@dim", "send h bang", 400},             // one item: no pass
      {"@draw @dim 2 2", "send h bang", 4},     // "@draw" takes no number, "@dim" follows
      {"@dir 1 @dim 3 3", "send h list 1\nsend h coord 2 0 0", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    EXPECT_EQ(line_count(run(std::string("new h ko-heightfield ") + c.args + "\n" + c.script + "\nfree h")), c.lines);
    EXPECT_EQ(mistakes(), "");
  }
  // "@dir" 1 put the newest list at the bottom.
  EXPECT_EQ(run("new h ko-heightfield @dir 1 @dim 3 3\nsend h list 1\nsend h coord 2 0 0"), "h.1: float 1.0\n");
}

TEST_F(HeightFieldTest, PostDumpsTheActiveGrid) {
  EXPECT_EQ(run("new h ko-heightfield @dim 2 2\nsend h 1.5 -2\nsend h post x"),
            "console: 00 00 __ 1.500000\nconsole: 00 01 __ -2.000000\n"
            "console: 01 00 __ 0.000000\nconsole: 01 01 __ 0.000000\n");
  EXPECT_EQ(run("send h dim 12 11\nsend h post"),
            [] {
              std::string s;
              for (int i = 0; i < 11; ++i)
                for (int j = 0; j < 12; ++j) {
                  char line[64];
                  std::snprintf(line, sizeof line, "console: %02d %02d __ %s\n", i, j,
                                i == 0 && j < 2 ? (j == 0 ? "1.500000" : "-2.000000") : "0.000000");
                  s += line;
                }
              return s;
            }());
  EXPECT_EQ(run("send h wh\nsend h wh 1 2 x"), "");
  EXPECT_EQ(mistakes(), "");
}

TEST_F(HeightFieldTest, AssistTexts) {
  EXPECT_EQ(run("new h ko-heightfield\nassist h inlet 0\nassist h inlet 2\nassist h outlet 0\n"
                "assist h outlet 1\nassist h outlet 2\nassist h outlet 3"),
            "assist h inlet 0: echo e   c  h   o\n"
            "assist h inlet 2: echo e   c  h   o\n"
            "assist h outlet 0: (list) heightfield" + std::string(5, ' ') + "e" + std::string(9, ' ') + "c" +
                std::string(12, ' ') + "h" + std::string(14, ' ') + "o\n" +
                "assist h outlet 1: (double) heightfield z" + std::string(4, ' ') + "e" + std::string(9, ' ') + "c" +
                std::string(12, ' ') + "h" + std::string(14, ' ') + "o\n" +
                "assist h outlet 2: (list) heightfield aktiv" + std::string(4, ' ') + "e" + std::string(9, ' ') +
                "c" + std::string(12, ' ') + "h" + std::string(14, ' ') + "o\n" + "assist h outlet 3:\n");
}

}  // namespace
