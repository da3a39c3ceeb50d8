// PlotState: the drawing extents, view transform and drawing flags of the
// plot window, and the program's move list the drawing reads. Lengths in
// program units.
#pragma once

#include <memory>

#include "core/plot/move_list.h"

namespace brimo {

struct PlotState {
  double PlotXMin = 0, PlotXMax = 0, PlotYMin = 0, PlotYMax = 0;  // extents
  double PlotCentreX = 0, PlotCentreY = 0;
  double ScaleWidth = 0;            // width of the view in program units (S)
  bool FitEndpointsOnly = false;    // toggled by View > Fit
  bool RefitExtents = false;        // recompute extents before drawing
  long DrawLine = 0;                // entry being drawn
  std::shared_ptr<MoveList> Moves;  // the loaded program's moves (built by the drawing)
};

}  // namespace brimo
