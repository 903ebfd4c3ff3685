// What kohost printed for each step against what Pd printed for it, line by line, once
// both are in one form: an emission as Pd's [print] shows it (numbers with %g, six
// significant digits), console and error lines escaped as kohost escapes them, and the
// build date, build time and time value of load banners masked. Not compared, by design:
// what an object emits while it is being created (Pd wires nothing to an object before it
// exists), and anything of an object that Pd could not create because it is a drawing
// object; its creation must give the library's one error line for that.
#pragma once

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tools/pdcompare/translate.h"

namespace pdcompare {

struct Outcome {
  bool ok = true;
  int compared = 0;                       // steps compared
  int skipped = 0;                        // steps about drawing objects
  std::set<std::string> exercised;        // classes made in Pd and sent at least one message
  std::set<std::string> drawing;          // classes Pd refused with the drawing error
};

// pd_output: every line Pd printed. Mismatches are written to report, labelled with name.
Outcome compare(const Translation& t, const std::vector<std::string>& pd_output, const std::string& name,
                std::ostream& report);

// kohost's emission line "ID.N: SELECTOR ATOM ..." as [print ID.N] shows that message.
std::string as_pd_print(const std::string& kohost_line);

// The error line of the Pd library for a drawing object.
std::string drawing_error(const std::string& cls);

}  // namespace pdcompare
