// Instances, their outlets and inlets, and their end. An object freed while a message
// is under way is cut off at once (nothing reaches it any more) but its record stays
// until the message ends, because a handler or an outlet loop up the stack may still
// hold it; cords cut meanwhile are marked and swept then, so no loop loses its place.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "host/patch.h"
#include "host/state.h"

namespace kohost {

namespace {

std::vector<max::Object*> freed_records;
std::vector<max::Outlet*> outlets_with_cuts;

void release(max::Object* x) {
  for (max::Outlet* o : x->o_host->outlets) delete o;
  delete x->o_host;
  std::free(x);
}

void sweep(max::Outlet* o) {
  auto& cords = o->cords;
  cords.erase(std::remove_if(cords.begin(), cords.end(), [](const max::Cord& c) { return !c.to; }), cords.end());
  o->has_cut = false;
  o->changed();
}

}  // namespace

// Cuts one cord: at once when no message is under way, else marked for the sweep.
void cut_cord(max::Outlet* o, std::size_t i) {
  if (run.depth == 0) {
    o->cords.erase(o->cords.begin() + static_cast<std::ptrdiff_t>(i));
    o->changed();
    return;
  }
  o->cords[i].to = nullptr;
  o->changed();
  if (!o->has_cut) {
    o->has_cut = true;
    outlets_with_cuts.push_back(o);
    run.cleanup = true;
  }
}

void release_pending() {
  // Sweeping first: the outlets of freed records are among those swept.
  for (max::Outlet* o : outlets_with_cuts) sweep(o);
  outlets_with_cuts.clear();
  for (max::Object* x : freed_records) release(x);
  freed_records.clear();
  run.cleanup = false;
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
  x->o_host->patch = kohost::run.active;
  if (x->o_host->patch) x->o_host->patch->adopt(x);
  return x;
}

void freeobject(Object* x) {
  if (!x || x->o_host->freed) return;
  Instance* in = x->o_host;
  in->freed = true;
  // Nothing reaches it from here on.
  for (Outlet* src : in->incoming) {
    for (std::size_t i = src->cords.size(); i-- > 0;)
      if (src->cords[i].to == x) kohost::cut_cord(src, i);
  }
  in->incoming.clear();
  kohost::drop_deferred(x);
  // Its free routine may still send on its own cords.
  if (x->o_class->free_fn) reinterpret_cast<free_fn>(x->o_class->free_fn)(x);
  if (in->patch) in->patch->forget(x);
  for (Outlet* o : in->outlets) {
    for (std::size_t i = o->cords.size(); i-- > 0;) {
      Object* to = o->cords[i].to;
      if (!to) continue;
      auto& inc = to->o_host->incoming;
      if (auto it = std::find(inc.begin(), inc.end(), o); it != inc.end()) inc.erase(it);
      kohost::cut_cord(o, i);
    }
  }
  if (kohost::run.depth == 0) {
    kohost::release(x);
  } else {
    kohost::freed_records.push_back(x);
    kohost::run.cleanup = true;
  }
}

Outlet* outlet_new(Object* x, const char* /*type*/) {
  if (!x) return nullptr;
  auto& outs = x->o_host->outlets;
  auto* o = new Outlet;
  o->owner = x;
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

}  // namespace max
