#include "host/jit/dispatch.h"

#include <string>

#include "host/text.h"

namespace jit {
GlCalls gl_calls;
}

namespace kohost::gl {

namespace {

void none_begin(unsigned int) {}
void none_void() {}
void none_3f(float, float, float) {}
void none_2f(float, float) {}
unsigned int none_genlists(int) { return 0; }
void none_newlist(unsigned int, unsigned int) {}
void none_calllist(unsigned int) {}
void none_deletelists(unsigned int, int) {}

const jit::GlCalls kNone{none_begin, none_void,     none_3f,      none_3f,       none_2f,
                         none_genlists, none_newlist, none_void, none_calllist, none_deletelists};

struct State {
  jit::GlCalls real = kNone;
  bool trace = false;
  TraceSink sink = nullptr;
  void* ctx = nullptr;
};

State& st() {
  static State s;
  return s;
}

void line(const std::string& text) {
  if (st().sink) st().sink(st().ctx, text);
}

std::string mode_name(unsigned int m) {
  static const char* const prims[] = {"GL_POINTS",    "GL_LINES",          "GL_LINE_LOOP",
                                      "GL_LINE_STRIP", "GL_TRIANGLES",      "GL_TRIANGLE_STRIP",
                                      "GL_TRIANGLE_FAN", "GL_QUADS",        "GL_QUAD_STRIP",
                                      "GL_POLYGON"};
  if (m < 10) return prims[m];
  return std::to_string(m);
}

std::string list_mode_name(unsigned int m) {
  if (m == 0x1300) return "GL_COMPILE";
  if (m == 0x1301) return "GL_COMPILE_AND_EXECUTE";
  return std::to_string(m);
}

std::string f(float v) { return format_float(v); }

void t_begin(unsigned int m) {
  line("glBegin " + mode_name(m));
  st().real.begin(m);
}
void t_end() {
  line("glEnd");
  st().real.end();
}
void t_vertex(float x, float y, float z) {
  line("glVertex3f " + f(x) + " " + f(y) + " " + f(z));
  st().real.vertex3f(x, y, z);
}
void t_normal(float x, float y, float z) {
  line("glNormal3f " + f(x) + " " + f(y) + " " + f(z));
  st().real.normal3f(x, y, z);
}
void t_texcoord(float s, float t) {
  line("glTexCoord2f " + f(s) + " " + f(t));
  st().real.texcoord2f(s, t);
}
unsigned int t_genlists(int n) {
  line("glGenLists " + std::to_string(n));
  return st().real.genlists(n);
}
void t_newlist(unsigned int id, unsigned int mode) {
  line("glNewList " + std::to_string(id) + " " + list_mode_name(mode));
  st().real.newlist(id, mode);
}
void t_endlist() {
  line("glEndList");
  st().real.endlist();
}
void t_calllist(unsigned int id) {
  line("glCallList " + std::to_string(id));
  st().real.calllist(id);
}
void t_deletelists(unsigned int id, int n) {
  line("glDeleteLists " + std::to_string(id) + " " + std::to_string(n));
  st().real.deletelists(id, n);
}

const jit::GlCalls kTrace{t_begin,   t_end,     t_vertex,  t_normal,   t_texcoord,
                          t_genlists, t_newlist, t_endlist, t_calllist, t_deletelists};

void install() { jit::gl_calls = st().trace ? kTrace : st().real; }

// The table is filled before any object can call through it.
struct Init {
  Init() { install(); }
} init;

}  // namespace

void set_real(const jit::GlCalls* real) {
  st().real = real ? *real : kNone;
  install();
}

void set_trace(bool on) {
  st().trace = on;
  install();
}

bool tracing() { return st().trace; }

void set_trace_sink(TraceSink fn, void* ctx) {
  st().sink = fn;
  st().ctx = ctx;
}

void clear_trace_sink(void* ctx) {
  if (st().ctx == ctx) {
    st().sink = nullptr;
    st().ctx = nullptr;
    set_trace(false);
  }
}

}  // namespace kohost::gl
