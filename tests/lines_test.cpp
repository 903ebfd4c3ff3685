// How script bytes become lines: the three line ends, the byte order mark, bytes that
// arrive in pieces, and lines too long to keep.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/kohost/lines.h"

namespace {

using kohost::LineReader;

// Feeds the pieces one by one, collecting what is ready after each, then finishes.
// Each line comes back as "N:text", or "N:too long".
std::vector<std::string> read_lines(const std::vector<std::string>& pieces) {
  LineReader r;
  std::vector<std::string> got;
  std::string line;
  auto drain = [&] {
    while (r.next(line)) got.push_back(std::to_string(r.line_no()) + ":" + (r.too_long() ? "too long" : line));
  };
  for (const std::string& p : pieces) {
    r.feed(p);
    drain();
  }
  r.finish();
  drain();
  return got;
}

using Lines = std::vector<std::string>;

TEST(LineReader, LineEnds) {
  struct Case {
    Lines pieces;
    Lines want;
  };
  const Case cases[] = {
      {{""}, {}},
      {{"a"}, {"1:a"}},
      {{"a\n"}, {"1:a"}},
      {{"a\nb"}, {"1:a", "2:b"}},
      {{"a\r\nb\r\n"}, {"1:a", "2:b"}},
      {{"a\rb\rc"}, {"1:a", "2:b", "3:c"}},
      {{"\n\r\n\r"}, {"1:", "2:", "3:"}},
      {{"a\n\rb"}, {"1:a", "2:", "3:b"}},   // LF then CR: two ends
      {{"a\r\rb"}, {"1:a", "2:", "3:b"}},   // two lone CRs
      {{"a\r\n\nb"}, {"1:a", "2:", "3:b"}},
      {{"x \t\r"}, {"1:x \t"}},
      // a CR ending one piece and an LF starting the next are one line end
      {{"a\r", "\nb"}, {"1:a", "2:b"}},
      {{"a\r", "b\r", "", "\n", "c"}, {"1:a", "2:b", "3:c"}},
      {{"a\r", "\r", "\n"}, {"1:a", "2:"}},
      {{"ab", "c\n", "d"}, {"1:abc", "2:d"}},
      // a NUL is an ordinary byte here; the script decides what it means
      {{std::string("a\0b\n", 4)}, {std::string("1:a\0b", 5)}},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& p : c.pieces) shown += "[" + p + "]";
    EXPECT_EQ(read_lines(c.pieces), c.want) << shown;
  }
}

TEST(LineReader, BytesOneAtATime) {
  const std::string text = "\xEF\xBB\xBFnew a\r\nsend a 1\rsend a\n\n2";
  Lines pieces;
  for (const char c : text) pieces.emplace_back(1, c);
  EXPECT_EQ(read_lines(pieces), (Lines{"1:new a", "2:send a 1", "3:send a", "4:", "5:2"}));
}

TEST(LineReader, ByteOrderMarkAtTheStartIsSkipped) {
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(read_lines({bom + "echo\n"}), Lines{"1:echo"});
  EXPECT_EQ(read_lines({bom}), Lines{});
  EXPECT_EQ(read_lines({bom + "\n"}), Lines{"1:"});
  // split over pieces, one byte at a time
  EXPECT_EQ(read_lines({"\xEF", "\xBB", "\xBF", "a\n"}), Lines{"1:a"});
  // only at the very start, and only whole
  EXPECT_EQ(read_lines({"a\n" + bom + "b"}), (Lines{"1:a", "2:" + bom + "b"}));
  EXPECT_EQ(read_lines({bom + bom + "a"}), Lines{"1:" + bom + "a"});
  EXPECT_EQ(read_lines({"\xEF\xBB", "x"}), Lines{"1:\xEF\xBBx"});
  EXPECT_EQ(read_lines({"\xEF\xBB"}), Lines{"1:\xEF\xBB"});
}

TEST(LineReader, OverlongLinesAreMarkedAndCounted) {
  const std::size_t max = LineReader::kMaxLine;
  const std::string longest(max, 'x');
  // At the limit a line is kept; one byte more and it is not, whether it comes whole or
  // in pieces, ended or not. The lines after it keep their numbers.
  EXPECT_EQ(read_lines({longest + "\nb"}), (Lines{"1:" + longest, "2:b"}));
  EXPECT_EQ(read_lines({"a\n" + longest + "x\r\nb"}), (Lines{"1:a", "2:too long", "3:b"}));
  EXPECT_EQ(read_lines({"a\n", longest, "x", longest, "\rb\n"}), (Lines{"1:a", "2:too long", "3:b"}));
  EXPECT_EQ(read_lines({longest, "xy"}), Lines{"1:too long"});
}

TEST(LineReader, AnOverlongLineInManyPiecesEndsAtItsLineEnd) {
  // Four megabytes fed in pieces with no line end: nothing is ready until the end comes.
  LineReader r;
  const std::string piece(64 * 1024, 'z');
  std::string line;
  for (int i = 0; i < 64; ++i) {
    r.feed(piece);
    EXPECT_FALSE(r.next(line));
  }
  r.feed("\nok");
  ASSERT_TRUE(r.next(line));
  EXPECT_TRUE(r.too_long());
  r.finish();
  ASSERT_TRUE(r.next(line));
  EXPECT_EQ(line, "ok");
  EXPECT_EQ(r.line_no(), 2u);
}

}  // namespace
