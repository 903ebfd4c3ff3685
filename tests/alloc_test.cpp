// Messages allocate nothing: through the host (dispatch, typed arguments, outlets, cords)
// and in the handlers of the objects.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "host/patch.h"

namespace {
std::atomic<long> allocations{0};
}

// The counting operator new is backed by malloc, so its deletes free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }


namespace {

TEST(Dispatch, AllocatesNothingPerMessage) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  long emitted = 0;
  patch.on_emit([](void* ctx, const kohost::Emission&) { ++*static_cast<long*>(ctx); }, &emitted);
  max::Object* a = patch.create("a", "ko-mirror4", {});
  max::Object* b = patch.create("b", "ko-mirror4", {});
  ASSERT_NE(a, nullptr);
  ASSERT_TRUE(patch.connect(a, 0, b, 0));
  max::Symbol* input = max::gensym("input");
  max::Symbol* bang = max::gensym("bang");
  max::Symbol* list = max::gensym("list");
  const std::vector<max::Atom> point = {kohost::float_atom(3.5f), kohost::long_atom(4)};
  const std::vector<max::Atom> none;

  const long before = allocations.load();
  patch.send(a, 0, input, point);
  patch.send(a, 0, bang, none);
  patch.send(b, 0, list, point);  // no list handler: an error line, still no allocation
  EXPECT_EQ(allocations.load() - before, 0);
  EXPECT_EQ(emitted, 8);  // b takes no lists, so only a emits
}

}  // namespace


namespace {

using kohost::float_atom;
using kohost::long_atom;
using kohost::sym_atom;

TEST(PlanarGenerators, AllocateNothingPerMessage) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  long emitted = 0;
  patch.on_emit([](void* ctx, const kohost::Emission&) { ++*static_cast<long*>(ctx); }, &emitted);
  patch.on_console([](void*, bool, std::string_view) {}, nullptr);
  max::Object* oval = patch.create("o", "ko-ovalpath", {sym_atom("@om"), long_atom(1)});
  max::Object* quad = patch.create("c", "ko-cornerset", {long_atom(20), long_atom(10), long_atom(1)});
  max::Object* rect = patch.create("r", "ko-rectnorm", {});
  max::Object* sight = patch.create("s", "ko-sightline", {});
  ASSERT_TRUE(oval && quad && rect && sight);
  // Symbols made up front: gensym may allocate the first time it sees a text.
  max::Symbol* bang = max::gensym("bang");
  max::Symbol* list = max::gensym("list");
  max::Symbol* f = max::gensym("float");
  max::Symbol* raio = max::gensym("raio");
  max::Symbol* rot = max::gensym("rot");
  max::Symbol* wh = max::gensym("wh");
  max::Symbol* ponto = max::gensym("ponto");
  max::Symbol* modo = max::gensym("modo");
  const std::vector<max::Atom> none;
  const std::vector<max::Atom> three = {float_atom(1.5f), long_atom(2), float_atom(3.f)};
  const std::vector<max::Atom> four = {long_atom(10), long_atom(5), float_atom(2.5f), long_atom(8)};
  const std::vector<max::Atom> with_symbol = {long_atom(1), sym_atom("x"), long_atom(3), long_atom(4)};
  const std::vector<max::Atom> one = {long_atom(3)};
  const std::vector<max::Atom> quarter = {float_atom(0.25f)};
  const std::vector<max::Atom> radii = {long_atom(3), long_atom(4)};

  const long before = allocations.load();
  patch.send(oval, 0, bang, none);
  patch.send(oval, 0, f, quarter);
  patch.send(oval, 0, raio, radii);
  patch.send(quad, 0, list, three);
  patch.send(quad, 0, rot, three);
  patch.send(quad, 0, wh, one);
  patch.send(rect, 0, list, four);
  patch.send(rect, 0, bang, none);
  patch.send(sight, 0, modo, one);
  patch.send(sight, 0, ponto, with_symbol);
  patch.send(sight, 0, bang, none);
  EXPECT_EQ(allocations.load() - before, 0);
  EXPECT_EQ(emitted, 11);
}

}  // namespace


namespace {

struct Message {
  int inlet;
  max::Symbol* selector;
  std::vector<max::Atom> args;
};

TEST(UtilitiesAlloc, HandlersAllocateNothing) {
  kohost::Patch patch({KO_PLUGIN_DIR});
  long emitted = 0;
  patch.on_emit([](void* ctx, const kohost::Emission&) { ++*static_cast<long*>(ctx); }, &emitted);
  patch.on_console([](void*, bool, std::string_view) {}, nullptr);
  auto sym = [](const char* s) { return max::gensym(s); };
  const max::Atom one = kohost::long_atom(1), half = kohost::float_atom(0.5f), word = kohost::sym_atom("x");
  std::vector<max::Atom> long_list(300, kohost::float_atom(2.5f));
  const std::vector<std::pair<const char*, std::vector<Message>>> objects = {
      {"ko-stepdiff",
       {{0, sym("int"), {one}}, {0, sym("float"), {half}}, {0, sym("list"), long_list}, {0, sym("list"), {one, word}},
        {0, sym("reset"), {half, one}}, {0, sym("om"), {one}}, {0, sym("bang"), {}}}},
      {"ko-listfill",
       {{0, sym("list"), long_list}, {0, sym("num"), {kohost::long_atom(100)}}, {0, sym("list"), {one, word, half}},
        {0, sym("float"), {half}}, {0, sym("bang"), {}}}},
      {"ko-chance", {{0, sym("bang"), {}}, {0, sym("range"), {one, half}}, {0, sym("bang"), {}}}},
      {"ko-bearing",
       {{0, sym("int"), {kohost::long_atom(370)}}, {0, sym("float"), {half}}, {0, sym("om"), {one}},
        {0, sym("bang"), {}}}},
      {"ko-trail",
       {{0, sym("int"), {one}}, {0, sym("float"), {half}}, {0, sym("set"), long_list}, {1, sym("int"), {one}},
        {0, sym("size"), {kohost::long_atom(254)}}, {0, sym("bang"), {}}}},
      {"ko-pointbank",
       {{0, sym("list"), long_list}, {0, sym("list"), {one, word}}, {0, sym("int"), {one}},
        {0, sym("num_ecran"), {kohost::long_atom(100)}}, {0, sym("bang"), {}}}},
  };
  for (const auto& [cls, messages] : objects) {
    SCOPED_TRACE(cls);
    max::Object* x = patch.create(std::string("x-") + cls, cls, {});
    ASSERT_NE(x, nullptr);
    const long before = allocations.load();
    const long sent_before = emitted;
    for (int round = 0; round < 3; ++round)
      for (const Message& m : messages) patch.send(x, m.inlet, m.selector, m.args);
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_GT(emitted, sent_before);
  }
}

}  // namespace
