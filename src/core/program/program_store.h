// ProgramStore: the loaded program as text entries 1..LineCount (entry 0 is
// never filled), held as one text buffer and the place of every entry in it.
// A file's text is kept as read and its entries point into it, so loading
// copies nothing per line and a million-line program costs its bytes plus
// 8 bytes an entry.
//
// Copies share the text: the buffer is immutable once shared, and a copy
// that is changed (Append, Assign) first takes a buffer of its own. So the
// run-time estimate and the simulation take the loaded program by value at
// no cost, and may read it on another thread while the window loads the
// next one. Grows with the entries read; never sized by the file's length
// in bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brimo {

struct ProgramStore {
 public:
  // Number of entries loaded, which is also the index of the last one; 0
  // means no program. Kept by the functions below: read it, do not write it.
  long LineCount = 0;

  // Entry i as text; the entry after the last one (and any other index
  // outside 1..LineCount) reads as empty. Valid until the store changes.
  std::string_view Entry(long i) const {
    if (i < 1 || i > LineCount || !text_ || static_cast<size_t>(i) > text_->spans.size()) return {};
    const Span& s = text_->spans[static_cast<size_t>(i - 1)];
    return std::string_view(text_->buffer).substr(s.begin, s.size);
  }

  // Replaces the program by `lines` (entries 1..lines.size()).
  void Assign(const std::vector<std::string>& lines);
  // Adds one entry after the last.
  void Append(std::string_view line);
  // Replaces the program by the entries of file text (see SplitProgramText);
  // the text becomes the buffer. False, and the store as it was, when the
  // text is too large to be addressed (4 GiB and more).
  bool AssignText(std::string text);
  void Clear();

  // The text's generation: every change above gives the store a number no
  // text of this process had before (0: never filled), and a copy keeps its
  // store's. Equal generations are equal texts, so a redraw asks whether the
  // program changed without reading it.
  uint64_t Generation() const { return generation_; }

  // Entries 0..LineCount as separate texts (entry 0 empty): for tests and
  // comparisons, not for walking a large program.
  std::vector<std::string> ProgramLines() const;
  // Entries the store has room for without growing.
  size_t EntryCapacity() const { return text_ ? text_->spans.capacity() : 0; }

 private:
  // Where one entry stands in the buffer (bytes).
  struct Span {
    uint32_t begin = 0;
    uint32_t size = 0;
  };
  struct Text {
    std::string buffer;
    std::vector<Span> spans;  // entry i is spans[i - 1]
  };
  // The text to change: this store's own (a shared one is copied first).
  Text& Own();

  // Shared by the copies of this store; changed only while not shared.
  std::shared_ptr<Text> text_;
  uint64_t generation_ = 0;
  // A generation no text had before: after every change.
  void Changed();
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
