#include "host/jit/glcontext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdlib>
#include <cstring>

#include "host/jit/dispatch.h"
#include "host/jit/layer.h"

namespace kohost::gl {

namespace {

struct Context {
  bool tried = false;
  bool ok = false;
  std::string why;
  EGLDisplay dpy = EGL_NO_DISPLAY;
  EGLContext ctx = EGL_NO_CONTEXT;
  EGLSurface surf = EGL_NO_SURFACE;
  Fns f{};
  jit::GlCalls calls{};
  GLuint fbo = 0, color = 0, depth = 0;
  int w = 0, h = 0;
};

// Never destroyed: the driver's own teardown at exit releases what the context holds.
Context& cx() {
  static auto* c = new Context;
  return *c;
}

bool has_word(const char* list, const char* word) {
  if (!list) return false;
  const std::size_t n = std::strlen(word);
  for (const char* p = list; (p = std::strstr(p, word)) != nullptr; p += n)
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  return false;
}

std::string egl_error(const char* what) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s failed (EGL error 0x%04x)", what, static_cast<unsigned>(eglGetError()));
  return buf;
}

// Ends the context. The display stays initialised (and the driver loaded) for the next
// context: the driver keeps a little memory across its own teardown.
void teardown(Context& c) {
  if (c.dpy != EGL_NO_DISPLAY) {
    eglMakeCurrent(c.dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (c.surf != EGL_NO_SURFACE) eglDestroySurface(c.dpy, c.surf);
    if (c.ctx != EGL_NO_CONTEXT) eglDestroyContext(c.dpy, c.ctx);
  }
  c.ctx = EGL_NO_CONTEXT;
  c.surf = EGL_NO_SURFACE;
  c.fbo = c.color = c.depth = 0;
  c.w = c.h = 0;
  c.ok = false;
  set_real(nullptr);
}

EGLDisplay open_display() {
  const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (has_word(client, "EGL_MESA_platform_surfaceless")) {
    auto get_platform_display =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_platform_display) return get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  }
  return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

bool load_functions(Context& c) {
  bool all = true;
#define KO_GL_LOAD(name)                                                                      \
  c.f.name = reinterpret_cast<decltype(c.f.name)>(eglGetProcAddress(#name));                  \
  if (!c.f.name) {                                                                            \
    c.why = "the OpenGL function " #name " is missing";                                      \
    all = false;                                                                              \
  }
  KO_HOST_GL_FUNCS(KO_GL_LOAD)
#undef KO_GL_LOAD
  if (!all) return false;
  // The drawing objects' table: the same functions, in the shape the objects call them.
  c.calls.begin = c.f.glBegin;
  c.calls.end = c.f.glEnd;
  c.calls.vertex3f = c.f.glVertex3f;
  c.calls.normal3f = c.f.glNormal3f;
  c.calls.texcoord2f = c.f.glTexCoord2f;
  c.calls.genlists = c.f.glGenLists;
  c.calls.newlist = c.f.glNewList;
  c.calls.endlist = c.f.glEndList;
  c.calls.calllist = c.f.glCallList;
  c.calls.deletelists = c.f.glDeleteLists;
  return true;
}

bool create(Context& c) {
  if (std::getenv("KOHOST_NO_GL")) {
    c.why = "KOHOST_NO_GL is set";
    return false;
  }
  if (c.dpy == EGL_NO_DISPLAY) {
    EGLDisplay dpy = open_display();
    if (dpy == EGL_NO_DISPLAY) {
      c.why = egl_error("eglGetDisplay");
      return false;
    }
    EGLint major = 0, minor = 0;
    if (!eglInitialize(dpy, &major, &minor)) {
      c.why = egl_error("eglInitialize");
      return false;
    }
    c.dpy = dpy;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    c.why = egl_error("eglBindAPI(OpenGL)");
    return false;
  }
  const EGLint pbuffer_config[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                   EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_DEPTH_SIZE, 24,
                                   EGL_NONE};
  const EGLint any_config[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  bool pbuffer = eglChooseConfig(c.dpy, pbuffer_config, &config, 1, &count) && count > 0;
  if (!pbuffer && !(eglChooseConfig(c.dpy, any_config, &config, 1, &count) && count > 0)) {
    c.why = "no EGL configuration renders OpenGL";
    return false;
  }
  const EGLint compat[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
  c.ctx = eglCreateContext(c.dpy, config, EGL_NO_CONTEXT, compat);
  if (c.ctx == EGL_NO_CONTEXT) c.ctx = eglCreateContext(c.dpy, config, EGL_NO_CONTEXT, nullptr);
  if (c.ctx == EGL_NO_CONTEXT) {
    c.why = egl_error("eglCreateContext");
    return false;
  }
  // Drawing goes to a framebuffer object; the small pbuffer only gives the context a home.
  if (pbuffer) {
    const EGLint size[] = {EGL_WIDTH, 16, EGL_HEIGHT, 16, EGL_NONE};
    c.surf = eglCreatePbufferSurface(c.dpy, config, size);
  }
  if (!eglMakeCurrent(c.dpy, c.surf, c.surf, c.ctx)) {
    c.why = egl_error("eglMakeCurrent");
    return false;
  }
  if (!load_functions(c)) return false;
  const auto* version = reinterpret_cast<const char*>(c.f.glGetString(GL_VERSION));
  if (!version) {
    c.why = "the context gives no OpenGL version";
    return false;
  }
  return true;
}

}  // namespace

bool make_current(std::string* why) {
  Context& c = cx();
  if (!c.tried) {
    c.tried = true;
    c.ok = create(c);
    if (!c.ok) {
      const std::string reason = c.why;
      teardown(c);
      c.why = reason;
    } else {
      set_real(&c.calls);
      // Objects attached before the context existed learn of their new destination.
      for (jit::Ob3d* o : std::vector<jit::Ob3d*>(jit::attached()))
        if (jit::still_attached(o)) jit::call_simple(o->owner, jit::lsyms().dest_changed);
    }
  } else if (c.ok && eglGetCurrentContext() != c.ctx) {
    eglMakeCurrent(c.dpy, c.surf, c.surf, c.ctx);
  }
  if (!c.ok && why) *why = c.why;
  return c.ok;
}

bool exists() { return cx().ok; }

const Fns& fns() { return cx().f; }

bool bind_target(int w, int h, std::string* why) {
  Context& c = cx();
  if (!make_current(why)) return false;
  const Fns& f = c.f;
  if (c.fbo && c.w == w && c.h == h) {
    f.glBindFramebuffer(GL_FRAMEBUFFER, c.fbo);
    return true;
  }
  if (c.fbo) {
    f.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    f.glDeleteFramebuffers(1, &c.fbo);
    f.glDeleteRenderbuffers(1, &c.color);
    f.glDeleteRenderbuffers(1, &c.depth);
    c.fbo = c.color = c.depth = 0;
    c.w = c.h = 0;
  }
  GLint limit = 0;
  f.glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &limit);
  if (w > limit || h > limit) {
    if (why) *why = "the image is larger than the context's limit of " + std::to_string(limit);
    return false;
  }
  f.glGenFramebuffers(1, &c.fbo);
  f.glGenRenderbuffers(1, &c.color);
  f.glGenRenderbuffers(1, &c.depth);
  f.glBindRenderbuffer(GL_RENDERBUFFER, c.color);
  f.glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
  f.glBindRenderbuffer(GL_RENDERBUFFER, c.depth);
  f.glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
  f.glBindFramebuffer(GL_FRAMEBUFFER, c.fbo);
  f.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, c.color);
  f.glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, c.depth);
  if (f.glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    if (why) *why = "the framebuffer for " + std::to_string(w) + " x " + std::to_string(h) + " is incomplete";
    f.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    f.glDeleteFramebuffers(1, &c.fbo);
    f.glDeleteRenderbuffers(1, &c.color);
    f.glDeleteRenderbuffers(1, &c.depth);
    c.fbo = c.color = c.depth = 0;
    return false;
  }
  c.w = w;
  c.h = h;
  return true;
}

int target_width() { return cx().w; }
int target_height() { return cx().h; }

bool read_rgb(int w, int h, std::vector<std::uint8_t>& out) {
  Context& c = cx();
  if (!c.ok || !c.fbo || w != c.w || h != c.h) return false;
  out.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3, 0);
  c.f.glFinish();
  c.f.glPixelStorei(GL_PACK_ALIGNMENT, 1);
  c.f.glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, out.data());
  return true;
}

void close() {
  Context& c = cx();
  if (!c.ok) return;
  eglMakeCurrent(c.dpy, c.surf, c.surf, c.ctx);
  for (jit::Ob3d* o : std::vector<jit::Ob3d*>(jit::attached()))
    if (jit::still_attached(o)) jit::call_simple(o->owner, jit::lsyms().dest_closing);
  teardown(c);
  c.tried = false;
  c.why.clear();
}

}  // namespace kohost::gl
