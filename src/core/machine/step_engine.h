// Step generation: one paced pulse (StepPulse), the straight-move
// interpolation loop (RunLinearSteps) and the arc stepping loop
// (RunArcSteps). No acceleration ramps: every pulse of a move is spaced by
// the same interval (see pulse_clock.h), stretched by 1/0.707 after a pulse
// that stepped X and Y together.
//
// Callers: the interpreter's move set-up (dispatch, arcs), jogging. Includes
// nothing of the interpreter: the arc's closing move is asked of the caller.
#pragma once

#include <cmath>

namespace brimo {

struct Core;

// One pulse with the step commands StepX/StepY/StepZ (left unchanged).
// Online: paces on the absolute schedule (pumping the window's events during
// a long wait), sets up a reversing axis's direction line, writes the pulse
// (high for PulseWidthUs), reads the switches. Always: adds the step's travel to program and
// machine positions and plots every PlotEvery pulses. Returns false when the
// pulse was not made: a step rate that cannot pace (StepRateUsable), a port
// that cannot be opened, or a stop requested during the wait. A caller that
// counts steps gives the steps of a pulse not made back to its move.
bool StepPulse(Core& c);

// Straight move over StepsLeftX/Y/Z with DeltaStepsX/Y/Z and MoveSteps set.
// Returns when every step is out or a stop was requested (stop snapshot taken).
void RunLinearSteps(Core& c);

// Arc from ArcAngle (0 for a new arc) to ArcSweep + ArcAngleStep; at its
// normal end (not after a stop) `closingMove`, the straight move to the
// target that closes the gap left by the stepping and makes all Z travel
// (the interpreter passes StartLinearMove).
void RunArcSteps(Core& c, void (*closingMove)(Core&));

// Stop snapshot: position, target, pen width and motion word at the stop;
// re-enables "Execute Program".
void TakeStopSnapshot(Core& c);

// Longest interval between two pulses a move may have (seconds, before the
// 1/0.707 stretch after an X+Y pulse). A longer one is a typing error (F1e-12,
// a scale factor of 1e-15) rather than a cut, and its wait would hold the
// machine for minutes to centuries.
inline constexpr double kMaxPulseInterval = 60;

// True when `stepRate` (steps/s) is positive and finite and spaces the pulses
// at most kMaxPulseInterval apart. Inline: every pulse asks it.
inline bool PulseIntervalWithinLimit(double stepRate) {
  return stepRate > 0 && std::isfinite(stepRate) && stepRate * kMaxPulseInterval >= 1;
}

// True when pulses at `stepRate` (steps/s) come at least two pulse widths
// apart (`pulseWidthUs` microseconds high, then as long low).
inline bool PulseIntervalFitsWidth(double stepRate, double pulseWidthUs) {
  // In microseconds: 100 kHz against 5 us compares 10 with 10 exactly.
  return !(1e6 / stepRate < 2 * pulseWidthUs);
}

// False (and a stop requested, the operator told) when StepRate cannot pace
// a pulse: zero, negative or not finite, pulses more than kMaxPulseInterval
// apart, or closer than two pulse widths (the messages name FeedNow).
// Checked by every move set-up, and by every pulse (which covers jogs).
bool StepRateUsable(Core& c);

// The motion's worst pulse lateness and its count of pulses later than a
// quarter interval, in the window's message line; nothing when no pulse was
// timed (offline). Called at the end of a run, jog, home move and move to a
// line.
void ShowPulseLateness(Core& c);

}  // namespace brimo
