// The number rule: how every numeric value of a program line is read.
// Blanks, tabs and line feeds are skipped wherever they stand; then an
// optional sign, digits with at most one period as the decimal point (whatever
// the locale), and an optional exponent (E or D directly after the digits,
// never after a blank; an exponent past a million saturates); "&H" and "&O" read
// hexadecimal and octal digits. Reading stops at the first character that
// cannot continue the number; no digits give 0. An overflow reads as a signed
// infinity, an underflow as 0.
//
// The text is read where it stands: nothing is allocated for a number.
// Callers: the parser, the drilling cycle, the program check.
#pragma once

#include <string_view>

namespace brimo {

// Leading number of a text by the rule above. May return an infinity
// ("1E999"); callers decide what that means.
double ReadNumber(std::string_view text);

// True when the number rule finds digits in `text`: "X.", "XNaN" and
// "X--5" read 0 without holding a number at all.
bool HoldsNumber(std::string_view text);

}  // namespace brimo
