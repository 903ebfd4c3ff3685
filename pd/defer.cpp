// Low-priority calls: one waiting call per object and method, run by a Pd clock at delay 0,
// that is once the message under way and everything else due now are done.
#include <algorithm>
#include <vector>

#include "pd/pd_host.h"

namespace kopd {

namespace {

struct Deferred {
  max::Object* x;
  max::method fn;
  max::Symbol* sel;
  std::vector<max::Atom> args;
};

std::vector<Deferred>& queue() {
  static std::vector<Deferred> q;
  return q;
}

t_clock* clock;

// The calls taken off the queue for the tick under way: an object that one of them frees
// loses the rest of its own.
std::vector<Deferred>* running;

void run_queue(void*) {
  // Calls queued while running wait for the next tick, so a call that defers itself
  // cannot keep the queue busy forever.
  std::vector<Deferred> now;
  now.swap(queue());
  running = &now;
  for (const Deferred& d : now) {
    if (!d.x) continue;
    reinterpret_cast<max::gimme_fn>(d.fn)(d.x, d.sel, static_cast<std::int32_t>(d.args.size()), d.args.data());
  }
  running = nullptr;
}

}  // namespace

void drop_deferred(max::Object* x) {
  auto& q = queue();
  q.erase(std::remove_if(q.begin(), q.end(), [x](const Deferred& d) { return d.x == x; }), q.end());
  if (running)
    for (Deferred& d : *running)
      if (d.x == x) d.x = nullptr;
}

}  // namespace kopd

namespace max {

void defer_low(Object* x, method fn, Symbol* s, short argc, const Atom* argv) {
  if (!x || !fn) return;
  auto& q = kopd::queue();
  std::vector<Atom> args(argv, argv + (argc > 0 && argv ? argc : 0));
  for (auto& d : q) {
    if (d.x == x && d.fn == fn) {
      d.sel = s;
      d.args = std::move(args);
      return;
    }
  }
  q.push_back({x, fn, s, std::move(args)});
  if (!kopd::clock) kopd::clock = clock_new(&kopd::clock, reinterpret_cast<t_method>(kopd::run_queue));
  clock_delay(kopd::clock, 0);
}

}  // namespace max
