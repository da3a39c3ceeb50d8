#include "interpreter/parser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "interpreter/drill.h"
#include "machine/messages.h"
#include "machine/window.h"

namespace brimo {

namespace {

// Beyond these a count is a typing error; in double precision a count near
// 2^53 would also never reach zero when counted down.
constexpr double kMaxSteps = 2147483648.0;  // 2^31 steps on one axis
constexpr double kMaxPecks = 10000;

bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; }
bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

int DigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return 99;
}

// Decimal text (sign, digits, '.', digits, 'e', exponent) to double. An
// overflow gives a signed infinity, an underflow 0.
double DecimalValue(const std::string& text, bool negative, long mantissaExponent) {
  double v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range)
    return mantissaExponent > 0 ? (negative ? -HUGE_VAL : HUGE_VAL) : 0.0;
  return v;
}

std::string Trim(std::string_view s, bool tabsToo) {
  auto blank = [&](char ch) {
    return ch == ' ' || (tabsToo && (ch == '\t' || ch == '\r' || ch == '\n'));
  };
  size_t b = 0, e = s.size();
  while (b < e && blank(s[b])) ++b;
  while (e > b && blank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

// The word letters in the order their words are taken. Taking them in this
// order is what makes a line written G M T X Y Z A I J R F Q read each word's
// own text; the nearest-letter rule below gives the same for every order.
constexpr std::array<char, 12> kTakeOrder{'Q', 'F', 'R', 'J', 'I', 'A',
                                          'Z', 'Y', 'X', 'T', 'M', 'G'};

struct Word {
  bool found = false;
  size_t pos = 0;         // position of the letter in the comment-free line
  std::string_view text;  // after the letter up to the next word letter (in the line)
  double value = 0;       // number read from text, scaled where the word is scaled
};

// Finds the words of a comment-free line: the first occurrence of each
// letter, case-sensitive; a word's text runs to the nearest word letter to
// its right (N is not a word letter: it is only ignored at the front).
// Returns the position of the first word (text.size() when none).
size_t FindWords(std::string_view text, std::array<Word, 12>& words) {
  size_t firstWord = text.size();
  for (size_t k = 0; k < kTakeOrder.size(); ++k) {
    const size_t p = text.find(kTakeOrder[k]);
    if (p == std::string::npos) continue;
    words[k].found = true;
    words[k].pos = p;
    if (p < firstWord) firstWord = p;
  }
  for (auto& w : words) {
    if (!w.found) continue;
    size_t end = text.size();
    for (const auto& o : words)
      if (o.found && o.pos > w.pos && o.pos < end) end = o.pos;
    w.text = text.substr(w.pos + 1, end - w.pos - 1);
  }
  return firstWord;
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

  std::string text;  // canonical form for from_chars
  bool negative = false;
  if (i < n && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    if (negative) text += '-';
    ++i;
  }
  bool digits = false, point = false;
  long intDigits = 0;             // significant digits before the point
  long leadingFractionZeros = 0;  // zeros after the point before a non-zero digit
  bool nonZeroSeen = false;
  bool exponent = false;
  long expValue = 0;
  for (;;) {
    const bool blank = skipBlanks();
    if (i >= n) break;
    const char ch = t[i];
    if (IsDigit(ch)) {
      text += ch;
      digits = true;
      if (!point) {
        if (ch != '0' || nonZeroSeen) ++intDigits, nonZeroSeen = true;
      } else if (!nonZeroSeen) {
        if (ch == '0')
          ++leadingFractionZeros;
        else
          nonZeroSeen = true;
      }
      ++i;
      continue;
    }
    if (ch == '.' && !point) {
      point = true;
      text += '.';
      ++i;
      continue;
    }
    // An exponent letter counts only directly after the mantissa: "Y10 D1"
    // is 10, and a stray "E5" after a blank never multiplies a coordinate.
    if ((ch == 'E' || ch == 'e' || ch == 'D' || ch == 'd') && digits && !blank) {
      ++i;
      skipBlanks();
      bool expNegative = false;
      if (i < n && (t[i] == '+' || t[i] == '-')) {
        expNegative = t[i] == '-';
        ++i;
      }
      bool expDigits = false;
      for (;;) {
        skipBlanks();
        if (i >= n || !IsDigit(t[i])) break;
        expDigits = true;
        if (expValue < 1'000'000) expValue = expValue * 10 + (t[i] - '0');  // saturates
        ++i;
      }
      if (expDigits) {
        exponent = true;
        if (expNegative) expValue = -expValue;
      }
    }
    break;
  }
  if (!digits) return 0;
  anyDigit = true;
  if (exponent) text += 'e' + std::to_string(expValue);
  // Decimal magnitude of the leading digit, to tell an overflow from an
  // underflow when from_chars reports the value out of range.
  const long magnitude =
      (intDigits > 0 ? intDigits - 1 : -leadingFractionZeros - 1) + (exponent ? expValue : 0);
  return DecimalValue(text, negative, magnitude);
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

size_t CommentEnd(std::string_view line, size_t open) {
  int depth = 0;
  for (size_t i = open; i < line.size(); ++i) {
    if (line[i] == '(') {
      ++depth;
    } else if (line[i] == ')' && --depth == 0) {
      return i + 1;
    }
  }
  return line.size();
}

std::string WithoutComments(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (size_t i = 0; i < line.size();) {
    const char ch = line[i];
    if (ch == '(') {
      i = CommentEnd(line, i);
      continue;
    }
    if (ch == ';') break;
    out += ch;
    ++i;
  }
  return out;
}

bool LineIsSkipped(std::string_view line) {
  const std::string trimmed = Trim(line, true);
  return trimmed.empty() || static_cast<unsigned char>(trimmed[0]) < 64;
}

std::vector<LineWord> WordsOfLine(std::string_view line) {
  std::vector<LineWord> out;
  if (LineIsSkipped(line)) return out;
  const std::string text = WithoutComments(Trim(line, true));
  std::array<Word, 12> words;
  FindWords(text, words);
  std::array<size_t, 12> order{};
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return words[a].pos < words[b].pos; });
  for (size_t k : order)
    if (words[k].found) out.push_back({kTakeOrder[k], std::string(words[k].text)});
  return out;
}

ScaleValues ReadScaleFactors(Window& win) {
  return {win.ScaleFactor(0), win.ScaleFactor(1), win.ScaleFactor(2), win.ScaleFactor(3)};
}

LineResult ParseLine(std::string_view lineText, const ScaleValues& scale,
                     const DerivedSettings& steps, Registers& ms) {
  LineResult result;

  // 1. Start-of-line resets.
  ms.MCode = 0;
  ms.LineStartX = ms.TargetX;
  ms.LineStartY = ms.TargetY;
  ms.LineStartZ = ms.TargetZ;
  ms.DrillCycleActive = 0;
  ms.LineWords = {};
  ms.LineBad = false;
  ms.LineBadReason.clear();

  // 2. Trim blanks and tabs: a tab-indented line is read, not skipped.
  const std::string line = Trim(lineText, true);

  // 3. Skip test: empty, or a first character below '@' (digit, '%', '(',
  //    '/', ';' ...). Such a line changes nothing else; SetFeed is not run.
  //    Deliberate (programs rely on it); the program check names every
  //    skipped line that carries words.
  if (LineIsSkipped(line)) {
    result.skipped = true;
    result.before = line;
    return result;
  }

  // 4. Words: first occurrence of each letter, case-sensitive, outside
  //    comments.
  const std::string text = WithoutComments(line);
  std::array<Word, 12> words;  // indexed like kTakeOrder
  const size_t firstWord = FindWords(text, words);
  auto word = [&](char letter) -> Word& {
    for (size_t k = 0; k < kTakeOrder.size(); ++k)
      if (kTakeOrder[k] == letter) return words[k];
    return words[0];  // not reached: every caller names a word letter
  };

  // 5. Check: values in the order the words are taken, each scaled by its
  //    factor. Nothing is stored until the whole line is known to
  //    be usable, so a bad line changes no word register.
  std::string bad;
  auto fail = [&](char letter, const Word& w, const char* why) {
    if (bad.empty()) bad = std::string(1, letter) + Trim(w.text, true) + why;
  };
  auto tooManySteps = [](double from, double to, double unitsPerStep) {
    return unitsPerStep > 0 && std::fabs(to - from) / unitsPerStep > kMaxSteps;
  };
  for (char letter : kTakeOrder) {
    Word& w = word(letter);
    if (!w.found || letter == 'A' || letter == 'T' || letter == 'G') continue;
    const double raw = ReadNumber(w.text);
    switch (letter) {
      case 'F':
        w.value = raw * scale.feed;
        break;
      case 'I':
      case 'X':
        w.value = raw * scale.x;
        break;
      case 'J':
      case 'Y':
        w.value = raw * scale.y;
        break;
      case 'Z':
      case 'R':
        w.value = raw * scale.z;
        break;
      default:
        w.value = raw;  // Q, M
    }
    if (!std::isfinite(raw) || !std::isfinite(w.value)) {
      fail(letter, w, msg::kNotFinite);
      continue;
    }
    switch (letter) {
      case 'Q':
        if (raw > kMaxPecks) fail(letter, w, msg::kTooManyPecks);
        break;
      case 'X':
        if (tooManySteps(ms.LineStartX, w.value, steps.UnitsPerStepX))
          fail(letter, w, msg::kTooManySteps);
        break;
      case 'Y':
        if (tooManySteps(ms.LineStartY, w.value, steps.UnitsPerStepY))
          fail(letter, w, msg::kTooManySteps);
        break;
      case 'Z':
      case 'R':  // the retract height is a Z target of the drilling cycle
        if (tooManySteps(ms.LineStartZ, w.value, steps.UnitsPerStepZ))
          fail(letter, w, msg::kTooManySteps);
        break;
      case 'I':  // a centre that far away makes an arc of as many steps
        if (tooManySteps(0, w.value, steps.UnitsPerStepX)) fail(letter, w, msg::kTooManySteps);
        break;
      case 'J':
        if (tooManySteps(0, w.value, steps.UnitsPerStepY)) fail(letter, w, msg::kTooManySteps);
        break;
      default:
        break;
    }
  }

  // A drilling line (its own drilling word or the modal one, and a word that
  // asks for a hole, as the dispatch tests it) whose retract height is not
  // above its depth: refused whole. Z and R are those the cycle would use,
  // from this line or the registers, scaled as the cycle scales them.
  if (bad.empty()) {
    const Word& g = word('G');
    const MotionKind motion =
        g.found ? MotionKindOf(Trim(std::string("G").append(g.text), true)) : ms.MotionWord.Kind();
    const bool asksForHole =
        word('X').found || word('Y').found || word('Z').found || word('R').found || word('Q').found;
    if (motion == MotionKind::kDrill && asksForHole) {
      const Word& zw = word('Z');
      const Word& rw = word('R');
      const double z = zw.found ? zw.value : ReadNumber(ms.ZWord) * scale.z;
      const double r = rw.found ? rw.value : ReadNumber(ms.RWord) * scale.z;
      if (!DrillHeightsUsable(z, r)) {
        auto shown = [](std::string t) { return t.empty() ? std::string("0") : t; };
        bad = "R" + shown(Trim(rw.found ? rw.text : std::string_view(ms.RWord), true)) + " Z" +
              shown(Trim(zw.found ? zw.text : std::string_view(ms.ZWord), true)) +
              msg::kDrillRNotAbove;
      }
    }
  }

  if (!bad.empty()) {
    // Refused as a whole: the run stops before this line, nothing moves for
    // it, and the registers keep what the previous lines left.
    ms.LineBad = true;
    ms.LineBadReason = bad;
  } else {
    // 6. Take the words, in the order Q F R J I A Z Y X T M G.
    for (char letter : kTakeOrder) {
      const Word& w = word(letter);
      if (!w.found) continue;
      switch (letter) {
        case 'Q':
          ms.QWord = w.text;
          ms.LineWords.Q = true;
          break;
        case 'F':
          ms.ProgramFeed = w.value;
          ms.LineWords.F = true;
          break;
        case 'R':
          ms.RWord = w.text;
          ms.LineWords.R = true;
          break;
        case 'J':
          ms.ArcJ = w.value;
          ms.LineWords.J = true;
          break;
        case 'I':
          ms.ArcI = w.value;
          ms.LineWords.I = true;
          break;
        case 'A':
          break;  // located so it ends the word before it; unused
        case 'Z':
          ms.ZWord = w.text;
          ms.TargetZ = w.value;
          ms.LineWords.Z = true;
          break;
        case 'Y':
          ms.TargetY = w.value;
          ms.LineWords.Y = true;
          break;
        case 'X':
          ms.TargetX = w.value;
          ms.LineWords.X = true;
          break;
        case 'T':
          ms.TWord = w.text;
          ms.LineWords.T = true;
          break;
        case 'M':
          ms.MCode = w.value;
          ms.LineWords.M = true;
          break;
        case 'G':
          // Trimmed of blanks and tabs: "G00<tab>X1" is a rapid.
          ms.MotionWord = Trim(std::string("G").append(w.text), true);
          ms.LineWords.G = true;
          break;
      }
    }
  }
  result.before = text.substr(0, firstWord);

  // 7. Pecks, on every parsed line: a Q below 1 (or none yet) means 1.
  ms.PecksLeft = ReadNumber(ms.QWord);
  if (ms.PecksLeft < 1) {
    ms.QWord = "1";
    ms.PecksLeft = 1;
  }

  // 8. An arc without centre offsets is a straight feed move, short words
  //    included. I and J are the registers, possibly from earlier lines.
  if (ms.MotionWord.IsArc() && ms.ArcI == 0 && ms.ArcJ == 0) ms.MotionWord = "G01";

  result.ok = !ms.LineBad;
  result.feedWord = ms.LineWords.F;
  result.toolChange = ms.MCode == 6;
  return result;
}

}  // namespace brimo
