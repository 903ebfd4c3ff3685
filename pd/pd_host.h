// The host API on Pure Data: what the library keeps of classes and instances, how a
// plug-in's record sits inside a Pd object, and atoms across the border.
//
// An instance is one pd_new allocation: Pd's object header, a pointer to our bookkeeping
// for it (outlets, proxy inlets), padding to 16 bytes, then the plug-in's record, which
// starts with our own object header. The two headers convert by that fixed offset. Pd
// zeroes the allocation, so the record starts zeroed as it does in kohost.
#pragma once

#include <m_pd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/maxapi.h"
#include "host/dispatch.h"
#include "pd/numbers.h"

#define KOPD_HIDDEN __attribute__((visibility("hidden")))

namespace max {

struct Class {
  std::string name;
  t_class* pd = nullptr;
  method new_fn = nullptr;
  method free_fn = nullptr;
  short size = 0;
  kohost::Codes new_codes;
  kohost::NewCaller new_caller = nullptr;
  kohost::MethodTable methods;
};

// Pd makes outlets left to right, once the creation routine has returned and the plug-in
// has made all of its own, right to left; until then an outlet sends nowhere.
struct Outlet {
  t_outlet* pd = nullptr;
};

struct Instance {
  std::vector<Outlet*> outlets;  // leftmost first
  int inlets = 1;
  std::vector<t_pd*> proxies;    // inlets 1 and up
};

}  // namespace max

namespace kopd {

struct Header {
  t_object ob;
  max::Instance* inst;
};
inline constexpr std::size_t kRecordOffset = (sizeof(Header) + 15) / 16 * 16;

inline max::Object* record_of(t_object* ob) {
  return reinterpret_cast<max::Object*>(reinterpret_cast<char*>(ob) + kRecordOffset);
}
inline t_object* object_of(max::Object* x) {
  return reinterpret_cast<t_object*>(reinterpret_cast<char*>(x) - kRecordOffset);
}

// Our Symbol is Pd's: both start with the name.
inline max::Symbol* sym(t_symbol* s) { return reinterpret_cast<max::Symbol*>(s); }
inline t_symbol* pd_sym(max::Symbol* s) { return reinterpret_cast<t_symbol*>(s); }

// Atoms of one message, converted on the stack unless the list is long.
template <class To, class From, void (*Convert)(const From&, To&)>
class Converted {
 public:
  Converted(int argc, const From* argv) : count_(argc > 0 && argv ? argc : 0) {
    data_ = count_ <= kSmall ? small_ : (big_ = std::make_unique<To[]>(static_cast<std::size_t>(count_))).get();
    for (int i = 0; i < count_; ++i) Convert(argv[i], data_[i]);
  }
  int count() const { return count_; }
  To* data() { return data_; }

 private:
  static constexpr int kSmall = 64;
  int count_;
  To small_[kSmall];
  std::unique_ptr<To[]> big_;
  To* data_;
};

void atom_from_pd(const t_atom& a, max::Atom& out) KOPD_HIDDEN;
void atom_to_pd(const max::Atom& a, t_atom& out) KOPD_HIDDEN;
using AtomsFromPd = Converted<max::Atom, t_atom, atom_from_pd>;
using AtomsToPd = Converted<t_atom, max::Atom, atom_to_pd>;

// Classes by every name that creates them.
max::Class* find_class(t_symbol* name) KOPD_HIDDEN;
// Called by newobject: the record a creation under way made first.
void note_made(max::Object* x) KOPD_HIDDEN;
// Runs a plug-in's main: the class it sets up is named class_name; help patches are
// looked for in dir.
void run_main(const std::string& class_name, int (*main_fn)(), const std::string& dir) KOPD_HIDDEN;
// One more name that creates an existing class.
void add_name(max::Class* cls, const std::string& name) KOPD_HIDDEN;
// A name whose plug-in cannot work here: creating it gives the error line `why`.
void add_unavailable(const std::string& name, const std::string& why) KOPD_HIDDEN;
bool is_unavailable(const std::string& name) KOPD_HIDDEN;

// The class of the proxies behind inlets 1 and up.
void setup_proxies() KOPD_HIDDEN;
t_pd* new_proxy(t_object* owner, int inlet) KOPD_HIDDEN;

// Deferred calls of an object are dropped when it goes away.
void drop_deferred(max::Object* x) KOPD_HIDDEN;

// Error lines of the dispatch rules, shown as errors of the object in Pd.
class Sink final : public kohost::DispatchSink {
 public:
  explicit Sink(t_object* ob) : ob_(ob) {}
  const char* class_name(const max::Object* x) override { return x->o_class->name.c_str(); }
  void error_line(std::string_view text) override {
    pd_error(ob_, "%.*s", static_cast<int>(text.size()), text.data());
  }

 private:
  t_object* ob_;
};

}  // namespace kopd
