#include "host/dispatch.h"

#include <cstdio>

namespace kohost {

const Selectors& selectors() {
  static const Selectors s{max::gensym("bang"), max::gensym("int"), max::gensym("float"), max::gensym("list")};
  return s;
}

// ---------------------------------------------------------------------------
// The table

namespace {

// Fibonacci hashing of the symbol's address: one multiplication, no division.
std::size_t hash_of(const max::Symbol* sel, int bits) {
  return static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(sel) * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

int bits_of(std::size_t size) {
  int b = 0;
  while ((std::size_t{1} << b) < size) ++b;
  return b;
}

bool is_typed_code(short c) {
  return c == max::A_LONGARG || c == max::A_FLOATARG || c == max::A_DEFLONG || c == max::A_DEFFLOAT;
}

// A method that takes exactly one number, as a long or as a float.
MethodTable::Resolved one_number(const Method* m) {
  MethodTable::Resolved r;
  if (!m || m->codes.count != 1 || !is_typed_code(m->codes.code[0])) return r;
  r.fn = m->fn;
  r.kind = is_float_code(m->codes.code[0]) ? MethodTable::Resolved::Float : MethodTable::Resolved::Long;
  return r;
}

}  // namespace

int MethodTable::slot_of(const max::Symbol* sel) const {
  if (index_.empty()) return -1;
  const int bits = bits_of(index_.size());
  const std::size_t mask = index_.size() - 1;
  for (std::size_t i = hash_of(sel, bits);; i = (i + 1) & mask) {
    const std::int32_t e = index_[i];
    if (e < 0) return -1;
    if (entries_[static_cast<std::size_t>(e)].selector == sel) return e;
  }
}

void MethodTable::rehash() {
  // At most half full, so every probe ends at an empty slot.
  const std::size_t size = std::size_t{1} << bits_of(entries_.size() * 2 + 2);
  index_.assign(size, -1);
  const int bits = bits_of(size);
  for (std::size_t e = 0; e < entries_.size(); ++e) {
    std::size_t i = hash_of(entries_[e].selector, bits);
    while (index_[i] >= 0) i = (i + 1) & (size - 1);
    index_[i] = static_cast<std::int32_t>(e);
  }
}

void MethodTable::resolve() {
  const Selectors& s = selectors();
  const Method* bang = find(s.bang);
  bang_ = {};
  if (bang && bang->codes.count == 0) bang_ = {bang->fn, Resolved::Bang};
  // A number goes to its own handler, or else to the other number type's.
  const Method* i = find(s.int_);
  const Method* f = find(s.float_);
  int_ = one_number(i ? i : f);
  float_ = one_number(f ? f : i);
}

void MethodTable::bind(max::Symbol* sel, max::method fn, const Codes& codes) {
  Method m;
  m.fn = fn;
  m.codes = codes;
  m.caller = typed_caller(codes);
  if (const int e = slot_of(sel); e >= 0) {
    entries_[static_cast<std::size_t>(e)].method = m;
  } else {
    entries_.push_back({sel, m});
    rehash();
  }
  resolve();
}

void MethodTable::bind_inlet_int(int inlet, max::method fn) {
  if (inlet < 1) return;
  if (inlet_ints_.size() <= static_cast<std::size_t>(inlet)) inlet_ints_.resize(static_cast<std::size_t>(inlet) + 1);
  inlet_ints_[static_cast<std::size_t>(inlet)] = fn;
}

const Method* MethodTable::find_any(const max::Symbol* sel) const {
  const int e = slot_of(sel);
  return e < 0 ? nullptr : &entries_[static_cast<std::size_t>(e)].method;
}

const Method* MethodTable::find(const max::Symbol* sel) const {
  const Method* m = find_any(sel);
  return m && !m->codes.cant() ? m : nullptr;
}

// ---------------------------------------------------------------------------
// The rules

namespace {

void report(DispatchSink& sink, const max::Object* x, const char* what, const max::Symbol* sel) {
  char line[512];
  const int n = std::snprintf(line, sizeof line, "%s: %s \"%s\"", sink.class_name(x), what, sel->s_name);
  if (n > 0) sink.error_line(std::string_view(line, n < static_cast<int>(sizeof line) ? n : sizeof line - 1));
}

void not_understood(DispatchSink& sink, const max::Object* x, const max::Symbol* sel) {
  report(sink, x, "doesn't understand", sel);
}

void bad_arguments(DispatchSink& sink, const max::Object* x, const max::Symbol* sel) {
  report(sink, x, "bad arguments for message", sel);
}

bool is_number(const max::Atom& a) { return a.a_type == max::A_LONG || a.a_type == max::A_FLOAT; }

void call(const Method& m, max::Object* x, max::Symbol* sel, int argc, const max::Atom* argv, DispatchSink& sink) {
  if (m.codes.gimme()) {
    reinterpret_cast<max::gimme_fn>(m.fn)(x, sel, argc, argv);
    return;
  }
  TypedArg args[kMaxTypedArgs];
  if (!m.caller || !convert_typed(m.codes, argc, argv, args)) {
    bad_arguments(sink, x, sel);
    return;
  }
  m.caller(m.fn, x, args);
}

void dispatch_left(const MethodTable& t, max::Object* x, max::Symbol* sel, int argc, const max::Atom* argv,
                   DispatchSink& sink) {
  const Selectors& s = selectors();
  if (const Method* m = t.find(sel)) return call(*m, x, sel, argc, argv, sink);
  // A number goes to the handler of the other number type.
  if (sel == s.int_ || sel == s.float_) {
    if (const Method* m = t.find(sel == s.int_ ? s.float_ : s.int_)) return call(*m, x, sel, argc, argv, sink);
  }
  // A one-number list goes as that number.
  if (sel == s.list && argc == 1 && is_number(argv[0]))
    return dispatch_left(t, x, argv[0].a_type == max::A_LONG ? s.int_ : s.float_, argc, argv, sink);
  not_understood(sink, x, sel);
}

void dispatch_int_inlet(const MethodTable& t, max::Object* x, int inlet, max::Symbol* sel, int argc,
                        const max::Atom* argv, DispatchSink& sink) {
  const Selectors& s = selectors();
  const max::method fn = t.inlet_int(inlet);
  const bool numeric_sel = sel == s.int_ || sel == s.float_ || (sel == s.list && argc == 1);
  if (!fn || !numeric_sel) return not_understood(sink, x, sel);
  if (argc < 1 || !is_number(argv[0])) return bad_arguments(sink, x, sel);
  const std::int32_t v = argv[0].a_type == max::A_LONG ? argv[0].a_w.w_long : ko::to_long(argv[0].a_w.w_float);
  reinterpret_cast<max::long_fn>(fn)(x, v);
}

}  // namespace

void dispatch(const MethodTable& t, max::Object* x, int inlet, max::Symbol* sel, int argc, const max::Atom* argv,
              DispatchSink& sink) {
  if (inlet != 0) return dispatch_int_inlet(t, x, inlet, sel, argc, argv, sink);
  // A lone number or a bang by its common selector takes the resolved handler.
  const Selectors& s = selectors();
  if (argc >= 1 && sel == s.float_ && argv[0].a_type == max::A_FLOAT && t.on_float().kind != MethodTable::Resolved::General)
    return dispatch_float(t, x, argv[0].a_w.w_float, sink);
  if (argc >= 1 && sel == s.int_ && argv[0].a_type == max::A_LONG && t.on_int().kind != MethodTable::Resolved::General)
    return dispatch_int(t, x, argv[0].a_w.w_long, sink);
  dispatch_left(t, x, sel, argc, argv, sink);
}

void dispatch_float_generally(const MethodTable& t, max::Object* x, float v, DispatchSink& sink) {
  max::Atom a;
  a.a_type = max::A_FLOAT;
  a.a_w.w_float = v;
  dispatch_left(t, x, selectors().float_, 1, &a, sink);
}

void dispatch_int_generally(const MethodTable& t, max::Object* x, std::int32_t n, DispatchSink& sink) {
  max::Atom a;
  a.a_type = max::A_LONG;
  a.a_w.w_long = n;
  dispatch_left(t, x, selectors().int_, 1, &a, sink);
}

void dispatch_bang_generally(const MethodTable& t, max::Object* x, DispatchSink& sink) {
  dispatch_left(t, x, selectors().bang, 0, nullptr, sink);
}

}  // namespace kohost
