// Typed bindings: an object writes its handlers on its own record type
// (void f(Mirror* x, double a)); handler<f>() gives the host a function of the exact
// signature it calls back, with the record passed as the host's Object header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "frame/maxapi.h"

namespace ko {

template <class T>
T* self(max::Object* o) {
  static_assert(std::is_standard_layout_v<T>, "an instance record must be standard-layout");
  static_assert(offsetof(T, ob) == 0, "an instance record starts with the host header");
  return reinterpret_cast<T*>(o);
}

template <class T>
constexpr bool kHandlerArg = std::is_same_v<T, std::int32_t> || std::is_same_v<T, double> ||
                             std::is_same_v<T, max::Symbol*> || std::is_same_v<T, const max::Atom*> ||
                             std::is_same_v<T, void*> || std::is_same_v<T, char*>;

template <auto F>
struct Thunk;

// Message handlers: void f(T*, args...).
template <class T, class... A, void (*F)(T*, A...)>
struct Thunk<F> {
  static_assert((kHandlerArg<A> && ...), "handler arguments are int32_t, double, Symbol*, atoms or texts");
  static void call(max::Object* o, A... a) { F(self<T>(o), a...); }
  static max::method get() { return max::as_method(&call); }
};

// Creation routines: T* f(args...).
template <class T, class... A, T* (*F)(A...)>
struct Thunk<F> {
  static max::Object* call(A... a) {
    T* x = F(a...);
    return x ? &x->ob : nullptr;
  }
  static max::method get() { return max::as_method(&call); }
};

// The host-facing form of a handler or creation routine.
template <auto F>
max::method handler() {
  return Thunk<F>::get();
}

}  // namespace ko
