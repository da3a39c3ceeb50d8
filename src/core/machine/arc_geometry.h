// Arc geometry shared by the arc set-up (interpreter) and the toolpath
// (plot): both decide with these, so the drawing shows what the run cuts.
// Angles in radians counter-clockwise from +X with +Y up; lengths in the
// machine's length unit.
#pragma once

#include <cmath>

namespace brimo {

// arccos with the system's conventions: -1 gives -pi (the sign rule of the
// set-up turns it into +pi), 1 gives 0, anything else lies in (0, pi).
inline double ArcCos(double x) {
  if (x == -1) return -4 * std::atan(1.0);
  if (x == 1) return 0;
  return std::atan(-x / std::sqrt(1 - x * x)) + 2 * std::atan(1.0);
}

// True when an arc from (startX, startY) to (endX, endY) is a full circle:
// the end point lies less than `step` (length units, one step of the finer of
// X and Y) from the start point, on whichever side. Decided on the points, not
// on the end angle: that comes from the X offset alone, so near 0 and 180
// degrees a rounding error of 0.0001 in the end gives several steps of angle.
inline bool ArcIsFullCircle(double startX, double startY, double endX, double endY, double step) {
  return std::hypot(endX - startX, endY - startY) < step;  // false for NaN
}

}  // namespace brimo
