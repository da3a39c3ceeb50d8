#include "core/plot/plot_geometry.h"

#include <algorithm>
#include <cmath>

#include "core/machine/core.h"
#include "core/machine/number_text.h"
#include "core/plot/plot_state.h"

namespace brimo {

std::string GridLabel(double v) {
  // A blank stands where a minus sign would, so labels line up.
  return (v >= 0 ? " " : "") + NumberText(v);
}

// Grid tick T from the view size S (program units). The rows are tested in
// order and the first that holds wins, so a boundary value belongs to the
// lower row: S = 100 gives 10 x 10 = 100, S = 1000 gives 40 x 10 = 400.
//
//   S in (0, 1]        0.5
//   S in (1, 10]       1
//   S in (10, 100]     10 x Fix(S / 10)
//   S in (100, 1000]   40 x Fix(S / 100)
//   S in (1000, 1e4]   60 x Fix(S / 1000)
//   S above 1e4        the last row continued by decades: S in (D, 10 D]
//                      gives 60 x (D / 1000) x Fix(S / D), so the grid keeps
//                      about the same number of lines and T never is 0.
// A size that is not a number (or not positive) gets the first row; no grid
// is drawn for it anyway.
double TickFor(double s) {
  if (!(s > 1) || std::isinf(s)) return 0.5;
  if (s <= 10) return 1;
  if (s <= 100) return 10 * std::trunc(s / 10);
  if (s <= 1000) return 40 * std::trunc(s / 100);
  if (s <= 10000) return 60 * std::trunc(s / 1000);
  double decade = 10000;  // s lies in (decade, 10 x decade]
  while (s > 10 * decade) decade *= 10;
  return 60 * (decade / 1000) * std::trunc(s / decade);
}

PlotView ComputeView(const PlotState& plot) {
  PlotView v;
  v.centreX = (plot.PlotXMax + plot.PlotXMin) / 2;
  v.centreY = (plot.PlotYMax + plot.PlotYMin) / 2;
  const double d = plot.PlotXMax - plot.PlotXMin;
  const double e = plot.PlotYMax - plot.PlotYMin;
  const double w = d + 0.1 * d;  // 10 % margin
  const double h = e + 0.1 * e;
  v.size = std::max(w, h);  // square view
  v.left = v.centreX - v.size / 2;
  v.right = v.centreX + v.size / 2;
  v.top = v.centreY + v.size / 2;
  v.bottom = v.centreY - v.size / 2;
  v.tick = TickFor(v.size);
  return v;
}

namespace {

// At most this many grid lines per direction: a view far from the origin (or
// a spacing lost in rounding against huge values) must not loop for ever.
constexpr int kMaxGridLines = 10000;

bool Finite(const PlotView& v) {
  return std::isfinite(v.left) && std::isfinite(v.right) && std::isfinite(v.top) &&
         std::isfinite(v.bottom) && std::isfinite(v.tick) && v.tick > 0;
}

// Grid every T/2 from the origin outwards (counters advance by repeated
// addition), X labels at the drawing's lowest Y, then the two axes.
void DrawGrid(Core& c, const PlotView& v) {
  const double half = v.tick / 2;
  const double labelY = c.plot.PlotYMin;  // not the X axis: the drawing's lowest Y
  auto vertical = [&](double x) {
    c.win.DrawLine(x, v.bottom, x, v.top, kLightGrey, false);
    c.win.DrawLabel(x, labelY, GridLabel(x));
  };
  auto horizontal = [&](double y) { c.win.DrawLine(v.left, y, v.right, y, kLightGrey, false); };

  // The line and label at 0 are drawn by both halves.
  double x = 0;
  for (int k = 0; x <= v.right && k < kMaxGridLines; ++k, x += half) vertical(x);
  x = 0;
  for (int k = 0; x >= v.left && k < kMaxGridLines; ++k, x -= half) vertical(x);
  double y = 0;
  for (int k = 0; y <= v.top && k < kMaxGridLines; ++k, y += half) horizontal(y);
  y = 0;
  for (int k = 0; y >= v.bottom && k < kMaxGridLines; ++k, y -= half) horizontal(y);

  c.win.DrawLine(0, v.top, 0, v.bottom, kBlack, false);
  c.win.DrawLine(v.right, 0, v.left, 0, kBlack, false);
}

}  // namespace

void DrawGrid(Core& c) {
  const PlotView v = ComputeView(c.plot);
  c.plot.PlotCentreX = v.centreX;
  c.plot.PlotCentreY = v.centreY;
  // A view of no size (an empty program: all extents 0) or of no finite size
  // has no scale: nothing is drawn and the previous scale stays in force.
  if (v.size > 0 && Finite(v) && c.win.SetPlotScale(v.left, v.top, v.right, v.bottom)) {
    c.plot.ScaleWidth = v.size;
    DrawGrid(c, v);
  }
  UpdatePlotEvery(c);
}

void UpdatePlotEvery(Core& c) {
  // R: twips of plot per program unit. PlotEvery: steps of the finer axis
  // that move the tool about 30 twips on the plot.
  const double twips = c.win.PlotWidthTwips();
  const double scaleWidth = c.plot.ScaleWidth;
  const double finest = c.ms.FinestStepXY;
  double every = 0;
  if (twips > 0 && scaleWidth > 0 && finest > 0) {
    const double r = twips / scaleWidth;
    every = 30 * (1 / finest) / r;
  }
  if (!(every > 0) || !std::isfinite(every)) {
    // No scale yet, no step size or no window width: keep a usable interval.
    const double previous = c.ms.PlotEvery;
    every = (previous > 0 && std::isfinite(previous)) ? previous : 1;
  }
  c.ms.PlotEvery = every;
  c.ms.PlotStepCount = 0;
}

int ArcChordCount(double radiusPx, double sweep) {
  constexpr double kTolerancePx = 0.25;
  constexpr double kPi = 3.14159265358979323846;
  const double chordAngle =
      radiusPx > kTolerancePx ? 2 * std::acos(1 - kTolerancePx / radiusPx) : kPi;
  return static_cast<int>(std::clamp(std::ceil(sweep / std::max(chordAngle, 1e-9)), 2.0, 4096.0));
}

}  // namespace brimo
