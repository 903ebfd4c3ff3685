#include "frame/jitwrapper.h"

#include "frame/jitapi.h"

namespace ko {

void* new_drawing_wrapper(max::Class* cls, max::Symbol* inner_name, const char* object_name, std::int32_t argc,
                          const max::Atom* argv) {
  max::Symbol* dest = jit::_jit_sym_nothing;
  auto* x = static_cast<max::Object*>(jit::max_jit_obex_new(cls, inner_name));
  if (!x) return nullptr;
  const std::int32_t n = jit::max_jit_attr_args_offset(argc, argv);
  if (n != 0 && argv) jit::jit_atom_arg_getsym(&dest, 0, n, argv);
  void* inner = jit::jit_object_new(inner_name, dest);
  if (!inner) {
    max::error("%s: could not allocate object", object_name);
    max::freeobject(x);
    return nullptr;
  }
  jit::max_jit_obex_jitob_set(x, inner);
  jit::max_jit_obex_dumpout_set(x, max::outlet_new(x, nullptr));
  jit::max_jit_attr_args(x, argc, argv);
  jit::max_jit_ob3d_attach(x, inner, max::outlet_new(x, "jit_matrix"));
  return x;
}

}  // namespace ko
