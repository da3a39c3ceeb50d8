// The G-code line parser: LineText in, word registers of MachineState out.
//
// Dialect: twelve case-sensitive word letters G M T X Y Z A I J R F Q (an N
// word at the front is ignored); only the first occurrence of a letter
// counts. A word's text runs from its letter to the nearest word letter to
// its right. Text in parentheses (which nest) and after ';' is a comment.
// A line that starts with a character below '@' is skipped whole. Lengths are in
// the machine's length unit after the scale factors (no unit conversion);
// F is in length units per minute.
//
// Callers: the run loop, the step preview and the drawing pass, each after
// setting ms.LineText to one program entry.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "interpreter/number_rule.h"

namespace brimo {

struct Core;

// End of the comment in parentheses that opens at line[open] (a '('): the
// index just after the ')' that closes it. Parentheses nest, so
// "(CUT (ROUGH) AT F300)" is one comment, and no word inside it is read. A
// comment not closed on its line runs to the line's end (line.size()).
size_t CommentEnd(std::string_view line, size_t open);

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

// A number as plain text: period decimal point, at most 15 significant
// digits, no trailing zeros ("150", "37.5"). Used for the feed displays.
std::string NumberText(double v);

// Parses ms.LineText (consumed: afterwards it holds the text before the
// first word). Resets per line, takes the words, applies the scale factors
// (read through the window at every word), the pecks rule, the
// arc-without-centre rule, the tool change (unless PlotOnly) and finally
// SetFeed for every line that is not skipped. Fills ms.LineWords with what
// the line carried (cleared for a skipped line). A line holding a number
// that is not finite, a move of more than 2^31 steps on an axis, more than
// 10 000 pecks, or a drilling line whose R is not above its depth
// (DrillHeightsUsable) is marked bad (ms.LineBad, ms.LineBadReason) and none
// of its words is taken.
void ParseLine(Core& c);

}  // namespace brimo
