#include "tools/kohost/script.h"

#include <cstdlib>

#include "host/text.h"

namespace kohost {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool valid_id(const std::string& id) {
  if (id.empty()) return false;
  for (char c : id) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

Script::Script(Patch& patch, std::ostream& out, std::ostream& err) : patch_(patch), out_(out), err_(err) {
  patch_.on_emit(&Script::on_emit, this);
  patch_.on_console(&Script::on_console, this);
}

Script::~Script() {
  gl_trace_off_for(this);
  patch_.on_emit(nullptr, nullptr);
  patch_.on_console(nullptr, nullptr);
}

void Script::on_emit(void* ctx, const Emission& e) {
  auto* s = static_cast<Script*>(ctx);
  const std::string& id = s->patch_.id_of(e.from);
  const std::string_view line = s->line_.emission(id.empty() ? std::string_view("?") : std::string_view(id), e);
  s->out_.rdbuf()->sputn(line.data(), static_cast<std::streamsize>(line.size()));
  s->note_view(e);
}

void Script::on_console(void* ctx, bool is_error, std::string_view text) {
  auto* s = static_cast<Script*>(ctx);
  const std::string_view line = s->line_.console(is_error, text);
  s->out_.rdbuf()->sputn(line.data(), static_cast<std::streamsize>(line.size()));
}

void Script::fail(LineNo line_no, const std::string& why) {
  failed_ = true;
  out_.flush();
  // Escaped: a script's bytes must not reach a terminal as control sequences.
  const std::string where = file_.empty() ? std::to_string(line_no) : file_ + ":" + std::to_string(line_no);
  err_ << "kohost: " << escape_text(where) << ": " << escape_text(why) << '\n';
}

bool Script::tokenize(std::string_view line, std::vector<Token>& out, std::string& why) {
  std::size_t i = 0;
  while (i < line.size()) {
    if (is_blank(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == '#') break;
    if (line[i] == '"') {
      std::string text;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char c = line[i++];
        if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
          text += line[i++];
        } else if (c == '"') {
          closed = true;
          break;
        } else {
          text += c;
        }
      }
      if (!closed) {
        why = "unterminated quote";
        return false;
      }
      if (i < line.size() && !is_blank(line[i])) {
        why = "a quoted token must end at a blank";
        return false;
      }
      out.push_back({text, true});
      continue;
    }
    const std::size_t start = i;
    while (i < line.size() && !is_blank(line[i])) ++i;
    out.push_back({std::string(line.substr(start, i - start)), false});
  }
  return true;
}

bool Script::to_atom(const Token& t, max::Atom& out, std::string& why) {
  if (t.quoted) {
    out = sym_atom(t.text.c_str());
    return true;
  }
  switch (read_number(t.text, out)) {
    case NumberToken::Long:
    case NumberToken::Float:
      return true;
    case NumberToken::OutOfRange:
      why = "number out of range: " + t.text;
      return false;
    case NumberToken::NotNumber:
      out = sym_atom(t.text.c_str());
      return true;
  }
  return false;
}

max::Object* Script::object(const std::string& id, LineNo line_no) {
  max::Object* x = patch_.find(id);
  if (!x) fail(line_no, "no object \"" + id + "\"");
  return x;
}

bool Script::parse_index(const std::string& text, int& out) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  out = std::atoi(text.c_str());
  return true;
}

void Script::run_text(std::string_view text) {
  LineReader reader;
  reader.feed(text);
  reader.finish();
  run_ready(reader);
}

void Script::run_ready(LineReader& reader) {
  std::string line;
  while (reader.next(line)) {
    if (reader.too_long())
      fail(reader.line_no(), "line longer than " + std::to_string(LineReader::kMaxLine) + " bytes");
    else
      run_line(line, reader.line_no());
  }
}

void Script::run_line(std::string_view line, LineNo line_no) {
  // A NUL would cut a name short where it meets C strings (symbols, plug-in paths).
  if (const auto nul = line.find('\0'); nul != std::string_view::npos)
    return fail(line_no, "NUL byte at column " + std::to_string(nul + 1));
  std::vector<Token> t;
  std::string why;
  if (!tokenize(line, t, why)) {
    fail(line_no, why);
    return;
  }
  if (t.empty()) return;
  const std::string& cmd = t[0].quoted ? std::string() : t[0].text;
  if (cmd == "new") {
    cmd_new(t, line_no);
  } else if (cmd == "send") {
    cmd_send(t, line_no);
  } else if (cmd == "connect" || cmd == "disconnect") {
    cmd_connect(t, line_no, cmd == "connect");
  } else if (cmd == "free") {
    cmd_free(t, line_no);
  } else if (cmd == "assist") {
    cmd_assist(t, line_no);
  } else if (cmd == "defer") {
    cmd_defer(t, line_no);
  } else if (run_render_command(cmd, t, line_no)) {
  } else if (cmd == "echo") {
    std::string_view rest = line.substr(line.find("echo") + 4);
    while (!rest.empty() && is_blank(rest.front())) rest.remove_prefix(1);
    while (!rest.empty() && is_blank(rest.back())) rest.remove_suffix(1);
    out_ << rest << '\n';
  } else {
    fail(line_no, "unknown command \"" + t[0].text + "\"");
    return;
  }
  if (!hold_) patch_.run_deferred();
}

