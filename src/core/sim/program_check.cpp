#include "core/sim/program_check.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/interpreter/dispatch.h"
#include "core/interpreter/parser.h"
#include "core/machine/machine_state.h"
#include "core/machine/messages.h"
#include "core/plot/toolpath.h"
#include "core/program/program_store.h"
#include "core/sim/sim_text.h"

namespace brimo {

namespace {

using sim_text::Quoted;
using sim_text::Trimmed;

// ---- What a line's text says ----------------------------------------------------
//
// The dialect stays as it is (a line that starts with a comment or a number
// is skipped, letters are case-sensitive, a non-number reads as 0, M2 and
// M30 end nothing); the check only names the lines these rules catch.

constexpr std::string_view kWordLetters = "GMTXYZAIJRFQ";
// The words whose text is read as a number (A is not used, T and G are text).
constexpr std::string_view kNumberWords = "MXYZIJRFQ";

bool IsWordLetter(char ch, bool lowerToo) {
  if (kWordLetters.find(ch) != std::string_view::npos) return true;
  return lowerToo && ch >= 'a' && ch <= 'z' &&
         kWordLetters.find(static_cast<char>(ch - 'a' + 'A')) != std::string_view::npos;
}
bool IsAsciiLetter(char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }

// Word-like pieces of comment-free text: a word letter (upper-case, or also
// lower-case) that no other letter precedes, followed (blanks allowed) by a
// digit, a sign or a period, with the characters up to the next blank.
std::vector<std::string> WordLikePieces(std::string_view text, bool upper, bool lower) {
  std::vector<std::string> out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const bool isUpper = IsWordLetter(ch, false);
    if (!((upper && isUpper) || (lower && !isUpper && IsWordLetter(ch, true)))) continue;
    if (i > 0 && IsAsciiLetter(text[i - 1])) continue;
    size_t k = i + 1;
    while (k < text.size() && (text[k] == ' ' || text[k] == '\t')) ++k;
    if (k >= text.size()) continue;
    const char next = text[k];
    if (!((next >= '0' && next <= '9') || next == '.' || next == '+' || next == '-')) continue;
    while (k < text.size() && text[k] != ' ' && text[k] != '\t') ++k;
    out.emplace_back(text.substr(i, k - i));
  }
  return out;
}

std::string Joined(const std::vector<std::string>& pieces) {
  std::string s;
  for (const std::string& p : pieces) s += (s.empty() ? "" : " ") + p;
  return s;
}

// True when a comment in parentheses on `line` holds a '(' of its own.
bool HasNestedComment(std::string_view line) {
  for (size_t i = 0; i < line.size();) {
    if (line[i] == ';') return false;
    if (line[i] != '(') {
      ++i;
      continue;
    }
    const size_t end = CommentEnd(line, i);
    if (line.substr(i + 1, end - i - 1).find('(') != std::string_view::npos) return true;
    i = end;
  }
  return false;
}

// The findings of one line's text on its own (no registers, no other line).
std::vector<LineFinding> TextFindings(std::string_view line) {
  std::vector<LineFinding> out;
  if (HasNestedComment(line))
    out.push_back({Finding::Kind::kNestedComment, msg::kCheckNestedComment});
  if (LineIsSkipped(line)) {
    const std::vector<std::string> words = WordLikePieces(WithoutComments(line), true, true);
    if (!words.empty())
      out.push_back({Finding::Kind::kSkippedWords, msg::kCheckSkippedWords + Joined(words)});
    return out;
  }
  for (const LineWord& w : WordsOfLine(line)) {
    if (kNumberWords.find(w.letter) == std::string_view::npos || HoldsNumber(w.text)) continue;
    out.push_back(
        {Finding::Kind::kNotANumber, Quoted(w.letter + Trimmed(w.text)) + msg::kCheckNotANumber});
  }
  // Most lines hold no lower-case letter at all: no comment-free copy needed.
  if (std::none_of(line.begin(), line.end(), [](char ch) { return ch >= 'a' && ch <= 'z'; }))
    return out;
  const std::vector<std::string> lower = WordLikePieces(WithoutComments(line), false, true);
  if (!lower.empty())
    out.push_back({Finding::Kind::kLowerCase, msg::kCheckLowerCase + Joined(lower)});
  return out;
}

// M2 or M30 on a line that is read (the M word's value).
bool EndsProgram(std::string_view line) {
  for (const LineWord& w : WordsOfLine(line)) {
    if (w.letter != 'M') continue;
    const double m = ReadNumber(w.text);
    return m == 2 || m == 30;
  }
  return false;
}

}  // namespace

