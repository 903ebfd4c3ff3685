// Instances, outlets and inlets, and the way a message travels: out of an outlet, along
// the cords, into an inlet and to the handler bound for its selector.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "frame/truncate.h"
#include "host/patch.h"
#include "host/state.h"

namespace kohost {

namespace {

// Deeper nesting than this is a cord loop; the message is dropped, not the stack.
constexpr int kMaxDepth = 512;

void call_method(const Method& m, max::Object* x, max::Symbol* sel, int argc, const max::Atom* argv) {
  if (m.codes.gimme()) {
    reinterpret_cast<max::gimme_fn>(m.fn)(x, sel, argc, argv);
    return;
  }
  TypedArg args[kMaxTypedArgs];
  if (!m.caller || !convert_typed(m.codes, argc, argv, args)) {
    max::error("%s: bad arguments for message \"%s\"", x->o_class->name.c_str(), sel->s_name);
    return;
  }
  m.caller(m.fn, x, args);
}

const Method* find(const max::Class* c, const max::Symbol* sel) {
  auto it = c->methods.find(sel);
  if (it == c->methods.end() || it->second.codes.cant()) return nullptr;
  return &it->second;
}

void not_understood(max::Object* x, max::Symbol* sel) {
  max::error("%s: doesn't understand \"%s\"", x->o_class->name.c_str(), sel->s_name);
}

void deliver_left(max::Object* x, max::Symbol* sel, int argc, const max::Atom* argv) {
  const max::Class* c = x->o_class;
  const CommonSymbols& s = syms();
  if (const Method* m = find(c, sel)) {
    call_method(*m, x, sel, argc, argv);
    return;
  }
  // A number goes to the handler of the other number type.
  if (sel == s.int_ || sel == s.float_) {
    if (const Method* m = find(c, sel == s.int_ ? s.float_ : s.int_)) {
      call_method(*m, x, sel, argc, argv);
      return;
    }
  }
  // A one-number list goes as that number.
  if (sel == s.list && argc == 1 && (argv[0].a_type == max::A_LONG || argv[0].a_type == max::A_FLOAT)) {
    deliver_left(x, argv[0].a_type == max::A_LONG ? s.int_ : s.float_, argc, argv);
    return;
  }
  not_understood(x, sel);
}

void deliver_int_inlet(max::Object* x, int inlet, max::Symbol* sel, int argc, const max::Atom* argv) {
  const max::Class* c = x->o_class;
  const CommonSymbols& s = syms();
  const bool number = argc >= 1 && (argv[0].a_type == max::A_LONG || argv[0].a_type == max::A_FLOAT);
  const bool numeric_sel = sel == s.int_ || sel == s.float_ || (sel == s.list && argc == 1);
  if (static_cast<std::size_t>(inlet) >= c->inlet_ints.size() || !c->inlet_ints[inlet].fn || !numeric_sel) {
    not_understood(x, sel);
    return;
  }
  if (!number) {
    max::error("%s: bad arguments for message \"%s\"", c->name.c_str(), sel->s_name);
    return;
  }
  const std::int32_t v =
      argv[0].a_type == max::A_LONG ? argv[0].a_w.w_long : ko::to_long(argv[0].a_w.w_float);
  reinterpret_cast<max::long_fn>(c->inlet_ints[inlet].fn)(x, v);
}

}  // namespace

void deliver(max::Object* x, int inlet, max::Symbol* sel, int argc, const max::Atom* argv) {
  HostState& st = state();
  if (st.depth >= kMaxDepth) {
    max::error("%s: stack overflow, message \"%s\" dropped", x->o_class->name.c_str(), sel->s_name);
    return;
  }
  if (inlet < 0 || inlet >= x->o_host->inlets) {
    max::error("%s: no inlet %d", x->o_class->name.c_str(), inlet);
    return;
  }
  ++st.depth;
  if (inlet == 0)
    deliver_left(x, sel, argc, argv);
  else
    deliver_int_inlet(x, inlet, sel, argc, argv);
  --st.depth;
}

void emit(max::Outlet* o, max::Symbol* sel, int argc, const max::Atom* argv) {
  if (!o) return;
  if (Patch* p = o->owner->o_host->patch) p->notify_emit(o->owner, o->index, sel, argc, argv);
  // A handler may make or cut cords on this outlet; index, not iterators.
  for (std::size_t i = 0; i < o->cords.size(); ++i) {
    const max::Cord cord = o->cords[i];
    deliver(cord.to, cord.inlet, sel, argc, argv);
  }
}

}  // namespace kohost

namespace max {

Object* newobject(Class* cls) {
  if (!cls) return nullptr;
  const std::size_t size = std::max<std::size_t>(static_cast<std::size_t>(cls->size), sizeof(Object));
  auto* x = static_cast<Object*>(std::calloc(1, size));
  if (!x) return nullptr;
  x->o_class = cls;
  x->o_host = new Instance;
  x->o_host->patch = kohost::state().active;
  if (x->o_host->patch) x->o_host->patch->adopt(x);
  return x;
}

void freeobject(Object* x) {
  if (!x) return;
  if (x->o_class->free_fn) reinterpret_cast<free_fn>(x->o_class->free_fn)(x);
  Instance* in = x->o_host;
  if (in->patch) in->patch->forget(x);
  kohost::drop_deferred(x);
  for (Outlet* src : in->incoming) {
    auto& cords = src->cords;
    cords.erase(std::remove_if(cords.begin(), cords.end(), [x](const Cord& c) { return c.to == x; }), cords.end());
  }
  for (Outlet* o : in->outlets) {
    for (const Cord& c : o->cords) {
      auto& inc = c.to->o_host->incoming;
      inc.erase(std::remove(inc.begin(), inc.end(), o), inc.end());
    }
    delete o;
  }
  delete in;
  std::free(x);
}

Outlet* outlet_new(Object* x, const char* /*type*/) {
  if (!x) return nullptr;
  auto& outs = x->o_host->outlets;
  auto* o = new Outlet{x, 0, {}};
  outs.insert(outs.begin(), o);
  for (std::size_t i = 0; i < outs.size(); ++i) outs[i]->index = static_cast<int>(i);
  return o;
}

Outlet* listout(Object* x) { return outlet_new(x, "list"); }
Outlet* floatout(Object* x) { return outlet_new(x, "float"); }
Outlet* bangout(Object* x) { return outlet_new(x, "bang"); }

void intin(Object* x, short inlet) {
  if (x && inlet >= 1 && inlet + 1 > x->o_host->inlets) x->o_host->inlets = inlet + 1;
}

void outlet_list(Outlet* o, Symbol* /*s*/, short argc, const Atom* argv) {
  kohost::emit(o, kohost::syms().list, argc, argv);
}

void outlet_anything(Outlet* o, Symbol* s, short argc, const Atom* argv) {
  kohost::emit(o, s ? s : kohost::syms().list, argc, argv);
}

void outlet_float(Outlet* o, double f) {
  Atom a;
  a.a_type = A_FLOAT;
  a.a_w.w_float = static_cast<float>(f);
  kohost::emit(o, kohost::syms().float_, 1, &a);
}

void outlet_int(Outlet* o, std::int32_t n) {
  Atom a;
  a.a_type = A_LONG;
  a.a_w.w_long = n;
  kohost::emit(o, kohost::syms().int_, 1, &a);
}

void outlet_bang(Outlet* o) { kohost::emit(o, kohost::syms().bang, 0, nullptr); }

}  // namespace max
