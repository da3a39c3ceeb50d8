// Plot view transform: from the drawing extents to a square view with a 10 %
// margin, the grid tick, and the live-plot interval. Pure functions plus
// DrawGrid, which draws grid, labels and axes through the window.
#pragma once

#include <string>

namespace brimo {

struct Core;
struct PlotState;

struct PlotView {
  double centreX = 0, centreY = 0;
  double size = 0;  // S: width and height of the view in program units
  double left = 0, right = 0, top = 0, bottom = 0;
  double tick = 0;  // T; grid lines and labels stand T/2 apart
};

// The view for the extents in `plot`. The tick for S above 10000 is chosen so
// the grid keeps a positive spacing (never 0).
PlotView ComputeView(const PlotState& plot);
double TickFor(double s);

// Sets the view transform from the extents and draws the grid, labels (at the
// lowest Y of the drawing) and axes. Nothing is drawn for a view of no size.
// Ends with UpdatePlotEvery.
void DrawGrid(Core& c);

// PlotEvery = 30 * (1 / FinestStepXY) / R with R = plot width in twips per
// program unit; PlotStepCount = 0.
void UpdatePlotEvery(Core& c);

// Chords that draw an arc of `sweep` radians on a circle of `radiusPx`
// pixels: as few as keep every chord within a quarter pixel of the circle
// (a chord of angle t stands radiusPx (1 - cos(t/2)) off it), at least 2
// and at most 4096. A small circle gets chords of about 2 pixels, a large
// one far fewer chords than its length in pixels.
int ArcChordCount(double radiusPx, double sweep);

// Label text of a grid value: number text with a blank before a non-negative
// value.
std::string GridLabel(double v);

}  // namespace brimo
