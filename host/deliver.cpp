// How a message travels: out of an outlet, along its cords in the order they were made,
// into an inlet and on to the handler, depth first, before the outlet call returns.
//
// Every delivery spends one unit of the budget that the message from outside was given
// and starts only from a frame above the thread's stack limit. Either limit stops all
// the rest of that message's work with one error line. A lone number or a bang takes
// the handler its class resolved when it bound it; when an outlet has one cord, the
// handler is the outlet call's last act, so a chain of objects does not pile up frames.
#include <pthread.h>

#include <algorithm>
#include <cstdio>

#include "host/patch.h"
#include "host/state.h"

namespace kohost {

namespace {

// Room kept below the limit for the handler that runs last and for the error line.
constexpr std::size_t kMinMargin = 32 * 1024;
constexpr std::size_t kMaxMargin = 256 * 1024;
// On a stack that is not the thread's own (a fiber), nesting is allowed this far down.
constexpr std::size_t kUnknownStackRoom = 32 * 1024;

struct StackBounds {
  const char* low;
  const char* high;
};

StackBounds read_stack_bounds() {
  StackBounds b{nullptr, nullptr};
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return b;
  void* addr = nullptr;
  std::size_t size = 0;
  if (pthread_attr_getstack(&attr, &addr, &size) == 0 && addr && size > 0) {
    b.low = static_cast<const char*>(addr);
    b.high = b.low + size;
  }
  pthread_attr_destroy(&attr);
  return b;
}

__attribute__((tls_model("initial-exec"))) thread_local StackBounds thread_stack{nullptr, nullptr};

const char* stack_limit_here() {
  if (!thread_stack.high) [[unlikely]] {
    thread_stack = read_stack_bounds();
    if (!thread_stack.high) thread_stack.high = reinterpret_cast<const char*>(1);  // unknown: not asked again
  }
  const char* frame = static_cast<const char*>(__builtin_frame_address(0));
  const StackBounds b = thread_stack;
  if (frame > b.low && frame <= b.high) {
    const auto size = static_cast<std::size_t>(b.high - b.low);
    return b.low + std::clamp(size / 4, kMinMargin, kMaxMargin);
  }
  const auto room = static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(frame));
  return room > kUnknownStackRoom ? frame - kUnknownStackRoom : nullptr;
}

class HostSink final : public DispatchSink {
 public:
  const char* class_name(const max::Object* x) override { return x->o_class->name.c_str(); }
  void error_line(std::string_view text) override { console_line(true, text); }
};
HostSink sink;

// Past the budget or the stack limit: one error line, then the rest of the message's
// work is dropped.
[[gnu::noinline, gnu::cold]] bool refuse(const max::Object* to, const max::Symbol* sel, bool out_of_stack) {
  run.left = 0;
  if (run.stopped) return false;
  run.stopped = true;
  char line[512];
  std::snprintf(line, sizeof line, "%s: %s, message \"%s\" dropped", to->o_class->name.c_str(),
                out_of_stack ? "stack overflow" : "delivery budget exhausted", sel->s_name);
  console_line(true, line);
  return false;
}

inline bool admit(const max::Object* to, const max::Symbol* sel) {
  const bool budget = --run.left >= 0;
  const bool stack = static_cast<const char*>(__builtin_frame_address(0)) >= run.stack_limit;
  if (budget && stack) [[likely]]
    return true;
  return refuse(to, sel, !stack);
}

void deliver_checked(max::Object* to, int inlet, max::Symbol* sel, int argc, const max::Atom* argv) {
  if (inlet < 0 || inlet >= to->o_host->inlets) {
    max::error("%s: no inlet %d", to->o_class->name.c_str(), inlet);
    return;
  }
  dispatch(to->o_class->methods, to, inlet, sel, argc, argv, sink);
}

// The four shapes a message leaves an outlet in. Each knows its selector, how it reaches
// a left inlet, and its atoms for everything else.
struct BangMessage {
  max::Symbol* selector() const { return &sym_bang; }
  void to_left(max::Object* x) const { dispatch_bang(x->o_class->methods, x, sink); }
  template <class F>
  void with_atoms(F&& f) const {
    f(0, static_cast<const max::Atom*>(nullptr));
  }
};

struct IntMessage {
  std::int32_t n;
  max::Symbol* selector() const { return &sym_int; }
  void to_left(max::Object* x) const { dispatch_int(x->o_class->methods, x, n, sink); }
  template <class F>
  void with_atoms(F&& f) const {
    max::Atom a;
    a.a_type = max::A_LONG;
    a.a_w.w_long = n;
    f(1, &a);
  }
};

struct FloatMessage {
  float v;
  max::Symbol* selector() const { return &sym_float; }
  void to_left(max::Object* x) const { dispatch_float(x->o_class->methods, x, v, sink); }
  template <class F>
  void with_atoms(F&& f) const {
    max::Atom a;
    a.a_type = max::A_FLOAT;
    a.a_w.w_float = v;
    f(1, &a);
  }
};

struct AtomsMessage {
  max::Symbol* sel;
  int argc;
  const max::Atom* argv;
  max::Symbol* selector() const { return sel; }
  void to_left(max::Object* x) const { dispatch(x->o_class->methods, x, 0, sel, argc, argv, sink); }
  template <class F>
  void with_atoms(F&& f) const {
    f(argc, argv);
  }
};

template <class M>
inline void deliver_cord(const max::Cord c, const M& m) {
  if (!c.to) return;  // cut while this message was under way
  if (!admit(c.to, m.selector())) return;
  if (c.inlet == 0) [[likely]]
    return m.to_left(c.to);
  m.with_atoms([&](int argc, const max::Atom* argv) {
    dispatch(c.to->o_class->methods, c.to, c.inlet, m.selector(), argc, argv, sink);
  });
}

template <class M>
inline void emit_cords(max::Outlet* o, const M& m) {
  if (o->cords.size() == 1) [[likely]]
    return deliver_cord(o->cords[0], m);
  // A handler may make or cut cords on this outlet: index, not iterators, and cut cords
  // stay in place (marked) until the message ends.
  for (std::size_t i = 0; i < o->cords.size(); ++i) deliver_cord(o->cords[i], m);
}

template <class M>
[[gnu::noinline]] void emit_watched(max::Outlet* o, const M& m) {
  if (run.depth == 0) {
    // Sent from outside any message (an embedding program calling an outlet): this
    // emission is a message of its own.
    Entry entry(current_budget());
    return emit_watched(o, m);
  }
  max::Object* from = o->owner;
  if (!from->o_host->freed) {
    if (Patch* p = from->o_host->patch) {
      m.with_atoms([&](int argc, const max::Atom* argv) { p->notify_emit(from, o->index, m.selector(), argc, argv); });
    }
  }
  emit_cords(o, m);
}

template <class M>
inline void emit(max::Outlet* o, const M& m) {
  if (!o) return;
  if (run.watch) [[unlikely]]
    return emit_watched(o, m);
  emit_cords(o, m);
}

}  // namespace

