#include "plot/toolpath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "interpreter/arc.h"
#include "interpreter/dispatch.h"
#include "interpreter/parser.h"
#include "machine/core.h"
#include "plot/plot_geometry.h"
#include "plot/plot_state.h"
#include "plot/program_store.h"

namespace brimo {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * std::numbers::pi;

double Sign(double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// Angle folded into [0, 2 pi): a negative angle a becomes 2 pi - |a|.
double Fold(double a) {
  if (a < 0) a = kTwoPi - std::abs(a);
  if (a >= kTwoPi) a -= kTwoPi;  // 2 pi - (a tiny |a|) may round up to 2 pi
  return a;
}

// Arc of the line just parsed, from (LineStartX, LineStartY) to (TargetX,
// TargetY) about the start point plus (ArcI, ArcJ).
//
//            +Y                 angles: radians counter-clockwise from +X,
//             |   end           folded into [0, 2 pi)
//             |  /
//   centre ---+---- +X          the angles come from the X offset and the
//             |  \              sign of the Y offset only; an end point off
//             |   start         the circle is projected by its X offset
//
// Leaves the start offset negated in ArcI/ArcJ (a zero ArcJ takes the negated
// ArcI), exactly as the arc set-up does, so that a later line without I or J
// sees the same values in the drawing as in the run.
struct ArcShape {
  double cx = 0, cy = 0, r = 0;
  double startAngle = 0, endAngle = 0;
  bool usable = false;  // a radius above 0 and every value finite
};

double ClampedArcCos(double x) { return ArcCos(std::clamp(x, -1.0, 1.0)); }

ArcShape TakeArc(MachineState& ms) {
  ArcShape a;
  a.r = std::sqrt(ms.ArcI * ms.ArcI + ms.ArcJ * ms.ArcJ);
  a.cx = ms.LineStartX + ms.ArcI;
  a.cy = ms.LineStartY + ms.ArcJ;
  if (!(a.r > 0) || !std::isfinite(a.r) || !std::isfinite(a.cx) || !std::isfinite(a.cy) ||
      !std::isfinite(ms.TargetX) || !std::isfinite(ms.TargetY)) {
    return a;  // radius 0 (or nothing usable): the angles would divide by it
  }
  double dx = ms.TargetX - a.cx;
  double dy = ms.TargetY - a.cy;
  if (dy == 0) dy = dx;  // only its sign is used
  if (std::abs(dx) > a.r) dx = Sign(dx) * a.r;
  a.endAngle = Fold(Sign(dy) * ClampedArcCos(dx / a.r));
  ms.ArcI = -ms.ArcI;
  ms.ArcJ = (ms.ArcJ == 0) ? ms.ArcI : -ms.ArcJ;
  a.startAngle = Fold(Sign(ms.ArcJ) * ClampedArcCos(ms.ArcI / a.r));
  a.usable = true;
  return a;
}

bool Finite(double a, double b, double c, double d) {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

// Straight segment from the line's start point to its target. A line without
// coordinates gives a segment of no length, which draws nothing.
void DrawStraight(Core& c, Rgb colour, bool dashed) {
  const MachineState& ms = c.ms;
  const double x1 = ms.LineStartX, y1 = ms.LineStartY, x2 = ms.TargetX, y2 = ms.TargetY;
  if (!Finite(x1, y1, x2, y2) || (x1 == x2 && y1 == y2)) return;
  c.win.DrawLine(x1, y1, x2, y2, colour, dashed);
}

void DrawRapidSegment(Core& c) { DrawStraight(c, kBrightGreen, true); }

void DrawFeedSegment(Core& c) { DrawStraight(c, c.win.ForeColour(), false); }

// ArcDirection here: -1 for G02 (clockwise), +1 for G03 (the opposite of the
// dispatch's signs; TegnUd puts the dispatch's value back).
void DrawArcSegment(Core& c) {
  MachineState& ms = c.ms;
  const Rgb colour = c.win.ForeColour();
  const ArcShape a = TakeArc(ms);
  if (!a.usable) {
    DrawFeedSegment(c);  // radius 0: a straight line, as for G02/G03 with I0 J0
    return;
  }
  const bool clockwise = ms.ArcDirection < 0;
  double sweep = clockwise ? a.startAngle - a.endAngle : a.endAngle - a.startAngle;
  if (sweep < 0) sweep += kTwoPi;
  // The arc set-up's own decision: an end within one step of the start
  // point cuts a full circle; draw what it cuts.
  if (ArcIsFullCircle(ms.LineStartX, ms.LineStartY, ms.TargetX, ms.TargetY, ms.FinestStepXY)) {
    const double mid = Fold(a.startAngle + kPi);
    c.win.DrawArc(a.cx, a.cy, a.r, a.startAngle, mid, colour);
    c.win.DrawArc(a.cx, a.cy, a.r, mid, a.startAngle, colour);
    return;
  }
  // An end off the circle at the start's own angle: the set-up cuts no arc
  // (only the closing straight move), and equal angles would draw a circle.
  if (sweep == 0) return;
  // The window draws counter-clockwise from its first angle to its second.
  if (clockwise) {
    c.win.DrawArc(a.cx, a.cy, a.r, a.endAngle, a.startAngle, colour);
  } else {
    c.win.DrawArc(a.cx, a.cy, a.r, a.startAngle, a.endAngle, colour);
  }
}

void Widen(PlotState& p, double xmin, double ymin, double xmax, double ymax) {
  p.PlotXMin = std::min(p.PlotXMin, xmin);
  p.PlotYMin = std::min(p.PlotYMin, ymin);
  p.PlotXMax = std::max(p.PlotXMax, xmax);
  p.PlotYMax = std::max(p.PlotYMax, ymax);
}

}  // namespace

void GrowExtents(Core& c) {
  MachineState& ms = c.ms;
  PlotState& p = c.plot;
  if (ms.LineBad) return;  // nothing moves for it, so nothing is drawn either
  const Motion& w = ms.MotionWord;
  if (w.IsArc() && ArcRequested(ms)) {
    // The offsets change here as in the drawing pass, so both passes see the
    // same centres.
    const ArcShape a = TakeArc(ms);
    // The whole circle counts, not only the swept part. Only the long words
    // add it ("G2" and "G3" do not): View > Fit toggles this mode.
    if (a.usable && !p.FitEndpointsOnly && w.IsLongArcWord()) {
      Widen(p, a.cx - a.r, a.cy - a.r, a.cx + a.r, a.cy + a.r);
    }
  }
  if (std::isfinite(ms.TargetX) && std::isfinite(ms.TargetY)) {
    Widen(p, ms.TargetX, ms.TargetY, ms.TargetX, ms.TargetY);
  }
}

// An arc or a drilling cycle is drawn only for a line that asks for one,
// with the dispatch's own test: an F or M word alone in arc mode moves
// nothing, so nothing is drawn for it.
void DrawSegment(Core& c) {
  MachineState& ms = c.ms;
  if (ms.LineBad) return;
  switch (ms.MotionWord.Kind()) {
    case MotionKind::kRapid:
      DrawRapidSegment(c);
      break;
    case MotionKind::kFeed:
      DrawFeedSegment(c);
      break;
    case MotionKind::kArcCw:
    case MotionKind::kArcCcw:
      if (ArcRequested(ms)) {
        ms.ArcDirection = ms.MotionWord.Kind() == MotionKind::kArcCw ? -1 : 1;
        DrawArcSegment(c);
      }
      break;
    case MotionKind::kDrill:
      // A drilling cycle shows as the approach: a rapid line to the hole.
      if (DrillRequested(ms)) DrawRapidSegment(c);
      break;
    case MotionKind::kNone:
      break;  // any other motion word (G04, G21, G90 ...) draws nothing
  }
}

// TegnUd parses the whole program (twice with a refit) through the same
// parser a run uses, so it touches every register a run or a move reads.
// It may be called in the middle of a run, a halted run or a jog (a resize,
// View > Fit, the scale dialog), so it takes a copy of the whole machine
// record first and puts it back at the end: the run goes on with its own
// targets, start point, feed, step rate, arc direction, stop request, M code
// and drilling state. The same holds for a load: after File > Open the
// registers are those from before the load (the loader has already zeroed
// the program position), not those of the program's last line, so no M30 of
// the last line and no leftover target reaches the first "Execute Program".
// Kept from the drawing: the live-plot interval the new view gives, the
// extents, DrawLine (= LineCount).
//
// Both passes start from the registers as found, with the start point and
// target at the program origin, so the extents fit exactly what is drawn.
// Every pass runs with PlotOnly set: drawing never asks for a tool.
void TegnUd(Core& c) {
  MachineState& ms = c.ms;
  PlotState& plot = c.plot;
  const ProgramStore& store = c.store;

  const MachineState found = ms;
  const bool plotOnlyFound = plot.PlotOnly;
  bool feedWordSeen = false;

  auto startAtOrigin = [&] {
    ms = found;
    ms.LineStartX = ms.LineStartY = ms.LineStartZ = 0;
    ms.TargetX = ms.TargetY = ms.TargetZ = 0;
    plot.DrawLine = 0;
  };
  // Read once: nothing can change a factor while the program is drawn.
  const ScaleValues scale = ReadScaleFactors(c.win);
  auto parseNext = [&] {
    ++plot.DrawLine;
    ParseLine(store.Entry(plot.DrawLine), scale, ms, ms);
    feedWordSeen = feedWordSeen || ms.LineWords.F;
  };
  auto putBack = [&] {
    const double plotEvery = ms.PlotEvery, plotStepCount = ms.PlotStepCount;
    ms = found;
    ms.PlotEvery = plotEvery;
    ms.PlotStepCount = plotStepCount;
    plot.PlotOnly = plotOnlyFound;
    // The parser showed each line's F word and SetFeed each line's feed;
    // show the values in force again.
    if (store.LineCount > 0) c.win.ShowFeed(NumberText(found.FeedNow));
    if (feedWordSeen) c.win.ShowProgramFeed(NumberText(found.ProgramFeed));
  };

  plot.PlotOnly = true;
  try {
    if (plot.RefitExtents) {
      startAtOrigin();
      plot.PlotXMax = plot.PlotXMin = plot.PlotYMax = plot.PlotYMin = 0;
      while (plot.DrawLine < store.LineCount) {
        parseNext();
        GrowExtents(c);
      }
    }
    startAtOrigin();
    c.win.ClearPlot();
    Cordinate(c);  // also sets the live-plot interval of the new view
    while (plot.DrawLine < store.LineCount) {
      parseNext();
      DrawSegment(c);
    }
  } catch (...) {
    putBack();
    throw;
  }
  putBack();
}

void ResetProgramPosition(Core& c) {
  // The tool's current position becomes program zero (deliberate: loading,
  // and the scale dialog's "Ok", set program zero where the tool stands).
  MachineState& ms = c.ms;
  ms.PrgX = ms.PrgY = ms.PrgZ = 0;
  ms.StopPrgX = ms.StopPrgY = ms.StopPrgZ = 0;
  ms.TargetX = ms.TargetY = 0;  // Z members left as they are
  ms.LineStartX = ms.LineStartY = 0;
}

std::string FormatPosition(double v) {
  // "0.0000": at least one digit before the period, four after, rounded.
  char buf[400];  // the largest double has 309 digits before the point
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4);
  std::string s(buf, res.ptr);
  // A value that rounds to zero reads "0.0000", never "-0.0000".
  if (!s.empty() && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

void ShowPositions(Core& c) {
  const MachineState& ms = c.ms;
  const std::string prg[3] = {FormatPosition(ms.PrgX), FormatPosition(ms.PrgY),
                              FormatPosition(ms.PrgZ)};
  const std::string mach[3] = {FormatPosition(ms.MachX), FormatPosition(ms.MachY),
                               FormatPosition(ms.MachZ)};
  c.win.ShowPositionTexts(prg, mach);
}

}  // namespace brimo
