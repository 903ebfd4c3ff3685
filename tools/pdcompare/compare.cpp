#include "tools/pdcompare/compare.h"

#include <cstdio>
#include <map>

#include "host/text.h"
#include "tools/kohost/script.h"

namespace pdcompare {

namespace {

constexpr const char* kMarker = "ko-step: ";

std::string starting(const std::string& line, const std::string& prefix) {
  return line.compare(0, prefix.size(), prefix) == 0 ? line.substr(prefix.size()) : std::string();
}
bool starts(const std::string& line, const std::string& prefix) { return line.compare(0, prefix.size(), prefix) == 0; }

bool upper(char c) { return c >= 'A' && c <= 'Z'; }
bool lower(char c) { return c >= 'a' && c <= 'z'; }
bool digit(char c) { return c >= '0' && c <= '9'; }
bool hex(char c) { return digit(c) || (c >= 'a' && c <= 'f'); }

// How long a match of each banner piece is at s[i], 0 for none.
std::size_t date_at(const std::string& s, std::size_t i) {  // "Oct 23 2005", "Oct  3 2005"
  if (i + 11 > s.size()) return 0;
  const char* p = s.data() + i;
  const bool ok = upper(p[0]) && lower(p[1]) && lower(p[2]) && p[3] == ' ' && (p[4] == ' ' || digit(p[4])) &&
                  digit(p[5]) && p[6] == ' ' && digit(p[7]) && digit(p[8]) && digit(p[9]) && digit(p[10]);
  return ok ? 11 : 0;
}
std::size_t time_at(const std::string& s, std::size_t i) {  // "04:36:08"
  if (i + 8 > s.size()) return 0;
  const char* p = s.data() + i;
  const bool ok = digit(p[0]) && digit(p[1]) && p[2] == ':' && digit(p[3]) && digit(p[4]) && p[5] == ':' &&
                  digit(p[6]) && digit(p[7]);
  return ok ? 8 : 0;
}
std::size_t hextime_at(const std::string& s, std::size_t i) {  // seven or eight hex digits, then d
  for (std::size_t n : {8, 7}) {
    if (i + n >= s.size() || s[i + n] != 'd') continue;
    bool all = true;
    for (std::size_t k = 0; k < n; ++k) all &= hex(s[i + k]);
    if (all) return n + 1;
  }
  return 0;
}

std::string replace_all(const std::string& s, std::size_t (*at)(const std::string&, std::size_t), const char* with) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    if (const std::size_t n = at(s, i)) {
      out += with;
      i += n;
    } else {
      out += s[i++];
    }
  }
  return out;
}

// Build date, build time and time value of a load banner, as the example tests mask them.
std::string masked(const std::string& line) {
  return replace_all(replace_all(replace_all(line, date_at, "DATE"), time_at, "TIME"), hextime_at, "HEXTIMEd");
}

// An atom as Pd's [print] writes it.
std::string pd_atom(const max::Atom& a) {
  if (a.a_type == max::A_SYM) {
    std::string out;
    for (const char* p = a.a_w.w_sym->s_name; *p; ++p) {
      if (*p == ' ' || *p == ',' || *p == ';' || *p == '\\' || (*p == '$' && p[1] >= '0' && p[1] <= '9')) out += '\\';
      out += *p;
    }
    return out;
  }
  const float f = a.a_type == max::A_LONG ? static_cast<float>(a.a_w.w_long) : a.a_w.w_float;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", static_cast<double>(f));
  return buf;
}

std::string pd_print_of(const std::string& name, const std::string& rest) {
  std::vector<kohost::Script::Token> tokens;
  std::string why;
  if (!kohost::Script::tokenize(rest, tokens, why) || tokens.empty()) return name + ": " + rest;
  const std::string sel = tokens[0].text;
  std::vector<max::Atom> atoms;
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    max::Atom a;
    if (!kohost::Script::to_atom(tokens[i], a, why)) return name + ": " + rest;
    atoms.push_back(a);
  }
  std::string out = name + ":";
  auto join = [&](std::size_t from) {
    for (std::size_t i = from; i < atoms.size(); ++i) out += " " + pd_atom(atoms[i]);
  };
  if (sel == "int" || sel == "float" || sel == "list") {
    // A list whose first atom is a symbol keeps its selector; one symbol alone is shown
    // as a symbol message, nothing at all as bang.
    if (atoms.empty())
      out += " bang";
    else if (atoms[0].a_type == max::A_SYM)
      out += atoms.size() > 1 ? " list" : " symbol";
    join(0);
  } else {
    out += " " + sel;
    join(0);
  }
  return out;
}

struct Lines {
  std::vector<std::string> compared;
  bool refused = false;  // Pd could not create the object (it said "couldn't create")
};

