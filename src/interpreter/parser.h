// The G-code line parser: LineText in, word registers of MachineState out.
#pragma once

#include <string>
#include <string_view>

namespace brimo {

struct Core;

// Leading number of a text: blanks, tabs and line feeds skipped anywhere;
// optional sign, digits with one period, optional exponent (E or D directly
// after the digits), "&H"/"&O" prefixes. No digits give 0. Locale-free.
double ReadNumber(std::string_view text);

// Parses ms.LineText (consumed). Resets per line, takes the words, applies
// the scale factors (read through the window at every word), the pecks rule,
// the arc-without-centre rule, the tool change (unless PlotOnly) and finally
// SetFeed for every line that is not skipped.
void ParseLine(Core& c);

}  // namespace brimo
