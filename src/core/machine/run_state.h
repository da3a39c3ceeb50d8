// The state of a program run, as one value: where the run stands between two
// presses of "Execute Program", with the data that belongs to that state (the
// stop record of a cut move, the position of a halt). Written by the run loop
// and the run controls (interpreter/run_control.cpp, preview.cpp), the step
// engine (a stopped program move fills the stop record) and the headless
// simulation; read by the settings "Ok" (no unit change mid-program).
//
// Not part of it, on purpose:
//  - MachineState::Running: "motion is under way" (a run, but also a jog, a
//    home move, the return to a stop position, the move to a previewed line).
//    Every control that starts motion refuses while it is set, and the
//    handlers nest (a jog stopped inside a halted run must leave the run
//    halted), so it stays a flag beside the run's state.
//  - MachineState::StepMode / StepSelected: the operator's "Step" choice (and
//    the one-line halt a tool change forces); a mode the run reads at every
//    line, kept across every state.
//  - MachineState::ResumePending / ResumeKeptSteps: one-shot instructions to
//    the next dispatch while a resume is under way (saved and restored with
//    the registers around moves that are not program lines).
//  - MachineState::CurrentLine: the line counter (entry of the program store
//    last read); it keeps counting in every state.
//
// Lengths in the machine's length unit, program coordinates.
#pragma once

#include <cstdint>
#include <ostream>

#include "core/machine/registers.h"

namespace brimo {

enum class RunState : uint8_t {
  kIdle,      // nothing run since start-up, File > Open or "Reset Program":
              // "Execute Program" starts from line 1 (CurrentLine is 0)
  kRunning,   // the run loop walks the lines (RunProgram, a resume)
  kStopped,   // a program move was cut short: the stop record says how to
              // finish it; "Execute Program" resumes it
  kHalted,    // halted after a line (step mode, a tool change): the halt
              // position says where the next line starts from
  kBadLine,   // stopped before line CurrentLine, whose number could not be
              // taken; "Execute Program" asks whether to skip it
  kAtLine,    // "Move machine to end of line" put the machine at the end of
              // line CurrentLine; "Execute Program" goes on after it
  kPaused,    // left between two lines by a stop request, nothing cut short
  kFinished,  // the last line has run (CurrentLine > the line count)
};

// The state's name, for test failures and logs.
inline const char* RunStateName(RunState s) {
  switch (s) {
    case RunState::kIdle:
      return "idle";
    case RunState::kRunning:
      return "running";
    case RunState::kStopped:
      return "stopped";
    case RunState::kHalted:
      return "halted";
    case RunState::kBadLine:
      return "before a bad line";
    case RunState::kAtLine:
      return "at a previewed line";
    case RunState::kPaused:
      return "paused";
    case RunState::kFinished:
      return "finished";
  }
  return "?";
}
inline std::ostream& operator<<(std::ostream& os, RunState s) { return os << RunStateName(s); }

// A program move cut short (a line, an arc's closing move, a drilling rise
// or approach). Meaningful in RunState::kStopped; kept otherwise (the scale
// dialog and "Reset Program" move its position with program zero).
struct StopRecord {
  double PrgX = 0, PrgY = 0, PrgZ = 0;           // where the tool stood
  double TargetX = 0, TargetY = 0, TargetZ = 0;  // the cut move's end point
  Motion MotionWord;                             // the cut move's motion word
  int DrawWidth = 1;                             // pen width it was drawn with
  // A straight move's target and the signed whole steps per axis it still
  // had to make. A resume finishes it with exactly these steps, so it ends
  // where the uninterrupted move ends (the remaining distance, rounded half
  // to even from the stop position, can differ by a step).
  bool StepsKept = false;
  double StepsTargetX = 0, StepsTargetY = 0, StepsTargetZ = 0;
  double StepsLeftX = 0, StepsLeftY = 0, StepsLeftZ = 0;  // signed steps
};

// Where the machine stood when a run halted after a line (RunState::kHalted);
// the next line starts from there, after a return when it was moved since.
struct HaltPosition {
  double PrgX = 0, PrgY = 0, PrgZ = 0;
};

}  // namespace brimo
