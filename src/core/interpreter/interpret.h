// The interpreting step: the registers of a parsed line become calls on a
// MoveSink (machine/move_sink.h). One switch over the motion kind serves the
// machine, the toolpath and the recording sink of the tests alike, so the
// drawing shows exactly the moves the run makes.
#pragma once

#include "core/interpreter/parser.h"
#include "core/machine/move_sink.h"
#include "core/machine/registers.h"

namespace brimo {

// The last parsed line asked for an arc: it carried an X, Y, Z, I or J word.
// Without one, an arc mode does not repeat (a comment, an M word alone, the
// pass after the last line).
bool ArcRequested(const Registers& regs);
// The last parsed line asked for a hole: it carried an X, Y, Z, R or Q word.
bool DrillRequested(const Registers& regs);

// The move of the line just parsed into `regs`: a rapid, a feed move, an arc
// (only when ArcRequested) or a drilling line (only when DrillRequested);
// nothing for a bad line or for any other motion word (G21, G90, "G90 G01"
// ... move nothing until the next motion word, deliberate). With `resume`
// (a stopped move made again) the move is made whatever was parsed since.
// After an arc the registers keep the offsets the sink returns.
void EmitMoves(Registers& regs, bool resume, MoveSink& sink);

// A whole line as the moves see it: the tool change of a good M6 line
// (before the line's move, where the tool stands), then EmitMoves (a skipped
// line too: a modal straight move to where the tool already is). The run
// makes the same calls in two parts (the tool change while it reads the
// line, the move after its checks).
void EmitLine(Registers& regs, const LineResult& line, MoveSink& sink);

}  // namespace brimo
