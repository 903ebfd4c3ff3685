// Instances, outlets and inlets, and atoms across the border.
#include <algorithm>

#include "pd/pd_host.h"

namespace kopd {

namespace {

// Inlets 1 and up: a proxy per inlet hands what arrives to the dispatch rules with its
// inlet number.
struct Proxy {
  t_pd pd;
  t_object* owner;
  int inlet;
};
t_class* proxy_class;

void to_inlet(Proxy* p, t_symbol* sel, int argc, const t_atom* argv) {
  max::Object* x = record_of(p->owner);
  Sink sink(p->owner);
  AtomsFromPd atoms(argc, argv);
  kohost::dispatch(x->o_class->methods, x, p->inlet, sym(sel), atoms.count(), atoms.data(), sink);
}

void proxy_bang(Proxy* p) { to_inlet(p, &s_bang, 0, nullptr); }
// A lone number goes as int or float, as it does to the left inlet.
void proxy_float(Proxy* p, t_floatarg f) {
  max::Object* x = record_of(p->owner);
  Sink sink(p->owner);
  max::Atom a;
  atom_from_pd(t_atom{A_FLOAT, {f}}, a);
  static max::Symbol* const s_int = sym(gensym("int"));
  kohost::dispatch(x->o_class->methods, x, p->inlet, a.a_type == max::A_LONG ? s_int : sym(&s_float), 1, &a, sink);
}
void proxy_symbol(Proxy* p, t_symbol* s) {
  t_atom a;
  SETSYMBOL(&a, s);
  to_inlet(p, &s_symbol, 1, &a);
}
void proxy_pointer(Proxy* p, t_gpointer*) { to_inlet(p, &s_pointer, 0, nullptr); }
void proxy_anything(Proxy* p, t_symbol* s, int argc, t_atom* argv) { to_inlet(p, s, argc, argv); }

}  // namespace

void setup_proxies() {
  if (proxy_class) return;
  proxy_class = class_new(gensym("ko-inlet"), nullptr, nullptr, sizeof(Proxy), CLASS_PD, A_NULL);
  class_addbang(proxy_class, reinterpret_cast<t_method>(proxy_bang));
  class_addfloat(proxy_class, reinterpret_cast<t_method>(proxy_float));
  class_addsymbol(proxy_class, reinterpret_cast<t_method>(proxy_symbol));
  class_addpointer(proxy_class, reinterpret_cast<t_method>(proxy_pointer));
  class_addlist(proxy_class, reinterpret_cast<t_method>(proxy_anything));
  class_addanything(proxy_class, reinterpret_cast<t_method>(proxy_anything));
}

t_pd* new_proxy(t_object* owner, int inlet) {
  auto* p = reinterpret_cast<Proxy*>(pd_new(proxy_class));
  p->owner = owner;
  p->inlet = inlet;
  return &p->pd;
}

void atom_from_pd(const t_atom& a, max::Atom& out) {
  switch (a.a_type) {
    case A_FLOAT:
      if (whole_long(a.a_w.w_float, out.a_w.w_long)) {
        out.a_type = max::A_LONG;
      } else {
        out.a_type = max::A_FLOAT;
        out.a_w.w_float = a.a_w.w_float;
      }
      return;
    case A_SYMBOL:
      out.a_type = max::A_SYM;
      out.a_w.w_sym = sym(a.a_w.w_symbol);
      return;
    default:
      // A pointer or anything else Pd may carry: a symbol naming it, which every
      // object already takes as "not a number".
      out.a_type = max::A_SYM;
      out.a_w.w_sym = sym(a.a_type == A_POINTER ? &s_pointer : &s_);
      return;
  }
}

void atom_to_pd(const max::Atom& a, t_atom& out) {
  switch (a.a_type) {
    case max::A_LONG:
      SETFLOAT(&out, static_cast<t_float>(a.a_w.w_long));
      return;
    case max::A_FLOAT:
      SETFLOAT(&out, a.a_w.w_float);
      return;
    case max::A_SYM:
      SETSYMBOL(&out, a.a_w.w_sym ? pd_sym(a.a_w.w_sym) : &s_);
      return;
    default:
      SETSYMBOL(&out, &s_);
      return;
  }
}

}  // namespace kopd

namespace max {

Object* newobject(Class* cls) {
  if (!cls || !cls->pd) return nullptr;
  auto* ob = reinterpret_cast<t_object*>(pd_new(cls->pd));
  if (!ob) return nullptr;
  auto* in = new Instance;
  reinterpret_cast<kopd::Header*>(ob)->inst = in;
  Object* x = kopd::record_of(ob);
  x->o_class = cls;
  x->o_host = in;
  kopd::note_made(x);
  return x;
}

void freeobject(Object* x) {
  if (x) pd_free(&kopd::object_of(x)->ob_pd);
}

Outlet* outlet_new(Object* x, const char* /*type*/) {
  if (!x || !x->o_host) return nullptr;
  auto& outs = x->o_host->outlets;
  outs.insert(outs.begin(), new Outlet);
  return outs.front();
}

Outlet* listout(Object* x) { return outlet_new(x, "list"); }
Outlet* floatout(Object* x) { return outlet_new(x, "float"); }
Outlet* bangout(Object* x) { return outlet_new(x, "bang"); }

void intin(Object* x, short inlet) {
  if (x && x->o_host && inlet >= 1 && inlet + 1 > x->o_host->inlets) x->o_host->inlets = inlet + 1;
}

void outlet_list(Outlet* o, Symbol* /*s*/, short argc, const Atom* argv) {
  if (!o || !o->pd) return;
  kopd::AtomsToPd atoms(argc, argv);
  ::outlet_list(o->pd, &s_list, atoms.count(), atoms.data());
}

void outlet_anything(Outlet* o, Symbol* s, short argc, const Atom* argv) {
  if (!o || !o->pd) return;
  kopd::AtomsToPd atoms(argc, argv);
  t_symbol* sel = s ? kopd::pd_sym(s) : &s_list;
  // Pd has no int message: an int goes as a float.
  static t_symbol* const s_int = ::gensym("int");
  if (sel == s_int) sel = &s_float;
  if (sel == &s_list)
    ::outlet_list(o->pd, &s_list, atoms.count(), atoms.data());
  else
    ::outlet_anything(o->pd, sel, atoms.count(), atoms.data());
}

// A long leaves as a Pd float, exact up to 2^24.
void outlet_int(Outlet* o, std::int32_t n) {
  if (o && o->pd) ::outlet_float(o->pd, static_cast<t_float>(n));
}

void outlet_float(Outlet* o, double f) {
  if (o && o->pd) ::outlet_float(o->pd, static_cast<t_float>(f));
}

void outlet_bang(Outlet* o) {
  if (o && o->pd) ::outlet_bang(o->pd);
}

}  // namespace max
