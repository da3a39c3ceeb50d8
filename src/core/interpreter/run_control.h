// Program run loop and the run controls of the main window ("Execute
// Program", "Pause", "Reset Program", "Step", "Continous", "Offline"), and the
// step preview with "Move machine to end of line". Toolkit-free: the Qt slots
// of the same names forward here.
//
// The run's state is MachineState::Run (run_state.h). Who moves it:
//
//   kIdle ──Execute──> kRunning ──last line──────────> kFinished
//                        │  ├──cut move (Pause)──────> kStopped  (stop record)
//                        │  ├──after a line, Step/M6─> kHalted   (halt position)
//                        │  ├──unreadable line───────> kBadLine
//                        │  └──Pause between lines───> kPaused
//   "Move machine to end of line" (from any state but kRunning) ─> kAtLine
//   Execute from kStopped/kHalted/kBadLine/kAtLine/kPaused goes on (kRunning);
//   File > Open and "Reset Program" make it kIdle (ResetRunState).
//
// Which press continues and which starts over also depends on the M word of
// the last line (MCode > 0: continue, the step mode back to the operator's
// choice), StepMode and ContinueRequested, as "Execute Program" says.
#pragma once

namespace brimo {

struct Core;
struct MachineState;

// Walks the program from CurrentLine: parse, dispatch, until the end, a stop
// or step mode. Shows "File succesfully processed" after the last line. The
// run is kRunning meanwhile and leaves the state it ended in.
void RunProgram(Core& c);

// "Execute Program": resume a cut move (returning to the stop position first
// when the machine was moved), continue a halted run, or start from line 1.
void Execute(Core& c);
// "Pause": a stop request; the move ends at its next pulse.
void Pause(Core& c);
// "Reset Program": after the operator's Yes, the position becomes program
// zero, the program is redrawn and the run is idle.
void ResetProgram(Core& c);
// "Step" and "Continous" options.
void SelectStepMode(Core& c);
void SelectContinuous(Core& c);
// "Offline" box: the offline flag follows the box, unless the change is
// refused; then the box shows the flag again and the window beeps.
void SetOffline(Core& c, bool ticked);
// Whether a click that would set the offline flag to `ticked` is refused:
// while anything moves (MachineState::Running), either way.
bool OfflineChangeRefused(const MachineState& ms, bool ticked);

// The run becomes idle: the next "Execute Program" starts from line 1 (after
// File > Open and "Reset Program"). Also resets the preview.
void ResetRunState(Core& c);

// The parser registers back to their start-up values (motion word, targets
// and line start, I/J, feed, Z/R/Q/T texts, pecks, M code, drilling state,
// the pacing axis), so a program runs the same whatever ran before it: in
// the window, in its run-time estimate and in the headless simulation. The
// feed displays and "Line in progress" show the values afresh. Called by
// File > Open and "Reset Program"; the step accumulators are not touched
// (they carry over between moves by design).
void ResetParserRegisters(Core& c);

// Step preview ("Go To end of Line" panel).
void PreviewNextLine(Core& c);
void PreviewPreviousLine(Core& c);  // "Step back in program"
void ResetPreview(Core& c);         // "Reset"
void MoveToPreviewedLine(Core& c);  // "Move machine to end of line"

// Moves the machine to (x, y, z) in program coordinates at the programmed
// feed: Z up first when it must rise, then X and Y, then Z down. Leaves the
// parser registers as it found them. False when a move was stopped or refused.
bool ReturnTo(Core& c, double x, double y, double z);

}  // namespace brimo
