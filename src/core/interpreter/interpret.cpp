#include "core/interpreter/interpret.h"

namespace brimo {

namespace {

StraightCall StraightOf(const Registers& r) {
  return {r.LineStartX, r.LineStartY, r.LineStartZ, r.TargetX, r.TargetY, r.TargetZ, r.ProgramFeed};
}

}  // namespace

bool ArcRequested(const Registers& regs) {
  const auto& w = regs.LineWords;
  return !regs.LineBad && (w.X || w.Y || w.Z || w.I || w.J);
}

bool DrillRequested(const Registers& regs) {
  const auto& w = regs.LineWords;
  return !regs.LineBad && (w.X || w.Y || w.Z || w.R || w.Q);
}

void EmitMoves(Registers& regs, bool resume, MoveSink& sink) {
  // A resumed move was started by a line that was good and asked for it;
  // whatever was parsed since (a redraw) does not cancel it.
  if (regs.LineBad && !resume) return;
  switch (regs.MotionWord.Kind()) {
    case MotionKind::kRapid:
      sink.Rapid(StraightOf(regs));
      break;
    case MotionKind::kFeed:
      sink.Feed(StraightOf(regs));
      break;
    case MotionKind::kArcCw:
    case MotionKind::kArcCcw: {
      if (!resume && !ArcRequested(regs)) return;
      ArcCall a;
      a.startX = regs.LineStartX, a.startY = regs.LineStartY, a.startZ = regs.LineStartZ;
      a.x = regs.TargetX, a.y = regs.TargetY, a.z = regs.TargetZ;
      a.i = regs.ArcI, a.j = regs.ArcJ;
      a.clockwise = regs.MotionWord.Kind() == MotionKind::kArcCw;
      a.longWord = regs.MotionWord.IsLongArcWord();
      a.feed = regs.ProgramFeed;
      const ArcOffsets kept = sink.Arc(a);
      regs.ArcI = kept.i;
      regs.ArcJ = kept.j;
      break;
    }
    case MotionKind::kDrill: {
      if (!resume && !DrillRequested(regs)) return;
      DrillCall d;
      d.startX = regs.LineStartX, d.startY = regs.LineStartY, d.startZ = regs.LineStartZ;
      d.x = regs.TargetX, d.y = regs.TargetY;
      d.zWord = regs.ZWord, d.rWord = regs.RWord, d.qWord = regs.QWord;
      d.pecks = regs.PecksLeft;
      d.feed = regs.ProgramFeed;
      sink.Drill(d);
      break;
    }
    case MotionKind::kNone:
      break;
  }
}

void EmitLine(Registers& regs, const LineResult& line, MoveSink& sink) {
  if (line.ok && line.toolChange) sink.ToolChange(regs.TWord);
  EmitMoves(regs, false, sink);
}

}  // namespace brimo
