// The G-code line parser: LineText in, word registers of MachineState out.
//
// Dialect: twelve case-sensitive word letters G M T X Y Z A I J R F Q (an N
// word at the front is ignored); only the first occurrence of a letter
// counts. A word's text runs from its letter to the nearest word letter to
// its right. Text in parentheses and after ';' is a comment. Lengths are in
// the machine's length unit after the scale factors (no unit conversion);
// F is in length units per minute.
//
// Callers: the run loop, the step preview and the drawing pass, each after
// setting ms.LineText to one program entry.
#pragma once

#include <string>
#include <string_view>

namespace brimo {

struct Core;

// Leading number of a text: blanks, tabs and line feeds skipped anywhere;
// optional sign, digits with one period, optional exponent (E or D directly
// after the digits, never after a blank), "&H"/"&O" prefixes for hexadecimal
// and octal. No digits give 0. The period is the decimal point whatever the
// locale. May return an infinity ("1E999"); callers decide what that means.
double ReadNumber(std::string_view text);

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
