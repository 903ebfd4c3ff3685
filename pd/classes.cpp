// Classes: a plug-in's setup makes a Pd class whose creator runs the plug-in's creation
// routine, and whose messages go through the dispatch rules shared with kohost.
#include <algorithm>
#include <cstdarg>
#include <unordered_map>

#include "pd/pd_host.h"

namespace kopd {

namespace {

struct Classes {
  std::vector<std::unique_ptr<max::Class>> owned;
  std::unordered_map<t_symbol*, max::Class*> by_name;  // by name and by alias
  std::unordered_map<t_symbol*, std::string> unavailable;  // names that give an error line
  std::string loading_name;                            // class name for the next setup
  max::Class* setup_class = nullptr;                   // the class being bound
};

Classes& classes() {
  static Classes c;
  return c;
}

// The creation under way: the first record the creation routine makes, so that a routine
// that gives up without freeing it leaves nothing behind.
struct Creation {
  max::Object* made = nullptr;
};
Creation* creating = nullptr;

// ---------------------------------------------------------------------------
// Messages to the left inlet

void on_bang(t_object* ob) {
  max::Object* x = record_of(ob);
  Sink sink(ob);
  kohost::dispatch_bang(x->o_class->methods, x, sink);
}

void on_float(t_object* ob, t_floatarg f) {
  max::Object* x = record_of(ob);
  Sink sink(ob);
  std::int32_t n;
  if (whole_long(f, n))
    kohost::dispatch_int(x->o_class->methods, x, n, sink);
  else
    kohost::dispatch_float(x->o_class->methods, x, f, sink);
}

void on_symbol(t_object* ob, t_symbol* s) {
  max::Object* x = record_of(ob);
  Sink sink(ob);
  max::Atom a;
  a.a_type = max::A_SYM;
  a.a_w.w_sym = sym(s);
  kohost::dispatch(x->o_class->methods, x, 0, sym(&s_symbol), 1, &a, sink);
}

void on_pointer(t_object* ob, t_gpointer*) {
  max::Object* x = record_of(ob);
  Sink sink(ob);
  kohost::dispatch(x->o_class->methods, x, 0, sym(&s_pointer), 0, nullptr, sink);
}

void on_anything(t_object* ob, t_symbol* s, int argc, t_atom* argv) {
  max::Object* x = record_of(ob);
  Sink sink(ob);
  AtomsFromPd atoms(argc, argv);
  kohost::dispatch(x->o_class->methods, x, 0, sym(s), atoms.count(), atoms.data(), sink);
}

// ---------------------------------------------------------------------------
// Creation and freeing

// Outlets and inlets once the plug-in has made its own: Pd's in left-to-right order.
void finish(max::Object* x) {
  t_object* ob = object_of(x);
  max::Instance* in = x->o_host;
  for (max::Outlet* o : in->outlets) o->pd = outlet_new(ob, nullptr);
  for (int i = 1; i < in->inlets; ++i) {
    t_pd* p = new_proxy(ob, i);
    in->proxies.push_back(p);
    inlet_new(ob, p, nullptr, nullptr);
  }
}

void* on_new(t_symbol* s, int argc, t_atom* argv) {
  max::Class* cls = find_class(s);
  if (!cls) return nullptr;
  AtomsFromPd atoms(argc, argv);
  Creation here;
  Creation* outer = creating;
  creating = &here;
  max::Object* x = nullptr;
  if (cls->new_codes.gimme()) {
    x = reinterpret_cast<max::gimme_new_fn>(cls->new_fn)(sym(s), atoms.count(), atoms.data());
  } else {
    kohost::TypedArg typed[kohost::kMaxTypedArgs];
    if (cls->new_caller && kohost::convert_typed(cls->new_codes, atoms.count(), atoms.data(), typed))
      x = cls->new_caller(cls->new_fn, typed);
    else
      pd_error(nullptr, "%s: bad creation arguments", cls->name.c_str());
  }
  creating = outer;
  if (!x) {
    if (here.made) pd_free(&object_of(here.made)->ob_pd);
    return nullptr;
  }
  finish(x);
  return object_of(x);
}

void on_free(t_object* ob) {
  max::Object* x = record_of(ob);
  max::Instance* in = x->o_host;
  if (creating && creating->made == x) creating->made = nullptr;
  drop_deferred(x);
  // Its free routine may still send on its outlets, which Pd frees after this.
  if (x->o_class->free_fn) reinterpret_cast<max::free_fn>(x->o_class->free_fn)(x);
  if (!in) return;
  for (t_pd* p : in->proxies) pd_free(p);
  for (max::Outlet* o : in->outlets) delete o;
  delete in;
  x->o_host = nullptr;
}

// Creating a name whose plug-in cannot work here.
void* on_new_unavailable(t_symbol* s, int, t_atom*) {
  auto& u = classes().unavailable;
  if (auto it = u.find(s); it != u.end()) pd_error(nullptr, "%s", it->second.c_str());
  return nullptr;
}

// Pd keeps creators as void* (*)(void), as we keep handlers.
template <class F>
t_newmethod as_creator(F* f) {
  return reinterpret_cast<t_newmethod>(reinterpret_cast<void (*)()>(f));
}

void bind(max::Symbol* sel, max::method fn, const kohost::Codes& codes) {
  if (max::Class* cls = classes().setup_class) cls->methods.bind(sel, fn, codes);
}

}  // namespace

void note_made(max::Object* x) {
  if (creating && !creating->made) creating->made = x;
}

max::Class* find_class(t_symbol* name) {
  auto& by_name = classes().by_name;
  auto it = by_name.find(name);
  return it == by_name.end() ? nullptr : it->second;
}

void run_main(const std::string& class_name, int (*main_fn)(), const std::string& dir) {
  Classes& c = classes();
  c.loading_name = class_name;
  c.setup_class = nullptr;
  // Pd looks for a class's help patch in the folder that was current when it was made.
  class_set_extern_dir(gensym(dir.c_str()));
  main_fn();
  class_set_extern_dir(&s_);
  c.setup_class = nullptr;
  c.loading_name.clear();
}

void add_name(max::Class* cls, const std::string& name) {
  t_symbol* s = gensym(name.c_str());
  if (!cls || classes().by_name.count(s)) return;
  classes().by_name[s] = cls;
  class_addcreator(as_creator(on_new), s, A_GIMME, 0);
}

void add_unavailable(const std::string& name, const std::string& why) {
  t_symbol* s = gensym(name.c_str());
  if (!classes().unavailable.emplace(s, why).second) return;
  class_addcreator(as_creator(on_new_unavailable), s, A_GIMME, 0);
}

bool is_unavailable(const std::string& name) { return classes().unavailable.count(gensym(name.c_str())) != 0; }

}  // namespace kopd

