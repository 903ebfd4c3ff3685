// How a message travels: out of an outlet, along its cords in the order they were made,
// into an inlet and on to the handler, depth first, before the outlet call returns.
//
// Every delivery spends one unit of the budget that the message from outside was given
// and starts only from a frame above the thread's stack limit; either limit stops all the
// rest of that message's work with one error line. A lone number or a bang takes the
// handler its class resolved when it bound it. When an outlet has one cord, the handler
// is the outlet call's last act and compiles to a jump, so a chain of objects that send
// as their last act piles up no frames at all.
#include <pthread.h>

#include <algorithm>
#include <cstdio>

#include "host/patch.h"
#include "host/state.h"

namespace kohost {

// ---------------------------------------------------------------------------
// The stack limit

namespace {

// Room kept below the limit for the handler that runs last and for the error line.
constexpr std::size_t kMinMargin = 32 * 1024;
constexpr std::size_t kMaxMargin = 256 * 1024;
// On a stack that is not the thread's own (a fiber), nesting is allowed this far down.
constexpr std::size_t kUnknownStackRoom = 32 * 1024;

}  // namespace

constinit thread_local ThreadStack thread_stack{nullptr, nullptr, nullptr};

const char* read_stack_limit(const char* sp) {
  ThreadStack& t = thread_stack;
  if (!t.high) {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
      void* addr = nullptr;
      std::size_t size = 0;
      if (pthread_attr_getstack(&attr, &addr, &size) == 0 && addr && size > 0) {
        t.low = static_cast<const char*>(addr);
        t.high = t.low + size;
        t.limit = t.low + std::clamp(size / 4, kMinMargin, kMaxMargin);
      }
      pthread_attr_destroy(&attr);
    }
    if (!t.high) t.low = t.high = reinterpret_cast<const char*>(1);  // not asked again
  }
  if (sp > t.low && sp <= t.high) return t.limit;
  // A stack the thread did not start on, or bounds the system would not tell.
  const auto room = static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(sp));
  return room > kUnknownStackRoom ? sp - kUnknownStackRoom : nullptr;
}

std::int64_t current_budget() { return run.active ? run.active->delivery_budget() : Patch::kDefaultDeliveryBudget; }

