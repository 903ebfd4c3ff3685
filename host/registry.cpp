// Class registration (setup and the bindings) and the symbol table.
#include <cstdarg>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "host/state.h"

namespace kohost {

HostState& state() {
  static HostState s;
  return s;
}

Run run;

max::Symbol sym_bang{"bang"};
max::Symbol sym_int{"int"};
max::Symbol sym_float{"float"};
max::Symbol sym_list{"list"};
max::Symbol sym_assist{"assist"};

const CommonSymbols& syms() {
  static constexpr CommonSymbols s{&sym_bang, &sym_int, &sym_float, &sym_list, &sym_assist};
  return s;
}

namespace {

void bind(max::Symbol* sel, max::method fn, Codes codes) {
  if (max::Class* cls = state().setup_class) cls->methods.bind(sel, fn, codes);
}

// Interned texts. A symbol never moves or goes away; the common ones are fixed records.
class SymbolTable {
 public:
  SymbolTable() {
    for (max::Symbol* s : {&sym_bang, &sym_int, &sym_float, &sym_list, &sym_assist}) table_.emplace(s->s_name, s);
  }
  max::Symbol* get(const char* text) {
    const std::string_view key(text ? text : "");
    std::lock_guard<std::mutex> guard(lock_);
    if (auto it = table_.find(key); it != table_.end()) return it->second;
    const std::string& owned = texts_.emplace_back(key);
    max::Symbol* s = &symbols_.emplace_back(max::Symbol{owned.c_str()});
    table_.emplace(std::string_view(owned), s);
    return s;
  }

 private:
  std::mutex lock_;
  std::unordered_map<std::string_view, max::Symbol*> table_;
  std::deque<std::string> texts_;
  std::deque<max::Symbol> symbols_;
};

}  // namespace
}  // namespace kohost

namespace max {

using kohost::state;

Symbol* gensym(const char* text) {
  static kohost::SymbolTable table;
  return table.get(text);
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
  if (Class* cls = state().setup_class) cls->methods.bind_inlet_int(inlet, m);
}

void alias(const char* name) {
  auto& st = state();
  if (st.setup_class && name) st.classes[name] = st.setup_class;
}

}  // namespace max
