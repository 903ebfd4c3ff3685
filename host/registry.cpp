// Class registration (setup and the bindings) and the symbol table.
#include <cstdarg>
#include <memory>
#include <mutex>
#include <string>

#include "host/state.h"

namespace kohost {

HostState& state() {
  static HostState s;
  return s;
}

const CommonSymbols& syms() {
  static const CommonSymbols s{max::gensym("bang"), max::gensym("int"), max::gensym("float"),
                               max::gensym("list"), max::gensym("assist")};
  return s;
}

namespace {

Codes read_codes(va_list ap) {
  Codes c;
  for (;;) {
    const int code = va_arg(ap, int);
    if (code == max::A_END) break;
    if (c.count < kMaxTypedArgs) c.code[c.count++] = static_cast<short>(code);
  }
  return c;
}

void bind(max::Symbol* sel, max::method fn, Codes codes) {
  max::Class* cls = state().setup_class;
  if (!cls) return;
  Method m;
  m.fn = fn;
  m.codes = codes;
  m.caller = typed_caller(codes);
  cls->methods[sel] = m;
}

Codes one_code(short c) {
  Codes codes;
  codes.code[0] = c;
  codes.count = 1;
  return codes;
}

}  // namespace
}  // namespace kohost

namespace max {

using kohost::state;

Symbol* gensym(const char* text) {
  static std::mutex lock;
  static std::unordered_map<std::string, std::unique_ptr<Symbol>> table;
  std::lock_guard<std::mutex> guard(lock);
  auto [it, fresh] = table.try_emplace(text ? text : "");
  if (fresh) it->second = std::make_unique<Symbol>(Symbol{it->first.c_str()});
  return it->second.get();
}

void setup(Class** cls, method new_fn, method free_fn, short size, method menu_fn, ...) {
  (void)menu_fn;
  auto& st = state();
  auto* c = st.owned_classes.emplace_back(std::make_unique<Class>()).get();
  c->name = st.loading_name;
  c->new_fn = new_fn;
  c->free_fn = free_fn;
  c->size = size;
  va_list ap;
  va_start(ap, menu_fn);
  c->new_codes = kohost::read_codes(ap);
  va_end(ap);
  c->new_caller = kohost::typed_new_caller(c->new_codes);
  st.classes[c->name] = c;
  st.setup_class = c;
  if (cls) *cls = c;
}

void addbang(method m) { kohost::bind(kohost::syms().bang, m, kohost::Codes{}); }
void addint(method m) { kohost::bind(kohost::syms().int_, m, kohost::one_code(A_LONGARG)); }
void addfloat(method m) { kohost::bind(kohost::syms().float_, m, kohost::one_code(A_FLOATARG)); }

void addmess(method m, const char* sel, ...) {
  va_list ap;
  va_start(ap, sel);
  const kohost::Codes codes = kohost::read_codes(ap);
  va_end(ap);
  kohost::bind(gensym(sel), m, codes);
}

void addinx(method m, short inlet) {
  Class* cls = state().setup_class;
  if (!cls || inlet < 1) return;
  if (cls->inlet_ints.size() <= static_cast<std::size_t>(inlet)) cls->inlet_ints.resize(inlet + 1);
  kohost::Method& h = cls->inlet_ints[inlet];
  h.fn = m;
  h.codes = kohost::one_code(A_LONGARG);
  h.caller = kohost::typed_caller(h.codes);
}

void alias(const char* name) {
  auto& st = state();
  if (st.setup_class && name) st.classes[name] = st.setup_class;
}

}  // namespace max
