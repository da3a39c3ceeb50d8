#include "core/plot/move_list.h"

#include <algorithm>
#include <cmath>

#include "core/plot/plot_state.h"
#include "core/plot/toolpath.h"

namespace brimo {

bool MoveListKey::operator==(const MoveListKey& o) const {
  // Of the starting registers only these reach a listed move: the start
  // point and target start at the origin, the first parse resets the M code,
  // the drilling state, the line's words and the bad mark, and the feed, the
  // pecks and the T word are not listed.
  const Registers& a = start;
  const Registers& b = o.start;
  const bool sameRegs = a.MotionWord == b.MotionWord && a.ArcI == b.ArcI && a.ArcJ == b.ArcJ &&
                        a.ZWord == b.ZWord && a.RWord == b.RWord;
  return sameRegs && std::equal(scale, scale + 4, o.scale) &&
         std::equal(unitsPerStep, unitsPerStep + 3, o.unitsPerStep) && lineCount == o.lineCount &&
         textGeneration == o.textGeneration;
}

namespace {

ListedMove Straight(long line, ListedKind kind, double sx, double sy, double x, double y) {
  ListedMove m;
  m.startX = sx, m.startY = sy, m.x = x, m.y = y;
  m.line = static_cast<int32_t>(line);
  m.kind = kind;
  return m;
}

ArcCall ArcOf(const ListedMove& m) {
  ArcCall a;
  a.startX = m.startX, a.startY = m.startY, a.x = m.x, a.y = m.y;
  a.i = m.i, a.j = m.j;
  a.clockwise = m.clockwise;
  a.longWord = m.longWord;
  return a;
}

}  // namespace

void ListSink::Rapid(const StraightCall& m) {
  list_.moves.push_back(Straight(line, ListedKind::kRapid, m.startX, m.startY, m.x, m.y));
}

void ListSink::Feed(const StraightCall& m) {
  list_.moves.push_back(Straight(line, ListedKind::kFeed, m.startX, m.startY, m.x, m.y));
}

ArcOffsets ListSink::Arc(const ArcCall& a) {
  ListedMove m = Straight(line, ListedKind::kArc, a.startX, a.startY, a.x, a.y);
  m.i = a.i, m.j = a.j;
  m.clockwise = a.clockwise;
  m.longWord = a.longWord;
  list_.moves.push_back(m);
  return ToolpathArcOffsets(a);
}

void ListSink::Drill(const DrillCall& d) {
  list_.moves.push_back(Straight(line, ListedKind::kDrill, d.startX, d.startY, d.x, d.y));
}

void AddEndPoint(MoveList& list, double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  list.endXMin = std::min(list.endXMin, x);
  list.endYMin = std::min(list.endYMin, y);
  list.endXMax = std::max(list.endXMax, x);
  list.endYMax = std::max(list.endYMax, y);
}

void ListExtents(const MoveList& list, PlotState& plot) {
  plot.PlotXMin = list.endXMin, plot.PlotYMin = list.endYMin;
  plot.PlotXMax = list.endXMax, plot.PlotYMax = list.endYMax;
  ExtentsSink extents(plot);
  for (const ListedMove& m : list.moves)
    if (m.kind == ListedKind::kArc) extents.Arc(ArcOf(m));
}

void ReplayMoves(const MoveList& list, MoveSink& sink) {
  for (const ListedMove& m : list.moves) {
    switch (m.kind) {
      case ListedKind::kRapid:
      case ListedKind::kFeed: {
        StraightCall s;
        s.startX = m.startX, s.startY = m.startY, s.x = m.x, s.y = m.y;
        if (m.kind == ListedKind::kRapid) {
          sink.Rapid(s);
        } else {
          sink.Feed(s);
        }
        break;
      }
      case ListedKind::kArc:
        sink.Arc(ArcOf(m));
        break;
      case ListedKind::kDrill: {
        DrillCall d;
        d.startX = m.startX, d.startY = m.startY, d.x = m.x, d.y = m.y;
        sink.Drill(d);
        break;
      }
    }
  }
}

}  // namespace brimo
