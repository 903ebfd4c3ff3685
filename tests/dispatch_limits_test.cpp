// What keeps a runaway or self-destroying patch from hanging or crashing the host: the
// delivery budget of each message from outside, the guard on the stack actually left,
// and freeing objects or cutting cords while a message is under way.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/bind.h"
#include "host/patch.h"
#include "support/patch_fixture.h"

namespace {

// relay: sends what it gets on outlet 0, then counts it, so its frame stays on the stack
// while the message goes on (the way most objects send).
// pass: the same, sending as its last act.
// fan: bang sends 1 on outlet 0, then 2 on outlet 1.
// doom: whatever reaches it frees the objects in `doomed`, in order, and cuts the cords in
// `cut`; the probe records every number that reaches an object.
struct Node {
  max::Object ob;
  max::Outlet* out[2];
  std::int32_t count;
};

max::Class* relay_class;
max::Class* pass_class;
max::Class* fan_class;
max::Class* doom_class;
kohost::Patch* current_patch;
std::string log;
std::vector<max::Object*> doomed;
struct CordRef {
  max::Object* from;
  max::Object* to;
};
std::vector<CordRef> to_cut, to_make;

void relay_float(Node* x, double v) {
  max::outlet_float(x->out[0], v);
  ++x->count;
}
void relay_anything(Node* x, max::Symbol* s, std::int32_t argc, const max::Atom* argv) {
  max::outlet_anything(x->out[0], s, static_cast<short>(argc), argv);
  ++x->count;
}
void pass_float(Node* x, double v) { max::outlet_float(x->out[0], v); }

void fan_bang(Node* x) {
  max::outlet_int(x->out[0], 1);
  max::outlet_int(x->out[1], 2);
  log += "fan done;";
}

void doom_int(Node* x, std::int32_t n) {
  log += current_patch->id_of(&x->ob) + " got " + std::to_string(n) + ";";
  for (const CordRef& c : to_cut) current_patch->disconnect(c.from, 0, c.to, 0);
  for (const CordRef& c : to_make) current_patch->connect(c.from, 0, c.to, 0);
  to_cut.clear();
  to_make.clear();
  // Half through the plug-in API, half through the embedding API.
  for (std::size_t i = 0; i < doomed.size(); ++i) {
    if (i % 2)
      current_patch->free(doomed[i]);
    else
      max::freeobject(doomed[i]);
  }
  doomed.clear();
}

template <max::Class** Cls>
Node* node_new(max::Symbol*, std::int32_t, const max::Atom*) {
  auto* x = reinterpret_cast<Node*>(max::newobject(*Cls));
  x->out[1] = max::outlet_new(&x->ob, nullptr);
  x->out[0] = max::outlet_new(&x->ob, nullptr);
  x->count = 0;
  return x;
}

int relay_main() {
  max::setup(&relay_class, ko::handler<node_new<&relay_class>>(), nullptr, sizeof(Node), nullptr, max::A_GIMME, 0);
  max::addfloat(ko::handler<relay_float>());
  max::addmess(ko::handler<relay_anything>(), "list", max::A_GIMME, 0);
  return 0;
}
int pass_main() {
  max::setup(&pass_class, ko::handler<node_new<&pass_class>>(), nullptr, sizeof(Node), nullptr, max::A_GIMME, 0);
  max::addfloat(ko::handler<pass_float>());
  return 0;
}
int fan_main() {
  max::setup(&fan_class, ko::handler<node_new<&fan_class>>(), nullptr, sizeof(Node), nullptr, max::A_GIMME, 0);
  max::addbang(ko::handler<fan_bang>());
  return 0;
}
int doom_main() {
  max::setup(&doom_class, ko::handler<node_new<&doom_class>>(), nullptr, sizeof(Node), nullptr, max::A_GIMME, 0);
  max::addint(ko::handler<doom_int>());
  return 0;
}

class DispatchLimits : public PatchTest {
 protected:
  void SetUp() override {
    kohost::register_class("relay", relay_main);
    kohost::register_class("pass", pass_main);
    kohost::register_class("fan", fan_main);
    kohost::register_class("doom", doom_main);
    current_patch = &patch;
    log.clear();
    doomed.clear();
    to_cut.clear();
    to_make.clear();
  }

  // A chain of n objects of a class, each one's outlet 0 into the next one's inlet 0.
  std::vector<max::Object*> chain(const char* cls, int n) {
    std::vector<max::Object*> xs;
    for (int i = 0; i < n; ++i) {
      xs.push_back(patch.create(std::string(cls) + std::to_string(i), cls, {}));
      if (i > 0) patch.connect(xs[i - 1], 0, xs[i], 0);
    }
    return xs;
  }

  static std::int32_t count_of(max::Object* x) { return reinterpret_cast<Node*>(x)->count; }

