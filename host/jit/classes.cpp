// Inner classes and objects: registration, methods called by name, the registry of named
// objects, and the small atom, memory and maths helpers.
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "frame/truncate.h"
#include "host/jit/layer.h"

namespace jit {

max::Symbol* _jit_sym_nothing = max::gensym("");
max::Symbol* _jit_sym_char = max::gensym("char");
max::Symbol* _jit_sym_long = max::gensym("long");
max::Symbol* _jit_sym_float32 = max::gensym("float32");
max::Symbol* _jit_sym_float64 = max::gensym("float64");
max::Symbol* _jit_sym_symbol = max::gensym("symbol");
max::Symbol* _jit_sym_getinfo = max::gensym("getinfo");
max::Symbol* _jit_sym_setinfo = max::gensym("setinfo");
max::Symbol* _jit_sym_getdata = max::gensym("getdata");
max::Symbol* _jit_sym_lock = max::gensym("lock");
max::Symbol* _jit_sym_dim = max::gensym("dim");
max::Symbol* _jit_sym_clear = max::gensym("clear");
max::Symbol* _jit_sym_jit_matrix = max::gensym("jit_matrix");
max::Symbol* _jit_sym_jit_attr_offset = max::gensym("jit_attr_offset");
max::Symbol* _jit_sym_jit_attr_offset_array = max::gensym("jit_attr_offset_array");
max::Symbol* _jit_sym_gl_quad_grid = max::gensym("gl_quad_grid");
max::Symbol* _jit_sym_gl_tri_grid = max::gensym("gl_tri_grid");

const LayerSymbols& lsyms() {
  static const LayerSymbols s{max::gensym("ob3d_draw"), max::gensym("dest_changed"), max::gensym("dest_closing"),
                              max::gensym("matrixoutput"), max::gensym("getcolor"), max::gensym("register")};
  return s;
}

namespace {

struct Registry {
  std::vector<std::unique_ptr<Class>> classes;
  std::unordered_map<max::Symbol*, Class*> by_name;    // registered classes
  std::unordered_map<max::Symbol*, void*> named;       // registered objects
  std::unordered_map<void*, max::Symbol*> name_of;
  std::uint64_t fresh = 0;
};

// Never destroyed: classes and named objects outlive every static that might free one.
Registry& reg() {
  static Registry* r = new Registry;
  return *r;
}

// Reads type codes up to the closing 0; at most a few.
std::int32_t first_code(va_list ap) {
  std::int32_t first = 0;
  for (int i = 0; i < 8; ++i) {
    const int c = va_arg(ap, int);
    if (c == 0) break;
    if (i == 0) first = c;
  }
  return first;
}

}  // namespace

Object* header_of(void* x) {
  auto* h = static_cast<Object*>(x);
  return h && h->tag == kTag && h->jit_class ? h : nullptr;
}

Class* class_of(void* x) {
  Object* h = header_of(x);
  return h ? h->jit_class : nullptr;
}

void* call_method(const MethodEntry& m, std::int32_t argc, const Word* argv) {
  return m.fn ? m.fn(argc, argv) : nullptr;
}

void* call_simple(void* x, max::Symbol* name) {
  Class* c = class_of(x);
  if (!c) return nullptr;
  auto it = c->methods.find(name);
  if (it == c->methods.end()) return nullptr;
  const Word w = jit_word(x);
  return call_method(it->second, 1, &w);
}

Class* jit_class_new(const char* name, method ctor, method dtor, std::size_t size, ...) {
  va_list ap;
  va_start(ap, size);
  first_code(ap);
  va_end(ap);
  auto c = std::make_unique<Class>();
  c->name = name ? name : "";
  c->sym = max::gensym(c->name.c_str());
  c->ctor = ctor;
  c->dtor = dtor;
  c->size = size < sizeof(Object) ? sizeof(Object) : size;
  Class* out = c.get();
  reg().classes.push_back(std::move(c));
  return out;
}

jit_err jit_class_addmethod(Class* c, method m, const char* name, ...) {
  if (!c || !m || !name) return kErrInvalidObject;
  va_list ap;
  va_start(ap, name);
  const std::int32_t code = first_code(ap);
  va_end(ap);
  max::Symbol* s = max::gensym(name);
  if (!c->methods.count(s)) c->method_order.push_back(s);
  c->methods[s] = MethodEntry{m, code == kGimme || code == kDeferredUsurp ? code : kPrivate};
  return kOk;
}

jit_err jit_class_addattr(Class* c, void* attr) {
  Object* h = header_of(attr);
  if (!c || !h || (h->jit_class->sym != _jit_sym_jit_attr_offset && h->jit_class->sym != _jit_sym_jit_attr_offset_array))
    return kErrInvalidObject;
  auto* a = reinterpret_cast<Attribute*>(attr);
  // An attribute bound to a field of the object must lie inside its record.
  if (!a->in_ob3d && !attr_fits(a, c->size)) return kErrGeneric;
  if (!c->attrs.count(a->name)) c->attr_order.push_back(a);
  c->attrs[a->name] = a;
  c->getters[a->getter_name] = a;
  return kOk;
}

jit_err jit_class_register(Class* c) {
  if (!c) return kErrInvalidObject;
  c->registered = true;
  reg().by_name[c->sym] = c;
  return kOk;
}

Class* jit_class_findbyname(max::Symbol* name) {
  auto it = reg().by_name.find(name);
  return it == reg().by_name.end() ? nullptr : it->second;
}

Attribute* find_attr(Class* c, max::Symbol* name) {
  if (!c) return nullptr;
  auto it = c->attrs.find(name);
  return it == c->attrs.end() ? nullptr : it->second;
}

void* jit_object_alloc(Class* c) {
  if (!c) return nullptr;
  auto* h = static_cast<Object*>(std::calloc(1, c->size));
  if (!h) return nullptr;
  h->jit_class = c;
  h->tag = kTag;
  return h;
}

void* jit_object_new(max::Symbol* classname, max::Symbol* dest) {
  Class* c = jit_class_findbyname(classname);
  if (!c || !c->ctor) return nullptr;
  const Word w = jit_word(dest ? dest : _jit_sym_nothing);
  return c->ctor(1, &w);
}

void jit_object_free(void* x) {
  Object* h = header_of(x);
  if (!h) return;
  Class* c = h->jit_class;
  // Attributes belong to their classes for the life of the host.
  if (c->sym == _jit_sym_jit_attr_offset || c->sym == _jit_sym_jit_attr_offset_array) return;
  if (auto it = reg().name_of.find(x); it != reg().name_of.end()) {
    reg().named.erase(it->second);
    reg().name_of.erase(it);
  }
  if (c->dtor) {
    const Word w = jit_word(x);
    c->dtor(1, &w);
  }
  h->tag = 0;
  std::free(x);
}

void* jit_object_method_words(max::Symbol* s, std::int32_t argc, const Word* argv) {
  if (argc < 1 || !argv || argv[0].kind != Word::Pointer) return nullptr;
  void* x = reinterpret_cast<void*>(argv[0].i);
  Class* c = class_of(x);
  if (!c || !s) return nullptr;
  if (auto it = c->methods.find(s); it != c->methods.end()) return call_method(it->second, argc, argv);
  if (auto it = c->attrs.find(s); it != c->attrs.end()) {
    // NAME count atoms
    if (argc < 3 || argv[1].kind != Word::Int || argv[2].kind != Word::Pointer)
      return reinterpret_cast<void*>(static_cast<std::intptr_t>(kErrWrongType));
    const auto n = static_cast<std::int32_t>(argv[1].i);
    const auto* atoms = reinterpret_cast<const max::Atom*>(argv[2].i);
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(attr_set(it->second, x, atoms ? n : 0, atoms)));
  }
  if (auto it = c->getters.find(s); it != c->getters.end()) {
    // getNAME where-count where-atoms
    if (argc < 3 || argv[1].kind != Word::Pointer || argv[2].kind != Word::Pointer || !argv[1].i || !argv[2].i)
      return reinterpret_cast<void*>(static_cast<std::intptr_t>(kErrWrongType));
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(attr_get(
        it->second, x, reinterpret_cast<std::int32_t*>(argv[1].i), reinterpret_cast<max::Atom**>(argv[2].i))));
  }
  return nullptr;
}

