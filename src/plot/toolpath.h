// Drawing of the whole loaded program: an optional extents pass, then one
// segment per entry through the parser, exactly as the run reads it.
#pragma once

#include <string>

namespace brimo {

struct Core;

// Redraws the whole program (refitting the extents first when RefitExtents).
// Every redraw runs with PlotOnly set (no tool change) and leaves every
// register a run or a move reads exactly as it found it: the whole machine
// record is put back (after a load too), except the live-plot interval of
// the new view. Changes the extents (on a refit) and leaves DrawLine =
// LineCount. The feed displays show the values in force again afterwards.
void TegnUd(Core& c);
// Widens the extents by the line just parsed.
void GrowExtents(Core& c);
// Draws the segment of the line just parsed.
void DrawSegment(Core& c);

// Positions to program zero: PrgX/Y/Z, StopPrgX/Y/Z, TargetX/Y, LineStartX/Y.
void ResetProgramPosition(Core& c);
// The six read-outs in "0.0000" (period as decimal point, whatever the locale).
void ShowPositions(Core& c);
std::string FormatPosition(double v);

}  // namespace brimo
