// Process-wide host state: the plain-C API has no context argument, so classes,
// symbols, the patch that receives console lines and the message under way live here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/host.h"
#include "host/patch.h"

#define KO_HIDDEN __attribute__((visibility("hidden")))

namespace kohost {

struct HostState {
  std::vector<std::unique_ptr<max::Class>> owned_classes;
  std::unordered_map<std::string, max::Class*> classes;  // by name and by alias
  std::string loading_name;                              // class name for the next setup
  max::Class* setup_class = nullptr;                     // the class being bound
};

HostState& state();

// What the dispatcher reads on every delivery, in one plain global.
// `left` at or below kStopped: the message ran out of budget or stack and said so.
inline constexpr std::int64_t kStopped = INT64_MIN / 2;

struct Run {
  std::int64_t left = 0;              // deliveries the message from outside may still make
  const char* stack_limit = nullptr;  // no delivery starts from a frame below this
  int depth = 0;                      // messages under way, nested
  int observers = 0;                  // patches that watch emissions
  bool watch = true;                  // depth == 0 or observers > 0: emissions take the slow path
  bool cleanup = false;               // records or cords wait for the message to end
  Patch* active = nullptr;            // console lines and new objects go here
};
extern Run run KO_HIDDEN;

// Releases the records freed and sweeps the cords cut while the message was under way.
void release_pending() KO_HIDDEN;

// The common selectors, fixed records that gensym hands out for their texts.
extern max::Symbol sym_bang KO_HIDDEN;
extern max::Symbol sym_int KO_HIDDEN;
extern max::Symbol sym_float KO_HIDDEN;
extern max::Symbol sym_list KO_HIDDEN;
extern max::Symbol sym_assist KO_HIDDEN;

inline void update_watch() { run.watch = run.depth == 0 || run.observers > 0; }

// The stack pointer; reading it needs no frame of its own.
inline const char* stack_pointer() {
#if defined(__x86_64__)
  const char* sp;
  asm("mov %%rsp, %0" : "=r"(sp));
  return sp;
#else
  return static_cast<const char*>(__builtin_frame_address(0));
#endif
}

// The stack of this thread, read once: its bounds and the limit deliveries keep above.
struct ThreadStack {
  const char* low;
  const char* high;
  const char* limit;
};
extern thread_local constinit ThreadStack thread_stack KO_HIDDEN __attribute__((tls_model("initial-exec")));

// A limit no frame is above: the first delivery of the message then finds the real one
// (read_stack_limit), so opening a message never calls out.
inline const char* const kLimitUnread = reinterpret_cast<const char*>(~std::uintptr_t{0});
const char* read_stack_limit(const char* sp) KO_HIDDEN;

inline const char* stack_limit_here() {
  const char* sp = stack_pointer();
  return sp > thread_stack.low && sp <= thread_stack.high ? thread_stack.limit : kLimitUnread;
}

// The work of one message that enters the patch from outside (a script line, a deferred
// call, a creation, a draw). The outermost one grants the delivery budget and takes the
// thread's stack limit; when it ends, what was freed or cut meanwhile is released.
class Entry {
 public:
  explicit Entry(std::int64_t budget) {
    if (run.depth++ == 0) open(budget);
  }
  ~Entry() {
    if (--run.depth == 0) close();
  }
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

  // The outermost message's bookkeeping, for a caller that knows none is under way
  // (run.depth already counted).
  static void open(std::int64_t budget) {
    run.left = budget;
    run.stack_limit = stack_limit_here();
    run.watch = run.observers > 0;
  }
  static void close() {
    run.left = 0;
    run.watch = true;
    if (run.cleanup) release_pending();
  }
};

}  // namespace kohost

// Makes a patch the one that receives console lines and new objects while it works.
class kohost::Patch::Active {
 public:
  explicit Active(Patch* p) : saved_(run.active) { run.active = p; }
  ~Active() { run.active = saved_; }
  Active(const Active&) = delete;
  Active& operator=(const Active&) = delete;

 private:
  Patch* saved_;
};

namespace kohost {

// The budget of the patch at work, or the default.
std::int64_t current_budget() KO_HIDDEN;

// Delivers a message to an inlet of an object, by the dispatch rules, within the budget
// and the stack limit of the message under way.
void deliver(max::Object* to, int inlet, max::Symbol* sel, int argc, const max::Atom* argv) KO_HIDDEN;

// Console lines, to the active patch.
void console_line(bool is_error, std::string_view text);

// Symbols the dispatcher compares against.
struct CommonSymbols {
  max::Symbol* bang;
  max::Symbol* int_;
  max::Symbol* float_;
  max::Symbol* list;
  max::Symbol* assist;
};
const CommonSymbols& syms();

// Deferred calls of an object are dropped when it goes away.
void drop_deferred(max::Object* x);

// Cuts cord i of an outlet: at once when no message is under way, else it is marked and
// swept when the message ends.
void cut_cord(max::Outlet* o, std::size_t i) KO_HIDDEN;

}  // namespace kohost
