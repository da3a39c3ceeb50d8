// Motion dispatch: the modal motion word becomes a rapid, a feed move, an
// arc or a drilling cycle; the feed becomes a step rate.
#pragma once

namespace brimo {

struct Core;

// Starts the motion the registers describe; returns when it has ended or
// was stopped.
void DispatchMotion(Core& c);
// FeedNow and StepRate from ProgramFeed, the override and the rapid rates;
// shows FeedNow.
void SetFeed(Core& c);
// Straight move from the program position to the target.
void StartLinearMove(Core& c);
// "Change to tool #" message, then step mode.
void ToolChange(Core& c);

}  // namespace brimo
