// Arc set-up in the XY plane from I/J centre offsets (no R form).
//
// Angles in radians, counter-clockwise from +X with +Y up. The arc runs from
// the line's start (LineStartX/Y) to the target about the centre
// LineStart + (ArcI, ArcJ); ArcDirection +1 is clockwise (G02), -1
// counter-clockwise (G03). The stepping loop (RunArcSteps) ends every arc
// with a straight move to the target, which also makes all Z travel.
#pragma once

namespace brimo {

struct Core;

// arccos with the system's conventions: -1 gives -pi (the sign rule of the
// set-up turns it into +pi), 1 gives 0, anything else lies in (0, pi).
double ArcCos(double x);

// True when an arc from (startX, startY) to (endX, endY) is a full circle:
// the end point lies less than `step` (length units, one step of the finer of
// X and Y) from the start point, on whichever side. Decided on the points, not
// on the end angle: that comes from the X offset alone, so near 0 and 180
// degrees a rounding error of 0.0001 in the end gives several steps of angle.
// The run and the drawing both decide with this.
bool ArcIsFullCircle(double startX, double startY, double endX, double endY, double step);

// Sets up the arc (centre, radius, start angle, sweep, angle step; writes
// the start offset back into ArcI/ArcJ) and runs it; with ResumePending it
// continues the stopped arc from its kept ArcAngle instead. An arc whose end
// lies less than one step from its start is a full circle. A zero
// radius is made as a straight move to the target.
void StartArc(Core& c);

}  // namespace brimo
