// Numbers as the displays and messages show them. Toolkit-free; used by the
// step engine's messages and the interpreter's feed displays alike.
#pragma once

#include <string>

namespace brimo {

// A number as plain text: period decimal point, at most 15 significant
// digits, no trailing zeros ("150", "37.5"). Used for the feed displays.
std::string NumberText(double v);

}  // namespace brimo