  static std::size_t lines(const std::string& s) { return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n')); }
};

TEST_F(DispatchLimits, AFanOutLoopStopsAtTheBudgetWithOneErrorAndTheNextLineRuns) {
  patch.set_delivery_budget(1000);
  load({"ko-threepoint"});
  const char* loop = "new t ko-threepoint\nnew u ko-threepoint\nconnect t 0 u 0\nconnect u 0 t 0\nconnect u 0 u 0\n";
  run(loop);
  for (int round = 0; round < 2; ++round) {
    const std::string out = run("send t 1 2\necho next");
    // Each of the 1000 deliveries sends one list; the 1001st is refused.
    EXPECT_EQ(lines(out), 1000u + 2u);
    const std::string tail = "error: ko-threepoint: delivery budget exhausted, message \"list\" dropped\nnext\n";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    EXPECT_EQ(out.find("error:"), out.size() - tail.size()) << "one error line only";
  }
  EXPECT_EQ(mistakes(), "");
}

TEST_F(DispatchLimits, TheBudgetCountsEveryDeliveryAndIsGrantedPerMessageFromOutside) {
  EXPECT_EQ(patch.delivery_budget(), kohost::Patch::kDefaultDeliveryBudget);
  auto xs = chain("pass", 10);
  max::Symbol* f = max::gensym("float");
  struct Case {
    std::int64_t budget;
    bool reaches_end;
  } cases[] = {{9, false}, {10, true}, {11, true}, {0, false}};
  for (const Case& c : cases) {
    patch.set_delivery_budget(c.budget);
    std::size_t emitted = 0;
    patch.on_emit([](void* n, const kohost::Emission&) { ++*static_cast<std::size_t*>(n); }, &emitted);
    patch.send(xs[0], 0, f, {kohost::float_atom(1.5f)});
    patch.on_emit(nullptr, nullptr);
    // Each object that is reached sends once; a budget below 1 counts as 1.
    EXPECT_EQ(emitted, static_cast<std::size_t>(c.reaches_end ? 10 : c.budget < 1 ? 1 : c.budget)) << c.budget;
  }
  EXPECT_EQ(patch.delivery_budget(), 1);
  out.str("");
}

TEST_F(DispatchLimits, ALongAcyclicChainReachesItsEnd) {
  for (const char* cls : {"relay", "pass"}) {
    auto xs = chain(cls, 5000);
    const std::string out = run(std::string("send ") + cls + "0 0.5");
    EXPECT_EQ(out.find("error"), std::string::npos) << cls;
    EXPECT_NE(out.find(std::string(cls) + "4999.0: float 0.5\n"), std::string::npos) << cls;
    if (std::string(cls) == "relay") {
      EXPECT_EQ(count_of(xs.back()), 1);
    }
  }
}

TEST_F(DispatchLimits, ALoopStopsAtTheStackLimitWithOneError) {
  run("new r relay\nconnect r 0 r 0");
  const std::string out = run("send r 0.5\necho next");
  const std::string tail = "error: relay: stack overflow, message \"float\" dropped\nnext\n";
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  EXPECT_EQ(out.find("error:"), out.size() - tail.size());
  // The frames unwound: the next message starts afresh.
  EXPECT_EQ(run("disconnect r 0 r 0\nsend r 1.5"), "r.0: float 1.5\n");
}

TEST_F(DispatchLimits, AnOutletCalledFromOutsideAnyMessageIsAMessageOfItsOwn) {
  // An embedding program may call an outlet directly: that emission gets a budget of its
  // own, and the next one another.
  patch.set_delivery_budget(100);
  run("new r relay\nconnect r 0 r 0");
  max::Outlet* outlet = reinterpret_cast<Node*>(patch.find("r"))->out[0];
  for (int round = 0; round < 2; ++round) {
    out.str("");
    max::outlet_float(outlet, 2.5);
    const std::string printed = out.str();
    // The direct call's own emission and 100 deliveries, each sending once.
    EXPECT_EQ(lines(printed), 101u + 1u);
    EXPECT_NE(printed.find("error: relay: delivery budget exhausted, message \"float\" dropped\n"), std::string::npos);
  }
  EXPECT_EQ(count_of(patch.find("r")), 200);
}

// A thread with a small stack: a long chain of objects that keep their frames, and a cord
// loop, are stopped by the guard before the stack runs out.
struct SmallStackRun {
  kohost::Patch* patch;
  max::Object* first;
  max::Symbol* sel;
  std::vector<max::Atom> atoms;
};

void* run_on_small_stack(void* arg) {
  auto* r = static_cast<SmallStackRun*>(arg);
  r->patch->send(r->first, 0, r->sel, r->atoms);
  return nullptr;
}

void run_with_stack(std::size_t bytes, SmallStackRun& r) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, bytes), 0);
  pthread_t t;
  ASSERT_EQ(pthread_create(&t, &attr, run_on_small_stack, &r), 0);
  pthread_join(t, nullptr);
  pthread_attr_destroy(&attr);
}

