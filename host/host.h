// The host's inner records: classes with their method tables, instances with their
// outlets and inlets, and the process-wide state behind the plain-C API.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "frame/maxapi.h"

namespace kohost {

class Patch;

inline constexpr int kMaxTypedArgs = 7;

union TypedArg {
  std::int32_t l;
  double d;
};

// Calls a handler with the exact signature its codes declare.
using Caller = void (*)(max::method fn, max::Object* x, const TypedArg* args);
using NewCaller = max::Object* (*)(max::method fn, const TypedArg* args);

struct Codes {
  short code[kMaxTypedArgs + 1] = {};
  int count = 0;
  bool gimme() const { return count > 0 && code[0] == max::A_GIMME; }
  bool cant() const { return count > 0 && code[0] == max::A_CANT; }
};

struct Method {
  max::method fn = nullptr;
  Codes codes;
  Caller caller = nullptr;  // typed handlers only
};

// Picks the caller for a list of typed codes; null when a code is not a typed one.
Caller typed_caller(const Codes& codes);
NewCaller typed_new_caller(const Codes& codes);
bool is_float_code(short c);
bool is_optional_code(short c);

// Converts atoms to typed arguments by the codes. False: a required one is missing or
// an atom is not a number.
bool convert_typed(const Codes& codes, int argc, const max::Atom* argv, TypedArg* out);

}  // namespace kohost

namespace max {

struct Class {
  std::string name;
  method new_fn = nullptr;
  method free_fn = nullptr;
  short size = 0;
  kohost::Codes new_codes;
  kohost::NewCaller new_caller = nullptr;
  std::unordered_map<const Symbol*, kohost::Method> methods;
  std::vector<kohost::Method> inlet_ints;  // addinx handlers, by inlet number
};

struct Cord {
  Object* to;
  int inlet;
};

struct Outlet {
  Object* owner;
  int index;  // from the left; outlets made later push the earlier ones right
  std::vector<Cord> cords;
};

struct Instance {
  kohost::Patch* patch = nullptr;
  std::vector<Outlet*> outlets;  // leftmost first
  int inlets = 1;
  std::vector<Outlet*> incoming;  // outlets with a cord into this object
};

}  // namespace max
