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
  Object* owner = nullptr;
  int index = 0;  // from the left; outlets made later push the earlier ones right
  // The cord, when the outlet has exactly one that is not cut: a send reads it from the
  // outlet itself, one load less on the way from object to object.
  Cord only{nullptr, 0};
  std::vector<Cord> cords;
  bool has_cut = false;  // holds cut cords waiting to be swept

  // After every change to cords.
  void changed() { only = cords.size() == 1 ? cords[0] : Cord{nullptr, 0}; }
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
