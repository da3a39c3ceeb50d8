#include "core/machine/switches.h"

#include "core/machine/messages.h"

namespace brimo {

void ActOnSwitches(Core& c, int active) {
  MachineState& ms = c.ms;
  if (active & kLimit) {
    ms.LimitActive = 1;
    ms.StopRequested = true;
    // At every pulse while the switch reads active (deliberate).
    c.win.Message(msg::kLimitZone, msg::kAppTitle);
  } else {
    ms.LimitActive = 0;
  }
  ms.HomeXActive = (active & kHomeX) ? 1 : 0;
  if (ms.HomeXActive) ms.MachX = 0;
  ms.HomeYActive = (active & kHomeY) ? 1 : 0;
  if (ms.HomeYActive) ms.MachY = 0;
  ms.HomeZActive = (active & kHomeZ) ? 1 : 0;
  if (ms.HomeZActive) ms.MachZ = 0;
}

}  // namespace brimo
