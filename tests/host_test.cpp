// The host's dispatch rules, outlets and cords, deferred calls and the text forms of
// atoms, seen through a probe class linked into the test.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"
#include "host/patch.h"
#include "host/text.h"
#include "support/patch_fixture.h"

namespace {

struct Probe {
  max::Object ob;
  max::Outlet* out[2];
  std::int32_t made_with[2];
};

max::Class* probe_class;
max::Class* pair_class;
std::string calls;

void probe_bang(Probe* x) {
  calls += "bang;";
  max::outlet_bang(x->out[1]);
  max::outlet_int(x->out[0], 7);
}
// Appends words to the call log.
void log(std::initializer_list<std::string> words) {
  for (const std::string& w : words) calls += w;
}

void probe_int(Probe*, std::int32_t n) { log({"int ", std::to_string(n), ";"}); }
void probe_typed(Probe*, std::int32_t a, double b, std::int32_t c) {
  log({"typed ", std::to_string(a), " ", kohost::format_float(static_cast<float>(b)), " ", std::to_string(c), ";"});
}
void probe_need(Probe*, double a) { log({"need ", kohost::format_float(static_cast<float>(a)), ";"}); }
void probe_right(Probe*, std::int32_t n) { log({"right ", std::to_string(n), ";"}); }
void probe_relay(Probe* x, max::Symbol* s, std::int32_t argc, const max::Atom* argv) {
  max::outlet_anything(x->out[0], s, static_cast<short>(argc), argv);
}
void probe_later(Probe*, max::Symbol* s, std::int32_t argc, const max::Atom* argv) {
  log({"later ", s->s_name});
  for (int i = 0; i < argc; ++i) log({" ", kohost::format_atom(argv[i])});
  log({";"});
}
void probe_defer(Probe* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  max::defer_low(&x->ob, ko::handler<probe_later>(), max::gensym("go"), static_cast<short>(argc), argv);
}
void probe_assist(Probe*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet, {"(int) left", "(bang) right"});
}
Probe* probe_new(max::Symbol*, std::int32_t argc, const max::Atom*) {
  if (argc == 1) return nullptr;  // a creation that fails
  auto* x = reinterpret_cast<Probe*>(max::newobject(probe_class));
  x->out[1] = max::bangout(&x->ob);
  x->out[0] = max::outlet_new(&x->ob, nullptr);
  max::intin(&x->ob, 1);
  return x;
}
int probe_main() {
  max::setup(&probe_class, ko::handler<probe_new>(), nullptr, sizeof(Probe), nullptr, max::A_GIMME, 0);
  max::addbang(ko::handler<probe_bang>());
  max::addint(ko::handler<probe_int>());
  max::addmess(ko::handler<probe_typed>(), "typed", max::A_LONGARG, max::A_DEFFLOAT, max::A_DEFLONG, 0);
  max::addmess(ko::handler<probe_need>(), "need", max::A_FLOATARG, 0);
  max::addmess(ko::handler<probe_relay>(), "relay", max::A_GIMME, 0);
  max::addmess(ko::handler<probe_defer>(), "defer", max::A_GIMME, 0);
  max::addinx(ko::handler<probe_right>(), 1);
  max::addmess(ko::handler<probe_assist>(), "assist", max::A_CANT, 0);
  return 0;
}

// A class made from two optional longs.
Probe* pair_new(std::int32_t a, std::int32_t b) {
  auto* x = reinterpret_cast<Probe*>(max::newobject(pair_class));
  x->made_with[0] = a;
  x->made_with[1] = b;
  return x;
}
void pair_bang(Probe* x) {
  log({"made ", std::to_string(x->made_with[0]), " ", std::to_string(x->made_with[1]), ";"});
}
int pair_main() {
  max::setup(&pair_class, ko::handler<pair_new>(), nullptr, sizeof(Probe), nullptr, max::A_DEFLONG, max::A_DEFLONG,
             0);
  max::addbang(ko::handler<pair_bang>());
  max::alias("pair-too");
  return 0;
}

class HostTest : public PatchTest {
 protected:
  void SetUp() override {
    kohost::register_class("probe", probe_main);
    kohost::register_class("pair", pair_main);
    calls.clear();
  }
};

