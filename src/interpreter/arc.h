// Arc set-up in the XY plane from I/J centre offsets.
#pragma once

namespace brimo {

struct Core;

// arccos with the system's conventions: -1 gives -pi, 1 gives 0.
double ArcCos(double x);
// Sets up (or resumes) the arc and runs it.
void StartArc(Core& c);

}  // namespace brimo