DispatchSink& dispatch_sink() { return sink; }

void Entry::open(std::int64_t budget) {
  run.left = budget;
  run.stopped = false;
  run.stack_limit = stack_limit_here();
  update_watch();
}

void Entry::close() {
  run.left = 0;
  update_watch();
  if (run.cleanup) release_pending();
}

std::int64_t current_budget() { return run.active ? run.active->delivery_budget() : Patch::kDefaultDeliveryBudget; }

void deliver(max::Object* to, int inlet, max::Symbol* sel, int argc, const max::Atom* argv) {
  if (!to || to->o_host->freed) return;
  if (run.depth == 0) {
    Entry entry(current_budget());
    return deliver(to, inlet, sel, argc, argv);
  }
  if (!admit(to, sel)) return;
  deliver_checked(to, inlet, sel, argc, argv);
}

}  // namespace kohost

namespace max {

void outlet_list(Outlet* o, Symbol* /*s*/, short argc, const Atom* argv) {
  kohost::emit(o, kohost::AtomsMessage{&kohost::sym_list, argc > 0 && argv ? argc : 0, argv});
}

void outlet_anything(Outlet* o, Symbol* s, short argc, const Atom* argv) {
  kohost::emit(o, kohost::AtomsMessage{s ? s : &kohost::sym_list, argc > 0 && argv ? argc : 0, argv});
}

// A float travels as a 32-bit float, like a float atom.
void outlet_float(Outlet* o, double f) { kohost::emit(o, kohost::FloatMessage{static_cast<float>(f)}); }

void outlet_int(Outlet* o, std::int32_t n) { kohost::emit(o, kohost::IntMessage{n}); }

void outlet_bang(Outlet* o) { kohost::emit(o, kohost::BangMessage{}); }

}  // namespace max
