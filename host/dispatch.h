// The dispatch rules of the plug-in API, kept apart from any one host: which handler a
// message reaches, how its atoms become typed arguments, and the two error lines. A host
// keeps one MethodTable per class, hands each message to dispatch() (or, for a lone
// number or a bang, to the inline dispatch_float / dispatch_int / dispatch_bang), and
// receives the error lines through its DispatchSink. kohost is one such host; a Pure Data
// library can be another without copying a rule: the rules need nothing of their host but
// its max::gensym, and build as a library of their own (kodispatch).
//
// The rules:
// - bang, int, float, list and named selectors go to the method bound for them;
// - an int with no int method goes to the float method, and a float with no float method
//   to the int method (truncated toward zero);
// - a list with no list method: one number alone goes as int or float, anything else is
//   "CLASS: doesn't understand "list"";
// - typed codes (1, 2, 5, 6) take one number each, converted to the code's type; a missing
//   optional one is 0; a missing required one, or a symbol where a number is wanted, is
//   "CLASS: bad arguments for message "SEL"" and the handler is not called; extra atoms
//   are ignored;
// - inlets from 1 on (made with intin) take one number, as a long, for their addinx handler;
// - a hidden method (code 9) is never reached by a message.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string_view>
#include <vector>

#include "frame/maxapi.h"
#include "frame/truncate.h"

namespace kohost {

inline constexpr int kMaxTypedArgs = 7;

union TypedArg {
  std::int32_t l;
  double d;
};

// Calls a handler with the exact signature its codes declare.
using Caller = void (*)(max::method fn, max::Object* x, const TypedArg* args);
using NewCaller = max::Object* (*)(max::method fn, const TypedArg* args);

struct Codes {
  short code[kMaxTypedArgs + 1] = {};
  int count = 0;
  bool gimme() const { return count > 0 && code[0] == max::A_GIMME; }
  bool cant() const { return count > 0 && code[0] == max::A_CANT; }
};

struct Method {
  max::method fn = nullptr;
  Codes codes;
  Caller caller = nullptr;  // typed handlers only
};

// The argument codes that follow a handler in setup, addmess and friends, up to the 0 that
// ends them; codes past kMaxTypedArgs are dropped.
Codes read_codes(std::va_list ap);
// The codes of addint and addfloat.
Codes one_code(short c);

// Picks the caller for a list of typed codes; null when a code is not a typed one.
Caller typed_caller(const Codes& codes);
NewCaller typed_new_caller(const Codes& codes);
bool is_float_code(short c);
bool is_optional_code(short c);

// Converts atoms to typed arguments by the codes. False: a required one is missing or
// an atom is not a number.
bool convert_typed(const Codes& codes, int argc, const max::Atom* argv, TypedArg* out);

// Where a host's error lines go.
class DispatchSink {
 public:
  // The name an error line starts with.
  virtual const char* class_name(const max::Object* x) = 0;
  virtual void error_line(std::string_view text) = 0;

 protected:
  ~DispatchSink() = default;
};

// The selectors the rules compare against, made with the host's gensym on first use.
struct Selectors {
  max::Symbol* bang;
  max::Symbol* int_;
  max::Symbol* float_;
  max::Symbol* list;
};
const Selectors& selectors();

// A class's methods by selector, in the order they were bound, with the handlers of a
// lone number and of bang resolved when the class binds them rather than per message.
class MethodTable {
 public:
  struct Entry {
    max::Symbol* selector;
    Method method;
  };

  // How a lone number or a bang reaches the class: straight to a handler that takes
  // exactly it, or through the general rules (a fallback, an error, an unusual binding).
  struct Resolved {
    enum Kind : std::uint8_t { General, Bang, Long, Float };
    max::method fn = nullptr;
    Kind kind = General;
  };

  // A later binding of the same selector replaces the earlier one.
  void bind(max::Symbol* sel, max::method fn, const Codes& codes);
  void bind_inlet_int(int inlet, max::method fn);

  // The method a message with this selector reaches by name; hidden ones are not found.
  const Method* find(const max::Symbol* sel) const;
  // Including hidden ones (assist).
  const Method* find_any(const max::Symbol* sel) const;
  max::method inlet_int(int inlet) const {
    return inlet >= 0 && static_cast<std::size_t>(inlet) < inlet_ints_.size() ? inlet_ints_[inlet] : nullptr;
  }

  std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
  std::vector<Entry>::const_iterator end() const { return entries_.end(); }
  std::size_t size() const { return entries_.size(); }

  const Resolved& on_bang() const { return bang_; }
  const Resolved& on_int() const { return int_; }
  const Resolved& on_float() const { return float_; }

 private:
  int slot_of(const max::Symbol* sel) const;
  void rehash();
  void resolve();

  std::vector<Entry> entries_;
  std::vector<std::int32_t> index_;  // open addressing over entries_, -1 empty; size a power of two
  std::vector<max::method> inlet_ints_;
  Resolved bang_, int_, float_;
};

// Delivers a message to inlet `inlet` of x by the rules. The host has checked that the
// inlet exists.
void dispatch(const MethodTable& t, max::Object* x, int inlet, max::Symbol* sel, int argc, const max::Atom* argv,
              DispatchSink& sink);

// A lone number or a bang to the left inlet: the resolved handler when there is one,
// else the general rules. Nothing here takes the address of a local, so the handler call
// is the last act and compiles to a jump.
void dispatch_float_generally(const MethodTable& t, max::Object* x, float v, DispatchSink& sink);
void dispatch_int_generally(const MethodTable& t, max::Object* x, std::int32_t n, DispatchSink& sink);
void dispatch_bang_generally(const MethodTable& t, max::Object* x, DispatchSink& sink);

inline void dispatch_float(const MethodTable& t, max::Object* x, float v, DispatchSink& sink) {
  const MethodTable::Resolved& r = t.on_float();
  if (r.kind == MethodTable::Resolved::Float) return reinterpret_cast<max::float_fn>(r.fn)(x, static_cast<double>(v));
  if (r.kind == MethodTable::Resolved::Long) return reinterpret_cast<max::long_fn>(r.fn)(x, ko::to_long(v));
  return dispatch_float_generally(t, x, v, sink);
}

inline void dispatch_int(const MethodTable& t, max::Object* x, std::int32_t n, DispatchSink& sink) {
  const MethodTable::Resolved& r = t.on_int();
  if (r.kind == MethodTable::Resolved::Long) return reinterpret_cast<max::long_fn>(r.fn)(x, n);
  if (r.kind == MethodTable::Resolved::Float) return reinterpret_cast<max::float_fn>(r.fn)(x, static_cast<double>(n));
  return dispatch_int_generally(t, x, n, sink);
}

inline void dispatch_bang(const MethodTable& t, max::Object* x, DispatchSink& sink) {
  const MethodTable::Resolved& r = t.on_bang();
  if (r.kind == MethodTable::Resolved::Bang) return reinterpret_cast<max::bang_fn>(r.fn)(x);
  return dispatch_bang_generally(t, x, sink);
}

}  // namespace kohost
