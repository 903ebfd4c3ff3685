// ko-trail: a ring of past values and the windows of the most recent ones.
#include <string>

#include "support/patch_fixture.h"

namespace {

class TrailTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-trail"}); }

  void check(const std::string& lines, const std::string& expected) {
    SCOPED_TRACE(lines);
    EXPECT_EQ(run(lines), expected);
    run("free t");
    EXPECT_EQ(mistakes(), "");
  }
};

std::string pushes(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i) s += "send t " + std::to_string(i) + "\n";
  return s;
}

// "t.0: list" and the whole numbers from..to, counting up or down.
std::string window(int from, int to) {
  std::string s = "t.0: list";
  for (int i = from;; i += from <= to ? 1 : -1) {
    s += " " + std::to_string(i) + ".0";
    if (i == to) break;
  }
  return s + "\n";
}

std::string zeros(int n) {
  std::string s = "t.0: list";
  for (int i = 0; i < n; ++i) s += " 0.0";
  return s + "\n";
}

TEST_F(TrailTest, PushesSendTheWindowOmAsksFor) {
  // Newest first; bang is oldest first and lags by one value.
  check("new t ko-trail 3 0\n" + pushes(1, 3) + "send t bang",
        "t.0: list 1.0 0.0 0.0\n" + window(2, 0) + window(3, 1) + window(0, 2));
  check("new t ko-trail 3 1\n" + pushes(1, 3),
        "t.0: list 0.0 0.0 0.0\nt.0: list 0.0 0.0 1.0\n" + window(0, 2));
  check("new t ko-trail 3 2\n" + pushes(1, 3) + "send t bang", window(0, 2));
  // om takes the low 16 bits: 65536 is 0, 65537 is 1.
  check("new t ko-trail 2 65537\nsend t 4\nsend t om 65536\nsend t 5.5\nsend t om -1\nsend t 6",
        "t.0: list 0.0 0.0\nt.0: list 5.5 4.0\n");
}

TEST_F(TrailTest, SetWritesPastValuesAndSendsNothing) {
  // A short list fills ages m..1; age 0 keeps its value, as the next push shows.
  check("new t ko-trail 3\nsend t 5\nsend t om 2\nsend t set 7 8 9\nsend t bang\nsend t om 0\nsend t 10",
        "t.0: list 5.0 0.0 0.0\n" + window(7, 9) + "t.0: list 10.0 5.0 9.0\n");
  // A longer list fills ages size..0 with its first size + 1 numbers.
  check("new t ko-trail 3 2\nsend t set 7 8 9 10 11\nsend t bang\nsend t om 0\nsend t 12",
        window(7, 9) + "t.0: list 12.0 10.0 9.0\n");
  // Fewer numbers than the window: ages 2, 1.
  check("new t ko-trail 3 2\nsend t set 7 8\nsend t bang", "t.0: list 0.0 7.0 8.0\n");
  // A symbol ends the writing: only 7, at age 3.
  check("new t ko-trail 3 2\nsend t set 7 sym 9\nsend t bang", "t.0: list 7.0 0.0 0.0\n");
  check("new t ko-trail 3 2\nsend t set\nsend t set 1.5 x\nsend t bang", "t.0: list 0.0 1.5 0.0\n");
}

TEST_F(TrailTest, SizesFromCreationMessagesAndTheRightInlet) {
  check("new t ko-trail 255 2\nsend t bang\nsend t size 255\nsend t size 0\nsend t bang", zeros(255) + zeros(255));
  for (const char* creation : {"new t ko-trail", "new t ko-trail 0", "new t ko-trail 256", "new t ko-trail -3 2"}) {
    check(std::string(creation) + "\nsend t bang", zeros(16));
  }
  check("new t ko-trail 5 2\n" + pushes(1, 5) + "send t size 254\nsend t size 2\nsend t bang\nsend t:1 3\nsend t bang"
        "\nsend t:1 1.9\nsend t bang\nsend t:1 0\nsend t bang",
        window(3, 4) + window(2, 4) + window(4, 4) + window(4, 4));
}

TEST_F(TrailTest, TheRingKeepsThe257MostRecentValues) {
  // 300 pushes wrap the ring; the windows read the most recent ages.
  check("new t ko-trail 255 2\n" + pushes(1, 300) + "send t bang\nsend t size 3\nsend t om 0\nsend t 301",
        window(45, 299) + window(301, 299));
  check("new t ko-trail 2 0\nsend t 1.25\nsend t -7", "t.0: list 1.25 0.0\nt.0: list -7.0 1.25\n");
  check("new t ko-trail\nassist t inlet 0\nassist t inlet 1\nassist t outlet 0\nassist t outlet 1",
        "assist t inlet 0: e c ho    e   c  h   o\nassist t inlet 1: e c ho    e   c  h   o\n"
        "assist t outlet 0: (list) trail   e         c              h              o\nassist t outlet 1:\n");
}

}  // namespace
