// The G-code line parser: a line's text in, the registers (Registers) out,
// and a result value that says whether the line could be taken. The parser
// has no effect beyond the registers it is given: the line's tool change,
// feed set-up and displays, and its move, are the interpreting step's
// (ReadLine, DispatchMotion in dispatch.h; the drawing in draw_program.h).
//
// Dialect: twelve case-sensitive word letters G M T X Y Z A I J R F Q (an N
// word at the front is ignored); only the first occurrence of a letter
// counts. A word's text runs from its letter to the nearest word letter to
// its right. Text in parentheses (which nest) and after ';' is a comment.
// A line that starts with a character below '@' is skipped whole. Lengths are in
// the machine's length unit after the scale factors (no unit conversion);
// F is in length units per minute.
//
// Callers: the run loop (through ReadLine), the step preview and the drawing
// pass, each on its own registers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/interpreter/number_rule.h"
#include "core/machine/machine_state.h"
#include "core/machine/number_text.h"
#include "core/program/comment_rule.h"

namespace brimo {

class Window;

// `line` with its comments removed: text in parentheses (nested ones
// included, see CommentEnd) and everything from ';' on. An upper-case letter
// in a comment is never a word. The view points into `line` when no
// parenthesis needs cutting out, else into `buffer` (the caller's, reused
// from line to line so nothing is allocated per line).
std::string_view WithoutComments(std::string_view line, std::string& buffer);
std::string WithoutComments(std::string_view line);

// True when the parser skips `line` whole: after trimming blanks and tabs
// it is empty or starts with a character below '@' (a digit, '(', '/',
// '%', ';' ...). Such a line reads none of its words.
bool LineIsSkipped(std::string_view line);

// One word of a line as the parser finds it: its letter and the text after
// it up to the nearest word letter on its right (comments removed).
struct LineWord {
  char letter = 0;
  std::string text;
};
// The words of `line` in the order they stand (first occurrence of each word
// letter only), exactly as ParseLine takes them; none for a skipped line.
std::vector<LineWord> WordsOfLine(std::string_view line);

// NumberText (the feed displays' number form) comes from machine/number_text.h.

// The four scale factors (feed, X, Y, Z) as numbers. The caller reads them
// once per line (a run reads them live at each line, so a factor changed
// meanwhile acts from the next line on).
struct ScaleValues {
  double feed = 1, x = 1, y = 1, z = 1;
};
ScaleValues ReadScaleFactors(Window& win);

// What the parse of one line found, beyond the registers it changed.
struct LineResult {
  bool ok = true;           // false: the line is bad (regs.LineBad, regs.LineBadReason)
  bool skipped = false;     // the skip rule read none of its words
  bool feedWord = false;    // it carried an F word (taken)
  bool toolChange = false;  // it asks for a tool (M6)
  std::string before;       // the text before its first word (the trimmed line when skipped)
};

// Parses one line into `regs`. Resets per line (M code, line start = target,
// drilling state, LineWords, the bad mark), takes the words scaled by
// `scale`, applies the pecks rule and the arc-without-centre rule. Fills
// regs.LineWords with what the line carried (cleared for a skipped line).
// A line holding a number that is not finite, a move of more than 2^31 steps
// on an axis (by the step sizes of `steps`), more than 10 000 pecks, or a
// drilling line whose R is not above its depth (DrillHeightsUsable) is
// marked bad (regs.LineBad, regs.LineBadReason, result.ok false) and none of
// its words is taken.
LineResult ParseLine(std::string_view text, const ScaleValues& scale, const DerivedSettings& steps,
                     Registers& regs);

}  // namespace brimo