TEST_F(HostTest, SelectorsReachTheirHandlersAndNumbersFallBack) {
  run("new p probe");
  struct Case {
    const char* line;
    const char* calls;
    const char* printed;
  } cases[] = {
      {"send p 5", "int 5;", ""},
      {"send p -2.7", "int -2;", ""},  // a float with only an int handler is truncated toward zero
      {"send p list 9", "int 9;", ""},  // a one-number list goes as that number
      {"send p typed 1 2.5 3 extra", "typed 1 2.5 3;", ""},
      {"send p typed 1.9", "typed 1 0.0 0;", ""},  // optional places are 0, a float long truncates
      {"send p typed 4 5", "typed 4 5.0 0;", ""},
      {"send p typed", "", "error: probe: bad arguments for message \"typed\"\n"},
      {"send p typed x", "", "error: probe: bad arguments for message \"typed\"\n"},
      {"send p need", "", "error: probe: bad arguments for message \"need\"\n"},
      {"send p 1 2 3", "", "error: probe: doesn't understand \"list\"\n"},
      {"send p nothing 1", "", "error: probe: doesn't understand \"nothing\"\n"},
      {"send p assist", "", "error: probe: doesn't understand \"assist\"\n"},  // hidden
      {"send p:1 4.9", "right 4;", ""},
      {"send p:1 fwd 2", "", "error: probe: doesn't understand \"fwd\"\n"},
  };
  for (const Case& c : cases) {
    calls.clear();
    EXPECT_EQ(run(c.line), c.printed) << c.line;
    EXPECT_EQ(calls, c.calls) << c.line;
  }
  EXPECT_EQ(mistakes(), "");
}

TEST_F(HostTest, CreationCodesAndAliases) {
  EXPECT_EQ(run("new a pair\nsend a bang\nnew b pair 3 -4.5\nsend b bang\nnew c pair-too 8\nsend c bang"), "");
  EXPECT_EQ(calls, "made 0 0;made 3 -4;made 8 0;");
  run("new d pair x");
  EXPECT_EQ(mistakes(), "kohost: 1: pair: bad creation arguments\n");
  run("new e probe 1");
  EXPECT_EQ(mistakes(), "kohost: 1: could not create \"probe\"\n");
  run("new f nosuchclass");
  EXPECT_EQ(mistakes(), "kohost: 1: no class \"nosuchclass\"\n");
}

TEST_F(HostTest, OutletsAreMadeRightToLeftAndCordsRunDepthFirstInOrder) {
  run("new p probe\nnew q probe\nnew r probe");
  max::Object* p = patch.find("p");
  EXPECT_EQ(patch.outlets(p), 2);
  EXPECT_EQ(patch.inlets(p), 2);
  run("connect p 0 q 0\nconnect p 0 r 0\nconnect q 0 r 1");
  // p bangs out of its right outlet first; its int 7 reaches q (which relays nothing but
  // prints int) before r, and each inlet in turn.
  calls.clear();
  EXPECT_EQ(run("send p bang"), "p.1: bang\np.0: int 7\n");
  EXPECT_EQ(calls, "bang;int 7;int 7;");
  calls.clear();
  run("disconnect p 0 r 0\nsend p bang");
  EXPECT_EQ(calls, "bang;int 7;");
  run("connect p 5 q 0\nconnect p 0 q 2\ndisconnect p 0 r 0");
  EXPECT_EQ(mistakes(),
            "kohost: 1: cannot connect p 5 to q 0\nkohost: 2: cannot connect p 0 to q 2\n"
            "kohost: 3: no cord from p 0 to r 0\n");
}

TEST_F(HostTest, ACordLoopIsCutWithAnErrorInsteadOfOverflowingTheStack) {
  run("new p probe\nconnect p 0 p 0");
  const std::string out = run("send p relay 1");
  EXPECT_NE(out.find("p.0: relay 1\nerror: probe: stack overflow, message \"relay\" dropped\n"), std::string::npos);
}

TEST_F(HostTest, FreeingAnObjectCutsItsCordsBothWays) {
  run("new p probe\nnew q probe\nconnect p 0 q 0\nconnect q 0 p 0\nfree q");
  calls.clear();
  EXPECT_EQ(run("send p bang"), "p.1: bang\np.0: int 7\n");
  EXPECT_EQ(calls, "bang;");
  run("send q bang");
  EXPECT_EQ(mistakes(), "kohost: 1: no object \"q\"\n");
}

TEST_F(HostTest, DeferredCallsReplaceTheOneWaitingAndRunAfterTheLineUnlessHeld) {
  run("new p probe\nsend p defer 1");
  EXPECT_EQ(calls, "later go 1;");
  calls.clear();
  run("defer hold\nsend p defer 1\nsend p defer 2 x");
  EXPECT_EQ(calls, "");
  EXPECT_EQ(kohost::deferred_count(), 1u);
  run("defer run");
  EXPECT_EQ(calls, "later go 2 x;");
  calls.clear();
  run("defer hold\nsend p defer 3\nfree p\ndefer run");
  EXPECT_EQ(calls, "");  // a freed object's calls are dropped
}

