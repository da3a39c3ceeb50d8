#include "core/interpreter/draw_program.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "core/interpreter/interpret.h"
#include "core/interpreter/parser.h"
#include "core/machine/core.h"
#include "core/plot/move_list.h"
#include "core/plot/plot_geometry.h"
#include "core/plot/plot_state.h"
#include "core/plot/toolpath.h"
#include "core/program/program_store.h"

namespace brimo {

void BuildMoveList(MoveList& list, const MoveListKey& key, const ProgramStore& store,
                   const ScaleValues& scale, const DerivedSettings& steps) {
  list.key = key;
  // A line makes at most one move: room for them all at once, so the list
  // is never copied while it grows (a million-line program's list would
  // otherwise stand twice in memory for a moment).
  list.moves.reserve(static_cast<size_t>(std::max(store.LineCount, 0L)));
  Registers regs = key.start;
  ListSink sink(list);
  for (long line = 1; line <= store.LineCount; ++line) {
    ParseLine(store.Entry(line), scale, steps, regs);
    list.feedWordSeen = list.feedWordSeen || regs.LineWords.F;
    sink.line = line;
    EmitMoves(regs, false, sink);
    // Nothing moves for a bad line, so nothing is drawn either.
    if (!regs.LineBad) AddEndPoint(list, regs.TargetX, regs.TargetY);
  }
}

MoveListKey MoveListKeyOf(const Core& c) {
  MoveListKey key;
  key.start = c.ms;
  key.start.LineStartX = key.start.LineStartY = key.start.LineStartZ = 0;
  key.start.TargetX = key.start.TargetY = key.start.TargetZ = 0;
  const ScaleValues scale = ReadScaleFactors(c.win);
  key.scale[0] = scale.feed, key.scale[1] = scale.x, key.scale[2] = scale.y, key.scale[3] = scale.z;
  key.unitsPerStep[0] = c.ms.UnitsPerStepX;
  key.unitsPerStep[1] = c.ms.UnitsPerStepY;
  key.unitsPerStep[2] = c.ms.UnitsPerStepZ;
  key.lineCount = c.store.LineCount;
  key.textGeneration = c.store.Generation();
  return key;
}

// The walk starts from the run's registers with the start point and target
// at the program origin, so the extents fit exactly what is drawn; it never
// writes the run's registers. The list is built again only when one of its
// inputs changed (a new file, a scale or settings "Ok", other registers).
void DrawProgram(Core& c) {
  const MachineState& ms = c.ms;
  PlotState& plot = c.plot;
  const ProgramStore& store = c.store;
  const MoveListKey key = MoveListKeyOf(c);
  if (!plot.Moves || !(plot.Moves->key == key)) {
    auto fresh = std::make_shared<MoveList>();
    const ScaleValues scale{key.scale[0], key.scale[1], key.scale[2], key.scale[3]};
    BuildMoveList(*fresh, key, store, scale, ms);
    plot.Moves = std::move(fresh);
  }
  const MoveList& list = *plot.Moves;
  if (plot.RefitExtents) ListExtents(list, plot);
  plot.DrawLine = 0;
  c.win.ClearPlot();
  DrawGrid(c);  // also sets the live-plot interval of the new view
  DrawSink draw(c.win, ms.FinestStepXY);
  ReplayMoves(list, draw);
  plot.DrawLine = store.LineCount;
  // The values in force, shown again (as every redraw has shown them).
  if (store.LineCount > 0) c.win.ShowFeed(NumberText(ms.FeedNow));
  if (list.feedWordSeen) c.win.ShowProgramFeed(NumberText(ms.ProgramFeed));
}

}  // namespace brimo