// The text of every line, before the run: what the dialect will not read.
void CheckText(const ProgramStore& program, std::vector<Finding>& findings) {
  long lastRead = 0;  // the last line that is read and holds a word
  for (long i = program.LineCount; i >= 1 && lastRead == 0; --i)
    if (!WordsOfLine(program.Entry(i)).empty()) lastRead = i;
  for (long i = 1; i <= program.LineCount; ++i) {
    const std::string line(program.Entry(i));
    for (LineFinding& f : TextFindings(line))
      findings.push_back({i, f.kind, line, std::move(f.message)});
    if (i < lastRead && EndsProgram(line))
      findings.push_back({i, Finding::Kind::kEndBeforeLast, line, msg::kCheckEndBeforeLast});
  }
}

// The check of the line just parsed, on the registers the dispatch will act on.
std::vector<LineFinding> Examine(const MachineState& ms) {
  std::vector<LineFinding> out;
  const auto& w = ms.LineWords;
  const Motion& m = ms.MotionWord;
  if (ms.LineBad) {
    out.push_back({Finding::Kind::kBadLine, msg::kCheckBadLine + ms.LineBadReason});
    return out;
  }
  // An unknown G word (G21, G90, "G90 G01") stops motion until the next
  // motion word (deliberate): coordinates under it are not moved to.
  if ((w.X || w.Y || w.Z) && m.Kind() == MotionKind::kNone) {
    out.push_back({Finding::Kind::kNoMotion, msg::kCheckNoMotion + Quoted(m.Text())});
  }
  if (m.IsArc() && ArcRequested(ms)) {
    // The centre and radius the arc set-up takes; the loop follows the
    // circle and the closing straight move jumps to the end point.
    const double cx = ms.LineStartX + ms.ArcI, cy = ms.LineStartY + ms.ArcJ;
    const double r = std::hypot(ms.ArcI, ms.ArcJ);
    const double d = std::hypot(ms.TargetX - cx, ms.TargetY - cy);
    const double off = std::fabs(d - r);
    if (r > 0 && std::isfinite(off) && off > ms.FinestStepXY) {
      out.push_back({Finding::Kind::kArcOffCircle, msg::kCheckArcOff + FormatPosition(off) +
                                                       msg::kCheckArcOffEnd +
                                                       FormatPosition(ms.FinestStepXY) + ")"});
    }
  }
  if (m.Kind() == MotionKind::kDrill) {
    const std::string z = Trimmed(ms.ZWord), r = Trimmed(ms.RWord);
    auto detail = [](const std::string& kept, char letter) {
      return kept.empty() ? std::string(msg::kCheckDrillNever)
                          : msg::kCheckDrillEarlier + std::string(1, letter) + kept;
    };
    if (w.G) {
      // The line that starts the cycle should say how deep and where to.
      if (!w.Z)
        out.push_back({Finding::Kind::kDrillWithoutZ, msg::kCheckDrillNoZ + detail(z, 'Z')});
      if (!w.R)
        out.push_back({Finding::Kind::kDrillWithoutR, msg::kCheckDrillNoR + detail(r, 'R')});
    } else if (DrillRequested(ms)) {
      // A modal hole: the values of the cycle's line are used; none at all?
      if (z.empty())
        out.push_back({Finding::Kind::kDrillWithoutZ, msg::kCheckDrillNoZ + detail(z, 'Z')});
      if (r.empty())
        out.push_back({Finding::Kind::kDrillWithoutR, msg::kCheckDrillNoR + detail(r, 'R')});
    }
  }
  return out;
}

const char* FindingKindName(Finding::Kind kind) {
  switch (kind) {
    case Finding::Kind::kNoMotion:
      return "no_motion";
    case Finding::Kind::kBadLine:
      return "bad_line";
    case Finding::Kind::kArcOffCircle:
      return "arc_off_circle";
    case Finding::Kind::kDrillWithoutZ:
      return "drill_without_z";
    case Finding::Kind::kDrillWithoutR:
      return "drill_without_r";
    case Finding::Kind::kZeroFeed:
      return "zero_feed";
    case Finding::Kind::kRefused:
      return "refused";
    case Finding::Kind::kSkippedWords:
      return "skipped_words";
    case Finding::Kind::kNotANumber:
      return "not_a_number";
    case Finding::Kind::kLowerCase:
      return "lower_case";
    case Finding::Kind::kEndBeforeLast:
      return "end_before_last";
    case Finding::Kind::kNestedComment:
      return "nested_comment";
  }
  return "unknown";
}

long FindingLines(const std::vector<Finding>& findings) {
  std::set<long> lines;
  for (const Finding& f : findings) lines.insert(f.line);
  return static_cast<long>(lines.size());
}

}  // namespace brimo
