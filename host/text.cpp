#include "host/text.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace kohost {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Sign, digits with at most one point, then an optional exponent. Sets whether a point
// or an exponent was present.
bool decimal_shape(std::string_view t, bool& has_point_or_exp) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  bool point = false;
  for (; i < t.size(); ++i) {
    if (is_digit(t[i]))
      ++digits;
    else if (t[i] == '.' && !point)
      point = true;
    else
      break;
  }
  if (digits == 0) return false;
  bool exp = false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    exp = true;
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t ed = 0;
    for (; i < t.size() && is_digit(t[i]); ++i) ++ed;
    if (ed == 0) return false;
  }
  has_point_or_exp = point || exp;
  return i == t.size();
}

}  // namespace

NumberToken read_number(std::string_view t, max::Atom& out) {
  if (t == "nan" || t == "inf" || t == "-inf") {
    out.a_type = max::A_FLOAT;
    out.a_w.w_float = t == "nan"   ? std::numeric_limits<float>::quiet_NaN()
                      : t == "inf" ? std::numeric_limits<float>::infinity()
                                   : -std::numeric_limits<float>::infinity();
    return NumberToken::Float;
  }
  bool fractional = false;
  if (!decimal_shape(t, fractional)) return NumberToken::NotNumber;
  const std::string text(t);
  if (!fractional) {
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno == ERANGE || v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
      return NumberToken::OutOfRange;
    out.a_type = max::A_LONG;
    out.a_w.w_long = static_cast<std::int32_t>(v);
    return NumberToken::Long;
  }
  // Read straight to single precision, so the value is rounded once.
  char* end = nullptr;
  errno = 0;
  const float f = std::strtof(text.c_str(), &end);
  if (std::isinf(f)) return NumberToken::OutOfRange;
  out.a_type = max::A_FLOAT;
  out.a_w.w_float = f;
  return NumberToken::Float;
}

std::string format_float(float f) {
  if (std::isnan(f)) return "nan";
  if (std::isinf(f)) return f > 0 ? "inf" : "-inf";
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, f);
  std::string s(buf, res.ptr);
  bool plain = true;
  for (char c : s)
    if (!(is_digit(c) || c == '-')) plain = false;
  if (plain) s += ".0";
  return s;
}

std::string format_atom(const max::Atom& a) {
  switch (a.a_type) {
    case max::A_LONG:
      return std::to_string(a.a_w.w_long);
    case max::A_FLOAT:
      return format_float(a.a_w.w_float);
    case max::A_SYM: {
      const std::string_view s = a.a_w.w_sym ? a.a_w.w_sym->s_name : "";
      max::Atom probe;
      bool quote = s.empty() || s[0] == '#' || read_number(s, probe) != NumberToken::NotNumber;
      for (char c : s)
        if (c == ' ' || c == '\t' || c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20) quote = true;
      if (!quote) return std::string(s);
      std::string q = "\"";
      for (char c : s) {
        if (c == '"' || c == '\\') q += '\\';
        q += c;
      }
      return q + "\"";
    }
    default:
      return "?";
  }
}

std::string format_emission(const std::string& id, const Emission& e) {
  std::string line = id + "." + std::to_string(e.outlet) + ": " + (e.selector ? e.selector->s_name : "list");
  for (int i = 0; i < e.argc; ++i) {
    line += ' ';
    line += format_atom(e.argv[i]);
  }
  return line;
}

std::string escape_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\')
      out += "\\\\";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\a')
      out += "\\a";
    else if (c == '\n')
      out += "\\n";
    else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else
      out += ch;
  }
  return out;
}

}  // namespace kohost
