// Direct move times for the run-time estimate: the rest of a straight move or
// of an arc, from the state its first pulse left, made at once instead of
// pulse by pulse. The result is what the step loops would have reached (steps,
// positions, accumulators, the diagonal factor of the last pulse) and the sum
// of the pulse intervals:
//
//   ticks = n1 * I + n2 * I / 0.707      I = CounterFrequency / StepRate
//
// with n2 the pulses that follow an X+Y pulse (the decimal 0.707 stretch of
// the step engine) and n1 the others.
//
// A straight move with 64 pulses or more left is counted in closed form from
// its accumulators (the axis with the most steps steps at every iteration,
// the others where their sums pass a whole number); a shorter one, and one
// whose X and Y both follow Z (no closed count of their common pulses), is
// followed iteration by iteration without clock, port or window. An arc is
// followed point by point: the ideal point from a rotation put back on the
// exact angle every 64 points, the tool's steps from whole-step bounds, the
// number of points from the angle (the loop's own sum only where the quotient
// lies within 1e-6 of a whole number). Against the pulse-by-pulse run the time
// agrees within 0.1 % (a rounding of an accumulator may move a step by one
// pulse, about once in 100 000 moves), the steps are the same, the positions
// agree to a few units in the last place.
//
// Callers: the headless simulation in its direct mode (the run-time estimate).
#pragma once

#include <functional>

namespace brimo {

struct MachineState;

struct MoveRest {
  long pulses = 0;            // pulses made, empty ones included
  long steps[3] = {0, 0, 0};  // steps per axis (X, Y, Z), either direction
  double ticks = 0;           // counter ticks of those pulses' intervals
};

// The straight move whose first pulse was just made (RunLinearSteps between
// two pulses, StepsLeft as it left them), made to its end: positions,
// StepsLeft (0), StepAcc, DiagonalFactor and PlotStepCount as after its last
// pulse. A long path asks `goOn` every 65536 pulses (it may sleep there) and
// gives up, false, the state half way, when it answers false.
bool FinishLinearMove(MachineState& ms, MoveRest& rest, const std::function<bool()>& goOn);

// The arc whose point at ArcAngle was just made (RunArcSteps between two
// points), made to its last point: positions, ArcAngle (the last point's, so
// the loop ends), DiagonalFactor and PlotStepCount. `goOn` as above.
bool FinishArcPoints(MachineState& ms, MoveRest& rest, const std::function<bool()>& goOn);

}  // namespace brimo
