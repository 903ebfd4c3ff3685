// Process-wide host state: the plain-C API has no context argument, so classes,
// symbols and the patch that receives console lines live here.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/host.h"

namespace kohost {

struct HostState {
  std::vector<std::unique_ptr<max::Class>> owned_classes;
  std::unordered_map<std::string, max::Class*> classes;  // by name and by alias
  std::string loading_name;                              // class name for the next setup
  max::Class* setup_class = nullptr;                     // the class being bound
  Patch* active = nullptr;                               // console lines and new objects go here
  int depth = 0;                                         // nested message deliveries
};

HostState& state();

// Delivers a message to an inlet of an object, by the dispatch rules.
void deliver(max::Object* to, int inlet, max::Symbol* sel, int argc, const max::Atom* argv);

// Sends a message out of an outlet: observers first, then every cord in the order made.
void emit(max::Outlet* o, max::Symbol* sel, int argc, const max::Atom* argv);

// Console lines, to the active patch.
void console_line(bool is_error, std::string_view text);

// Symbols the dispatcher compares against.
struct CommonSymbols {
  max::Symbol* bang;
  max::Symbol* int_;
  max::Symbol* float_;
  max::Symbol* list;
  max::Symbol* assist;
};
const CommonSymbols& syms();

// Deferred calls of an object are dropped when it goes away.
void drop_deferred(max::Object* x);

}  // namespace kohost
