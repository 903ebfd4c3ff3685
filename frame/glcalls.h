// The table behind the OpenGL calls of the drawing objects (frame/glapi.h), filled by the
// host. Plain types here, so host files that include the system's GL headers can use it.
#pragma once

#include "frame/maxapi.h"

namespace jit {

struct GlCalls {
  void (*begin)(unsigned int mode);
  void (*end)();
  void (*vertex3f)(float x, float y, float z);
  void (*normal3f)(float x, float y, float z);
  void (*texcoord2f)(float s, float t);
  unsigned int (*genlists)(int range);
  void (*newlist)(unsigned int list, unsigned int mode);
  void (*endlist)();
  void (*calllist)(unsigned int list);
  void (*deletelists)(unsigned int list, int range);
};

KO_HOST_API extern GlCalls gl_calls;

}  // namespace jit
