// MoveSink: the interpreter's output. The interpreting step (EmitMoves,
// interpreter/interpret.h) turns the registers of a parsed line into one
// call per move on a sink; the sinks are the machine (the step engine, also
// in the headless simulation that the run-time estimate and the program
// check run), the toolpath (drawing and extents) and a recording sink for
// tests. Toolkit-free; lives at the bottom so every layer can implement it.
//
// Lengths in the machine's length unit after the scale factors, feeds in
// length units per minute, as the registers hold them.
#pragma once

#include <string_view>

namespace brimo {

// A straight move (rapid or feed) from the line's start to its target.
struct StraightCall {
  double startX = 0, startY = 0, startZ = 0;  // the line start
  double x = 0, y = 0, z = 0;                 // the target
  double feed = 0;                            // programmed feed (a rapid runs at the rapid rate)
};

// An arc in the XY plane from the line's start to its target about the
// start point plus (i, j); Z travels on the closing straight move.
struct ArcCall {
  double startX = 0, startY = 0, startZ = 0;
  double x = 0, y = 0, z = 0;
  double i = 0, j = 0;     // centre offsets from the start point
  bool clockwise = false;  // G02/G2; counter-clockwise for G03/G3
  bool longWord = false;   // written "G02"/"G03" (the extents count the whole circle)
  double feed = 0;
};

// The centre offsets the registers keep after an arc: the arc's start offset
// (start point minus centre, a zero J taking the negated I) once the arc was
// set up, else the offsets as they were. A later arc line without I or J
// words uses them (deliberate).
struct ArcOffsets {
  double i = 0, j = 0;
};
inline ArcOffsets StartOffsetOf(double i, double j) { return {-i, j == 0 ? -i : -j}; }

// A drilling line: the approach to the hole at (x, y), then the pecks.
struct DrillCall {
  double startX = 0, startY = 0, startZ = 0;
  double x = 0, y = 0;
  std::string_view zWord, rWord, qWord;  // depth, retract height, pecks as written
  double pecks = 0;                      // pecks to make (at least 1)
  double feed = 0;
};

class MoveSink {
 public:
  virtual ~MoveSink() = default;
  virtual void Rapid(const StraightCall& m) = 0;
  virtual void Feed(const StraightCall& m) = 0;
  // Returns the offsets the registers keep (see ArcOffsets).
  virtual ArcOffsets Arc(const ArcCall& a) = 0;
  virtual void Drill(const DrillCall& d) = 0;
  // M6 on a good line, with the T word's text.
  virtual void ToolChange(std::string_view tWord) = 0;
};

}  // namespace brimo
