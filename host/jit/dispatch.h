// Where the drawing objects' OpenGL calls go: the current context's functions, the same
// calls printed as "gl: ..." lines first, or nothing when there is no context.
#pragma once

#include <string_view>

#include "frame/glcalls.h"

namespace kohost::gl {

using TraceSink = void (*)(void* ctx, std::string_view line);

// The context's functions; null when there is no context (every call does nothing and
// glGenLists gives 0).
void set_real(const jit::GlCalls* real);
// Trace lines go to the sink while tracing is on.
void set_trace(bool on);
bool tracing();
void set_trace_sink(TraceSink fn, void* ctx);
// Clears the sink, and ends tracing, only when the sink is still this one.
void clear_trace_sink(void* ctx);

}  // namespace kohost::gl