namespace {

// ---------------------------------------------------------------------------
// Error lines

class HostSink final : public DispatchSink {
 public:
  const char* class_name(const max::Object* x) override { return x->o_class->name.c_str(); }
  void error_line(std::string_view text) override { console_line(true, text); }
};
HostSink sink;

// A delivery found the budget spent (run.left below 0) or the stack pointer sp below the
// limit. The first time in a message: one error line, and every later delivery comes here
// too and drops silently. Also reached by the first delivery of a message whose stack
// limit was still to be read: false when that delivery may go on after all.
[[gnu::noinline]] bool refused(const max::Object* to, const max::Symbol* sel, const char* sp) {
  if (run.stack_limit == kLimitUnread) {
    run.stack_limit = read_stack_limit(sp);
    if (run.left >= 0 && sp >= run.stack_limit) return false;
  }
  const bool out_of_stack = sp < run.stack_limit;
  const bool said = run.left <= kStopped;
  run.left = kStopped;
  if (said) return true;
  char line[512];
  std::snprintf(line, sizeof line, "%s: %s, message \"%s\" dropped", to->o_class->name.c_str(),
                out_of_stack ? "stack overflow" : "delivery budget exhausted", sel->s_name);
  console_line(true, line);
  return true;
}

// Spends one delivery; false when the budget or the stack is spent.
inline bool admit(const max::Object* to, const max::Symbol* sel) {
  const char* sp = stack_pointer();
  if (--run.left < 0 || sp < run.stack_limit) [[unlikely]]
    return !refused(to, sel, sp);
  return true;
}

// ---------------------------------------------------------------------------
// The four shapes a message leaves an outlet in

// Passed by value: the hot path takes the address of no local, so the handler call can be
// its last act. Each knows its selector, how it reaches a left inlet, and its atoms for
// everything else (other inlets, observers), which are built out of line.
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

// ---------------------------------------------------------------------------
// Along the cords

template <class M>
[[gnu::noinline]] void to_inlet(const M m, max::Object* x, int inlet) {
  m.with_atoms([&](int argc, const max::Atom* argv) {
    dispatch(x->o_class->methods, x, inlet, m.selector(), argc, argv, sink);
  });
}

template <class M>
inline void deliver_admitted(const max::Cord c, const M m) {
  if (c.inlet == 0) [[likely]]
    return m.to_left(c.to);
  return to_inlet(m, c.to, c.inlet);
}

template <class M>
[[gnu::noinline]] void deliver_cord_slowly(const max::Cord c, const M m, const char* sp) {
  if (refused(c.to, m.selector(), sp)) return;
  return deliver_admitted(c, m);
}

template <class M>
inline void deliver_cord(const max::Cord c, const M m) {
  if (!c.to) return;  // cut while this message was under way
  const char* sp = stack_pointer();
  if (--run.left < 0 || sp < run.stack_limit) [[unlikely]]
    return deliver_cord_slowly(c, m, sp);
  return deliver_admitted(c, m);
}

template <class M>
[[gnu::noinline]] void emit_loop(max::Outlet* o, const M m) {
  // A handler may make or cut cords on this outlet: index, not iterators, and cut cords
  // stay in place (marked) until the message ends.
  for (std::size_t i = 0; i < o->cords.size(); ++i) deliver_cord(o->cords[i], m);
}

// One cord, the common case, needs no loop and no saved registers.
template <class M>
inline void emit_cords(max::Outlet* o, const M m) {
  const max::Cord only = o->only;
  if (only.to) [[likely]]
    return deliver_cord(only, m);
  if (o->cords.empty()) return;
  return emit_loop(o, m);
}

template <class M>
void emit_watched(max::Outlet* o, const M m);

// Sent from outside any message (an embedding program calling an outlet): this emission
// is a message of its own.
template <class M>
[[gnu::noinline]] void emit_unscoped(max::Outlet* o, const M m) {
  Entry entry(current_budget());
  emit_watched(o, m);
}

// The observers see the emission before any cord does; a freed object's emissions are
// neither seen nor delivered.
template <class M>
[[gnu::noinline]] void emit_watched(max::Outlet* o, const M m) {
  if (run.depth == 0) return emit_unscoped(o, m);
  max::Object* from = o->owner;
  if (from->o_host->freed) return;
  if (Patch* p = from->o_host->patch)
    m.with_atoms([&](int argc, const max::Atom* argv) { p->notify_emit(from, o->index, m.selector(), argc, argv); });
  return emit_cords(o, m);
}

template <class M>
inline void emit(max::Outlet* o, const M m) {
  if (!o) return;
  if (run.watch) [[unlikely]]
    return emit_watched(o, m);
  return emit_cords(o, m);
}

// ---------------------------------------------------------------------------
// From outside

[[gnu::noinline]] void deliver_unscoped(max::Object* to, int inlet, max::Symbol* sel, int argc,
                                        const max::Atom* argv) {
  Entry entry(current_budget());
  deliver(to, inlet, sel, argc, argv);
}

// Within a message. Handlers are C functions to the host: nothing is thrown through.
inline void deliver_in_message(max::Object* to, int inlet, max::Symbol* sel, int argc,
                               const max::Atom* argv) noexcept {
  if (!to || to->o_host->freed) return;
  if (!admit(to, sel)) return;
  // A lone number or a bang to the left inlet goes the way it goes along a cord.
  if (inlet == 0) {
    if (sel == &sym_float && argc == 1 && argv[0].a_type == max::A_FLOAT)
      return FloatMessage{argv[0].a_w.w_float}.to_left(to);
    if (sel == &sym_int && argc == 1 && argv[0].a_type == max::A_LONG) return IntMessage{argv[0].a_w.w_long}.to_left(to);
    if (sel == &sym_bang && argc == 0) return BangMessage{}.to_left(to);
  }
  if (inlet < 0 || inlet >= to->o_host->inlets) {
    max::error("%s: no inlet %d", to->o_class->name.c_str(), inlet);
    return;
  }
  dispatch(to->o_class->methods, to, inlet, sel, argc, argv, sink);
}

[[gnu::noinline]] void deliver_float_slowly(max::Object* x, float v, const char* sp) noexcept {
  if (!refused(x, &sym_float, sp)) FloatMessage{v}.to_left(x);
}

// A lone float to a left inlet with no message under way and the patch already the one
// at work: the commonest message from outside, its bookkeeping written out around the
// one call and nothing kept across it. The budget is at least 1, so the first delivery
// needs only the stack checked.
[[gnu::noinline]] void send_float_from_outside(std::int64_t budget, max::Object* x, float v) noexcept {
  run.depth = 1;
  Entry::open(budget - 1);
  const char* sp = stack_pointer();
  if (sp < run.stack_limit) [[unlikely]]
    deliver_float_slowly(x, v, sp);
  else
    FloatMessage{v}.to_left(x);
  run.depth = 0;
  Entry::close();
}

}  // namespace

void deliver(max::Object* to, int inlet, max::Symbol* sel, int argc, const max::Atom* argv) {
  if (run.depth == 0) [[unlikely]]
    return deliver_unscoped(to, inlet, sel, argc, argv);
  deliver_in_message(to, inlet, sel, argc, argv);
}

// Here rather than with the rest of Patch, so that the delivery's bookkeeping inlines.
void Patch::send(max::Object* x, int inlet, max::Symbol* sel, const std::vector<max::Atom>& args) {
  // Any other message, within a message, or for a patch other than the one at work: the
  // general way, which also makes this patch the one at work while the message runs.
  struct General {
    [[gnu::noinline]] static void send(Patch* p, max::Object* x, int inlet, max::Symbol* sel,
                                       const std::vector<max::Atom>& args) noexcept {
      Active active(p);
      Entry entry(p->budget_);
      deliver_in_message(x, inlet, sel, static_cast<int>(args.size()), args.data());
    }
  };
  if (!x || !sel) return;
  // (With no message under way no record waits to be released, so x is not a freed one.)
  if (run.depth == 0 && run.active == this && sel == &sym_float && inlet == 0 && args.size() == 1 &&
      args[0].a_type == max::A_FLOAT) [[likely]]
    return send_float_from_outside(budget_, x, args[0].a_w.w_float);
  return General::send(this, x, inlet, sel, args);
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
