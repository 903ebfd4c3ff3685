#include "tools/pdcompare/translate.h"

#include <cmath>
#include <map>
#include <sstream>

#include "host/host.h"
#include "host/patch.h"
#include "host/text.h"
#include "pd/numbers.h"
#include "tools/kohost/script.h"

namespace pdcompare {

namespace {

using Token = kohost::Script::Token;

bool parse_index(const std::string& text, int& out) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  out = std::stoi(text);
  return true;
}

// A symbol as Pd reads it from a patch file: blanks and Pd's separators escaped, and a
// name that would read as a number marked as a symbol.
bool pd_symbol_text(const std::string& name, std::string& out, std::string& why) {
  if (name.empty() || name.find('$') != std::string::npos) {
    why = "Pd cannot send the symbol \"" + name + "\" from a message box";
    return false;
  }
  out.clear();
  max::Atom probe;
  if (kohost::read_number(name, probe) != kohost::NumberToken::NotNumber && name != "nan" && name != "inf" &&
      name != "-inf")
    out += '\\';
  for (char c : name) {
    if (c == ' ' || c == ',' || c == ';' || c == '\\') out += '\\';
    out += c;
  }
  return true;
}

// One argument token, for kohost and for Pd, as the Pd border delivers it.
bool both_texts(const Token& t, std::string& kohost_text, std::string& pd_text, std::string& why) {
  max::Atom a;
  if (!kohost::Script::to_atom(t, a, why)) return false;
  if (a.a_type == max::A_SYM) {
    kohost_text = kohost::format_atom(a);
    return pd_symbol_text(a.a_w.w_sym->s_name, pd_text, why);
  }
  const float f = a.a_type == max::A_LONG ? static_cast<float>(a.a_w.w_long) : a.a_w.w_float;
  std::int32_t n;
  if (kopd::whole_long(f, n)) {
    kohost_text = pd_text = std::to_string(n);
  } else if (std::isnan(f)) {
    why = "Pd cannot send nan from a message box";
    return false;
  } else if (std::isinf(f)) {
    // Pd reads "inf" as a symbol; a number past the float range reads as infinity.
    kohost_text = f > 0 ? "inf" : "-inf";
    pd_text = f > 0 ? "1e+39" : "-1e+39";
  } else {
    kohost_text = pd_text = kohost::format_float(f);
  }
  return true;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

struct PdObject {
  int number;  // U in ko-in-U-N
  int index;   // in the subpatch
  int inlets;
  int outlets;
};

struct Cord {
  int from, outlet, to, inlet;
  bool operator==(const Cord&) const = default;
};

class Translator {
 public:
  explicit Translator(const std::string& plugin_dir) : patch_({plugin_dir}), script_(patch_, out_, err_) {}

  Translation run(const std::string& text) {
    kohost::LineReader reader;
    reader.feed(text);
    reader.finish();
    std::string line;
    while (reader.next(line)) one_line(line, reader.line_no());
    return std::move(t_);
  }

 private:
  void problem(kohost::LineNo n, const std::string& why) { t_.problems.push_back(std::to_string(n) + ": " + why); }

  void one_line(const std::string& line, kohost::LineNo n) {
    std::vector<Token> tokens;
    std::string why;
    if (!kohost::Script::tokenize(line, tokens, why)) return problem(n, why);
    if (tokens.empty()) return;
    const std::string cmd = tokens[0].quoted ? "" : tokens[0].text;
    Step s;
    s.line_no = n;
    s.text = line;
    std::string kohost_line;
    bool ok = false;
    if (cmd == "new")
      ok = new_step(tokens, s, kohost_line, why);
    else if (cmd == "send")
      ok = send_step(tokens, s, kohost_line, why);
    else if (cmd == "connect" || cmd == "disconnect")
      ok = cord_step(tokens, cmd == "connect", s, kohost_line, why);
    else if (cmd == "free")
      ok = free_step(tokens, s, kohost_line, why);
    else
      return void(++t_.not_run);
    if (!ok) return problem(n, why);
    out_.str("");
    err_.str("");
    script_.run_line(kohost_line, n);
    if (!err_.str().empty()) return problem(n, "kohost: " + err_.str());
    s.kohost_lines = split_lines(out_.str());
    if (s.kind == Kind::New && !made(s)) return;
    t_.steps.push_back(std::move(s));
  }

  bool args(const std::vector<Token>& tokens, std::size_t from, std::string& kohost_line, std::string& pd_message,
            std::string& why) {
    for (std::size_t i = from; i < tokens.size(); ++i) {
      std::string k, p;
      if (!both_texts(tokens[i], k, p, why)) return false;
      kohost_line += " " + k;
      pd_message += " " + p;
    }
    return true;
  }

  bool new_step(const std::vector<Token>& tokens, Step& s, std::string& kohost_line, std::string& why) {
    if (tokens.size() < 3) return why = "usage: new ID CLASS [ATOM ...]", false;
    s.kind = Kind::New;
    s.ids = {tokens[1].text};
    s.typed_class = tokens[2].text;
    kohost_line = "new " + tokens[1].text + " " + tokens[2].text;
    std::string obj = "pd-ko-work obj 10 " + std::to_string(10 + 30 * next_index_) + " " + tokens[2].text;
    if (!args(tokens, 3, kohost_line, obj, why)) return false;
    s.pd_messages.push_back(obj);
    return true;
  }

  // The object kohost made: the same one in Pd, with a receiver per inlet and a [print]
  // per outlet.
  bool made(Step& s) {
    const std::string& id = s.ids[0];
    max::Object* x = patch_.find(id);
    if (!x) {
      problem(s.line_no, "kohost made no object \"" + id + "\"");
      return false;
    }
    s.kohost_class = x->o_class->name;
    PdObject o{next_number_++, next_index_++, patch_.inlets(x), patch_.outlets(x)};
    for (int i = 0; i < o.inlets; ++i) {
      const int r = next_index_++;
      s.pd_messages.push_back(work("obj 200 " + std::to_string(10 + 30 * r) + " r " + receiver(o.number, i)));
      s.pd_messages.push_back(work("connect " + std::to_string(r) + " 0 " + std::to_string(o.index) + " " +
                                   std::to_string(i)));
      internal_.push_back({r, 0, o.index, i});
    }
    for (int j = 0; j < o.outlets; ++j) {
      const int p = next_index_++;
      const std::string name = id + "." + std::to_string(j);
      t_.print_names.insert(name);
      s.pd_messages.push_back(work("obj 400 " + std::to_string(10 + 30 * p) + " print " + name));
      s.pd_messages.push_back(work("connect " + std::to_string(o.index) + " " + std::to_string(j) + " " +
                                   std::to_string(p) + " 0"));
      internal_.push_back({o.index, j, p, 0});
    }
    objects_[id] = o;
    return true;
  }

  bool send_step(const std::vector<Token>& tokens, Step& s, std::string& kohost_line, std::string& why) {
    if (tokens.size() < 3) return why = "usage: send ID[:N] ATOM ...", false;
    std::string id = tokens[1].text;
    int inlet = 0;
    if (auto colon = id.find(':'); colon != std::string::npos) {
      if (!parse_index(id.substr(colon + 1), inlet)) return why = "bad inlet in \"" + id + "\"", false;
      id.resize(colon);
    }
    const auto it = objects_.find(id);
    if (it == objects_.end()) return why = "no object \"" + id + "\"", false;
    s.kind = Kind::Send;
    s.ids = {id};
    kohost_line = "send " + tokens[1].text;
    std::string message = receiver(it->second.number, inlet);
    if (!args(tokens, 2, kohost_line, message, why)) return false;
    s.pd_messages.push_back(message);
    return true;
  }

  bool cord_step(const std::vector<Token>& tokens, bool connect, Step& s, std::string& kohost_line,
                 std::string& why) {
    int outlet = 0, inlet = 0;
    if (tokens.size() != 5 || !parse_index(tokens[2].text, outlet) || !parse_index(tokens[4].text, inlet))
      return why = "usage: " + tokens[0].text + " ID OUTLET ID INLET", false;
    const auto from = objects_.find(tokens[1].text);
    const auto to = objects_.find(tokens[3].text);
    if (from == objects_.end() || to == objects_.end()) return why = "no such object", false;
    s.kind = connect ? Kind::Connect : Kind::Disconnect;
    s.ids = {tokens[1].text, tokens[3].text};
    kohost_line = tokens[0].text + " " + tokens[1].text + " " + tokens[2].text + " " + tokens[3].text + " " +
                  tokens[4].text;
    const Cord c{from->second.index, outlet, to->second.index, inlet};
    s.pd_messages.push_back(work(tokens[0].text + " " + cord_text(c)));
    if (connect) {
      cords_.push_back(c);
    } else {
      for (auto i = cords_.begin(); i != cords_.end(); ++i)
        if (*i == c) {
          cords_.erase(i);
          break;
        }
    }
    return true;
  }

  // Pd has no message that deletes one object: the object is cut off from every cord, which
  // leaves it as unreachable as kohost leaves a freed one.
  bool free_step(const std::vector<Token>& tokens, Step& s, std::string& kohost_line, std::string& why) {
    if (tokens.size() != 2) return why = "usage: free ID", false;
    const auto it = objects_.find(tokens[1].text);
    if (it == objects_.end()) return why = "no object \"" + tokens[1].text + "\"", false;
    s.kind = Kind::Free;
    s.ids = {tokens[1].text};
    kohost_line = "free " + tokens[1].text;
    const int index = it->second.index;
    for (auto* list : {&cords_, &internal_}) {
      for (auto i = list->begin(); i != list->end();) {
        if (i->from == index || i->to == index) {
          s.pd_messages.push_back(work("disconnect " + cord_text(*i)));
          i = list->erase(i);
        } else {
          ++i;
        }
      }
    }
    objects_.erase(it);
    return true;
  }

  static std::string work(const std::string& message) { return "pd-ko-work " + message; }
  static std::string receiver(int number, int inlet) {
    return "ko-in-" + std::to_string(number) + "-" + std::to_string(inlet);
  }
  static std::string cord_text(const Cord& c) {
    return std::to_string(c.from) + " " + std::to_string(c.outlet) + " " + std::to_string(c.to) + " " +
           std::to_string(c.inlet);
  }

  kohost::Patch patch_;
  std::ostringstream out_, err_;
  kohost::Script script_;
  Translation t_;
  std::map<std::string, PdObject> objects_;  // live objects by id
  std::vector<Cord> cords_;                  // the script's cords
  std::vector<Cord> internal_;               // receivers and prints
  int next_index_ = 0;
  int next_number_ = 0;
};

}  // namespace

Translation translate(const std::string& script_text, const std::string& plugin_dir) {
  return Translator(plugin_dir).run(script_text);
}

std::string pd_patch(const Translation& t) {
  const std::size_t n = t.steps.size();
  std::ostringstream p;
  p << "#N canvas 0 0 800 600 10;\n";
  p << "#X obj 10 10 loadbang;\n";  // 0
  p << "#X obj 10 40 t";            // 1: fires right to left, so step 1 on the rightmost outlet
  for (std::size_t i = 0; i < n; ++i) p << " b";
  p << ";\n";
  p << "#X obj 300 10 r ko-step;\n";      // 2
  p << "#X obj 300 40 print ko-step;\n";  // 3
  p << "#N canvas 0 0 800 600 ko-work 0;\n#X restore 500 10 pd ko-work;\n";  // 4
  for (std::size_t i = 0; i < n; ++i) {
    p << "#X msg 10 " << 70 + 20 * i << " \\; ko-step " << i + 1;
    for (const std::string& m : t.steps[i].pd_messages) p << " \\; " << m;
    p << ";\n";
  }
  p << "#X connect 0 0 1 0;\n#X connect 2 0 3 0;\n";
  for (std::size_t i = 0; i < n; ++i) p << "#X connect 1 " << n - 1 - i << " " << 5 + i << " 0;\n";
  return p.str();
}

}  // namespace pdcompare
