// The host's one offscreen OpenGL context: Mesa through EGL, no display, a
// compatibility-profile context drawing into a framebuffer object. Made on first use and
// kept current; the GL functions the host itself calls come from it.
#pragma once

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kohost::gl {

#define KO_HOST_GL_FUNCS(X)                                                                                        \
  X(glGetString) X(glGetError) X(glGetIntegerv) X(glViewport) X(glClearColor) X(glClearDepth) X(glClear)           \
  X(glEnable) X(glDisable) X(glMatrixMode) X(glLoadMatrixf) X(glLoadIdentity) X(glPushMatrix) X(glPopMatrix)       \
  X(glMultMatrixf) X(glLightfv) X(glLightModelfv) X(glLightModeli) X(glColorMaterial) X(glColor4f) X(glNormal3f)   \
  X(glTexCoord2f) X(glVertex3f) X(glBegin) X(glEnd) X(glLineWidth) X(glPointSize) X(glPolygonMode) X(glBlendFunc) \
  X(glDepthFunc) X(glShadeModel) X(glReadPixels) X(glPixelStorei) X(glFinish) X(glPushAttrib) X(glPopAttrib)      \
  X(glGenLists) X(glNewList) X(glEndList) X(glCallList) X(glDeleteLists) X(glGenFramebuffers)                     \
  X(glBindFramebuffer) X(glDeleteFramebuffers) X(glGenRenderbuffers) X(glBindRenderbuffer)                        \
  X(glDeleteRenderbuffers) X(glRenderbufferStorage) X(glFramebufferRenderbuffer) X(glCheckFramebufferStatus)

struct Fns {
#define KO_GL_MEMBER(name) decltype(&::name) name;
  KO_HOST_GL_FUNCS(KO_GL_MEMBER)
#undef KO_GL_MEMBER
};

// Makes the context current, creating it on first use. False, with the reason, when
// there is none to be had (the reason stays: no later call tries again).
bool make_current(std::string* why);
bool exists();
// The context's functions; only valid after make_current succeeded.
const Fns& fns();
// A framebuffer of w x h (colour and depth) bound for drawing.
bool bind_target(int w, int h, std::string* why);
int target_width();
int target_height();
// The bound framebuffer's pixels, RGB, rows from the bottom up.
bool read_rgb(int w, int h, std::vector<std::uint8_t>& out);
// Sends "dest_closing" to every attached drawing object and ends the context; the next
// use makes a new one and sends "dest_changed".
void close();

}  // namespace kohost::gl
