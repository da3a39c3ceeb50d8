// The toolpath: the program's moves drawn in the plot window and the
// drawing extents, both as move sinks (machine/move_sink.h) that the
// interpreting step feeds line by line (DrawProgram, interpreter/draw_program.h;
// the step preview). Also the position read-outs.
//
// Quirks kept from the run's own rules: an arc is drawn as a full circle
// exactly where the run cuts one (ArcIsFullCircle), a drilling line as a
// rapid approach to the hole, and only "G02"/"G03" (not "G2"/"G3") widen the
// extents by their whole circle.
#pragma once

#include <string>

#include "core/machine/move_sink.h"
#include "core/machine/window.h"

namespace brimo {

struct Core;
struct PlotState;

// Draws each move in the window: rapids and drilling approaches dashed in
// bright green, feed moves and arcs in the window's current colour.
// `finestStep` is FinestStepXY (the full-circle rule).
class DrawSink : public MoveSink {
 public:
  DrawSink(Window& win, double finestStep) : win_(win), finestStep_(finestStep) {}
  void Rapid(const StraightCall& m) override;
  void Feed(const StraightCall& m) override;
  ArcOffsets Arc(const ArcCall& a) override;
  void Drill(const DrillCall& d) override;
  void ToolChange(std::string_view) override {}  // drawing never asks for a tool

 private:
  void Straight(double x1, double y1, double x2, double y2, Rgb colour, bool dashed);
  Window& win_;
  double finestStep_;
};

// Widens the extents by an arc's whole circle (see above; not with
// FitEndpointsOnly). The end point of every good line is added by the
// caller (WidenToPoint), whatever its motion word.
class ExtentsSink : public MoveSink {
 public:
  explicit ExtentsSink(PlotState& plot) : plot_(plot) {}
  void Rapid(const StraightCall&) override {}
  void Feed(const StraightCall&) override {}
  ArcOffsets Arc(const ArcCall& a) override;
  void Drill(const DrillCall&) override {}
  void ToolChange(std::string_view) override {}

 private:
  PlotState& plot_;
};

// The offsets the drawing's and the extents' sinks keep after `a` (the start
// offset for an arc they can draw, else the offsets as given).
ArcOffsets ToolpathArcOffsets(const ArcCall& a);

// Widens the extents to take in (x, y) (nothing for a value that is not finite).
void WidenToPoint(PlotState& plot, double x, double y);

// Positions to program zero: PrgX/Y/Z, Stop.PrgX/Y/Z, TargetX/Y, LineStartX/Y.
void ResetProgramPosition(Core& c);
// The six read-outs in "0.0000" (period as decimal point, whatever the locale).
void ShowPositions(Core& c);
std::string FormatPosition(double v);

}  // namespace brimo
