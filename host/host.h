// The host's inner records: classes with their method tables, instances with their
// outlets and inlets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame/maxapi.h"
#include "host/dispatch.h"

namespace kohost {
class Patch;
}

namespace max {

struct Class {
  std::string name;
  method new_fn = nullptr;
  method free_fn = nullptr;
  short size = 0;
  kohost::Codes new_codes;
  kohost::NewCaller new_caller = nullptr;
  kohost::MethodTable methods;  // iterates as {selector, method} in the order bound
};

struct Cord {
  Object* to;  // null once cut while a message was under way; swept when it ends
  int inlet;
};

struct Outlet {
  Object* owner;
  int index;  // from the left; outlets made later push the earlier ones right
  std::vector<Cord> cords;
  bool has_cut = false;  // holds cut cords waiting to be swept
};

struct Instance {
  kohost::Patch* patch = nullptr;
  std::string id;                 // the name the patch knows it by; "" for none
  std::vector<Outlet*> outlets;   // leftmost first
  int inlets = 1;
  std::vector<Outlet*> incoming;  // outlets with a cord into this object, one entry per cord
  bool freed = false;             // freed during a message; released when it ends
};

}  // namespace max
