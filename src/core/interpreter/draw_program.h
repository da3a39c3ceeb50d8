// Drawing of the whole loaded program: an optional extents pass, then the
// drawing pass, each reading every entry with the parser and handing the
// moves to the toolpath's sinks (plot/toolpath.h), exactly as the run reads
// the lines.
#pragma once

namespace brimo {

struct Core;
struct DerivedSettings;
struct MoveList;
struct MoveListKey;
struct ProgramStore;
struct ScaleValues;

// Walks the whole program once from key.start (ParseLine, EmitMoves) into
// `list` (an empty one): the moves, the end-point box, whether an F word
// was seen. The tool changes are not listed.
void BuildMoveList(MoveList& list, const MoveListKey& key, const ProgramStore& store,
                   const ScaleValues& scale, const DerivedSettings& steps);

// Redraws the whole program (refitting the extents first when RefitExtents)
// from the move list (plot.Moves), building it first when its inputs changed
// (move_list.h). The walk has its own copy of the registers, starting from the run's
// with the start point and target at the program origin, so a redraw (in
// the middle of a run, a halted run or a jog: a resize, View > Fit, the
// scale dialog; or a load) leaves every register a run or a move reads as
// it was, and never asks for a tool. Changes the extents (on a refit), the
// live-plot interval of the new view, and leaves DrawLine = LineCount. The
// feed displays show the values in force again afterwards.
void DrawProgram(Core& c);

}  // namespace brimo
