// A message travelling through the host (dispatch, typed arguments, outlets, cords)
// allocates nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
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
