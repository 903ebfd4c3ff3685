#include "host/text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
  // from_chars takes no '+'.
  const std::string_view digits = t[0] == '+' ? t.substr(1) : t;
  const char* end = digits.data() + digits.size();
  if (!fractional) {
    std::int32_t v = 0;
    if (std::from_chars(digits.data(), end, v).ec != std::errc()) return NumberToken::OutOfRange;
    out.a_type = max::A_LONG;
    out.a_w.w_long = v;
    return NumberToken::Long;
  }
  // Read straight to single precision, so the value is rounded once. Past the range of
  // floats from_chars gives up; strtof tells overflow (out of range) from underflow
  // (read as the nearest float, 0 or a subnormal).
  float f = 0;
  if (std::from_chars(digits.data(), end, f).ec != std::errc()) {
    f = std::strtof(std::string(t).c_str(), nullptr);
    if (std::isinf(f)) return NumberToken::OutOfRange;
  }
  out.a_type = max::A_FLOAT;
  out.a_w.w_float = f;
  return NumberToken::Float;
}

namespace {

// Writes a float as format_float describes; at most 16 bytes.
char* write_float(char* p, float f) {
  if (std::isnan(f)) return std::copy_n("nan", 3, p);
  if (std::isinf(f)) return f > 0 ? std::copy_n("inf", 3, p) : std::copy_n("-inf", 4, p);
  char* end = std::to_chars(p, p + 16, f).ptr;
  for (char* q = p; q < end; ++q)
    if (*q == '.' || *q == 'e') return end;
  *end++ = '.';
  *end++ = '0';
  return end;
}

// A symbol that would read back as a number (or as nothing, or a comment) is quoted.
bool needs_quotes(std::string_view s) {
  if (s.empty() || s[0] == '#' || s == "nan" || s == "inf" || s == "-inf") return true;
  bool fractional = false;
  if (decimal_shape(s, fractional)) return true;
  for (char c : s)
    if (c == ' ' || c == '\t' || c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return true;
  return false;
}

}  // namespace

char* LineBuffer::room(std::size_t n) {
  if (size_ + n > capacity_) [[unlikely]] {
    const std::size_t cap = std::max<std::size_t>({256, capacity_ * 2, size_ + n});
    auto grown = std::make_unique<char[]>(cap);
    if (size_) std::copy_n(data_.get(), size_, grown.get());
    data_ = std::move(grown);
    capacity_ = cap;
  }
  return data_.get() + size_;
}

namespace {

// Short texts (ids, selectors, most symbols) copy faster byte by byte than through a call.
inline char* put(char* p, std::string_view s) {
  if (s.size() > 16) return std::copy_n(s.data(), s.size(), p);
  for (char c : s) *p++ = c;
  return p;
}

// The most bytes an atom can print as; a symbol's text is measured.
inline std::size_t atom_bound(const max::Atom& a) {
  if (a.a_type == max::A_SYM) return 2 * std::strlen(a.a_w.w_sym ? a.a_w.w_sym->s_name : "") + 2;
  return 16;
}

char* write_atom(char* p, const max::Atom& a) {
  switch (a.a_type) {
    case max::A_LONG:
      return std::to_chars(p, p + 12, a.a_w.w_long).ptr;
    case max::A_FLOAT:
      return write_float(p, a.a_w.w_float);
    case max::A_SYM: {
      const std::string_view s = a.a_w.w_sym ? a.a_w.w_sym->s_name : "";
      if (!needs_quotes(s)) return put(p, s);
      *p++ = '"';
      for (char c : s) {
        if (c == '"' || c == '\\') *p++ = '\\';
        *p++ = c;
      }
      *p++ = '"';
      return p;
    }
    default:
      *p++ = '?';
      return p;
  }
}

}  // namespace

void LineBuffer::append(std::string_view s) {
  std::copy_n(s.data(), s.size(), room(s.size()));
  size_ += s.size();
}

void LineBuffer::append_atom(const max::Atom& a) {
  char* p = room(atom_bound(a));
  size_ = static_cast<std::size_t>(write_atom(p, a) - data_.get());
}

void LineBuffer::append_escaped(std::string_view text) {
  char* p = room(4 * text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\') {
      *p++ = '\\';
      *p++ = '\\';
    } else if (c == '\t' || c == '\a' || c == '\n') {
      *p++ = '\\';
      *p++ = c == '\t' ? 't' : c == '\a' ? 'a' : 'n';
    } else if (c < 0x20 || c >= 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      *p++ = '\\';
      *p++ = 'x';
      *p++ = kHex[c >> 4];
      *p++ = kHex[c & 15];
    } else {
      *p++ = ch;
    }
  }
  size_ = static_cast<std::size_t>(p - data_.get());
}

std::string_view LineBuffer::emission(std::string_view id, const Emission& e) {
  const std::string_view sel = e.selector ? e.selector->s_name : "list";
  const int argc = e.argc > 0 && e.argv ? e.argc : 0;
  // The whole line is measured first and written in one go.
  std::size_t bound = id.size() + sel.size() + 16;
  for (int i = 0; i < argc; ++i) bound += 1 + atom_bound(e.argv[i]);
  size_ = 0;
  char* p = room(bound);
  p = put(p, id);
  *p++ = '.';
  p = std::to_chars(p, p + 12, e.outlet).ptr;
  *p++ = ':';
  *p++ = ' ';
  p = put(p, sel);
  for (int i = 0; i < argc; ++i) {
    *p++ = ' ';
    p = write_atom(p, e.argv[i]);
  }
  *p++ = '\n';
  size_ = static_cast<std::size_t>(p - data_.get());
  return view();
}

std::string_view LineBuffer::console(bool is_error, std::string_view text) {
  clear();
  append(is_error ? "error: " : "console: ");
  append_escaped(text);
  *room(1) = '\n';
  ++size_;
  return view();
}

std::string format_float(float f) {
  char buf[16];
  return std::string(buf, write_float(buf, f));
}

std::string_view LineBuffer::atom(const max::Atom& a) {
  clear();
  append_atom(a);
  return view();
}

std::string_view LineBuffer::escaped(std::string_view text) {
  clear();
  append_escaped(text);
  return view();
}

std::string format_atom(const max::Atom& a) {
  LineBuffer line;
  return std::string(line.atom(a));
}

std::string format_emission(const std::string& id, const Emission& e) {
  LineBuffer line;
  const std::string_view text = line.emission(id, e);
  return std::string(text.substr(0, text.size() - 1));
}

std::string escape_text(std::string_view text) {
  LineBuffer line;
  return std::string(line.escaped(text));
}

}  // namespace kohost
