// The wrapper: a patch object that holds an inner object and turns messages into its
// methods and attributes. Deferred methods and attribute settings wait in a per-object
// list (a newer one replacing one still waiting) that one low-priority call runs.
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "host/host.h"
#include "host/jit/layer.h"
#include "host/state.h"

namespace jit {

namespace {

struct ClassEx {
  max::Class* cls;
  std::size_t offset;
  Class* inner = nullptr;
  bool drawing = false;
};

struct Pending {
  max::Symbol* sel;
  std::vector<max::Atom> args;
  bool get;
};

struct ObEx {
  ClassEx* ex;
  void* inner = nullptr;
  max::Outlet* dumpout = nullptr;
  std::vector<Pending> pending;
};

std::unordered_map<const max::Class*, ClassEx*>& classexes() {
  static auto* m = new std::unordered_map<const max::Class*, ClassEx*>;
  return *m;
}
std::unordered_set<const ObEx*>& live() {
  static auto* s = new std::unordered_set<const ObEx*>;
  return *s;
}

ClassEx* classex_of(const max::Class* c) {
  auto it = classexes().find(c);
  return it == classexes().end() ? nullptr : it->second;
}

ObEx* obex_of(void* x) {
  auto* o = static_cast<max::Object*>(x);
  ClassEx* ex = o ? classex_of(o->o_class) : nullptr;
  if (!ex) return nullptr;
  ObEx* ob = nullptr;
  std::memcpy(&ob, static_cast<char*>(x) + ex->offset, sizeof ob);
  return live().count(ob) ? ob : nullptr;
}

bool is_attr_arg(const max::Atom& a) {
  return a.a_type == max::A_SYM && a.a_w.w_sym && a.a_w.w_sym->s_name[0] == '@';
}

void answer(ObEx* ob, Attribute* a) {
  if (!ob->dumpout) return;
  constexpr int kLocal = 64;
  max::Atom local[kLocal];
  int n = a->count <= kLocal ? attr_get_into(a, ob->inner, local, kLocal) : -1;
  if (n >= 0) {
    max::outlet_anything(ob->dumpout, a->name, static_cast<short>(n), local);
    return;
  }
  std::int32_t ac = 0;
  max::Atom* av = nullptr;
  if (attr_get(a, ob->inner, &ac, &av) == kOk) {
    const short count = static_cast<short>(ac < 32767 ? ac : 32767);
    max::outlet_anything(ob->dumpout, a->name, count, av);
  }
  jit_freebytes(av, 0);
}

// Runs a wrapped message now.
void dispatch(ObEx* ob, max::Symbol* s, std::int32_t argc, const max::Atom* argv) {
  Class* c = class_of(ob->inner);
  if (!c) return;
  if (auto it = c->methods.find(s); it != c->methods.end()) {
    const Word w[] = {jit_word(ob->inner), jit_word(s), jit_word(argc), jit_word(argv)};
    call_method(it->second, 4, w);
  } else if (Attribute* a = find_attr(c, s)) {
    attr_set(a, ob->inner, argc, argv);
  } else if (auto g = c->getters.find(s); g != c->getters.end()) {
    answer(ob, g->second);
  }
}

void run_pending(max::Object* x, max::Symbol*, std::int32_t, const max::Atom*) {
  ObEx* ob = obex_of(x);
  if (!ob) return;
  std::vector<Pending> work;
  work.swap(ob->pending);
  for (const Pending& p : work) {
    // A call may free the object; what is left of the list goes with it.
    if (!live().count(ob)) return;
    dispatch(ob, p.sel, static_cast<std::int32_t>(p.args.size()), p.args.data());
  }
}

void queue(max::Object* x, ObEx* ob, max::Symbol* s, std::int32_t argc, const max::Atom* argv, bool get) {
  std::vector<max::Atom> args(argv, argv + (argc > 0 && argv ? argc : 0));
  bool replaced = false;
  if (!get) {
    for (Pending& p : ob->pending) {
      if (p.sel == s && !p.get) {
        p.args = std::move(args);
        replaced = true;
        break;
      }
    }
  }
  if (!replaced) ob->pending.push_back({s, std::move(args), get});
  max::defer_low(x, max::as_method(&run_pending), nullptr, 0, nullptr);
}

void wrapped(max::Object* x, max::Symbol* s, std::int32_t argc, const max::Atom* argv) {
  ObEx* ob = obex_of(x);
  if (!ob || !ob->inner) return;
  Class* c = class_of(ob->inner);
  if (!c) return;
  if (auto it = c->methods.find(s); it != c->methods.end()) {
    if (it->second.code == kDeferredUsurp)
      queue(x, ob, s, argc, argv, false);
    else
      dispatch(ob, s, argc, argv);
  } else if (Attribute* a = find_attr(c, s)) {
    if (a->flags & kAttrSetDeferred)
      queue(x, ob, s, argc, argv, false);
    else
      attr_set(a, ob->inner, argc, argv);
  } else if (auto g = c->getters.find(s); g != c->getters.end()) {
    if (g->second->flags & kAttrGetDeferred)
      queue(x, ob, s, argc, argv, true);
    else
      answer(ob, g->second);
  }
}

}  // namespace

void* max_jit_classex_setup(std::size_t obex_offset) {
  max::Class* cls = kohost::state().setup_class;
  if (!cls || obex_offset < sizeof(max::Object) ||
      obex_offset + sizeof(void*) > static_cast<std::size_t>(cls->size))
    return nullptr;
  ClassEx*& ex = classexes()[cls];
  if (!ex) ex = new ClassEx{cls, obex_offset};
  ex->offset = obex_offset;
  return ex;
}

jit_err max_jit_classex_standard_wrap(void* classex, Class* inner, std::int32_t) {
  auto* ex = static_cast<ClassEx*>(classex);
  if (!ex || !inner || kohost::state().setup_class != ex->cls) return kErrInvalidObject;
  ex->inner = inner;
  const max::method fn = max::as_method(&wrapped);
  for (max::Symbol* s : inner->method_order) {
    const std::int32_t code = inner->methods[s].code;
    if (code == kGimme || code == kDeferredUsurp) max::addmess(fn, s->s_name, max::A_GIMME, 0);
  }
  for (Attribute* a : inner->attr_order) {
    max::addmess(fn, a->name->s_name, max::A_GIMME, 0);
    max::addmess(fn, a->getter_name->s_name, max::A_GIMME, 0);
  }
  return kOk;
}

void max_ob3d_setup() {
  if (ClassEx* ex = classex_of(kohost::state().setup_class)) ex->drawing = true;
}

void max_jit_ob3d_assist(max::Object*, void*, std::int32_t kind, std::int32_t index, char* text) {
  if (kind == max::ASSIST_INLET)
    max::sprintf(text, "(messages) attributes and methods");
  else if (kind == max::ASSIST_OUTLET && index == 0)
    max::sprintf(text, "(jit_matrix) geometry when matrixoutput is on");
  else if (kind == max::ASSIST_OUTLET && index == 1)
    max::sprintf(text, "(messages) attribute values");
}

void* max_jit_obex_new(max::Class* cls, max::Symbol* inner_class) {
  ClassEx* ex = classex_of(cls);
  if (!ex || !jit_class_findbyname(inner_class)) return nullptr;
  max::Object* x = max::newobject(cls);
  if (!x) return nullptr;
  auto* ob = new ObEx{ex, nullptr, nullptr, {}};
  live().insert(ob);
  std::memcpy(reinterpret_cast<char*>(x) + ex->offset, &ob, sizeof ob);
  return x;
}

void max_jit_obex_free(void* x) {
  ObEx* ob = obex_of(x);
  if (!ob) return;
  max_jit_ob3d_detach(x);
  const std::size_t offset = ob->ex->offset;
  live().erase(ob);
  delete ob;
  ObEx* none = nullptr;
  std::memcpy(static_cast<char*>(x) + offset, &none, sizeof none);
}

jit_err max_jit_obex_jitob_set(void* x, void* inner) {
  ObEx* ob = obex_of(x);
  if (!ob) return kErrInvalidObject;
  ob->inner = inner;
  return kOk;
}

void* max_jit_obex_jitob_get(void* x) {
  ObEx* ob = obex_of(x);
  return ob ? ob->inner : nullptr;
}

jit_err max_jit_obex_dumpout_set(void* x, max::Outlet* o) {
  ObEx* ob = obex_of(x);
  if (!ob) return kErrInvalidObject;
  ob->dumpout = o;
  return kOk;
}

void max_jit_obex_dumpout(void* x, max::Symbol* s, std::int32_t argc, const max::Atom* argv) {
  ObEx* ob = obex_of(x);
  if (ob && ob->dumpout) max::outlet_anything(ob->dumpout, s, static_cast<short>(argc), argv);
}

std::int32_t max_jit_attr_args_offset(std::int32_t argc, const max::Atom* argv) {
  if (argc <= 0 || !argv) return 0;
  for (std::int32_t i = 0; i < argc; ++i)
    if (is_attr_arg(argv[i])) return i;
  return argc;
}

void max_jit_attr_args(void* x, std::int32_t argc, const max::Atom* argv) {
  ObEx* ob = obex_of(x);
  if (!ob || !ob->inner || argc <= 0 || !argv) return;
  Class* c = class_of(ob->inner);
  std::int32_t i = max_jit_attr_args_offset(argc, argv);
  while (i < argc) {
    std::int32_t j = i + 1;
    while (j < argc && !is_attr_arg(argv[j])) ++j;
    const char* name = argv[i].a_w.w_sym->s_name + 1;
    if (Attribute* a = find_attr(c, max::gensym(name)))
      attr_set(a, ob->inner, j - i - 1, argv + i + 1);
    else
      max::error("%s: no attribute \"%s\"", static_cast<max::Object*>(x)->o_class->name.c_str(), name);
    i = j;
  }
}

}  // namespace jit
