// The OpenGL calls a drawing object makes. They keep their OpenGL names but go through a
// table the host fills: the functions of its current context, the same calls printed for
// the GL trace, or nothing when there is no context. Objects include this header and
// never <GL/gl.h>.
#pragma once

#include "frame/glcalls.h"

using GLenum = unsigned int;
using GLuint = unsigned int;
using GLsizei = int;
using GLfloat = float;

#ifndef GL_POINTS
#define GL_POINTS 0x0000
#define GL_LINES 0x0001
#define GL_LINE_LOOP 0x0002
#define GL_LINE_STRIP 0x0003
#define GL_TRIANGLES 0x0004
#define GL_TRIANGLE_STRIP 0x0005
#define GL_TRIANGLE_FAN 0x0006
#define GL_QUADS 0x0007
#define GL_QUAD_STRIP 0x0008
#define GL_POLYGON 0x0009
#define GL_COMPILE 0x1300
#define GL_COMPILE_AND_EXECUTE 0x1301
#endif

inline void glBegin(GLenum mode) { jit::gl_calls.begin(mode); }
inline void glEnd() { jit::gl_calls.end(); }
inline void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { jit::gl_calls.vertex3f(x, y, z); }
inline void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { jit::gl_calls.normal3f(x, y, z); }
inline void glTexCoord2f(GLfloat s, GLfloat t) { jit::gl_calls.texcoord2f(s, t); }
inline GLuint glGenLists(GLsizei range) { return jit::gl_calls.genlists(range); }
inline void glNewList(GLuint list, GLenum mode) { jit::gl_calls.newlist(list, mode); }
inline void glEndList() { jit::gl_calls.endlist(); }
inline void glCallList(GLuint list) { jit::gl_calls.calllist(list); }
inline void glDeleteLists(GLuint list, GLsizei range) { jit::gl_calls.deletelists(list, range); }
