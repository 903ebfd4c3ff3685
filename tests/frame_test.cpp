// The object side shared by every plug-in: the number rule, keyword passes, banners,
// console dumps and assist texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/args.h"
#include "frame/console.h"
#include "host/patch.h"

namespace {

using kohost::float_atom;
using kohost::long_atom;
using kohost::sym_atom;

TEST(NumberRule, ANonNumberFillsNothingAndIsNotConsumed) {
  const std::vector<max::Atom> list = {long_atom(4), float_atom(2.5f), sym_atom("x"), long_atom(9)};
  double out[4] = {-1, -1, -1, -1};
  ko::ArgCursor cur(static_cast<std::int32_t>(list.size()), list.data());
  EXPECT_EQ(cur.read(out, 4), 2);
  EXPECT_EQ(out[0], 4.0);
  EXPECT_EQ(out[1], 2.5);
  EXPECT_EQ(out[2], -1.0);  // kept
  EXPECT_EQ(out[3], -1.0);  // the same symbol again
  EXPECT_EQ(cur.position(), 2);
  // Reading stops at the end of the list.
  double more[2] = {7, 7};
  EXPECT_EQ(ko::read_numbers(1, list.data(), more, 2), 1);
  EXPECT_EQ(more[1], 7.0);
}

TEST(NumberRule, FloatsBecomeLongsTruncatedTowardZeroAndSaturating) {
  EXPECT_EQ(ko::to_long(-2.7), -2);
  EXPECT_EQ(ko::to_long(2.7), 2);
  EXPECT_EQ(ko::to_long(1e20), 2147483647);
  EXPECT_EQ(ko::to_long(-1e20), -2147483647 - 1);
  EXPECT_EQ(ko::to_long(__builtin_nan("")), 0);
}

TEST(KindRule, TheFirstAtomSetsTheKindAndEveryAtomKeepsItsPlace) {
  ko::NumberKind kind = ko::NumberKind::Float;
  EXPECT_FALSE(ko::first_kind(0, nullptr, kind));
  const std::vector<max::Atom> longs = {long_atom(4), float_atom(-2.7f), sym_atom("x"), long_atom(9), long_atom(1)};
  ASSERT_TRUE(ko::first_kind(5, longs.data(), kind));
  EXPECT_EQ(kind, ko::NumberKind::Long);
  // A float among longs is truncated; the symbol fills nothing but is passed over.
  double out[4] = {-1, -1, -1, -1};
  ko::ArgCursor cur(5, longs.data());
  EXPECT_EQ(cur.read_as(kind, out, 4), 4);
  EXPECT_EQ(out[0], 4.0);
  EXPECT_EQ(out[1], -2.0);
  EXPECT_EQ(out[2], -1.0);
  EXPECT_EQ(out[3], 9.0);
  EXPECT_EQ(cur.position(), 4);
  // The end of the list ends the reading.
  double rest[3] = {7, 7, 7};
  EXPECT_EQ(cur.read_as(ko::NumberKind::Float, rest, 3), 1);
  EXPECT_EQ(rest[0], 1.0);
  EXPECT_EQ(rest[1], 7.0);
  const std::vector<max::Atom> floats = {float_atom(2.5f), long_atom(3)};
  ASSERT_TRUE(ko::first_kind(2, floats.data(), kind));
  EXPECT_EQ(kind, ko::NumberKind::Float);
  EXPECT_FALSE(ko::first_kind(1, std::vector<max::Atom>{sym_atom("x")}.data(), kind));
}

// Runs keyword passes over keys "@a" (two numbers) and "@b" (one number), recording what
// each key read.
std::string passes(const std::vector<max::Atom>& list, ko::Passes kind) {
  std::string seen;
  ko::keyword_passes(static_cast<std::int32_t>(list.size()), list.data(), kind,
                     {max::gensym("@a"), max::gensym("@b")}, [&](int key, ko::ArgCursor& cur) {
                       double v[2] = {0, 0};
                       const int n = cur.read(v, key == 0 ? 2 : 1);
                       seen += (key == 0 ? "a" : "b") + std::to_string(n) + ":" +
                               std::to_string(static_cast<int>(v[0])) + ";";
                     });
  return seen;
}

TEST(KeywordPasses, KeysMatchInTheirOrderWithinAPassAndAnyOrderAcrossPasses) {
  const auto a = sym_atom("@a");
  const auto b = sym_atom("@b");
  const auto n = long_atom(5);
  struct Case {
    std::vector<max::Atom> list;
    ko::Passes kind;
    const char* seen;
  } cases[] = {
      {{}, ko::Passes::Repeated, ""},
      {{a, n, n, b, n}, ko::Passes::Single, "a2:5;b1:5;"},
      {{b, n, a, n, n}, ko::Passes::Repeated, "b1:5;a2:5;"},    // two passes
      {{b, n, a, n, n}, ko::Passes::Single, "b1:5;"},            // "@a" had its turn
      {{n, a, n, n}, ko::Passes::Repeated, ""},                  // a first atom that is no key
      {{a, b, n}, ko::Passes::Repeated, "a0:0;b1:5;"},           // "@b" is tried as the next key
      {{a, n, sym_atom("zz"), b, n}, ko::Passes::Repeated, "a1:5;"},  // stops at an unknown atom
      {{b}, ko::Passes::Repeated, ""},                           // one atom: no pass
      {{b}, ko::Passes::Single, "b0:0;"},
      {{b, n, b, n, b, n}, ko::Passes::Repeated, "b1:5;b1:5;b1:5;"},
  };
  for (const Case& c : cases) EXPECT_EQ(passes(c.list, c.kind), c.seen);
}

// Collects console lines while a piece of the frame posts them.
class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest() {
    patch.on_console(
        [](void* ctx, bool is_error, std::string_view text) {
          static_cast<ConsoleTest*>(ctx)->lines.push_back((is_error ? "error: " : "") + std::string(text));
        },
        this);
  }
  kohost::Patch patch;
  std::vector<std::string> lines;
};

