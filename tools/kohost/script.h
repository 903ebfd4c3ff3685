// The patch-script language of kohost: one command a line, run against a Patch, with
// every emission and console line written out in the order it happens.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/patch.h"
#include "tools/kohost/lines.h"

namespace kohost {

class Script {
 public:
  Script(Patch& patch, std::ostream& out, std::ostream& err);
  ~Script();
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;

  // Runs one line; line_no only labels mistakes. Deferred calls run afterwards unless held.
  void run_line(std::string_view line, LineNo line_no);
  // Runs every line of a text.
  void run_text(std::string_view text);
  // Runs the lines the reader has ready.
  void run_ready(LineReader& reader);
  // Mistakes read "kohost: FILE:LINE: ..." while a file is named, else "kohost: LINE: ...".
  void name_file(std::string file) { file_ = std::move(file); }
  // True once any line was a mistake.
  bool failed() const { return failed_; }

 private:
  struct Token {
    std::string text;
    bool quoted;
  };
  bool tokenize(std::string_view line, std::vector<Token>& out, std::string& why);
  bool to_atom(const Token& t, max::Atom& out, std::string& why);
  void fail(LineNo line_no, const std::string& why);
  max::Object* object(const std::string& id, LineNo line_no);
  bool parse_index(const std::string& text, int& out);

  void cmd_new(const std::vector<Token>& t, LineNo line_no);
  void cmd_send(const std::vector<Token>& t, LineNo line_no);
  void cmd_connect(const std::vector<Token>& t, LineNo line_no, bool connect);
  void cmd_free(const std::vector<Token>& t, LineNo line_no);
  void cmd_assist(const std::vector<Token>& t, LineNo line_no);
  void cmd_defer(const std::vector<Token>& t, LineNo line_no);

  static void on_emit(void* ctx, const Emission& e);
  static void on_console(void* ctx, bool is_error, std::string_view text);

  Patch& patch_;
  std::ostream& out_;
  std::ostream& err_;
  std::string file_;
  bool failed_ = false;
  bool hold_ = false;
};

}  // namespace kohost
