#include "core/interpreter/arc.h"

#include <algorithm>
#include <cmath>

#include "core/interpreter/dispatch.h"
#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/machine/step_engine.h"

namespace brimo {

namespace {

const double kPi = 4 * std::atan(1.0);
constexpr double kMaxSteps = 2147483648.0;  // 2^31 iterations of the arc loop

int Sign(double v) { return (v > 0) - (v < 0); }

// The straight-move bookkeeping belongs to the previous move; cleared so the
// per-axis cap of SetFeed does not act on an arc with stale counts.
void ForgetStraightMove(MachineState& ms) {
  ms.DeltaStepsX = ms.DeltaStepsY = ms.DeltaStepsZ = 0;
  ms.MoveSteps = 0;
  ms.StepsLeftX = ms.StepsLeftY = ms.StepsLeftZ = 0;
}

}  // namespace

//          +Y
//           |      end (theta_e)
//           |     /
//           |    /   G03 runs counter-clockwise from theta_s to theta_e,
//   start --C--------- +X   G02 clockwise; the loop's ideal point is at
//  (theta_s)                theta_s - ArcAngle * ArcDirection.
//
void StartArc(Core& c) {
  MachineState& ms = c.ms;

  if (ms.ResumePending) {
    // Continue the stopped arc from its kept ArcAngle, centre and angles.
    // The rate is taken again: a jog or a return move since the stop has
    // replaced StepRate with its own.
    ms.ResumePending = false;
    ForgetStraightMove(ms);
    SetFeed(c);
    if (!StepRateUsable(c)) return;
    RunArcSteps(c, StartLinearMove);
    return;
  }

  ForgetStraightMove(ms);
  SetFeed(c);  // paces by FinestAxis (ArcMove is set)

  ms.ArcCenterX = ms.LineStartX + ms.ArcI;
  ms.ArcCenterY = ms.LineStartY + ms.ArcJ;
  ms.ArcRadius = std::sqrt(ms.ArcI * ms.ArcI + ms.ArcJ * ms.ArcJ);
  if (!(ms.ArcRadius > 0) || !std::isfinite(ms.ArcRadius)) {
    // No circle to follow (only "G2"/"G3" with I and J 0 could get here):
    // the line is made as the straight move it describes.
    ms.ArcMove = false;
    StartLinearMove(c);
    return;
  }
  if (ms.FinestStepXY > 0 && ms.ArcRadius / ms.FinestStepXY > kMaxSteps) {
    ms.StopRequested = true;
    c.win.Message(msg::kMoveTooLong, msg::kMoveTooLongTitle);
    return;
  }

  // End angle. Only the sign of ey is used; on the X axis it borrows the
  // sign of ex, which with ArcCos(-1) = -pi puts the point at +pi.
  double ex = ms.TargetX - ms.ArcCenterX;
  double ey = ms.TargetY - ms.ArcCenterY;
  if (ey == 0) ey = ex;
  if (std::fabs(ex) > ms.ArcRadius) ex = Sign(ex) * ms.ArcRadius;
  const double endAngle = Sign(ey) * ArcCos(ex / ms.ArcRadius);

  // Start offset (start point minus centre), kept in the registers for the
  // lines that follow without new I or J words (deliberate).
  ms.ArcI = -ms.ArcI;
  ms.ArcJ = ms.ArcJ == 0 ? ms.ArcI : -ms.ArcJ;
  // sqrt(I^2 + J^2) can round a hair below |I|: keep the cosine in range.
  const double cosStart = std::clamp(ms.ArcI / ms.ArcRadius, -1.0, 1.0);
  ms.ArcStartAngle = Sign(ms.ArcJ) * ArcCos(cosStart);

  // Sweep in the direction of travel, in [0, 2 pi).
  const double twoPi = 2 * kPi;
  double sweep = ms.ArcDirection > 0 ? ms.ArcStartAngle - endAngle : endAngle - ms.ArcStartAngle;
  while (sweep < 0) sweep += twoPi;
  while (sweep >= twoPi) sweep -= twoPi;
  ms.ArcSweep = sweep;

  // About one step of the finer of X and Y per iteration.
  ms.ArcAngleStep = ms.FinestStepXY / ms.ArcRadius;
  // An end within one step of the start: a full circle, whichever side of
  // the start it lies (deliberate; "G02 X0 Y0 I5 J0" back to its start cuts
  // the whole circle, and so does CAM output rounded to four decimals).
  if (ArcIsFullCircle(ms.LineStartX, ms.LineStartY, ms.TargetX, ms.TargetY, ms.FinestStepXY))
    ms.ArcSweep = twoPi;

  ms.ArcAngle = 0;
  if (!StepRateUsable(c)) return;
  RunArcSteps(c, StartLinearMove);
}

}  // namespace brimo