TEST_F(HostTest, AssistTextsAnswerEveryInletAndOnlyOutletsThatHaveOne) {
  EXPECT_EQ(run("new p probe\nassist p inlet 0\nassist p inlet 9\nassist p outlet 1\nassist p outlet 2"),
            "assist p inlet 0: echo e   c  h   o\nassist p inlet 9: echo e   c  h   o\n"
            "assist p outlet 1: (bang) right\nassist p outlet 2:\n");
}

TEST(AtomText, FloatsPrintShortestWithAPointNumbersReadBack) {
  struct Case {
    float f;
    const char* text;
  } cases[] = {{1.0f, "1.0"},        {63.5f, "63.5"},   {-0.5f, "-0.5"},      {1e20f, "1e+20"},
               {0.1f, "0.1"},        {-0.0f, "-0.0"},   {320.0f, "320.0"},    {16777216.0f, "16777216.0"},
               {1e-45f, "1e-45"},    {__builtin_nanf(""), "nan"}, {-__builtin_nanf(""), "nan"},
               {__builtin_inff(), "inf"}, {-__builtin_inff(), "-inf"}};
  for (const Case& c : cases) EXPECT_EQ(kohost::format_float(c.f), c.text);
}

TEST(AtomText, SymbolsAreQuotedWhenTheyWouldNotReadBackAsThemselves) {
  struct Case {
    const char* sym;
    const char* text;
  } cases[] = {{"map", "map"},           {"inter/extra(-)polate", "inter/extra(-)polate"},
               {"12", "\"12\""},         {"1.5", "\"1.5\""},
               {"nan", "\"nan\""},       {"a b", "\"a b\""},
               {"", "\"\""},             {"#x", "\"#x\""},
               {"say \"hi\"", "\"say \\\"hi\\\"\""}, {"1e", "1e"}};
  for (const Case& c : cases) EXPECT_EQ(kohost::format_atom(kohost::sym_atom(c.sym)), c.text) << c.sym;
  EXPECT_EQ(kohost::format_atom(kohost::long_atom(-2147483647 - 1)), "-2147483648");
}

TEST(AtomText, ConsoleTextEscapesControlAndHighBytes) {
  EXPECT_EQ(kohost::escape_text("a\tb\a\n\\ \x01\x7F\xD0"), "a\\tb\\a\\n\\\\ \\x01\\x7F\\xD0");
}

TEST(AtomText, NumberTokens) {
  using kohost::NumberToken;
  struct Case {
    const char* token;
    NumberToken kind;
    double value;
  } cases[] = {
      {"5", NumberToken::Long, 5},          {"-17", NumberToken::Long, -17},
      {"+3", NumberToken::Long, 3},         {"2147483647", NumberToken::Long, 2147483647},
      {"2147483648", NumberToken::OutOfRange, 0}, {"-2147483649", NumberToken::OutOfRange, 0},
      {"1.5", NumberToken::Float, 1.5},     {"-.25", NumberToken::Float, -0.25},
      {"3.", NumberToken::Float, 3},        {"1e3", NumberToken::Float, 1000},
      {"2E-1", NumberToken::Float, 0.2f},   {"1e39", NumberToken::OutOfRange, 0},
      {"nan", NumberToken::Float, 0},       {"-inf", NumberToken::Float, -__builtin_inf()},
      {"1e", NumberToken::NotNumber, 0},    {"-", NumberToken::NotNumber, 0},
      {"1.2.3", NumberToken::NotNumber, 0}, {"x1", NumberToken::NotNumber, 0},
      {"@pos", NumberToken::NotNumber, 0},  {"-2147483648", NumberToken::Long, -2147483648.0},
      {"007", NumberToken::Long, 7},        {"+.5", NumberToken::Float, 0.5},
      {"1e-50", NumberToken::Float, 0},     {"1.4e-45", NumberToken::Float, 1.4e-45f},
      {"-3.4028236e38", NumberToken::OutOfRange, 0}, {"3.4028234e38", NumberToken::Float, 3.4028234e38f},
  };
  for (const Case& c : cases) {
    max::Atom a{};
    EXPECT_EQ(kohost::read_number(c.token, a), c.kind) << c.token;
    if (c.kind == NumberToken::Long) {
      EXPECT_EQ(a.a_w.w_long, c.value) << c.token;
    }
    if (c.kind == NumberToken::Float && std::string(c.token) != "nan") {
      EXPECT_EQ(a.a_w.w_float, static_cast<float>(c.value)) << c.token;
    }
  }
}

}  // namespace
