// Atoms as text, both ways: the printed form of atoms, emissions and console lines, and
// the reading of a number token.
#pragma once

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

enum class NumberToken { NotNumber, Long, Float, OutOfRange };
// A decimal integer is a long (it must fit 32 bits); a decimal number with a point or an
// exponent, nan, inf or -inf is a float (it must fit a 32-bit float).
NumberToken read_number(std::string_view token, max::Atom& out);

}  // namespace kohost