TEST_F(DispatchLimits, AThreadWithA96KStackSurvivesALongChainAndALoop) {
  auto xs = chain("relay", 5000);
  run("new loop relay\nconnect loop 0 loop 0");
  std::vector<std::string> errors;
  patch.on_console(
      [](void* ctx, bool is_error, std::string_view text) {
        if (is_error) static_cast<std::vector<std::string>*>(ctx)->emplace_back(text);
      },
      &errors);
  SmallStackRun along{&patch, xs[0], max::gensym("float"), {kohost::float_atom(0.5f)}};
  run_with_stack(96 * 1024, along);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "relay: stack overflow, message \"float\" dropped");
  // Some way down the chain, however large the frames of this build.
  EXPECT_GT(count_of(xs[10]), 0);
  EXPECT_EQ(count_of(xs.back()), 0);

  errors.clear();
  SmallStackRun around{&patch, patch.find("loop"), max::gensym("list"), {kohost::long_atom(1), kohost::long_atom(2)}};
  run_with_stack(96 * 1024, around);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "relay: stack overflow, message \"list\" dropped");
}

TEST_F(DispatchLimits, AnObjectThatFreesItsSenderTheNextReceiverAndItselfMidMessage) {
  // fan's outlet 0 goes to k, then q, then r; outlet 1 to s.
  run("new f fan\nnew k doom\nnew q doom\nnew r doom\nnew s doom\n"
      "connect f 0 k 0\nconnect f 0 q 0\nconnect f 0 r 0\nconnect f 1 s 0");
  doomed = {patch.find("f"), patch.find("q"), patch.find("k")};
  const std::string out = run("send f bang");
  // Nothing more leaves the freed sender, nothing reaches a freed object, and the
  // sender's handler finishes.
  EXPECT_EQ(out, "f.0: int 1\n");
  EXPECT_EQ(log, "k got 1;fan done;");
  for (const char* id : {"f", "k", "q"}) EXPECT_EQ(patch.find(id), nullptr) << id;
  ASSERT_NE(patch.find("r"), nullptr);
  EXPECT_EQ(run("send r 5\nsend s 6"), "");
  EXPECT_EQ(log, "k got 1;fan done;r got 5;s got 6;");
  EXPECT_EQ(mistakes(), "");
}

TEST_F(DispatchLimits, FreeingTheNextReceiverLeavesTheRestOfTheLoopInOrder) {
  run("new f fan\nnew k doom\nnew q doom\nnew r doom\nnew s doom\n"
      "connect f 0 k 0\nconnect f 0 q 0\nconnect f 0 r 0\nconnect f 1 s 0");
  doomed = {patch.find("q")};
  EXPECT_EQ(run("send f bang"), "f.0: int 1\nf.1: int 2\n");
  EXPECT_EQ(log, "k got 1;r got 1;s got 2;fan done;");
  // The cut cords are gone once the message is over; the others stay in order.
  log.clear();
  run("send f bang");
  EXPECT_EQ(log, "k got 1;r got 1;s got 2;fan done;");
}

TEST_F(DispatchLimits, CordsCutOrMadeMidMessageTakeEffectAtOnce) {
  run("new f fan\nnew k doom\nnew q doom\nnew r doom\nnew s doom\n"
      "connect f 0 k 0\nconnect f 0 q 0\nconnect f 1 s 0");
  max::Object* f = patch.find("f");
  to_cut = {{f, patch.find("q")}};
  to_make = {{f, patch.find("r")}};
  run("send f bang");
  // q's cord was cut before its turn; r's cord, made during the loop, is reached in it.
  EXPECT_EQ(log, "k got 1;r got 1;s got 2;fan done;");
  log.clear();
  run("send f bang");
  EXPECT_EQ(log, "k got 1;r got 1;s got 2;fan done;");
}

TEST_F(DispatchLimits, AnObserverMayFreeTheObjectThatIsSending) {
  run("new f fan\nnew k doom\nconnect f 0 k 0\nconnect f 1 k 0");
  struct Ctx {
    kohost::Patch* patch;
    int seen;
  } ctx{&patch, 0};
  patch.on_emit(
      [](void* c, const kohost::Emission& e) {
        auto* ctx = static_cast<Ctx*>(c);
        ++ctx->seen;
        ctx->patch->free(e.from);
      },
      &ctx);
  patch.send(patch.find("f"), 0, max::gensym("bang"), {});
  patch.on_emit(nullptr, nullptr);
  EXPECT_EQ(ctx.seen, 1);
  EXPECT_EQ(log, "fan done;");
  EXPECT_EQ(patch.find("f"), nullptr);
}

}  // namespace
