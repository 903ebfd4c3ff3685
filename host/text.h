// Atoms as text, both ways: the printed form of atoms, emissions and console lines, and
// the reading of a number token.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "frame/maxapi.h"
#include "host/patch.h"

namespace kohost {

// A float as the shortest decimal that reads back to the same 32-bit float, with ".0"
// where it would otherwise read as an integer; "nan", "inf", "-inf".
std::string format_float(float f);
// A symbol is quoted when it would otherwise read as a number, is empty or holds blanks,
// quotes, backslashes or a leading '#'.
std::string format_atom(const max::Atom& a);
// "ID.N: SELECTOR ATOM ..."
std::string format_emission(const std::string& id, const Emission& e);
// Bytes below 0x20, 0x7F and above as \t, \a, \n or \xHH; '\' as "\\".
std::string escape_text(std::string_view text);

// Output lines built in place, one buffer reused from line to line: it allocates only
// when a line is longer than every one before it. Each view stays valid until the next
// line is built.
class LineBuffer {
 public:
  // "ID.N: SELECTOR ATOM ...\n"
  std::string_view emission(std::string_view id, const Emission& e);
  // "console: TEXT\n" or "error: TEXT\n", the text escaped.
  std::string_view console(bool is_error, std::string_view text);
  // One atom as printed; a text escaped (no newline).
  std::string_view atom(const max::Atom& a);
  std::string_view escaped(std::string_view text);

 private:
  void clear() { size_ = 0; }
  // Room for n more bytes at the end.
  char* room(std::size_t n);
  void append(std::string_view s);
  void append_atom(const max::Atom& a);
  void append_escaped(std::string_view text);
  std::string_view view() const { return {data_.get(), size_}; }

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

enum class NumberToken { NotNumber, Long, Float, OutOfRange };
// A decimal integer is a long (it must fit 32 bits); a decimal number with a point or an
// exponent, nan, inf or -inf is a float (it must fit a 32-bit float).
NumberToken read_number(std::string_view token, max::Atom& out);

}  // namespace kohost