void Script::cmd_new(const std::vector<Token>& t, LineNo line_no) {
  if (t.size() < 3) return fail(line_no, "usage: new ID CLASS [ATOM ...]");
  if (t[1].quoted || !valid_id(t[1].text)) return fail(line_no, "bad id \"" + t[1].text + "\"");
  if (patch_.find(t[1].text)) return fail(line_no, "\"" + t[1].text + "\" exists already");
  std::vector<max::Atom> args;
  std::string why;
  for (std::size_t i = 3; i < t.size(); ++i) {
    max::Atom a;
    if (!to_atom(t[i], a, why)) return fail(line_no, why);
    args.push_back(a);
  }
  if (!patch_.create(t[1].text, t[2].text, args, &why)) fail(line_no, why);
}

void Script::cmd_send(const std::vector<Token>& t, LineNo line_no) {
  if (t.size() < 3) return fail(line_no, "usage: send ID[:N] ATOM ...");
  std::string id = t[1].text;
  int inlet = 0;
  if (auto colon = id.find(':'); colon != std::string::npos) {
    if (!parse_index(id.substr(colon + 1), inlet)) return fail(line_no, "bad inlet in \"" + id + "\"");
    id.resize(colon);
  }
  max::Object* x = object(id, line_no);
  if (!x) return;
  if (inlet >= patch_.inlets(x)) return fail(line_no, "\"" + id + "\" has no inlet " + std::to_string(inlet));
  std::vector<max::Atom> atoms;
  std::string why;
  for (std::size_t i = 2; i < t.size(); ++i) {
    max::Atom a;
    if (!to_atom(t[i], a, why)) return fail(line_no, why);
    atoms.push_back(a);
  }
  patch_.send_box(x, inlet, atoms);
}

void Script::cmd_connect(const std::vector<Token>& t, LineNo line_no, bool connect) {
  int outlet = 0, inlet = 0;
  if (t.size() != 5 || !parse_index(t[2].text, outlet) || !parse_index(t[4].text, inlet))
    return fail(line_no, std::string("usage: ") + t[0].text + " ID OUTLET ID INLET");
  max::Object* from = object(t[1].text, line_no);
  max::Object* to = from ? object(t[3].text, line_no) : nullptr;
  if (!from || !to) return;
  const bool ok = connect ? patch_.connect(from, outlet, to, inlet) : patch_.disconnect(from, outlet, to, inlet);
  if (!ok)
    fail(line_no, std::string(connect ? "cannot connect " : "no cord from ") + t[1].text + " " + t[2].text + " to " +
                      t[3].text + " " + t[4].text);
}

void Script::cmd_free(const std::vector<Token>& t, LineNo line_no) {
  if (t.size() != 2) return fail(line_no, "usage: free ID");
  if (max::Object* x = object(t[1].text, line_no)) {
    patch_.free(x);
    forget_views(t[1].text);
  }
}

void Script::cmd_assist(const std::vector<Token>& t, LineNo line_no) {
  int index = 0;
  if (t.size() != 4 || (t[2].text != "inlet" && t[2].text != "outlet") || !parse_index(t[3].text, index))
    return fail(line_no, "usage: assist ID inlet|outlet N");
  max::Object* x = object(t[1].text, line_no);
  if (!x) return;
  const int kind = t[2].text == "inlet" ? max::ASSIST_INLET : max::ASSIST_OUTLET;
  const std::string text = patch_.assist(x, kind, index);
  out_ << "assist " << t[1].text << ' ' << t[2].text << ' ' << index << ':' << (text.empty() ? "" : " ")
       << escape_text(text) << '\n';
}

void Script::cmd_defer(const std::vector<Token>& t, LineNo line_no) {
  if (t.size() != 2 || (t[1].text != "hold" && t[1].text != "run")) return fail(line_no, "usage: defer hold|run");
  hold_ = t[1].text == "hold";
}

}  // namespace kohost
