// The dispatch rules on their own, as a second host would use them: a method table filled
// by hand, messages handed to dispatch(), error lines caught by the host's sink. No Patch,
// no kohost state.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frame/bind.h"
#include "host/dispatch.h"

namespace {

struct Rec {
  max::Object ob;
};

std::string calls;

void on_int(Rec*, std::int32_t n) { calls += "int " + std::to_string(n) + ";"; }
void on_float(Rec*, double f) { calls += "float " + std::to_string(f) + ";"; }
void on_bang(Rec*) { calls += "bang;"; }
void on_pair(Rec*, std::int32_t a, double b) { calls += "pair " + std::to_string(a) + " " + std::to_string(b) + ";"; }
void on_all(Rec*, max::Symbol* s, std::int32_t argc, const max::Atom*) {
  calls += std::string(s->s_name) + "/" + std::to_string(argc) + ";";
}
void on_right(Rec*, std::int32_t n) { calls += "right " + std::to_string(n) + ";"; }

class TestSink final : public kohost::DispatchSink {
 public:
  const char* class_name(const max::Object*) override { return "thing"; }
  void error_line(std::string_view text) override { lines.emplace_back(text); }
  std::vector<std::string> lines;
};

kohost::Codes codes(std::initializer_list<short> list) {
  kohost::Codes c;
  for (short k : list) c.code[c.count++] = k;
  return c;
}

max::Atom num(std::int32_t n) {
  max::Atom a;
  a.a_type = max::A_LONG;
  a.a_w.w_long = n;
  return a;
}
max::Atom num(float f) {
  max::Atom a;
  a.a_type = max::A_FLOAT;
  a.a_w.w_float = f;
  return a;
}
max::Atom sym(const char* s) {
  max::Atom a;
  a.a_type = max::A_SYM;
  a.a_w.w_sym = max::gensym(s);
  return a;
}

struct Message {
  int inlet;
  const char* sel;
  std::vector<max::Atom> atoms;
  const char* calls;
  const char* error;
};

void run_cases(const kohost::MethodTable& t, std::initializer_list<Message> cases) {
  Rec r{};
  for (const Message& m : cases) {
    TestSink sink;
    calls.clear();
    kohost::dispatch(t, &r.ob, m.inlet, max::gensym(m.sel), static_cast<int>(m.atoms.size()), m.atoms.data(), sink);
    EXPECT_EQ(calls, m.calls) << m.sel;
    EXPECT_EQ(sink.lines.empty() ? std::string() : sink.lines[0], m.error) << m.sel;
    EXPECT_LE(sink.lines.size(), 1u);
  }
}

TEST(DispatchCore, NumbersFallBackToTheOtherTypeAndOneNumberListsGoAsNumbers) {
  kohost::MethodTable only_int, only_float;
  only_int.bind(max::gensym("int"), ko::handler<on_int>(), codes({max::A_LONGARG}));
  only_float.bind(max::gensym("float"), ko::handler<on_float>(), codes({max::A_FLOATARG}));
  EXPECT_EQ(only_int.on_float().kind, kohost::MethodTable::Resolved::Long);
  EXPECT_EQ(only_float.on_int().kind, kohost::MethodTable::Resolved::Float);
  run_cases(only_int, {
                          {0, "int", {num(5)}, "int 5;", ""},
                          {0, "float", {num(-2.7f)}, "int -2;", ""},
                          {0, "list", {num(9.5f)}, "int 9;", ""},
                          {0, "list", {num(1), num(2)}, "", "thing: doesn't understand \"list\""},
                          {0, "bang", {}, "", "thing: doesn't understand \"bang\""},
                      });
  run_cases(only_float, {
                            {0, "int", {num(3)}, "float 3.000000;", ""},
                            {0, "float", {num(0.5f)}, "float 0.500000;", ""},
                        });
}

TEST(DispatchCore, TypedArgumentsAndTheTwoErrorLines) {
  kohost::MethodTable t;
  t.bind(max::gensym("pair"), ko::handler<on_pair>(), codes({max::A_LONGARG, max::A_DEFFLOAT}));
  t.bind(max::gensym("all"), ko::handler<on_all>(), codes({max::A_GIMME}));
  t.bind(max::gensym("bang"), ko::handler<on_bang>(), codes({}));
  t.bind(max::gensym("assist"), ko::handler<on_bang>(), codes({max::A_CANT}));
  t.bind_inlet_int(1, ko::handler<on_right>());
  run_cases(t, {
                   {0, "pair", {num(2.9f), num(4)}, "pair 2 4.000000;", ""},
                   {0, "pair", {num(7), num(1.5f), sym("extra")}, "pair 7 1.500000;", ""},
                   {0, "pair", {num(7)}, "pair 7 0.000000;", ""},
                   {0, "pair", {}, "", "thing: bad arguments for message \"pair\""},
                   {0, "pair", {sym("x")}, "", "thing: bad arguments for message \"pair\""},
                   {0, "all", {num(1), sym("b")}, "all/2;", ""},
                   {0, "bang", {}, "bang;", ""},
                   {0, "assist", {}, "", "thing: doesn't understand \"assist\""},
                   {0, "nothing", {num(1)}, "", "thing: doesn't understand \"nothing\""},
                   {1, "float", {num(4.9f)}, "right 4;", ""},
                   {1, "list", {num(6)}, "right 6;", ""},
                   {1, "fwd", {num(6)}, "", "thing: doesn't understand \"fwd\""},
                   {1, "int", {sym("x")}, "", "thing: bad arguments for message \"int\""},
                   {2, "int", {num(1)}, "", "thing: doesn't understand \"int\""},
               });
  EXPECT_NE(t.find_any(max::gensym("assist")), nullptr);
  EXPECT_EQ(t.find(max::gensym("assist")), nullptr);
}

TEST(DispatchCore, ALaterBindingReplacesAndTheTableKeepsTheOrderBound) {
  kohost::MethodTable t;
  std::vector<std::string> names;
  for (const char* s : {"b", "a", "int", "d", "c"}) t.bind(max::gensym(s), ko::handler<on_bang>(), codes({}));
  t.bind(max::gensym("int"), ko::handler<on_int>(), codes({max::A_LONGARG}));
  for (const auto& [sel, m] : t) names.emplace_back(sel->s_name);
  EXPECT_EQ(names, (std::vector<std::string>{"b", "a", "int", "d", "c"}));
  EXPECT_EQ(t.on_int().kind, kohost::MethodTable::Resolved::Long);
  // Many selectors: every one is still found.
  for (int i = 0; i < 200; ++i) t.bind(max::gensym(("s" + std::to_string(i)).c_str()), ko::handler<on_bang>(), codes({}));
  for (int i = 0; i < 200; ++i) EXPECT_NE(t.find(max::gensym(("s" + std::to_string(i)).c_str())), nullptr) << i;
  EXPECT_EQ(t.find(max::gensym("s200")), nullptr);
}

}  // namespace
