#include "core/plot/toolpath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "core/machine/arc_geometry.h"
#include "core/machine/core.h"
#include "core/plot/plot_state.h"

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

// Arc from (startX, startY) to (x, y) about the start point plus (i, j).
//
//            +Y                 angles: radians counter-clockwise from +X,
//             |   end           folded into [0, 2 pi)
//             |  /
//   centre ---+---- +X          the angles come from the X offset and the
//             |  \              sign of the Y offset only; an end point off
//             |   start         the circle is projected by its X offset
//
// `kept` is the start offset the registers keep, exactly as the arc set-up
// leaves it, so that a later line without I or J sees the same values in the
// drawing as in the run (the offsets as given when the arc is not usable).
struct ArcShape {
  double cx = 0, cy = 0, r = 0;
  double startAngle = 0, endAngle = 0;
  bool usable = false;  // a radius above 0 and every value finite
  ArcOffsets kept;
};

double ClampedArcCos(double x) { return ArcCos(std::clamp(x, -1.0, 1.0)); }

ArcShape TakeArc(const ArcCall& m) {
  ArcShape a;
  a.kept = {m.i, m.j};
  a.r = std::sqrt(m.i * m.i + m.j * m.j);
  a.cx = m.startX + m.i;
  a.cy = m.startY + m.j;
  if (!(a.r > 0) || !std::isfinite(a.r) || !std::isfinite(a.cx) || !std::isfinite(a.cy) ||
      !std::isfinite(m.x) || !std::isfinite(m.y)) {
    return a;  // radius 0 (or nothing usable): the angles would divide by it
  }
  double dx = m.x - a.cx;
  double dy = m.y - a.cy;
  if (dy == 0) dy = dx;  // only its sign is used
  if (std::abs(dx) > a.r) dx = Sign(dx) * a.r;
  a.endAngle = Fold(Sign(dy) * ClampedArcCos(dx / a.r));
  a.kept = StartOffsetOf(m.i, m.j);
  a.startAngle = Fold(Sign(a.kept.j) * ClampedArcCos(a.kept.i / a.r));
  a.usable = true;
  return a;
}

bool Finite(double a, double b, double c, double d) {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

void Widen(PlotState& p, double xmin, double ymin, double xmax, double ymax) {
  p.PlotXMin = std::min(p.PlotXMin, xmin);
  p.PlotYMin = std::min(p.PlotYMin, ymin);
  p.PlotXMax = std::max(p.PlotXMax, xmax);
  p.PlotYMax = std::max(p.PlotYMax, ymax);
}

}  // namespace

// Straight segment from the line's start point to its target. A line without
// coordinates gives a segment of no length, which draws nothing.
void DrawSink::Straight(double x1, double y1, double x2, double y2, Rgb colour, bool dashed) {
  if (!Finite(x1, y1, x2, y2) || (x1 == x2 && y1 == y2)) return;
  win_.DrawLine(x1, y1, x2, y2, colour, dashed);
}

void DrawSink::Rapid(const StraightCall& m) {
  Straight(m.startX, m.startY, m.x, m.y, kBrightGreen, true);
}

void DrawSink::Feed(const StraightCall& m) {
  Straight(m.startX, m.startY, m.x, m.y, win_.ForeColour(), false);
}

ArcOffsets DrawSink::Arc(const ArcCall& m) {
  const Rgb colour = win_.ForeColour();
  const ArcShape a = TakeArc(m);
  if (!a.usable) {
    // Radius 0: a straight line, as for G02/G03 with I0 J0.
    Straight(m.startX, m.startY, m.x, m.y, colour, false);
    return a.kept;
  }
  double sweep = m.clockwise ? a.startAngle - a.endAngle : a.endAngle - a.startAngle;
  if (sweep < 0) sweep += kTwoPi;
  // The arc set-up's own decision: an end within one step of the start
  // point cuts a full circle; draw what it cuts.
  if (ArcIsFullCircle(m.startX, m.startY, m.x, m.y, finestStep_)) {
    const double mid = Fold(a.startAngle + kPi);
    win_.DrawArc(a.cx, a.cy, a.r, a.startAngle, mid, colour);
    win_.DrawArc(a.cx, a.cy, a.r, mid, a.startAngle, colour);
    return a.kept;
  }
  // An end off the circle at the start's own angle: the set-up cuts no arc
  // (only the closing straight move), and equal angles would draw a circle.
  if (sweep == 0) return a.kept;
  // The window draws counter-clockwise from its first angle to its second.
  if (m.clockwise) {
    win_.DrawArc(a.cx, a.cy, a.r, a.endAngle, a.startAngle, colour);
  } else {
    win_.DrawArc(a.cx, a.cy, a.r, a.startAngle, a.endAngle, colour);
  }
  return a.kept;
}

// A drilling cycle shows as the approach: a rapid line to the hole.
void DrawSink::Drill(const DrillCall& d) {
  Straight(d.startX, d.startY, d.x, d.y, kBrightGreen, true);
}

ArcOffsets ExtentsSink::Arc(const ArcCall& m) {
  const ArcShape a = TakeArc(m);
  // The whole circle counts, not only the swept part. Only the long words
  // add it ("G2" and "G3" do not): View > Fit toggles this mode.
  if (a.usable && !plot_.FitEndpointsOnly && m.longWord)
    Widen(plot_, a.cx - a.r, a.cy - a.r, a.cx + a.r, a.cy + a.r);
  return a.kept;
}

ArcOffsets ToolpathArcOffsets(const ArcCall& a) { return TakeArc(a).kept; }

void WidenToPoint(PlotState& plot, double x, double y) {
  if (std::isfinite(x) && std::isfinite(y)) Widen(plot, x, y, x, y);
}

void ResetProgramPosition(Core& c) {
  // The tool's current position becomes program zero (deliberate: loading,
  // and the scale dialog's "Ok", set program zero where the tool stands).
  MachineState& ms = c.ms;
  ms.PrgX = ms.PrgY = ms.PrgZ = 0;
  ms.Stop.PrgX = ms.Stop.PrgY = ms.Stop.PrgZ = 0;
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
