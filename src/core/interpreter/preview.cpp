// Step preview: walks the program line by line on its own registers (a
// Registers value, never the run's), drawing each line's moves through the
// toolpath's sink and marking its end point, without moving the machine.
// "Move machine to end of line" then moves there and hands the preview's
// registers to the run as one value.
#include <optional>

#include "core/interpreter/dispatch.h"
#include "core/interpreter/interpret.h"
#include "core/interpreter/parser.h"
#include "core/interpreter/run_control.h"
#include "core/machine/core.h"
#include "core/machine/step_engine.h"
#include "core/plot/toolpath.h"
#include "core/program/program_store.h"

namespace brimo {
namespace {

// Registers as a run starting from the beginning would have them: start and
// end point at program zero.
Registers FreshPreviewRegisters(const MachineState& ms) {
  Registers p = ms;
  p.TargetX = p.TargetY = p.TargetZ = 0;
  p.LineStartX = p.LineStartY = p.LineStartZ = 0;
  p.MCode = 0;
  p.DrillCycleActive = false;
  p.LineBad = false;
  return p;
}

// Parses entry `line` on the preview registers; with `draw`, draws its moves
// (a walk that only rebuilds the registers draws nothing and, like the
// drawing, keeps no arc's start offset). A preview never asks for a tool:
// the machine does not move. The feed displays keep showing the run's values.
void ParsePreview(Core& c, Registers& regs, long line, bool draw) {
  ParseLine(c.store.Entry(line), ReadScaleFactors(c.win), c.ms, regs);
  if (draw && !regs.LineBad) {
    DrawSink sink(c.win, c.ms.FinestStepXY);
    EmitMoves(regs, false, sink);
  }
  c.win.ShowFeed(NumberText(c.ms.FeedNow));
  c.win.ShowProgramFeed(NumberText(c.ms.ProgramFeed));
}

void MarkEnd(Core& c, const Registers& regs) {
  c.win.SetPenWidth(3);
  c.win.PlotDot(regs.TargetX, regs.TargetY, kBrightRed);
  c.win.SetPenWidth(1);
}

}  // namespace

void ResetPreview(Core& c) {
  Pause(c);  // a stop request, as "Pause" makes
  c.ms.PreviewLine = 0;
  c.ms.PreviewRegs.reset();
}

void PreviewNextLine(Core& c) {
  MachineState& ms = c.ms;
  if (ms.Running) return;
  if (ms.CurrentLine == 0 && ms.PreviewLine == 0) ResetPreview(c);
  if (!ms.PreviewRegs) ms.PreviewRegs = FreshPreviewRegisters(ms);
  Registers& regs = *ms.PreviewRegs;
  c.win.SetPenWidth(3);
  ms.PreviewLine += 1;
  if (ms.PreviewLine < 0 || ms.PreviewLine > c.store.LineCount) {
    // Past the end of the program: the preview starts over.
    c.win.SetPenWidth(1);
    ResetPreview(c);
    return;
  }
  c.win.ShowPreviewLine(std::string(c.store.Entry(ms.PreviewLine)));
  ParsePreview(c, regs, ms.PreviewLine, true);
  if (regs.LineBad) {
    c.win.SetPenWidth(1);
    ResetPreview(c);
    return;
  }
  c.win.SetPenWidth(3);
  c.win.PlotDot(regs.TargetX, regs.TargetY, kBrightRed);
  c.win.PlotDot(regs.LineStartX, regs.LineStartY, kBlack);  // paints over the last mark
  c.win.SetPenWidth(1);
}

void PreviewPreviousLine(Core& c) {
  MachineState& ms = c.ms;
  if (ms.Running || !ms.PreviewRegs) return;
  c.win.SetPenWidth(3);
  c.win.PlotDot(ms.PreviewRegs->TargetX, ms.PreviewRegs->TargetY, kBlack);
  c.win.SetPenWidth(1);
  ms.PreviewLine -= 2;
  if (ms.PreviewLine < 0) return;  // before the first line: ends quietly
  // Rebuilt exactly: walk again from the first line up to the one before.
  ms.PreviewRegs = FreshPreviewRegisters(ms);
  Registers& regs = *ms.PreviewRegs;
  for (long i = 1; i <= ms.PreviewLine; ++i) ParsePreview(c, regs, i, false);
  ms.PreviewLine += 1;
  c.win.ShowPreviewLine(std::string(c.store.Entry(ms.PreviewLine)));
  ParsePreview(c, regs, ms.PreviewLine, false);
  MarkEnd(c, regs);
}

void MoveToPreviewedLine(Core& c) {
  MachineState& ms = c.ms;
  if (ms.Running || !ms.PreviewRegs || ms.PreviewLine < 1 || ms.PreviewLine > c.store.LineCount)
    return;
  const Registers regs = *ms.PreviewRegs;
  const double tx = regs.TargetX, ty = regs.TargetY, tz = regs.TargetZ;
  const LineRegisters before = LineRegisters::Of(ms);
  c.win.SetPenWidth(2);
  ms.StopRequested = false;
  ms.ProgramFeed = regs.ProgramFeed;  // the final plunge runs at the line's feed
  ms.ArcMove = false;
  ms.ResumePending = false;

  bool completed = true;
  {
    // Z alone to the height 10 first, then program X 0, Y 0 and on to the
    // line's end point at that height (deliberate route), then down at feed.
    struct Leg {
      double x, y, z;
      Motion word;
    };
    const Leg legs[] = {
        {ms.PrgX, ms.PrgY, 10, "G00"}, {0, 0, 10, "G00"}, {tx, ty, 10, "G00"}, {tx, ty, tz, "G01"}};
    const bool wasRunning = ms.Running;
    ms.Running = true;
    RestartPulseSchedule(ms);
    for (const Leg& leg : legs) {
      ms.MotionWord = leg.word;
      c.win.SetForeColour(leg.word.Kind() == MotionKind::kRapid ? kBrightGreen : kBlack);
      ms.TargetX = leg.x, ms.TargetY = leg.y, ms.TargetZ = leg.z;
      SetFeed(c);
      StartLinearMove(c);
      ShowPositions(c);
      if (ms.StopRequested) {
        completed = false;
        break;
      }
    }
    ms.Running = wasRunning;
    c.win.SetForeColour(kBlack);
    ShowPulseLateness(c);
  }
  if (!completed) {
    // The run's registers stay those it had; only the position changed.
    before.PutBack(ms);
    SetFeed(c);
    return;
  }
  // Hand the previewed line's registers to the run: the next line continues
  // from exactly that state.
  static_cast<Registers&>(ms) = regs;
  ms.MCode = 0;
  ms.DrillCycleActive = false;
  ms.LineBad = false;
  ms.CurrentLine = ms.PreviewLine;
  ms.Run = RunState::kAtLine;  // a stop record, a halt or a bad line is forgotten
  SetFeed(c);
  c.win.ShowProgramFeed(NumberText(ms.ProgramFeed));
  c.win.ShowRunPanel();
}

}  // namespace brimo
