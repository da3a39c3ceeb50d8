// The run's side of the interpreter: reading a line with its effects
// (ReadLine), the machine as a move sink (DispatchMotion: a rapid, a feed
// move, an arc or a drilling cycle on the step engine), and the feed that
// becomes a step rate.
//
// Units: FeedNow and the Fast rates in length units per minute, StepRate in
// steps per second of the pacing axis (RefAxis), distances in length units.
// Callers: the run loop, the move to a previewed line, homing, the override
// controls (SetFeed), the arc set-up (StartLinearMove closes every arc,
// handed to the step engine's arc loop).
#pragma once

#include <string>

#include "core/interpreter/interpret.h"
#include "core/machine/registers.h"

namespace brimo {

struct Core;
struct MachineState;

// The run's reading of ms.LineText (one program entry): ParseLine on the
// run's registers with the window's scale factors, then the line's effects
// other than its move, in this order: the programmed feed display (an F word
// taken), the tool change (M6 on a good line: step mode, then the message;
// it happens where the tool stands, before the line's move, deliberate),
// and SetFeed for every line that is not skipped (RefAxis is still the last
// move's). Also clears the stop request and the X+Y pulse stretch, and
// leaves in ms.LineText the text before the line's first word.
void ReadLine(Core& c);

// Starts the motion the registers describe (EmitMoves on the machine's move
// sink: the step engine); returns when it has ended or was stopped. Moves nothing for a line marked
// bad (LineBad); makes an arc only when ArcRequested and drills only when DrillRequested (a resumed
// move, ResumePending, is always made).
void DispatchMotion(Core& c);

// ArcRequested, DrillRequested: interpret.h.

// Sets FeedNow (programmed feed times override, the rapid rate for G00/G0,
// capped at the pacing axis's Fast rate) and StepRate, and shows FeedNow.
// While a straight move is set up or running (MoveSteps > 0), StepRate is
// also lowered so that no moving axis exceeds its own Fast rate.
void SetFeed(Core& c);

// The override control changed: SetFeed with the new percentage. While
// motion is under way (Running), a change that would space the pulses more
// than kMaxPulseInterval apart is refused: FeedNow, StepRate and the feed
// display stay as they were, the operator is told, and the result is false
// so the control puts its previous percentage back.
bool OverrideFeed(Core& c);

// Straight move from the program position to the target. Refuses (stop
// requested, operator told) a move of more than 2^31 steps on an axis, a
// target that is not finite, and a step rate that is not positive and finite.
void StartLinearMove(Core& c);

// Step mode, then the "Change to tool #" message with the T text. No motion.
void ToolChange(Core& c);

// What a run reads for its next line: the registers (one value) and the
// pacing state of the move set-up. A move that is not a program line (a
// return to the stop position, a home move, a move to a previewed line)
// keeps them and puts them back, so the run's next line is read as written
// (a modal G01 line must not run as the move's rapid).
struct LineRegisters {
  Registers regs;
  bool ArcMove = false, ResumePending = false;
  int RefAxis = 0;

  static LineRegisters Of(const MachineState& ms);
  void PutBack(MachineState& ms) const;
};

}  // namespace brimo
