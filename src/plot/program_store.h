// ProgramStore: the loaded program as text entries 1..LineCount (entry 0 is
// never filled), plus the flags the loader and the drawing share. Grows with
// the entries read; never sized by the file's length in bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brimo {

struct ProgramStore {
  std::vector<std::string> ProgramLines{std::string()};  // index 0 unused
  long LineCount = 0;
  // Entry i as text; the entry after the last one (and any other index
  // outside 1..LineCount) reads as empty.
  const std::string& Entry(long i) const;
  void Clear() {
    ProgramLines.assign(1, std::string());
    LineCount = 0;
  }
};

// Splits file text into entries the way a sequential comma-delimited reader
// does: blanks before a field are skipped; a field starting with a double
// quote runs to the next double quote; any other field runs to the next
// comma or line end. A comma inside a comment ("(...)", parentheses
// nesting as the parser reads them, or after ";") does not split. An empty line gives an empty
// entry. Appends to `out`.
void SplitProgramText(std::string_view text, std::vector<std::string>& out);

// Reads `path` into `store` (replacing it). Returns false with `why` set in
// plain words when the file cannot be opened or read, is not a regular file
// (a folder, a pipe, a device: refused without opening it, so never waits)
// or is not a text program (NUL bytes, UTF-16); the store is then as it was.
// A UTF-8 byte order mark is dropped.
bool ReadProgramFile(const std::string& path, ProgramStore& store, std::string& why);

}  // namespace brimo
