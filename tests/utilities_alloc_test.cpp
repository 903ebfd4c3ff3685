// The value and list objects handle their messages without allocating.
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
