// Handlers have one C++ signature per list of typed codes. The callers below are made
// for every list of up to kMaxTypedArgs longs and floats, so a handler is always called
// through the exact type it was defined with.
#include <utility>

#include "frame/truncate.h"
#include "host/dispatch.h"

namespace kohost {

namespace {

template <class T>
T arg_as(const TypedArg& a);
template <>
std::int32_t arg_as<std::int32_t>(const TypedArg& a) {
  return a.l;
}
template <>
double arg_as<double>(const TypedArg& a) {
  return a.d;
}

template <class... Ts, std::size_t... I>
void invoke(max::method fn, max::Object* x, const TypedArg* a, std::index_sequence<I...>) {
  reinterpret_cast<void (*)(max::Object*, Ts...)>(fn)(x, arg_as<Ts>(a[I])...);
}
template <class... Ts>
void call_typed(max::method fn, max::Object* x, const TypedArg* a) {
  invoke<Ts...>(fn, x, a, std::index_sequence_for<Ts...>{});
}

template <class... Ts, std::size_t... I>
max::Object* invoke_new(max::method fn, const TypedArg* a, std::index_sequence<I...>) {
  return reinterpret_cast<max::Object* (*)(Ts...)>(fn)(arg_as<Ts>(a[I])...);
}
template <class... Ts>
max::Object* call_new(max::method fn, const TypedArg* a) {
  return invoke_new<Ts...>(fn, a, std::index_sequence_for<Ts...>{});
}

template <bool IsNew, class... Ts>
auto pick(const short* codes, int n) {
  using R = std::conditional_t<IsNew, NewCaller, Caller>;
  if (n == 0) {
    if constexpr (IsNew)
      return R(&call_new<Ts...>);
    else
      return R(&call_typed<Ts...>);
  }
  if constexpr (sizeof...(Ts) < kMaxTypedArgs) {
    return is_float_code(codes[0]) ? pick<IsNew, Ts..., double>(codes + 1, n - 1)
                                   : pick<IsNew, Ts..., std::int32_t>(codes + 1, n - 1);
  } else {
    return R(nullptr);
  }
}

bool all_typed(const Codes& c) {
  for (int i = 0; i < c.count; ++i) {
    const short k = c.code[i];
    if (k != max::A_LONGARG && k != max::A_FLOATARG && k != max::A_DEFLONG && k != max::A_DEFFLOAT) return false;
  }
  return true;
}

}  // namespace

Codes read_codes(std::va_list ap) {
  Codes c;
  for (;;) {
    const int code = va_arg(ap, int);
    if (code == max::A_END) break;
    if (c.count < kMaxTypedArgs) c.code[c.count++] = static_cast<short>(code);
  }
  return c;
}

Codes one_code(short c) {
  Codes codes;
  codes.code[0] = c;
  codes.count = 1;
  return codes;
}

bool is_float_code(short c) { return c == max::A_FLOATARG || c == max::A_DEFFLOAT; }
bool is_optional_code(short c) { return c == max::A_DEFLONG || c == max::A_DEFFLOAT; }

Caller typed_caller(const Codes& c) { return all_typed(c) ? pick<false>(c.code, c.count) : nullptr; }
NewCaller typed_new_caller(const Codes& c) { return all_typed(c) ? pick<true>(c.code, c.count) : nullptr; }

bool convert_typed(const Codes& c, int argc, const max::Atom* argv, TypedArg* out) {
  for (int i = 0; i < c.count; ++i) {
    const short k = c.code[i];
    if (i >= argc) {
      if (!is_optional_code(k)) return false;
      if (is_float_code(k))
        out[i].d = 0.0;
      else
        out[i].l = 0;
      continue;
    }
    const max::Atom& a = argv[i];
    if (a.a_type != max::A_LONG && a.a_type != max::A_FLOAT) return false;
    if (is_float_code(k)) {
      out[i].d = a.a_type == max::A_LONG ? static_cast<double>(a.a_w.w_long) : static_cast<double>(a.a_w.w_float);
    } else if (a.a_type == max::A_LONG) {
      out[i].l = a.a_w.w_long;
    } else {
      out[i].l = ko::to_long(a.a_w.w_float);
    }
  }
  return true;
}

}  // namespace kohost
