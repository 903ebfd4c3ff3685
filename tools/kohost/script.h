// The patch-script language of kohost: one command a line, run against a Patch, with
// every emission and console line written out in the order it happens.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/patch.h"
#include "host/text.h"

namespace kohost {

class Script {
 public:
  Script(Patch& patch, std::ostream& out, std::ostream& err);
  ~Script();
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;

  // Runs one line; line_no only labels mistakes. Deferred calls run afterwards unless held.
  void run_line(std::string_view line, int line_no);
  // Runs every line of a text.
  void run_text(std::string_view text);
  // True once any line was a mistake.
  bool failed() const { return failed_; }

 private:
  struct Token {
    std::string text;
    bool quoted;
  };
  bool tokenize(std::string_view line, std::vector<Token>& out, std::string& why);
  bool to_atom(const Token& t, max::Atom& out, std::string& why);
  void fail(int line_no, const std::string& why);
  max::Object* object(const std::string& id, int line_no);
  bool parse_index(const std::string& text, int& out);

  void cmd_new(const std::vector<Token>& t, int line_no);
  void cmd_send(const std::vector<Token>& t, int line_no);
  void cmd_connect(const std::vector<Token>& t, int line_no, bool connect);
  void cmd_free(const std::vector<Token>& t, int line_no);
  void cmd_assist(const std::vector<Token>& t, int line_no);
  void cmd_defer(const std::vector<Token>& t, int line_no);

  static void on_emit(void* ctx, const Emission& e);
  static void on_console(void* ctx, bool is_error, std::string_view text);

  Patch& patch_;
  LineBuffer line_;  // every emission and console line is built here and written at once
  std::ostream& out_;
  std::ostream& err_;
  bool failed_ = false;
  bool hold_ = false;
};

}  // namespace kohost
