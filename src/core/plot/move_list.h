// MoveList: the loaded program's moves as plain structs, made by one parse
// of the program (BuildMoveList, interpreter/draw_program.h). The extents
// and the drawing (a load, View > Fit, a resize, a redraw) read the list
// instead of parsing the text again; the text stays in the program store.
// The run never reads it: it parses each line as it executes it, so the
// override, the scale factors and halts act at run time.
//
// The list is valid for the inputs it was made from (MoveListKey): the
// program's text (by the store's generation), the registers the walk started
// from, the scale factors and the step sizes. Any other input (a new file, a scale "Ok", a settings
// "Ok", a redraw that finds other registers) makes the drawing build it
// again, so what is drawn is always what a parse would draw.
//
// Lengths in the machine's length unit after the scale factors.
#pragma once

#include <cstdint>
#include <vector>

#include "core/machine/move_sink.h"
#include "core/machine/registers.h"

namespace brimo {

struct PlotState;

enum class ListedKind : uint8_t { kRapid, kFeed, kArc, kDrill };

// One move: a straight move, an arc or a drilling approach from the line's
// start to its target (what the drawing and the extents need of it).
struct ListedMove {
  double startX = 0, startY = 0, x = 0, y = 0;
  double i = 0, j = 0;  // an arc's centre offsets from its start
  int32_t line = 0;     // program entry it came from
  ListedKind kind = ListedKind::kFeed;
  bool clockwise = false, longWord = false;
};

// What the list was made from.
// Two keys are equal when they give the same list: the starting registers
// count only where they can reach a listed move (motion word, I/J, the Z and
// R words of a modal drilling line).
struct MoveListKey {
  Registers start;  // the registers the walk started from (origin start point and target)
  double scale[4] = {0, 0, 0, 0};  // feed, X, Y, Z factors
  double unitsPerStep[3] = {0, 0, 0};
  long lineCount = -1;
  uint64_t textGeneration = 0;  // ProgramStore::Generation(): the text without reading it

  bool operator==(const MoveListKey& o) const;
};

// Built whole and then only read (a rebuild makes a new one), so copies of
// the plot state may share it.
struct MoveList {
  MoveListKey key;
  std::vector<ListedMove> moves;
  // Smallest box around the program origin and the end point of every good
  // line (the extents before the arcs' circles).
  double endXMin = 0, endYMin = 0, endXMax = 0, endYMax = 0;
  bool feedWordSeen = false;  // some line carried an F word
};

// The sink a build walks with: appends each move to `list` (tool changes are
// not listed; the drawing makes none). An arc keeps the start offset the
// toolpath's sinks keep, so the walk reads every later line as they do.
class ListSink : public MoveSink {
 public:
  explicit ListSink(MoveList& list) : list_(list) {}
  long line = 0;  // entry being walked
  void Rapid(const StraightCall& m) override;
  void Feed(const StraightCall& m) override;
  ArcOffsets Arc(const ArcCall& a) override;
  void Drill(const DrillCall& d) override;
  void ToolChange(std::string_view) override {}

 private:
  MoveList& list_;
};

// The end point of a good line widens the list's end-point box.
void AddEndPoint(MoveList& list, double x, double y);

// The extents of the listed program into `plot` (FitEndpointsOnly applies).
void ListExtents(const MoveList& list, PlotState& plot);
// Every listed move, in order, on `sink`.
void ReplayMoves(const MoveList& list, MoveSink& sink);

}  // namespace brimo
