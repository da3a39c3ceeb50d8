// Registers: the modal state a G-code line is read against and leaves behind
// (motion word, targets, line start, centre offsets, feed, drilling words),
// as one value. The parser fills it, the interpreting step turns it into
// moves, and whoever needs the registers of another walk through the program
// (the drawing, the step preview, a move that is not a program line) keeps
// its own copy or saves and restores this value.
//
// Lives beside the machine record because MachineState holds the run's own
// registers; toolkit-free, and it includes nothing of the interpreter.
//
// Units: lengths in the machine's length unit after the scale factors, the
// feed in length units per minute.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace brimo {

// What a motion word makes. Decoded once, when the word is taken; every
// routine that acts on the motion compares this, never the text.
enum class MotionKind : uint8_t {
  kNone,    // no motion word yet, or one that moves nothing (G04, G21, "G90 G01" ...)
  kRapid,   // G00, G0
  kFeed,    // G01, G1
  kArcCw,   // G02, G2
  kArcCcw,  // G03, G3
  kDrill,   // G81, G83 (alike)
};

// The kind of a motion word's text (trimmed, as the parser keeps it):
// G00/G0 rapid, G01/G1 feed, G02/G2 and G03/G3 arcs, G81 and G83 drilling,
// any other text none. Read by its characters (every G word of a program
// passes here).
inline MotionKind MotionKindOf(std::string_view w) {
  constexpr MotionKind kByDigit[4] = {MotionKind::kRapid, MotionKind::kFeed, MotionKind::kArcCw,
                                      MotionKind::kArcCcw};
  if (w.size() < 2 || w.size() > 3 || w[0] != 'G') return MotionKind::kNone;
  const char last = w.back();
  if (w.size() == 3 && w[1] == '8') {
    return last == '1' || last == '3' ? MotionKind::kDrill : MotionKind::kNone;
  }
  if (w.size() == 3 && w[1] != '0') return MotionKind::kNone;
  return last >= '0' && last <= '3' ? kByDigit[last - '0'] : MotionKind::kNone;
}

// A motion word: its text as the operator wrote it (shown in the simulation's
// rows, kept in the stop record; "G02" and "G2" differ for the extents) and
// its kind, decoded when the text is set.
class Motion {
 public:
  Motion() = default;
  Motion(std::string text) : text_(std::move(text)), kind_(MotionKindOf(text_)) {}  // NOLINT
  Motion(const char* text) : Motion(std::string(text)) {}                           // NOLINT

  // Takes `text` as the word, keeping the room the old text had.
  void Set(std::string_view text) {
    text_.assign(text);
    kind_ = MotionKindOf(text_);
  }

  MotionKind Kind() const { return kind_; }
  const std::string& Text() const { return text_; }
  operator const std::string&() const { return text_; }  // NOLINT: reads as the text

  bool IsArc() const { return kind_ == MotionKind::kArcCw || kind_ == MotionKind::kArcCcw; }
  // "G02" or "G03" exactly: only these widen the extents by the whole circle.
  bool IsLongArcWord() const { return text_ == "G02" || text_ == "G03"; }

  friend bool operator==(const Motion& a, const Motion& b) { return a.text_ == b.text_; }
  friend bool operator==(const Motion& a, std::string_view b) { return a.text_ == b; }
  friend bool operator==(const Motion& a, const char* b) { return a.text_ == b; }
  friend std::ostream& operator<<(std::ostream& os, const Motion& m) { return os << m.text_; }

 private:
  std::string text_;
  MotionKind kind_ = MotionKind::kNone;
};

// The words the last parsed line carried (only lines that were not skipped
// set these; a skipped line clears them). The interpreting step uses them so
// that an arc or drilling mode repeats only when a line asks for it.
struct LineWords {
  bool G = false, M = false, T = false, X = false, Y = false, Z = false;
  bool I = false, J = false, R = false, F = false, Q = false;
  bool operator==(const LineWords&) const = default;
};

struct Registers {
  Motion MotionWord;                                      // modal; e.g. "G01"
  double TargetX = 0, TargetY = 0, TargetZ = 0;           // end of the line's move
  double LineStartX = 0, LineStartY = 0, LineStartZ = 0;  // where the line starts
  // Centre offsets from the line start; after an arc they hold the arc's
  // start offset (start point minus centre), which a later arc line without
  // I or J words uses (deliberate).
  double ArcI = 0, ArcJ = 0;
  double ProgramFeed = 0;                  // length/min, after the feed scale factor
  std::string ZWord, RWord, QWord, TWord;  // texts as written (read when used)
  double PecksLeft = 0;
  double MCode = 0;               // reset to 0 at every line
  bool DrillCycleActive = false;  // the pecks of a drilling cycle are under way
  using Words = brimo::LineWords;
  Words LineWords;
  // The last parsed line held a number that could not be taken (not finite,
  // or a count too large to step); nothing may move for it.
  bool LineBad = false;
  std::string LineBadReason;
};

}  // namespace brimo