// kohost's lines of a step in the compared form. Emissions of objects in `absent` and, for
// a creation, every emission are left out.
std::vector<std::string> kohost_form(const Step& s, const std::set<std::string>& prints,
                                     const std::set<std::string>& absent) {
  std::vector<std::string> out;
  for (const std::string& line : s.kohost_lines) {
    if (starts(line, "console: ") || starts(line, "error: ")) {
      out.push_back(masked(line));
      continue;
    }
    const auto colon = line.find(": ");
    const std::string name = colon == std::string::npos ? "" : line.substr(0, colon);
    if (prints.count(name)) {
      if (s.kind == Kind::New || absent.count(name.substr(0, name.rfind('.')))) continue;
      out.push_back(pd_print_of(name, line.substr(colon + 2)));
      continue;
    }
    out.push_back(line);
  }
  return out;
}

// Pd prints a NaN with its sign, kohost without: " -nan" is " nan".
std::string unsigned_nan(std::string line) {
  for (std::size_t at; (at = line.find(" -nan")) != std::string::npos;) line.erase(at + 1, 1);
  return line;
}

Lines pd_form(const std::vector<std::string>& raw, const std::set<std::string>& prints,
              const std::set<std::string>& absent) {
  Lines l;
  for (const std::string& line : raw) {
    // Pd's own notes (on a box it could not create, on cords it could not make) are not
    // the objects' output.
    if (starts(line, "verbose(")) {
      if (line.find("couldn't create") != std::string::npos) l.refused = true;
      continue;
    }
    if (starts(line, "error: ")) {
      l.compared.push_back(masked("error: " + kohost::escape_text(starting(line, "error: "))));
      continue;
    }
    const auto colon = line.find(": ");
    const std::string name = colon == std::string::npos ? "" : line.substr(0, colon);
    if (prints.count(name)) {
      if (!absent.count(name.substr(0, name.rfind('.')))) l.compared.push_back(unsigned_nan(line));
      continue;
    }
    l.compared.push_back(masked("console: " + kohost::escape_text(line)));
  }
  return l;
}

void show(std::ostream& report, const std::string& label, const std::vector<std::string>& lines) {
  report << "  " << label << ":\n";
  for (const std::string& l : lines) report << "    " << l << '\n';
  if (lines.empty()) report << "    (nothing)\n";
}

}  // namespace

std::string as_pd_print(const std::string& kohost_line) {
  const auto colon = kohost_line.find(": ");
  if (colon == std::string::npos) return kohost_line;
  return pd_print_of(kohost_line.substr(0, colon), kohost_line.substr(colon + 2));
}

std::string drawing_error(const std::string& cls) {
  return "error: " + cls + ": drawing objects need kohost's drawing layer, which Pd does not have";
}

Outcome compare(const Translation& t, const std::vector<std::string>& pd_output, const std::string& name,
                std::ostream& report) {
  Outcome o;
  // Pd's lines by step; those before the first marker are Pd starting up.
  std::map<std::size_t, std::vector<std::string>> by_step;
  std::size_t step = 0;
  for (const std::string& line : pd_output) {
    if (starts(line, kMarker)) {
      step = std::stoul(line.substr(std::string(kMarker).size()));
      by_step[step];
      continue;
    }
    if (step > 0) by_step[step].push_back(line);
  }
  std::set<std::string> absent;  // ids of objects Pd could not create
  std::map<std::string, std::string> class_of;
  for (std::size_t i = 0; i < t.steps.size(); ++i) {
    const Step& s = t.steps[i];
    const std::string where = name + ":" + std::to_string(s.line_no) + ": " + s.text;
    const auto found = by_step.find(i + 1);
    if (found == by_step.end()) {
      report << where << "\n  Pd never reached this step\n";
      o.ok = false;
      return o;
    }
    if (s.kind == Kind::New) absent.erase(s.ids[0]);
    bool about_absent = false;
    for (const std::string& id : s.ids) about_absent |= absent.count(id) != 0;
    if (about_absent) {
      ++o.skipped;
      continue;
    }
    const Lines pd = pd_form(found->second, t.print_names, absent);
    if (s.kind == Kind::New && pd.refused) {
      // Only a drawing object may fail, and with exactly the library's line.
      int said = 0;
      for (const std::string& l : pd.compared) said += l == drawing_error(s.typed_class);
      if (said != 1) {
        report << where << "\n  Pd could not create it, without the drawing objects' one error line\n";
        show(report, "pd", pd.compared);
        o.ok = false;
      }
      absent.insert(s.ids[0]);
      o.drawing.insert(s.kohost_class);
      ++o.skipped;
      continue;
    }
    const std::vector<std::string> kohost = kohost_form(s, t.print_names, absent);
    ++o.compared;
    if (s.kind == Kind::New) class_of[s.ids[0]] = s.kohost_class;
    if (s.kind == Kind::Send) o.exercised.insert(class_of[s.ids[0]]);
    if (kohost != pd.compared) {
      report << where << '\n';
      show(report, "kohost", kohost);
      show(report, "pd", pd.compared);
      o.ok = false;
    }
  }
  return o;
}

}  // namespace pdcompare
