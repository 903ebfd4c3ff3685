// Low-priority calls: one waiting call per object and method, run when the patch
// lets the queue run.
#include <algorithm>
#include <deque>
#include <vector>

#include "host/patch.h"
#include "host/state.h"

namespace kohost {

namespace {
struct Deferred {
  max::Object* x;
  max::method fn;
  max::Symbol* sel;
  std::vector<max::Atom> args;
};
std::deque<Deferred>& queue() {
  static std::deque<Deferred> q;
  return q;
}
}  // namespace

void drop_deferred(max::Object* x) {
  auto& q = queue();
  q.erase(std::remove_if(q.begin(), q.end(), [x](const Deferred& d) { return d.x == x; }), q.end());
}

int run_deferred() {
  auto& q = queue();
  int ran = 0;
  // Calls queued while running wait for the next turn, so a call that defers itself
  // cannot keep the queue busy forever.
  for (std::size_t n = q.size(); n > 0 && !q.empty(); --n) {
    Deferred d = std::move(q.front());
    q.pop_front();
    // Each call is a message from outside, with a budget of its own.
    Entry entry(current_budget());
    reinterpret_cast<max::gimme_fn>(d.fn)(d.x, d.sel, static_cast<std::int32_t>(d.args.size()), d.args.data());
    ++ran;
  }
  return ran;
}

std::size_t deferred_count() { return queue().size(); }

}  // namespace kohost

namespace max {

void defer_low(Object* x, method fn, Symbol* s, short argc, const Atom* argv) {
  if (!x || !fn) return;
  auto& q = kohost::queue();
  std::vector<Atom> args(argv, argv + (argc > 0 && argv ? argc : 0));
  for (auto& d : q) {
    if (d.x == x && d.fn == fn) {
      d.sel = s;
      d.args = std::move(args);
      return;
    }
  }
  q.push_back({x, fn, s, std::move(args)});
}

}  // namespace max
