// The comparison of kohost and Pd: how kohost's lines read as Pd prints them, what is
// left out (emissions during creation, anything of a drawing object Pd refused), and the
// translation of a script's numbers as Pd delivers them. Pd's output here is written by
// hand; the examples run in real Pd in the pd.compare test.
#include <gtest/gtest.h>

#include <sstream>

#include "tools/pdcompare/compare.h"
#include "tools/pdcompare/translate.h"

namespace {

using pdcompare::Kind;
using pdcompare::Step;
using pdcompare::Translation;

TEST(PdCompareTest, KohostEmissionsReadAsPdPrintsThem) {
  const struct {
    const char* kohost;
    const char* pd;
  } cases[] = {
      {"r.0: float 63.5", "r.0: 63.5"},
      {"r.0: int 5", "r.0: 5"},
      {"r.0: float 3.1415927", "r.0: 3.14159"},  // six significant digits
      {"r.0: int 16777217", "r.0: 1.67772e+07"},
      {"r.0: float 1e+20", "r.0: 1e+20"},
      {"r.0: float -inf", "r.0: -inf"},
      {"r.0: float nan", "r.0: nan"},
      {"x.2: list 0.0 1.0 0.0", "x.2: 0 1 0"},
      {"r.1: list map 0.0 127.0 0.0 127.0", "r.1: list map 0 127 0 127"},
      {"x.0: list foo", "x.0: symbol foo"},
      {"x.0: list", "x.0: bang"},
      {"s.1: bang", "s.1: bang"},
      {"x.0: set 1.5 y", "x.0: set 1.5 y"},
      {"x.0: list \"a b\" 1", "x.0: list a\\ b 1"},
  };
  for (const auto& c : cases) EXPECT_EQ(pdcompare::as_pd_print(c.kohost), c.pd) << c.kohost;
}

Step step(Kind kind, std::vector<std::string> ids, std::vector<std::string> kohost_lines, std::string cls = "") {
  Step s;
  s.kind = kind;
  s.ids = std::move(ids);
  s.kohost_lines = std::move(kohost_lines);
  s.typed_class = s.kohost_class = std::move(cls);
  s.text = "(line)";
  return s;
}

struct Result {
  pdcompare::Outcome outcome;
  std::string report;
};

Result compare(const Translation& t, const std::vector<std::string>& pd) {
  std::ostringstream report;
  Result r{pdcompare::compare(t, pd, "t.kpat", report), ""};
  r.report = report.str();
  return r;
}

// A creation with a banner and an emission, then two messages.
Translation rescale() {
  Translation t;
  t.print_names = {"r.0", "r.1"};
  t.steps.push_back(step(Kind::New, {"r"},
                         {"console: Dec 11 2026 \\t \\a 13:23:57 0001f2a0d ko-rescale", "r.0: float 0.0"},
                         "ko-rescale"));
  t.steps.push_back(step(Kind::Send, {"r"}, {"r.0: float 63.5", "error: ko-rescale: doesn't understand \"x\""}));
  t.steps.push_back(step(Kind::Send, {"r"}, {"r.1: list mode 3 fold"}));
  return t;
}

TEST(PdCompareTest, StepsMatchLineByLineWithBannersMaskedAndCreationEmissionsLeftOut) {
  // Pd's start-up lines come before the first step; its banner has other times and raw bytes.
  const std::vector<std::string> pd = {"some start-up line", "ko-step: 1", "Jan  2 2027 \t \a 09:00:01 00000010d ko-rescale",
                                       "ko-step: 2", "r.0: 63.5", "error: ko-rescale: doesn't understand \"x\"",
                                       "ko-step: 3", "r.1: list mode 3 fold"};
  Result r = compare(rescale(), pd);
  EXPECT_TRUE(r.outcome.ok) << r.report;
  EXPECT_EQ(r.outcome.compared, 3);
  EXPECT_EQ(r.outcome.exercised, std::set<std::string>{"ko-rescale"});

  // Any other value, order or missing line is a difference, shown with both sides.
  for (const auto& [at, line] : {std::pair{4, "r.0: 63.6"}, std::pair{5, "r.1: list mode 3 fold"}}) {
    std::vector<std::string> changed = pd;
    changed[static_cast<std::size_t>(at)] = line;
    r = compare(rescale(), changed);
    EXPECT_FALSE(r.outcome.ok) << line;
    EXPECT_NE(r.report.find("t.kpat:0: (line)\n  kohost:\n    r.0: 63.5"), std::string::npos) << r.report;
  }
  // A NaN's sign is Pd's printing only.
  Translation nan_step;
  nan_step.print_names = {"t.0"};
  nan_step.steps.push_back(step(Kind::Send, {"t"}, {"t.0: list 0.0 0.0 nan"}));
  EXPECT_TRUE(compare(nan_step, {"ko-step: 1", "t.0: 0 0 -nan"}).outcome.ok);
}

TEST(PdCompareTest, PdStoppingEarlyIsADifference) {
  const Result r = compare(rescale(), {"ko-step: 1", "ko-step: 2", "r.0: 63.5"});
  EXPECT_FALSE(r.outcome.ok);
  EXPECT_NE(r.report.find("Pd never reached this step"), std::string::npos) << r.report;
}

TEST(PdCompareTest, ADrawingObjectMustGiveTheOneErrorLineAndIsThenLeftOut) {
  Translation t;
  t.print_names = {"l.0", "l.1", "k.0"};
  t.steps.push_back(step(Kind::New, {"l"}, {}, "jit.gl.lattice"));
  t.steps.push_back(step(Kind::Send, {"l"}, {"l.0: list grid 2 2 2"}));
  t.steps.push_back(step(Kind::New, {"k"}, {}, "ko-rescale"));
  t.steps.push_back(step(Kind::Connect, {"l", "k"}, {}));
  t.steps.push_back(step(Kind::Send, {"k"}, {"k.0: float 127.0"}));
  const std::vector<std::string> refused = {"verbose(0): jit.gl.lattice", "verbose(1): ... couldn't create"};
  std::vector<std::string> pd = {"ko-step: 1", pdcompare::drawing_error("jit.gl.lattice")};
  pd.insert(pd.end(), refused.begin(), refused.end());
  for (const char* rest : {"ko-step: 2", "ko-step: 3", "ko-step: 4", "ko-step: 5", "k.0: 127"}) pd.push_back(rest);
  Result r = compare(t, pd);
  EXPECT_TRUE(r.outcome.ok) << r.report;
  EXPECT_EQ(r.outcome.drawing, std::set<std::string>{"jit.gl.lattice"});
  EXPECT_EQ(r.outcome.skipped, 3);
  EXPECT_EQ(r.outcome.compared, 2);

  // Refused without the line, or with another one, is a fault.
  pd.erase(pd.begin() + 1);
  r = compare(t, pd);
  EXPECT_FALSE(r.outcome.ok);
  EXPECT_NE(r.report.find("without the drawing objects' one error line"), std::string::npos) << r.report;
}

TEST(PdCompareTest, ScriptNumbersGoToBothHostsAsPdDeliversThem) {
  const Translation t = pdcompare::translate(
      "new c ko-cornerset\n"
      "send c 1. 2. 3.          # whole: longs in Pd, so longs in kohost too\n"
      "send c 1.5 2 -inf\n"
      "assist c outlet 0\n"
      "echo not run either\n",
      KO_PLUGIN_DIR);
  ASSERT_TRUE(t.problems.empty()) << t.problems[0];
  ASSERT_EQ(t.steps.size(), 3u);
  EXPECT_EQ(t.not_run, 2);
  EXPECT_EQ(t.steps[1].pd_messages, std::vector<std::string>{"ko-in-0-0 1 2 3"});
  EXPECT_EQ(t.steps[1].kohost_lines, std::vector<std::string>{"c.0: list -4 2 -2 6 2 -2 6 2 8 -4 2 8"});
  // Pd reads "inf" as a symbol; a number past the float range is infinity.
  EXPECT_EQ(t.steps[2].pd_messages, std::vector<std::string>{"ko-in-0-0 1.5 2 -1e+39"});
  // The object's receiver and its print, made right after it.
  EXPECT_EQ(t.steps[0].pd_messages,
            (std::vector<std::string>{"pd-ko-work obj 10 10 ko-cornerset", "pd-ko-work obj 200 40 r ko-in-0-0",
                                      "pd-ko-work connect 1 0 0 0", "pd-ko-work obj 400 70 print c.0",
                                      "pd-ko-work connect 0 0 2 0"}));

  const Translation nan = pdcompare::translate("new c ko-cornerset\nsend c nan\n", KO_PLUGIN_DIR);
  ASSERT_EQ(nan.problems.size(), 1u);
  EXPECT_EQ(nan.problems[0], "2: Pd cannot send nan from a message box");
}

}  // namespace
