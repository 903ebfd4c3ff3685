// The host as a C++ library: create objects by class name, send them messages, wire
// them together and watch every outlet and console line. kohost and the tests both
// drive objects through this.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "frame/maxapi.h"

namespace kohost {

// One message leaving an outlet.
struct Emission {
  max::Object* from;
  int outlet;
  max::Symbol* selector;
  int argc;
  const max::Atom* argv;
};

// A class linked into the program rather than loaded from a plug-in: its main is called
// as a plug-in's would be, with the given class name.
void register_class(const std::string& name, int (*main_fn)());

// Makes the nth call of sysmem_newptr or sysmem_newptrclear from now on give null (1: the
// next one), so that tests can see an object live through a failed allocation; 0 turns
// it off. Only that one call fails.
void fail_allocation(std::int64_t nth);
// Counts one allocation against fail_allocation; true for the one that must fail.
bool allocation_fails();

// Runs the low-priority calls that are waiting; returns how many ran.
int run_deferred();
std::size_t deferred_count();

class Patch {
 public:
  using EmitFn = void (*)(void* ctx, const Emission& e);
  using ConsoleFn = void (*)(void* ctx, bool is_error, std::string_view text);

  // Each message that enters the patch from outside (a send, a deferred call, a creation,
  // a draw) may cause this many deliveries to inlets, itself included. Past it the rest
  // of that message's work is dropped with one error line naming the object and the
  // selector where it stopped. No honest patch comes near the default; a cord loop
  // that fans out reaches it in well under a second.
  static constexpr std::int64_t kDefaultDeliveryBudget = 1000000;

  // Plug-ins are looked for in the given folders, then in KOHOST_PATH.
  explicit Patch(std::vector<std::string> plugin_dirs = {});
  ~Patch();
  Patch(const Patch&) = delete;
  Patch& operator=(const Patch&) = delete;

  // Adds a folder to look in after those already known.
  void add_plugin_dir(std::string dir) { dirs_.push_back(std::move(dir)); }

  void on_emit(EmitFn fn, void* ctx);
  void on_console(ConsoleFn fn, void* ctx) { console_fn_ = fn, console_ctx_ = ctx; }

  // A budget below 1 is taken as 1.
  void set_delivery_budget(std::int64_t deliveries) { budget_ = deliveries < 1 ? 1 : deliveries; }
  std::int64_t delivery_budget() const { return budget_; }

  // Finds a class, loading NAME.so on first use. Null, with a reason, when there is none.
  max::Class* find_class(const std::string& name, std::string* why = nullptr);

  // Creates an object named id. Null, with a reason, when the class is unknown, the id is
  // taken or the creation routine fails.
  max::Object* create(const std::string& id, const std::string& cls, const std::vector<max::Atom>& args,
                      std::string* why = nullptr);
  max::Object* find(std::string_view id) const;
  // The id an object was created under ("" for one the patch did not name).
  const std::string& id_of(const max::Object* x) const;
  // Safe during a message, from a handler or an observer: the object receives nothing
  // more and its record is released when the message ends.
  void free(max::Object* x);

  // Sends selector and atoms to an inlet.
  void send(max::Object* x, int inlet, max::Symbol* sel, const std::vector<max::Atom>& args);
  // Sends atoms the way a message box does: one number alone is an int or float, a list
  // that starts with a number is a list, a leading symbol is the selector.
  void send_box(max::Object* x, int inlet, const std::vector<max::Atom>& atoms);

  // Both are safe during a message: a cord made then receives what its outlet sends from
  // then on, a cord cut then receives nothing more.
  bool connect(max::Object* from, int outlet, max::Object* to, int inlet);
  bool disconnect(max::Object* from, int outlet, max::Object* to, int inlet);
  int outlets(const max::Object* x) const;
  int inlets(const max::Object* x) const;

  // The object's assist text for an inlet (kind 1) or outlet (kind 2); "" when none.
  std::string assist(max::Object* x, int kind, int index);

  int run_deferred();

  // Called by the host.
  void notify_emit(max::Object* from, int outlet, max::Symbol* sel, int argc, const max::Atom* argv) {
    if (emit_fn_) emit_fn_(emit_ctx_, Emission{from, outlet, sel, argc, argv});
  }
  void notify_console(bool is_error, std::string_view text);
  void forget(max::Object* x);
  // The first object made while create runs takes the id being created, so that what it
  // emits during creation already carries its name.
  void adopt(max::Object* x);

 private:
  class Active;
  std::vector<std::string> dirs_;
  std::map<std::string, max::Object*, std::less<>> by_id_;
  EmitFn emit_fn_ = nullptr;
  void* emit_ctx_ = nullptr;
  ConsoleFn console_fn_ = nullptr;
  void* console_ctx_ = nullptr;
  Patch* previous_ = nullptr;
  std::string pending_id_;
  std::int64_t budget_ = kDefaultDeliveryBudget;
};

// Atoms for building messages.
max::Atom long_atom(std::int32_t v);
max::Atom float_atom(float v);
max::Atom sym_atom(const char* s);

}  // namespace kohost
