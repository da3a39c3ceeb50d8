#include "interpreter/draw_program.h"

#include "interpreter/interpret.h"
#include "interpreter/parser.h"
#include "machine/core.h"
#include "plot/plot_geometry.h"
#include "plot/plot_state.h"
#include "plot/program_store.h"
#include "plot/toolpath.h"

namespace brimo {

// Both passes start from the run's registers with the start point and target
// at the program origin, so the extents fit exactly what is drawn; neither
// writes the run's registers. The scale factors are read once: nothing can
// change one while the program is drawn.
void TegnUd(Core& c) {
  const MachineState& ms = c.ms;
  PlotState& plot = c.plot;
  const ProgramStore& store = c.store;
  const ScaleValues scale = ReadScaleFactors(c.win);
  bool feedWordSeen = false;

  Registers regs;
  auto startAtOrigin = [&] {
    regs = ms;
    regs.LineStartX = regs.LineStartY = regs.LineStartZ = 0;
    regs.TargetX = regs.TargetY = regs.TargetZ = 0;
    plot.DrawLine = 0;
  };
  auto parseNext = [&] {
    ++plot.DrawLine;
    ParseLine(store.Entry(plot.DrawLine), scale, ms, regs);
    feedWordSeen = feedWordSeen || regs.LineWords.F;
  };

  if (plot.RefitExtents) {
    startAtOrigin();
    plot.PlotXMax = plot.PlotXMin = plot.PlotYMax = plot.PlotYMin = 0;
    ExtentsSink extents(plot);
    while (plot.DrawLine < store.LineCount) {
      parseNext();
      EmitMoves(regs, false, extents);
      // Nothing moves for a bad line, so nothing is drawn either.
      if (!regs.LineBad) WidenToPoint(plot, regs.TargetX, regs.TargetY);
    }
  }
  startAtOrigin();
  c.win.ClearPlot();
  Cordinate(c);  // also sets the live-plot interval of the new view
  DrawSink draw(c.win, ms.FinestStepXY);
  while (plot.DrawLine < store.LineCount) {
    parseNext();
    EmitMoves(regs, false, draw);
  }
  // The values in force, shown again (as every redraw has shown them).
  if (store.LineCount > 0) c.win.ShowFeed(NumberText(ms.FeedNow));
  if (feedWordSeen) c.win.ShowProgramFeed(NumberText(ms.ProgramFeed));
}

}  // namespace brimo
