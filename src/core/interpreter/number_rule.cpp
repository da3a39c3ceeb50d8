#include "core/interpreter/number_rule.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace brimo {

namespace {

// Whole numbers up to this are exact doubles.
constexpr uint64_t kExactDigits = uint64_t{1} << 53;

bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; }
bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

int DigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return 99;
}

// Decimal text [first, last) (sign, digits, '.', digits, 'e' or 'E',
// exponent) to double. An overflow gives a signed infinity, an underflow 0;
// `mantissaExponent` is the decimal magnitude of the leading digit, which
// tells the two apart.
double DecimalValue(const char* first, const char* last, bool negative, long mantissaExponent) {
  double v = 0;
  auto r = std::from_chars(first, last, v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range)
    return mantissaExponent > 0 ? (negative ? -HUGE_VAL : HUGE_VAL) : 0.0;
  return v;
}

constexpr double kTens[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common case on its own, as the full rule below would read it: a text
// (after its leading blanks) of an optional '-', digits and at most one
// period, ended by its end or a character that cannot continue the number
// (blanks followed by such a character or the end included). Digits below
// 2^53 and at most 22 after the period are both exact doubles, so one
// division rounds correctly, to the very value from_chars gives. False
// (and the full rule reads it) for anything else.
bool ReadPlainDecimal(std::string_view t, double& value) {
  const size_t n = t.size();
  size_t i = 0;
  const bool negative = i < n && t[i] == '-';
  if (negative) ++i;
  uint64_t digits = 0;
  int count = 0, fraction = 0;
  bool point = false;
  for (; i < n; ++i) {
    const char ch = t[i];
    if (IsDigit(ch)) {
      if (++count > 15) return false;  // 15 digits stay below 2^53
      digits = digits * 10 + static_cast<uint64_t>(ch - '0');
      fraction += point;
    } else if (ch == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (count == 0) return false;
  if (i < n) {
    // What stops it must stop the full rule too: an exponent letter right
    // after the digits, or blanks before more of the number, do not.
    const char ch = t[i];
    if (ch == 'E' || ch == 'e' || ch == 'D' || ch == 'd') return false;
    if (IsBlank(ch)) {
      while (i < n && IsBlank(t[i])) ++i;
      if (i < n && (IsDigit(t[i]) || (t[i] == '.' && !point))) return false;
    }
  }
  const double v = static_cast<double>(digits) / kTens[fraction];
  value = negative ? -v : v;
  return true;
}

// The number rule; `anyDigit` tells whether any digit was read (no digits
// give 0).
double ReadNumberRule(std::string_view t, bool& anyDigit) {
  anyDigit = false;
  const size_t n = t.size();
  size_t i = 0;
  auto skipBlanks = [&] {
    const size_t from = i;
    while (i < n && IsBlank(t[i])) ++i;
    return i != from;
  };
  skipBlanks();
  if (double v; ReadPlainDecimal(t.substr(i), v)) {
    anyDigit = true;
    return v;
  }
  if (i + 1 < n && t[i] == '&') {
    const char p = t[i + 1];
    const int base = (p == 'H' || p == 'h') ? 16 : (p == 'O' || p == 'o') ? 8 : 0;
    if (base == 0) return 0;
    i += 2;
    double v = 0;
    for (;;) {
      skipBlanks();
      if (i >= n || DigitValue(t[i]) >= base) break;
      v = v * base + DigitValue(t[i]);
      anyDigit = true;
      ++i;
    }
    return v;
  }

  // The number is read where it stands: [from, mantissaEnd) holds the sign
  // ('-' only), digits and period, with the blanks the rule skips; the
  // exponent runs from its letter to expEnd.
  bool negative = false;
  size_t from = i;
  if (i < n && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
    if (!negative) from = i;  // from_chars takes no '+'
  }
  size_t mantissaEnd = i;
  bool digits = false, point = false;
  long intDigits = 0;             // significant digits before the point
  long leadingFractionZeros = 0;  // zeros after the point before a non-zero digit
  bool nonZeroSeen = false;
  // The digits as a whole number, while they fit (see the short way below).
  uint64_t digitValue = 0;
  bool digitsFit = true;
  long fractionDigits = 0;
  bool exponent = false;
  long expValue = 0;
  size_t expLetter = 0, expEnd = 0;
  int expDigitCount = 0;
  for (;;) {
    const bool blank = skipBlanks();
    if (i >= n) break;
    const char ch = t[i];
    if (IsDigit(ch)) {
      digits = true;
      if (digitValue < kExactDigits / 10)
        digitValue = digitValue * 10 + static_cast<uint64_t>(ch - '0');
      else
        digitsFit = false;
      if (point) ++fractionDigits;
      if (!point) {
        if (ch != '0' || nonZeroSeen) ++intDigits, nonZeroSeen = true;
      } else if (!nonZeroSeen) {
        if (ch == '0')
          ++leadingFractionZeros;
        else
          nonZeroSeen = true;
      }
      mantissaEnd = ++i;
      continue;
    }
    if (ch == '.' && !point) {
      point = true;
      mantissaEnd = ++i;
      continue;
    }
    // An exponent letter counts only directly after the mantissa: "Y10 D1"
    // is 10, and a stray "E5" after a blank never multiplies a coordinate.
    if ((ch == 'E' || ch == 'e' || ch == 'D' || ch == 'd') && digits && !blank) {
      expLetter = i;
      ++i;
      skipBlanks();
      bool expNegative = false;
      if (i < n && (t[i] == '+' || t[i] == '-')) {
        expNegative = t[i] == '-';
        ++i;
      }
      for (;;) {
        skipBlanks();
        if (i >= n || !IsDigit(t[i])) break;
        ++expDigitCount;
        if (expValue < 1'000'000) expValue = expValue * 10 + (t[i] - '0');  // saturates
        expEnd = ++i;
      }
      if (expDigitCount > 0) {
        exponent = true;
        if (expNegative) expValue = -expValue;
      }
    }
    break;
  }
  if (!digits) return 0;
  anyDigit = true;
  // Decimal magnitude of the leading digit, to tell an overflow from an
  // underflow when from_chars reports the value out of range.
  const long magnitude =
      (intDigits > 0 ? intDigits - 1 : -leadingFractionZeros - 1) + (exponent ? expValue : 0);

  // The short way: digits below 2^53 and a power of ten of at most 22 are
  // both exact doubles, so one multiplication or division rounds correctly,
  // to the very value from_chars gives.
  const long power = (exponent ? expValue : 0) - fractionDigits;
  if (digitsFit && expDigitCount <= 6 && power >= -22 && power <= 22) {
    const double m = static_cast<double>(digitValue);
    const double v = power < 0 ? m / kTens[-power] : m * kTens[power];
    return negative ? -v : v;
  }

  auto blankIn = [&](size_t b, size_t e) {
    for (size_t k = b; k < e; ++k)
      if (IsBlank(t[k])) return true;
    return false;
  };
  // As written, when from_chars can read it so: no blank inside, an E (not
  // D) exponent, and no exponent long enough to saturate.
  if (!blankIn(from, mantissaEnd) &&
      (!exponent || ((t[expLetter] == 'E' || t[expLetter] == 'e') && expDigitCount <= 6 &&
                     !blankIn(expLetter, expEnd)))) {
    return DecimalValue(t.data() + from, t.data() + (exponent ? expEnd : mantissaEnd), negative,
                        magnitude);
  }
  // Otherwise spelled out without the blanks, on the stack unless the
  // number is longer than any real one.
  char small[128];
  std::string large;
  const size_t room = (mantissaEnd - from) + 16;  // + 'e' and the exponent
  char* out = small;
  if (room > sizeof small) {
    large.resize(room);
    out = large.data();
  }
  size_t len = 0;
  for (size_t k = from; k < mantissaEnd; ++k)
    if (!IsBlank(t[k])) out[len++] = t[k];
  if (exponent) {
    out[len++] = 'e';
    len = static_cast<size_t>(std::to_chars(out + len, out + room, expValue).ptr - out);
  }
  return DecimalValue(out, out + len, negative, magnitude);
}

}  // namespace

double ReadNumber(std::string_view t) {
  bool digits = false;
  return ReadNumberRule(t, digits);
}

bool HoldsNumber(std::string_view t) {
  bool digits = false;
  ReadNumberRule(t, digits);
  return digits;
}
}  // namespace brimo