void* jit_object_register(void* x, max::Symbol* name) {
  if (!header_of(x)) return nullptr;
  Registry& r = reg();
  if (!name || name == _jit_sym_nothing) {
    do {
      name = max::gensym(("u" + std::to_string(++r.fresh)).c_str());
    } while (r.named.count(name));
  }
  if (auto it = r.named.find(name); it != r.named.end()) return it->second == x ? x : nullptr;
  if (auto it = r.name_of.find(x); it != r.name_of.end()) r.named.erase(it->second);
  r.named[name] = x;
  r.name_of[x] = name;
  return x;
}

void* jit_object_findregistered(max::Symbol* name) {
  auto it = reg().named.find(name);
  return it == reg().named.end() ? nullptr : it->second;
}

max::Symbol* jit_object_name(void* x) {
  auto it = reg().name_of.find(x);
  return it == reg().name_of.end() ? _jit_sym_nothing : it->second;
}

max::Symbol* jit_object_classname(void* x) {
  Class* c = class_of(x);
  return c ? c->sym : _jit_sym_nothing;
}

std::int32_t jit_atom_getlong(const max::Atom* a) {
  if (!a) return 0;
  if (a->a_type == max::A_LONG) return a->a_w.w_long;
  if (a->a_type == max::A_FLOAT) return ko::to_long(a->a_w.w_float);
  return 0;
}

double jit_atom_getfloat(const max::Atom* a) {
  if (!a) return 0;
  if (a->a_type == max::A_LONG) return a->a_w.w_long;
  if (a->a_type == max::A_FLOAT) return a->a_w.w_float;
  return 0;
}

max::Symbol* jit_atom_getsym(const max::Atom* a) {
  return a && a->a_type == max::A_SYM && a->a_w.w_sym ? a->a_w.w_sym : _jit_sym_nothing;
}

jit_err jit_atom_arg_getsym(max::Symbol** c, std::int32_t idx, std::int32_t ac, const max::Atom* av) {
  if (!c || !av || idx < 0 || idx >= ac || av[idx].a_type != max::A_SYM || !av[idx].a_w.w_sym) return kErrGeneric;
  *c = av[idx].a_w.w_sym;
  return kOk;
}

void* jit_getbytes(std::int64_t size) {
  if (size <= 0 || size > kMaxMatrixBytes) return nullptr;
  return std::malloc(static_cast<std::size_t>(size));
}

void jit_freebytes(void* p, std::int64_t) { std::free(p); }

double jit_math_sqrt(double v) { return std::sqrt(v); }

}  // namespace jit
