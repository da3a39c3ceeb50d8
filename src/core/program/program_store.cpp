#include "core/program/program_store.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>

#include "core/machine/messages.h"
#include "core/program/comment_rule.h"

namespace brimo {

// Field reader of comma-delimited program text.
//
//   blanks skipped   field                     ends at
//   ----------       -----------------------   --------------------------------
//   "   "            "quoted text"             the closing quote (rest of the
//                                              field up to , or line end dropped)
//   "   "            G01 X1 (a, b) ; c, d      a comma outside a comment, or
//                                              the line end
//
// A comment is "(" up to the ")" that closes it (parentheses nest, as the
// parser reads them) or ";" up to the line end; commas inside it do not split, so a CAM comment
// such as "(Feed rate, DEFAULT)" stays one entry instead of leaving "DEFAULT)" for the parser to
// read as a feed of 0. Line ends: LF, CR LF and a lone CR. A line break at the very end of the text
// ends the last field and adds no entry; an empty line is an empty entry.
namespace {

// Calls field(begin, end) for every entry of `text`, in order (positions in
// `text`).
template <class Field>
void SplitFields(std::string_view text, Field&& field) {
  const size_t n = text.size();
  size_t i = 0;
  auto atLineEnd = [&](size_t k) { return text[k] == '\n' || text[k] == '\r'; };
  // Steps over the line break at k (which must be one).
  auto skipLineEnd = [&](size_t k) {
    if (text[k] == '\r' && k + 1 < n && text[k + 1] == '\n') return k + 2;
    return k + 1;
  };

  size_t lineEnd = 0;  // end of the line i stands on, once a comment needed it
  while (i < n) {
    while (i < n && text[i] == ' ') ++i;  // blanks before a field
    if (i < n && text[i] == '"') {
      // Quoted field: up to the next quote on the same line; without one,
      // up to the line end (a stray quote never swallows later lines).
      size_t start = ++i;
      while (i < n && text[i] != '"' && !atLineEnd(i)) ++i;
      field(start, i);
      if (i < n && text[i] == '"') ++i;
      while (i < n && text[i] != ',' && !atLineEnd(i)) ++i;  // dropped
    } else {
      const size_t start = i;
      while (i < n && !atLineEnd(i)) {
        const char ch = text[i];
        if (ch == '(') {
          // The comment ends where the parser ends it (parentheses nest),
          // at the latest at the line end (found once per line).
          if (lineEnd <= i) {
            lineEnd = i;
            while (lineEnd < n && !atLineEnd(lineEnd)) ++lineEnd;
          }
          i += CommentEnd(text.substr(i, lineEnd - i), 0);
          continue;
        }
        if (ch == ';') {
          while (i < n && !atLineEnd(i)) ++i;
          break;
        }
        if (ch == ',') break;
        ++i;
      }
      field(start, i);
    }
    if (i >= n) break;
    // The field ended at a comma or a line end; either is consumed. Text
    // that ends here yields no further (empty) entry.
    i = (text[i] == ',') ? i + 1 : skipLineEnd(i);
  }
}

}  // namespace

void SplitProgramText(std::string_view text, std::vector<std::string>& out) {
  SplitFields(text, [&](size_t b, size_t e) { out.emplace_back(text.substr(b, e - b)); });
}

void ProgramStore::Changed() {
  // One counter for every store of the process, on any thread, so two
  // stores filled apart never share a number.
  static std::atomic<uint64_t> last{0};
  generation_ = last.fetch_add(1, std::memory_order_relaxed) + 1;
}

void ProgramStore::Clear() {
  text_.reset();
  LineCount = 0;
  Changed();
}

ProgramStore::Text& ProgramStore::Own() {
  if (!text_) {
    text_ = std::make_shared<Text>();
  } else if (text_.use_count() > 1) {
    // Shared with a copy (perhaps read on another thread): never changed
    // in place.
    text_ = std::make_shared<Text>(*text_);
  }
  return *text_;
}

void ProgramStore::Append(std::string_view line) {
  Text& t = Own();
  t.spans.push_back(
      Span{static_cast<uint32_t>(t.buffer.size()), static_cast<uint32_t>(line.size())});
  t.buffer.append(line);
  LineCount = static_cast<long>(t.spans.size());
  Changed();
}

void ProgramStore::Assign(const std::vector<std::string>& lines) {
  Clear();
  for (const std::string& line : lines) Append(line);
}

bool ProgramStore::AssignText(std::string text) {
  if (text.size() >= UINT32_MAX) return false;
  auto t = std::make_shared<Text>();
  // Room for one entry a line (commas may add more): the entries of a large
  // program are not copied again and again as they grow.
  size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  if (lines == 0) lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\r'));
  t->spans.reserve(lines + 1);
  SplitFields(text, [&](size_t b, size_t e) {
    t->spans.push_back(Span{static_cast<uint32_t>(b), static_cast<uint32_t>(e - b)});
  });
  t->spans.shrink_to_fit();
  t->buffer = std::move(text);
  text_ = std::move(t);
  LineCount = static_cast<long>(text_->spans.size());
  Changed();
  return true;
}

std::vector<std::string> ProgramStore::ProgramLines() const {
  std::vector<std::string> out(1);
  for (long i = 1; i <= LineCount; ++i) out.emplace_back(Entry(i));
  return out;
}

namespace {

std::string ErrnoText(int err) {
  if (err == 0) return "unknown cause";
  return std::generic_category().message(err);
}

// A program is 8-bit text: any encoding of accented letters in comments is
// fine, but a NUL byte never stands in one. UTF-16 and UTF-32 text (with or
// without a byte order mark) holds NUL bytes for every ASCII character, so a
// G-code line would read as words separated by NULs. Strips a UTF-8 byte
// order mark, which would otherwise stand before the first word. Returns the
// reason when the text is refused, else empty.
std::string TakeProgramText(std::string& text) {
  const auto starts = [&](std::string_view mark) { return text.rfind(mark, 0) == 0; };
  if (starts("\xFF\xFE") || starts("\xFE\xFF")) return msg::kProgramUtf16;
  if (text.find('\0') != std::string::npos) return msg::kProgramNulByte;
  if (starts("\xEF\xBB\xBF")) text.erase(0, 3);
  return {};
}

}  // namespace

bool ReadProgramFile(const std::string& path, ProgramStore& store, std::string& why) {
  why.clear();
  // The path is UTF-8 text (as the window gives it), also on Windows.
  const std::filesystem::path fsPath(
      std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
  // Looked at before opening: opening a pipe would wait for a writer, and a
  // device need never end. A missing file is left to the open's own reason.
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(fsPath, ec);
  if (std::filesystem::is_directory(st)) {
    why = std::string(msg::kProgramNotOpened) + path + msg::kProgramIsFolder;
    return false;
  }
  if (std::filesystem::exists(st) && !std::filesystem::is_regular_file(st)) {
    why = std::string(msg::kProgramNotOpened) + path + msg::kProgramNotRegular;
    return false;
  }
  errno = 0;
  std::ifstream in(fsPath, std::ios::binary);
  if (!in) {
    why = std::string(msg::kProgramNotOpened) + path + " (" + ErrnoText(errno) + ").";
    return false;
  }
  try {
    // Read whole, in chunks: nothing is sized by the file's length.
    std::string text;
    // The file's size only as a hint (the text is kept as read, so room
    // for exactly that much is what it needs); the read goes to the end.
    if (const auto size = std::filesystem::file_size(fsPath, ec); !ec && size < UINT32_MAX)
      text.reserve(static_cast<size_t>(size));
    char chunk[1 << 16];
    errno = 0;
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
      text.append(chunk, static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) {
      why = std::string(msg::kProgramNotRead) + path + " (" + ErrnoText(errno) + ").";
      return false;
    }
    if (std::string refused = TakeProgramText(text); !refused.empty()) {
      why = std::string(msg::kProgramNotText) + path + refused;
      return false;
    }
    // Only a program read whole replaces the loaded one; the store grows
    // with the entries read and keeps the text as read.
    ProgramStore loaded;
    if (!loaded.AssignText(std::move(text))) {
      why = std::string(msg::kProgramNotRead) + path + msg::kProgramTooLarge;
      return false;
    }
    store = std::move(loaded);
  } catch (const std::bad_alloc&) {
    why = std::string(msg::kProgramNotRead) + path + msg::kProgramTooLarge;
    return false;
  }
  return true;
}

}  // namespace brimo
