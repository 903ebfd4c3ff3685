// A patch script as a Pure Data patch. Each command that talks to objects (new, send,
// connect, disconnect, free) becomes one step: kohost runs it, and the Pd patch does the
// same in one message box of a chain that [loadbang] starts. A step's box first sends its
// number to [print ko-step], so Pd's output splits step by step. Objects are made and
// wired in a subpatch while the chain runs, in the order the script makes them: each
// outlet into a [print ID.N], each inlet fed by a [r ko-in-U-N] (U numbers the objects).
//
// Pd carries only floats, so the script's numbers go to both hosts as Pd delivers them: a
// whole number within the 32-bit range as a long, any other as a float. Commands without
// a Pd counterpart are not run on either side: assist (Pd 0.53 has no assist texts), echo,
// and the drawing layer's (matrix, draw, gltrace, camera, render, defer).
#pragma once

#include <set>
#include <string>
#include <vector>

#include "tools/kohost/lines.h"

namespace pdcompare {

enum class Kind { New, Send, Connect, Disconnect, Free };

struct Step {
  kohost::LineNo line_no = 0;
  std::string text;                       // the script line as written
  Kind kind = Kind::Send;
  std::vector<std::string> ids;           // the objects it involves
  std::string typed_class;                // New: the class name as written
  std::string kohost_class;               // New: the class kohost made
  std::vector<std::string> kohost_lines;  // what kohost printed for it
  std::vector<std::string> pd_messages;   // the box's messages, without the step marker
};

struct Translation {
  std::vector<Step> steps;
  std::set<std::string> print_names;   // ID.N of every [print] made
  int not_run = 0;                     // command lines without a Pd counterpart
  std::vector<std::string> problems;   // lines that cannot be translated, kohost mistakes
};

// Runs the script's object commands in kohost (plug-ins from plugin_dir) and translates them.
Translation translate(const std::string& script_text, const std::string& plugin_dir);

// The Pd patch of the steps.
std::string pd_patch(const Translation& t);

}  // namespace pdcompare
