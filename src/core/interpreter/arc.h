// Arc set-up in the XY plane from I/J centre offsets (no R form).
//
// Angles in radians, counter-clockwise from +X with +Y up. The arc runs from
// the line's start (LineStartX/Y) to the target about the centre
// LineStart + (ArcI, ArcJ); ArcDirection +1 is clockwise (G02), -1
// counter-clockwise (G03). The stepping loop (RunArcSteps) ends every arc
// with a straight move to the target, which also makes all Z travel.
#pragma once

#include "core/machine/arc_geometry.h"  // ArcCos, ArcIsFullCircle: the run and the drawing share them

namespace brimo {

struct Core;

// Sets up the arc (centre, radius, start angle, sweep, angle step; writes
// the start offset back into ArcI/ArcJ) and runs it; with ResumePending it
// continues the stopped arc from its kept ArcAngle instead. An arc whose end
// lies less than one step from its start is a full circle. A zero
// radius is made as a straight move to the target. The start offset is
// written back before the stepping starts (a redraw during the arc sees it).
void StartArc(Core& c);

}  // namespace brimo
