// The patch-script language of kohost: one command a line, run against a Patch, with
// every emission and console line written out in the order it happens.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/jit/scene.h"
#include "host/patch.h"
#include "host/text.h"
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
  // Prints every OpenGL call of a drawing object as a "gl: ..." line.
  void set_gltrace(bool on);
  // Relative file names in matrix load and render are taken from this folder ("" for the
  // current one).
  void set_base_dir(std::string dir) { base_dir_ = std::move(dir); }

  // A line's tokens: blanks separate them, a '#' that starts one starts a comment, and a
  // token in double quotes is a symbol (escapes \" and \\). False, with the reason, for
  // a quote left open or not ended at a blank.
  struct Token {
    std::string text;
    bool quoted;
  };
  static bool tokenize(std::string_view line, std::vector<Token>& out, std::string& why);
  // A token as an atom: quoted, a symbol; else a long, a float or a symbol by its shape.
  static bool to_atom(const Token& t, max::Atom& out, std::string& why);

 private:
  void fail(LineNo line_no, const std::string& why);
  max::Object* object(const std::string& id, LineNo line_no);
  bool parse_index(const std::string& text, int& out);

  void cmd_new(const std::vector<Token>& t, LineNo line_no);
  void cmd_send(const std::vector<Token>& t, LineNo line_no);
  void cmd_connect(const std::vector<Token>& t, LineNo line_no, bool connect);
  void cmd_free(const std::vector<Token>& t, LineNo line_no);
  void cmd_assist(const std::vector<Token>& t, LineNo line_no);
  void cmd_defer(const std::vector<Token>& t, LineNo line_no);
  // matrix, draw, gltrace, camera, render (script_render.cpp); false for other commands.
  bool run_render_command(const std::string& cmd, const std::vector<Token>& t, LineNo line_no);
  void cmd_matrix(const std::vector<Token>& t, LineNo line_no);
  void cmd_draw(const std::vector<Token>& t, LineNo line_no);
  void cmd_gltrace(const std::vector<Token>& t, LineNo line_no);
  void cmd_camera(const std::vector<Token>& t, LineNo line_no);
  void cmd_render(const std::vector<Token>& t, LineNo line_no);
  std::string path_of(const std::string& name) const;
  // The last eye, point looked at and up vector each object sent (outlets 1, 0 and 2, three
  // numbers each), for camera follow.
  struct SentView {
    double v[3][3] = {};
    bool sent[3] = {};
  };
  void note_view(const Emission& e);
  void follow_view(const SentView& view);
  void forget_views(const std::string& id);
  static void on_gl(void* ctx, std::string_view line);

  static void on_emit(void* ctx, const Emission& e);
  static void on_console(void* ctx, bool is_error, std::string_view text);

  Patch& patch_;
  LineBuffer line_;  // every emission and console line is built here and written at once
  std::ostream& out_;
  std::ostream& err_;
  std::string file_;
  bool failed_ = false;
  bool hold_ = false;
  Camera camera_;
  std::string follow_;  // id of the object the camera follows
  std::map<std::string, SentView, std::less<>> views_;
  std::string base_dir_;
};

}  // namespace kohost
