// The host object that wraps a drawing object's inner object: made the same way for
// every drawing object.
#pragma once

#include <cstdint>

#include "frame/maxapi.h"

namespace ko {

// Makes the wrapper of class cls around a new inner object of class inner_name, drawing
// to the destination named before the "@" arguments: a dump outlet, the attribute
// arguments, then the matrix outlet and the attachment to drawing. Null, with an error
// line naming the object, when the inner object cannot be made.
void* new_drawing_wrapper(max::Class* cls, max::Symbol* inner_name, const char* object_name, std::int32_t argc,
                          const max::Atom* argv);

}  // namespace ko