namespace max {

void setup(Class** cls, method new_fn, method free_fn, short size, method menu_fn, ...) {
  (void)menu_fn;
  kopd::Classes& st = kopd::classes();
  st.setup_class = nullptr;
  if (cls) *cls = nullptr;
  // Only a plug-in that the library's loader runs has a name to register under.
  if (st.loading_name.empty()) return;
  auto* c = st.owned.emplace_back(std::make_unique<Class>()).get();
  c->name = st.loading_name;
  c->new_fn = new_fn;
  c->free_fn = free_fn;
  c->size = size;
  va_list ap;
  va_start(ap, menu_fn);
  c->new_codes = kohost::read_codes(ap);
  va_end(ap);
  c->new_caller = kohost::typed_new_caller(c->new_codes);
  const std::size_t record = std::max<std::size_t>(size > 0 ? static_cast<std::size_t>(size) : 0, sizeof(Object));
  t_symbol* name = ::gensym(c->name.c_str());
  c->pd = class_new(name, kopd::as_creator(kopd::on_new), reinterpret_cast<t_method>(kopd::on_free),
                    kopd::kRecordOffset + record, CLASS_DEFAULT, ::A_GIMME, 0);
  class_addbang(c->pd, reinterpret_cast<t_method>(kopd::on_bang));
  class_addfloat(c->pd, reinterpret_cast<t_method>(kopd::on_float));
  class_addsymbol(c->pd, reinterpret_cast<t_method>(kopd::on_symbol));
  class_addpointer(c->pd, reinterpret_cast<t_method>(kopd::on_pointer));
  // A list and any other selector both take the general rules.
  class_addlist(c->pd, reinterpret_cast<t_method>(kopd::on_anything));
  class_addanything(c->pd, reinterpret_cast<t_method>(kopd::on_anything));
  st.by_name[name] = c;
  st.setup_class = c;
  if (cls) *cls = c;
}

void addbang(method m) { kopd::bind(kopd::sym(&s_bang), m, kohost::Codes{}); }
void addint(method m) { kopd::bind(gensym("int"), m, kohost::one_code(A_LONGARG)); }
void addfloat(method m) { kopd::bind(kopd::sym(&s_float), m, kohost::one_code(A_FLOATARG)); }

void addmess(method m, const char* sel, ...) {
  va_list ap;
  va_start(ap, sel);
  const kohost::Codes codes = kohost::read_codes(ap);
  va_end(ap);
  kopd::bind(gensym(sel), m, codes);
}

void addinx(method m, short inlet) {
  if (Class* cls = kopd::classes().setup_class) cls->methods.bind_inlet_int(inlet, m);
}

void alias(const char* name) {
  if (name) kopd::add_name(kopd::classes().setup_class, name);
}

}  // namespace max
