#include "core/interpreter/drill.h"

#include "core/interpreter/dispatch.h"
#include "core/interpreter/parser.h"
#include "core/machine/core.h"
#include "core/plot/toolpath.h"

namespace brimo {

// False also for a value that is not a number: no comparison holds for it.
bool DrillHeightsUsable(double z, double r) { return r > z; }

double DrillDepth(Core& c) { return ReadNumber(c.ms.ZWord) * c.win.ScaleFactor(3); }

double DrillRetractHeight(Core& c) { return ReadNumber(c.ms.RWord) * c.win.ScaleFactor(3); }

namespace {

// Adds the interrupted peck back and completes the interrupted move to the
// kept target. False when that move was stopped again (the peck is then
// taken back, so the next resume adds it once more, not twice).
bool RedoInterruptedMove(Core& c) {
  MachineState& ms = c.ms;
  ms.PecksLeft += 1;
  ms.StopRequested = false;
  StartLinearMove(c);
  if (!ms.StopRequested) return true;
  ms.PecksLeft -= 1;
  return false;
}

void PeckLoop(Core& c) {
  MachineState& ms = c.ms;
  double q = ReadNumber(ms.QWord);
  if (q < 1) q = 1;  // the parser keeps QWord at 1 or more
  const double z = DrillDepth(c);
  const double r = DrillRetractHeight(c);

  while (ms.PecksLeft > 0) {
    ms.PecksLeft -= 1;
    // Depths grow from program zero (not from r; deliberate) in steps of z/q.
    // A fractional q makes one more peck, clamped so it never goes below z.
    double depth = (q - ms.PecksLeft) * (z / q);
    if ((z < 0 && depth < z) || (z > 0 && depth > z)) depth = z;
    ms.TargetZ = depth;
    StartLinearMove(c);
    ShowPositions(c);
    if (ms.StopRequested) return;  // a stop ends the cycle here; it stays active
    ms.TargetZ = r;                // every peck retracts fully to r
    StartLinearMove(c);
    ShowPositions(c);
    if (ms.StopRequested) return;
  }
  if (ms.PecksLeft <= 0) ms.DrillCycleActive = false;
}

}  // namespace

void DrillCycle(Core& c) {
  MachineState& ms = c.ms;
  if (ms.DrillCycleActive && ms.StopRequested && !RedoInterruptedMove(c)) return;
  PeckLoop(c);
}

void ResumeDrillCycle(Core& c) {
  if (!c.ms.DrillCycleActive) return;
  if (!RedoInterruptedMove(c)) return;
  PeckLoop(c);
}

}  // namespace brimo
