// The program check: the lines of a program that will not do what they seem
// to. Two sources of findings: what a line's text says on its own (skipped
// lines that carry words, text read as 0, lower-case words, M2 or M30 before
// the last line, nested comments), and what the registers of a parsed line
// say before the dispatch acts on them (coordinates under a word that moves
// nothing, an arc whose end lies off its circle, a drilling line without its
// depth or retract height). The run adds what it refuses (see Simulate).
//
// The dialect is not changed by any of this: the check only names the lines
// its deliberate rules catch.
//
// Callers: the headless simulation (which runs the check beside the run), the
// command line's --check, the window's Options > Check program.
#pragma once

#include <string>
#include <vector>

namespace brimo {

struct MachineState;
struct ProgramStore;

// A line that will not do what it seems to (the program check).
struct Finding {
  enum class Kind {
    kNoMotion,       // X, Y or Z words under a motion word that makes no move
    kBadLine,        // the parser marked the line bad: it is not executed
    kArcOffCircle,   // the arc's end lies off its circle by more than a step
    kDrillWithoutZ,  // a drilling line without a Z word (depth)
    kDrillWithoutR,  // a drilling line without an R word (retract height)
    kZeroFeed,       // a move refused for a step rate of 0 (no feed)
    kRefused,        // a move refused for another reason (too many steps)
    // What the text of a line says but the dialect does not do (deliberate
    // rules that stay; the check names every line they catch).
    kSkippedWords,   // a skipped line (comment or number first) that carries words
    kNotANumber,     // a word whose text holds no number: it reads as 0
    kLowerCase,      // lower-case words, which are not read
    kEndBeforeLast,  // M2 or M30 with lines after it, which run too
    kNestedComment,  // a '(' inside a comment
  };
  long line = 0;
  Kind kind = Kind::kNoMotion;
  std::string text;     // the line as written
  std::string message;  // what is wrong, for the operator
};
const char* FindingKindName(Finding::Kind kind);  // "no_motion", "bad_line", ...
// Number of different lines among `findings`.
long FindingLines(const std::vector<Finding>& findings);

// One finding on the line at hand, before its number and text are added.
struct LineFinding {
  Finding::Kind kind;
  std::string message;
};

// The text of every line of `program`, before the run: what the dialect will
// not read. Appends to `findings` in line order.
void CheckText(const ProgramStore& program, std::vector<Finding>& findings);

// The check of the line just parsed, on the registers the dispatch will act
// on (`ms` right after ParseLine). Empty for most lines.
std::vector<LineFinding> Examine(const MachineState& ms);

}  // namespace brimo
