// Peck drilling cycle (G81, G83).
#pragma once

namespace brimo {

struct Core;

// The pecks after the approach move; also the resume entry of a stopped cycle.
void DrillCycle(Core& c);

}  // namespace brimo
