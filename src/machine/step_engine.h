// Step generation: one paced pulse (StepPulse), the straight-move
// interpolation loop (RunLinearSteps) and the arc stepping loop
// (RunArcSteps). No acceleration ramps: every pulse of a move is spaced by
// the same interval (see pulse_clock.h), stretched by 1/0.707 after a pulse
// that stepped X and Y together.
//
// Callers: the interpreter's move set-up (dispatch, arcs), jogging.
#pragma once

namespace brimo {

struct Core;

// One pulse with the step commands StepX/StepY/StepZ (left unchanged).
// Online: paces, writes the port, reads the switches. Always: adds the
// step's travel to program and machine positions and plots every PlotEvery
// pulses. A step rate that is not positive and finite, or a port that cannot
// be opened, moves nothing: a stop is requested and the operator told why.
void StepPulse(Core& c);

// Straight move over StepsLeftX/Y/Z with DeltaStepsX/Y/Z and MoveSteps set.
// Returns when every step is out or a stop was requested (stop snapshot taken).
void RunLinearSteps(Core& c);

// Arc from ArcAngle (0 for a new arc) to ArcSweep + ArcAngleStep; at its
// normal end the closing straight move to the target (StartLinearMove).
void RunArcSteps(Core& c);

// Stop snapshot: position, target, pen width and motion word at the stop;
// re-enables "Execute Program".
void TakeStopSnapshot(Core& c);

// False (and a stop requested, the operator told) when StepRate cannot pace
// a pulse: zero, negative or not finite.
bool StepRateUsable(Core& c);

}  // namespace brimo
