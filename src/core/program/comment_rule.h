// The comment rule of a program line, shared by the program store (a comma
// inside a comment does not split entries) and the parser (no word inside a
// comment is read). Lowest layer of the program's text: includes nothing of
// the interpreter.
#pragma once

#include <cstddef>
#include <string_view>

namespace brimo {

// End of the comment in parentheses that opens at line[open] (a '('): the
// index just after the ')' that closes it. Parentheses nest, so
// "(CUT (ROUGH) AT F300)" is one comment, and no word inside it is read. A
// comment not closed on its line runs to the line's end (line.size()).
inline size_t CommentEnd(std::string_view line, size_t open) {
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

}  // namespace brimo
