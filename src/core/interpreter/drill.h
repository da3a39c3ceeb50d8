// Peck drilling cycle (G81, G83; both alike): after the approach made by the
// dispatch, plunges to z/q, 2z/q, ... z (measured from program zero), each
// followed by a retract to r. z is the depth (ZWord), r the retract height
// (RWord), both scaled by the Z factor; q the number of pecks (QWord, at
// least 1). Lengths in the machine's length unit.
#pragma once

namespace brimo {

struct Core;

// The pecks; DrillCycleActive is set while they are under way and cleared
// once no pecks are left. A stop ends the peck loop at once (no further
// plunge or retract starts) and leaves DrillCycleActive set.
//
// Resume entry: entered with DrillCycleActive set and StopRequested still set
// (the stop that cut the cycle short), it adds the interrupted peck back,
// clears the stop, completes the interrupted move to the kept target, and
// then makes the remaining pecks (the interrupted one again first).
void DrillCycle(Core& c);

// The same resume for a caller that has already cleared the stop request
// ("Execute Program" keeps its own record of the cut move): when
// DrillCycleActive is set, the interrupted peck again, then the remaining
// ones. Does nothing otherwise.
void ResumeDrillCycle(Core& c);

// True when a cycle with depth z and retract height r (both scaled, length
// units) can be drilled: r lies above z. With r at or below z every peck
// would retract below the hole bottom, or the plunge would go upwards; such a
// line is refused whole (the parser marks it bad, the program check lists it).
bool DrillHeightsUsable(double z, double r);

// Depth z and retract height r of the cycle, scaled by the Z factor now.
double DrillDepth(Core& c);
double DrillRetractHeight(Core& c);

}  // namespace brimo
