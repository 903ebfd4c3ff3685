// Layer methods of any plain signature: ko::jit_handler<f>() gives the layer a
// jit::method that unpacks the words into f's own parameter types (pointers, integers,
// floating values; missing words are 0) and packs its result back.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

#include "frame/jitapi.h"
#include "frame/truncate.h"

namespace ko {

template <class T>
T jit_unword(const jit::Word& w) {
  if constexpr (std::is_pointer_v<T>) {
    return reinterpret_cast<T>(w.i);
  } else if constexpr (std::is_floating_point_v<T>) {
    return static_cast<T>(w.kind == jit::Word::Float ? w.d : static_cast<double>(w.i));
  } else {
    static_assert(std::is_integral_v<T>, "a layer parameter is a number or a pointer");
    return w.kind == jit::Word::Float ? static_cast<T>(ko::to_long(w.d)) : static_cast<T>(w.i);
  }
}

template <auto F>
struct JitThunk;

template <class R, class... A, R (*F)(A...)>
struct JitThunk<F> {
  template <std::size_t... I>
  static R invoke(std::int32_t argc, const jit::Word* argv, std::index_sequence<I...>) {
    static const jit::Word zero{0, 0.0, jit::Word::Int};
    return F(jit_unword<A>(static_cast<std::int32_t>(I) < argc ? argv[I] : zero)...);
  }
  static void* call(std::int32_t argc, const jit::Word* argv) {
    if constexpr (std::is_void_v<R>) {
      invoke(argc, argv, std::index_sequence_for<A...>{});
      return nullptr;
    } else if constexpr (std::is_pointer_v<R>) {
      return const_cast<void*>(static_cast<const void*>(invoke(argc, argv, std::index_sequence_for<A...>{})));
    } else {
      static_assert(std::is_integral_v<R>, "a layer method gives nothing, a number or a pointer");
      return reinterpret_cast<void*>(static_cast<std::intptr_t>(invoke(argc, argv, std::index_sequence_for<A...>{})));
    }
  }
};

template <auto F>
jit::method jit_handler() {
  return &JitThunk<F>::call;
}

// The integer a method gave back through jit_object_method.
inline std::intptr_t jit_result(void* r) { return reinterpret_cast<std::intptr_t>(r); }

}  // namespace ko
