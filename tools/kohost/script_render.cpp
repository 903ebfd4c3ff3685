// The drawing commands of the script language: matrix, draw, gltrace, camera, render.
#include <cmath>

#include "host/text.h"
#include "tools/kohost/script.h"

namespace kohost {

namespace {

// A token that is a number (long or float).
bool number(const std::string& text, double& out) {
  max::Atom a;
  const NumberToken k = read_number(text, a);
  if (k == NumberToken::Long) {
    out = a.a_w.w_long;
    return true;
  }
  if (k == NumberToken::Float) {
    out = a.a_w.w_float;
    return true;
  }
  return false;
}

// A token that is a decimal integer, in 64 bits.
bool integer(const std::string& text, std::int64_t& out) {
  max::Atom a;
  if (read_number(text, a) != NumberToken::Long) return false;
  out = a.a_w.w_long;
  return true;
}

}  // namespace

bool Script::run_render_command(const std::string& cmd, const std::vector<Token>& t, LineNo line_no) {
  if (cmd == "matrix")
    cmd_matrix(t, line_no);
  else if (cmd == "draw")
    cmd_draw(t, line_no);
  else if (cmd == "gltrace")
    cmd_gltrace(t, line_no);
  else if (cmd == "camera")
    cmd_camera(t, line_no);
  else if (cmd == "render")
    cmd_render(t, line_no);
  else
    return false;
  return true;
}

std::string Script::path_of(const std::string& name) const {
  if (base_dir_.empty() || name.empty() || name[0] == '/') return name;
  return base_dir_ + "/" + name;
}

void Script::on_gl(void* ctx, std::string_view line) {
  static_cast<Script*>(ctx)->out_ << "gl: " << line << '\n';
}

void Script::set_gltrace(bool on) {
  if (on)
    gl_trace(true, &Script::on_gl, this);
  else
    gl_trace(false, nullptr, nullptr);
}

void Script::note_view(const Emission& e) {
  if (e.outlet < 0 || e.outlet > 2 || e.argc != 3) return;
  double v[3];
  for (int i = 0; i < 3; ++i) {
    const max::Atom& a = e.argv[i];
    if (a.a_type == max::A_LONG)
      v[i] = a.a_w.w_long;
    else if (a.a_type == max::A_FLOAT)
      v[i] = a.a_w.w_float;
    else
      return;
  }
  const std::string& id = patch_.id_of(e.from);
  if (id.empty()) return;
  SentView& view = views_[id];
  for (int i = 0; i < 3; ++i) view.v[e.outlet][i] = v[i];
  view.sent[e.outlet] = true;
  if (id == follow_) follow_view(view);
}

// Outlet 0 the point looked at, 1 the eye, 2 the up vector.
void Script::follow_view(const SentView& view) {
  double* const dst[3] = {camera_.lookat, camera_.eye, camera_.up};
  for (int o = 0; o < 3; ++o)
    if (view.sent[o])
      for (int i = 0; i < 3; ++i) dst[o][i] = view.v[o][i];
}

void Script::forget_views(const std::string& id) {
  views_.erase(id);
  // The camera keeps the last view of an object that goes away, and follows nothing.
  if (id == follow_) follow_.clear();
}

void Script::cmd_matrix(const std::vector<Token>& t, LineNo line_no) {
  const char* usage =
      "usage: matrix NAME TYPE PLANES DIM0 [DIM1 ...] | matrix NAME fill V ... | matrix NAME set I ... = V ... | "
      "matrix NAME load FILE";
  if (t.size() < 4) return fail(line_no, usage);
  const std::string& name = t[1].text;
  const std::string& what = t[2].text;
  std::string why;
  bool ok = true;
  if (what == "load") {
    if (t.size() != 4) return fail(line_no, usage);
    ok = matrix_load(name, path_of(t[3].text), &why);
  } else if (what == "fill" || what == "set") {
    std::vector<std::int64_t> index;
    std::size_t i = 3;
    if (what == "set") {
      for (; i < t.size() && t[i].text != "="; ++i) {
        std::int64_t v;
        if (!integer(t[i].text, v)) return fail(line_no, usage);
        index.push_back(v);
      }
      if (i == t.size()) return fail(line_no, usage);
      ++i;
    }
    std::vector<double> values;
    for (; i < t.size(); ++i) {
      double v;
      if (!number(t[i].text, v)) return fail(line_no, usage);
      values.push_back(v);
    }
    if (values.empty()) return fail(line_no, usage);
    ok = what == "fill" ? matrix_fill(name, values, &why) : matrix_set(name, index, values, &why);
  } else {
    if (t.size() < 5) return fail(line_no, usage);
    std::int64_t planes;
    std::vector<std::int64_t> dims;
    if (!integer(t[3].text, planes)) return fail(line_no, usage);
    for (std::size_t i = 4; i < t.size(); ++i) {
      std::int64_t v;
      if (!integer(t[i].text, v)) return fail(line_no, usage);
      dims.push_back(v);
    }
    ok = matrix_create(name, what, planes, dims, &why);
  }
  if (!ok) patch_.notify_console(true, "matrix " + name + ": " + why);
}

void Script::cmd_draw(const std::vector<Token>& t, LineNo line_no) {
  if (t.size() != 2) return fail(line_no, "usage: draw ID");
  max::Object* x = object(t[1].text, line_no);
  if (!x) return;
  std::string why;
  if (!draw_object(patch_, x, camera_, &why)) patch_.notify_console(true, "draw: " + why);
}

void Script::cmd_gltrace(const std::vector<Token>& t, LineNo line_no) {
  if (t.size() != 2 || (t[1].text != "on" && t[1].text != "off")) return fail(line_no, "usage: gltrace on|off");
  set_gltrace(t[1].text == "on");
}

void Script::cmd_camera(const std::vector<Token>& t, LineNo line_no) {
  const char* usage = "usage: camera eye|lookat|up X Y Z | camera follow ID";
  if (t.size() == 3 && t[1].text == "follow") {
    if (!object(t[2].text, line_no)) return;
    follow_ = t[2].text;
    // What it sent before it was followed counts too.
    if (auto it = views_.find(follow_); it != views_.end()) follow_view(it->second);
    return;
  }
  if (t.size() != 5 || (t[1].text != "eye" && t[1].text != "lookat" && t[1].text != "up")) return fail(line_no, usage);
  double v[3];
  for (int i = 0; i < 3; ++i)
    if (!number(t[2 + i].text, v[i]) || !std::isfinite(v[i])) return fail(line_no, usage);
  double* dst = t[1].text == "eye" ? camera_.eye : t[1].text == "lookat" ? camera_.lookat : camera_.up;
  for (int i = 0; i < 3; ++i) dst[i] = v[i];
  // A camera placed by hand no longer follows an object.
  follow_.clear();
}

void Script::cmd_render(const std::vector<Token>& t, LineNo line_no) {
  const char* usage = "usage: render FILE.png [W H]";
  if (t.size() != 2 && t.size() != 4) return fail(line_no, usage);
  std::int64_t w = kDefaultImageWidth, h = kDefaultImageHeight;
  if (t.size() == 4 && (!integer(t[2].text, w) || !integer(t[3].text, h))) return fail(line_no, usage);
  std::string why;
  if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide) {
    patch_.notify_console(true, "render: the image must be 1 to " + std::to_string(kMaxImageSide) + " pixels a side");
    return;
  }
  if (!render_png(patch_, camera_, static_cast<int>(w), static_cast<int>(h), path_of(t[1].text), &why))
    patch_.notify_console(true, "render: " + why);
}

}  // namespace kohost