TEST_F(ConsoleTest, BannerForms) {
  const char* date = "Oct 23 2005";
  const char* time = "04:36:08";
  const std::string b53(53, ' '), b33(33, ' '), b12(12, ' ');
  struct Case {
    ko::Banner form;
    std::string line;
  } cases[] = {
      {ko::Banner::A, "Oct 23 2005 \t \a \t  04:36:08\t \a \t 0000abcdd" + b53 + "ko-x   ko objects"},
      {ko::Banner::B, "Oct 23 2005 \t \a \t  04:36:08\t \a \t 0000abcdd" + b33 + "ko-x   ko objects"},
      {ko::Banner::C, "Oct 23 2005 \t \a \t  04:36:08\t 0000abcdd" + b33 + "ko-x   ko objects"},
      {ko::Banner::D, "Oct 23 2005 \t \a \t  04:36:08\t 0000abcdd" + b12 + "ko-x   ko objects"},
      {ko::Banner::E, "\t \t \a \t  0000abcdd\t  \t\t\tko-x ko objects04:36:08"},
      {ko::Banner::F, "Oct 23 2005 \t \a \t  04:36:08\t 000abcdd"},
      {ko::Banner::G, "\xD0\xD0\xD0\xD0\xD0\xD0\xD0ko-x, ko objects\xD0\xD0\xD0\xD0\xD0\xD0\xD0\t\tv.Ax14@"},
      // A fixed stamp: no name, no time.
      {ko::Banner::H, "// 20041212   \xF5\xF5\xF5  \xF8\xF8\xF8\xF8\xF8\xF8  \xF5\xF5\xF5"},
  };
  for (const Case& c : cases) {
    lines.clear();
    ko::post_banner(c.form, "ko-x", 0xabcd, date, time);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], c.line);
  }
  // A negative time value prints as its 32-bit two's complement.
  lines.clear();
  ko::post_banner(ko::Banner::F, "ko-x", -1, date, time);
  EXPECT_EQ(lines[0], "Oct 23 2005 \t \a \t  04:36:08\t ffffffffd");
}

TEST_F(ConsoleTest, DumpFramesItsFieldLines) {
  ko::post_dump("  title 1.0", {{" n  = %ld", std::int32_t{-56}}, {" f  = %f", 0.5}});
  EXPECT_EQ(lines, (std::vector<std::string>{" \t", " \t", "  title 1.0", " \t", " n  = -56", " f  = 0.500000",
                                             " \t\t", " \t"}));
}

TEST(Assist, InletTextForAnyIndexOutletTextOnlyWhereThereIsOne) {
  char text[max::kTextBufferSize] = "untouched";
  ko::assist_texts(max::ASSIST_OUTLET, 2, text, ko::kEchoInlet, {"(list) a", "(float) b"});
  EXPECT_STREQ(text, "untouched");
  ko::assist_texts(max::ASSIST_OUTLET, -1, text, ko::kEchoInlet, {"(list) a", "(float) b"});
  EXPECT_STREQ(text, "untouched");
  ko::assist_texts(max::ASSIST_OUTLET, 1, text, ko::kEchoInlet, {"(list) a", "(float) b"});
  EXPECT_STREQ(text, "(float) b");
  ko::assist_texts(max::ASSIST_INLET, 5, text, ko::kEchoInlet, {"(list) a"});
  EXPECT_STREQ(text, "echo e   c  h   o");
}

}  // namespace
