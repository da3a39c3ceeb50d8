#include "core/interpreter/parser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "core/interpreter/drill.h"
#include "core/machine/messages.h"
#include "core/machine/window.h"

namespace brimo {

namespace {

// Beyond these a count is a typing error; in double precision a count near
// 2^53 would also never reach zero when counted down.
constexpr double kMaxSteps = 2147483648.0;  // 2^31 steps on one axis
constexpr double kMaxPecks = 10000;

// `s` without the blanks at either end (tabs and line ends too when
// `tabsToo`); a view into `s`.
std::string_view Trim(std::string_view s, bool tabsToo) {
  auto blank = [&](char ch) {
    return ch == ' ' || (tabsToo && (ch == '\t' || ch == '\r' || ch == '\n'));
  };
  size_t b = 0, e = s.size();
  while (b < e && blank(s[b])) ++b;
  while (e > b && blank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// The word letters in the order their words are taken. Taking them in this
// order is what makes a line written G M T X Y Z A I J R F Q read each word's
// own text; the nearest-letter rule below gives the same for every order.
constexpr std::array<char, 12> kTakeOrder{'Q', 'F', 'R', 'J', 'I', 'A',
                                          'Z', 'Y', 'X', 'T', 'M', 'G'};
// Each word's place in kTakeOrder (and in the parser's table of words).
enum WordIndex : size_t { kQ, kF, kR, kJ, kI, kA, kZ, kY, kX, kT, kM, kG, kWordCount };
static_assert(kTakeOrder[kQ] == 'Q' && kTakeOrder[kF] == 'F' && kTakeOrder[kR] == 'R' &&
              kTakeOrder[kJ] == 'J' && kTakeOrder[kI] == 'I' && kTakeOrder[kA] == 'A' &&
              kTakeOrder[kZ] == 'Z' && kTakeOrder[kY] == 'Y' && kTakeOrder[kX] == 'X' &&
              kTakeOrder[kT] == 'T' && kTakeOrder[kM] == 'M' && kTakeOrder[kG] == 'G' &&
              kWordCount == kTakeOrder.size());

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
//
// One scan of the line: every character is looked up in a table of the word
// letters; the first occurrence of each is kept, in the order they stand,
// and each word's text ends where the next kept letter stands.
size_t FindWords(std::string_view text, std::array<Word, 12>& words) {
  static constexpr std::array<uint8_t, 256> kSlot = [] {
    std::array<uint8_t, 256> slot{};  // 0: not a word letter; else index + 1
    for (size_t k = 0; k < kTakeOrder.size(); ++k)
      slot[static_cast<unsigned char>(kTakeOrder[k])] = static_cast<uint8_t>(k + 1);
    return slot;
  }();
  std::array<uint8_t, 12> inLineOrder{};  // indices into `words`, left to right
  size_t count = 0;
  for (size_t i = 0; i < text.size() && count < words.size(); ++i) {
    const uint8_t slot = kSlot[static_cast<unsigned char>(text[i])];
    if (slot == 0 || words[slot - 1].found) continue;
    Word& w = words[slot - 1];
    w.found = true;
    w.pos = i;
    inLineOrder[count++] = static_cast<uint8_t>(slot - 1);
  }
  for (size_t k = 0; k < count; ++k) {
    Word& w = words[inLineOrder[k]];
    const size_t end = k + 1 < count ? words[inLineOrder[k + 1]].pos : text.size();
    w.text = text.substr(w.pos + 1, end - w.pos - 1);
  }
  return count > 0 ? words[inLineOrder[0]].pos : text.size();
}

}  // namespace

std::string_view WithoutComments(std::string_view line, std::string& buffer) {
  size_t first = 0;  // a plain loop: find_first_of looks up each character in the set
  while (first < line.size() && line[first] != '(' && line[first] != ';') ++first;
  if (first == line.size()) return line;
  if (line[first] == ';') return line.substr(0, first);
  buffer.assign(line.substr(0, first));
  for (size_t i = first; i < line.size();) {
    const char ch = line[i];
    if (ch == '(') {
      i = CommentEnd(line, i);
      continue;
    }
    if (ch == ';') break;
    buffer += ch;
    ++i;
  }
  return buffer;
}

std::string WithoutComments(std::string_view line) {
  std::string buffer;
  return std::string(WithoutComments(line, buffer));
}

namespace {
// The skip rule on a line already trimmed of blanks and tabs.
bool TrimmedLineIsSkipped(std::string_view trimmed) {
  return trimmed.empty() || static_cast<unsigned char>(trimmed[0]) < 64;
}

// The motion word a G word sets: "G" and its text (the two stand together
// in the comment-free line), trimmed of blanks and tabs, so "G00<tab>X1" is
// a rapid. A view into the line.
std::string_view MotionWordText(std::string_view text, size_t letterPos, std::string_view word) {
  return Trim(text.substr(letterPos, word.size() + 1), true);
}
}  // namespace

bool LineIsSkipped(std::string_view line) { return TrimmedLineIsSkipped(Trim(line, true)); }

std::vector<LineWord> WordsOfLine(std::string_view line) {
  std::vector<LineWord> out;
  if (LineIsSkipped(line)) return out;
  std::string buffer;
  const std::string_view text = WithoutComments(Trim(line, true), buffer);
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
  ms.DrillCycleActive = false;
  ms.LineWords = {};
  ms.LineBad = false;
  ms.LineBadReason.clear();

  // 2. Trim blanks and tabs: a tab-indented line is read, not skipped.
  const std::string_view line = Trim(lineText, true);

  // 3. Skip test: empty, or a first character below '@' (digit, '%', '(',
  //    '/', ';' ...). Such a line changes nothing else; SetFeed is not run.
  //    Deliberate (programs rely on it); the program check names every
  //    skipped line that carries words.
  if (TrimmedLineIsSkipped(line)) {
    result.skipped = true;
    result.before = line;
    return result;
  }

  // 4. Words: first occurrence of each letter, case-sensitive, outside
  //    comments. A line with a comment inside is cut into this thread's
  //    buffer, which keeps its room from line to line (the parser runs on
  //    the window, the motion and the estimate's threads).
  thread_local std::string uncommented;
  const std::string_view text = WithoutComments(line, uncommented);
  std::array<Word, kWordCount> words;  // indexed like kTakeOrder
  const size_t firstWord = FindWords(text, words);

  // 5. Check: values in the order the words are taken, each scaled by its
  //    factor. Nothing is stored until the whole line is known to
  //    be usable, so a bad line changes no word register.
  // The reason a line is bad, written into the register's own text (which
  // keeps its room): empty while the line is good; only the first counts.
  std::string& bad = ms.LineBadReason;
  auto fail = [&](size_t k, const char* why) {
    if (bad.empty()) bad.assign(1, kTakeOrder[k]).append(Trim(words[k].text, true)).append(why);
  };
  auto tooManySteps = [](double from, double to, double unitsPerStep) {
    return unitsPerStep > 0 && std::fabs(to - from) / unitsPerStep > kMaxSteps;
  };
  for (size_t k = 0; k < kWordCount; ++k) {
    Word& w = words[k];
    if (!w.found || k == kA || k == kT || k == kG) continue;
    const double raw = ReadNumber(w.text);
    switch (k) {
      case kF:
        w.value = raw * scale.feed;
        break;
      case kI:
      case kX:
        w.value = raw * scale.x;
        break;
      case kJ:
      case kY:
        w.value = raw * scale.y;
        break;
      case kZ:
      case kR:
        w.value = raw * scale.z;
        break;
      default:
        w.value = raw;  // Q, M
    }
    if (!std::isfinite(raw) || !std::isfinite(w.value)) {
      fail(k, msg::kNotFinite);
      continue;
    }
    switch (k) {
      case kQ:
        if (raw > kMaxPecks) fail(k, msg::kTooManyPecks);
        break;
      case kX:
        if (tooManySteps(ms.LineStartX, w.value, steps.UnitsPerStepX)) fail(k, msg::kTooManySteps);
        break;
      case kY:
        if (tooManySteps(ms.LineStartY, w.value, steps.UnitsPerStepY)) fail(k, msg::kTooManySteps);
        break;
      case kZ:
      case kR:  // the retract height is a Z target of the drilling cycle
        if (tooManySteps(ms.LineStartZ, w.value, steps.UnitsPerStepZ)) fail(k, msg::kTooManySteps);
        break;
      case kI:  // a centre that far away makes an arc of as many steps
        if (tooManySteps(0, w.value, steps.UnitsPerStepX)) fail(k, msg::kTooManySteps);
        break;
      case kJ:
        if (tooManySteps(0, w.value, steps.UnitsPerStepY)) fail(k, msg::kTooManySteps);
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
    const Word& g = words[kG];
    const MotionKind motion =
        g.found ? MotionKindOf(MotionWordText(text, g.pos, g.text)) : ms.MotionWord.Kind();
    const bool asksForHole =
        words[kX].found || words[kY].found || words[kZ].found || words[kR].found || words[kQ].found;
    if (motion == MotionKind::kDrill && asksForHole) {
      const Word& zw = words[kZ];
      const Word& rw = words[kR];
      const double z = zw.found ? zw.value : ReadNumber(ms.ZWord) * scale.z;
      const double r = rw.found ? rw.value : ReadNumber(ms.RWord) * scale.z;
      if (!DrillHeightsUsable(z, r)) {
        auto shown = [](std::string_view t) { return t.empty() ? std::string_view("0") : t; };
        const std::string_view rText = rw.found ? rw.text : std::string_view(ms.RWord);
        const std::string_view zText = zw.found ? zw.text : std::string_view(ms.ZWord);
        bad.assign("R").append(shown(Trim(rText, true))).append(" Z");
        bad.append(shown(Trim(zText, true))).append(msg::kDrillRNotAbove);
      }
    }
  }

  if (!bad.empty()) {
    // Refused as a whole: the run stops before this line, nothing moves for
    // it, and the registers keep what the previous lines left.
    ms.LineBad = true;
  } else {
    // 6. Take the words, in the order Q F R J I A Z Y X T M G (the A word is
    //    located so it ends the word before it; it is not used). The texts
    //    are assigned into the registers' own strings, keeping their room.
    if (const Word& w = words[kQ]; w.found) {
      ms.QWord = w.text;
      ms.LineWords.Q = true;
    }
    if (const Word& w = words[kF]; w.found) {
      ms.ProgramFeed = w.value;
      ms.LineWords.F = true;
    }
    if (const Word& w = words[kR]; w.found) {
      ms.RWord = w.text;
      ms.LineWords.R = true;
    }
    if (const Word& w = words[kJ]; w.found) {
      ms.ArcJ = w.value;
      ms.LineWords.J = true;
    }
    if (const Word& w = words[kI]; w.found) {
      ms.ArcI = w.value;
      ms.LineWords.I = true;
    }
    if (const Word& w = words[kZ]; w.found) {
      ms.ZWord = w.text;
      ms.TargetZ = w.value;
      ms.LineWords.Z = true;
    }
    if (const Word& w = words[kY]; w.found) {
      ms.TargetY = w.value;
      ms.LineWords.Y = true;
    }
    if (const Word& w = words[kX]; w.found) {
      ms.TargetX = w.value;
      ms.LineWords.X = true;
    }
    if (const Word& w = words[kT]; w.found) {
      ms.TWord = w.text;
      ms.LineWords.T = true;
    }
    if (const Word& w = words[kM]; w.found) {
      ms.MCode = w.value;
      ms.LineWords.M = true;
    }
    if (const Word& w = words[kG]; w.found) {
      ms.MotionWord.Set(MotionWordText(text, w.pos, w.text));
      ms.LineWords.G = true;
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
  if (ms.MotionWord.IsArc() && ms.ArcI == 0 && ms.ArcJ == 0) ms.MotionWord.Set("G01");

  result.ok = !ms.LineBad;
  result.feedWord = ms.LineWords.F;
  result.toolChange = ms.MCode == 6;
  return result;
}

}  // namespace brimo
